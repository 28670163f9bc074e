#include "core/KeyboardDevice.h"

#include "dinput/DInput.h"

namespace {

constexpr BYTE DOWN_BIT = 0x80;

} // namespace

HRESULT KeyboardDevice::Init(IDirectInput8A* directInput, HWND window)
{
    return InitDevice(directInput, window, GUID_SysKeyboard, c_dfDIKeyboard);
}

HRESULT KeyboardDevice::Poll()
{
    return ReadState(m_keys.data(), KEY_COUNT);
}

bool KeyboardDevice::IsKeyDown(int keyCode) const
{
    if (keyCode < 0 || keyCode >= KEY_COUNT)
        return false;
    return (m_keys[static_cast<size_t>(keyCode)] & DOWN_BIT) != 0;
}

void KeyboardDevice::ClearState()
{
    m_keys.fill(0);
}
