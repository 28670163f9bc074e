#include "win32/InputState.h"
#include "win32/MessageQueue.h"
#include "win32/TestHooks.h"
#include "win32/Win32.h"
#include "win32/WindowRegistry.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <mutex>

namespace {

// The virtual-key codes of the editing, modifier and navigation keys; 0 for any other key.
int ControlKey(SDL_Keycode code)
{
    switch (code) {
    case SDLK_BACKSPACE:
        return VK_BACK;
    case SDLK_TAB:
        return VK_TAB;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
        return VK_RETURN;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
        return VK_SHIFT;
    case SDLK_LCTRL:
    case SDLK_RCTRL:
        return VK_CONTROL;
    case SDLK_LALT:
    case SDLK_RALT:
        return VK_MENU;
    case SDLK_PAUSE:
        return VK_PAUSE;
    case SDLK_CAPSLOCK:
        return VK_CAPITAL;
    case SDLK_ESCAPE:
        return VK_ESCAPE;
    case SDLK_SPACE:
        return VK_SPACE;
    case SDLK_PAGEUP:
        return VK_PRIOR;
    case SDLK_PAGEDOWN:
        return VK_NEXT;
    case SDLK_END:
        return VK_END;
    case SDLK_HOME:
        return VK_HOME;
    case SDLK_LEFT:
        return VK_LEFT;
    case SDLK_UP:
        return VK_UP;
    case SDLK_RIGHT:
        return VK_RIGHT;
    case SDLK_DOWN:
        return VK_DOWN;
    case SDLK_PRINTSCREEN:
        return VK_SNAPSHOT;
    case SDLK_INSERT:
        return VK_INSERT;
    case SDLK_DELETE:
        return VK_DELETE;
    default:
        return 0;
    }
}

// The virtual-key codes of the keypad's operators and the punctuation keys; 0 for any other key.
int SymbolKey(SDL_Keycode code)
{
    switch (code) {
    case SDLK_KP_0:
        return VK_NUMPAD0;
    case SDLK_KP_MULTIPLY:
        return VK_MULTIPLY;
    case SDLK_KP_PLUS:
        return VK_ADD;
    case SDLK_KP_MINUS:
        return VK_SUBTRACT;
    case SDLK_KP_PERIOD:
        return VK_DECIMAL;
    case SDLK_KP_DIVIDE:
        return VK_DIVIDE;
    case SDLK_NUMLOCKCLEAR:
        return VK_NUMLOCK;
    case SDLK_SCROLLLOCK:
        return VK_SCROLL;
    case SDLK_SEMICOLON:
        return VK_OEM_1;
    case SDLK_EQUALS:
        return VK_OEM_PLUS;
    case SDLK_COMMA:
        return VK_OEM_COMMA;
    case SDLK_MINUS:
        return VK_OEM_MINUS;
    case SDLK_PERIOD:
        return VK_OEM_PERIOD;
    case SDLK_SLASH:
        return VK_OEM_2;
    case SDLK_BACKQUOTE:
        return VK_OEM_3;
    case SDLK_LEFTBRACKET:
        return VK_OEM_4;
    case SDLK_BACKSLASH:
        return VK_OEM_5;
    case SDLK_RIGHTBRACKET:
        return VK_OEM_6;
    case SDLK_QUOTE:
        return VK_OEM_7;
    default:
        return 0;
    }
}

// The virtual-key code the original keyboard driver gave each key, by what the key produces.
int VirtualKey(const SDL_Keysym& key)
{
    const SDL_Keycode code = key.sym;
    if (code >= SDLK_a && code <= SDLK_z) {
        return 'A' + (code - SDLK_a);
    }
    if (code >= SDLK_0 && code <= SDLK_9) {
        return '0' + (code - SDLK_0);
    }
    if (code >= SDLK_F1 && code <= SDLK_F12) {
        return VK_F1 + (code - SDLK_F1);
    }
    if (code >= SDLK_KP_1 && code <= SDLK_KP_9) {
        return VK_NUMPAD0 + 1 + (code - SDLK_KP_1);
    }
    if (const int control = ControlKey(code)) {
        return control;
    }
    return SymbolKey(code);
}

WPARAM MouseKeyFlags()
{
    const uint32_t buttons = InputState::Get().GetButtons();
    WPARAM flags = 0;
    if (buttons & InputState::BUTTON_LEFT) {
        flags |= MK_LBUTTON;
    }
    if (buttons & InputState::BUTTON_RIGHT) {
        flags |= MK_RBUTTON;
    }
    if (buttons & InputState::BUTTON_MIDDLE) {
        flags |= MK_MBUTTON;
    }
    if (buttons & InputState::BUTTON_X1) {
        flags |= MK_XBUTTON1;
    }
    const SDL_Keymod mod = SDL_GetModState();
    if (mod & KMOD_SHIFT) {
        flags |= MK_SHIFT;
    }
    if (mod & KMOD_CTRL) {
        flags |= MK_CONTROL;
    }
    return flags;
}

HWND WindowOf(uint32_t sdlWindowId)
{
    WindowRegistry& registry = WindowRegistry::Get();
    HWND hwnd = sdlWindowId ? registry.FindBySdlId(sdlWindowId) : nullptr;
    return hwnd ? hwnd : registry.MainWindow();
}

// Window coordinates to client (back-buffer) coordinates, remembered as the pointer's place.
LPARAM PointerAt(HWND hwnd, int x, int y)
{
    int cx = x;
    int cy = y;
    WindowRegistry::Get().WindowToClient(hwnd, x, y, &cx, &cy);
    InputState::Get().SetPointer(cx, cy);
    return MAKELPARAM(cx, cy);
}

void TranslateSizeEvent(HWND hwnd, const SDL_WindowEvent& event)
{
    WindowRegistry& registry = WindowRegistry::Get();
    bool post = false;
    WPARAM kind = SIZE_RESTORED;
    int width = 0;
    int height = 0;
    registry.With(hwnd, [&](WindowRecord& r) {
        SDL_GetWindowSize(r.sdl, &width, &height);
        kind = r.reportedKind;
        switch (event.event) {
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            width = event.data1;
            height = event.data2;
            if (kind == SIZE_MINIMIZED) {
                kind = SIZE_RESTORED;
            }
            break;
        case SDL_WINDOWEVENT_MINIMIZED:
            kind = SIZE_MINIMIZED;
            break;
        case SDL_WINDOWEVENT_MAXIMIZED:
            kind = SIZE_MAXIMIZED;
            break;
        case SDL_WINDOWEVENT_RESTORED:
            kind = SIZE_RESTORED;
            break;
        default:
            return;
        }
        const bool changed = kind != r.reportedKind || width != r.reportedWidth || height != r.reportedHeight;
        r.reportedKind = kind;
        r.reportedWidth = width;
        r.reportedHeight = height;
        post = changed && !registry.SuppressSizeEvents();
    });
    if (!post) {
        return;
    }
    const LPARAM size = kind == SIZE_MINIMIZED ? 0 : MAKELPARAM(width, height);
    MessageQueue::Get().Post(hwnd, WM_SIZE, kind, size);
}

void TranslateWindowEvent(const SDL_WindowEvent& event)
{
    HWND hwnd = WindowRegistry::Get().FindBySdlId(event.windowID);
    if (!hwnd) {
        return;
    }
    MessageQueue& queue = MessageQueue::Get();
    switch (event.event) {
    case SDL_WINDOWEVENT_SIZE_CHANGED:
    case SDL_WINDOWEVENT_MINIMIZED:
    case SDL_WINDOWEVENT_MAXIMIZED:
    case SDL_WINDOWEVENT_RESTORED:
        TranslateSizeEvent(hwnd, event);
        break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        InputState::Get().SetFocus(true);
        queue.Post(hwnd, WM_SETFOCUS, 0, 0);
        break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        InputState::Get().SetFocus(false);
        queue.Post(hwnd, WM_KILLFOCUS, 0, 0);
        break;
    case SDL_WINDOWEVENT_CLOSE:
        queue.Post(hwnd, WM_CLOSE, 0, 0);
        break;
    default:
        // SDL reports no start or end of a user's move or size, so WM_ENTERSIZEMOVE/WM_EXITSIZEMOVE never come.
        break;
    }
}

void TranslateKeyEvent(const SDL_KeyboardEvent& event)
{
    const bool down = event.type == SDL_KEYDOWN;
    InputState::Get().InjectKey(event.keysym.scancode, down);
    HWND hwnd = WindowOf(event.windowID);
    if (!hwnd) {
        return;
    }
    const int vk = VirtualKey(event.keysym);
    const bool alt =
        (event.keysym.mod & KMOD_ALT) != 0 || event.keysym.sym == SDLK_LALT || event.keysym.sym == SDLK_RALT;
    // Alt combinations and F10 are the keys of the system menu, so they come as system keys.
    const bool system = alt || event.keysym.sym == SDLK_F10;
    const UINT message = system ? (down ? WM_SYSKEYDOWN : WM_SYSKEYUP) : (down ? WM_KEYDOWN : WM_KEYUP);
    uint32_t flags = 1; // repeat count
    if (alt) {
        flags |= 1u << 29;
    }
    if (!down || event.repeat) {
        flags |= 1u << 30; // was down before
    }
    if (!down) {
        flags |= 1u << 31;
    }
    MessageQueue::Get().Post(hwnd, message, static_cast<WPARAM>(vk), static_cast<LPARAM>(static_cast<int32_t>(flags)));
}

void TranslateButtonEvent(const SDL_MouseButtonEvent& event)
{
    const bool down = event.type == SDL_MOUSEBUTTONDOWN;
    int index = -1;
    UINT message = 0;
    switch (event.button) {
    case SDL_BUTTON_LEFT:
        index = 0;
        message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
        break;
    case SDL_BUTTON_RIGHT:
        index = 1;
        message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
        break;
    case SDL_BUTTON_MIDDLE:
        index = 2;
        message = down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
        break;
    case SDL_BUTTON_X1:
        index = 3;
        break;
    default:
        return;
    }
    InputState::Get().InjectButton(index, down);
    HWND hwnd = WindowOf(event.windowID);
    if (!hwnd || message == 0) {
        return;
    }
    const LPARAM where = PointerAt(hwnd, event.x, event.y);
    MessageQueue::Get().Post(hwnd, message, MouseKeyFlags(), where);
}

void TranslateMotionEvent(const SDL_MouseMotionEvent& event)
{
    InputState::Get().InjectMotion(event.xrel, event.yrel);
    HWND hwnd = WindowOf(event.windowID);
    if (!hwnd) {
        return;
    }
    const LPARAM where = PointerAt(hwnd, event.x, event.y);
    MessageQueue& queue = MessageQueue::Get();
    if (queue.ReplaceNewest(hwnd, WM_MOUSEMOVE, MouseKeyFlags(), where)) {
        return;
    }
    queue.Post(hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    queue.Post(hwnd, WM_MOUSEMOVE, MouseKeyFlags(), where);
}

void TranslateWheelEvent(const SDL_MouseWheelEvent& event)
{
    int notches = event.y;
    if (event.direction == SDL_MOUSEWHEEL_FLIPPED) {
        notches = -notches;
    }
    if (notches == 0) {
        return;
    }
    InputState::Get().InjectWheel(notches);
    HWND hwnd = WindowOf(event.windowID);
    if (!hwnd) {
        return;
    }
    POINT screen{};
    GetCursorPos(&screen);
    const WPARAM wParam =
        (MouseKeyFlags() & 0xFFFF) | (static_cast<WPARAM>(static_cast<uint16_t>(notches * WHEEL_DELTA)) << 16);
    MessageQueue::Get().Post(hwnd, WM_MOUSEWHEEL, wParam, MAKELPARAM(screen.x, screen.y));
}

void TranslateQuit()
{
    // The desktop asks the program to end (its last window closed, or a signal): the main window is asked to
    // close, as the original's desktop did.
    HWND main = WindowRegistry::Get().MainWindow();
    if (!main) {
        MessageQueue::Get().PostQuit(0);
        return;
    }
    if (!MessageQueue::Get().Contains(main, WM_CLOSE)) {
        MessageQueue::Get().Post(main, WM_CLOSE, 0, 0);
    }
}

void Translate(const SDL_Event& event)
{
    switch (event.type) {
    case SDL_QUIT:
        TranslateQuit();
        break;
    case SDL_WINDOWEVENT:
        TranslateWindowEvent(event.window);
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        TranslateKeyEvent(event.key);
        break;
    case SDL_MOUSEMOTION:
        TranslateMotionEvent(event.motion);
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        TranslateButtonEvent(event.button);
        break;
    case SDL_MOUSEWHEEL:
        TranslateWheelEvent(event.wheel);
        break;
    default:
        break;
    }
}

void PumpEvents()
{
    WindowRegistry& registry = WindowRegistry::Get();
    if (!registry.IsVideoThread()) {
        return;
    }
    registry.DestroyRetiredWindows();
    SDL_PumpEvents();
    SDL_Event event;
    while (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0) {
        Translate(event);
    }
}

WNDPROC ProcOf(HWND hwnd)
{
    WNDPROC proc = nullptr;
    WindowRegistry::Get().With(hwnd, [&](WindowRecord& r) { proc = r.proc; });
    return proc;
}

} // namespace

namespace Win32TestHooks {

namespace {
std::mutex g_defaultCallsMutex;
std::map<UINT, int> g_defaultCalls;
} // namespace

int DefaultProcedureCalls(UINT message)
{
    std::lock_guard lock(g_defaultCallsMutex);
    const auto found = g_defaultCalls.find(message);
    return found == g_defaultCalls.end() ? 0 : found->second;
}

void ClearDefaultProcedureCalls()
{
    std::lock_guard lock(g_defaultCallsMutex);
    g_defaultCalls.clear();
}

void CountDefaultProcedureCall(UINT message)
{
    std::lock_guard lock(g_defaultCallsMutex);
    ++g_defaultCalls[message];
}

} // namespace Win32TestHooks

LRESULT DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    (void)wParam;
    (void)lParam;
    Win32TestHooks::CountDefaultProcedureCall(msg);
    if (msg == WM_CLOSE) {
        DestroyWindow(hwnd);
    }
    return 0;
}

