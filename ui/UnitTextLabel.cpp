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
    label.Create(FONT_HEIGHT, "Times New Roman", 1.0f, 0.0f, 0.0f, 1.0f, 1);
    label.targetColour = D3DXCOLOR(0.0f, 0.0f, 0.0f, 0.0f);
    label.speed = 1.0f;
    label.factor = 1.0f;
    label.SetPosition(x, y);
}

std::unique_ptr<CombatText> UnitTextLabel::Make(float x, float y)
{
    return std::make_unique<UnitTextLabel>(x, y);
}

void UnitTextLabel::SetText(const std::string& text)
{
    label.SetText(text);
}

void UnitTextLabel::SetFontHeight(int height)
{
    label.ResizeFont(height, false);
}

void UnitTextLabel::SetColour(float red, float green, float blue, float alpha)
{
    label.baseColour = D3DXCOLOR(red, green, blue, alpha);
    label.colour = D3DXCOLOR(red, green, blue, 0.0f);
}

void UnitTextLabel::Restart()
{
    label.RandomOffsetY();
    label.velocityX = 0.0f;
    label.velocityY = DRIFT_Y;
    SetColour(1.0f, 0.0f, 0.0f, 1.0f);
    label.effect = EFFECT_FADE_ALPHA_TO_BASE;
    label.pendingEffect = EFFECT_FADE_TO_TARGET;
    label.effectTimer = 0.0f;
    label.effectDelay = HOLD_TIME;
    label.speed = RESTART_SPEED;
}

void UnitTextLabel::SetX(float x)
{
    label.x = x;
}

void UnitTextLabel::Queue()
{
    if (!visible)
        return;
    label.Update();
    label.QueueDraw();
}

void UnitTextLabel::SetVisible(bool shown)
{
    visible = shown;
}

void UnitTextLabel::OnLostDevice()
{
    label.OnLostDevice();
}

void UnitTextLabel::OnResetDevice()
{
    label.OnResetDevice();
}
