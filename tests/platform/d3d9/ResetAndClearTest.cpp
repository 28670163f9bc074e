#include "NullDeviceFixture.h"

#include "d3d9/Surface.h"

#include <initializer_list>
#include <utility>

namespace {

// The pixel at (x, y) of a locked X8R8G8B8 / A8R8G8B8 surface, as B, G, R, A bytes in memory.
const uint8_t* PixelAt(const D3DLOCKED_RECT& locked, int x, int y)
{
    return static_cast<const uint8_t*>(locked.pBits) + y * locked.Pitch + x * 4;
}

} // namespace

using ResetAndClear = NullDeviceTest;

TEST_F(ResetAndClear, RenderTargetsMakeTheirMemoryCopyOnlyWhenLookedAt)
{
    IDirect3DSurface9* target = nullptr;
    ASSERT_EQ(device->CreateRenderTarget(64, 32, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &target, nullptr),
              D3D_OK);
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(
        device->CreateTexture(64, 32, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture, nullptr),
        D3D_OK);
    IDirect3DSurface9* level = nullptr;
    ASSERT_EQ(texture->GetSurfaceLevel(0, &level), D3D_OK);
    IDirect3DSurface9* backBuffer = nullptr;
    ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer), D3D_OK);
    IDirect3DTexture9* plain = nullptr;
    ASSERT_EQ(device->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &plain, nullptr), D3D_OK);
    IDirect3DSurface9* plainLevel = nullptr;
    ASSERT_EQ(plain->GetSurfaceLevel(0, &plainLevel), D3D_OK);

    for (IDirect3DSurface9* surface : {target, level, backBuffer})
        EXPECT_EQ(dynamic_cast<Surface*>(surface)->Bits(), nullptr);
    // A texture filled from memory keeps its copy from the start.
    EXPECT_NE(dynamic_cast<Surface*>(plainLevel)->Bits(), nullptr);

    // Looked at: zeros where nothing was drawn, the clear where it was.
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(level->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(PixelAt(locked, 63, 31)[2], 0);
    level->UnlockRect();
    device->SetRenderTarget(0, target);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(10, 20, 30), 1.0f, 0);
    ASSERT_EQ(target->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(PixelAt(locked, 63, 31)[0], 30);
    EXPECT_EQ(PixelAt(locked, 0, 0)[2], 10);
    target->UnlockRect();
    device->SetRenderTarget(0, backBuffer);

    for (IUnknown* object : std::initializer_list<IUnknown*>{plainLevel, plain, backBuffer, level, texture, target})
        object->Release();
    // The back buffer made again by a reset has no copy either.
    D3DPRESENT_PARAMETERS pp = WindowedParameters();
    ASSERT_EQ(device->Reset(&pp), D3D_OK);
    ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer), D3D_OK);
    EXPECT_EQ(dynamic_cast<Surface*>(backBuffer)->Bits(), nullptr);
    backBuffer->Release();
}

TEST_F(ResetAndClear, ResetRefusedWhileADefaultPoolRenderTargetLives)
{
    IDirect3DTexture9* sceneTexture = nullptr;
    ASSERT_EQ(device->CreateTexture(1024, 768, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT,
                                    &sceneTexture, nullptr),
              D3D_OK);
    D3DPRESENT_PARAMETERS pp = WindowedParameters(800, 600);
    EXPECT_EQ(device->Reset(&pp), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);

    // Holding a level counts as holding the texture.
    IDirect3DSurface9* level = nullptr;
    ASSERT_EQ(sceneTexture->GetSurfaceLevel(0, &level), D3D_OK);
    sceneTexture->Release();
    EXPECT_EQ(device->Reset(&pp), D3DERR_INVALIDCALL);
    level->Release();

    ASSERT_EQ(device->Reset(&pp), D3D_OK);
    EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(null->ResetCount(), 1u);
}

TEST_F(ResetAndClear, EveryKindOfDefaultPoolResourceCounts)
{
    D3DPRESENT_PARAMETERS pp = WindowedParameters();
    IDirect3DSurface9* target = nullptr;
    ASSERT_EQ(device->CreateRenderTarget(64, 64, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &target, nullptr),
              D3D_OK);
    EXPECT_EQ(device->Reset(&pp), D3DERR_INVALIDCALL);
    target->Release();
    IDirect3DSurface9* depth = nullptr;
    ASSERT_EQ(device->CreateDepthStencilSurface(64, 64, D3DFMT_D24S8, D3DMULTISAMPLE_NONE, 0, FALSE, &depth, nullptr),
              D3D_OK);
    EXPECT_EQ(device->Reset(&pp), D3DERR_INVALIDCALL);
    depth->Release();
    IDirect3DVertexBuffer9* dynamicBuffer = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(256, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, 0, D3DPOOL_DEFAULT, &dynamicBuffer,
                                         nullptr),
              D3D_OK);
    EXPECT_EQ(device->Reset(&pp), D3DERR_INVALIDCALL);
    dynamicBuffer->Release();

    // Managed resources, the back buffer and the automatic depth surface never stop a reset.
    IDirect3DTexture9* managed = nullptr;
    ASSERT_EQ(device->CreateTexture(64, 64, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &managed, nullptr), D3D_OK);
    IDirect3DSurface9* backBuffer = nullptr;
    ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer), D3D_OK);
    backBuffer->Release();
    EXPECT_EQ(device->Reset(&pp), D3D_OK);
    managed->Release();
}

