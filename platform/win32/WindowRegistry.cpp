#include "win32/WindowRegistry.h"

#include "win32/Log.h"
#include "win32/NativeWindowGuard.h"
#include "win32/VideoStart.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

std::string LowerAscii(std::string text)
{
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

bool IsSizeEvent(const SDL_Event& event)
{
    if (event.type != SDL_WINDOWEVENT) {
        return false;
    }
    switch (event.window.event) {
    case SDL_WINDOWEVENT_RESIZED:
    case SDL_WINDOWEVENT_SIZE_CHANGED:
    case SDL_WINDOWEVENT_MINIMIZED:
    case SDL_WINDOWEVENT_MAXIMIZED:
    case SDL_WINDOWEVENT_RESTORED:
        return true;
    default:
        return false;
    }
}

SDL_EventFilter g_previousFilter = nullptr;
void* g_previousFilterData = nullptr;

// Size events are dropped as SDL raises them while the device resets, so none is seen later with a size that the
// reset itself passed through.
int SDLCALL DropSuppressedSizeEvents(void* userData, SDL_Event* event)
{
    (void)userData;
    if (IsSizeEvent(*event) && WindowRegistry::Get().SuppressSizeEvents()) {
        return 0;
    }
    return g_previousFilter ? g_previousFilter(g_previousFilterData, event) : 1;
}

} // namespace

WindowRegistry& WindowRegistry::Get()
{
    static WindowRegistry* registry = new WindowRegistry;
    return *registry;
}

bool WindowRegistry::EnsureVideo()
{
    std::lock_guard lock(mutex_);
    if (videoReady_) {
        return true;
    }
    // SDL counts its subsystem users: the window layer takes a reference of its own even when the device
    // layer started video first, so releasing the Direct3D object never pulls video from under the windows.
    if (!StartVideo()) {
        if (!videoTried_) {
            LogFormat(LogLevel::ERROR, "video.start", "Window system: no video driver could be started (%s)",
                      SDL_GetError());
        }
        videoTried_ = true;
        return false;
    }
    videoTried_ = true;
    videoReady_ = true;
    const char* driver = SDL_GetCurrentVideoDriver();
    dummy_ = driver && std::strcmp(driver, "dummy") == 0;
    videoThread_ = std::this_thread::get_id();
    SDL_GetEventFilter(&g_previousFilter, &g_previousFilterData);
    SDL_SetEventFilter(DropSuppressedSizeEvents, nullptr);
    NativeWindowGuard::Install();
    return true;
}

bool WindowRegistry::VideoReady() const
{
    std::lock_guard lock(mutex_);
    return videoReady_;
}

bool WindowRegistry::IsDummyDriver() const
{
    std::lock_guard lock(mutex_);
    return dummy_;
}

bool WindowRegistry::IsVideoThread() const
{
    std::lock_guard lock(mutex_);
    return videoReady_ && videoThread_ == std::this_thread::get_id();
}

void WindowRegistry::RegisterClass(const std::string& name, WNDPROC proc)
{
    std::lock_guard lock(mutex_);
    classes_[LowerAscii(name)] = proc;
}

bool WindowRegistry::FindClass(const std::string& name, WNDPROC* proc) const
{
    std::lock_guard lock(mutex_);
    auto it = classes_.find(LowerAscii(name));
    if (it == classes_.end()) {
        return false;
    }
    if (proc) {
        *proc = it->second;
    }
    return true;
}

HWND WindowRegistry::Add(std::unique_ptr<WindowRecord> record)
{
    std::lock_guard lock(mutex_);
    const uintptr_t id = nextHandle_;
    nextHandle_ += 2;
    windows_.emplace(id, std::move(record));
    return reinterpret_cast<HWND>(id);
}

std::unique_ptr<WindowRecord> WindowRegistry::Remove(HWND hwnd)
{
    std::lock_guard lock(mutex_);
    auto it = windows_.find(reinterpret_cast<uintptr_t>(hwnd));
    if (it == windows_.end()) {
        return nullptr;
    }
    std::unique_ptr<WindowRecord> record = std::move(it->second);
    windows_.erase(it);
    return record;
}

WindowRecord* WindowRegistry::FindLocked(HWND hwnd) const
{
    auto it = windows_.find(reinterpret_cast<uintptr_t>(hwnd));
    return it == windows_.end() ? nullptr : it->second.get();
}

bool WindowRegistry::IsWindow(HWND hwnd) const
{
    std::lock_guard lock(mutex_);
    return FindLocked(hwnd) != nullptr;
}

bool WindowRegistry::With(HWND hwnd, const std::function<void(WindowRecord&)>& fn)
{
    std::lock_guard lock(mutex_);
    WindowRecord* record = FindLocked(hwnd);
    if (!record) {
        return false;
    }
    fn(*record);
    return true;
}

HWND WindowRegistry::FindBySdlId(uint32_t id) const
{
    std::lock_guard lock(mutex_);
    for (const auto& [handle, record] : windows_) {
        if (record->sdlId == id) {
            return reinterpret_cast<HWND>(handle);
        }
    }
    return nullptr;
}

