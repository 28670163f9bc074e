#include "ui/GuiButton.h"

#include "ui/MouseOverManager.h"

namespace {
// Shared by every button: each update after the first one clears that button's click, so a click lasts from
// the update that sets it to the button's next update.
float g_clickCounter = 0.0f;

void StartEffect(GuiObject& object, uint32_t effect)
{
    object.pendingEffect = effect;
    object.effectTimer = 0.0f;
    object.effectDelay = 0.0f;
}
} // namespace

GuiButton::GuiButton() = default;

GuiButton::~GuiButton()
{
    if (MouseOverManager* manager = MouseOverManager::Existing())
        manager->ForgetButton(this);
}

void GuiButton::ResetForTests()
{
    g_clickCounter = 0.0f;
}

void GuiButton::Update()
{
    GuiElement::Update();
    if (m_icon)
        m_icon->Update();

    if (g_clickCounter > 0.0f) {
        clicked = false;
        g_clickCounter = 0.0f;
    }
    g_clickCounter += 1.0f;

    if (!enabled)
        return;
    if (state & WIDGET_HOVER)
        OnHoverEnter();
    else if (state & WIDGET_IDLE)
        OnHoverLeave();
    if (state & WIDGET_HOVER_LONG)
        longHover = true;
    if (state & WIDGET_PRESSED) {
        pressed = true;
        clicked = false;
        return;
    }
    if (state & WIDGET_CLICKED) {
        clicked = true;
        pressed = false;
    }
}

void GuiButton::OnHoverEnter()
{
    MouseOverManager* manager = MouseOverManager::Get();
    if (!hovered) {
        hovered = true;
        hover = true;
        if (m_effectTable) {
            StartEffect(*this, m_effectTable[0]);
            if (m_icon)
                StartEffect(*m_icon, m_effectTable[2]);
        }
        manager->EnterButton(this);
    }
    notHovered = false;
    if (showsName)
        manager->SetShowText();
}

void GuiButton::OnHoverLeave()
{
    if (!notHovered && m_effectTable) {
        StartEffect(*this, m_effectTable[1]);
        if (m_icon)
            StartEffect(*m_icon, m_effectTable[3]);
    }
    hovered = false;
    clicked = false;
    longHover = false;
    hover = false;
    notHovered = true;
}

void GuiButton::ClearFlags()
{
    hovered = false;
    hover = false;
    longHover = false;
    notHovered = false;
    pressed = false;
    clicked = false;
    // A button whose row or page goes away is no longer the one under the pointer.
    if (MouseOverManager* manager = MouseOverManager::Existing())
        manager->ForgetButton(this);
}

void GuiButton::Place(float x, float y, float w, float h)
{
    SetRect(x, y, w, h);
}

void GuiButton::Init(const std::string& textureName, float x, float y, float w, float h)
{
    GuiElement::Init(textureName, x, y, w, h);
}

void GuiButton::SetRect(float x, float y, float w, float h)
{
    GuiElement::SetRect(x, y, w, h);
}

void GuiButton::Create(const std::string& textureName, float x, float y, float w, float h)
{
    GuiElement::Create(textureName, x, y, w, h);
}

void GuiButton::OnLostDevice()
{
    GuiElement::OnLostDevice();
    if (m_icon)
        m_icon->OnLostDevice();
}

void GuiButton::OnResetDevice()
{
    GuiElement::OnResetDevice();
    if (m_icon)
        m_icon->OnResetDevice();
}

void GuiButton::SetVisible(bool show)
{
    visible = show;
    if (m_icon)
        m_icon->SetVisible(show);
}

void GuiButton::CreateIcon(const std::string& textureName, int dx, int dy)
{
    m_icon = std::make_unique<GuiElement>();
    m_icon->Create(textureName, left + static_cast<float>(dx), top + static_cast<float>(dy), right - left,
                   bottom - top);
    m_icon->targetColour = D3DXCOLOR(1.0f, 1.0f, 1.0f, 1.0f);
    m_icon->baseColour = D3DXCOLOR(0.0f, 0.0f, 0.0f, 0.0f);
    m_icon->colour = D3DXCOLOR(0.0f, 0.0f, 0.0f, 0.0f);
    m_icon->speed = 10.0f;
    // The icon is decoration: the pointer over it is over the button.
    m_icon->enabled = false;
    m_icon->Update();
}

void GuiButton::FollowPointer()
{
    const POINT p = MouseOverManager::Get()->GetPointerPosition();
    MoveTo(static_cast<float>(p.x - 32), static_cast<float>(p.y - 32));
}

void GuiButton::DrawIcon()
{
    if (m_icon && iconVisible)
        m_icon->DrawQuad();
}

void GuiButton::RenderIcon()
{
    if (m_icon && iconVisible)
        m_icon->Render();
}

void GuiButton::Release()
{
    GuiElement::OnLostDevice();
    if (m_icon) {
        m_icon->OnLostDevice();
        m_icon.reset();
    }
}
