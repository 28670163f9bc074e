#include "dinput/DInput.h"

#include "win32/ComObject.h"
#include "win32/InputState.h"

#include <SDL_scancode.h>

#include <array>
#include <atomic>
#include <cstring>

// Identifiers of our own: nothing outside this layer compares them with anything but these constants.
const GUID GUID_SysKeyboard = {0x7A1C0001, 0x5D4B, 0x4E21, {0x9B, 0x01, 'K', 'E', 'Y', 'B', 'R', 'D'}};
const GUID GUID_SysMouse = {0x7A1C0002, 0x5D4B, 0x4E21, {0x9B, 0x02, 'M', 'O', 'U', 'S', 'E', 0}};
const GUID IID_IDirectInput8A = {0x7A1C0008, 0x5D4B, 0x4E21, {0x9B, 0x08, 'D', 'I', 'N', 'P', 'U', 'T'}};

constexpr DWORD KEYBOARD_STATE_BYTES = 256;

const DIDATAFORMAT c_dfDIKeyboard = {sizeof(DIDATAFORMAT), 0, DIDF_RELAXIS, KEYBOARD_STATE_BYTES, 0, nullptr};
const DIDATAFORMAT c_dfDIMouse = {sizeof(DIDATAFORMAT), 0, DIDF_RELAXIS, sizeof(DIMOUSESTATE), 0, nullptr};

