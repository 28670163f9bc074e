#include "gl/GlDeviceFixture.h"
#include "support/TestDevice.h"

#include "d3d9/gl/GlDevice.h"
#include "win32/WindowBridge.h"

#include <SDL.h>

#include <algorithm>
#include <thread>

// What the game does every frame must not make new programs once each state combination has been seen.
TEST_F(GlDeviceTest, RepeatedFramesMakeNoNewPrograms)
{
    auto* gl = dynamic_cast<GlDevice*>(device);
    ASSERT_NE(gl, nullptr);
    IDirect3DTexture9* texture = MakeTexture(1, 1, {D3DCOLOR_ARGB(200, 10, 20, 30)});
    const D3DMATRIX identity = IdentityMatrix();
    auto frame = [&](int n) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        device->SetTransform(D3DTS_WORLD, &identity);
        device->SetTransform(D3DTS_VIEW, &identity);
        device->SetTransform(D3DTS_PROJECTION, &identity);
        for (int i = 0; i < 20; ++i) {
            device->SetRenderState(D3DRS_ALPHATESTENABLE, i % 2);
            device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
            device->SetRenderState(D3DRS_FOGENABLE, i % 3 == 0);
            device->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
            device->SetRenderState(D3DRS_ALPHAREF, static_cast<DWORD>(n * 10 + i)); // a value, not a structure
            device->SetTexture(0, i % 4 ? texture : nullptr);
            DrawScreenQuad(0, 0, 8, 8, 0xFFFFFFFF);
            const ColorVertex triangle[3] = {
                {0, 0, 0.5f, 0xFFFFFFFF}, {1, 0, 0.5f, 0xFFFFFFFF}, {0, 1, 0.5f, 0xFFFFFFFF}};
            device->SetFVF(COLOR_FVF);
            device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, triangle, sizeof(ColorVertex));
        }
        device->Present(nullptr, nullptr, nullptr, nullptr);
    };
    frame(0);
    const size_t programs = gl->FixedFunctionProgramCount();
    // A texture bound or not is part of the structure (without one nothing is fetched). The untextured draws
    // (i a multiple of 4) are even, so never alpha-tested. Transformed vertices: of the combinations of alpha
    // test, fog and texture, the untextured alpha-tested two never come: six. Pre-transformed ones without a
    // specular colour have no vertex fog: alpha test on or off when textured, off when not: three. Nine.
    EXPECT_EQ(programs, 9u);
    for (int n = 1; n < 6; ++n)
        frame(n);
    EXPECT_EQ(gl->FixedFunctionProgramCount(), programs);
    device->SetTexture(0, nullptr);
    texture->Release();
}

// The loading thread creates and fills textures and programs while the main thread draws; only the main
// thread may touch GL, so everything it made must reach the GPU at its first use there.
TEST_F(GlDeviceTest, ResourcesMadeOnAnotherThreadDrawOnTheDrawingThread)
{
    IDirect3DTexture9* texture = nullptr;
    IShaderProgram* program = nullptr;
    BOOL validBeforeCompiling = FALSE;
    std::thread loader([&] {
        if (device->CreateTexture(2, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr) != D3D_OK)
            return;
        D3DLOCKED_RECT locked{};
        texture->LockRect(0, &locked, nullptr, 0);
        auto* texels = static_cast<D3DCOLOR*>(locked.pBits);
        texels[0] = D3DCOLOR_XRGB(255, 0, 0);
        texels[1] = D3DCOLOR_XRGB(0, 0, 255);
        texture->UnlockRect(0);
        device->CreateShaderProgram("in vec4 inPosition; in vec4 inTexCoord0; out vec2 uv;\n"
                                    "void main() { gl_Position = vec4(inPosition.xyz, 1.0); uv = inTexCoord0.xy; }\n",
                                    "uniform sampler2D image; in vec2 uv; out vec4 colour;\n"
                                    "void main() { colour = texture(image, uv).bgra; }\n",
                                    &program);
        if (program)
            validBeforeCompiling = program->IsValid();
    });
    loader.join();
    ASSERT_NE(texture, nullptr);
    ASSERT_NE(program, nullptr);
    EXPECT_TRUE(validBeforeCompiling) << "a program not yet compiled counts as valid";
    EXPECT_TRUE(program->IsValid()) << program->GetLog();

    PlainStates();
    device->SetTexture(0, texture);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    DrawScreenQuad(0, 0, 64, 32, 0xFFFFFFFF);
    // The program swaps red and blue.
    struct Vertex {
        float x, y, z, u, v;
    } lower[4] = {{-1, -1, 0.5f, 0, 1}, {-1, 0, 0.5f, 0, 0}, {1, -1, 0.5f, 1, 1}, {1, 0, 0.5f, 1, 0}};
    device->SetShaderProgram(program);
    device->SetFVF(D3DFVF_XYZ | D3DFVF_TEX1);
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, lower, sizeof(Vertex));
    device->SetShaderProgram(nullptr);
    device->SetTexture(0, nullptr);
    const std::vector<D3DCOLOR> pixels = ReadBackBuffer();
    EXPECT_EQ(Pixel(pixels, 16, 16), D3DCOLOR_XRGB(255, 0, 0));
    EXPECT_EQ(Pixel(pixels, 48, 16), D3DCOLOR_XRGB(0, 0, 255));
    EXPECT_EQ(Pixel(pixels, 16, 48), D3DCOLOR_XRGB(0, 0, 255));
    EXPECT_EQ(Pixel(pixels, 48, 48), D3DCOLOR_XRGB(255, 0, 0));

    // Released on the other thread: the GL objects go at the next draw here, and drawing goes on.
    std::thread releaser([&] {
        texture->Release();
        program->Release();
    });
    releaser.join();
    device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(0, 255, 0), 1.0f, 0);
    DrawScreenQuad(0, 0, 8, 8, D3DCOLOR_XRGB(1, 2, 3));
    const std::vector<D3DCOLOR> after = ReadBackBuffer();
    EXPECT_EQ(Pixel(after, 4, 4), D3DCOLOR_XRGB(1, 2, 3));
    EXPECT_EQ(Pixel(after, 40, 40), D3DCOLOR_XRGB(0, 255, 0));
}

