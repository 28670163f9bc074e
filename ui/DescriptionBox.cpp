#include "ui/DescriptionBox.h"

#include "core/DataManager.h"
#include "core/ScreenVertex.h"
#include "d3dx9/D3DX9Core.h"
#include "ui/BattleHud.h"
#include "ui/FlatQuadPass.h"
#include "ui/GuiButton.h"
#include "ui/GuiElement.h"
#include "ui/MouseOverManager.h"
#include "ui/TextLabel.h"

namespace {
constexpr float WIDTH = 336.0f;
constexpr float HEIGHT = 391.0f;
// The anchor lives in the 1024 x 768 layout the text is placed in, so its targets never rescale.
constexpr float ANCHOR_X = 346.0f;
// The text keeps 20 pixels from the window's sides (346 and 682), clear of its gold frame; a line longer than
// that breaks at a space rather than running to the frame.
constexpr LONG TEXT_LEFT = 366;
constexpr LONG TEXT_RIGHT = 662;
constexpr float ANCHOR_SHOWN_Y = 310.0f;
constexpr float ANCHOR_HIDDEN_Y = 640.0f;
constexpr float HIDE_DELAY = 0.05f;
constexpr LONG TEXT_TOP = 90;
constexpr LONG TEXT_HEIGHT = 300;
} // namespace

DescriptionBox::DescriptionBox() = default;

DescriptionBox::~DescriptionBox()
{
    Destroy();
}

void DescriptionBox::Init()
{
    m_window = std::make_unique<GuiElement>();
    m_anchor = std::make_unique<GuiElement>();
    m_label = std::make_unique<TextLabel>();

    m_window->Create("GUI_HelpTextWindow.tga", hiddenX, hiddenY, WIDTH, HEIGHT);
    m_window->baseColour = D3DXCOLOR(1.0f, 1.0f, 1.0f, 1.0f);
    m_window->colour = D3DXCOLOR(1.0f, 1.0f, 1.0f, 0.0f);
    m_window->pendingEffect = EFFECT_FADE_ALPHA_TO_BASE;
    m_window->effectTimer = 0.0f;
    m_window->effectDelay = 0.0f;
    m_window->speed = 1.0f;
    m_window->gliding = true;

    m_anchor->SetRect(hiddenX, hiddenY, WIDTH, HEIGHT);
    m_anchor->speed = 1.0f;
    m_anchor->gliding = true;

    m_textRect = RECT{TEXT_LEFT, 390, TEXT_RIGHT, 703};
    m_label->SetFont(18, "Times New Roman", &m_textRect);
    m_label->breakWords = true;
    m_label->SetPosition(0.0f, shownY);
    m_label->baseColour = D3DXCOLOR(1.0f, 1.0f, 1.0f, 1.0f);
    m_label->colour = D3DXCOLOR(1.0f, 1.0f, 1.0f, 0.0f);
    m_label->pendingEffect = EFFECT_FADE_ALPHA_TO_BASE;
    m_label->effectTimer = 0.0f;
    m_label->effectDelay = 0.0f;
    m_label->SetText("Some Message Here");
}

void DescriptionBox::Show()
{
    if (!m_window)
        return;
    m_window->SetTarget(shownX, shownY, false);
    m_anchor->SetTarget(ANCHOR_X, ANCHOR_SHOWN_Y, false);
}

void DescriptionBox::Update()
{
    if (!m_window)
        return;
    GuiButton* hovered = MouseOverManager::Get()->GetHoveredButton();
    if (hovered != m_shownButton) {
        m_shownButton = hovered;
        if (hovered && hovered->visible && !hovered->GetDescription().empty()) {
            m_label->SetText(hovered->GetDescription());
            Show();
            m_hideTimer = 0.0f;
        } else {
            m_shownButton = nullptr;
        }
    }
    m_window->Update();
    m_anchor->Update();
    const LONG top = static_cast<LONG>(m_anchor->top);
    m_textRect.top = top + TEXT_TOP;
    m_textRect.bottom = top + TEXT_TOP + TEXT_HEIGHT;
    m_label->Update();
    if (!m_shownButton)
        m_hideTimer += DataManager::Get()->GetFrameTime();
    if (m_hideTimer >= HIDE_DELAY) {
        m_window->SetTarget(hiddenX, hiddenY, false);
        m_anchor->SetTarget(ANCHOR_X, ANCHOR_HIDDEN_Y, false);
    }
}

void DescriptionBox::Render()
{
    if (!m_window)
        return;
    // A flat quad on the overlay: no depth test, mip level or mirrored sampling to pay for on each of its
    // hundred-odd thousand blended pixels.
    if (IDirect3DDevice9* device = DataManager::Get()->GetDevice()) {
        FlatQuadPass pass(device);
        device->SetFVF(SCREEN_FVF);
        // The box waits and rises behind the HUD's frame: the rows the frame hides are not drawn.
        const BattleHud* hud = BattleHud::Existing();
        const float hiddenFrom = hud ? hud->HiddenFrom(m_window->left, m_window->right)
                                     : static_cast<float>(DataManager::Get()->GetBackBufferHeight());
        pass.DrawShown(*m_window, nullptr, hiddenFrom);
    }
    ID3DXSprite* sprite = DataManager::Get()->GetSprite();
    if (!sprite)
        return;
    sprite->Begin(D3DXSPRITE_ALPHABLEND | D3DXSPRITE_SORT_TEXTURE);
    m_label->Draw();
    sprite->End();
}

void DescriptionBox::OnLostDevice()
{
    if (m_window)
        m_window->OnLostDevice();
    if (m_label)
        m_label->OnLostDevice();
}

void DescriptionBox::OnResetDevice()
{
    if (!m_window)
        return;
    DataManager* data = DataManager::Get();
    const UINT w = data->GetBackBufferWidth();
    const UINT h = data->GetBackBufferHeight();
    const float sx =
        m_window->rememberedWidth && w ? static_cast<float>(w) / static_cast<float>(m_window->rememberedWidth) : 1.0f;
    const float sy =
        m_window->rememberedHeight && h ? static_cast<float>(h) / static_cast<float>(m_window->rememberedHeight) : 1.0f;
    shownX *= sx;
    hiddenX *= sx;
    shownY *= sy;
    hiddenY *= sy;
    m_window->OnResetDevice();
    m_label->OnResetDevice();
}

void DescriptionBox::Destroy()
{
    if (m_window)
        m_window->OnLostDevice();
    if (m_anchor)
        m_anchor->OnLostDevice();
    if (m_label)
        m_label->Unqueue();
    m_window.reset();
    m_anchor.reset();
    m_label.reset();
    m_shownButton = nullptr;
}