namespace {

static_assert(sizeof(DIMOUSESTATE) == 16, "the mouse state is four 32-bit words");

bool SameGuid(const GUID& a, const GUID& b)
{
    return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
           std::memcmp(a.Data4, b.Data4, sizeof(a.Data4)) == 0;
}

struct KeyMapping {
    SDL_Scancode scancode;
    BYTE keyCode;
};

// Physical key positions: SDL's scan codes name the key where it sits on the board, as DirectInput's codes do.
constexpr KeyMapping KEY_MAPPINGS[] = {
    {SDL_SCANCODE_ESCAPE, DIK_ESCAPE},
    {SDL_SCANCODE_1, DIK_1},
    {SDL_SCANCODE_2, DIK_2},
    {SDL_SCANCODE_3, DIK_3},
    {SDL_SCANCODE_4, DIK_4},
    {SDL_SCANCODE_5, DIK_5},
    {SDL_SCANCODE_6, DIK_6},
    {SDL_SCANCODE_7, DIK_7},
    {SDL_SCANCODE_8, DIK_8},
    {SDL_SCANCODE_9, DIK_9},
    {SDL_SCANCODE_0, DIK_0},
    {SDL_SCANCODE_MINUS, DIK_MINUS},
    {SDL_SCANCODE_EQUALS, DIK_EQUALS},
    {SDL_SCANCODE_BACKSPACE, DIK_BACK},
    {SDL_SCANCODE_TAB, DIK_TAB},
    {SDL_SCANCODE_Q, DIK_Q},
    {SDL_SCANCODE_W, DIK_W},
    {SDL_SCANCODE_E, DIK_E},
    {SDL_SCANCODE_R, DIK_R},
    {SDL_SCANCODE_T, DIK_T},
    {SDL_SCANCODE_Y, DIK_Y},
    {SDL_SCANCODE_U, DIK_U},
    {SDL_SCANCODE_I, DIK_I},
    {SDL_SCANCODE_O, DIK_O},
    {SDL_SCANCODE_P, DIK_P},
    {SDL_SCANCODE_LEFTBRACKET, DIK_LBRACKET},
    {SDL_SCANCODE_RIGHTBRACKET, DIK_RBRACKET},
    {SDL_SCANCODE_RETURN, DIK_RETURN},
    {SDL_SCANCODE_LCTRL, DIK_LCONTROL},
    {SDL_SCANCODE_A, DIK_A},
    {SDL_SCANCODE_S, DIK_S},
    {SDL_SCANCODE_D, DIK_D},
    {SDL_SCANCODE_F, DIK_F},
    {SDL_SCANCODE_G, DIK_G},
    {SDL_SCANCODE_H, DIK_H},
    {SDL_SCANCODE_J, DIK_J},
    {SDL_SCANCODE_K, DIK_K},
    {SDL_SCANCODE_L, DIK_L},
    {SDL_SCANCODE_SEMICOLON, DIK_SEMICOLON},
    {SDL_SCANCODE_APOSTROPHE, DIK_APOSTROPHE},
    {SDL_SCANCODE_GRAVE, DIK_GRAVE},
    {SDL_SCANCODE_LSHIFT, DIK_LSHIFT},
    {SDL_SCANCODE_BACKSLASH, DIK_BACKSLASH},
    // ISO boards report the key beside Return as the non-US hash; it sits where the US backslash does.
    {SDL_SCANCODE_NONUSHASH, DIK_BACKSLASH},
    {SDL_SCANCODE_Z, DIK_Z},
    {SDL_SCANCODE_X, DIK_X},
    {SDL_SCANCODE_C, DIK_C},
    {SDL_SCANCODE_V, DIK_V},
    {SDL_SCANCODE_B, DIK_B},
    {SDL_SCANCODE_N, DIK_N},
    {SDL_SCANCODE_M, DIK_M},
    {SDL_SCANCODE_COMMA, DIK_COMMA},
    {SDL_SCANCODE_PERIOD, DIK_PERIOD},
    {SDL_SCANCODE_SLASH, DIK_SLASH},
    {SDL_SCANCODE_RSHIFT, DIK_RSHIFT},
    {SDL_SCANCODE_KP_MULTIPLY, DIK_MULTIPLY},
    {SDL_SCANCODE_LALT, DIK_LMENU},
    {SDL_SCANCODE_SPACE, DIK_SPACE},
    {SDL_SCANCODE_CAPSLOCK, DIK_CAPITAL},
    {SDL_SCANCODE_F1, DIK_F1},
    {SDL_SCANCODE_F2, DIK_F2},
    {SDL_SCANCODE_F3, DIK_F3},
    {SDL_SCANCODE_F4, DIK_F4},
    {SDL_SCANCODE_F5, DIK_F5},
    {SDL_SCANCODE_F6, DIK_F6},
    {SDL_SCANCODE_F7, DIK_F7},
    {SDL_SCANCODE_F8, DIK_F8},
    {SDL_SCANCODE_F9, DIK_F9},
    {SDL_SCANCODE_F10, DIK_F10},
    {SDL_SCANCODE_NUMLOCKCLEAR, DIK_NUMLOCK},
    {SDL_SCANCODE_SCROLLLOCK, DIK_SCROLL},
    {SDL_SCANCODE_KP_7, DIK_NUMPAD7},
    {SDL_SCANCODE_KP_8, DIK_NUMPAD8},
    {SDL_SCANCODE_KP_9, DIK_NUMPAD9},
    {SDL_SCANCODE_KP_MINUS, DIK_SUBTRACT},
    {SDL_SCANCODE_KP_4, DIK_NUMPAD4},
    {SDL_SCANCODE_KP_5, DIK_NUMPAD5},
    {SDL_SCANCODE_KP_6, DIK_NUMPAD6},
    {SDL_SCANCODE_KP_PLUS, DIK_ADD},
    {SDL_SCANCODE_KP_1, DIK_NUMPAD1},
    {SDL_SCANCODE_KP_2, DIK_NUMPAD2},
    {SDL_SCANCODE_KP_3, DIK_NUMPAD3},
    {SDL_SCANCODE_KP_0, DIK_NUMPAD0},
    {SDL_SCANCODE_KP_PERIOD, DIK_DECIMAL},
    {SDL_SCANCODE_NONUSBACKSLASH, DIK_OEM_102},
    {SDL_SCANCODE_F11, DIK_F11},
    {SDL_SCANCODE_F12, DIK_F12},
    {SDL_SCANCODE_F13, DIK_F13},
    {SDL_SCANCODE_F14, DIK_F14},
    {SDL_SCANCODE_F15, DIK_F15},
    {SDL_SCANCODE_INTERNATIONAL2, DIK_KANA},
    {SDL_SCANCODE_INTERNATIONAL1, DIK_ABNT_C1},
    {SDL_SCANCODE_INTERNATIONAL4, DIK_CONVERT},
    {SDL_SCANCODE_INTERNATIONAL5, DIK_NOCONVERT},
    {SDL_SCANCODE_INTERNATIONAL3, DIK_YEN},
    {SDL_SCANCODE_KP_EQUALS, DIK_NUMPADEQUALS},
    {SDL_SCANCODE_AUDIOPREV, DIK_PREVTRACK},
    {SDL_SCANCODE_AUDIONEXT, DIK_NEXTTRACK},
    {SDL_SCANCODE_KP_ENTER, DIK_NUMPADENTER},
    {SDL_SCANCODE_RCTRL, DIK_RCONTROL},
    {SDL_SCANCODE_MUTE, DIK_MUTE},
    {SDL_SCANCODE_AUDIOPLAY, DIK_PLAYPAUSE},
    {SDL_SCANCODE_AUDIOSTOP, DIK_MEDIASTOP},
    {SDL_SCANCODE_VOLUMEDOWN, DIK_VOLUMEDOWN},
    {SDL_SCANCODE_VOLUMEUP, DIK_VOLUMEUP},
    {SDL_SCANCODE_KP_COMMA, DIK_NUMPADCOMMA},
    {SDL_SCANCODE_KP_DIVIDE, DIK_DIVIDE},
    {SDL_SCANCODE_PRINTSCREEN, DIK_SYSRQ},
    {SDL_SCANCODE_RALT, DIK_RMENU},
    {SDL_SCANCODE_PAUSE, DIK_PAUSE},
    {SDL_SCANCODE_HOME, DIK_HOME},
    {SDL_SCANCODE_UP, DIK_UP},
    {SDL_SCANCODE_PAGEUP, DIK_PRIOR},
    {SDL_SCANCODE_LEFT, DIK_LEFT},
    {SDL_SCANCODE_RIGHT, DIK_RIGHT},
    {SDL_SCANCODE_END, DIK_END},
    {SDL_SCANCODE_DOWN, DIK_DOWN},
    {SDL_SCANCODE_PAGEDOWN, DIK_NEXT},
    {SDL_SCANCODE_INSERT, DIK_INSERT},
    {SDL_SCANCODE_DELETE, DIK_DELETE},
    {SDL_SCANCODE_LGUI, DIK_LWIN},
    {SDL_SCANCODE_RGUI, DIK_RWIN},
    {SDL_SCANCODE_APPLICATION, DIK_APPS},
};

bool SameFormat(const DIDATAFORMAT& a, const DIDATAFORMAT& b)
{
    return a.dwSize == b.dwSize && a.dwFlags == b.dwFlags && a.dwDataSize == b.dwDataSize;
}

class DirectInput;

// What the keyboard and the mouse share: acquisition, cooperative level, reference count.
class SystemDevice : public ComObject<IDirectInputDevice8A>
{
public:
    SystemDevice(DirectInput* owner, const DIDATAFORMAT& format);

