#include "gl/GlDeviceFixture.h"

// The game draws its scene into a render-target texture and then draws that texture on a full-screen
// quad whose top-left vertex has (u, v) = (0, 0). What was drawn at the top-left must arrive top-left.
TEST_F(GlDeviceTest, RenderTargetTextureShowsUprightOnTheBackBuffer)
{
    IDirect3DTexture9* scene = nullptr;
    ASSERT_EQ(
        device->CreateTexture(64, 64, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &scene, nullptr),
        D3D_OK);
    IDirect3DSurface9* sceneSurface = nullptr;
    ASSERT_EQ(scene->GetSurfaceLevel(0, &sceneSurface), D3D_OK);
    IDirect3DSurface9* backBuffer = nullptr;
    ASSERT_EQ(device->GetRenderTarget(0, &backBuffer), D3D_OK);

    PlainStates();
    ASSERT_EQ(device->SetRenderTarget(0, sceneSurface), D3D_OK);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_XRGB(0, 0, 255), 1.0f, 0);
    DrawScreenQuad(0, 0, 16, 8, D3DCOLOR_XRGB(255, 0, 0)); // the marker: 16 wide, 8 high, top-left

    // Reading the render target directly gives top-down rows too.
    const std::vector<D3DCOLOR> direct = ReadSurface(sceneSurface);
    ASSERT_EQ(direct.size(), 64u * 64u);
    EXPECT_EQ(Pixel(direct, 2, 2) & 0x00FFFFFF, 0x00FF0000u);
    EXPECT_EQ(Pixel(direct, 2, 12) & 0x00FFFFFF, 0x000000FFu);
    EXPECT_EQ(Pixel(direct, 20, 2) & 0x00FFFFFF, 0x000000FFu);

    ASSERT_EQ(device->SetRenderTarget(0, backBuffer), D3D_OK);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    device->SetTexture(0, scene);
    // The game's screen quad: (left, top + height, u 0, v 1), (left, top, u 0, v 0), ...
    DrawScreenQuad(0, 0, 64, 64, 0xFFFFFFFF);
    device->SetTexture(0, nullptr);
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);

    const std::vector<D3DCOLOR> pixels = ReadBackBuffer();
    EXPECT_EQ(Pixel(pixels, 2, 2), 0xFFFF0000u);
    EXPECT_EQ(Pixel(pixels, 14, 6), 0xFFFF0000u);
    EXPECT_EQ(Pixel(pixels, 2, 10), 0xFF0000FFu);
    EXPECT_EQ(Pixel(pixels, 18, 2), 0xFF0000FFu);
    EXPECT_EQ(Pixel(pixels, 2, 60), 0xFF0000FFu) << "the marker must not appear at the bottom";
    EXPECT_EQ(Pixel(pixels, 60, 60), 0xFF0000FFu);

    backBuffer->Release();
    sceneSurface->Release();
    scene->Release();
}

