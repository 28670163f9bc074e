#include "win32/InputState.h"
#include "win32/TestHooks.h"
#include "win32/Win32.h"
#include "win32/WindowBridge.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

std::array<LONG, 4> Edges(const RECT& rect)
{
    return {rect.left, rect.top, rect.right, rect.bottom};
}

LRESULT CALLBACK QuietProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

class WindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Win32TestHooks::ResetWindowLayer();
        static bool registered = false;
        if (!registered) {
            WNDCLASSA wc{};
            wc.lpfnWndProc = QuietProc;
            wc.lpszClassName = "ApplicationClass";
            ASSERT_NE(RegisterClassA(&wc), 0u);
            registered = true;
        }
    }
    void TearDown() override { Win32TestHooks::ResetWindowLayer(); }
};

TEST_F(WindowTest, ClassesAreRegisteredOnceAndLookedUpWithoutRegardToCase)
{
    WNDCLASSA wc{};
    wc.lpfnWndProc = QuietProc;
    wc.lpszClassName = "applicationclass";
    EXPECT_EQ(RegisterClassA(&wc), 0u);
    HWND hwnd =
        CreateWindowExA(0, "APPLICATIONCLASS", "x", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    EXPECT_NE(hwnd, nullptr);
    EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", "x", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr),
              nullptr);
}

TEST_F(WindowTest, GameWindowIsCentredOnTheDummyDesktop)
{
    // The dummy driver's desktop is 1024 x 768.
    RECT desktop{};
    ASSERT_TRUE(GetWindowRect(GetDesktopWindow(), &desktop));
    EXPECT_EQ(Edges(desktop), (std::array<LONG, 4>{0, 0, 1024, 768}));

    // A popup has no frame: the window rectangle for a 1024 x 768 client is 1024 x 768.
    RECT rect{0, 0, 1024, 768};
    ASSERT_TRUE(AdjustWindowRect(&rect, WS_POPUP | WS_VISIBLE, FALSE));
    EXPECT_EQ(Edges(rect), (std::array<LONG, 4>{0, 0, 1024, 768}));

    HWND hwnd = CreateWindowExA(0, "ApplicationClass", "The Varnholt", WS_POPUP | WS_VISIBLE, 0, 0,
                                rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(hwnd, GWL_STYLE)), 0x90000000u);
    RECT client{};
    ASSERT_TRUE(GetClientRect(hwnd, &client));
    EXPECT_EQ(Edges(client), (std::array<LONG, 4>{0, 0, 1024, 768}));
    EXPECT_STREQ(SDL_GetWindowTitle(WindowBridge::GetSdlWindow(hwnd)), "The Varnholt");
}

TEST_F(WindowTest, OverlappedFrameSurroundsTheClientArea)
{
    RECT rect{100, 100, 1124, 868};
    ASSERT_TRUE(AdjustWindowRect(&rect, WS_OVERLAPPEDWINDOW | WS_VISIBLE, FALSE));
    // A sizing border on every side and a caption on top make the window larger than its client area.
    EXPECT_LT(rect.left, 100);
    EXPECT_LT(rect.top, rect.left);
    EXPECT_GT(rect.right, 1124);
    EXPECT_GT(rect.bottom, 868);
    EXPECT_EQ(100 - rect.left, rect.right - 1124);

    HWND hwnd = CreateWindowExA(0, "ApplicationClass", "w", WS_OVERLAPPEDWINDOW | WS_VISIBLE, rect.left, rect.top,
                                rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(hwnd, nullptr);
    RECT client{};
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, 1024);
    EXPECT_EQ(client.bottom, 768);
    RECT window{};
    GetWindowRect(hwnd, &window);
    EXPECT_EQ(Edges(window), (std::array<LONG, 4>{rect.left, rect.top, rect.right, rect.bottom}));
    const Uint32 flags = SDL_GetWindowFlags(WindowBridge::GetSdlWindow(hwnd));
    EXPECT_FALSE(flags & SDL_WINDOW_BORDERLESS);
    EXPECT_TRUE(flags & SDL_WINDOW_RESIZABLE);
}

