#include "win32/InputState.h"
#include "win32/TestHooks.h"
#include "win32/Win32.h"
#include "win32/WindowBridge.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <iterator>
#include <thread>
#include <vector>

namespace {

struct Seen {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

std::vector<Seen> g_seen;

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    g_seen.push_back({hwnd, msg, wParam, lParam});
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

class MessageLoopTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Win32TestHooks::ResetWindowLayer();
        g_seen.clear();
        static bool registered = false;
        if (!registered) {
            WNDCLASSA wc{};
            wc.lpfnWndProc = RecordingProc;
            wc.lpszClassName = "LoopTestClass";
            wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
            ASSERT_NE(RegisterClassA(&wc), 0u);
            registered = true;
        }
    }
    void TearDown() override { Win32TestHooks::ResetWindowLayer(); }

    HWND MakeWindow(DWORD style = WS_POPUP | WS_VISIBLE, int w = 640, int h = 480)
    {
        HWND hwnd = CreateWindowExA(0, "LoopTestClass", "The Varnholt", style, 10, 20, w, h, nullptr, nullptr, nullptr,
                                    nullptr);
        EXPECT_NE(hwnd, nullptr);
        return hwnd;
    }

    // Dispatches everything waiting, as the game's loop does, and says whether the loop would have ended.
    bool RunLoopOnce(int* exitCode = nullptr)
    {
        MSG msg{};
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            if (!GetMessageA(&msg, nullptr, 0, 0)) {
                if (exitCode) {
                    *exitCode = static_cast<int>(msg.wParam);
                }
                return true;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        return false;
    }

    int CountSeen(UINT message) const
    {
        return static_cast<int>(
            std::count_if(g_seen.begin(), g_seen.end(), [&](const Seen& s) { return s.message == message; }));
    }

    static void PushWindowEvent(HWND hwnd, Uint8 kind, int a = 0, int b = 0)
    {
        SDL_Event e{};
        e.type = SDL_WINDOWEVENT;
        e.window.event = kind;
        e.window.windowID = SDL_GetWindowID(WindowBridge::GetSdlWindow(hwnd));
        e.window.data1 = a;
        e.window.data2 = b;
        SDL_PushEvent(&e);
    }
};

TEST_F(MessageLoopTest, PendingQuitIsAWaitingMessageAndCarriesTheExitCode)
{
    MSG msg{};
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    PostQuitMessage(3);
    // Peeking without removing keeps reporting it, so no frame can run before the loop takes it.
    EXPECT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, WM_QUIT);
    EXPECT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), 0);
    EXPECT_EQ(msg.message, WM_QUIT);
    EXPECT_EQ(msg.wParam, 3u);
    // Taken once, it is gone.
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
}

TEST_F(MessageLoopTest, WaitMessageEndsOnlyWhenSomethingWaits)
{
    HWND hwnd = MakeWindow();
    RunLoopOnce();
    MSG msg{};

    ASSERT_TRUE(PostMessageA(hwnd, WM_NULL, 5, 0));
    EXPECT_TRUE(WaitMessage());
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 5u);

    // Posts from another thread end the wait, and nothing else does.
    std::atomic<bool> posted{false};
    std::thread poster([&posted, hwnd] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        posted = true;
        PostMessageA(hwnd, WM_NULL, 6, 0);
    });
    EXPECT_TRUE(WaitMessage());
    EXPECT_TRUE(posted.load());
    poster.join();
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 6u);

    std::atomic<bool> quit{false};
    std::thread quitter([&quit] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        quit = true;
        PostQuitMessage(4);
    });
    EXPECT_TRUE(WaitMessage());
    EXPECT_TRUE(quit.load());
    quitter.join();
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), 0);
    EXPECT_EQ(msg.wParam, 4u);
}

TEST_F(MessageLoopTest, MessagesPostedBeforeTheQuitComeFirstAndLaterOnesNeverBeforeIt)
{
    HWND hwnd = MakeWindow();
    ASSERT_TRUE(PostMessageA(hwnd, WM_NULL, 1, 0));
    ASSERT_TRUE(PostMessageA(hwnd, WM_NULL, 2, 0));
    PostQuitMessage(0);
    ASSERT_TRUE(PostMessageA(hwnd, WM_NULL, 3, 0));

    MSG msg{};
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), 1);
    EXPECT_EQ(msg.wParam, 1u);
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), 1);
    EXPECT_EQ(msg.wParam, 2u);
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), 0);
    EXPECT_EQ(msg.message, WM_QUIT);
}

