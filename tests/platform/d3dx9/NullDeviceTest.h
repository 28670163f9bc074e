#pragma once
// A null device with a 640 x 480 back buffer for the D3DX tests; the device must be released by
// everything that took it by the end of each test.

#include "d3d9/D3D9.h"
#include "d3d9/null/NullDevice.h"
#include "support/TestDevice.h"

#include <gtest/gtest.h>

class D3DXNullDeviceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        NullDevice::ResetConfig();
        CreateTestDevice(D3D9_BACKEND_NULL, nullptr, 640, 480, &d3d, &device);
        if (HasFatalFailure())
            return;
        null = dynamic_cast<NullDevice*>(device);
        ASSERT_NE(null, nullptr);
    }

    void TearDown() override
    {
        null = nullptr;
        ReleaseTestDevice(d3d, device);
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