TEST_F(WindowTest, StyleChangesTheFrameAndComesBackAsSet)
{
    HWND hwnd = CreateWindowExA(0, "ApplicationClass", "w", WS_POPUP | WS_VISIBLE, 0, 0, 1024, 768, nullptr, nullptr,
                                nullptr, nullptr);
    ASSERT_NE(hwnd, nullptr);
    // (The dummy driver keeps the frame it was created with, so only the style itself is looked at here.)
    const LONG windowedStyle = static_cast<LONG>(0x10CF0000u);
    EXPECT_EQ(static_cast<DWORD>(SetWindowLongA(hwnd, GWL_STYLE, windowedStyle)), 0x90000000u);
    EXPECT_EQ(GetWindowLongA(hwnd, GWL_STYLE), windowedStyle);
    EXPECT_TRUE(SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_FRAMECHANGED));

    const LONG fullStyle = static_cast<LONG>(0x90080000u);
    SetWindowLongA(hwnd, GWL_STYLE, fullStyle);
    EXPECT_EQ(GetWindowLongA(hwnd, GWL_STYLE), fullStyle);
    // Hidden windows drop WS_VISIBLE.
    ShowWindow(hwnd, SW_HIDE);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(hwnd, GWL_STYLE)), 0x80080000u);
    EXPECT_EQ(GetWindowLongA(nullptr, GWL_STYLE), 0);
}

TEST_F(WindowTest, SetWindowPosPlacesTheOuterRectangle)
{
    HWND hwnd = CreateWindowExA(0, "ApplicationClass", "w", WS_POPUP | WS_VISIBLE, 0, 0, 1024, 768, nullptr, nullptr,
                                nullptr, nullptr);
    ASSERT_TRUE(SetWindowPos(hwnd, HWND_NOTOPMOST, 50, 60, 800, 600, SWP_SHOWWINDOW));
    RECT window{};
    GetWindowRect(hwnd, &window);
    EXPECT_EQ(Edges(window), (std::array<LONG, 4>{50, 60, 850, 660}));
    // SWP_NOMOVE keeps the place while the size changes.
    ASSERT_TRUE(SetWindowPos(hwnd, nullptr, 0, 0, 1280, 1024, SWP_NOMOVE | SWP_NOZORDER));
    GetWindowRect(hwnd, &window);
    EXPECT_EQ(window.left, 50);
    EXPECT_EQ(window.right, 50 + 1280);
    EXPECT_FALSE(SetWindowPos(nullptr, nullptr, 0, 0, 1, 1, 0));
    EXPECT_EQ(GetMenu(hwnd), nullptr);

    POINT p{10, 20};
    ASSERT_TRUE(ClientToScreen(hwnd, &p));
    EXPECT_EQ(p.x, 60);
    EXPECT_EQ(p.y, 80);
    ASSERT_TRUE(ScreenToClient(hwnd, &p));
    EXPECT_EQ(p.x, 10);
    EXPECT_EQ(p.y, 20);
}

TEST_F(WindowTest, FullScreenFillsTheDesktopAndLetterboxesTheBackBuffer)
{
    HWND hwnd = CreateWindowExA(0, "ApplicationClass", "w", WS_POPUP | WS_VISIBLE, 100, 50, 640, 480, nullptr, nullptr,
                                nullptr, nullptr);
    ASSERT_NE(hwnd, nullptr);
    WindowBridge::SetFullscreen(hwnd, true);
    RECT client{};
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, 1024);
    EXPECT_EQ(client.bottom, 768);

    // 800 x 500 (16:10) into 1024 x 768: width-limited, height 500 * 1024 / 800 = 640, bars of 64 above and below.
    WindowBridge::SetBackBufferSize(hwnd, 800, 500);
    int x = -1, y = -1, w = -1, h = -1;
    WindowBridge::GetPresentRect(hwnd, &x, &y, &w, &h);
    EXPECT_EQ((std::array{x, y, w, h}), (std::array{0, 64, 1024, 640}));

    // 600 x 600 into 1024 x 768: height-limited, a 768 square with bars of 128 left and right.
    WindowBridge::SetBackBufferSize(hwnd, 600, 600);
    WindowBridge::GetPresentRect(hwnd, &x, &y, &w, &h);
    EXPECT_EQ((std::array{x, y, w, h}), (std::array{128, 0, 768, 768}));

    // The pointer in the left bar is at the back buffer's left edge; the screen's middle is the buffer's middle.
    SDL_Event motion{};
    motion.type = SDL_MOUSEMOTION;
    motion.motion.windowID = SDL_GetWindowID(WindowBridge::GetSdlWindow(hwnd));
    motion.motion.x = 20;
    motion.motion.y = 384;
    SDL_PushEvent(&motion);
    MSG msg{};
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) { }
    int px = -1, py = -1;
    InputState::Get().GetPointer(&px, &py);
    EXPECT_EQ(px, 0);
    EXPECT_EQ(py, 300);

    WindowBridge::SetFullscreen(hwnd, false);
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, 640);
    EXPECT_EQ(client.bottom, 480);
    RECT window{};
    GetWindowRect(hwnd, &window);
    EXPECT_EQ(window.left, 100);
    EXPECT_EQ(window.top, 50);
}