TEST_F(GlDeviceTest, ViewportsOfARenderTargetCountFromItsTopLeft)
{
    IDirect3DSurface9* target = nullptr;
    ASSERT_EQ(device->CreateRenderTarget(32, 16, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, TRUE, &target, nullptr),
              D3D_OK);
    IDirect3DSurface9* backBuffer = nullptr;
    device->GetRenderTarget(0, &backBuffer);
    PlainStates();
    device->SetRenderTarget(0, target);
    D3DVIEWPORT9 full{};
    device->GetViewport(&full);
    EXPECT_EQ(full.Width, 32u) << "setting a render target resets the viewport to all of it";
    EXPECT_EQ(full.Height, 16u);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(0, 0, 0), 1.0f, 0);

    // A viewport in the lower right; a pre-transformed quad over the whole target is clipped to it.
    D3DVIEWPORT9 corner{24, 8, 8, 8, 0.0f, 1.0f};
    device->SetViewport(&corner);
    DrawScreenQuad(0, 0, 32, 16, D3DCOLOR_XRGB(0, 255, 0));
    // Transformed vertices fill the viewport: clip space (-1..1) maps onto it.
    D3DVIEWPORT9 left{0, 0, 8, 16, 0.0f, 1.0f};
    device->SetViewport(&left);
    const D3DMATRIX identity = IdentityMatrix();
    device->SetTransform(D3DTS_WORLD, &identity);
    device->SetTransform(D3DTS_VIEW, &identity);
    device->SetTransform(D3DTS_PROJECTION, &identity);
    const D3DCOLOR white = 0xFFFFFFFF;
    // The top half of clip space: y from 0 to 1 is the upper 8 rows of the viewport.
    const ColorVertex top[4] = {{-1, 0, 0.5f, white}, {-1, 1, 0.5f, white}, {1, 0, 0.5f, white}, {1, 1, 0.5f, white}};
    device->SetFVF(COLOR_FVF);
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, top, sizeof(ColorVertex));

    const std::vector<D3DCOLOR> pixels = ReadSurface(target);
    ASSERT_EQ(pixels.size(), 32u * 16u);
    EXPECT_EQ(Pixel(pixels, 28, 12, 32) & 0x00FFFFFF, 0x0000FF00u);
    EXPECT_EQ(Pixel(pixels, 20, 12, 32) & 0x00FFFFFF, 0u);
    EXPECT_EQ(Pixel(pixels, 28, 4, 32) & 0x00FFFFFF, 0u);
    EXPECT_EQ(Pixel(pixels, 4, 4, 32) & 0x00FFFFFF, 0x00FFFFFFu);
    EXPECT_EQ(Pixel(pixels, 4, 12, 32) & 0x00FFFFFF, 0u);
    EXPECT_EQ(Pixel(pixels, 12, 4, 32) & 0x00FFFFFF, 0u);

    device->SetRenderTarget(0, backBuffer);
    backBuffer->Release();
    target->Release();
}

TEST_F(GlDeviceTest, OwnDepthSurfaceServesAnotherRenderTarget)
{
    IDirect3DSurface9* target = nullptr;
    IDirect3DSurface9* depth = nullptr;
    ASSERT_EQ(device->CreateRenderTarget(32, 32, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, TRUE, &target, nullptr),
              D3D_OK);
    ASSERT_EQ(device->CreateDepthStencilSurface(32, 32, D3DFMT_D24S8, D3DMULTISAMPLE_NONE, 0, FALSE, &depth, nullptr),
              D3D_OK);
    IDirect3DSurface9* backBuffer = nullptr;
    IDirect3DSurface9* backDepth = nullptr;
    device->GetRenderTarget(0, &backBuffer);
    device->GetDepthStencilSurface(&backDepth);
    PlainStates();
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    device->SetRenderTarget(0, target);
    ASSERT_EQ(device->SetDepthStencilSurface(depth), D3D_OK);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    auto quad = [&](float x0, float x1, float z, D3DCOLOR color) {
        const ScreenVertex v[4] = {{x0, 32, z, 1, color, 0, 0},
                                   {x0, 0, z, 1, color, 0, 0},
                                   {x1, 32, z, 1, color, 0, 0},
                                   {x1, 0, z, 1, color, 0, 0}};
        device->SetFVF(SCREEN_FVF);
        device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(ScreenVertex));
    };
    quad(0, 32, 0.5f, D3DCOLOR_XRGB(255, 0, 0));
    quad(0, 16, 0.7f, D3DCOLOR_XRGB(0, 255, 0)); // behind the red one
    quad(16, 32, 0.3f, D3DCOLOR_XRGB(0, 0, 255)); // in front
    const std::vector<D3DCOLOR> pixels = ReadSurface(target);
    EXPECT_EQ(Pixel(pixels, 8, 16, 32) & 0x00FFFFFF, 0x00FF0000u);
    EXPECT_EQ(Pixel(pixels, 24, 16, 32) & 0x00FFFFFF, 0x000000FFu);

    device->SetRenderTarget(0, backBuffer);
    device->SetDepthStencilSurface(backDepth);
    backDepth->Release();
    backBuffer->Release();
    depth->Release();
    target->Release();
}