HWND WindowRegistry::MainWindow() const
{
    std::lock_guard lock(mutex_);
    // Handles grow with creation, so the first entry is the oldest window.
    return windows_.empty() ? nullptr : reinterpret_cast<HWND>(windows_.begin()->first);
}

std::vector<HWND> WindowRegistry::AllWindows() const
{
    std::lock_guard lock(mutex_);
    std::vector<HWND> all;
    for (const auto& entry : windows_) {
        all.push_back(reinterpret_cast<HWND>(entry.first));
    }
    return all;
}

HWND WindowRegistry::DesktopHandle()
{
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(0x10));
}

namespace {

constexpr LONG THICK_FRAME = 8;
constexpr LONG DIALOG_FRAME = 3;
constexpr LONG THIN_BORDER = 1;
constexpr LONG CAPTION_HEIGHT = 23;
constexpr LONG MENU_HEIGHT = 20;

bool HasCaption(DWORD style)
{
    // An overlapped window (neither popup nor child) always has a caption.
    return (style & WS_CAPTION) == WS_CAPTION || (style & (WS_POPUP | WS_CHILD)) == 0;
}

} // namespace

bool WindowRegistry::IsBordered(DWORD style)
{
    return HasCaption(style) || (style & (WS_THICKFRAME | WS_BORDER | WS_DLGFRAME)) != 0;
}

bool WindowRegistry::IsResizable(DWORD style)
{
    return HasCaption(style) || (style & WS_THICKFRAME) != 0;
}

RECT WindowRegistry::FrameInsets(DWORD style, bool menu)
{
    LONG border = 0;
    if (style & WS_THICKFRAME) {
        border = THICK_FRAME;
    } else if (HasCaption(style) || (style & WS_DLGFRAME)) {
        border = DIALOG_FRAME;
    } else if (style & WS_BORDER) {
        border = THIN_BORDER;
    }
    RECT insets{border, border, border, border};
    if (HasCaption(style)) {
        insets.top += CAPTION_HEIGHT;
    }
    if (menu) {
        insets.top += MENU_HEIGHT;
    }
    return insets;
}

bool WindowRegistry::DesktopBounds(int* x, int* y, int* w, int* h)
{
    SDL_Rect bounds{0, 0, 0, 0};
    const bool ok = EnsureVideo() && SDL_GetDisplayBounds(0, &bounds) == 0;
    *x = bounds.x;
    *y = bounds.y;
    *w = bounds.w;
    *h = bounds.h;
    return ok;
}

bool WindowRegistry::ClientOrigin(HWND hwnd, int* x, int* y)
{
    *x = 0;
    *y = 0;
    std::lock_guard lock(mutex_);
    WindowRecord* record = FindLocked(hwnd);
    if (!record) {
        return false;
    }
    SDL_GetWindowPosition(record->sdl, x, y);
    return true;
}

bool WindowRegistry::ClientSize(HWND hwnd, int* w, int* h)
{
    *w = 0;
    *h = 0;
    std::lock_guard lock(mutex_);
    WindowRecord* record = FindLocked(hwnd);
    if (!record) {
        return false;
    }
    SDL_GetWindowSize(record->sdl, w, h);
    return true;
}

void WindowRegistry::DrawableSizeLocked(const WindowRecord& record, int* w, int* h) const
{
    *w = 0;
    *h = 0;
    if (SDL_GetWindowFlags(record.sdl) & SDL_WINDOW_OPENGL) {
        SDL_GL_GetDrawableSize(record.sdl, w, h);
    }
    if (*w <= 0 || *h <= 0) {
        SDL_GetWindowSize(record.sdl, w, h);
    }
}

void WindowRegistry::PresentRectLocked(const WindowRecord& record, int* x, int* y, int* w, int* h) const
{
    int dw = 0;
    int dh = 0;
    DrawableSizeLocked(record, &dw, &dh);
    int bw = record.backBufferWidth;
    int bh = record.backBufferHeight;
    if (bw <= 0 || bh <= 0) {
        *x = 0;
        *y = 0;
        *w = dw;
        *h = dh;
        return;
    }
    // The largest rectangle of the back buffer's shape that fits, centred; bars fill the rest.
    const int64_t widthLimited = static_cast<int64_t>(dw) * bh;
    const int64_t heightLimited = static_cast<int64_t>(dh) * bw;
    if (widthLimited <= heightLimited) {
        *w = dw;
        *h = static_cast<int>((static_cast<int64_t>(bh) * dw + bw / 2) / bw);
    } else {
        *h = dh;
        *w = static_cast<int>((static_cast<int64_t>(bw) * dh + bh / 2) / bh);
    }
    *x = (dw - *w) / 2;
    *y = (dh - *h) / 2;
}

bool WindowRegistry::PresentRect(HWND hwnd, int* x, int* y, int* w, int* h)
{
    *x = *y = *w = *h = 0;
    std::lock_guard lock(mutex_);
    WindowRecord* record = FindLocked(hwnd);
    if (!record) {
        return false;
    }
    PresentRectLocked(*record, x, y, w, h);
    return true;
}