TEST_F(MessageLoopTest, FiltersSelectByWindowAndRangeButNeverHoldBackTheQuit)
{
    HWND a = MakeWindow();
    HWND b = MakeWindow();
    PostMessageA(a, WM_KEYDOWN, 'A', 0);
    PostMessageA(b, WM_MOUSEMOVE, 0, MAKELPARAM(5, 6));

    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, b, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, WM_MOUSEMOVE);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_MOUSEMOVE, WM_MOUSEMOVE, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, b);
    EXPECT_FALSE(PeekMessageA(&msg, b, 0, 0, PM_NOREMOVE));

    PostQuitMessage(9);
    ASSERT_TRUE(PeekMessageA(&msg, b, WM_SIZE, WM_SIZE, PM_NOREMOVE));
    EXPECT_EQ(msg.message, WM_QUIT);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_KEYDOWN);
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>('A'));
}

TEST_F(MessageLoopTest, PostingToAWindowThatIsGoneFails)
{
    HWND hwnd = MakeWindow();
    ASSERT_TRUE(DestroyWindow(hwnd));
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_FALSE(PostMessageA(hwnd, WM_NULL, 0, 0));
    EXPECT_FALSE(DestroyWindow(hwnd));
    EXPECT_EQ(SendMessageA(hwnd, WM_CLOSE, 0, 0), 0);
    EXPECT_EQ(CountSeen(WM_DESTROY), 1);
}

TEST_F(MessageLoopTest, DesktopQuitRequestClosesTheMainWindowThroughItsProcedure)
{
    HWND hwnd = MakeWindow();
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    ASSERT_EQ(SDL_PushEvent(&quit), 1);

    EXPECT_FALSE(RunLoopOnce());
    ASSERT_EQ(CountSeen(WM_CLOSE), 1);
    EXPECT_EQ(g_seen.front().hwnd, hwnd);
    // The default procedure destroys the window on WM_CLOSE, as the original did.
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(CountSeen(WM_DESTROY), 1);
}

TEST_F(MessageLoopTest, WindowCloseFromTheDesktopArrivesOnceEvenWithTheQuitThatFollows)
{
    HWND hwnd = MakeWindow();
    PushWindowEvent(hwnd, SDL_WINDOWEVENT_CLOSE);
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);

    RunLoopOnce();
    EXPECT_EQ(CountSeen(WM_CLOSE), 1);
}

TEST_F(MessageLoopTest, ResizeMinimiseAndFocusBecomeTheirMessages)
{
    HWND hwnd = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 800, 600);
    RunLoopOnce();
    g_seen.clear();
    InputState::Get().InjectKey(SDL_SCANCODE_W, true);
    InputState::Get().InjectButton(1, true);
    PushWindowEvent(hwnd, SDL_WINDOWEVENT_SIZE_CHANGED, 700, 500);
    for (Uint8 kind : {SDL_WINDOWEVENT_MINIMIZED, SDL_WINDOWEVENT_RESTORED, SDL_WINDOWEVENT_FOCUS_LOST,
                       SDL_WINDOWEVENT_FOCUS_GAINED})
        PushWindowEvent(hwnd, kind);
    RunLoopOnce();

    std::vector<Seen> sizes;
    std::copy_if(g_seen.begin(), g_seen.end(), std::back_inserter(sizes),
                 [](const Seen& s) { return s.message == WM_SIZE; });
    ASSERT_EQ(sizes.size(), 3u);
    EXPECT_EQ(sizes[0].wParam, SIZE_RESTORED);
    EXPECT_EQ(LOWORD(sizes[0].lParam), 700);
    EXPECT_EQ(HIWORD(sizes[0].lParam), 500);
    EXPECT_EQ(sizes[1].wParam, SIZE_MINIMIZED);
    EXPECT_EQ(sizes[2].wParam, SIZE_RESTORED);
    EXPECT_EQ(CountSeen(WM_KILLFOCUS), 1);
    EXPECT_EQ(CountSeen(WM_SETFOCUS), 1);
    EXPECT_EQ(CountSeen(WM_ENTERSIZEMOVE), 0);
    EXPECT_EQ(CountSeen(WM_EXITSIZEMOVE), 0);
    // The key and button held when focus went are up now.
    EXPECT_FALSE(InputState::Get().IsScancodeDown(SDL_SCANCODE_W));
    EXPECT_EQ(InputState::Get().GetButtons(), 0u);
}

