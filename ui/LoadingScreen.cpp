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
    barBackground = std::make_unique<GuiElement>();
    bar = std::make_unique<GuiElement>();
    barFrame = std::make_unique<GuiElement>();
    background = std::make_unique<GuiElement>();

    const float w = static_cast<float>(DataManager::Get()->GetBackBufferWidth());
    const float x0 = (w - FRAME_WIDTH) * 0.5f;
    background->SetRect(0.0f, 0.0f, 1024.0f, 768.0f);
    barStart = x0 + BAR_INSET;
    barBackground->Create("LSLoadingBarBG.tga", x0 + BAR_INSET, 636.0f, 609.0f, 32.0f);
    barFrame->Create("LSLoadingBar.tga", x0, 600.0f, FRAME_WIDTH, 90.0f);
    bar->SetRect(x0 + BAR_INSET, 638.0f, 609.0f, 29.0f);
    bar->colour = D3DXCOLOR(1.0f, 0.0f, 0.0f, 0.75f);
    bar->baseColour = D3DXCOLOR(1.0f, 0.0f, 0.0f, 0.75f);
    bar->effect = EFFECT_FADE_ALPHA_TO_BASE;
    bar->pendingEffect = EFFECT_FADE_ALPHA_TO_BASE;
    bar->effectTimer = 0.0f;
}

void LoadingScreen::PickBackground()
{
    if (!background)
        return;
    static const char* const names[BACKGROUND_COUNT] = {"LS1BG.png", "LS2BG.png", "LS3BG.png", "LS4BG.png",
                                                        "LS5BG.png", "LS6BG.png", "LS7BG.png"};
    background->SetTextureByName(names[RandomInt(BACKGROUND_COUNT)]);
}

void LoadingScreen::Restart()
{
    if (!bar)
        return;
    PickBackground();
    full = false;
    bar->right = barStart;
    bar->Update();
}

void LoadingScreen::SetProgress(float p)
{
    if (!bar)
        return;
    if (p >= 1.0f) {
        full = true;
        p = 1.0f;
    }
    bar->right = p * barLength + barStart;
    barBackground->Update();
    bar->Update();
    barFrame->Update();
    background->Update();
}

void LoadingScreen::Render()
{
    if (!bar)
        return;
    background->Render();
    barBackground->Render();
    bar->Render();
    barFrame->Render();
}

void LoadingScreen::OnLostDevice()
{
    for (GuiElement* element : {background.get(), barBackground.get(), bar.get(), barFrame.get()})
        if (element)
            element->OnLostDevice();
}

// The bar is drawn from its start and length, not from its rectangle, so both follow the frame when the
// back buffer changes width.
void LoadingScreen::OnResetDevice()
{
    if (!barFrame)
        return;
    const UINT remembered = barFrame->rememberedWidth;
    const UINT now = DataManager::Get()->GetBackBufferWidth();
    const float sx = remembered && now ? static_cast<float>(now) / static_cast<float>(remembered) : 1.0f;
    for (GuiElement* element : {background.get(), barBackground.get(), bar.get(), barFrame.get()})
        element->OnResetDevice();
    barStart *= sx;
    barLength *= sx;
}

void LoadingScreen::Destroy()
{
    for (auto* element : {&background, &barBackground, &bar, &barFrame}) {
        if (*element)
            (*element)->OnLostDevice();
        element->reset();
    }
}
