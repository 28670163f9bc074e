#include "win32/Log.h"
#include "win32/MessageQueue.h"
#include "win32/NativeWindowGuard.h"
#include "win32/Win32.h"
#include "win32/WindowRegistry.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

void ApplyStyle(SDL_Window* window, DWORD style)
{
    SDL_SetWindowBordered(window, WindowRegistry::IsBordered(style) ? SDL_TRUE : SDL_FALSE);
    SDL_SetWindowResizable(window, WindowRegistry::IsResizable(style) ? SDL_TRUE : SDL_FALSE);
}

RECT FrameInsets(DWORD style, bool menu)
{
    return WindowRegistry::FrameInsets(style, menu);
}

bool IsDesktop(HWND hwnd)
{
    return hwnd == WindowRegistry::DesktopHandle();
}

} // namespace

UINT RegisterClassA(const WNDCLASSA* wc)
{
    if (!wc || !wc->lpszClassName || !*wc->lpszClassName || !wc->lpfnWndProc) {
        return 0;
    }
    WindowRegistry& registry = WindowRegistry::Get();
    if (registry.FindClass(wc->lpszClassName, nullptr)) {
        return 0;
    }
    registry.RegisterClass(wc->lpszClassName, wc->lpfnWndProc);
    // A class atom: any non-zero number.
    static UINT nextAtom = 0xC000;
    return nextAtom++;
}

BOOL AdjustWindowRect(LPRECT rect, DWORD style, BOOL menu)
{
    if (!rect) {
        return FALSE;
    }
    const RECT insets = FrameInsets(style, menu != FALSE);
    rect->left -= insets.left;
    rect->top -= insets.top;
    rect->right += insets.right;
    rect->bottom += insets.bottom;
    return TRUE;
}

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param)
{
    (void)parent;
    (void)menu;
    (void)instance;
    (void)param;
    WindowRegistry& registry = WindowRegistry::Get();
    WNDPROC proc = nullptr;
    if (!className || !registry.FindClass(className, &proc)) {
        LogFormat(LogLevel::ERROR, "window.create", "CreateWindowExA: window class \"%s\" is not registered",
                  className ? className : "");
        return nullptr;
    }
    if (!registry.EnsureVideo()) {
        return nullptr;
    }
    registry.DestroyRetiredWindows();
    // The numbers given are the outer rectangle; the SDL window is the client area inside the frame.
    const RECT insets = FrameInsets(style, false);
    const int clientX = x + insets.left;
    const int clientY = y + insets.top;
    const int clientW = std::max(1, width - static_cast<int>(insets.left + insets.right));
    const int clientH = std::max(1, height - static_cast<int>(insets.top + insets.bottom));

    Uint32 flags = SDL_WINDOW_HIDDEN;
    if (!registry.IsDummyDriver()) {
        flags |= SDL_WINDOW_OPENGL;
    }
    if (!WindowRegistry::IsBordered(style)) {
        flags |= SDL_WINDOW_BORDERLESS;
    }
    if (WindowRegistry::IsResizable(style)) {
        flags |= SDL_WINDOW_RESIZABLE;
    }
    if (flags & SDL_WINDOW_OPENGL) {
        // The device may draw its back buffer straight into the window, with the automatic depth-stencil
        // surface as the window's own: 24 bits of depth and 8 of stencil, as that surface has.
        SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
        SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
    }
    SDL_Window* window = SDL_CreateWindow(windowName ? windowName : "", clientX, clientY, clientW, clientH, flags);
    if (!window && (flags & SDL_WINDOW_OPENGL)) {
        // No such visual: a window without them still shows the back buffer.
        SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
        SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
        window = SDL_CreateWindow(windowName ? windowName : "", clientX, clientY, clientW, clientH, flags);
    }
    if (!window) {
        LogFormat(LogLevel::ERROR, "window.create", "CreateWindowExA: %s", SDL_GetError());
        return nullptr;
    }
    auto record = std::make_unique<WindowRecord>();
    record->sdl = window;
    record->sdlId = SDL_GetWindowID(window);
    record->proc = proc;
    record->style = style & ~WS_VISIBLE;
    record->exStyle = exStyle;
    record->reportedKind = SIZE_RESTORED;
    SDL_GetWindowSize(window, &record->reportedWidth, &record->reportedHeight);
    HWND hwnd = registry.Add(std::move(record));
    NativeWindowGuard::Remember(window, hwnd);
    if (style & WS_VISIBLE) {
        ShowWindow(hwnd, SW_SHOW);
    }
    return hwnd;
}

