#include "NullDeviceFixture.h"
#include "support/TestDevice.h"

#include <initializer_list>

class SurfaceCopy : public NullDeviceTest
{
protected:
    void SetUp() override
    {
        NullDeviceTest::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer), D3D_OK);
        ASSERT_EQ(device->GetDepthStencilSurface(&autoDepth), D3D_OK);
        ASSERT_EQ(device->CreateRenderTarget(640, 480, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &kept, nullptr),
                  D3D_OK);
        ASSERT_EQ(device->CreateDepthStencilSurface(640, 480, D3DFMT_D24S8, D3DMULTISAMPLE_NONE, 0, FALSE, &keptDepth,
                                                    nullptr),
                  D3D_OK);
    }

    void TearDown() override
    {
        for (IDirect3DSurface9* surface : {keptDepth, kept, autoDepth, backBuffer})
            if (surface)
                surface->Release();
        NullDeviceTest::TearDown();
    }

    IDirect3DSurface9* backBuffer = nullptr;
    IDirect3DSurface9* autoDepth = nullptr;
    IDirect3DSurface9* kept = nullptr;
    IDirect3DSurface9* keptDepth = nullptr;
};

TEST_F(SurfaceCopy, AWholeRenderTargetLandsOnTheBackBuffer)
{
    device->SetRenderTarget(0, kept);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(10, 20, 30), 1.0f, 0);
    const D3DRECT corner{600, 440, 640, 480};
    device->Clear(1, &corner, D3DCLEAR_TARGET, D3DCOLOR_XRGB(200, 100, 50), 1.0f, 0);
    device->SetRenderTarget(0, backBuffer);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(255, 255, 255), 1.0f, 0);

    const RECT whole{0, 0, 640, 480};
    ASSERT_EQ(device->StretchRect(kept, &whole, backBuffer, nullptr, D3DTEXF_NONE), D3D_OK);
    EXPECT_EQ(SurfaceColourAt(backBuffer, 0, 0), 0x0A141Eu);
    EXPECT_EQ(SurfaceColourAt(backBuffer, 599, 439), 0x0A141Eu);
    EXPECT_EQ(SurfaceColourAt(backBuffer, 600, 440), 0xC86432u);
    EXPECT_EQ(SurfaceColourAt(backBuffer, 639, 479), 0xC86432u);
    // Depth onto depth is a copy too (the null device keeps no depth to look at).
    EXPECT_EQ(device->StretchRect(keptDepth, nullptr, autoDepth, nullptr, D3DTEXF_NONE), D3D_OK);
    EXPECT_EQ(null->CopyCount(), 2u);
}

// The copy neither scales, nor converts, nor mixes colour with depth: such requests are refused and change nothing.
TEST_F(SurfaceCopy, CopiesThatWouldScaleConvertOrMixAreRefused)
{
    IDirect3DSurface9* small = nullptr;
    ASSERT_EQ(device->CreateRenderTarget(320, 240, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &small, nullptr),
              D3D_OK);
    IDirect3DSurface9* otherFormat = nullptr;
    ASSERT_EQ(
        device->CreateRenderTarget(640, 480, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &otherFormat, nullptr),
        D3D_OK);
    IDirect3DTexture9* plain = nullptr;
    ASSERT_EQ(device->CreateTexture(640, 480, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &plain, nullptr), D3D_OK);
    IDirect3DSurface9* plainLevel = nullptr;
    ASSERT_EQ(plain->GetSurfaceLevel(0, &plainLevel), D3D_OK);
    device->SetRenderTarget(0, backBuffer);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(1, 2, 3), 1.0f, 0);

    const RECT part{0, 0, 320, 240};
    EXPECT_EQ(device->StretchRect(small, nullptr, backBuffer, nullptr, D3DTEXF_LINEAR), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->StretchRect(kept, &part, backBuffer, &part, D3DTEXF_NONE), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->StretchRect(otherFormat, nullptr, backBuffer, nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->StretchRect(kept, nullptr, autoDepth, nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->StretchRect(keptDepth, nullptr, backBuffer, nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL);
    // A texture that cannot be drawn into is no target of a copy.
    EXPECT_EQ(device->StretchRect(kept, nullptr, plainLevel, nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->StretchRect(kept, nullptr, kept, nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->StretchRect(nullptr, nullptr, backBuffer, nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->StretchRect(kept, nullptr, backBuffer, nullptr, D3DTEXF_ANISOTROPIC), D3DERR_INVALIDCALL);
    EXPECT_EQ(null->CopyCount(), 0u);
    EXPECT_EQ(SurfaceColourAt(backBuffer, 10, 10), 0x010203u);

    for (IUnknown* object : std::initializer_list<IUnknown*>{plainLevel, plain, otherFormat, small})
        object->Release();
}