// Full screen is the window at desktop size showing the back buffer scaled to fit.
TEST_F(GlDeviceTest, FullScreenResetFitsTheBackBufferIntoTheDesktop)
{
    ShowWindow(window, SW_SHOW); // as the game's window is; a hidden one is never mapped at desktop size
    D3DPRESENT_PARAMETERS pp = WindowedPresentParameters(64, 48, window);
    pp.Windowed = FALSE;
    ASSERT_EQ(device->Reset(&pp), D3D_OK);
    SDL_Window* sdl = WindowBridge::GetSdlWindow(window);
    ASSERT_NE(sdl, nullptr);
    EXPECT_TRUE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_BORDERLESS);
    // The X server's screen is 1280 x 1024: a 4:3 picture fills its width, 960 rows high, 32 rows from the top.
    int drawableWidth = 0, drawableHeight = 0;
    for (int tries = 0; tries < 100 && drawableWidth != 1280; ++tries) {
        SDL_PumpEvents();
        SDL_GL_GetDrawableSize(sdl, &drawableWidth, &drawableHeight);
        if (drawableWidth != 1280)
            SDL_Delay(10);
    }
    ASSERT_EQ(drawableWidth, 1280);
    ASSERT_EQ(drawableHeight, 1024);
    int x = -1, y = -1, w = -1, h = -1;
    WindowBridge::GetPresentRect(window, &x, &y, &w, &h);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 32);
    EXPECT_EQ(w, 1280);
    EXPECT_EQ(h, 960);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(4, 5, 6), 1.0f, 0);
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    UINT width = 0;
    IDirect3DSurface9* backBuffer = nullptr;
    device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer);
    const std::vector<D3DCOLOR> pixels = ReadSurface(backBuffer, &width);
    backBuffer->Release();
    EXPECT_EQ(width, 64u);
    EXPECT_EQ(Pixel(pixels, 63, 47, 64), D3DCOLOR_XRGB(4, 5, 6));

    pp.Windowed = TRUE;
    ASSERT_EQ(device->Reset(&pp), D3D_OK);
    EXPECT_FALSE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_FULLSCREEN_DESKTOP);
}

