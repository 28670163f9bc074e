#pragma once
// A null device with a 640 x 480 back buffer for the D3DX tests; the device must be released by
// everything that took it by the end of each test.

#include "d3d9/D3D9.h"
#include "d3d9/null/NullDevice.h"

#include <gtest/gtest.h>

class D3DXNullDeviceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        NullDevice::ResetConfig();
        D3D9SetBackEnd(D3D9_BACKEND_NULL);
        d3d = Direct3DCreate9(D3D_SDK_VERSION);
        ASSERT_NE(d3d, nullptr);
        D3DPRESENT_PARAMETERS pp{};
        pp.BackBufferWidth = 640;
        pp.BackBufferHeight = 480;
        pp.BackBufferFormat = D3DFMT_X8R8G8B8;
        pp.BackBufferCount = 1;
        pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
        pp.Windowed = TRUE;
        pp.EnableAutoDepthStencil = TRUE;
        pp.AutoDepthStencilFormat = D3DFMT_D24S8;
        pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
        ASSERT_EQ(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                                    D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_MULTITHREADED, &pp, &device),
                  D3D_OK);
        null = dynamic_cast<NullDevice*>(device);
        ASSERT_NE(null, nullptr);
    }

    void TearDown() override
    {
        if (device != nullptr) {
            EXPECT_EQ(device->Release(), 0u) << "something still holds the device";
        }
        if (d3d != nullptr) {
            d3d->Release();
        }
        D3D9SetBackEnd(D3D9_BACKEND_AUTO);
        NullDevice::ResetConfig();
    }

    // A managed A8R8G8B8 texture of one level.
    IDirect3DTexture9* MakeTexture(UINT width, UINT height)
    {
        IDirect3DTexture9* texture = nullptr;
        EXPECT_EQ(device->CreateTexture(width, height, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
                  D3D_OK);
        return texture;
    }

    DWORD RenderState(D3DRENDERSTATETYPE state)
    {
        DWORD value = 0;
        device->GetRenderState(state, &value);
        return value;
    }

    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
    NullDevice* null = nullptr;
};
