#include "win32/WindowBridge.h"

#include "win32/WindowRegistry.h"

#include <SDL.h>
#include <SDL_syswm.h>
#if defined(SDL_VIDEO_DRIVER_X11)
#include <X11/Xutil.h>
#endif

#include <cstring>

namespace WindowBridge {

SDL_Window* GetSdlWindow(HWND hwnd)
{
    SDL_Window* window = nullptr;
    WindowRegistry::Get().With(hwnd, [&](WindowRecord& r) { window = r.sdl; });
    return window;
}

void SetBackBufferSize(HWND hwnd, int w, int h)
{
    WindowRegistry::Get().With(hwnd, [&](WindowRecord& r) {
        r.backBufferWidth = w > 0 && h > 0 ? w : 0;
        r.backBufferHeight = w > 0 && h > 0 ? h : 0;
    });
}

void GetPresentRect(HWND hwnd, int* x, int* y, int* w, int* h)
{
    int rx = 0;
    int ry = 0;
    int rw = 0;
    int rh = 0;
    WindowRegistry::Get().PresentRect(hwnd, &rx, &ry, &rw, &rh);
    if (x) {
        *x = rx;
    }
    if (y) {
        *y = ry;
    }
    if (w) {
        *w = rw;
    }
    if (h) {
        *h = rh;
    }
}

void SetFullscreen(HWND hwnd, bool fullscreen)
{
    WindowRegistry::Get().With(hwnd, [&](WindowRecord& r) {
        if (r.fullscreen == fullscreen) {
            return;
        }
        // Full screen is a borderless window covering the desktop, placed by us rather than by the
        // window manager's full-screen state: a bare X server (no window manager) ignores that state,
        // while window managers treat a borderless window that covers the screen as full screen.
        if (fullscreen) {
            const int display = SDL_GetWindowDisplayIndex(r.sdl);
            SDL_Rect bounds{};
            if (SDL_GetDisplayBounds(display < 0 ? 0 : display, &bounds) != 0 || bounds.w <= 0 || bounds.h <= 0) {
                return;
            }
            SDL_GetWindowPosition(r.sdl, &r.windowedX, &r.windowedY);
            SDL_GetWindowSize(r.sdl, &r.windowedWidth, &r.windowedHeight);
            SDL_SetWindowBordered(r.sdl, SDL_FALSE);
            SDL_SetWindowResizable(r.sdl, SDL_FALSE);
            SDL_SetWindowPosition(r.sdl, bounds.x, bounds.y);
            SDL_SetWindowSize(r.sdl, bounds.w, bounds.h);
            SDL_RaiseWindow(r.sdl);
            r.fullscreen = true;
            return;
        }
        r.fullscreen = false;
        // Not every desktop gives the old placement back by itself.
        SDL_SetWindowBordered(r.sdl, WindowRegistry::IsBordered(r.style) ? SDL_TRUE : SDL_FALSE);
        SDL_SetWindowResizable(r.sdl, WindowRegistry::IsResizable(r.style) ? SDL_TRUE : SDL_FALSE);
        if (r.windowedWidth > 0 && r.windowedHeight > 0) {
            SDL_SetWindowSize(r.sdl, r.windowedWidth, r.windowedHeight);
            SDL_SetWindowPosition(r.sdl, r.windowedX, r.windowedY);
        }
    });
}

void SetSuppressSizeEvents(bool suppress)
{
    WindowRegistry::Get().SetSuppressSizeEvents(suppress);
}

bool ReadShownPicture(HWND hwnd, int width, int height, uint8_t* bottomUpPixels)
{
#if defined(SDL_VIDEO_DRIVER_X11)
    SDL_Window* window = GetSdlWindow(hwnd);
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!window || !bottomUpPixels || width <= 0 || height <= 0 || !SDL_GetWindowWMInfo(window, &info) ||
        info.subsystem != SDL_SYSWM_X11)
        return false;
    Display* display = info.info.x11.display;
    const Window xwindow = info.info.x11.window;
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, xwindow, &attributes) || attributes.map_state != IsViewable ||
        attributes.width < width || attributes.height < height || !attributes.screen)
        return false;
    // The server refuses, with an error that would end the program, a rectangle not wholly on the screen.
    int rootX = 0, rootY = 0;
    Window child = 0;
    if (!XTranslateCoordinates(display, xwindow, attributes.root, 0, 0, &rootX, &rootY, &child) || rootX < 0 ||
        rootY < 0 || rootX + width > WidthOfScreen(attributes.screen) ||
        rootY + height > HeightOfScreen(attributes.screen))
        return false;
    XSync(display, False);
    XImage* image = XGetImage(display, xwindow, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height),
                              AllPlanes, ZPixmap);
    if (!image)
        return false;
    const bool layout = image->bits_per_pixel == 32 && image->byte_order == LSBFirst && image->red_mask == 0xFF0000 &&
                        image->green_mask == 0xFF00 && image->blue_mask == 0xFF && image->bytes_per_line >= width * 4;
    if (layout)
        for (int row = 0; row < height; ++row)
            std::memcpy(bottomUpPixels + static_cast<size_t>(height - 1 - row) * static_cast<size_t>(width) * 4,
                        image->data + static_cast<size_t>(row) * static_cast<size_t>(image->bytes_per_line),
                        static_cast<size_t>(width) * 4);
    XDestroyImage(image);
    return layout;
#else
    (void)hwnd;
    (void)width;
    (void)height;
    (void)bottomUpPixels;
    return false;
#endif
}

} // namespace WindowBridge
