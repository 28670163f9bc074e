#pragma once
// Reads the keyboard and the mouse once per frame and answers, for the rest of the frame, whether a key is down
// (by DirectInput key code) and whether a mouse input is active (by binding name or mouse code). Callers that
// need a press rather than a held key keep their own previous-frame flag.

#include "win32/Win32.h"

#include <map>
#include <memory>
#include <string>

struct IDirectInput8A;
class KeyboardDevice;
class MouseDevice;

// The mouse inputs. The wheel codes are active in a frame whose wheel movement has that sign.
enum MouseCode
{
    MOUSE_LBUTTON = 0,
    MOUSE_RBUTTON = 1,
    MOUSE_MBUTTON = 2,
    MOUSE_WHEEL_UP = 120,
    MOUSE_WHEEL_DOWN = -120,
};

class InputManager
{
public:
    static InputManager* Get();
    // Releases the devices and empties the name table. For tests.
    static void ResetForTests();

    InputManager(const InputManager&) = delete;
    InputManager& operator=(const InputManager&) = delete;

    // Creates DirectInput, then the keyboard and the mouse for the window. A second call starts again from
    // nothing. S_OK, or E_FAIL at the first failure (nothing is then kept and nothing reads as down). The third
    // argument is accepted for the caller's sake and means nothing.
    HRESULT Init(HINSTANCE instance, HWND window, int reserved = 0);
    bool IsInitialised() const { return m_initialised; }
    // Polls the keyboard, then the mouse.
    void Update();
    // Acquires the mouse, then the keyboard (when the window regains the focus).
    HRESULT AcquireDevices();
    void Release();

    // Adds a binding name for a mouse code, unless the name is bound already.
    void BindMouseName(const std::string& name, int mouseCode);

    bool IsKeyDown(int keyCode) const;
    // LBUTTON 0, RBUTTON 1, MBUTTON 2, WHEEL_UP 120, WHEEL_DOWN -120; any other code is never down.
    bool IsMouseButtonDown(int mouseCode) const;
    // False for a name that is not bound.
    bool IsBindingDown(const std::string& name) const;
    // No key counts as down until the next Update.
    void ClearKeyboardState();

private:
    InputManager();
    ~InputManager();

    bool m_initialised = false;
    std::map<std::string, int> m_bindings;
    IDirectInput8A* m_directInput = nullptr;
    std::unique_ptr<KeyboardDevice> m_keyboard;
    std::unique_ptr<MouseDevice> m_mouse;
};
