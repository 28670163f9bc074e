#include "win32/TestHooks.h"

#include "win32/InputState.h"
#include "win32/MessageQueue.h"
#include "win32/WindowRegistry.h"

#include <SDL.h>

namespace Win32TestHooks {

void ClearDefaultProcedureCalls();

void PushKeyEvent(int sdlScancode, bool down)
{
    SDL_Event event{};
    event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.key.keysym.scancode = static_cast<SDL_Scancode>(sdlScancode);
    event.key.keysym.sym = SDL_GetKeyFromScancode(event.key.keysym.scancode);
    SDL_PushEvent(&event);
}

void PushPointerMotion(int windowX, int windowY)
{
    SDL_Event event{};
    event.type = SDL_MOUSEMOTION;
    event.motion.x = windowX;
    event.motion.y = windowY;
    SDL_PushEvent(&event);
}

void PushQuitEvent()
{
    SDL_Event event{};
    event.type = SDL_QUIT;
    SDL_PushEvent(&event);
}

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