// Present keeps no copy of frames nobody reads; a read after Present still sees the frame just shown, the
// first one after a run of unread frames as well as those read one after another.
TEST_F(GlDeviceTest, AReadAfterPresentSeesTheFrameJustShownWhetherOrNotItWasKept)
{
    ShowWindow(window, SW_SHOW);
    SetWindowPos(window, nullptr, 0, 0, static_cast<int>(SIZE), static_cast<int>(SIZE), SWP_NOMOVE);
    SDL_Window* sdl = WindowBridge::GetSdlWindow(window);
    ASSERT_NE(sdl, nullptr);
    int drawableWidth = 0, drawableHeight = 0;
    for (int tries = 0; tries < 100 && drawableWidth != static_cast<int>(SIZE); ++tries) {
        SDL_PumpEvents();
        SDL_GL_GetDrawableSize(sdl, &drawableWidth, &drawableHeight);
        if (drawableWidth != static_cast<int>(SIZE))
            SDL_Delay(10);
    }
    ASSERT_EQ(drawableWidth, static_cast<int>(SIZE));
    auto* gl = static_cast<GlDevice*>(device);
    PlainStates();
    // The first frame after the window changed size may still be shown at the old size (the swap places it by
    // the size the GL driver last saw); from the next one on it shows as drawn.
    auto present = [&](D3DCOLOR colour) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, colour, 1.0f, 0);
        DrawScreenQuad(0, 0, 16, 16, D3DCOLOR_XRGB(255, 255, 255));
        ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    };
    const D3DCOLOR colours[] = {D3DCOLOR_XRGB(255, 0, 0), D3DCOLOR_XRGB(0, 255, 0), D3DCOLOR_XRGB(0, 0, 255),
                                D3DCOLOR_XRGB(255, 255, 0)};
    // Three frames unread (after the first after the resize), then read twice: the third.
    present(colours[0]);
    for (int i = 0; i < 3; ++i)
        present(colours[i]);
    ASSERT_TRUE(gl->BackBufferInWindow());
    EXPECT_EQ(gl->KeptFrameCount(), 0u) << "no frame is read back while nothing reads one";
    for (int read = 0; read < 2; ++read) {
        const std::vector<D3DCOLOR> pixels = ReadBackBuffer();
        ASSERT_EQ(pixels.size(), SIZE * SIZE);
        EXPECT_RGB_NEAR(Pixel(pixels, 40, 40), colours[2], 0) << read;
        EXPECT_RGB_NEAR(Pixel(pixels, 4, 4), D3DCOLOR_XRGB(255, 255, 255), 0) << "top left stays top left";
    }
    // The next frame, read as a held screenshot key reads it: kept at its Present.
    present(colours[3]);
    EXPECT_EQ(gl->KeptFrameCount(), 1u);
    const std::vector<D3DCOLOR> pixels = ReadBackBuffer();
    ASSERT_EQ(pixels.size(), SIZE * SIZE);
    EXPECT_RGB_NEAR(Pixel(pixels, 40, 40), colours[3], 0);
    EXPECT_RGB_NEAR(Pixel(pixels, 4, 4), D3DCOLOR_XRGB(255, 255, 255), 0);
}

namespace {

// Shows the test's window at the back buffer's size, so that the back buffer may be drawn in the window itself.
void FitWindowToBackBuffer(HWND window, UINT size)
{
    ShowWindow(window, SW_SHOW);
    SetWindowPos(window, nullptr, 0, 0, static_cast<int>(size), static_cast<int>(size), SWP_NOMOVE);
    SDL_Window* sdl = WindowBridge::GetSdlWindow(window);
    ASSERT_NE(sdl, nullptr);
    int drawableWidth = 0, drawableHeight = 0;
    for (int tries = 0; tries < 100 && drawableWidth != static_cast<int>(size); ++tries) {
        SDL_PumpEvents();
        SDL_GL_GetDrawableSize(sdl, &drawableWidth, &drawableHeight);
        if (drawableWidth != static_cast<int>(size))
            SDL_Delay(10);
    }
    ASSERT_EQ(drawableWidth, static_cast<int>(size));
    ASSERT_EQ(drawableHeight, static_cast<int>(size));
}

} // namespace

