#pragma once
// Platform-internal: what the device back ends and the input devices need of a window beyond the Win32 surface.
// Not for game code.

#include "win32/Win32.h"

#include <cstdint>

struct SDL_Window;

namespace WindowBridge {

// The SDL window behind a handle made by CreateWindowExA; null for anything else.
SDL_Window* GetSdlWindow(HWND hwnd);

// The size of the back buffer shown in the window. Pointer positions reported to the game (WM_MOUSEMOVE,
// GetCursorPos, ScreenToClient) are back-buffer pixels: when the drawable differs in size, window positions are
// mapped through the same letterboxed fit rectangle that GetPresentRect gives. Until it is set, the back buffer is
// taken to be the window's client size.
void SetBackBufferSize(HWND hwnd, int w, int h);

// The rectangle, in drawable pixels, that the back buffer is scaled into: the largest one of the back buffer's
// aspect that fits, centred. Out-parameters may be null; all are cleared to 0 for an unknown window.
void GetPresentRect(HWND hwnd, int* x, int* y, int* w, int* h);

// Full screen is a borderless window placed over the whole desktop by us (not SDL's full-screen flag, which a bare
// X server ignores); false returns to the windowed placement, frame and size.
void SetFullscreen(HWND hwnd, bool fullscreen);

// While set (during a device reset) window size events are dropped rather than queued as WM_SIZE. Clearing it makes
// the windows' sizes at that moment the ones the game knows: a size event still waiting that reports the same size
// brings no WM_SIZE (the reset has already dealt with it), while a later real change does.
void SetSuppressSizeEvents(bool suppress);

// The picture the window shows, width x height pixels from its top-left corner, read from the window system into
// 4 bytes a pixel (blue, green, red, unused) with the bottom row first. False when the window system cannot give
// it: not X11, a window that is not shown or not wholly on the screen, or a pixel layout of another kind.
bool ReadShownPicture(HWND hwnd, int width, int height, uint8_t* bottomUpPixels);

} // namespace WindowBridge