WindowRegistry::PointerGeometry WindowRegistry::PointerGeometryLocked(const WindowRecord& record) const
{
    PointerGeometry g;
    SDL_GetWindowSize(record.sdl, &g.windowWidth, &g.windowHeight);
    DrawableSizeLocked(record, &g.drawableWidth, &g.drawableHeight);
    const bool backBufferSet = record.backBufferWidth > 0 && record.backBufferHeight > 0;
    g.backBufferWidth = backBufferSet ? record.backBufferWidth : g.windowWidth;
    g.backBufferHeight = backBufferSet ? record.backBufferHeight : g.windowHeight;
    PresentRectLocked(record, &g.presentX, &g.presentY, &g.presentWidth, &g.presentHeight);
    return g;
}

bool WindowRegistry::WindowToClient(HWND hwnd, int wx, int wy, int* cx, int* cy)
{
    *cx = wx;
    *cy = wy;
    std::lock_guard lock(mutex_);
    WindowRecord* record = FindLocked(hwnd);
    if (!record) {
        return false;
    }
    const PointerGeometry g = PointerGeometryLocked(*record);
    if (g.windowWidth <= 0 || g.windowHeight <= 0 || g.presentWidth <= 0 || g.presentHeight <= 0 ||
        g.backBufferWidth <= 0 || g.backBufferHeight <= 0) {
        return true;
    }
    // Window points to drawable pixels (they differ on high-density displays), then into the back buffer.
    const double px = (wx + 0.5) * g.drawableWidth / g.windowWidth;
    const double py = (wy + 0.5) * g.drawableHeight / g.windowHeight;
    const int mx = static_cast<int>(std::floor((px - g.presentX) * g.backBufferWidth / g.presentWidth));
    const int my = static_cast<int>(std::floor((py - g.presentY) * g.backBufferHeight / g.presentHeight));
    *cx = std::clamp(mx, 0, g.backBufferWidth - 1);
    *cy = std::clamp(my, 0, g.backBufferHeight - 1);
    return true;
}

bool WindowRegistry::ClientToWindow(HWND hwnd, int cx, int cy, int* wx, int* wy)
{
    *wx = cx;
    *wy = cy;
    std::lock_guard lock(mutex_);
    WindowRecord* record = FindLocked(hwnd);
    if (!record) {
        return false;
    }
    const PointerGeometry g = PointerGeometryLocked(*record);
    if (g.drawableWidth <= 0 || g.drawableHeight <= 0 || g.backBufferWidth <= 0 || g.backBufferHeight <= 0) {
        return true;
    }
    const double px = g.presentX + (cx + 0.5) * g.presentWidth / g.backBufferWidth;
    const double py = g.presentY + (cy + 0.5) * g.presentHeight / g.backBufferHeight;
    *wx = static_cast<int>(std::floor(px * g.windowWidth / g.drawableWidth));
    *wy = static_cast<int>(std::floor(py * g.windowHeight / g.drawableHeight));
    return true;
}

void WindowRegistry::RefreshReportedLocked(WindowRecord& record)
{
    const Uint32 flags = SDL_GetWindowFlags(record.sdl);
    record.reportedKind = (flags & SDL_WINDOW_MINIMIZED)   ? SIZE_MINIMIZED
                          : (flags & SDL_WINDOW_MAXIMIZED) ? SIZE_MAXIMIZED
                                                           : SIZE_RESTORED;
    SDL_GetWindowSize(record.sdl, &record.reportedWidth, &record.reportedHeight);
}

void WindowRegistry::SetSuppressSizeEvents(bool suppress)
{
    std::lock_guard lock(mutex_);
    suppressSizeEvents_.store(suppress);
    if (!suppress) {
        // Whatever the reset did to the windows is what the game now knows of; a late event telling the same
        // again changes nothing.
        for (auto& entry : windows_) {
            RefreshReportedLocked(*entry.second);
        }
    }
}

void WindowRegistry::RetireSdlWindow(SDL_Window* window)
{
    if (!window) {
        return;
    }
    std::lock_guard lock(mutex_);
    // SDL would drop the current context with the window, and the device would then make it current again on
    // a freed window at its next call.
    if (SDL_GL_GetCurrentWindow() == window) {
        SDL_HideWindow(window);
        retired_.push_back(window);
        return;
    }
    SDL_DestroyWindow(window);
}

void WindowRegistry::DestroyRetiredWindows()
{
    std::lock_guard lock(mutex_);
    // While any context is current, a retired window may still be some device's: only when none is do they all end.
    if (retired_.empty() || SDL_GL_GetCurrentWindow() != nullptr) {
        return;
    }
    for (SDL_Window* window : retired_) {
        SDL_DestroyWindow(window);
    }
    retired_.clear();
}

void WindowRegistry::DestroyAll()
{
    std::map<uintptr_t, std::unique_ptr<WindowRecord>> doomed;
    {
        std::lock_guard lock(mutex_);
        doomed.swap(windows_);
    }
    for (auto& entry : doomed) {
        RetireSdlWindow(entry.second->sdl);
    }
    DestroyRetiredWindows();
}
