#include "ui/MouseOverManager.h"

#include "battle/BoardUnit.h"
#include "battle/CommandHud.h"
#include "battle/Hex.h"
#include "core/DataManager.h"
#include "core/GlobalConstants.h"
#include "core/MouseHelpers.h"
#include "ui/GuiButton.h"
#include "ui/GuiElement.h"
#include "ui/TextLabel.h"

namespace {
std::unique_ptr<MouseOverManager>& Instance()
{
    static std::unique_ptr<MouseOverManager> instance;
    return instance;
}

constexpr int TEXT_FONT_HEIGHT = 24;
// Game time without a hovered button before the HUD's unit texts come back.
constexpr float RESTORE_DELAY = 0.1f;
constexpr float ICON_SIZE = 32.0f;
// The pointer this close to the bottom edge is taken for the HUD's, wherever it is across.
constexpr long BOTTOM_STRIP = 25;
} // namespace

MouseOverManager::MouseOverManager() = default;

MouseOverManager::~MouseOverManager()
{
    if (BoardPointer::Get() == this)
        BoardPointer::Register(nullptr);
    if (pointerIcon)
        pointerIcon->OnLostDevice();
    if (textWindow)
        textWindow->OnLostDevice();
    if (textLabel)
        textLabel->Unqueue();
}

MouseOverManager* MouseOverManager::Get()
{
    auto& instance = Instance();
    if (!instance) {
        instance.reset(new MouseOverManager());
        BoardPointer::Register(instance.get());
    }
    return instance.get();
}

MouseOverManager* MouseOverManager::Existing()
{
    return Instance().get();
}

void MouseOverManager::ResetForTests()
{
    Instance().reset();
}

void MouseOverManager::Init()
{
    pointerIcon = std::make_unique<GuiElement>();
    textWindow = std::make_unique<GuiElement>();
    textLabel = std::make_unique<TextLabel>();

    textWindow->Create("mouseOverText.tga", 0.0f, 0.0f, ICON_SIZE, ICON_SIZE);
    textWindow->gliding = false;
    textWindow->pendingEffect = EFFECT_FADE_TO_TARGET;
    textWindow->effectTimer = 0.0f;
    textWindow->effectDelay = 0.0f;
    textWindow->targetColour = D3DXCOLOR(0.0f, 0.0f, 0.0f, 0.0f);
    textWindow->enabled = false;

    textLabel->CreateFont(TEXT_FONT_HEIGHT, "Times New Roman", 1);
    textLabel->pendingEffect = EFFECT_FADE_TO_TARGET;
    textLabel->effectTimer = 0.0f;
    textLabel->effectDelay = 0.0f;
    textLabel->targetColour = D3DXCOLOR(0.0f, 0.0f, 0.0f, 0.0f);

    pointerIcon->Create(MouseIconTexture, 0.0f, 0.0f, ICON_SIZE, ICON_SIZE);
}

POINT MouseOverManager::GetPointerPosition() const
{
    if (!pointerIcon)
        return POINT{0, 0};
    return pointerIcon->GetTopLeft();
}

void MouseOverManager::MovePointer(int x, int y)
{
    if (!pointerIcon)
        return;
    pointerIcon->MoveTo(static_cast<float>(x), static_cast<float>(y));
    pointerIcon->UpdateEffect();
    pointerIcon->UpdateVertices();
    showText = false;
}

void MouseOverManager::Update()
{
    showText = false;
    const bool held = IsLeftButtonHeld();
    leftPressed = held && !leftHeld;
    leftHeld = held;
    pointerOverWidget = false;

    if (hoveredButton) {
        restorePending = false;
        restoreTimer = 0.0f;
        if (!hoveredButton->notHovered) {
            UpdateText();
            return;
        }
        restorePending = true;
        hoveredButton = nullptr;
    } else {
        restoreTimer += DataManager::Get()->GetFrameTime();
    }
    if (restoreTimer >= RESTORE_DELAY && restorePending) {
        restorePending = false;
        if (CommandHud* hud = CommandHud::Get())
            hud->UpdateUnitTexts();
    }
    UpdateText();
}