TEST_F(MessageLoopTest, OwnSetWindowPosGivesWmSizeButNothingDuringAReset)
{
    HWND hwnd = MakeWindow(WS_POPUP | WS_VISIBLE, 1024, 768);
    RunLoopOnce();
    g_seen.clear();

    ASSERT_TRUE(SetWindowPos(hwnd, nullptr, 0, 0, 800, 600, SWP_NOMOVE | SWP_NOZORDER));
    RunLoopOnce();
    ASSERT_EQ(CountSeen(WM_SIZE), 1);
    EXPECT_EQ(LOWORD(g_seen.back().lParam), 800);
    EXPECT_EQ(HIWORD(g_seen.back().lParam), 600);

    g_seen.clear();
    WindowBridge::SetSuppressSizeEvents(true);
    SetWindowPos(hwnd, nullptr, 0, 0, 640, 480, SWP_NOMOVE | SWP_NOZORDER);
    RunLoopOnce();
    WindowBridge::SetSuppressSizeEvents(false);
    RunLoopOnce();
    EXPECT_EQ(CountSeen(WM_SIZE), 0);
    RECT client{};
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, 640);
}

TEST_F(MessageLoopTest, KeysAndButtonsBecomeMessagesAndSharedState)
{
    HWND hwnd = MakeWindow();
    RunLoopOnce();
    g_seen.clear();
    const Uint32 id = SDL_GetWindowID(WindowBridge::GetSdlWindow(hwnd));
    auto key = [id](SDL_Keycode sym, SDL_Scancode scan, Uint16 mod) {
        SDL_Event e{};
        e.type = SDL_KEYDOWN;
        e.key.windowID = id;
        e.key.keysym.sym = sym;
        e.key.keysym.scancode = scan;
        e.key.keysym.mod = mod;
        SDL_PushEvent(&e);
    };
    key(SDLK_w, SDL_SCANCODE_W, 0);
    key(SDLK_RETURN, SDL_SCANCODE_RETURN, KMOD_RALT);
    key(SDLK_F10, SDL_SCANCODE_F10, 0);
    RunLoopOnce();
    ASSERT_EQ(g_seen.size(), 3u);
    EXPECT_EQ(g_seen[0].message, WM_KEYDOWN);
    EXPECT_EQ(g_seen[0].wParam, static_cast<WPARAM>('W'));
    EXPECT_EQ(g_seen[1].message, WM_SYSKEYDOWN);
    EXPECT_EQ(g_seen[1].wParam, static_cast<WPARAM>(VK_RETURN));
    EXPECT_EQ(g_seen[2].message, WM_SYSKEYDOWN);
    EXPECT_EQ(g_seen[2].wParam, static_cast<WPARAM>(VK_F10));
    EXPECT_TRUE(InputState::Get().IsScancodeDown(SDL_SCANCODE_W));

    g_seen.clear();
    SDL_Event button{};
    button.type = SDL_MOUSEBUTTONDOWN;
    button.button.windowID = id;
    button.button.button = SDL_BUTTON_LEFT;
    button.button.x = 30;
    button.button.y = 40;
    SDL_PushEvent(&button);
    RunLoopOnce();
    ASSERT_EQ(g_seen.size(), 1u);
    EXPECT_EQ(g_seen[0].message, WM_LBUTTONDOWN);
    EXPECT_EQ(GET_X_LPARAM(g_seen[0].lParam), 30);
    EXPECT_EQ(GET_Y_LPARAM(g_seen[0].lParam), 40);
    EXPECT_EQ(g_seen[0].wParam & MK_LBUTTON, MK_LBUTTON);
    EXPECT_EQ(GetAsyncKeyState(VK_LBUTTON), static_cast<SHORT>(0x8000));
    EXPECT_EQ(GetAsyncKeyState(VK_RBUTTON), 0);
}