TEST_F(WindowTest, UnknownWindowsGiveNothing)
{
    HWND bogus = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x7777));
    RECT r{1, 2, 3, 4};
    EXPECT_FALSE(GetWindowRect(bogus, &r));
    EXPECT_EQ(r.right, 0);
    EXPECT_FALSE(GetClientRect(bogus, &r));
    EXPECT_FALSE(IsWindow(bogus));
    EXPECT_EQ(WindowBridge::GetSdlWindow(bogus), nullptr);
    int x = 5, y = 5, w = 5, h = 5;
    WindowBridge::GetPresentRect(bogus, &x, &y, &w, &h);
    EXPECT_EQ(x + y + w + h, 0);
    EXPECT_EQ(DispatchMessageA(nullptr), 0);
    EXPECT_FALSE(AdjustWindowRect(nullptr, WS_POPUP, FALSE));
}

TEST_F(WindowTest, ShowCursorIsADisplayCounter)
{
    EXPECT_EQ(ShowCursor(FALSE), -1);
    EXPECT_EQ(ShowCursor(FALSE), -2);
    EXPECT_EQ(ShowCursor(TRUE), -1);
    EXPECT_EQ(ShowCursor(TRUE), 0);
    EXPECT_EQ(ShowCursor(TRUE), 1);
    EXPECT_EQ(ShowCursor(FALSE), 0);
}

TEST_F(WindowTest, CursorsLoadFromTheDataTreeOnceAndMissingOnesGiveNull)
{
    namespace fs = std::filesystem;
    const fs::path old = fs::current_path();
    const fs::path root = fs::temp_directory_path() / ("varnholt-cursor-" + std::to_string(::getpid()));
    fs::create_directories(root / "Data" / "Cursors");
    {
        // A 2 x 2, 32-bit BMP with a BITMAPINFOHEADER.
        SDL_Surface* image = SDL_CreateRGBSurfaceWithFormat(0, 2, 2, 32, SDL_PIXELFORMAT_ARGB8888);
        ASSERT_NE(image, nullptr);
        SDL_FillRect(image, nullptr, 0xFFFF0000u);
        ASSERT_EQ(SDL_SaveBMP(image, (root / "Data" / "Cursors" / "Cursor111.bmp").c_str()), 0);
        SDL_FreeSurface(image);
    }
    fs::current_path(root);
    HCURSOR cursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(111));
    HCURSOR again = LoadCursorA(nullptr, MAKEINTRESOURCEA(111));
    HCURSOR missing = LoadCursorA(nullptr, MAKEINTRESOURCEA(113));
    fs::current_path(old);
    fs::remove_all(root);

    EXPECT_NE(cursor, nullptr);
    EXPECT_EQ(again, cursor);
    EXPECT_EQ(missing, nullptr);
    EXPECT_EQ(SetCursor(cursor), nullptr);
    EXPECT_EQ(SetCursor(nullptr), cursor);
}

TEST_F(WindowTest, MessageBoxesAreCapturedAndNeverBlockUnderTheDummyDriver)
{
    Win32TestHooks::CaptureMessageBoxes(true);
    EXPECT_EQ(MessageBoxA(nullptr, "Can't Find A Valid Vertex Type.", "Error", MB_OK), IDOK);
    auto boxes = Win32TestHooks::TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Error");
    EXPECT_EQ(boxes[0].text, "Can't Find A Valid Vertex Type.");
    EXPECT_TRUE(Win32TestHooks::TakeMessageBoxes().empty());

    // Not captured: printed and answered at once.
    Win32TestHooks::CaptureMessageBoxes(false);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBoxA(nullptr, "text", "ERROR", MB_OK), IDOK);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "varnholt: error: message.box: ERROR: text\n");
    EXPECT_TRUE(Win32TestHooks::TakeMessageBoxes().empty());
}

} // namespace
