#include "scene/WorldCache.h"

#include "d3d9/null/NullDevice.h"
#include "support/SceneTest.h"
#include "support/TestDevice.h"

#include <gtest/gtest.h>

namespace {

constexpr D3DCOLOR GREY = 0xFF808080;

WorldCache::View SomeView()
{
    WorldCache::View view;
    D3DXMatrixIdentity(&view.view);
    D3DXMatrixIdentity(&view.projection);
    view.view._43 = 500.0f;
    view.width = 640;
    view.height = 480;
    view.skyValue = 12.0f;
    view.skyShown = true;
    static int level;
    view.level = &level;
    view.levelRevision = 3;
    static int decal;
    view.decals.push_back({&decal, nullptr, 1, 45.0f});
    return view;
}

} // namespace

class WorldCacheTest : public SceneTest
{
protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        NullDevice::ResetForTests();
        CreateTestDevice(D3D9_BACKEND_NULL, nullptr, 640, 480, &d3d, &device);
        if (HasFatalFailure())
            return;
        null = dynamic_cast<NullDevice*>(device);
        ASSERT_NE(null, nullptr);
        ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer), D3D_OK);
    }

    void TearDown() override
    {
        cache.reset();
        if (backBuffer)
            backBuffer->Release();
        ReleaseTestDevice(d3d, device);
        NullDevice::ResetForTests();
        SceneTest::TearDown();
    }

    IDirect3DSurface9* CurrentTarget()
    {
        IDirect3DSurface9* target = nullptr;
        device->GetRenderTarget(0, &target);
        if (target)
            target->Release();
        return target;
    }

    // The world of a view: a clear, a red corner and the states its drawing leaves.
    void DrawPicture(const WorldCache::View& view)
    {
        ASSERT_TRUE(cache->BeginPicture(device, view, GREY, 1.0f));
        EXPECT_NE(CurrentTarget(), backBuffer);
        const D3DRECT corner{0, 0, 8, 8};
        device->Clear(1, &corner, D3DCLEAR_TARGET, D3DCOLOR_XRGB(255, 0, 0), 1.0f, 0);
        device->SetRenderState(D3DRS_ALPHAREF, 77);
        device->SetRenderState(D3DRS_FOGENABLE, TRUE);
        device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_BORDER);
        device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
        cache->EndPicture(device);
    }

    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
    NullDevice* null = nullptr;
    IDirect3DSurface9* backBuffer = nullptr;
    std::unique_ptr<WorldCache> cache = std::make_unique<WorldCache>();
};

TEST_F(WorldCacheTest, ShowingThePictureCopiesItAndPutsBackTheStatesItsDrawingLeft)
{
    const WorldCache::View view = SomeView();
    EXPECT_FALSE(cache->IsCurrent(view));
    EXPECT_FALSE(cache->Show(device, true)) << "no picture yet";
    ASSERT_NO_FATAL_FAILURE(DrawPicture(view));
    EXPECT_EQ(CurrentTarget(), backBuffer) << "the drawing returns to the frame's target";
    EXPECT_TRUE(cache->IsCurrent(view));

    // What the frame drew after the world, and the states it changed.
    device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(0, 0, 255), 1.0f, 0);
    device->SetRenderState(D3DRS_ALPHAREF, 5);
    device->SetRenderState(D3DRS_FOGENABLE, FALSE);
    device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_MIRROR);
    device->SetFVF(D3DFVF_XYZRHW);
    null->ResetCounters();

    ASSERT_TRUE(cache->Show(device, true));
    EXPECT_EQ(null->CopyCount(), 2u) << "colour, then depth and stencil";
    EXPECT_EQ(null->DrawCount(), 0u);
    EXPECT_EQ(SurfaceColourAt(backBuffer, 2, 2), 0xFF0000u);
    EXPECT_EQ(SurfaceColourAt(backBuffer, 100, 100), 0x808080u);
    DWORD value = 0;
    device->GetRenderState(D3DRS_ALPHAREF, &value);
    EXPECT_EQ(value, 77u);
    device->GetRenderState(D3DRS_FOGENABLE, &value);
    EXPECT_EQ(value, static_cast<DWORD>(TRUE));
    device->GetSamplerState(0, D3DSAMP_ADDRESSU, &value);
    EXPECT_EQ(value, static_cast<DWORD>(D3DTADDRESS_BORDER));
    device->GetFVF(&value);
    EXPECT_EQ(value, static_cast<DWORD>(D3DFVF_XYZ | D3DFVF_DIFFUSE));

    // Shown in the frame that drew it, the states are already the world's: they are left as they are.
    device->SetRenderState(D3DRS_ALPHAREF, 5);
    ASSERT_TRUE(cache->Show(device, false));
    device->GetRenderState(D3DRS_ALPHAREF, &value);
    EXPECT_EQ(value, 5u);

    // Another hour of the sky is another picture; a forgotten picture is not shown.
    WorldCache::View later = view;
    later.skyValue += 0.005f;
    EXPECT_FALSE(cache->IsCurrent(later));
    cache->Invalidate();
    EXPECT_FALSE(cache->IsCurrent(view));
    EXPECT_FALSE(cache->Show(device, true));
}

// The picture's surfaces are the device's default pool: a lost device takes them, so that the reset can go on.
TEST_F(WorldCacheTest, ALostDeviceTakesThePictureAndTheResetGoesOn)
{
    ASSERT_NO_FATAL_FAILURE(DrawPicture(SomeView()));
    D3DPRESENT_PARAMETERS pp = WindowedPresentParameters(800, 600);
    EXPECT_EQ(device->Reset(&pp), D3DERR_INVALIDCALL) << "the picture's surfaces still live";
    cache->OnLostDevice();
    EXPECT_FALSE(cache->IsValid());
    ASSERT_EQ(device->Reset(&pp), D3D_OK);
    EXPECT_FALSE(cache->Show(device, true));

    // At the new size the picture is made anew, of that size.
    backBuffer->Release();
    ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer), D3D_OK);
    WorldCache::View larger = SomeView();
    larger.width = 800;
    larger.height = 600;
    ASSERT_NO_FATAL_FAILURE(DrawPicture(larger));
    ASSERT_TRUE(cache->Show(device, true));
    EXPECT_EQ(SurfaceColourAt(backBuffer, 799, 599), 0x808080u);
}

TEST_F(WorldCacheTest, WithoutADepthSurfaceNoPictureIsKept)
{
    ASSERT_EQ(device->SetDepthStencilSurface(nullptr), D3D_OK);
    EXPECT_FALSE(cache->BeginPicture(device, SomeView(), GREY, 1.0f));
    EXPECT_EQ(CurrentTarget(), backBuffer);
    cache->EndPicture(device);
    EXPECT_FALSE(cache->IsValid());
    EXPECT_FALSE(cache->Show(device, true));
}
