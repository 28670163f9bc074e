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
constexpr float kWidth = 336.0f;
constexpr float kHeight = 391.0f;
// The anchor lives in the 1024 x 768 layout the text is placed in, so its targets never rescale.
constexpr float kAnchorX = 346.0f;
// The text keeps 20 pixels from the window's sides (346 and 682), clear of its gold frame; a line longer than
// that breaks at a space rather than running to the frame.
constexpr LONG kTextLeft = 366;
constexpr LONG kTextRight = 662;
constexpr float kAnchorShownY = 310.0f;
constexpr float kAnchorHiddenY = 640.0f;
constexpr float kHideDelay = 0.05f;
constexpr LONG kTextTop = 90;
constexpr LONG kTextHeight = 300;
} // namespace

DescriptionBox::DescriptionBox() = default;

DescriptionBox::~DescriptionBox()
{
    Destroy();
}

void DescriptionBox::Init()
{
    window = std::make_unique<GuiElement>();
    anchor = std::make_unique<GuiElement>();
    label = std::make_unique<TextLabel>();

    window->Create("GUI_HelpTextWindow.tga", hiddenX, hiddenY, kWidth, kHeight);
    window->baseColour = D3DXCOLOR(1.0f, 1.0f, 1.0f, 1.0f);
    window->colour = D3DXCOLOR(1.0f, 1.0f, 1.0f, 0.0f);
    window->pendingEffect = EFFECT_FADE_ALPHA_TO_BASE;
    window->effectTimer = 0.0f;
    window->effectDelay = 0.0f;
    window->speed = 1.0f;
    window->gliding = true;

    anchor->SetRect(hiddenX, hiddenY, kWidth, kHeight);
    anchor->speed = 1.0f;
    anchor->gliding = true;

    textRect = RECT{kTextLeft, 390, kTextRight, 703};
    label->SetFont(18, "Times New Roman", &textRect);
    label->breakWords = true;
    label->SetPosition(0.0f, shownY);
    label->baseColour = D3DXCOLOR(1.0f, 1.0f, 1.0f, 1.0f);
    label->colour = D3DXCOLOR(1.0f, 1.0f, 1.0f, 0.0f);
    label->pendingEffect = EFFECT_FADE_ALPHA_TO_BASE;
    label->effectTimer = 0.0f;
    label->effectDelay = 0.0f;
    label->SetText("Some Message Here");
}

void DescriptionBox::Show()
{
    if (!window)
        return;
    window->SetTarget(shownX, shownY, false);
    anchor->SetTarget(kAnchorX, kAnchorShownY, false);
}

void DescriptionBox::Update()
{
    if (!window)
        return;
    GuiButton* hovered = MouseOverManager::Get()->GetHoveredButton();
    if (hovered != shownButton) {
        shownButton = hovered;
        if (hovered && hovered->visible && !hovered->GetDescription().empty()) {
            label->SetText(hovered->GetDescription());
            Show();
            hideTimer = 0.0f;
        } else {
            shownButton = nullptr;
        }
    }
    window->Update();
    anchor->Update();
    const LONG top = static_cast<LONG>(anchor->top);
    textRect.top = top + kTextTop;
    textRect.bottom = top + kTextTop + kTextHeight;
    label->Update();
    if (!shownButton)
        hideTimer += DataManager::Get()->GetFrameTime();
    if (hideTimer >= kHideDelay) {
        window->SetTarget(hiddenX, hiddenY, false);
        anchor->SetTarget(kAnchorX, kAnchorHiddenY, false);
    }
}

void DescriptionBox::Render()
{
    if (!window)
        return;
    // A flat quad on the overlay: no depth test, mip level or mirrored sampling to pay for on each of its
    // hundred-odd thousand blended pixels.
    if (IDirect3DDevice9* device = DataManager::Get()->GetDevice()) {
        FlatQuadPass pass(device);
        device->SetFVF(SCREEN_FVF);
        // The box waits and rises behind the HUD's frame: the rows the frame hides are not drawn.
        const BattleHud* hud = BattleHud::Existing();
        const float hiddenFrom = hud ? hud->HiddenFrom(window->left, window->right)
                                     : static_cast<float>(DataManager::Get()->GetBackBufferHeight());
        pass.DrawShown(*window, nullptr, hiddenFrom);
    }
    ID3DXSprite* sprite = DataManager::Get()->GetSprite();
    if (!sprite)
        return;
    sprite->Begin(D3DXSPRITE_ALPHABLEND | D3DXSPRITE_SORT_TEXTURE);
    label->Draw();
    sprite->End();
}

void DescriptionBox::OnLostDevice()
{
    if (window)
        window->OnLostDevice();
    if (label)
        label->OnLostDevice();
}

void DescriptionBox::OnResetDevice()
{
    if (!window)
        return;
    DataManager* data = DataManager::Get();
    const UINT w = data->GetBackBufferWidth();
    const UINT h = data->GetBackBufferHeight();
    const float sx =
        window->rememberedWidth && w ? static_cast<float>(w) / static_cast<float>(window->rememberedWidth) : 1.0f;
    const float sy =
        window->rememberedHeight && h ? static_cast<float>(h) / static_cast<float>(window->rememberedHeight) : 1.0f;
    shownX *= sx;
    hiddenX *= sx;
    shownY *= sy;
    hiddenY *= sy;
    window->OnResetDevice();
    label->OnResetDevice();
}

void DescriptionBox::Destroy()
{
    if (window)
        window->OnLostDevice();
    if (anchor)
        anchor->OnLostDevice();
    if (label)
        label->Unqueue();
    window.reset();
    anchor.reset();
    label.reset();
    shownButton = nullptr;
}