TEST_F(GlDeviceTest, ABackBufferOfTheWindowsSizeIsDrawnInTheWindowUprightAndReadsBackAfterPresent)
{
    ASSERT_NO_FATAL_FAILURE(FitWindowToBackBuffer(window, SIZE));
    auto* gl = static_cast<GlDevice*>(device);
    ASSERT_TRUE(gl->HasClipControl()) << "the window path needs clip control";
    IDirect3DSurface9* ownDepth = nullptr;
    ASSERT_EQ(
        device->CreateDepthStencilSurface(SIZE, SIZE, D3DFMT_D24S8, D3DMULTISAMPLE_NONE, 0, FALSE, &ownDepth, nullptr),
        D3D_OK);
    IDirect3DSurface9* autoDepth = nullptr;
    ASSERT_EQ(device->GetDepthStencilSurface(&autoDepth), D3D_OK);

    const D3DMATRIX identity = IdentityMatrix();
    const D3DCOLOR blue = D3DCOLOR_XRGB(0, 0, 255), green = D3DCOLOR_XRGB(0, 255, 0), red = D3DCOLOR_XRGB(255, 0, 0),
                   white = D3DCOLOR_XRGB(255, 255, 255), yellow = D3DCOLOR_XRGB(255, 255, 0);
    // Quads filling their viewport in clip space: clockwise on screen (a front face) or not, at a depth.
    auto quad = [](D3DCOLOR colour, float z, bool clockwise, ColorVertex* out) {
        const ColorVertex tl{-1, 1, z, colour}, tr{1, 1, z, colour}, bl{-1, -1, z, colour}, br{1, -1, z, colour};
        const ColorVertex cw[6] = {tl, tr, bl, tr, br, bl};
        const ColorVertex ccw[6] = {tl, bl, tr, tr, bl, br};
        std::copy(clockwise ? cw : ccw, (clockwise ? cw : ccw) + 6, out);
    };
    ColorVertex front[6], back[6], behind[6];
    quad(white, 0.5f, true, front);
    quad(yellow, 0.5f, false, back);
    quad(yellow, 0.7f, true, behind);

    struct Case {
        DWORD clearFlags;
        IDirect3DSurface9* depth;
        bool depthTest;
        bool inWindow; // only a depth-stencil surface other than the automatic one keeps the frame out of it
    };
    // A frame in the window's new size before the ones read: the first after a resize may still be shown
    // at the old size, and the first read after Present sees what the window shows.
    device->Clear(0, nullptr, D3DCLEAR_TARGET, blue, 1.0f, 0);
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    const Case cases[] = {{D3DCLEAR_TARGET, autoDepth, false, true},
                          {D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, autoDepth, true, true},
                          {D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, ownDepth, true, false}};
    for (const Case& c : cases) {
        PlainStates();
        device->SetDepthStencilSurface(c.depth);
        D3DVIEWPORT9 whole{0, 0, SIZE, SIZE, 0.0f, 1.0f};
        device->SetViewport(&whole);
        device->Clear(0, nullptr, c.clearFlags, blue, 1.0f, 0);
        const D3DRECT corner{48, 48, 64, 64};
        device->Clear(1, &corner, D3DCLEAR_TARGET, green, 1.0f, 0);
        device->BeginScene();
        DrawScreenQuad(0.0f, 0.0f, 64.0f, 32.0f, red);
        device->SetTransform(D3DTS_WORLD, &identity);
        device->SetTransform(D3DTS_VIEW, &identity);
        device->SetTransform(D3DTS_PROJECTION, &identity);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
        device->SetRenderState(D3DRS_ZENABLE, c.depthTest ? D3DZB_TRUE : D3DZB_FALSE);
        device->SetFVF(COLOR_FVF);
        D3DVIEWPORT9 lowerLeft{0, 32, 32, 32, 0.0f, 1.0f};
        device->SetViewport(&lowerLeft);
        device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, front, sizeof(ColorVertex));
        if (c.depthTest)
            device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, behind, sizeof(ColorVertex));
        D3DVIEWPORT9 lowerRight{32, 32, 32, 32, 0.0f, 1.0f};
        device->SetViewport(&lowerRight);
        device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, back, sizeof(ColorVertex));
        device->EndScene();
        EXPECT_EQ(gl->BackBufferInWindow(), c.inWindow) << c.clearFlags;
        ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);

        // Read after Present, as a screenshot is: the frame just shown, top row first.
        const std::vector<D3DCOLOR> pixels = ReadBackBuffer();
        ASSERT_EQ(pixels.size(), SIZE * SIZE);
        EXPECT_RGB_NEAR(Pixel(pixels, 10, 10), red, 0) << c.clearFlags;
        EXPECT_RGB_NEAR(Pixel(pixels, 50, 20), red, 0) << c.clearFlags;
        EXPECT_RGB_NEAR(Pixel(pixels, 10, 50), white, 0) << "the nearer quad stays in front " << c.clearFlags;
        EXPECT_RGB_NEAR(Pixel(pixels, 40, 40), blue, 0) << "the counter-clockwise quad is culled";
        EXPECT_RGB_NEAR(Pixel(pixels, 60, 60), green, 0) << c.clearFlags;
        EXPECT_RGB_NEAR(Pixel(pixels, 40, 60), blue, 0) << c.clearFlags;
    }
    device->SetDepthStencilSurface(autoDepth);
    autoDepth->Release();
    ownDepth->Release();
}

