#include "d3d9/D3D9.h"
#include "win32/TestHooks.h"
#include "win32/Win32.h"

#include <gtest/gtest.h>

namespace {
LRESULT CALLBACK PlainWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}
} // namespace

// The game creates the Direct3D object before its window and releases it on WM_CLOSE while the window
// is still being torn down: the window layer must keep working after that release.
TEST(VideoLifetime, ReleasingTheDirect3DObjectLeavesTheWindowLayerWorking)
{
    Win32TestHooks::ResetWindowLayer();
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);

    WNDCLASSA wc{};
    wc.lpfnWndProc = PlainWindowProc;
    wc.lpszClassName = "VideoLifetimeClass";
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(0, "VideoLifetimeClass", "lifetime", WS_POPUP | WS_VISIBLE, 0, 0, 320, 240, nullptr,
                                  nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);

    EXPECT_EQ(d3d->Release(), 0u);

    RECT client{};
    EXPECT_TRUE(GetClientRect(window, &client));
    EXPECT_EQ(client.right, 320);
    EXPECT_EQ(ShowCursor(FALSE), -1);
    SetCursor(nullptr);
    MSG msg{};
    PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
    EXPECT_TRUE(DestroyWindow(window));
    Win32TestHooks::ResetWindowLayer();
    // A second Direct3D object still sees the displays.
    IDirect3D9* again = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(again, nullptr);
    EXPECT_GE(again->GetAdapterCount(), 1u);
    again->Release();
}