TEST_F(ResetAndClear, ReleasedButStillBoundDoesNotStopReset)
{
    IDirect3DTexture9* sceneTexture = nullptr;
    ASSERT_EQ(device->CreateTexture(256, 256, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &sceneTexture,
                                    nullptr),
              D3D_OK);
    IDirect3DSurface9* level = nullptr;
    ASSERT_EQ(sceneTexture->GetSurfaceLevel(0, &level), D3D_OK);
    ASSERT_EQ(device->SetRenderTarget(0, level), D3D_OK);
    ASSERT_EQ(device->SetTexture(1, sceneTexture), D3D_OK);
    level->Release();
    sceneTexture->Release();
    D3DPRESENT_PARAMETERS pp = WindowedParameters();
    ASSERT_EQ(device->Reset(&pp), D3D_OK);
    // The reset unbound it: the back buffer is the render target again.
    IDirect3DSurface9* target = nullptr;
    IDirect3DSurface9* backBuffer = nullptr;
    ASSERT_EQ(device->GetRenderTarget(0, &target), D3D_OK);
    ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer), D3D_OK);
    EXPECT_EQ(target, backBuffer);
    target->Release();
    backBuffer->Release();
    IDirect3DBaseTexture9* bound = nullptr;
    ASSERT_EQ(device->GetTexture(1, &bound), D3D_OK);
    EXPECT_EQ(bound, nullptr);
}

TEST_F(ResetAndClear, ResetChangesTheBackBufferSize)
{
    D3DPRESENT_PARAMETERS pp = WindowedParameters(1280, 1024);
    ASSERT_EQ(device->Reset(&pp), D3D_OK);
    IDirect3DSurface9* backBuffer = nullptr;
    ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer), D3D_OK);
    D3DSURFACE_DESC desc;
    ASSERT_EQ(backBuffer->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Width, 1280u);
    EXPECT_EQ(desc.Height, 1024u);
    EXPECT_EQ(desc.Format, D3DFMT_X8R8G8B8);
    backBuffer->Release();
    IDirect3DSurface9* depth = nullptr;
    ASSERT_EQ(device->GetDepthStencilSurface(&depth), D3D_OK);
    ASSERT_EQ(depth->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Width, 1280u);
    depth->Release();
    D3DVIEWPORT9 vp;
    device->GetViewport(&vp);
    EXPECT_EQ(vp.Width, 1280u);
    EXPECT_EQ(vp.Height, 1024u);

    // Full screen reports its own mode.
    pp = WindowedParameters(800, 600);
    pp.Windowed = FALSE;
    pp.FullScreen_RefreshRateInHz = 60;
    ASSERT_EQ(device->Reset(&pp), D3D_OK);
    D3DDISPLAYMODE mode;
    ASSERT_EQ(device->GetDisplayMode(0, &mode), D3D_OK);
    EXPECT_EQ(mode.Width, 800u);
    EXPECT_EQ(mode.Height, 600u);
    EXPECT_EQ(mode.RefreshRate, 60u);
    pp.FullScreen_RefreshRateInHz = 0;
    ASSERT_EQ(device->Reset(&pp), D3D_OK);
    ASSERT_EQ(device->GetDisplayMode(0, &mode), D3D_OK);
    D3DDISPLAYMODE desktop;
    ASSERT_EQ(d3d->GetAdapterDisplayMode(0, &desktop), D3D_OK);
    EXPECT_EQ(mode.RefreshRate, desktop.RefreshRate);

    // A bad reset changes nothing it should not and leaves the device usable after a good one.
    D3DPRESENT_PARAMETERS bad = WindowedParameters(0, 600);
    bad.Windowed = FALSE;
    EXPECT_EQ(device->Reset(&bad), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->Reset(nullptr), D3DERR_INVALIDCALL);
}

