#include "app/SceneTarget.h"

#include "d3d9/null/NullDevice.h"
#include "support/TestDevice.h"

#include <gtest/gtest.h>

namespace {

class SceneTargetTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        NullDevice::ResetForTests();
        ASSERT_NO_FATAL_FAILURE(CreateTestDevice(D3D9_BACKEND_NULL, nullptr, 640, 480, &d3d, &device));
    }

    void TearDown() override
    {
        target.Release();
        ReleaseTestDevice(d3d, device);
        NullDevice::ResetForTests();
    }

    HRESULT ResetDevice()
    {
        D3DPRESENT_PARAMETERS parameters = WindowedPresentParameters(640, 480);
        return device->Reset(&parameters);
    }

    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
    SceneTarget target;
};

TEST_F(SceneTargetTest, WithoutATargetNothingIsBegun)
{
    EXPECT_EQ(target.GetTexture(), nullptr);
    EXPECT_FALSE(target.Begin());
    target.End(); // nothing to end
}

TEST_F(SceneTargetTest, AMadeTargetTakesTheSceneAndIsGivenBackBeforeAReset)
{
    ASSERT_EQ(target.Create(device, 1024, 768, D3DFMT_X8R8G8B8), nullptr);
    ASSERT_NE(target.GetTexture(), nullptr);
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(target.GetTexture()->GetLevelDesc(0, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, 1024u);
    EXPECT_EQ(desc.Height, 768u);
    EXPECT_EQ(desc.Usage & D3DUSAGE_RENDERTARGET, static_cast<DWORD>(D3DUSAGE_RENDERTARGET));
    EXPECT_EQ(desc.Pool, D3DPOOL_DEFAULT);
    EXPECT_EQ(ResetDevice(), D3DERR_INVALIDCALL) << "the device refuses a reset while the target lives";

    EXPECT_TRUE(target.Begin());
    target.End();

    target.Release();
    EXPECT_EQ(target.GetTexture(), nullptr);
    EXPECT_FALSE(target.Begin());
    EXPECT_EQ(ResetDevice(), D3D_OK) << "nothing of the target is left in the default pool";

    // Made again after the reset, as the session does.
    EXPECT_EQ(target.Create(device, 1024, 768, D3DFMT_X8R8G8B8), nullptr);
    EXPECT_NE(target.GetTexture(), nullptr);
}

TEST_F(SceneTargetTest, ARefusedTextureIsNamedAndLeavesNothingHeld)
{
    ASSERT_EQ(target.Create(device, 1024, 768, D3DFMT_X8R8G8B8), nullptr);
    // Wider than the device's largest texture (4096): the old target goes, the new one is refused.
    EXPECT_STREQ(target.Create(device, 8192, 768, D3DFMT_X8R8G8B8), "texture");
    EXPECT_EQ(target.GetTexture(), nullptr);
    EXPECT_FALSE(target.Begin());
    EXPECT_EQ(ResetDevice(), D3D_OK);
}

} // namespace
