#pragma once
// Platform-internal: what the window layer does about a native window that someone else destroyed (a tool such as
// `xdotool windowclose`, or a session ending). X reports the loss as an error on the next call that names the
// window, and Xlib's default answer to any error is to end the process with exit code 1.

#include "win32/Win32.h"

struct SDL_Window;

namespace NativeWindowGuard {

// Once SDL's video is up: errors that name a window of ours that no longer exists are answered by asking that
// window to close (WM_CLOSE, once) instead of ending the process; every other error goes on to whoever handled
// errors before.
void Install();

// The native window behind an SDL window made for hwnd. Known windows stay known after they are destroyed, so
// late errors about them (the device's last frames, hiding the window) are quiet too.
void Remember(SDL_Window* window, HWND hwnd);

} // namespace NativeWindowGuard
