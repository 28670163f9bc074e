#include "gl/GlDeviceFixture.h"

#include "win32/WindowBridge.h"

#include <SDL.h>
#include <SDL_syswm.h>

// WM_CLOSE destroys the game's window while the data manager still holds the device; the device lets go of its
// last resources only in the shutdown after the loop.
TEST_F(GlDeviceTest, TheDeviceOutlivesItsDestroyedWindow)
{
    const Uint32 sdlId = SDL_GetWindowID(WindowBridge::GetSdlWindow(window));
    ASSERT_NE(sdlId, 0u);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0), D3D_OK);
    ASSERT_TRUE(DestroyWindow(window));
    EXPECT_FALSE(IsWindow(window));
    window = nullptr;

    // Gone for the game, but its context still draws: the window is only hidden until the device ends.
    SDL_Window* hidden = SDL_GetWindowFromID(sdlId);
    ASSERT_NE(hidden, nullptr);
    EXPECT_TRUE(SDL_GetWindowFlags(hidden) & SDL_WINDOW_HIDDEN);
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF2040C0u, 1.0f, 0), D3D_OK);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    const std::vector<D3DCOLOR> pixels = ReadBackBuffer();
    ASSERT_EQ(pixels.size(), static_cast<size_t>(SIZE * SIZE));
    EXPECT_RGB_NEAR(Pixel(pixels, 10, 50), 0xFF2040C0u, 0);

    // Once the device and its context are gone, the next turn of the message loop ends the window for good.
    EXPECT_EQ(device->Release(), 0u);
    device = nullptr;
    MSG message{};
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
    EXPECT_EQ(SDL_GetWindowFromID(sdlId), nullptr);
}

// Another program destroyed the window (as `xdotool windowclose` does). X reports it as an error on the device's
// next frame, which by default would end the process with exit code 1; the game is asked to close instead.
TEST_F(GlDeviceTest, AWindowDestroyedByAnotherProgramIsAskedToCloseOnce)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    ASSERT_TRUE(SDL_GetWindowWMInfo(WindowBridge::GetSdlWindow(window), &info));
    if (info.subsystem != SDL_SYSWM_X11) {
        GTEST_SKIP() << "the display is not an X server";
    }
    Display* other = XOpenDisplay(nullptr);
    ASSERT_NE(other, nullptr);
    XDestroyWindow(other, info.info.x11.window);
    XSync(other, False);
    XCloseDisplay(other);

    MSG message{};
    for (int frame = 0; frame < 3; ++frame) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0);
        device->Present(nullptr, nullptr, nullptr, nullptr);
        XSync(info.info.x11.display, False);
    }
    ASSERT_TRUE(PeekMessageA(&message, window, WM_CLOSE, WM_CLOSE, PM_REMOVE));
    EXPECT_EQ(message.message, WM_CLOSE);
    EXPECT_EQ(message.hwnd, window);
    EXPECT_FALSE(PeekMessageA(&message, window, WM_CLOSE, WM_CLOSE, PM_REMOVE));
}