void MouseOverManager::UpdateText()
{
    if (hoveredButton && !hoveredButton->longHover) {
        if (textLabel)
            textLabel->Update();
        if (textWindow)
            textWindow->Update();
        return;
    }
    const std::string name = hoveredButton ? hoveredButton->GetName() : std::string();
    if (hoveredButton && !name.empty() && textLabel && textWindow && pointerIcon) {
        const D3DXCOLOR shown(1.0f, 1.0f, 1.0f, 1.0f);
        textLabel->SetText(name);
        textLabel->targetColour = shown;
        textWindow->targetColour = shown;
        DataManager* data = DataManager::Get();
        const float width = static_cast<float>(data->GetBackBufferWidth());
        const float height = static_cast<float>(data->GetBackBufferHeight());
        if (anchorX >= 0.0f && anchorY >= 0.0f) {
            textWindow->right = anchorX + (textLabel->boxWidth + 40.0f) * width / 1024.0f;
            textWindow->left = anchorX - 10.0f;
        } else {
            anchorX = pointerIcon->left - 48.0f;
            anchorY = pointerIcon->top - 32.0f;
            // The label lives in the 1024 x 768 space the text transform scales to the back buffer.
            textLabel->SetPosition(width > 0.0f ? anchorX * 1024.0f / width : anchorX,
                                   height > 0.0f ? anchorY * 768.0f / height : anchorY);
            textWindow->MoveTo(anchorX, anchorY - 6.0f);
        }
    } else {
        const D3DXCOLOR hidden(0.0f, 0.0f, 0.0f, 0.0f);
        if (textLabel)
            textLabel->targetColour = hidden;
        if (textWindow)
            textWindow->targetColour = hidden;
        anchorX = -1.0f;
        anchorY = -1.0f;
    }
    if (textLabel)
        textLabel->Update();
    if (textWindow)
        textWindow->Update();
}

void MouseOverManager::EnterButton(GuiButton* button)
{
    const bool frameOnly = button->GetName().empty() && button->GetDescription().empty();
    if (frameOnly && hoveredButton && hoveredButton != button && hoveredButton->hovered && !hoveredButton->notHovered)
        return;
    hoveredButton = button;
}

void MouseOverManager::ForgetButton(GuiButton* button)
{
    if (hoveredButton == button)
        hoveredButton = nullptr;
}

void MouseOverManager::Render()
{
    if (textLabel)
        textLabel->QueueDraw();
    if (textWindow)
        textWindow->Render();
}

void MouseOverManager::OnLostDevice()
{
    if (pointerIcon)
        pointerIcon->OnLostDevice();
    if (textLabel)
        textLabel->OnLostDevice();
    if (textWindow)
        textWindow->OnLostDevice();
}

void MouseOverManager::OnResetDevice()
{
    if (pointerIcon)
        pointerIcon->OnResetDevice();
    if (textLabel)
        textLabel->OnResetDevice();
    if (textWindow)
        textWindow->OnResetDevice();
}

void MouseOverManager::SetPickRay(const D3DXVECTOR3& origin, const D3DXVECTOR3& direction)
{
    pickRayOrigin = origin;
    pickRayDirection = direction;
}

void MouseOverManager::SetHovered(Hex* hex)
{
    if (hoveredHex)
        hoveredHex->hovered = false;
    hoveredHex = hex;
    if (hex)
        hex->hovered = true;
}

void MouseOverManager::MoveDraggedToHoveredHex()
{
    if (!dragged || !hoveredHex)
        return;
    if (hoveredHex->type != HEX_DEPLOY_TEAM0 && hoveredHex->type != HEX_DEPLOY_TEAM1)
        return;
    // Placement is by row and column; the hex's world coordinates would name no hex of the board.
    dragged->SetPosition(hoveredHex->row, hoveredHex->column);
}

bool MouseOverManager::IsBoardClick() const
{
    return leftPressed && !pointerOverWidget && !IsCovered(GetPointerPosition());
}

bool MouseOverManager::IsOverHud() const
{
    if (showText || pointerOverWidget)
        return true;
    const long height = static_cast<long>(DataManager::Get()->GetBackBufferHeight());
    return height > 0 && GetPointerPosition().y > height - BOTTOM_STRIP;
}

void MouseOverManager::ForgetUnit(BoardUnit* gone)
{
    if (dragged == gone)
        dragged = nullptr;
}
