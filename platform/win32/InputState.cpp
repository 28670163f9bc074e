#include "win32/InputState.h"

#include <algorithm>

InputState& InputState::Get()
{
    static InputState instance;
    return instance;
}

InputState::InputState()
{
    std::fill(std::begin(keys_), std::end(keys_), false);
    std::fill(std::begin(keysPressed_), std::end(keysPressed_), false);
}

void InputState::Reset()
{
    std::lock_guard lock(mutex_);
    std::fill(std::begin(keys_), std::end(keys_), false);
    std::fill(std::begin(keysPressed_), std::end(keysPressed_), false);
    buttons_ = 0;
    buttonsPressed_ = 0;
    buttonsPolled_ = false;
    polledButtons_ = 0;
    deltaX_ = 0;
    deltaY_ = 0;
    wheel_ = 0;
    pointerX_ = 0;
    pointerY_ = 0;
    focus_ = true;
}

bool InputState::IsScancodeDown(int sdlScancode) const
{
    if (sdlScancode < 0 || sdlScancode >= SCANCODE_COUNT) {
        return false;
    }
    std::lock_guard lock(mutex_);
    return keys_[sdlScancode];
}

uint32_t InputState::GetButtons() const
{
    std::lock_guard lock(mutex_);
    return buttons_;
}

void InputState::TakeKeysPressed(bool (&down)[SCANCODE_COUNT])
{
    std::lock_guard lock(mutex_);
    for (int i = 0; i < SCANCODE_COUNT; ++i) {
        down[i] = keys_[i] || keysPressed_[i];
        keysPressed_[i] = false;
    }
}

uint32_t InputState::GetAsyncButtons() const
{
    std::lock_guard lock(mutex_);
    return buttonsPolled_ ? polledButtons_ : buttons_;
}

uint32_t InputState::TakeButtonsPressed()
{
    std::lock_guard lock(mutex_);
    const uint32_t down = buttons_ | buttonsPressed_;
    buttonsPressed_ = 0;
    polledButtons_ = down;
    return down;
}

void InputState::SetButtonsPolled(bool polled)
{
    std::lock_guard lock(mutex_);
    buttonsPolled_ = polled;
    polledButtons_ = 0;
}

void InputState::TakeMouseDelta(long* dx, long* dy, long* wheel)
{
    std::lock_guard lock(mutex_);
    if (dx) {
        *dx = deltaX_;
    }
    if (dy) {
        *dy = deltaY_;
    }
    if (wheel) {
        *wheel = wheel_;
    }
    deltaX_ = 0;
    deltaY_ = 0;
    wheel_ = 0;
}

void InputState::GetPointer(int* x, int* y) const
{
    std::lock_guard lock(mutex_);
    if (x) {
        *x = pointerX_;
    }
    if (y) {
        *y = pointerY_;
    }
}

bool InputState::HasFocus() const
{
    std::lock_guard lock(mutex_);
    return focus_;
}

void InputState::InjectKey(int sdlScancode, bool down)
{
    if (sdlScancode < 0 || sdlScancode >= SCANCODE_COUNT) {
        return;
    }
    std::lock_guard lock(mutex_);
    keys_[sdlScancode] = down;
    if (down) {
        keysPressed_[sdlScancode] = true;
    }
}

void InputState::InjectButton(int button, bool down)
{
    if (button < 0 || button > 3) {
        return;
    }
    std::lock_guard lock(mutex_);
    const uint32_t bit = 1u << button;
    if (down) {
        buttons_ |= bit;
        buttonsPressed_ |= bit;
    } else {
        buttons_ &= ~bit;
    }
}

void InputState::InjectMotion(int dx, int dy)
{
    std::lock_guard lock(mutex_);
    deltaX_ += dx;
    deltaY_ += dy;
}

void InputState::InjectWheel(int notches)
{
    std::lock_guard lock(mutex_);
    wheel_ += static_cast<long>(notches) * WHEEL_DELTA;
}

void InputState::SetPointer(int x, int y)
{
    std::lock_guard lock(mutex_);
    pointerX_ = x;
    pointerY_ = y;
}

void InputState::SetFocus(bool focused)
{
    std::lock_guard lock(mutex_);
    focus_ = focused;
    if (!focused) {
        std::fill(std::begin(keys_), std::end(keys_), false);
        std::fill(std::begin(keysPressed_), std::end(keysPressed_), false);
        buttons_ = 0;
        buttonsPressed_ = 0;
        polledButtons_ = 0;
    }
}
