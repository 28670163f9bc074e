#include "D3DXDeviceFixture.h"

#include "d3dx9/D3DX9.h"

namespace {

bool SameViewport(const D3DVIEWPORT9& a, const D3DVIEWPORT9& b)
{
    return a.X == b.X && a.Y == b.Y && a.Width == b.Width && a.Height == b.Height && a.MinZ == b.MinZ &&
           a.MaxZ == b.MaxZ;
}

class RenderToSurfaceTest : public D3DXDeviceTest
{
protected:
    static constexpr UINT TARGET_WIDTH = 64;
    static constexpr UINT TARGET_HEIGHT = 32;

    void SetUp() override
    {
        D3DXDeviceTest::SetUp();
        ASSERT_EQ(device->CreateTexture(TARGET_WIDTH, TARGET_HEIGHT, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8,
                                        D3DPOOL_DEFAULT, &target, nullptr),
                  D3D_OK);
        ASSERT_EQ(target->GetSurfaceLevel(0, &surface), D3D_OK);
        ASSERT_EQ(D3DXCreateRenderToSurface(device, TARGET_WIDTH, TARGET_HEIGHT, D3DFMT_X8R8G8B8, TRUE, D3DFMT_D16,
                                            &renderer),
                  D3D_OK);
        ASSERT_NE(renderer, nullptr);
    }

    void TearDown() override
    {
        if (renderer) {
            EXPECT_EQ(renderer->Release(), 0u);
        }
        if (surface)
            surface->Release();
        if (target)
            target->Release();
        D3DXDeviceTest::TearDown();
    }

    IDirect3DTexture9* target = nullptr;
    IDirect3DSurface9* surface = nullptr;
    ID3DXRenderToSurface* renderer = nullptr;
};

// Releases what a Get... call handed out and returns it for comparison only.
IDirect3DSurface9* Peek(IDirect3DSurface9* held)
{
    if (held)
        held->Release();
    return held;
}

IDirect3DSurface9* CurrentTarget(IDirect3DDevice9* device)
{
    IDirect3DSurface9* s = nullptr;
    device->GetRenderTarget(0, &s);
    return Peek(s);
}

IDirect3DSurface9* CurrentDepth(IDirect3DDevice9* device)
{
    IDirect3DSurface9* s = nullptr;
    device->GetDepthStencilSurface(&s);
    return Peek(s);
}

} // namespace

TEST_F(RenderToSurfaceTest, SceneGoesToTheSurfaceAndThePreviousTargetComesBack)
{
    const D3DVIEWPORT9 sceneViewport{10, 20, 100, 50, 0.0f, 1.0f};
    ASSERT_EQ(device->SetViewport(&sceneViewport), D3D_OK);
    IDirect3DSurface9* const backBuffer = CurrentTarget(device);
    IDirect3DSurface9* const autoDepth = CurrentDepth(device);
    ASSERT_NE(backBuffer, nullptr);
    ASSERT_NE(autoDepth, nullptr);

    ASSERT_EQ(renderer->BeginScene(surface, nullptr), D3D_OK);
    EXPECT_EQ(CurrentTarget(device), surface);
    IDirect3DSurface9* const ownDepth = CurrentDepth(device);
    ASSERT_NE(ownDepth, nullptr);
    EXPECT_NE(ownDepth, autoDepth);
    D3DSURFACE_DESC depthDesc{};
    ownDepth->GetDesc(&depthDesc);
    EXPECT_EQ(depthDesc.Width, TARGET_WIDTH);
    EXPECT_EQ(depthDesc.Height, TARGET_HEIGHT);
    EXPECT_EQ(depthDesc.Format, D3DFMT_D16);
    D3DVIEWPORT9 viewport{};
    device->GetViewport(&viewport);
    EXPECT_TRUE(SameViewport(viewport, D3DVIEWPORT9{0, 0, TARGET_WIDTH, TARGET_HEIGHT, 0.0f, 1.0f}));
    // A second begin before the end is refused.
    EXPECT_EQ(renderer->BeginScene(surface, nullptr), D3DERR_INVALIDCALL);
    // Drawing lands in the surface: a clear fills the target texture.
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_XRGB(192, 192, 192), 1.0f, 0),
              D3D_OK);
    ASSERT_EQ(renderer->EndScene(0), D3D_OK);

    EXPECT_EQ(CurrentTarget(device), backBuffer);
    EXPECT_EQ(CurrentDepth(device), autoDepth);
    device->GetViewport(&viewport);
    EXPECT_TRUE(SameViewport(viewport, sceneViewport));
    EXPECT_EQ(Texel(target, 0, TARGET_WIDTH - 1, TARGET_HEIGHT - 1) & 0x00FFFFFF, 0x00C0C0C0u);
    EXPECT_EQ(renderer->EndScene(0), D3DERR_INVALIDCALL);

    // A given viewport is used as it is.
    const D3DVIEWPORT9 corner{4, 2, 16, 8, 0.0f, 1.0f};
    ASSERT_EQ(renderer->BeginScene(surface, &corner), D3D_OK);
    device->GetViewport(&viewport);
    EXPECT_TRUE(SameViewport(viewport, corner));
    ASSERT_EQ(renderer->EndScene(0), D3D_OK);
    device->GetViewport(&viewport);
    EXPECT_TRUE(SameViewport(viewport, sceneViewport));

    D3DXRTS_DESC desc{};
    ASSERT_EQ(renderer->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Width, TARGET_WIDTH);
    EXPECT_EQ(desc.DepthStencil, TRUE);
    EXPECT_EQ(desc.DepthStencilFormat, D3DFMT_D16);
    EXPECT_EQ(renderer->BeginScene(nullptr, nullptr), D3DERR_INVALIDCALL);
}

