#pragma once
// A Direct3D object and a null device in a 640 x 480 window-mode swap chain with a D24S8 depth surface.

#include "d3d9/D3D9.h"
#include "d3d9/null/NullDevice.h"

#include <gtest/gtest.h>

inline D3DPRESENT_PARAMETERS WindowedParameters(UINT width = 640, UINT height = 480)
{
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = width;
    pp.BackBufferHeight = height;
    pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    pp.BackBufferCount = 1;
    pp.MultiSampleType = D3DMULTISAMPLE_NONE;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.Windowed = TRUE;
    pp.EnableAutoDepthStencil = TRUE;
    pp.AutoDepthStencilFormat = D3DFMT_D24S8;
    pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    return pp;
}

class NullDeviceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        NullDevice::ResetConfig();
        D3D9SetBackEnd(D3D9_BACKEND_NULL);
        d3d = Direct3DCreate9(D3D_SDK_VERSION);
        ASSERT_NE(d3d, nullptr);
        D3DPRESENT_PARAMETERS pp = WindowedParameters();
        ASSERT_EQ(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                                    D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_MULTITHREADED, &pp, &device),
                  D3D_OK);
        ASSERT_NE(device, nullptr);
        null = dynamic_cast<NullDevice*>(device);
        ASSERT_NE(null, nullptr);
    }

    void TearDown() override
    {
        if (device) {
            EXPECT_EQ(device->Release(), 0u) << "something still holds the device";
        }
        if (d3d) {
            EXPECT_EQ(d3d->Release(), 0u);
        }
        D3D9SetBackEnd(D3D9_BACKEND_AUTO);
        NullDevice::ResetConfig();
    }

    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
    NullDevice* null = nullptr;
};
