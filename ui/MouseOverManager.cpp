#include "ui/MouseOverManager.h"

#include "battle/BoardUnit.h"
#include "battle/CommandHud.h"
#include "battle/Hex.h"
#include "core/DataManager.h"
#include "core/GlobalConstants.h"
#include "core/MouseHelpers.h"
#include "core/ScreenVertex.h"
#include "ui/FlatQuadPass.h"
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
    if (m_pointerIcon)
        m_pointerIcon->OnLostDevice();
    if (m_textWindow)
        m_textWindow->OnLostDevice();
    if (m_textLabel)
        m_textLabel->Unqueue();
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
    m_pointerIcon = std::make_unique<GuiElement>();
    m_textWindow = std::make_unique<GuiElement>();
    m_textLabel = std::make_unique<TextLabel>();

    m_textWindow->Create("mouseOverText.tga", 0.0f, 0.0f, ICON_SIZE, ICON_SIZE);
    m_textWindow->gliding = false;
    m_textWindow->pendingEffect = EFFECT_FADE_TO_TARGET;
    m_textWindow->effectTimer = 0.0f;
    m_textWindow->effectDelay = 0.0f;
    m_textWindow->targetColour = D3DXCOLOR(0.0f, 0.0f, 0.0f, 0.0f);
    m_textWindow->enabled = false;

    m_textLabel->CreateFont(TEXT_FONT_HEIGHT, "Times New Roman", 1);
    m_textLabel->pendingEffect = EFFECT_FADE_TO_TARGET;
    m_textLabel->effectTimer = 0.0f;
    m_textLabel->effectDelay = 0.0f;
    m_textLabel->targetColour = D3DXCOLOR(0.0f, 0.0f, 0.0f, 0.0f);

    m_pointerIcon->Create(MOUSE_ICON_TEXTURE, 0.0f, 0.0f, ICON_SIZE, ICON_SIZE);
}

POINT MouseOverManager::GetPointerPosition() const
{
    if (!m_pointerIcon)
        return POINT{0, 0};
    return m_pointerIcon->GetTopLeft();
}

void MouseOverManager::MovePointer(int x, int y)
{
    if (!m_pointerIcon)
        return;
    m_pointerIcon->MoveTo(static_cast<float>(x), static_cast<float>(y));
    m_pointerIcon->UpdateEffect();
    m_pointerIcon->UpdateVertices();
    m_showText = false;
}

void MouseOverManager::Update()
{
    m_showText = false;
    const bool held = IsLeftButtonHeld();
    m_leftPressed = held && !m_leftHeld;
    m_leftHeld = held;
    m_pointerOverWidget = false;

    if (m_hoveredButton) {
        m_restorePending = false;
        m_restoreTimer = 0.0f;
        if (!m_hoveredButton->notHovered) {
            UpdateText();
            return;
        }
        m_restorePending = true;
        m_hoveredButton = nullptr;
    } else {
        m_restoreTimer += DataManager::Get()->GetFrameTime();
    }
    if (m_restoreTimer >= RESTORE_DELAY && m_restorePending) {
        m_restorePending = false;
        if (CommandHud* hud = CommandHud::Get())
            hud->UpdateUnitTexts();
    }
    UpdateText();
}

