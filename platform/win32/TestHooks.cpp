#include "win32/TestHooks.h"

#include "win32/InputState.h"
#include "win32/MessageQueue.h"
#include "win32/WindowRegistry.h"

#include <SDL.h>

namespace Win32TestHooks {

void ClearDefaultProcedureCalls();

void ResetWindowLayer()
{
    WindowRegistry& registry = WindowRegistry::Get();
    registry.DestroyAll();
    if (registry.IsVideoThread()) {
        SDL_PumpEvents();
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
    registry.SetSuppressSizeEvents(false);
    MessageQueue::Get().Clear();
    ResetCursorState();
    CaptureMessageBoxes(false);
    TakeMessageBoxes();
    UseRealPerformanceCounter();
    InputState::Get().Reset();
    ClearDefaultProcedureCalls();
}

} // namespace Win32TestHooks