// A picture kept in a target of its own and copied over the whole back buffer and its depth is copied into the
// window, where the frame goes on: upright, with its depth hiding what is drawn behind it. Three frames: the first
// after the back buffer was last drawn outside the window (its own depth surface), then two in a row.
TEST_F(GlDeviceTest, APictureCopiedOverTheBackBufferGoesIntoTheWindowUprightWithItsDepth)
{
    ASSERT_NO_FATAL_FAILURE(FitWindowToBackBuffer(window, SIZE));
    auto* gl = static_cast<GlDevice*>(device);
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
    const auto quad = [&](float x0, float y0, float x1, float y1, float z, D3DCOLOR colour) {
        const ScreenVertex corners[4] = {{x0, y1, z, 1.0f, colour, 0.0f, 1.0f},
                                         {x0, y0, z, 1.0f, colour, 0.0f, 0.0f},
                                         {x1, y1, z, 1.0f, colour, 1.0f, 1.0f},
                                         {x1, y0, z, 1.0f, colour, 1.0f, 0.0f}};
        device->SetFVF(SCREEN_FVF);
        device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, corners, sizeof(ScreenVertex));
    };
    const D3DCOLOR blue = D3DCOLOR_XRGB(0, 0, 255), red = D3DCOLOR_XRGB(255, 0, 0), green = D3DCOLOR_XRGB(0, 255, 0);

    PlainStates();
    device->SetRenderState(D3DRS_ZENABLE, TRUE);
    device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESS);
    // The picture: blue and far, a red square near the eye in its upper-left quarter.
    ASSERT_EQ(device->SetRenderTarget(0, kept), D3D_OK);
    ASSERT_EQ(device->SetDepthStencilSurface(keptDepth), D3D_OK);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, blue, 1.0f, 0);
    quad(0.0f, 0.0f, 32.0f, 32.0f, 0.25f, red);
    ASSERT_EQ(device->SetRenderTarget(0, backBuffer), D3D_OK);

    // The frame before is drawn outside the window: its depth surface is not the automatic one.
    IDirect3DSurface9* otherDepth = nullptr;
    ASSERT_EQ(device->CreateDepthStencilSurface(SIZE, SIZE, D3DFMT_D24S8, D3DMULTISAMPLE_NONE, 0, FALSE, &otherDepth,
                                                nullptr),
              D3D_OK);
    ASSERT_EQ(device->SetDepthStencilSurface(otherDepth), D3D_OK);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_XRGB(255, 255, 255), 1.0f, 0);
    EXPECT_FALSE(gl->BackBufferInWindow());
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    ASSERT_EQ(device->SetDepthStencilSurface(autoDepth), D3D_OK);

    for (int frame = 0; frame < 3; ++frame) {
        SCOPED_TRACE(frame);
        ASSERT_EQ(device->StretchRect(kept, nullptr, backBuffer, nullptr, D3DTEXF_NONE), D3D_OK);
        ASSERT_EQ(device->StretchRect(keptDepth, nullptr, autoDepth, nullptr, D3DTEXF_NONE), D3D_OK);
        EXPECT_TRUE(gl->BackBufferInWindow());
        // Green halfway over the left half: behind the red square, in front of the blue.
        quad(0.0f, 0.0f, 32.0f, 64.0f, 0.5f, green);
        EXPECT_TRUE(gl->BackBufferInWindow()) << "the automatic depth is the window's";
        ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
        const std::vector<D3DCOLOR> pixels = ReadBackBuffer();
        ASSERT_EQ(pixels.size(), SIZE * SIZE);
        EXPECT_RGB_NEAR(Pixel(pixels, 4, 4), red, 0);
        EXPECT_RGB_NEAR(Pixel(pixels, 28, 28), red, 0);
        EXPECT_RGB_NEAR(Pixel(pixels, 4, 36), green, 0) << "the lower-left quarter: the picture is upright";
        EXPECT_RGB_NEAR(Pixel(pixels, 28, 60), green, 0);
        EXPECT_RGB_NEAR(Pixel(pixels, 36, 4), blue, 0);
        EXPECT_RGB_NEAR(Pixel(pixels, 60, 60), blue, 0);
    }

    otherDepth->Release();
    keptDepth->Release();
    kept->Release();
    autoDepth->Release();
    backBuffer->Release();
}
