#pragma once
// Hooks for tests: they replace what the machine would answer (the high-resolution counter, message boxes) and
// put the window layer back in its starting state between cases. Not for game code.

#include "win32/Win32.h"

#include <optional>
#include <string>
#include <vector>

namespace Win32TestHooks {

struct CapturedMessageBox {
    std::string caption;
    std::string text;
    UINT type = 0;
};

// Replaces the high-resolution counter. A frequency of std::nullopt makes QueryPerformanceFrequency and
// QueryPerformanceCounter report that the machine has no such counter (FALSE, value 0). Otherwise the
// frequency is reported as given and the counter reads `counter` until it is set again.
void SetPerformanceCounter(std::optional<LONGLONG> frequency, LONGLONG counter = 0);
// Moves the replaced counter; no effect while the real clock is in use.
void SetPerformanceCounterValue(LONGLONG counter);
// Back to the real clock.
void UseRealPerformanceCounter();

// While capturing, MessageBoxA records its caption, text and type (and still prints them on stderr) instead of
// showing anything, and answers IDOK.
void CaptureMessageBoxes(bool capture);
// The boxes recorded since the last take, oldest first.
std::vector<CapturedMessageBox> TakeMessageBoxes();

// Desktop events as the player would make them, queued where the window layer's pump reads them: a key
// (SDL_Scancode value) going down or up, the pointer moving to a point of the main window, the desktop asking
// the program to end.
void PushKeyEvent(int sdlScancode, bool down);
void PushPointerMotion(int windowX, int windowY);
void PushQuitEvent();

// How many messages of this kind reached DefWindowProcA since the window layer was last reset: what a window
// procedure passed on rather than handled itself.
int DefaultProcedureCalls(UINT message);

// The window layer as at start: every window destroyed (WM_DESTROY is not sent), the message queue and any
// pending quit cleared, the cursor display counter at 0, the current cursor back to the default, size events
// not suppressed, message boxes not captured, the real counter, the shared input state reset and the
// default-procedure counts cleared.
void ResetWindowLayer();

} // namespace Win32TestHooks
