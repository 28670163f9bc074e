#include "ui/GuiObject.h"

#include "core/DataManager.h"

namespace {
bool g_pulseTowardTarget = true;

void FadeToward(D3DXCOLOR& colour, const D3DXCOLOR& goal, float k, float step)
{
    colour.r += (goal.r - k * colour.r) * step;
    colour.g += (goal.g - k * colour.g) * step;
    colour.b += (goal.b - k * colour.b) * step;
    colour.a += (goal.a - k * colour.a) * step;
}

bool SameColour(const D3DXCOLOR& a, const D3DXCOLOR& b)
{
    return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a;
}
} // namespace

bool GuiObject::GetPulseFlag()
{
    return g_pulseTowardTarget;
}

void GuiObject::SetPulseFlag(bool towardTarget)
{
    g_pulseTowardTarget = towardTarget;
}

void GuiObject::ResetColour()
{
    colour = baseColour;
}

void GuiObject::UpdateEffect()
{
    const float dt = DataManager::Get()->GetFrameTime();
    effectTimer += dt;
    if (pendingEffect != effect && effectTimer >= effectDelay) {
        effect = pendingEffect;
        effectTimer = 0.0f;
    }

    const float step = dt * speed;
    switch (effect) {
    case EFFECT_FADE_TO_TARGET:
        FadeToward(colour, targetColour, factor, step);
        break;
    case EFFECT_FADE_TO_BASE:
        FadeToward(colour, baseColour, factor, step);
        break;
    case EFFECT_PULSE:
        if (!g_pulseTowardTarget) {
            FadeToward(colour, baseColour, factor, step);
            if (SameColour(colour, baseColour))
                g_pulseTowardTarget = true;
        } else {
            FadeToward(colour, targetColour, factor, step);
            if (SameColour(colour, targetColour))
                g_pulseTowardTarget = false;
        }
        break;
    case EFFECT_FADE_ALPHA_TO_BASE:
        colour.a += (baseColour.a - factor * colour.a) * speed * dt;
        break;
    case EFFECT_FADE_OUT:
        colour.r += -factor * colour.r * step;
        colour.g += -factor * colour.g * step;
        colour.b += -factor * colour.b * step;
        colour.a += -factor * colour.a * step;
        break;
    case EFFECT_SET_TARGET:
        colour = targetColour;
        break;
    case EFFECT_SET_BASE:
        colour = baseColour;
        break;
    default:
        break;
    }
}

uint8_t ColourComponentToByte(float c)
{
    if (c >= 1.0f)
        return 255;
    if (c <= 0.0f)
        return 0;
    return static_cast<uint8_t>(c * 255.0f + 0.5f);
}

uint32_t PackColour(const D3DXCOLOR& colour)
{
    return (static_cast<uint32_t>(ColourComponentToByte(colour.a)) << 24) |
           (static_cast<uint32_t>(ColourComponentToByte(colour.r)) << 16) |
           (static_cast<uint32_t>(ColourComponentToByte(colour.g)) << 8) |
           static_cast<uint32_t>(ColourComponentToByte(colour.b));
}
