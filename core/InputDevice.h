#pragma once
// The base of the keyboard and the mouse: one DirectInput device, created for the game's window, foreground and
// non-exclusive, acquired again whenever a read finds the input lost.

#include "win32/Win32.h"

struct GUID;
struct DIDATAFORMAT;
struct IDirectInput8A;
struct IDirectInputDevice8A;

class InputDevice
{
public:
    InputDevice() = default;
    InputDevice(const InputDevice&) = delete;
    InputDevice& operator=(const InputDevice&) = delete;
    virtual ~InputDevice();

    virtual HRESULT Init(IDirectInput8A* directInput, HWND window) = 0;
    virtual HRESULT Poll() = 0;
    // Unacquires and releases the device; the state then reads as nothing pressed.
    virtual void Release();

    // Up to 100 attempts in a row; E_FAIL without a device or when all fail.
    HRESULT Acquire();
    bool IsInitialised() const { return m_initialised; }

protected:
    // Creates the device, sets its format and cooperative level and acquires it. On failure nothing is kept.
    HRESULT InitDevice(IDirectInput8A* directInput, HWND window, const GUID& guid, const DIDATAFORMAT& format);
    // Reads the device into state. A read that fails because the input was lost re-acquires and reads again; when
    // the device cannot be had back, state is cleared (a key held as the focus went must not stay down). Any other
    // failure keeps what state held.
    HRESULT ReadState(void* state, DWORD size);
    virtual void ClearState() = 0;

    IDirectInputDevice8A* m_device = nullptr;
    HWND m_window = nullptr;
    bool m_initialised = false;
};
