#include "ui/UnitTextLabel.h"

namespace {
constexpr int kFontHeight = 24;
// Upward drift of a restarted text, in pixels per second.
constexpr float kDriftY = -25.0f;
// Seconds a restarted text stays before it fades towards its transparent target.
constexpr float kHoldTime = 3.0f;
constexpr float kRestartSpeed = 13.0f;
} // namespace

UnitTextLabel::UnitTextLabel(float x, float y)
{
    label.Create(kFontHeight, "Times New Roman", 1.0f, 0.0f, 0.0f, 1.0f, 1);
    label.targetColour = D3DXCOLOR(0.0f, 0.0f, 0.0f, 0.0f);
    label.speed = 1.0f;
    label.factor = 1.0f;
    label.SetPosition(x, y);
    // Combat texts float over grass, snow and sky: a shadow keeps the darker colours readable on all of them.
    label.shadowed = true;
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
    label.velocityY = kDriftY;
    SetColour(1.0f, 0.0f, 0.0f, 1.0f);
    label.effect = EFFECT_FADE_ALPHA_TO_BASE;
    label.pendingEffect = EFFECT_FADE_TO_TARGET;
    label.effectTimer = 0.0f;
    label.effectDelay = kHoldTime;
    label.speed = kRestartSpeed;
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
