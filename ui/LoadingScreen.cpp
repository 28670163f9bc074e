#include "ui/LoadingScreen.h"

#include "core/DataManager.h"
#include "core/Random.h"
#include "ui/GuiElement.h"

#include <string>

namespace {
constexpr float FRAME_WIDTH = 764.0f;
constexpr float BAR_INSET = 80.0f;
} // namespace

LoadingScreen::LoadingScreen() = default;

LoadingScreen::~LoadingScreen()
{
    Destroy();
}

void LoadingScreen::Init()
{
    m_barBackground = std::make_unique<GuiElement>();
    m_bar = std::make_unique<GuiElement>();
    m_barFrame = std::make_unique<GuiElement>();
    m_background = std::make_unique<GuiElement>();

    const float w = static_cast<float>(DataManager::Get()->GetBackBufferWidth());
    const float x0 = (w - FRAME_WIDTH) * 0.5f;
    m_background->SetRect(0.0f, 0.0f, 1024.0f, 768.0f);
    m_barStart = x0 + BAR_INSET;
    m_barBackground->Create("LSLoadingBarBG.tga", x0 + BAR_INSET, 636.0f, 609.0f, 32.0f);
    m_barFrame->Create("LSLoadingBar.tga", x0, 600.0f, FRAME_WIDTH, 90.0f);
    m_bar->SetRect(x0 + BAR_INSET, 638.0f, 609.0f, 29.0f);
    m_bar->colour = D3DXCOLOR(1.0f, 0.0f, 0.0f, 0.75f);
    m_bar->baseColour = D3DXCOLOR(1.0f, 0.0f, 0.0f, 0.75f);
    m_bar->effect = EFFECT_FADE_ALPHA_TO_BASE;
    m_bar->pendingEffect = EFFECT_FADE_ALPHA_TO_BASE;
    m_bar->effectTimer = 0.0f;
}

void LoadingScreen::PickBackground()
{
    if (!m_background)
        return;
    static const char* const names[BACKGROUND_COUNT] = {"LS1BG.png", "LS2BG.png", "LS3BG.png", "LS4BG.png",
                                                        "LS5BG.png", "LS6BG.png", "LS7BG.png"};
    // The picture shown last time goes back to the cache once the new one is held (the same one is not loaded
    // again): over many battles every background would otherwise stay in memory.
    TextureRecord* previous = m_background->GetTextureRecord();
    m_background->SetTextureByName(names[RandomInt(BACKGROUND_COUNT)]);
    DataManager::Get()->ReleaseTexture(previous);
}

void LoadingScreen::ReleaseBackground()
{
    if (m_background)
        m_background->GiveBackTexture();
}

void LoadingScreen::Restart()
{
    if (!m_bar)
        return;
    PickBackground();
    m_full = false;
    m_bar->right = m_barStart;
    m_bar->Update();
}

void LoadingScreen::SetProgress(float p)
{
    if (!m_bar)
        return;
    if (p >= 1.0f) {
        m_full = true;
        p = 1.0f;
    }
    m_bar->right = p * m_barLength + m_barStart;
    m_barBackground->Update();
    m_bar->Update();
    m_barFrame->Update();
    m_background->Update();
}

void LoadingScreen::Render()
{
    if (!m_bar)
        return;
    m_background->Render();
    m_barBackground->Render();
    m_bar->Render();
    m_barFrame->Render();
}

void LoadingScreen::OnLostDevice()
{
    for (GuiElement* element : {m_background.get(), m_barBackground.get(), m_bar.get(), m_barFrame.get()})
        if (element)
            element->OnLostDevice();
}

// The bar is drawn from its start and length, not from its rectangle, so both follow the frame when the
// back buffer changes width.
void LoadingScreen::OnResetDevice()
{
    if (!m_barFrame)
        return;
    const UINT remembered = m_barFrame->rememberedWidth;
    const UINT now = DataManager::Get()->GetBackBufferWidth();
    const float sx = remembered && now ? static_cast<float>(now) / static_cast<float>(remembered) : 1.0f;
    for (GuiElement* element : {m_background.get(), m_barBackground.get(), m_bar.get(), m_barFrame.get()})
        element->OnResetDevice();
    m_barStart *= sx;
    m_barLength *= sx;
}

void LoadingScreen::Destroy()
{
    for (auto* element : {&m_background, &m_barBackground, &m_bar, &m_barFrame}) {
        if (*element)
            (*element)->OnLostDevice();
        element->reset();
    }
}
