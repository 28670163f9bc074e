#include "core/MouseDevice.h"

#include "dinput/DInput.h"

#include <cstring>

namespace {

constexpr BYTE DOWN_BIT = 0x80;

} // namespace

HRESULT MouseDevice::Init(IDirectInput8A* directInput, HWND window)
{
    return InitDevice(directInput, window, GUID_SysMouse, c_dfDIMouse);
}

HRESULT MouseDevice::Poll()
{
    DIMOUSESTATE state{m_deltaX, m_deltaY, m_wheel, {m_buttons[0], m_buttons[1], m_buttons[2], m_buttons[3]}};
    const HRESULT result = ReadState(&state, sizeof(state));
    if (SUCCEEDED(result)) {
        m_deltaX = state.lX;
        m_deltaY = state.lY;
        m_wheel = state.lZ;
        std::memcpy(m_buttons, state.rgbButtons, sizeof(m_buttons));
    }
    return result;
}

bool MouseDevice::IsButtonDown(int button) const
{
    if (button < 0 || button >= BUTTON_COUNT)
        return false;
    return (m_buttons[button] & DOWN_BIT) != 0;
}

void MouseDevice::ClearState()
{
    m_deltaX = 0;
    m_deltaY = 0;
    m_wheel = 0;
    std::memset(m_buttons, 0, sizeof(m_buttons));
}