HWND GetDesktopWindow()
{
    return WindowRegistry::DesktopHandle();
}

BOOL GetWindowRect(HWND hwnd, LPRECT rect)
{
    if (!rect) {
        return FALSE;
    }
    *rect = RECT{0, 0, 0, 0};
    WindowRegistry& registry = WindowRegistry::Get();
    if (IsDesktop(hwnd)) {
        int x = 0;
        int y = 0;
        int w = 0;
        int h = 0;
        if (!registry.DesktopBounds(&x, &y, &w, &h)) {
            return FALSE;
        }
        *rect = RECT{x, y, x + w, y + h};
        return TRUE;
    }
    DWORD style = 0;
    bool fullscreen = false;
    if (!registry.With(hwnd, [&](WindowRecord& r) {
            style = r.style;
            fullscreen = r.fullscreen;
        })) {
        return FALSE;
    }
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
    registry.ClientOrigin(hwnd, &x, &y);
    registry.ClientSize(hwnd, &w, &h);
    const RECT insets = fullscreen ? RECT{0, 0, 0, 0} : FrameInsets(style, false);
    *rect = RECT{x - insets.left, y - insets.top, x + w + insets.right, y + h + insets.bottom};
    return TRUE;
}

BOOL GetClientRect(HWND hwnd, LPRECT rect)
{
    if (!rect) {
        return FALSE;
    }
    *rect = RECT{0, 0, 0, 0};
    WindowRegistry& registry = WindowRegistry::Get();
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
    if (IsDesktop(hwnd)) {
        if (!registry.DesktopBounds(&x, &y, &w, &h)) {
            return FALSE;
        }
    } else if (!registry.ClientSize(hwnd, &w, &h)) {
        return FALSE;
    }
    *rect = RECT{0, 0, w, h};
    return TRUE;
}

LONG GetWindowLongA(HWND hwnd, int index)
{
    LONG value = 0;
    WindowRegistry::Get().With(hwnd, [&](WindowRecord& r) {
        if (index == GWL_STYLE) {
            DWORD style = r.style;
            if (SDL_GetWindowFlags(r.sdl) & SDL_WINDOW_SHOWN) {
                style |= WS_VISIBLE;
            }
            value = static_cast<LONG>(style);
        } else if (index == GWL_EXSTYLE) {
            value = static_cast<LONG>(r.exStyle);
        }
    });
    return value;
}

