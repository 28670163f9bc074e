#pragma once
// A null device with a 640 x 480 back buffer for the D3DX tests (the device tests' fixture); the device
// must be released by everything that took it by the end of each test.

#include "platform/d3d9/NullDeviceFixture.h"

class D3DXNullDeviceTest : public NullDeviceTest
{
protected:
    // A managed A8R8G8B8 texture of one level.
    IDirect3DTexture9* MakeTexture(UINT width, UINT height)
    {
        IDirect3DTexture9* texture = nullptr;
        EXPECT_EQ(device->CreateTexture(width, height, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
                  D3D_OK);
        return texture;
    }

    DWORD RenderState(D3DRENDERSTATETYPE state) { return DeviceKit::RenderState(device, state); }
};
