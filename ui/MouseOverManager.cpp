#include "ui/MouseOverManager.h"

#include "battle/BoardUnit.h"
#include "battle/Hex.h"
#include "core/DataManager.h"
#include "core/GlobalConstants.h"
#include "core/MouseHelpers.h"
#include "ui/GuiElement.h"
#include "ui/TextLabel.h"

namespace {
std::unique_ptr<MouseOverManager>& Instance()
{
    static std::unique_ptr<MouseOverManager> instance;
    return instance;
}

constexpr int kTextFontHeight = 24;
constexpr float kIconSize = 32.0f;
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

void MouseOverManager::ResetForTests()
{
    Instance().reset();
}

void MouseOverManager::Init()
{
    pointerIcon = std::make_unique<GuiElement>();
    textWindow = std::make_unique<GuiElement>();
    textLabel = std::make_unique<TextLabel>();

    textWindow->Create("mouseOverText.tga", 0.0f, 0.0f, kIconSize, kIconSize);
    textWindow->gliding = false;
    textWindow->pendingEffect = EFFECT_FADE_TO_TARGET;
    textWindow->effectTimer = 0.0f;
    textWindow->effectDelay = 0.0f;
    textWindow->targetColour = D3DXCOLOR(0.0f, 0.0f, 0.0f, 0.0f);
    textWindow->enabled = false;

    textLabel->CreateFont(kTextFontHeight, "Times New Roman", 1);
    textLabel->pendingEffect = EFFECT_FADE_TO_TARGET;
    textLabel->effectTimer = 0.0f;
    textLabel->effectDelay = 0.0f;
    textLabel->targetColour = D3DXCOLOR(0.0f, 0.0f, 0.0f, 0.0f);

    pointerIcon->Create(MouseIconTexture, 0.0f, 0.0f, kIconSize, kIconSize);
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

// The hovered buttons and the battle HUD's unit texts join this when the interface's buttons exist;
// until then nothing is ever hovered, so the name text stays faded out and unanchored.
void MouseOverManager::Update()
{
    showText = false;
    const bool held = IsLeftButtonHeld();
    leftPressed = held && !leftHeld;
    leftHeld = held;
    pointerOverWidget = false;
    restoreTimer += DataManager::Get()->GetFrameTime();
    UpdateText();
}

void MouseOverManager::UpdateText()
{
    const D3DXCOLOR hidden(0.0f, 0.0f, 0.0f, 0.0f);
    if (textLabel)
        textLabel->targetColour = hidden;
    if (textWindow)
        textWindow->targetColour = hidden;
    anchorX = -1.0f;
    anchorY = -1.0f;
    if (textLabel)
        textLabel->Update();
    if (textWindow)
        textWindow->Update();
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
    return leftPressed && !pointerOverWidget;
}

void MouseOverManager::ForgetUnit(BoardUnit* gone)
{
    if (dragged == gone)
        dragged = nullptr;
}
