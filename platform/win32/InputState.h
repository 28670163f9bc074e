#pragma once
// The one record of what the keyboard and mouse are doing, fed by the window's event pump (and by tests) and read
// by GetAsyncKeyState/GetCursorPos as well as the DirectInput devices, so both views of the input always agree.

#include <cstdint>
#include <mutex>

class InputState
{
public:
    static constexpr int SCANCODE_COUNT = 512;
    static constexpr int WHEEL_DELTA = 120;
    static constexpr uint32_t BUTTON_LEFT = 1u << 0;
    static constexpr uint32_t BUTTON_RIGHT = 1u << 1;
    static constexpr uint32_t BUTTON_MIDDLE = 1u << 2;
    static constexpr uint32_t BUTTON_X1 = 1u << 3;

    static InputState& Get();

    // Everything up, no pending deltas, pointer at 0,0, focus true.
    void Reset();

    // SDL_Scancode values: physical key positions.
    bool IsScancodeDown(int sdlScancode) const;
    // bit0 left, bit1 right, bit2 middle, bit3 x1.
    uint32_t GetButtons() const;
    // The buttons GetAsyncKeyState reports. While a polled mouse is acquired they are the buttons its last read
    // saw: the game reads the mouse once per frame and asks GetAsyncKeyState during that frame, so a click whose
    // press and release both fall between two frames (a short click during a slow frame, a synthetic click) is
    // seen pressed in one frame and released in the next, as widgets need. Without a polled mouse, the buttons
    // now.
    uint32_t GetAsyncButtons() const;
    // What a polled device reads: whatever is down now or went down since the last such read. A key or button
    // pressed and released between two frames still counts as pressed in the next one.
    void TakeKeysPressed(bool (&down)[SCANCODE_COUNT]);
    uint32_t TakeButtonsPressed();
    // A polled mouse was acquired or unacquired: its reads become, or stop being, what GetAsyncButtons answers.
    void SetButtonsPolled(bool polled);
    // Motion and wheel accumulated since the last take; the wheel in units of 120 per notch, up positive.
    // Any out-parameter may be null.
    void TakeMouseDelta(long* dx, long* dy, long* wheel);
    // Client coordinates, which are back-buffer pixels.
    void GetPointer(int* x, int* y) const;
    bool HasFocus() const;

    void InjectKey(int sdlScancode, bool down);
    // 0 left, 1 right, 2 middle, 3 x1.
    void InjectButton(int button, bool down);
    void InjectMotion(int dx, int dy);
    void InjectWheel(int notches);
    void SetPointer(int x, int y);
    // Losing focus releases every key and button: a key held while the window lost focus (Alt+Enter, F10) would
    // otherwise read as held for ever.
    void SetFocus(bool focused);

private:
    InputState();

    mutable std::mutex mutex_;
    bool keys_[SCANCODE_COUNT];
    bool keysPressed_[SCANCODE_COUNT]; // went down since the last take
    uint32_t buttons_ = 0;
    uint32_t buttonsPressed_ = 0;
    bool buttonsPolled_ = false;
    uint32_t polledButtons_ = 0; // what the last read of the polled mouse saw
    long deltaX_ = 0;
    long deltaY_ = 0;
    long wheel_ = 0;
    int pointerX_ = 0;
    int pointerY_ = 0;
    bool focus_ = true;
};