void MouseOverManager::UpdateText()
{
    if (m_hoveredButton && !m_hoveredButton->longHover) {
        if (m_textLabel)
            m_textLabel->Update();
        if (m_textWindow)
            m_textWindow->Update();
        return;
    }
    const std::string name = m_hoveredButton ? m_hoveredButton->GetName() : std::string();
    if (m_hoveredButton && !name.empty() && m_textLabel && m_textWindow && m_pointerIcon) {
        const D3DXCOLOR shown(1.0f, 1.0f, 1.0f, 1.0f);
        m_textLabel->SetText(name);
        m_textLabel->targetColour = shown;
        m_textWindow->targetColour = shown;
        DataManager* data = DataManager::Get();
        const float width = static_cast<float>(data->GetBackBufferWidth());
        const float height = static_cast<float>(data->GetBackBufferHeight());
        if (m_anchorX >= 0.0f && m_anchorY >= 0.0f) {
            m_textWindow->right = m_anchorX + (m_textLabel->boxWidth + 40.0f) * width / 1024.0f;
            m_textWindow->left = m_anchorX - 10.0f;
        } else {
            m_anchorX = m_pointerIcon->left - 48.0f;
            m_anchorY = m_pointerIcon->top - 32.0f;
            // The label lives in the 1024 x 768 space the text transform scales to the back buffer.
            m_textLabel->SetPosition(width > 0.0f ? m_anchorX * 1024.0f / width : m_anchorX,
                                     height > 0.0f ? m_anchorY * 768.0f / height : m_anchorY);
            m_textWindow->MoveTo(m_anchorX, m_anchorY - 6.0f);
        }
    } else {
        const D3DXCOLOR hidden(0.0f, 0.0f, 0.0f, 0.0f);
        if (m_textLabel)
            m_textLabel->targetColour = hidden;
        if (m_textWindow)
            m_textWindow->targetColour = hidden;
        m_anchorX = -1.0f;
        m_anchorY = -1.0f;
    }
    if (m_textLabel)
        m_textLabel->Update();
    if (m_textWindow)
        m_textWindow->Update();
}

void MouseOverManager::EnterButton(GuiButton* button)
{
    const bool frameOnly = button->GetName().empty() && button->GetDescription().empty();
    if (frameOnly && m_hoveredButton && m_hoveredButton != button && m_hoveredButton->hovered &&
        !m_hoveredButton->notHovered)
        return;
    m_hoveredButton = button;
}

void MouseOverManager::ForgetButton(GuiButton* button)
{
    if (m_hoveredButton == button)
        m_hoveredButton = nullptr;
}

void MouseOverManager::Render()
{
    if (m_textLabel)
        m_textLabel->QueueDraw();
    IDirect3DDevice9* device = DataManager::Get()->GetDevice();
    if (!m_textWindow || !device)
        return;
    // The window behind the label stays faded away while nothing is hovered: then it is not drawn at all.
    FlatQuadPass pass(device);
    device->SetFVF(SCREEN_FVF);
    pass.Draw(*m_textWindow);
}

void MouseOverManager::OnLostDevice()
{
    if (m_pointerIcon)
        m_pointerIcon->OnLostDevice();
    if (m_textLabel)
        m_textLabel->OnLostDevice();
    if (m_textWindow)
        m_textWindow->OnLostDevice();
}

void MouseOverManager::OnResetDevice()
{
    if (m_pointerIcon)
        m_pointerIcon->OnResetDevice();
    if (m_textLabel)
        m_textLabel->OnResetDevice();
    if (m_textWindow)
        m_textWindow->OnResetDevice();
}

void MouseOverManager::SetPickRay(const D3DXVECTOR3& origin, const D3DXVECTOR3& direction)
{
    m_pickRayOrigin = origin;
    m_pickRayDirection = direction;
}

void MouseOverManager::SetHovered(Hex* hex)
{
    if (m_hoveredHex)
        m_hoveredHex->hovered = false;
    m_hoveredHex = hex;
    if (hex)
        hex->hovered = true;
}

void MouseOverManager::MoveDraggedToHoveredHex()
{
    if (!m_dragged || !m_hoveredHex)
        return;
    if (m_hoveredHex->type != HEX_DEPLOY_TEAM0 && m_hoveredHex->type != HEX_DEPLOY_TEAM1)
        return;
    // Placement is by row and column; the hex's world coordinates would name no hex of the board.
    m_dragged->SetPosition(m_hoveredHex->row, m_hoveredHex->column);
}

bool MouseOverManager::IsBoardClick() const
{
    return m_leftPressed && !m_pointerOverWidget && !IsCovered(GetPointerPosition());
}

bool MouseOverManager::IsOverHud() const
{
    if (m_showText || m_pointerOverWidget)
        return true;
    const long height = static_cast<long>(DataManager::Get()->GetBackBufferHeight());
    return height > 0 && GetPointerPosition().y > height - BOTTOM_STRIP;
}

void MouseOverManager::ForgetUnit(BoardUnit* gone)
{
    if (m_dragged == gone)
        m_dragged = nullptr;
}
