#include "ui/GuiObject.h"

#include "core/DataManager.h"

#include <algorithm>
#include <cmath>

namespace {
bool g_pulseTowardTarget = true;

// Within half a colour byte a component shows as its goal and counts as having reached it: the fades approach
// their goal ever more closely and at 60 frames a second would never meet it exactly.
constexpr float REACHED_TOLERANCE = 0.5f / 255.0f;

// A fade moves the colour by (goal - k x colour) x step, toward goal / k. A step longer than 1 / k (a long
// frame) would carry it past that point and swing back and forth; it stops there instead.
float FadeStep(float k, float step)
{
    return k > 0.0f ? std::min(step, 1.0f / k) : step;
}

void FadeToward(D3DXCOLOR& colour, const D3DXCOLOR& goal, float k, float step)
{
    step = FadeStep(k, step);
    colour.r += (goal.r - k * colour.r) * step;
    colour.g += (goal.g - k * colour.g) * step;
    colour.b += (goal.b - k * colour.b) * step;
    colour.a += (goal.a - k * colour.a) * step;
}

// The component moved from before to after has reached its goal or gone past it.
bool Reached(float before, float after, float goal)
{
    if (std::fabs(after - goal) <= REACHED_TOLERANCE)
        return true;
    return before <= goal ? after >= goal : after <= goal;
}

bool ReachedColour(const D3DXCOLOR& before, const D3DXCOLOR& after, const D3DXCOLOR& goal)
{
    return Reached(before.r, after.r, goal.r) && Reached(before.g, after.g, goal.g) &&
           Reached(before.b, after.b, goal.b) && Reached(before.a, after.a, goal.a);
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
    case EFFECT_PULSE: {
        // Reversing on exact equality would never happen: the fade only approaches its goal.
        const D3DXCOLOR before = colour;
        if (!g_pulseTowardTarget) {
            FadeToward(colour, baseColour, factor, step);
            if (ReachedColour(before, colour, baseColour))
                g_pulseTowardTarget = true;
        } else {
            FadeToward(colour, targetColour, factor, step);
            if (ReachedColour(before, colour, targetColour))
                g_pulseTowardTarget = false;
        }
        break;
    }
    case EFFECT_FADE_ALPHA_TO_BASE:
        colour.a += (baseColour.a - factor * colour.a) * FadeStep(factor, speed * dt);
        break;
    case EFFECT_FADE_OUT: {
        // Only the alpha fades. The colour tints the widget's picture, so taking it down as well turned a
        // fading window (the turn banner, the side's pennant, a flash) into a dark see-through rectangle
        // before it was gone.
        const float fade = FadeStep(factor, step);
        colour.a += -factor * colour.a * fade;
        break;
    }
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
    return static_cast<uint8_t>(std::floor(c * 255.0f + 0.5f));
}

uint32_t PackColour(const D3DXCOLOR& colour)
{
    return (static_cast<uint32_t>(ColourComponentToByte(colour.a)) << 24) |
           (static_cast<uint32_t>(ColourComponentToByte(colour.r)) << 16) |
           (static_cast<uint32_t>(ColourComponentToByte(colour.g)) << 8) |
           static_cast<uint32_t>(ColourComponentToByte(colour.b));
}
