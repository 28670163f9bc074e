#pragma once
// Platform-internal: the windows made by CreateWindowExA, their SDL windows and the geometry shared by the window
// calls, the event pump and the bridge. A window's client area is its SDL window; the frame around it exists only
// in the numbers (AdjustWindowRect, GetWindowRect), since the desktop draws the real one.

#include "win32/Win32.h"

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct SDL_Window;

struct WindowRecord {
    SDL_Window* sdl = nullptr;
    uint32_t sdlId = 0;
    WNDPROC proc = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    // 0 until the device says how big its back buffer is; the client size stands in until then.
    int backBufferWidth = 0;
    int backBufferHeight = 0;
    bool fullscreen = false;
    // The client area's place before full screen, given back on leaving it.
    int windowedX = 0;
    int windowedY = 0;
    int windowedWidth = 0;
    int windowedHeight = 0;
    // The size state the window procedure last heard of through WM_SIZE; an event that changes nothing is not
    // passed on.
    WPARAM reportedKind = 0;
    int reportedWidth = 0;
    int reportedHeight = 0;
};

class WindowRegistry
{
public:
    static WindowRegistry& Get();

    // Starts SDL's video once; false (with one line on stderr) when no video driver works.
    bool EnsureVideo();
    bool VideoReady() const;
    bool IsDummyDriver() const;
    // SDL's events may only be pumped by the thread that started its video.
    bool IsVideoThread() const;

    void RegisterClass(const std::string& name, WNDPROC proc);
    // Class names compare without regard to case, as window class names always have.
    bool FindClass(const std::string& name, WNDPROC* proc) const;

    HWND Add(std::unique_ptr<WindowRecord> record);
    std::unique_ptr<WindowRecord> Remove(HWND hwnd);
    bool IsWindow(HWND hwnd) const;
    // Runs fn on the window's record under the registry's lock; false when hwnd is not a window. fn must not call
    // a window procedure.
    bool With(HWND hwnd, const std::function<void(WindowRecord&)>& fn);
    HWND FindBySdlId(uint32_t id) const;
    // The first window made that still exists: the one a quit request from the desktop closes.
    HWND MainWindow() const;
    std::vector<HWND> AllWindows() const;
    static HWND DesktopHandle();

    // What a style puts around the client area: popups are bare, a caption brings a border and resizing.
    static bool IsBordered(DWORD style);
    static bool IsResizable(DWORD style);
    // The frame in the metrics of the desktop the game was made on (AdjustWindowRect).
    static RECT FrameInsets(DWORD style, bool menu);

    // The desktop (display 0); false when no video driver runs.
    bool DesktopBounds(int* x, int* y, int* w, int* h);

    // Geometry of a window's client area. The screen origin is where client (0, 0) is on the desktop.
    bool ClientOrigin(HWND hwnd, int* x, int* y);
    bool ClientSize(HWND hwnd, int* w, int* h);
    // The back buffer's letterboxed place in the drawable, in drawable pixels.
    bool PresentRect(HWND hwnd, int* x, int* y, int* w, int* h);
    // Window coordinates (as SDL reports the pointer) to client coordinates (back-buffer pixels), clamped to the
    // back buffer, and back.
    bool WindowToClient(HWND hwnd, int wx, int wy, int* cx, int* cy);
    bool ClientToWindow(HWND hwnd, int cx, int cy, int* wx, int* wy);

    void SetSuppressSizeEvents(bool suppress);
    bool SuppressSizeEvents() const { return suppressSizeEvents_.load(); }

    // Ends an SDL window whose handle is gone. A device's OpenGL context may still be current on it (the device
    // outlives its window when the game releases its last resources after WM_CLOSE): such a window is only hidden,
    // and ends once no context is current any more, so the device never draws or deletes through a dead window.
    void RetireSdlWindow(SDL_Window* window);
    // Ends the hidden windows that no context needs any more. Called as windows come and go and as events are
    // pumped.
    void DestroyRetiredWindows();

    // Destroys every window without telling its procedure; for tests.
    void DestroyAll();

private:
    WindowRegistry() = default;
    WindowRecord* FindLocked(HWND hwnd) const;
    void DrawableSizeLocked(const WindowRecord& record, int* w, int* h) const;
    void PresentRectLocked(const WindowRecord& record, int* x, int* y, int* w, int* h) const;
    // The sizes that map pointer positions between window points and back-buffer pixels.
    struct PointerGeometry {
        int windowWidth = 0;
        int windowHeight = 0;
        int drawableWidth = 0;
        int drawableHeight = 0;
        int backBufferWidth = 0;
        int backBufferHeight = 0;
        int presentX = 0;
        int presentY = 0;
        int presentWidth = 0;
        int presentHeight = 0;
    };
    PointerGeometry PointerGeometryLocked(const WindowRecord& record) const;
    void RefreshReportedLocked(WindowRecord& record);

    mutable std::recursive_mutex mutex_;
    std::map<uintptr_t, std::unique_ptr<WindowRecord>> windows_;
    std::map<std::string, WNDPROC> classes_;
    uintptr_t nextHandle_ = 0x10000;
    bool videoTried_ = false;
    bool videoReady_ = false;
    bool dummy_ = false;
    std::thread::id videoThread_;
    std::atomic<bool> suppressSizeEvents_{false};
    std::vector<SDL_Window*> retired_;
};

// The cursor display counter back to 0 and the default cursor image (Cursor.cpp); for tests.
void ResetCursorState();
