#pragma once

#include "d3dx9/D3DX9Math.h"

#include <cstdint>

enum ColourEffect : uint32_t
{
    EFFECT_FADE_TO_TARGET = 0,
    EFFECT_FADE_TO_BASE = 1,
    EFFECT_PULSE = 2,
    EFFECT_FADE_ALPHA_TO_BASE = 3,
    EFFECT_FADE_OUT = 4,
    EFFECT_SET_TARGET = 5,
    EFFECT_SET_BASE = 6,
};

// Every widget holds a colour and animates it by one of the timed colour effects. Owners start an
// effect by writing the pending effect, its delay and the timer.
class GuiObject
{
public:
    GuiObject() = default;
    virtual ~GuiObject() = default;

    virtual void Update() = 0;
    virtual void ResetColour();

    // Advances the colour effect by one frame of scaled time.
    void UpdateEffect();

    // The pulse direction is shared by every pulsing widget of the process.
    static bool GetPulseFlag();
    static void SetPulseFlag(bool towardTarget);

    uint32_t effect = EFFECT_FADE_TO_TARGET;
    uint32_t pendingEffect = EFFECT_FADE_TO_TARGET;
    float effectTimer = 0.0f;
    float effectDelay = 0.0f;
    float speed = 10.0f;
    float factor = 1.0f;
    D3DXCOLOR colour{1.0f, 1.0f, 1.0f, 1.0f};
    D3DXCOLOR baseColour{1.0f, 1.0f, 1.0f, 1.0f};
    D3DXCOLOR targetColour{1.0f, 1.0f, 1.0f, 1.0f};

protected:
    GuiObject(const GuiObject&) = default;
    GuiObject& operator=(const GuiObject&) = default;
};

// A float colour written into a vertex: 255 at or above 1, 0 at or below 0, else rounded.
uint8_t ColourComponentToByte(float c);
uint32_t PackColour(const D3DXCOLOR& colour);