// A picture kept in a render target and a depth surface of its own, copied onto the back buffer and its depth,
// stands there as if drawn there: what is drawn over it is hidden where the picture lies nearer. Twice: once
// onto a back buffer already drawn on this frame, once as the frame's first operation after Present.
TEST_F(GlDeviceTest, ACopiedPictureKeepsItsDepthForTheDrawsOverIt)
{
    IDirect3DSurface9* backBuffer = nullptr;
    ASSERT_EQ(device->GetRenderTarget(0, &backBuffer), D3D_OK);
    IDirect3DSurface9* autoDepth = nullptr;
    ASSERT_EQ(device->GetDepthStencilSurface(&autoDepth), D3D_OK);
    D3DSURFACE_DESC desc{};
    backBuffer->GetDesc(&desc);
    IDirect3DSurface9* kept = nullptr;
    ASSERT_EQ(device->CreateRenderTarget(SIZE, SIZE, desc.Format, D3DMULTISAMPLE_NONE, 0, FALSE, &kept, nullptr),
              D3D_OK);
    IDirect3DSurface9* keptDepth = nullptr;
    ASSERT_EQ(
        device->CreateDepthStencilSurface(SIZE, SIZE, D3DFMT_D24S8, D3DMULTISAMPLE_NONE, 0, FALSE, &keptDepth, nullptr),
        D3D_OK);
    const auto quadAt = [&](float x0, float x1, float z, D3DCOLOR colour) {
        const ScreenVertex quad[4] = {{x0, 64.0f, z, 1.0f, colour, 0.0f, 1.0f},
                                      {x0, 0.0f, z, 1.0f, colour, 0.0f, 0.0f},
                                      {x1, 64.0f, z, 1.0f, colour, 1.0f, 1.0f},
                                      {x1, 0.0f, z, 1.0f, colour, 1.0f, 0.0f}};
        device->SetFVF(SCREEN_FVF);
        device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(ScreenVertex));
    };

    PlainStates();
    device->SetRenderState(D3DRS_ZENABLE, TRUE);
    device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESS);
    // The picture: blue and far, with a red strip near the eye on its left half.
    ASSERT_EQ(device->SetRenderTarget(0, kept), D3D_OK);
    ASSERT_EQ(device->SetDepthStencilSurface(keptDepth), D3D_OK);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, D3DCOLOR_XRGB(0, 0, 255), 1.0f, 0);
    quadAt(0.0f, 32.0f, 0.25f, D3DCOLOR_XRGB(255, 0, 0));
    ASSERT_EQ(device->SetRenderTarget(0, backBuffer), D3D_OK);
    ASSERT_EQ(device->SetDepthStencilSurface(autoDepth), D3D_OK);

    for (int frame = 0; frame < 2; ++frame) {
        SCOPED_TRACE(frame == 0 ? "over a drawn back buffer" : "first in the frame");
        if (frame == 0) {
            // White and nearer than anything: the copy must replace both.
            device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_XRGB(255, 255, 255), 0.0f, 0);
            quadAt(0.0f, 64.0f, 0.0f, D3DCOLOR_XRGB(255, 255, 0));
        }
        ASSERT_EQ(device->StretchRect(kept, nullptr, backBuffer, nullptr, D3DTEXF_NONE), D3D_OK);
        ASSERT_EQ(device->StretchRect(keptDepth, nullptr, autoDepth, nullptr, D3DTEXF_NONE), D3D_OK);
        // Green halfway: behind the red strip, in front of the blue.
        quadAt(0.0f, 64.0f, 0.5f, D3DCOLOR_XRGB(0, 255, 0));
        ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
        const std::vector<D3DCOLOR> pixels = ReadBackBuffer();
        EXPECT_EQ(Pixel(pixels, 4, 4) & 0x00FFFFFF, 0x00FF0000u);
        EXPECT_EQ(Pixel(pixels, 28, 60) & 0x00FFFFFF, 0x00FF0000u);
        EXPECT_EQ(Pixel(pixels, 36, 4) & 0x00FFFFFF, 0x0000FF00u);
        EXPECT_EQ(Pixel(pixels, 60, 60) & 0x00FFFFFF, 0x0000FF00u);
    }

    keptDepth->Release();
    kept->Release();
    autoDepth->Release();
    backBuffer->Release();
}
