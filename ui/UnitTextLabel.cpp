#include "ui/UnitTextLabel.h"

namespace {
constexpr int FONT_HEIGHT = 24;
// Upward drift of a restarted text, in pixels per second.
constexpr float DRIFT_Y = -25.0f;
// Seconds a restarted text stays before it fades towards its transparent target.
constexpr float HOLD_TIME = 3.0f;
constexpr float RESTART_SPEED = 13.0f;
} // namespace

UnitTextLabel::UnitTextLabel(float x, float y)
{
    m_label.Create(FONT_HEIGHT, "Times New Roman", 1.0f, 0.0f, 0.0f, 1.0f, 1);
    m_label.targetColour = D3DXCOLOR(0.0f, 0.0f, 0.0f, 0.0f);
    m_label.speed = 1.0f;
    m_label.factor = 1.0f;
    m_label.SetPosition(x, y);
    // Combat texts float over grass, snow and sky: a shadow keeps the darker colours readable on all of them.
    m_label.shadowed = true;
}

std::unique_ptr<CombatText> UnitTextLabel::Make(float x, float y)
{
    return std::make_unique<UnitTextLabel>(x, y);
}

void UnitTextLabel::SetText(const std::string& text)
{
    m_label.SetText(text);
}

void UnitTextLabel::SetFontHeight(int height)
{
    m_label.ResizeFont(height, false);
}

void UnitTextLabel::SetColour(float red, float green, float blue, float alpha)
{
    m_label.baseColour = D3DXCOLOR(red, green, blue, alpha);
    m_label.colour = D3DXCOLOR(red, green, blue, 0.0f);
}

void UnitTextLabel::Restart()
{
    m_label.RandomOffsetY();
    m_label.velocityX = 0.0f;
    m_label.velocityY = DRIFT_Y;
    SetColour(1.0f, 0.0f, 0.0f, 1.0f);
    m_label.effect = EFFECT_FADE_ALPHA_TO_BASE;
    m_label.pendingEffect = EFFECT_FADE_TO_TARGET;
    m_label.effectTimer = 0.0f;
    m_label.effectDelay = HOLD_TIME;
    m_label.speed = RESTART_SPEED;
}

void UnitTextLabel::SetX(float x)
{
    m_label.x = x;
}

void UnitTextLabel::Queue()
{
    if (!m_visible)
        return;
    m_label.Update();
    m_label.QueueDraw();
}

void UnitTextLabel::SetVisible(bool shown)
{
    m_visible = shown;
}

void UnitTextLabel::OnLostDevice()
{
    m_label.OnLostDevice();
}

void UnitTextLabel::OnResetDevice()
{
    m_label.OnResetDevice();
}
