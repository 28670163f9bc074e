#include "win32/VideoStart.h"

#include <SDL.h>

#include <cstdlib>
#include <cstring>

namespace {

// Tries at reaching a named X display before the game settles for what SDL offers.
constexpr int VIDEO_ATTEMPTS = 4;

} // namespace

bool IsStandInVideoDriver(const char* driver)
{
    return !driver || std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0;
}

bool StartVideo()
{
    const char* asked = std::getenv("SDL_VIDEODRIVER");
    const char* display = std::getenv("DISPLAY");
    const int attempts = !(asked && *asked) && display && *display ? VIDEO_ATTEMPTS : 1;
    for (int attempt = 1; attempt <= attempts; ++attempt) {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
            return false;
        if (attempt == attempts || !IsStandInVideoDriver(SDL_GetCurrentVideoDriver()))
            return true;
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
    return false;
}