TEST_F(ResetAndClear, ClearFillsTheBackBufferAndClampsDepth)
{
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL,
                            D3DCOLOR_ARGB(0xFF, 0x33, 0x66, 0x99), 200.0f, 0x1FF),
              D3D_OK);
    EXPECT_EQ(null->ClearCount(), 1u);
    EXPECT_EQ(null->LastClear().z, 1.0f);
    EXPECT_EQ(null->LastClear().stencil, 0xFFu); // eight stencil bits in D24S8
    EXPECT_EQ(null->LastClear().rectCount, 1u);
    EXPECT_EQ(null->LastClear().firstRect.right, 640);

    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, -3.0f, 0), D3D_OK);
    EXPECT_EQ(null->LastClear().z, 0.0f);

    IDirect3DSurface9* backBuffer = nullptr;
    ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer), D3D_OK);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(backBuffer->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(locked.Pitch, 640 * 4);
    for (const auto& [x, y] : {std::pair{0, 0}, std::pair{639, 479}, std::pair{320, 200}}) {
        const uint8_t* p = PixelAt(locked, x, y);
        EXPECT_EQ(p[0], 0x99);
        EXPECT_EQ(p[1], 0x66);
        EXPECT_EQ(p[2], 0x33);
    }
    ASSERT_EQ(backBuffer->UnlockRect(), D3D_OK);

    // Rectangles are clipped to the viewport: only the overlap turns red.
    D3DVIEWPORT9 vp{100, 100, 200, 100, 0.0f, 1.0f};
    ASSERT_EQ(device->SetViewport(&vp), D3D_OK);
    const D3DRECT rect{50, 150, 150, 400};
    ASSERT_EQ(device->Clear(1, &rect, D3DCLEAR_TARGET, D3DCOLOR_XRGB(255, 0, 0), 1.0f, 0), D3D_OK);
    EXPECT_EQ(null->LastClear().firstRect.left, 100);
    EXPECT_EQ(null->LastClear().firstRect.top, 150);
    EXPECT_EQ(null->LastClear().firstRect.right, 150);
    EXPECT_EQ(null->LastClear().firstRect.bottom, 200);
    ASSERT_EQ(backBuffer->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(PixelAt(locked, 100, 150)[2], 0xFF);
    EXPECT_EQ(PixelAt(locked, 149, 199)[2], 0xFF);
    EXPECT_EQ(PixelAt(locked, 150, 199)[2], 0x33); // right of the rectangle
    EXPECT_EQ(PixelAt(locked, 99, 150)[2], 0x33); // left of the viewport
    EXPECT_EQ(PixelAt(locked, 120, 200)[2], 0x33); // below the viewport
    backBuffer->UnlockRect();
    backBuffer->Release();

    // A rectangle wholly outside clears nothing.
    const D3DRECT outside{400, 400, 500, 500};
    const UINT clears = null->ClearCount();
    EXPECT_EQ(device->Clear(1, &outside, D3DCLEAR_TARGET, 0, 1.0f, 0), D3D_OK);
    EXPECT_EQ(null->ClearCount(), clears);
}

TEST_F(ResetAndClear, ClearValidates)
{
    EXPECT_EQ(device->Clear(0, nullptr, 0, 0, 1.0f, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->Clear(0, nullptr, 0x10, 0, 1.0f, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->Clear(2, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(null->ClearCount(), 0u);

    // A depth surface without stencil bits cannot have its stencil cleared.
    D3DPRESENT_PARAMETERS pp = WindowedParameters();
    pp.AutoDepthStencilFormat = D3DFMT_D16;
    ASSERT_EQ(device->Reset(&pp), D3D_OK);
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_STENCIL, 0, 1.0f, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 0.5f, 0), D3D_OK);
}

TEST_F(ResetAndClear, ClearingATextureRenderTargetReadsBackThroughItsLevel)
{
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(
        device->CreateTexture(64, 32, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture, nullptr),
        D3D_OK);
    IDirect3DSurface9* level = nullptr;
    ASSERT_EQ(texture->GetSurfaceLevel(0, &level), D3D_OK);
    ASSERT_EQ(device->SetRenderTarget(0, level), D3D_OK);
    D3DVIEWPORT9 vp;
    device->GetViewport(&vp);
    EXPECT_EQ(vp.Width, 64u); // a new target gets a full viewport
    EXPECT_EQ(vp.Height, 32u);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_ARGB(0x80, 0x10, 0x20, 0x30), 1.0f, 0), D3D_OK);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    const uint8_t* p = PixelAt(locked, 63, 31);
    EXPECT_EQ(p[0], 0x30);
    EXPECT_EQ(p[1], 0x20);
    EXPECT_EQ(p[2], 0x10);
    EXPECT_EQ(p[3], 0x80);
    texture->UnlockRect(0);

    IDirect3DSurface9* backBuffer = nullptr;
    device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer);
    ASSERT_EQ(device->SetRenderTarget(0, backBuffer), D3D_OK);
    backBuffer->Release();
    level->Release();
    texture->Release();
}