BOOL PeekMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeMsg)
{
    if (!msg) {
        return FALSE;
    }
    PumpEvents();
    return MessageQueue::Get().Take(msg, hwnd, filterMin, filterMax, (removeMsg & PM_REMOVE) != 0) ? TRUE : FALSE;
}

BOOL GetMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax)
{
    if (!msg) {
        return -1;
    }
    WindowRegistry& registry = WindowRegistry::Get();
    for (;;) {
        if (PeekMessageA(msg, hwnd, filterMin, filterMax, PM_REMOVE)) {
            return msg->message == WM_QUIT ? 0 : 1;
        }
        if (registry.IsVideoThread()) {
            // Wakes at once for a desktop event; posts from other threads are seen within the time-out.
            SDL_WaitEventTimeout(nullptr, 5);
        } else {
            MessageQueue::Get().WaitForPost(std::chrono::milliseconds(5));
        }
    }
}

BOOL WaitMessage()
{
    WindowRegistry& registry = WindowRegistry::Get();
    MSG msg{};
    while (!PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
        if (registry.IsVideoThread()) {
            SDL_WaitEventTimeout(nullptr, 5);
        } else {
            MessageQueue::Get().WaitForPost(std::chrono::milliseconds(5));
        }
    }
    return TRUE;
}

DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL, DWORD milliseconds, DWORD)
{
    if (count != 0 || handles) {
        return WAIT_FAILED;
    }
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    WindowRegistry& registry = WindowRegistry::Get();
    MSG msg{};
    for (;;) {
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            return WAIT_OBJECT_0;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (milliseconds != INFINITE && left.count() <= 0) {
            return WAIT_TIMEOUT;
        }
        // Desktop events wake the wait at once; posts from other threads are seen within the slice.
        const int slice = milliseconds == INFINITE ? 5 : static_cast<int>(std::min<int64_t>(left.count(), 5));
        if (registry.IsVideoThread()) {
            SDL_WaitEventTimeout(nullptr, slice);
        } else {
            MessageQueue::Get().WaitForPost(std::chrono::milliseconds(slice));
        }
    }
}

BOOL TranslateMessage(const MSG* msg)
{
    // Nothing in the game reads WM_CHAR, so no character messages are made.
    if (!msg) {
        return FALSE;
    }
    return (msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN || msg->message == WM_KEYUP ||
            msg->message == WM_SYSKEYUP)
               ? TRUE
               : FALSE;
}

LRESULT DispatchMessageA(const MSG* msg)
{
    if (!msg || !msg->hwnd) {
        return 0;
    }
    WNDPROC proc = ProcOf(msg->hwnd);
    if (!proc) {
        return 0;
    }
    return proc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

void PostQuitMessage(int exitCode)
{
    MessageQueue::Get().PostQuit(exitCode);
}

BOOL PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (hwnd && !WindowRegistry::Get().IsWindow(hwnd)) {
        return FALSE;
    }
    MessageQueue::Get().Post(hwnd, msg, wParam, lParam);
    return TRUE;
}

LRESULT SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    WNDPROC proc = ProcOf(hwnd);
    if (!proc) {
        return 0;
    }
    return proc(hwnd, msg, wParam, lParam);
}
