#pragma once
// The system keyboard: 256 bytes, one per DirectInput key code; a key is down when its byte has the high bit.

#include "core/InputDevice.h"

#include <array>

class KeyboardDevice final : public InputDevice
{
public:
    static constexpr int KEY_COUNT = 256;

    HRESULT Init(IDirectInput8A* directInput, HWND window) override;
    HRESULT Poll() override;

    bool IsKeyDown(int keyCode) const;
    // No key counts as down until the next poll.
    void ClearState() override;

private:
    std::array<BYTE, KEY_COUNT> m_keys{};
};