LONG SetWindowLongA(HWND hwnd, int index, LONG value)
{
    LONG previous = GetWindowLongA(hwnd, index);
    const bool ok = WindowRegistry::Get().With(hwnd, [&](WindowRecord& r) {
        if (index == GWL_STYLE) {
            // Visibility stays with ShowWindow; the frame follows the new style at once and the client area
            // keeps its size.
            r.style = static_cast<DWORD>(value) & ~WS_VISIBLE;
            if (!r.fullscreen) {
                ApplyStyle(r.sdl, r.style);
            }
        } else if (index == GWL_EXSTYLE) {
            r.exStyle = static_cast<DWORD>(value);
        } else {
            previous = 0;
        }
    });
    return ok ? previous : 0;
}

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags)
{
    return WindowRegistry::Get().With(hwnd,
                                      [&](WindowRecord& r) {
                                          const RECT insets = FrameInsets(r.style, false);
                                          const int clientX = x + insets.left;
                                          const int clientY = y + insets.top;
                                          const int clientW =
                                              std::max(1, cx - static_cast<int>(insets.left + insets.right));
                                          const int clientH =
                                              std::max(1, cy - static_cast<int>(insets.top + insets.bottom));
                                          if (r.fullscreen) {
                                              // The desktop-sized window stays as it is; the placement asked for is
                                              // where it returns to.
                                              if (!(flags & SWP_NOMOVE)) {
                                                  r.windowedX = clientX;
                                                  r.windowedY = clientY;
                                              }
                                              if (!(flags & SWP_NOSIZE)) {
                                                  r.windowedWidth = clientW;
                                                  r.windowedHeight = clientH;
                                              }
                                          } else {
                                              if (!(flags & SWP_NOSIZE)) {
                                                  SDL_SetWindowSize(r.sdl, clientW, clientH);
                                              }
                                              if (!(flags & SWP_NOMOVE)) {
                                                  SDL_SetWindowPosition(r.sdl, clientX, clientY);
                                              }
                                              if (flags & SWP_FRAMECHANGED) {
                                                  ApplyStyle(r.sdl, r.style);
                                              }
                                          }
                                          if (!(flags & SWP_NOZORDER)) {
                                              if (insertAfter == HWND_TOPMOST) {
                                                  SDL_SetWindowAlwaysOnTop(r.sdl, SDL_TRUE);
                                              } else if (insertAfter == HWND_NOTOPMOST) {
                                                  SDL_SetWindowAlwaysOnTop(r.sdl, SDL_FALSE);
                                              } else if (insertAfter == HWND_TOP && !(flags & SWP_NOACTIVATE)) {
                                                  SDL_RaiseWindow(r.sdl);
                                              }
                                          }
                                          if (flags & SWP_SHOWWINDOW) {
                                              SDL_ShowWindow(r.sdl);
                                          } else if (flags & SWP_HIDEWINDOW) {
                                              SDL_HideWindow(r.sdl);
                                          }
                                      })
               ? TRUE
               : FALSE;
}

BOOL ShowWindow(HWND hwnd, int cmdShow)
{
    bool wasVisible = false;
    WindowRegistry::Get().With(hwnd, [&](WindowRecord& r) {
        wasVisible = (SDL_GetWindowFlags(r.sdl) & SDL_WINDOW_SHOWN) != 0;
        switch (cmdShow) {
        case SW_HIDE:
            SDL_HideWindow(r.sdl);
            break;
        case SW_SHOWMINIMIZED:
        case SW_MINIMIZE:
            SDL_ShowWindow(r.sdl);
            SDL_MinimizeWindow(r.sdl);
            break;
        case SW_SHOWMAXIMIZED:
            SDL_ShowWindow(r.sdl);
            SDL_MaximizeWindow(r.sdl);
            break;
        case SW_RESTORE:
            SDL_ShowWindow(r.sdl);
            SDL_RestoreWindow(r.sdl);
            break;
        default:
            SDL_ShowWindow(r.sdl);
            break;
        }
    });
    return wasVisible ? TRUE : FALSE;
}

BOOL UpdateWindow(HWND hwnd)
{
    // Nothing is painted through messages: the device presents every frame.
    return WindowRegistry::Get().IsWindow(hwnd) ? TRUE : FALSE;
}

BOOL DestroyWindow(HWND hwnd)
{
    WindowRegistry& registry = WindowRegistry::Get();
    if (!registry.IsWindow(hwnd)) {
        return FALSE;
    }
    SendMessageA(hwnd, WM_DESTROY, 0, 0);
    std::unique_ptr<WindowRecord> record = registry.Remove(hwnd);
    if (!record) {
        // The procedure destroyed it while handling WM_DESTROY.
        return TRUE;
    }
    registry.RetireSdlWindow(record->sdl);
    registry.DestroyRetiredWindows();
    MessageQueue::Get().Purge(hwnd);
    return TRUE;
}

HMENU GetMenu(HWND hwnd)
{
    (void)hwnd;
    return nullptr;
}

BOOL DestroyMenu(HMENU menu)
{
    // No window here ever has a menu, so there is never one to destroy.
    (void)menu;
    return FALSE;
}

BOOL IsWindow(HWND hwnd)
{
    return WindowRegistry::Get().IsWindow(hwnd) ? TRUE : FALSE;
}
