#pragma once
// Our own declarations of the DirectInput 8 keyboard and mouse interface the game polls once per frame.
// Implemented over the shared InputState (fed by the window's SDL event pump), so DirectInput, GetAsyncKeyState
// and GetCursorPos always agree. Key codes are physical key positions: W/A/S/D sit in the same place on any layout.

#include "win32/Win32.h"

typedef const GUID& REFGUID;

constexpr DWORD DIRECTINPUT_VERSION = 0x0800;

constexpr HRESULT DI_OK = S_OK;
constexpr HRESULT DI_NOEFFECT = S_FALSE;
constexpr HRESULT DIERR_INPUTLOST = static_cast<HRESULT>(0x8007001Eu);
constexpr HRESULT DIERR_NOTACQUIRED = static_cast<HRESULT>(0x8007000Cu);
constexpr HRESULT DIERR_ACQUIRED = static_cast<HRESULT>(0x800700AAu);
constexpr HRESULT DIERR_OTHERAPPHASPRIO = static_cast<HRESULT>(0x80070005u);
constexpr HRESULT DIERR_NOTINITIALIZED = static_cast<HRESULT>(0x80070015u);
constexpr HRESULT DIERR_DEVICENOTREG = static_cast<HRESULT>(0x80040154u);
constexpr HRESULT DIERR_INVALIDPARAM = E_INVALIDARG;
constexpr HRESULT DIERR_NOINTERFACE = E_NOINTERFACE;
constexpr HRESULT DIERR_OLDDIRECTINPUTVERSION = static_cast<HRESULT>(0x8007047Eu);

// Cooperative levels.
constexpr DWORD DISCL_EXCLUSIVE = 0x00000001;
constexpr DWORD DISCL_NONEXCLUSIVE = 0x00000002;
constexpr DWORD DISCL_FOREGROUND = 0x00000004;
constexpr DWORD DISCL_BACKGROUND = 0x00000008;
constexpr DWORD DISCL_NOWINKEY = 0x00000010;

// Data format flags.
constexpr DWORD DIDF_ABSAXIS = 0x00000001;
constexpr DWORD DIDF_RELAXIS = 0x00000002;

// The layer offers the two standard formats only; a device accepts the one that belongs to it.
struct DIDATAFORMAT {
    DWORD dwSize;
    DWORD dwObjSize;
    DWORD dwFlags;
    DWORD dwDataSize;
    DWORD dwNumObjs;
    const void* rgodf;
};
typedef const DIDATAFORMAT* LPCDIDATAFORMAT;

extern const DIDATAFORMAT c_dfDIKeyboard; // 256 bytes, one per key code; down = byte & 0x80
extern const DIDATAFORMAT c_dfDIMouse; // DIMOUSESTATE, relative axes

struct DIMOUSESTATE {
    LONG lX; // motion since the last read
    LONG lY;
    LONG lZ; // wheel since the last read: 120 per notch, away from the user positive
    BYTE rgbButtons[4]; // left, right, middle, x1; down = byte & 0x80
};
typedef DIMOUSESTATE* LPDIMOUSESTATE;

extern const GUID GUID_SysKeyboard;
extern const GUID GUID_SysMouse;
extern const GUID IID_IDirectInput8A;

struct IDirectInputDevice8A : IUnknown {
    // Only while not acquired (DIERR_ACQUIRED otherwise).
    virtual HRESULT SetDataFormat(LPCDIDATAFORMAT lpdf) = 0;
    // hwnd must be set; exactly one of DISCL_EXCLUSIVE/DISCL_NONEXCLUSIVE and of DISCL_FOREGROUND/DISCL_BACKGROUND.
    virtual HRESULT SetCooperativeLevel(HWND hwnd, DWORD dwFlags) = 0;
    // A foreground device cannot be acquired while the window lacks the focus (DIERR_OTHERAPPHASPRIO); losing
    // the focus unacquires it, and the next read answers DIERR_INPUTLOST.
    virtual HRESULT Acquire() = 0;
    virtual HRESULT Unacquire() = 0;
    // Immediate snapshot: cbData must be the size of the data format (256 or sizeof(DIMOUSESTATE)).
    virtual HRESULT GetDeviceState(DWORD cbData, LPVOID lpvData) = 0;
    // The devices are not polled devices: DI_NOEFFECT while acquired.
    virtual HRESULT Poll() = 0;
};
typedef IDirectInputDevice8A* LPDIRECTINPUTDEVICE8A;

