#pragma once
// A Direct3D object and a null device in a 640 x 480 window-mode swap chain with a D24S8 depth surface.

#include "d3d9/D3D9.h"
#include "d3d9/null/NullDevice.h"
#include "support/TestDevice.h"

#include <gtest/gtest.h>

inline D3DPRESENT_PARAMETERS WindowedParameters(UINT width = 640, UINT height = 480)
{
    return WindowedPresentParameters(width, height);
}

class NullDeviceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        NullDevice::ResetForTests();
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
        NullDevice::ResetForTests();
    }

    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
    NullDevice* null = nullptr;
};
