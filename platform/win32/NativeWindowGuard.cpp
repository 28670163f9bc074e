#include "win32/NativeWindowGuard.h"

#include "win32/MessageQueue.h"

#include <SDL.h>
#include <SDL_syswm.h>

#include <cstring>
#include <map>
#include <mutex>

#if defined(SDL_VIDEO_DRIVER_X11)

namespace {

struct KnownWindow {
    HWND hwnd = nullptr;
    bool closeAsked = false;
};

// The GLX extension's own error numbers for a drawable or window that is not there (offsets from its first
// error number, which the server assigns).
constexpr int GLX_BAD_DRAWABLE = 2;
constexpr int GLX_BAD_WINDOW = 12;

std::mutex g_mutex;
std::map<unsigned long, KnownWindow> g_known;
XErrorHandler g_previous = nullptr;
bool g_installed = false;
// -1 until a window told us; the swap of a drawable that is gone is reported by GLX in its own numbers.
int g_glxFirstError = -1;

bool SaysTheWindowIsGone(int code)
{
    if (code == BadWindow || code == BadDrawable) {
        return true;
    }
    std::lock_guard lock(g_mutex);
    return g_glxFirstError >= 0 &&
           (code == g_glxFirstError + GLX_BAD_DRAWABLE || code == g_glxFirstError + GLX_BAD_WINDOW);
}

int AnswerError(Display* display, XErrorEvent* error)
{
    if (SaysTheWindowIsGone(error->error_code)) {
        HWND closing = nullptr;
        bool ours = false;
        {
            std::lock_guard lock(g_mutex);
            auto found = g_known.find(error->resourceid);
            if (found != g_known.end()) {
                ours = true;
                if (!found->second.closeAsked) {
                    found->second.closeAsked = true;
                    closing = found->second.hwnd;
                }
            }
        }
        if (ours) {
            // Posting only: an error handler must not call back into the window system.
            if (closing) {
                MessageQueue::Get().Post(closing, WM_CLOSE, 0, 0);
            }
            return 0;
        }
    }
    return g_previous ? g_previous(display, error) : 0;
}

bool IsX11()
{
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver && std::strcmp(driver, "x11") == 0;
}

} // namespace

namespace NativeWindowGuard {

void Install()
{
    std::lock_guard lock(g_mutex);
    if (g_installed || !IsX11()) {
        return;
    }
    g_installed = true;
    g_previous = XSetErrorHandler(AnswerError);
}

void Remember(SDL_Window* window, HWND hwnd)
{
    if (!window || !IsX11()) {
        return;
    }
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) {
        return;
    }
    int glxOpcode = 0;
    int glxFirstEvent = 0;
    int glxFirstError = -1;
    const bool glx = XQueryExtension(info.info.x11.display, "GLX", &glxOpcode, &glxFirstEvent, &glxFirstError);
    std::lock_guard lock(g_mutex);
    if (glx) {
        g_glxFirstError = glxFirstError;
    }
    g_known[static_cast<unsigned long>(info.info.x11.window)] = KnownWindow{hwnd, false};
}

} // namespace NativeWindowGuard

#else

namespace NativeWindowGuard {

void Install()
{ }

void Remember(SDL_Window*, HWND)
{ }

} // namespace NativeWindowGuard

#endif