    HRESULT SetDataFormat(LPCDIDATAFORMAT lpdf) override
    {
        if (!lpdf || !SameFormat(*lpdf, format_))
            return DIERR_INVALIDPARAM;
        if (acquired_)
            return DIERR_ACQUIRED;
        formatSet_ = true;
        return DI_OK;
    }

    HRESULT SetCooperativeLevel(HWND hwnd, DWORD dwFlags) override
    {
        const DWORD exclusivity = dwFlags & (DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE);
        const DWORD when = dwFlags & (DISCL_FOREGROUND | DISCL_BACKGROUND);
        if (!hwnd || (exclusivity != DISCL_EXCLUSIVE && exclusivity != DISCL_NONEXCLUSIVE) ||
            (when != DISCL_FOREGROUND && when != DISCL_BACKGROUND))
            return DIERR_INVALIDPARAM;
        if (acquired_)
            return DIERR_ACQUIRED;
        foreground_ = when == DISCL_FOREGROUND;
        return DI_OK;
    }

    HRESULT Acquire() override
    {
        if (!formatSet_)
            return DIERR_INVALIDPARAM;
        if (acquired_)
            return DI_NOEFFECT;
        if (foreground_ && !InputState::Get().HasFocus())
            return DIERR_OTHERAPPHASPRIO;
        acquired_ = true;
        OnAcquired();
        return DI_OK;
    }

    HRESULT Unacquire() override
    {
        if (!acquired_)
            return DI_NOEFFECT;
        acquired_ = false;
        OnUnacquired();
        return DI_OK;
    }

    HRESULT GetDeviceState(DWORD cbData, LPVOID lpvData) override
    {
        if (!lpvData || !formatSet_ || cbData != format_.dwDataSize)
            return DIERR_INVALIDPARAM;
        if (!acquired_)
            return DIERR_NOTACQUIRED;
        // A foreground device loses its input with the focus and must be acquired again.
        if (foreground_ && !InputState::Get().HasFocus()) {
            acquired_ = false;
            OnUnacquired();
            return DIERR_INPUTLOST;
        }
        Read(lpvData);
        return DI_OK;
    }

