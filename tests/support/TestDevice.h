#pragma once
// Device creation shared by the device tests, through the device kit the benchmarks and the simulator use too.
// Call CreateTestDevice under ASSERT_NO_FATAL_FAILURE (or from SetUp, where a failed assertion already stops the
// test).

#include "DeviceKit.h"
#include "d3d9/D3D9.h"

#include <gtest/gtest.h>

inline D3DPRESENT_PARAMETERS WindowedPresentParameters(UINT width, UINT height, HWND window = nullptr)
{
    return DeviceKit::WindowedParameters(width, height, window);
}

// Selects the back end, then makes the Direct3D object and a hardware-vertex-processing, multithreaded
// device with a width x height window-mode swap chain on window (null: no window).
inline void CreateTestDevice(D3D9BackEnd backEnd, HWND window, UINT width, UINT height, IDirect3D9** d3d,
                             IDirect3DDevice9** device)
{
    ASSERT_EQ(DeviceKit::Make(backEnd, window, width, height, D3DCREATE_MULTITHREADED, d3d, device), D3D_OK);
    ASSERT_NE(*device, nullptr);
}

// Releases what CreateTestDevice made, failing the test when anything else still holds the device or
// the Direct3D object, and puts the back-end choice back to automatic.
inline void ReleaseTestDevice(IDirect3D9*& d3d, IDirect3DDevice9*& device)
{
    const bool hadDevice = device != nullptr;
    const bool hadObject = d3d != nullptr;
    ULONG objectLeft = 0;
    const ULONG deviceLeft = DeviceKit::Release(d3d, device, &objectLeft);
    if (hadDevice) {
        EXPECT_EQ(deviceLeft, 0u) << "something still holds the device";
    }
    if (hadObject) {
        EXPECT_EQ(objectLeft, 0u);
    }
}

// The pixel at (x, y) of a lockable X8R8G8B8 surface as 0xRRGGBB (0xDEADBEEF when it cannot be read).
inline uint32_t SurfaceColourAt(IDirect3DSurface9* surface, int x, int y)
{
    D3DLOCKED_RECT locked{};
    if (FAILED(surface->LockRect(&locked, nullptr, D3DLOCK_READONLY)))
        return 0xDEADBEEF;
    const auto* p = static_cast<const uint8_t*>(locked.pBits) + y * locked.Pitch + x * 4;
    const uint32_t colour = (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
    surface->UnlockRect();
    return colour;
}
