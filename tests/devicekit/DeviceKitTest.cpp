#include "DeviceKit.h"

#include "d3d9/null/NullDevice.h"

#include <gtest/gtest.h>

namespace {

class DeviceKitTest : public ::testing::Test
{
protected:
    void SetUp() override { NullDevice::ResetForTests(); }
    void TearDown() override
    {
        NullDevice::ResetForTests();
        D3D9SetBackEnd(D3D9_BACKEND_AUTO);
    }
};

} // namespace

TEST_F(DeviceKitTest, MakesTheAskedDeviceAndGivesEveryReferenceBack)
{
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
    ASSERT_EQ(DeviceKit::Make(D3D9_BACKEND_NULL, nullptr, 320, 240, 0, &d3d, &device), D3D_OK);
    ASSERT_NE(dynamic_cast<NullDevice*>(device), nullptr);
    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    D3DSURFACE_DESC desc{};
    back->GetDesc(&desc);
    back->Release();
    EXPECT_EQ(desc.Width, 320u);
    EXPECT_EQ(desc.Height, 240u);
    EXPECT_EQ(desc.Format, D3DFMT_X8R8G8B8);
    IDirect3DSurface9* depth = nullptr;
    ASSERT_EQ(device->GetDepthStencilSurface(&depth), D3D_OK);
    depth->GetDesc(&desc);
    depth->Release();
    EXPECT_EQ(desc.Format, D3DFMT_D24S8);

    // A reference held elsewhere is reported, not hidden.
    device->AddRef();
    IDirect3DDevice9* kept = device;
    ULONG objectLeft = 99;
    EXPECT_EQ(DeviceKit::Release(d3d, device, &objectLeft), 1u);
    EXPECT_EQ(d3d, nullptr);
    EXPECT_EQ(device, nullptr);
    // The device still holds its Direct3D object.
    EXPECT_EQ(objectLeft, 1u);
    EXPECT_EQ(kept->Release(), 0u);
}

TEST_F(DeviceKitTest, AFailedDeviceLeavesNothingToUndo)
{
    NullDeviceConfig config = NullDevice::Config();
    config.failCreateDevice = true;
    NullDevice::SetConfig(config);
    IDirect3D9* d3d = reinterpret_cast<IDirect3D9*>(1);
    IDirect3DDevice9* device = reinterpret_cast<IDirect3DDevice9*>(1);
    EXPECT_EQ(DeviceKit::Make(D3D9_BACKEND_NULL, nullptr, 64, 64, 0, &d3d, &device), config.createDeviceResult);
    EXPECT_EQ(d3d, nullptr);
    EXPECT_EQ(device, nullptr);
    EXPECT_EQ(D3D9GetBackEnd(), D3D9_BACKEND_AUTO);
    // Releasing nothing is harmless.
    EXPECT_EQ(DeviceKit::Release(d3d, device), 0u);
}

TEST_F(DeviceKitTest, ReadsARenderStateAndAnswersZeroWithoutADevice)
{
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
    ASSERT_EQ(DeviceKit::Make(D3D9_BACKEND_NULL, nullptr, 64, 64, 0, &d3d, &device), D3D_OK);
    device->SetRenderState(D3DRS_ALPHAREF, 0x42);
    EXPECT_EQ(DeviceKit::RenderState(device, D3DRS_ALPHAREF), 0x42u);
    EXPECT_EQ(DeviceKit::RenderState(nullptr, D3DRS_ALPHAREF), 0u);
    EXPECT_EQ(DeviceKit::Release(d3d, device), 0u);
}