TEST_F(RenderToSurfaceTest, DepthSurfaceIsReleasedForAResetAndComesBackAfter)
{
    // The scene texture lives in the default pool too: the game releases it around a reset.
    surface->Release();
    surface = nullptr;
    target->Release();
    target = nullptr;

    D3DPRESENT_PARAMETERS pp = Parameters();
    EXPECT_EQ(device->Reset(&pp), D3DERR_INVALIDCALL) << "the renderer's depth surface still holds default memory";

    ASSERT_EQ(renderer->OnLostDevice(), D3D_OK);
    pp = Parameters();
    ASSERT_EQ(device->Reset(&pp), D3D_OK);
    ASSERT_EQ(renderer->OnResetDevice(), D3D_OK);

    ASSERT_EQ(device->CreateTexture(TARGET_WIDTH, TARGET_HEIGHT, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8,
                                    D3DPOOL_DEFAULT, &target, nullptr),
              D3D_OK);
    ASSERT_EQ(target->GetSurfaceLevel(0, &surface), D3D_OK);
    ASSERT_EQ(renderer->BeginScene(surface, nullptr), D3D_OK);
    IDirect3DSurface9* const depth = CurrentDepth(device);
    ASSERT_NE(depth, nullptr);
    D3DSURFACE_DESC desc{};
    depth->GetDesc(&desc);
    EXPECT_EQ(desc.Format, D3DFMT_D16);
    EXPECT_EQ(renderer->EndScene(0), D3D_OK);
}

TEST_F(RenderToSurfaceTest, ReferencesAreHonest)
{
    // The renderer holds the device; Get... hands out one more reference each time.
    IDirect3DDevice9* fromRenderer = nullptr;
    ASSERT_EQ(renderer->GetDevice(&fromRenderer), D3D_OK);
    EXPECT_EQ(fromRenderer, device);
    fromRenderer->Release();

    // Begin and end leave the back buffer's and the surface's counts as they were.
    IDirect3DSurface9* backBuffer = nullptr;
    device->GetRenderTarget(0, &backBuffer);
    const ULONG backBufferRefs = backBuffer->AddRef() - 1;
    backBuffer->Release();
    const ULONG surfaceRefs = surface->AddRef() - 1;
    surface->Release();
    ASSERT_EQ(renderer->BeginScene(surface, nullptr), D3D_OK);
    ASSERT_EQ(renderer->EndScene(0), D3D_OK);
    EXPECT_EQ(backBuffer->AddRef() - 1, backBufferRefs);
    backBuffer->Release();
    EXPECT_EQ(surface->AddRef() - 1, surfaceRefs);
    surface->Release();
    backBuffer->Release();

    // Without a depth request there is no depth surface bound in the scene.
    ID3DXRenderToSurface* noDepth = nullptr;
    ASSERT_EQ(D3DXCreateRenderToSurface(device, TARGET_WIDTH, TARGET_HEIGHT, D3DFMT_X8R8G8B8, FALSE, D3DFMT_UNKNOWN,
                                        &noDepth),
              D3D_OK);
    ASSERT_EQ(noDepth->BeginScene(surface, nullptr), D3D_OK);
    EXPECT_EQ(CurrentDepth(device), nullptr);
    ASSERT_EQ(noDepth->EndScene(0), D3D_OK);
    EXPECT_NE(CurrentDepth(device), nullptr);
    EXPECT_EQ(noDepth->Release(), 0u);

    ID3DXRenderToSurface* invalid = reinterpret_cast<ID3DXRenderToSurface*>(0x1);
    EXPECT_EQ(D3DXCreateRenderToSurface(device, 0, 16, D3DFMT_X8R8G8B8, TRUE, D3DFMT_D16, &invalid),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(invalid, nullptr);
    // The device's own count is checked when the fixture releases it (it must reach zero).
}