struct IDirectInput8A : IUnknown {
    // GUID_SysKeyboard or GUID_SysMouse; pUnkOuter must be null.
    virtual HRESULT CreateDevice(REFGUID rguid, LPDIRECTINPUTDEVICE8A* lplpDirectInputDevice, IUnknown* pUnkOuter) = 0;
};
typedef IDirectInput8A* LPDIRECTINPUT8A;

// dwVersion must be DIRECTINPUT_VERSION and riidltf IID_IDirectInput8A; punkOuter must be null.
HRESULT DirectInput8Create(HINSTANCE hinst, DWORD dwVersion, REFIID riidltf, LPVOID* ppvOut, IUnknown* punkOuter);

// Key codes: the positions of a standard PC keyboard.
constexpr int DIK_ESCAPE = 0x01;
constexpr int DIK_1 = 0x02;
constexpr int DIK_2 = 0x03;
constexpr int DIK_3 = 0x04;
constexpr int DIK_4 = 0x05;
constexpr int DIK_5 = 0x06;
constexpr int DIK_6 = 0x07;
constexpr int DIK_7 = 0x08;
constexpr int DIK_8 = 0x09;
constexpr int DIK_9 = 0x0A;
constexpr int DIK_0 = 0x0B;
constexpr int DIK_MINUS = 0x0C;
constexpr int DIK_EQUALS = 0x0D;
constexpr int DIK_BACK = 0x0E;
constexpr int DIK_TAB = 0x0F;
constexpr int DIK_Q = 0x10;
constexpr int DIK_W = 0x11;
constexpr int DIK_E = 0x12;
constexpr int DIK_R = 0x13;
constexpr int DIK_T = 0x14;
constexpr int DIK_Y = 0x15;
constexpr int DIK_U = 0x16;
constexpr int DIK_I = 0x17;
constexpr int DIK_O = 0x18;
constexpr int DIK_P = 0x19;
constexpr int DIK_LBRACKET = 0x1A;
constexpr int DIK_RBRACKET = 0x1B;
constexpr int DIK_RETURN = 0x1C;
constexpr int DIK_LCONTROL = 0x1D;
constexpr int DIK_A = 0x1E;
constexpr int DIK_S = 0x1F;
constexpr int DIK_D = 0x20;
constexpr int DIK_F = 0x21;
constexpr int DIK_G = 0x22;
constexpr int DIK_H = 0x23;
constexpr int DIK_J = 0x24;
constexpr int DIK_K = 0x25;
constexpr int DIK_L = 0x26;
constexpr int DIK_SEMICOLON = 0x27;
constexpr int DIK_APOSTROPHE = 0x28;
constexpr int DIK_GRAVE = 0x29;
constexpr int DIK_LSHIFT = 0x2A;
constexpr int DIK_BACKSLASH = 0x2B;
constexpr int DIK_Z = 0x2C;
constexpr int DIK_X = 0x2D;
constexpr int DIK_C = 0x2E;
constexpr int DIK_V = 0x2F;
constexpr int DIK_B = 0x30;
constexpr int DIK_N = 0x31;
constexpr int DIK_M = 0x32;
constexpr int DIK_COMMA = 0x33;
constexpr int DIK_PERIOD = 0x34;
constexpr int DIK_SLASH = 0x35;
constexpr int DIK_RSHIFT = 0x36;
constexpr int DIK_MULTIPLY = 0x37;
constexpr int DIK_LMENU = 0x38;
constexpr int DIK_SPACE = 0x39;
constexpr int DIK_CAPITAL = 0x3A;
constexpr int DIK_F1 = 0x3B;
constexpr int DIK_F2 = 0x3C;
constexpr int DIK_F3 = 0x3D;
constexpr int DIK_F4 = 0x3E;
constexpr int DIK_F5 = 0x3F;
constexpr int DIK_F6 = 0x40;
constexpr int DIK_F7 = 0x41;
constexpr int DIK_F8 = 0x42;
constexpr int DIK_F9 = 0x43;
constexpr int DIK_F10 = 0x44;
constexpr int DIK_NUMLOCK = 0x45;
constexpr int DIK_SCROLL = 0x46;
constexpr int DIK_NUMPAD7 = 0x47;
constexpr int DIK_NUMPAD8 = 0x48;
constexpr int DIK_NUMPAD9 = 0x49;
constexpr int DIK_SUBTRACT = 0x4A;
constexpr int DIK_NUMPAD4 = 0x4B;
constexpr int DIK_NUMPAD5 = 0x4C;
constexpr int DIK_NUMPAD6 = 0x4D;
constexpr int DIK_ADD = 0x4E;
constexpr int DIK_NUMPAD1 = 0x4F;
constexpr int DIK_NUMPAD2 = 0x50;
constexpr int DIK_NUMPAD3 = 0x51;
constexpr int DIK_NUMPAD0 = 0x52;
constexpr int DIK_DECIMAL = 0x53;
constexpr int DIK_OEM_102 = 0x56;
constexpr int DIK_F11 = 0x57;
constexpr int DIK_F12 = 0x58;
constexpr int DIK_F13 = 0x64;
constexpr int DIK_F14 = 0x65;
constexpr int DIK_F15 = 0x66;
constexpr int DIK_KANA = 0x70;
constexpr int DIK_ABNT_C1 = 0x73;
constexpr int DIK_CONVERT = 0x79;
constexpr int DIK_NOCONVERT = 0x7B;
constexpr int DIK_YEN = 0x7D;
constexpr int DIK_NUMPADEQUALS = 0x8D;
constexpr int DIK_PREVTRACK = 0x90;
constexpr int DIK_NEXTTRACK = 0x99;
constexpr int DIK_NUMPADENTER = 0x9C;
constexpr int DIK_RCONTROL = 0x9D;
constexpr int DIK_MUTE = 0xA0;
constexpr int DIK_PLAYPAUSE = 0xA2;
constexpr int DIK_MEDIASTOP = 0xA4;
constexpr int DIK_VOLUMEDOWN = 0xAE;
constexpr int DIK_VOLUMEUP = 0xB0;
constexpr int DIK_NUMPADCOMMA = 0xB3;
constexpr int DIK_DIVIDE = 0xB5;
constexpr int DIK_SYSRQ = 0xB7;
constexpr int DIK_RMENU = 0xB8;
constexpr int DIK_PAUSE = 0xC5;
constexpr int DIK_HOME = 0xC7;
constexpr int DIK_UP = 0xC8;
constexpr int DIK_PRIOR = 0xC9;
constexpr int DIK_LEFT = 0xCB;
constexpr int DIK_RIGHT = 0xCD;
constexpr int DIK_END = 0xCF;
constexpr int DIK_DOWN = 0xD0;
constexpr int DIK_NEXT = 0xD1;
constexpr int DIK_INSERT = 0xD2;
constexpr int DIK_DELETE = 0xD3;
constexpr int DIK_LWIN = 0xDB;
constexpr int DIK_RWIN = 0xDC;
constexpr int DIK_APPS = 0xDD;

// Other names for the same keys.
constexpr int DIK_BACKSPACE = DIK_BACK;
constexpr int DIK_NUMPADSTAR = DIK_MULTIPLY;
constexpr int DIK_LALT = DIK_LMENU;
constexpr int DIK_RALT = DIK_RMENU;
constexpr int DIK_CAPSLOCK = DIK_CAPITAL;
constexpr int DIK_NUMPADMINUS = DIK_SUBTRACT;
constexpr int DIK_NUMPADPLUS = DIK_ADD;
constexpr int DIK_NUMPADPERIOD = DIK_DECIMAL;
constexpr int DIK_NUMPADSLASH = DIK_DIVIDE;
constexpr int DIK_UPARROW = DIK_UP;
constexpr int DIK_DOWNARROW = DIK_DOWN;
constexpr int DIK_LEFTARROW = DIK_LEFT;
constexpr int DIK_RIGHTARROW = DIK_RIGHT;
constexpr int DIK_PGUP = DIK_PRIOR;
constexpr int DIK_PGDN = DIK_NEXT;
