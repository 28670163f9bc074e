#pragma once
// Device creation shared by the device tests: window-mode present parameters with a D24S8 automatic
// depth surface, and a device made on a chosen back end. Call CreateTestDevice under
// ASSERT_NO_FATAL_FAILURE (or from SetUp, where a failed assertion already stops the test).

#include "d3d9/D3D9.h"

#include <gtest/gtest.h>

inline D3DPRESENT_PARAMETERS WindowedPresentParameters(UINT width, UINT height, HWND window = nullptr)
{
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = width;
    pp.BackBufferHeight = height;
    pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    pp.BackBufferCount = 1;
    pp.MultiSampleType = D3DMULTISAMPLE_NONE;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.hDeviceWindow = window;
    pp.Windowed = TRUE;
    pp.EnableAutoDepthStencil = TRUE;
    pp.AutoDepthStencilFormat = D3DFMT_D24S8;
    pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    return pp;
}

// Selects the back end, then makes the Direct3D object and a hardware-vertex-processing, multithreaded
// device with a width x height window-mode swap chain on window (null: no window).
inline void CreateTestDevice(D3D9BackEnd backEnd, HWND window, UINT width, UINT height, IDirect3D9** d3d,
                             IDirect3DDevice9** device)
{
    D3D9SetBackEnd(backEnd);
    *d3d = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(*d3d, nullptr);
    D3DPRESENT_PARAMETERS pp = WindowedPresentParameters(width, height, window);
    ASSERT_EQ((*d3d)->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                   D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_MULTITHREADED, &pp, device),
              D3D_OK);
    ASSERT_NE(*device, nullptr);
}

// Releases what CreateTestDevice made, failing the test when anything else still holds the device or
// the Direct3D object, and puts the back-end choice back to automatic.
inline void ReleaseTestDevice(IDirect3D9*& d3d, IDirect3DDevice9*& device)
{
    if (device) {
        EXPECT_EQ(device->Release(), 0u) << "something still holds the device";
    }
    if (d3d) {
        EXPECT_EQ(d3d->Release(), 0u);
    }
    device = nullptr;
    d3d = nullptr;
    D3D9SetBackEnd(D3D9_BACKEND_AUTO);
}