// The codes a Windows keyboard driver gives these keys, written out as numbers.
TEST_F(MessageLoopTest, KeypadEditingAndPunctuationKeysGetTheirVirtualKeyCodes)
{
    HWND hwnd = MakeWindow();
    RunLoopOnce();
    g_seen.clear();
    const Uint32 id = SDL_GetWindowID(WindowBridge::GetSdlWindow(hwnd));
    const struct {
        SDL_Keycode sym;
        WPARAM vk;
    } keys[] = {
        {SDLK_5, 0x35},         {SDLK_KP_7, 0x67},   {SDLK_KP_0, 0x60},      {SDLK_ESCAPE, 0x1B},
        {SDLK_PAGEUP, 0x21},    {SDLK_DELETE, 0x2E}, {SDLK_RSHIFT, 0x10},    {SDLK_KP_MULTIPLY, 0x6A},
        {SDLK_SEMICOLON, 0xBA}, {SDLK_QUOTE, 0xDE},  {SDLK_BACKQUOTE, 0xC0}, {SDLK_F13, 0},
    };
    for (const auto& k : keys) {
        SDL_Event e{};
        e.type = SDL_KEYDOWN;
        e.key.windowID = id;
        e.key.keysym.sym = k.sym;
        SDL_PushEvent(&e);
    }
    RunLoopOnce();
    ASSERT_EQ(g_seen.size(), std::size(keys));
    for (size_t i = 0; i < std::size(keys); ++i) {
        EXPECT_EQ(g_seen[i].message, WM_KEYDOWN) << i;
        EXPECT_EQ(g_seen[i].wParam, keys[i].vk) << i;
    }
}

TEST_F(MessageLoopTest, PointerMotionSetsTheCursorFirstAndReportsBackBufferPixels)
{
    HWND hwnd = MakeWindow(WS_POPUP | WS_VISIBLE, 1024, 768);
    RunLoopOnce();
    g_seen.clear();
    // An 800 x 600 back buffer shown in a 1024 x 768 client: same shape, scaled by 1.28.
    WindowBridge::SetBackBufferSize(hwnd, 800, 600);
    SDL_Event motion{};
    motion.type = SDL_MOUSEMOTION;
    motion.motion.windowID = SDL_GetWindowID(WindowBridge::GetSdlWindow(hwnd));
    motion.motion.x = 512;
    motion.motion.y = 384;
    motion.motion.xrel = 7;
    motion.motion.yrel = -2;
    SDL_PushEvent(&motion);
    RunLoopOnce();
    ASSERT_EQ(g_seen.size(), 2u);
    EXPECT_EQ(g_seen[0].message, WM_SETCURSOR);
    EXPECT_EQ(LOWORD(g_seen[0].lParam), HTCLIENT);
    EXPECT_EQ(g_seen[1].message, WM_MOUSEMOVE);
    // Pixel 512 of 1024 is the middle: (512.5 / 1.28) = 400.39 -> 400; (384.5 / 1.28) = 300.39 -> 300.
    EXPECT_EQ(GET_X_LPARAM(g_seen[1].lParam), 400);
    EXPECT_EQ(GET_Y_LPARAM(g_seen[1].lParam), 300);

    POINT p{};
    ASSERT_TRUE(GetCursorPos(&p));
    RECT window{};
    GetWindowRect(hwnd, &window);
    // A popup's window rectangle is its client area.
    EXPECT_EQ(p.x, window.left + 400);
    EXPECT_EQ(p.y, window.top + 300);
    ASSERT_TRUE(ScreenToClient(hwnd, &p));
    EXPECT_EQ(p.x, 400);
    EXPECT_EQ(p.y, 300);
    long dx = 0;
    long dy = 0;
    InputState::Get().TakeMouseDelta(&dx, &dy, nullptr);
    EXPECT_EQ(dx, 7);
    EXPECT_EQ(dy, -2);
}

} // namespace
