#pragma once
// The fade that decals and world quads share. States: 0 fading in, 1 fading out, 2 pulsing between the floor
// and full (the pulse direction is shared by every object of a kind, so they pulse together), 3 at rest.
// A fade of no length (or a NaN length) is over at once.

namespace alpha_fade {

constexpr float PULSE_FLOOR = 0.25f;

inline void Step(float dt, float fadeDuration, float& alpha, int& fadeState, bool& pulseFalling)
{
    const bool instant = !(fadeDuration > 0.0f);
    const float step = instant ? 0.0f : dt / fadeDuration;
    switch (fadeState) {
    case 0:
        if (alpha < 1.0f) {
            alpha += step;
            if (alpha > 1.0f || instant) {
                alpha = 1.0f;
                fadeState = 3;
            }
        }
        break;
    case 1:
        if (alpha > 0.0f) {
            alpha -= step;
            if (alpha < 0.0f || instant) {
                alpha = 0.0f;
                fadeState = 3;
            }
        }
        break;
    case 2:
        if (pulseFalling) {
            alpha -= step;
            if (alpha < PULSE_FLOOR) {
                alpha = PULSE_FLOOR;
                pulseFalling = false;
            }
        } else {
            alpha += step;
            if (alpha > 1.0f) {
                alpha = 1.0f;
                pulseFalling = true;
            }
        }
        break;
    default:
        break;
    }
}

} // namespace alpha_fade