    HRESULT Poll() override { return acquired_ ? DI_NOEFFECT : DIERR_NOTACQUIRED; }

protected:
    ~SystemDevice() override;
    virtual void OnAcquired() { }
    virtual void OnUnacquired() { }
    virtual void Read(void* data) = 0;
    bool IsAcquired() const { return acquired_; }

private:
    DirectInput* owner_;
    const DIDATAFORMAT& format_;
    bool formatSet_ = false;
    bool foreground_ = false;
    bool acquired_ = false;
};

class SystemKeyboard final : public SystemDevice
{
public:
    explicit SystemKeyboard(DirectInput* owner) : SystemDevice(owner, c_dfDIKeyboard) { }

private:
    void Read(void* data) override
    {
        std::array<BYTE, KEYBOARD_STATE_BYTES> keys{};
        bool down[InputState::SCANCODE_COUNT];
        InputState::Get().TakeKeysPressed(down);
        for (const KeyMapping& mapping : KEY_MAPPINGS)
            if (mapping.scancode >= 0 && mapping.scancode < InputState::SCANCODE_COUNT && down[mapping.scancode])
                keys[mapping.keyCode] = 0x80;
        std::memcpy(data, keys.data(), keys.size());
    }
};

class SystemMouse final : public SystemDevice
{
public:
    explicit SystemMouse(DirectInput* owner) : SystemDevice(owner, c_dfDIMouse) { }
    // A mouse released while still acquired must not leave GetAsyncKeyState on its last read for ever.
    ~SystemMouse() override
    {
        if (IsAcquired())
            OnUnacquired();
    }

private:
    // Motion made while the device was not acquired belongs to no read. From now on GetAsyncKeyState answers
    // with what this device's reads see, so a click between two frames is not lost to the widgets.
    void OnAcquired() override
    {
        InputState::Get().TakeMouseDelta(nullptr, nullptr, nullptr);
        InputState::Get().SetButtonsPolled(true);
    }
    void OnUnacquired() override { InputState::Get().SetButtonsPolled(false); }

    void Read(void* data) override
    {
        InputState& input = InputState::Get();
        long dx = 0;
        long dy = 0;
        long wheel = 0;
        input.TakeMouseDelta(&dx, &dy, &wheel);
        const uint32_t buttons = input.TakeButtonsPressed();
        DIMOUSESTATE state{};
        state.lX = static_cast<LONG>(dx);
        state.lY = static_cast<LONG>(dy);
        state.lZ = static_cast<LONG>(wheel);
        for (int i = 0; i < 4; ++i)
            state.rgbButtons[i] = (buttons & (1u << i)) ? 0x80 : 0x00;
        std::memcpy(data, &state, sizeof(state));
    }
};

class DirectInput final : public ComObject<IDirectInput8A>
{
public:
    HRESULT CreateDevice(REFGUID rguid, LPDIRECTINPUTDEVICE8A* lplpDirectInputDevice, IUnknown* pUnkOuter) override
    {
        if (!lplpDirectInputDevice)
            return DIERR_INVALIDPARAM;
        *lplpDirectInputDevice = nullptr;
        if (pUnkOuter)
            return DIERR_NOINTERFACE;
        if (SameGuid(rguid, GUID_SysKeyboard))
            *lplpDirectInputDevice = new SystemKeyboard(this);
        else if (SameGuid(rguid, GUID_SysMouse))
            *lplpDirectInputDevice = new SystemMouse(this);
        else
            return DIERR_DEVICENOTREG;
        return DI_OK;
    }

private:
    ~DirectInput() override = default;
};

// A device keeps the DirectInput object that made it alive, so the two may be released in either order.
SystemDevice::SystemDevice(DirectInput* owner, const DIDATAFORMAT& format) : owner_(owner), format_(format)
{
    owner_->AddRef();
}

SystemDevice::~SystemDevice()
{
    owner_->Release();
}

} // namespace

HRESULT DirectInput8Create(HINSTANCE, DWORD dwVersion, REFIID riidltf, LPVOID* ppvOut, IUnknown* punkOuter)
{
    if (!ppvOut)
        return DIERR_INVALIDPARAM;
    *ppvOut = nullptr;
    if (punkOuter)
        return DIERR_NOINTERFACE;
    if (dwVersion != DIRECTINPUT_VERSION)
        return DIERR_OLDDIRECTINPUTVERSION;
    if (!SameGuid(riidltf, IID_IDirectInput8A))
        return DIERR_NOINTERFACE;
    *ppvOut = static_cast<IDirectInput8A*>(new DirectInput());
    return DI_OK;
}
