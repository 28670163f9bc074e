#include "win32/InputState.h"
#include "win32/Log.h"
#include "win32/PathResolver.h"
#include "win32/Win32.h"
#include "win32/WindowRegistry.h"

#include <SDL.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace {

std::atomic<int> g_cursorCount{0};

// A cursor read from its file. A video driver without cursors (the dummy one) still gets the cursor, with no SDL
// cursor behind it, so the game behaves the same with or without a display.
struct CursorRecord {
    SDL_Cursor* sdl = nullptr;
};

struct CursorState {
    std::mutex mutex;
    // Loaded once per resource number and kept for the whole run, as the original's shared cursors were; a number
    // whose file is missing is remembered too (as null), so it is reported once.
    std::map<unsigned, std::unique_ptr<CursorRecord>> loaded;
    HCURSOR current = nullptr;
};

CursorState& Cursors()
{
    static CursorState* state = new CursorState;
    return *state;
}

HCURSOR ToHandle(CursorRecord* cursor)
{
    return reinterpret_cast<HCURSOR>(cursor);
}

CursorRecord* FindLoaded(HCURSOR cursor)
{
    for (const auto& entry : Cursors().loaded) {
        if (entry.second && ToHandle(entry.second.get()) == cursor) {
            return entry.second.get();
        }
    }
    return nullptr;
}

} // namespace

// For the test hooks: back to a shown cursor with the default image.
void ResetCursorState()
{
    g_cursorCount.store(0);
    CursorState& state = Cursors();
    std::lock_guard lock(state.mutex);
    state.current = nullptr;
    if (WindowRegistry::Get().VideoReady()) {
        SDL_SetCursor(SDL_GetDefaultCursor());
        SDL_ShowCursor(SDL_ENABLE);
    }
}

int ShowCursor(BOOL show)
{
    const int count = show ? g_cursorCount.fetch_add(1) + 1 : g_cursorCount.fetch_sub(1) - 1;
    if (WindowRegistry::Get().VideoReady()) {
        SDL_ShowCursor(count >= 0 ? SDL_ENABLE : SDL_DISABLE);
    }
    return count;
}

BOOL GetCursorPos(LPPOINT point)
{
    if (!point) {
        return FALSE;
    }
    int x = 0;
    int y = 0;
    InputState::Get().GetPointer(&x, &y);
    int originX = 0;
    int originY = 0;
    WindowRegistry& registry = WindowRegistry::Get();
    registry.ClientOrigin(registry.MainWindow(), &originX, &originY);
    point->x = originX + x;
    point->y = originY + y;
    return TRUE;
}

BOOL SetCursorPos(int x, int y)
{
    WindowRegistry& registry = WindowRegistry::Get();
    HWND main = registry.MainWindow();
    int originX = 0;
    int originY = 0;
    registry.ClientOrigin(main, &originX, &originY);
    const int clientX = x - originX;
    const int clientY = y - originY;
    InputState::Get().SetPointer(clientX, clientY);
    int windowX = clientX;
    int windowY = clientY;
    if (registry.ClientToWindow(main, clientX, clientY, &windowX, &windowY)) {
        registry.With(main, [&](WindowRecord& r) { SDL_WarpMouseInWindow(r.sdl, windowX, windowY); });
    }
    // A Wayland compositor does not let a program move the pointer: the caller learns that the pointer
    // stays where the user put it.
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver && std::strcmp(driver, "wayland") == 0)
        return FALSE;
    return TRUE;
}

BOOL ScreenToClient(HWND hwnd, LPPOINT point)
{
    if (!point) {
        return FALSE;
    }
    int originX = 0;
    int originY = 0;
    if (!WindowRegistry::Get().ClientOrigin(hwnd, &originX, &originY)) {
        return FALSE;
    }
    point->x -= originX;
    point->y -= originY;
    return TRUE;
}

BOOL ClientToScreen(HWND hwnd, LPPOINT point)
{
    if (!point) {
        return FALSE;
    }
    int originX = 0;
    int originY = 0;
    if (!WindowRegistry::Get().ClientOrigin(hwnd, &originX, &originY)) {
        return FALSE;
    }
    point->x += originX;
    point->y += originY;
    return TRUE;
}

SHORT GetAsyncKeyState(int vkey)
{
    constexpr SHORT DOWN = static_cast<SHORT>(0x8000);
    const uint32_t buttons = InputState::Get().GetAsyncButtons();
    switch (vkey) {
    case VK_LBUTTON:
        return (buttons & InputState::BUTTON_LEFT) ? DOWN : 0;
    case VK_RBUTTON:
        return (buttons & InputState::BUTTON_RIGHT) ? DOWN : 0;
    case VK_MBUTTON:
        return (buttons & InputState::BUTTON_MIDDLE) ? DOWN : 0;
    case VK_XBUTTON1:
        return (buttons & InputState::BUTTON_X1) ? DOWN : 0;
    default:
        return 0;
    }
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name)
{
    (void)instance;
    if (!name || !IS_INTRESOURCE(name)) {
        LogFormat(LogLevel::WARNING, "cursor.load", "LoadCursorA: cursors are loaded by resource number only");
        return nullptr;
    }
    const unsigned id = static_cast<unsigned>(reinterpret_cast<uintptr_t>(name));
    CursorState& state = Cursors();
    std::lock_guard lock(state.mutex);
    auto found = state.loaded.find(id);
    if (found != state.loaded.end()) {
        return ToHandle(found->second.get());
    }
    const std::string path = "Data\\Cursors\\Cursor" + std::to_string(id) + ".bmp";
    std::unique_ptr<CursorRecord> cursor;
    if (WindowRegistry::Get().EnsureVideo()) {
        const std::string resolved = PathResolver::Resolve(path);
        SDL_Surface* image = PathResolver::Exists(resolved) ? SDL_LoadBMP(resolved.c_str()) : nullptr;
        if (!PathResolver::Exists(resolved)) {
            LogFormat(LogLevel::WARNING, "cursor.load", "LoadCursorA: no cursor file \"%s\"", path.c_str());
        } else if (!image) {
            LogFormat(LogLevel::WARNING, "cursor.load", "LoadCursorA: cannot load \"%s\": %s", path.c_str(),
                      SDL_GetError());
        } else {
            cursor = std::make_unique<CursorRecord>();
            cursor->sdl = SDL_CreateColorCursor(image, 0, 0);
            if (!cursor->sdl && !WindowRegistry::Get().IsDummyDriver()) {
                LogFormat(LogLevel::WARNING, "cursor.load", "LoadCursorA: cannot make a cursor of \"%s\": %s",
                          path.c_str(), SDL_GetError());
            }
            SDL_FreeSurface(image);
        }
    }
    CursorRecord* record = cursor.get();
    state.loaded[id] = std::move(cursor);
    return ToHandle(record);
}

HCURSOR SetCursor(HCURSOR cursor)
{
    CursorState& state = Cursors();
    std::lock_guard lock(state.mutex);
    const HCURSOR previous = state.current;
    // Only cursors made by LoadCursorA are real; anything else, and no cursor at all, shows the desktop's default
    // arrow rather than leaving the player without a pointer.
    CursorRecord* record = cursor ? FindLoaded(cursor) : nullptr;
    state.current = record ? cursor : nullptr;
    if (WindowRegistry::Get().VideoReady()) {
        SDL_Cursor* shown = record && record->sdl ? record->sdl : SDL_GetDefaultCursor();
        if (shown) {
            SDL_SetCursor(shown);
        }
    }
    return previous;
}
