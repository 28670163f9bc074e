#include "win32/Log.h"
#include "win32/TestHooks.h"
#include "win32/Win32.h"
#include "win32/WindowRegistry.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

struct MessageBoxCapture {
    std::mutex mutex;
    bool capturing = false;
    std::vector<Win32TestHooks::CapturedMessageBox> boxes;
};

MessageBoxCapture& Capture()
{
    static MessageBoxCapture* capture = new MessageBoxCapture;
    return *capture;
}

// A box is shown only where someone can answer it: never under the dummy driver, where it would wait for ever.
bool CanShowBoxes()
{
    WindowRegistry& registry = WindowRegistry::Get();
    if (registry.VideoReady()) {
        return !registry.IsDummyDriver();
    }
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    return !(driver && (std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "offscreen") == 0));
}

// Stock objects are never drawn with here; each is a distinct non-null handle.
unsigned char g_stockObjects[BLACK_BRUSH + 1];

} // namespace

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    const char* shownText = text ? text : "";
    const char* shownCaption = caption ? caption : "Error";
    LogFormat(LogLevel::ERROR, "message.box", "%s: %s", shownCaption, shownText);
    std::fflush(stderr);
    {
        MessageBoxCapture& capture = Capture();
        std::lock_guard lock(capture.mutex);
        if (capture.capturing) {
            capture.boxes.push_back({shownCaption, shownText, type});
            return IDOK;
        }
    }
    if (!CanShowBoxes()) {
        return IDOK;
    }
    SDL_Window* parent = nullptr;
    WindowRegistry::Get().With(owner, [&](WindowRecord& r) { parent = r.sdl; });
    const Uint32 flags = (type & MB_ICONERROR) ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_INFORMATION;
    SDL_ShowSimpleMessageBox(flags, shownCaption, shownText, parent);
    return IDOK;
}

HGDIOBJ GetStockObject(int index)
{
    if (index < 0 || index > BLACK_BRUSH) {
        return nullptr;
    }
    return &g_stockObjects[index];
}

namespace Win32TestHooks {

void CaptureMessageBoxes(bool capture)
{
    MessageBoxCapture& c = Capture();
    std::lock_guard lock(c.mutex);
    c.capturing = capture;
}

std::vector<CapturedMessageBox> TakeMessageBoxes()
{
    MessageBoxCapture& c = Capture();
    std::lock_guard lock(c.mutex);
    std::vector<CapturedMessageBox> taken;
    taken.swap(c.boxes);
    return taken;
}

} // namespace Win32TestHooks
