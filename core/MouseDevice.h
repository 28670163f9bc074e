#pragma once
// The system mouse: motion and wheel since the last poll (the wheel in steps of 120 per notch, away from the
// user positive) and four buttons, each down when its byte has the high bit.

#include "core/InputDevice.h"

class MouseDevice final : public InputDevice
{
public:
    static constexpr int BUTTON_COUNT = 4;

    HRESULT Init(IDirectInput8A* directInput, HWND window) override;
    HRESULT Poll() override;

    bool IsButtonDown(int button) const;
    LONG GetDeltaX() const { return m_deltaX; }
    LONG GetDeltaY() const { return m_deltaY; }
    LONG GetWheel() const { return m_wheel; }

protected:
    void ClearState() override;

private:
    // The DIMOUSESTATE layout: x, y, wheel, four button bytes.
    LONG m_deltaX = 0;
    LONG m_deltaY = 0;
    LONG m_wheel = 0;
    BYTE m_buttons[BUTTON_COUNT] = {};
};
