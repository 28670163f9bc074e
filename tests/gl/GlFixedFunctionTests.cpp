#include "gl/GlDeviceFixture.h"

#include "d3d9/gl/GlDevice.h"

#include <cmath>
#include <tuple>

namespace {

// D3DX's left-handed perspective: xScale = yScale = cot(fov / 2), _33 = f / (f - n), _34 = 1,
// _43 = -n f / (f - n). With a 90-degree field of view both scales are 1.
D3DMATRIX Perspective90(float zn, float zf)
{
    D3DMATRIX m{};
    m._11 = 1.0f;
    m._22 = 1.0f;
    m._33 = zf / (zf - zn);
    m._34 = 1.0f;
    m._43 = -zn * zf / (zf - zn);
    return m;
}

DWORD Bits(float value)
{
    DWORD bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

} // namespace

TEST_F(GlDeviceTest, AlphaTestKeepsTexelsAtTheReferenceAndDropsThoseBelow)
{
    // Left texel alpha 127, right texel alpha 128, both red.
    IDirect3DTexture9* texture = MakeTexture(2, 1, {D3DCOLOR_ARGB(127, 255, 0, 0), D3DCOLOR_ARGB(128, 255, 0, 0)});
    PlainStates();
    device->SetTexture(0, texture);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    device->SetRenderState(D3DRS_ALPHAREF, 128);
    device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(0, 0, 255), 1.0f, 0);
    DrawScreenQuad(0, 0, 64, 32, 0xFFFFFFFF);

    // LESS keeps exactly the other texel.
    device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_LESS);
    DrawScreenQuad(0, 32, 64, 64, D3DCOLOR_XRGB(0, 255, 0));

    const std::vector<D3DCOLOR> pixels = ReadBackBuffer();
    EXPECT_EQ(Pixel(pixels, 16, 16), 0xFF0000FFu) << "alpha 127 < 128 is discarded";
    EXPECT_EQ(Pixel(pixels, 48, 16), 0xFFFF0000u) << "alpha 128 >= 128 is kept";
    EXPECT_EQ(Pixel(pixels, 16, 48), 0xFF000000u) << "alpha 127 < 128: red texel times green vertex";
    EXPECT_EQ(Pixel(pixels, 48, 48), 0xFF0000FFu);
    device->SetTexture(0, nullptr);
    texture->Release();
}

TEST_F(GlDeviceTest, AlphaTestThatKeepsEveryAlphaDrawsWithTheUntestedProgram)
{
    auto* gl = dynamic_cast<GlDevice*>(device);
    ASSERT_NE(gl, nullptr);
    IDirect3DTexture9* texture = MakeTexture(1, 1, {D3DCOLOR_ARGB(0, 255, 0, 0)});
    PlainStates();
    device->SetTexture(0, texture);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(0, 0, 255), 1.0f, 0);
    DrawScreenQuad(0, 0, 8, 8, 0xFFFFFFFF);
    const size_t programs = gl->FixedFunctionProgramCount();
    // Every alpha is at least 0: nothing to test, nothing to discard.
    device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    device->SetRenderState(D3DRS_ALPHAREF, 0);
    DrawScreenQuad(8, 0, 16, 8, 0xFFFFFFFF);
    EXPECT_EQ(gl->FixedFunctionProgramCount(), programs);
    // A reference of 1 drops the texel of alpha 0.
    device->SetRenderState(D3DRS_ALPHAREF, 1);
    DrawScreenQuad(16, 0, 24, 8, 0xFFFFFFFF);
    EXPECT_EQ(gl->FixedFunctionProgramCount(), programs + 1);

    const std::vector<D3DCOLOR> pixels = ReadBackBuffer();
    EXPECT_EQ(Pixel(pixels, 4, 4), 0xFFFF0000u);
    EXPECT_EQ(Pixel(pixels, 12, 4), 0xFFFF0000u);
    EXPECT_EQ(Pixel(pixels, 20, 4), 0xFF0000FFu);
    device->SetTexture(0, nullptr);
    texture->Release();
}

TEST_F(GlDeviceTest, LinearRangeFogBlendsByDistanceFromTheEye)
{
    PlainStates();
    const D3DMATRIX identity = IdentityMatrix();
    const D3DMATRIX projection = Perspective90(1.0f, 1000.0f);
    device->SetTransform(D3DTS_WORLD, &identity);
    device->SetTransform(D3DTS_VIEW, &identity);
    device->SetTransform(D3DTS_PROJECTION, &projection);
    device->SetRenderState(D3DRS_FOGENABLE, TRUE);
    device->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
    device->SetRenderState(D3DRS_FOGTABLEMODE, D3DFOG_NONE);
    device->SetRenderState(D3DRS_FOGSTART, Bits(100.0f));
    device->SetRenderState(D3DRS_FOGEND, Bits(200.0f));
    device->SetRenderState(D3DRS_FOGCOLOR, D3DCOLOR_XRGB(255, 0, 0));

    // A black wall at z = 150, wider than the 90-degree view, tessellated finely enough that the
    // per-vertex fog is near the exact value at every pixel.
    constexpr int CELLS = 32;
    std::vector<ColorVertex> wall;
    const float step = 400.0f / CELLS;
    for (int row = 0; row < CELLS; ++row) {
        for (int col = 0; col < CELLS; ++col) {
            const float x0 = -200.0f + col * step, x1 = x0 + step;
            const float y0 = -200.0f + row * step, y1 = y0 + step;
            const D3DCOLOR black = D3DCOLOR_XRGB(0, 0, 0);
            wall.push_back({x0, y0, 150.0f, black});
            wall.push_back({x0, y1, 150.0f, black});
            wall.push_back({x1, y0, 150.0f, black});
            wall.push_back({x1, y0, 150.0f, black});
            wall.push_back({x0, y1, 150.0f, black});
            wall.push_back({x1, y1, 150.0f, black});
        }
    }
    device->SetFVF(COLOR_FVF);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    device->SetRenderState(D3DRS_RANGEFOGENABLE, TRUE);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, CELLS * CELLS * 2, wall.data(), sizeof(ColorVertex)), D3D_OK);
    const std::vector<D3DCOLOR> ranged = ReadBackBuffer();

    device->SetRenderState(D3DRS_RANGEFOGENABLE, FALSE);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, CELLS * CELLS * 2, wall.data(), sizeof(ColorVertex));
    const std::vector<D3DCOLOR> depth = ReadBackBuffer();

    // The centre pixel looks straight ahead at (0, 0, 150): fog factor (200 - 150) / (200 - 100) = 0.5,
    // so the black wall shows half the red fog colour.
    EXPECT_RGB_NEAR(Pixel(ranged, 32, 32), D3DCOLOR_XRGB(128, 0, 0), 4);
    // At the right edge (pixel 63: x = 0.984 in clip space) the wall point is (147.7, -2.3, 150), 210.5 from
    // the eye: past the fog end, fully fogged. By depth alone it is 150 away like the centre.
    EXPECT_RGB_NEAR(Pixel(ranged, 63, 32), D3DCOLOR_XRGB(255, 0, 0), 4);
    EXPECT_RGB_NEAR(Pixel(depth, 63, 32), D3DCOLOR_XRGB(128, 0, 0), 4);
    EXPECT_RGB_NEAR(Pixel(depth, 32, 32), D3DCOLOR_XRGB(128, 0, 0), 4);
    // Pixel (48, 32) sits at x = 0.515: (77.3, -2.3, 150) is 168.8 away, factor 0.312, red 175.
    EXPECT_RGB_NEAR(Pixel(ranged, 48, 32), D3DCOLOR_XRGB(175, 0, 0), 4);
}

TEST_F(GlDeviceTest, AddressModesRepeatMirrorAndClampBeyondOne)
{
    // Two texels: red on the left, green on the right. The quad spans u = 0..2 over 64 pixels, so
    // each 16-pixel column band covers half of one repetition.
    IDirect3DTexture9* texture = MakeTexture(2, 1, {D3DCOLOR_XRGB(255, 0, 0), D3DCOLOR_XRGB(0, 255, 0)});
    PlainStates();
    device->SetTexture(0, texture);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    device->SetSamplerState(0, D3DSAMP_BORDERCOLOR, D3DCOLOR_XRGB(0, 0, 255));
    const D3DCOLOR red = 0xFFFF0000u, green = 0xFF00FF00u, blue = 0xFF0000FFu;
    // Per band of 16 pixels: mirror runs u 1..2 backwards, wrap starts over, clamp continues the edge
    // texel, border shows the border colour past u = 1.
    const struct {
        DWORD mode;
        D3DCOLOR bands[4];
    } cases[] = {{D3DTADDRESS_MIRROR, {red, green, green, red}},
                 {D3DTADDRESS_WRAP, {red, green, red, green}},
                 {D3DTADDRESS_CLAMP, {red, green, green, green}},
                 {D3DTADDRESS_BORDER, {red, green, blue, blue}}};
    for (size_t row = 0; row < std::size(cases); ++row) {
        device->SetSamplerState(0, D3DSAMP_ADDRESSU, cases[row].mode);
        DrawScreenQuad(0, 16.0f * row, 64, 16.0f * row + 16, 0xFFFFFFFF, 0.0f, 0.0f, 2.0f, 1.0f);
    }
    const std::vector<D3DCOLOR> pixels = ReadBackBuffer();
    for (size_t row = 0; row < std::size(cases); ++row)
        for (int band = 0; band < 4; ++band)
            EXPECT_EQ(Pixel(pixels, band * 16 + 8, static_cast<int>(row) * 16 + 8), cases[row].bands[band])
                << "mode " << cases[row].mode << " band " << band;
    device->SetTexture(0, nullptr);
    texture->Release();
}

TEST_F(GlDeviceTest, CullModesGoByTheWindingSeenOnScreen)
{
    PlainStates();
    // Left: clockwise on screen (right, then down-left). Right: the same triangle counter-clockwise.
    const D3DCOLOR white = 0xFFFFFFFF;
    const ScreenVertex clockwise[3] = {
        {2, 2, 0, 1, white, 0, 0}, {30, 2, 0, 1, white, 0, 0}, {2, 30, 0, 1, white, 0, 0}};
    const ScreenVertex counter[3] = {
        {34, 2, 0, 1, white, 0, 0}, {34, 30, 0, 1, white, 0, 0}, {62, 2, 0, 1, white, 0, 0}};
    device->SetFVF(SCREEN_FVF);
    auto drawBoth = [&](DWORD cull) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
        device->SetRenderState(D3DRS_CULLMODE, cull);
        device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, clockwise, sizeof(ScreenVertex));
        device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, counter, sizeof(ScreenVertex));
        return ReadBackBuffer();
    };
    const D3DCOLOR black = 0xFF000000u;
    // CULL_CCW keeps the clockwise triangle and removes the counter-clockwise one.
    for (const auto& [cull, left, right] : {std::tuple{D3DCULL_CCW, white, black}, std::tuple{D3DCULL_CW, black, white},
                                            std::tuple{D3DCULL_NONE, white, white}}) {
        const std::vector<D3DCOLOR> pixels = drawBoth(cull);
        EXPECT_EQ(Pixel(pixels, 8, 8), left) << cull;
        EXPECT_EQ(Pixel(pixels, 40, 8), right) << cull;
    }

    // Through the transform pipeline: +y is up in clip space, so (-1,1) (1,1) (-1,-1) runs right, then
    // down-left on screen: clockwise, kept by CULL_CCW and drawn in the upper-left half.
    const D3DMATRIX identity = IdentityMatrix();
    device->SetTransform(D3DTS_WORLD, &identity);
    device->SetTransform(D3DTS_VIEW, &identity);
    device->SetTransform(D3DTS_PROJECTION, &identity);
    const ColorVertex transformed[3] = {{-1, 1, 0.5f, white}, {1, 1, 0.5f, white}, {-1, -1, 0.5f, white}};
    const ColorVertex reversed[3] = {{-1, 1, 0.5f, white}, {-1, -1, 0.5f, white}, {1, 1, 0.5f, white}};
    device->SetFVF(COLOR_FVF);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, transformed, sizeof(ColorVertex));
    const std::vector<D3DCOLOR> pixels = ReadBackBuffer();
    EXPECT_EQ(Pixel(pixels, 4, 4), white);
    EXPECT_EQ(Pixel(pixels, 60, 60), 0xFF000000u);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, reversed, sizeof(ColorVertex));
    EXPECT_EQ(Pixel(ReadBackBuffer(), 4, 4), 0xFF000000u);
}

TEST_F(GlDeviceTest, BlendOperationsCombineSourceAndDestination)
{
    PlainStates();
    device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(200, 200, 200), 1.0f, 0);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    const D3DCOLOR source = D3DCOLOR_XRGB(50, 100, 150);
    device->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_REVSUBTRACT);
    DrawScreenQuad(0, 0, 16, 64, source);
    device->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_SUBTRACT);
    DrawScreenQuad(16, 0, 32, 64, source);
    device->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_MIN);
    DrawScreenQuad(32, 0, 48, 64, source);
    device->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    // Alpha from the vertex (the default stage takes it from the texture, white when there is none).
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
    DrawScreenQuad(48, 0, 64, 64, D3DCOLOR_ARGB(64, 0, 0, 0)); // a quarter of black over grey 200

    const std::vector<D3DCOLOR> pixels = ReadBackBuffer();
    EXPECT_EQ(Pixel(pixels, 8, 32), D3DCOLOR_XRGB(150, 100, 50)) << "destination minus source";
    EXPECT_EQ(Pixel(pixels, 24, 32), D3DCOLOR_XRGB(0, 0, 0)) << "source minus destination, floored at 0";
    EXPECT_EQ(Pixel(pixels, 40, 32), D3DCOLOR_XRGB(50, 100, 150));
    // 200 * (1 - 64/255) = 149.8
    EXPECT_RGB_NEAR(Pixel(pixels, 56, 32), D3DCOLOR_XRGB(150, 150, 150), 1);
}

TEST_F(GlDeviceTest, StageOperationsCombineTextureDiffuseAndFactor)
{
    IDirect3DTexture9* texture = MakeTexture(1, 1, {D3DCOLOR_XRGB(100, 60, 20)});
    PlainStates();
    device->SetTexture(0, texture);
    device->SetRenderState(D3DRS_TEXTUREFACTOR, D3DCOLOR_XRGB(10, 20, 30));
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    const D3DCOLOR diffuse = D3DCOLOR_XRGB(128, 128, 128);
    struct Case {
        DWORD op, arg1, arg2;
        D3DCOLOR expected;
    } cases[] = {
        {D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DCOLOR_XRGB(100, 60, 20)},
        {D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DCOLOR_XRGB(128, 128, 128)},
        {D3DTOP_MODULATE2X, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DCOLOR_XRGB(100, 60, 20)}, // x * 128/255 * 2
        {D3DTOP_ADD, D3DTA_TEXTURE, D3DTA_TFACTOR, D3DCOLOR_XRGB(110, 80, 50)},
        {D3DTOP_ADD, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DCOLOR_XRGB(228, 188, 148)},
        {D3DTOP_MODULATE, D3DTA_TFACTOR | D3DTA_COMPLEMENT, D3DTA_TEXTURE, D3DCOLOR_XRGB(96, 55, 18)},
    };
    float x = 0;
    for (const Case& c : cases) {
        device->SetTextureStageState(0, D3DTSS_COLOROP, c.op);
        device->SetTextureStageState(0, D3DTSS_COLORARG1, c.arg1);
        device->SetTextureStageState(0, D3DTSS_COLORARG2, c.arg2);
        DrawScreenQuad(x, 0, x + 8, 8, diffuse);
        x += 8;
    }
    // Two stages: stage 1 adds the texture factor to what stage 0 made.
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_ADD);
    device->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_CURRENT);
    device->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_TFACTOR);
    device->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(1, D3DTSS_ALPHAARG1, D3DTA_CURRENT);
    DrawScreenQuad(0, 16, 8, 24, diffuse);
    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    device->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);

    const std::vector<D3DCOLOR> pixels = ReadBackBuffer();
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_RGB_NEAR(Pixel(pixels, static_cast<int>(i) * 8 + 4, 4), cases[i].expected, 1) << "case " << i;
    EXPECT_RGB_NEAR(Pixel(pixels, 4, 20), D3DCOLOR_XRGB(110, 80, 50), 1);
    device->SetTexture(0, nullptr);
    texture->Release();
}

// The game sets all eight stages to modulate their texture with the current colour and binds one texture: a
// stage without a texture reads opaque white, and the trailing ones that only modulate white change nothing,
// so they must neither change the colour nor make a program of their own.
TEST_F(GlDeviceTest, StagesWithoutTextureReadWhiteAndTrailingModulatesShareOneProgram)
{
    auto* gl = dynamic_cast<GlDevice*>(device);
    ASSERT_NE(gl, nullptr);
    IDirect3DTexture9* brown = MakeTexture(1, 1, {D3DCOLOR_XRGB(100, 60, 20)});
    IDirect3DTexture9* orange = MakeTexture(1, 1, {D3DCOLOR_XRGB(255, 128, 0)});
    PlainStates();
    device->SetRenderState(D3DRS_TEXTUREFACTOR, D3DCOLOR_XRGB(10, 20, 30));
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    auto modulateAll = [&](DWORD stages) {
        for (DWORD stage = 0; stage < 8; ++stage) {
            const bool on = stage < stages;
            device->SetTextureStageState(stage, D3DTSS_COLOROP, on ? D3DTOP_MODULATE : D3DTOP_DISABLE);
            device->SetTextureStageState(stage, D3DTSS_COLORARG1, D3DTA_TEXTURE);
            device->SetTextureStageState(stage, D3DTSS_COLORARG2, D3DTA_CURRENT);
            device->SetTextureStageState(stage, D3DTSS_ALPHAOP, on ? D3DTOP_MODULATE : D3DTOP_DISABLE);
            device->SetTextureStageState(stage, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
            device->SetTextureStageState(stage, D3DTSS_ALPHAARG2, D3DTA_CURRENT);
            device->SetSamplerState(stage, D3DSAMP_MINFILTER, D3DTEXF_POINT);
            device->SetSamplerState(stage, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
            device->SetSamplerState(stage, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
        }
    };
    const D3DCOLOR grey = D3DCOLOR_XRGB(128, 128, 128);
    device->SetTexture(0, brown);

    // Eight modulating stages, a texture on the first: brown x grey = (50, 30, 10).
    modulateAll(8);
    DrawScreenQuad(0, 0, 8, 8, grey);
    const size_t programs = gl->FixedFunctionProgramCount();
    // The same with the other seven disabled: the same colour from the same program.
    modulateAll(1);
    DrawScreenQuad(8, 0, 16, 8, grey);
    EXPECT_EQ(gl->FixedFunctionProgramCount(), programs);

    // A stage without a texture between two textured ones reads white: (50, 30, 10) x orange = (50, 15, 0).
    modulateAll(3);
    device->SetTexture(2, orange);
    DrawScreenQuad(16, 0, 24, 8, grey);
    device->SetTexture(2, nullptr);

    // A stage without a texture that adds the texture factor is not passed over: (50, 30, 10) + (10, 20, 30).
    modulateAll(8);
    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_ADD);
    device->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_CURRENT);
    device->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_TFACTOR);
    DrawScreenQuad(24, 0, 32, 8, grey);

    // No texture at all: the diffuse colour as it is.
    device->SetTexture(0, nullptr);
    modulateAll(8);
    DrawScreenQuad(32, 0, 40, 8, grey);

    const std::vector<D3DCOLOR> pixels = ReadBackBuffer();
    EXPECT_RGB_NEAR(Pixel(pixels, 4, 4), D3DCOLOR_XRGB(50, 30, 10), 1);
    EXPECT_RGB_NEAR(Pixel(pixels, 12, 4), D3DCOLOR_XRGB(50, 30, 10), 1);
    EXPECT_RGB_NEAR(Pixel(pixels, 20, 4), D3DCOLOR_XRGB(50, 15, 0), 1);
    EXPECT_RGB_NEAR(Pixel(pixels, 28, 4), D3DCOLOR_XRGB(60, 50, 40), 1);
    EXPECT_RGB_NEAR(Pixel(pixels, 36, 4), grey, 1);
    modulateAll(1);
    brown->Release();
    orange->Release();
}

TEST_F(GlDeviceTest, TextureTransformMovesCoordinatesByTheThirdRow)
{
    // Four texels in a row; a COUNT2 transform with _31 = 0.5 shifts u by half the texture.
    IDirect3DTexture9* texture = MakeTexture(
        4, 1,
        {D3DCOLOR_XRGB(255, 0, 0), D3DCOLOR_XRGB(0, 255, 0), D3DCOLOR_XRGB(0, 0, 255), D3DCOLOR_XRGB(255, 255, 255)});
    PlainStates();
    device->SetTexture(0, texture);
    D3DMATRIX shift = IdentityMatrix();
    shift._31 = 0.5f;
    device->SetTransform(D3DTS_TEXTURE0, &shift);
    device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    DrawScreenQuad(0, 0, 64, 64, 0xFFFFFFFF);
    device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);

    const std::vector<D3DCOLOR> pixels = ReadBackBuffer();
    EXPECT_EQ(Pixel(pixels, 8, 32), 0xFF0000FFu) << "u 0.0625 + 0.5 reads the third texel";
    EXPECT_EQ(Pixel(pixels, 24, 32), 0xFFFFFFFFu);
    EXPECT_EQ(Pixel(pixels, 40, 32), 0xFFFF0000u) << "u 1.125 wraps round to the first";
    device->SetTexture(0, nullptr);
    texture->Release();
}

TEST_F(GlDeviceTest, EveryPrimitiveTypeAndIndexedDrawsReachTheirPixels)
{
    PlainStates();
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    const D3DCOLOR red = D3DCOLOR_XRGB(255, 0, 0), green = D3DCOLOR_XRGB(0, 255, 0), blue = D3DCOLOR_XRGB(0, 0, 255);
    device->SetFVF(SCREEN_FVF);
    // A fan: a quad from (0,0) to (16,16) around its corner.
    const ScreenVertex fan[4] = {
        {0, 0, 0, 1, red, 0, 0}, {16, 0, 0, 1, red, 0, 0}, {16, 16, 0, 1, red, 0, 0}, {0, 16, 0, 1, red, 0, 0}};
    device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, fan, sizeof(ScreenVertex));
    // A horizontal line along row 20 and a point at (40, 40).
    const ScreenVertex line[2] = {{0, 20.5f, 0, 1, green, 0, 0}, {64, 20.5f, 0, 1, green, 0, 0}};
    device->DrawPrimitiveUP(D3DPT_LINELIST, 1, line, sizeof(ScreenVertex));
    const ScreenVertex point = {40.5f, 40.5f, 0, 1, blue, 0, 0};
    device->DrawPrimitiveUP(D3DPT_POINTLIST, 1, &point, sizeof(ScreenVertex));

    // Indexed from buffers, with a base vertex: indices 0..3 address vertices 2..5.
    IDirect3DVertexBuffer9* vertices = nullptr;
    IDirect3DIndexBuffer9* indices = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(6 * sizeof(ScreenVertex), 0, SCREEN_FVF, D3DPOOL_MANAGED, &vertices, nullptr),
              D3D_OK);
    ASSERT_EQ(device->CreateIndexBuffer(6 * sizeof(uint16_t), 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &indices, nullptr),
              D3D_OK);
    ScreenVertex* v = nullptr;
    vertices->Lock(0, 0, reinterpret_cast<void**>(&v), 0);
    v[0] = v[1] = {0, 0, 0, 1, red, 0, 0}; // not addressed
    v[2] = {48, 48, 0, 1, blue, 0, 0};
    v[3] = {64, 48, 0, 1, blue, 0, 0};
    v[4] = {64, 64, 0, 1, blue, 0, 0};
    v[5] = {48, 64, 0, 1, blue, 0, 0};
    vertices->Unlock();
    uint16_t* i = nullptr;
    indices->Lock(0, 0, reinterpret_cast<void**>(&i), 0);
    const uint16_t quad[6] = {0, 1, 2, 0, 2, 3};
    std::memcpy(i, quad, sizeof quad);
    indices->Unlock();
    device->SetStreamSource(0, vertices, 0, sizeof(ScreenVertex));
    device->SetIndices(indices);
    ASSERT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 2, 0, 4, 0, 2), D3D_OK);
    device->SetStreamSource(0, nullptr, 0, 0);
    device->SetIndices(nullptr);
    vertices->Release();
    indices->Release();

    // Indexed from memory: a strip over four vertices in the lower-left corner.
    const ScreenVertex corner[4] = {{0, 48, 0, 1, green, 0, 0},
                                    {16, 48, 0, 1, green, 0, 0},
                                    {0, 64, 0, 1, green, 0, 0},
                                    {16, 64, 0, 1, green, 0, 0}};
    const uint16_t strip[4] = {0, 1, 2, 3};
    ASSERT_EQ(device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLESTRIP, 0, 4, 2, strip, D3DFMT_INDEX16, corner,
                                             sizeof(ScreenVertex)),
              D3D_OK);

    const std::vector<D3DCOLOR> pixels = ReadBackBuffer();
    EXPECT_EQ(Pixel(pixels, 8, 8), red);
    EXPECT_EQ(Pixel(pixels, 20, 8), 0xFF000000u);
    EXPECT_EQ(Pixel(pixels, 32, 20), green);
    EXPECT_EQ(Pixel(pixels, 32, 22), 0xFF000000u);
    EXPECT_EQ(Pixel(pixels, 40, 40), blue);
    EXPECT_EQ(Pixel(pixels, 56, 56), blue);
    EXPECT_EQ(Pixel(pixels, 8, 56), green);
    EXPECT_EQ(Pixel(pixels, 30, 56), 0xFF000000u);
}

TEST_F(GlDeviceTest, DepthTestKeepsTheNearerSurface)
{
    PlainStates();
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
    // A depth of 200 clears as 1.0.
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 200.0f, 0);
    const D3DCOLOR red = D3DCOLOR_XRGB(255, 0, 0), green = D3DCOLOR_XRGB(0, 255, 0);
    auto quad = [&](float z, D3DCOLOR color) {
        const ScreenVertex v[4] = {{0, 64, z, 1, color, 0, 0},
                                   {0, 0, z, 1, color, 0, 0},
                                   {64, 64, z, 1, color, 0, 0},
                                   {64, 0, z, 1, color, 0, 0}};
        device->SetFVF(SCREEN_FVF);
        device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(ScreenVertex));
    };
    quad(0.25f, red);
    quad(0.75f, green); // behind: hidden
    EXPECT_EQ(Pixel(ReadBackBuffer(), 32, 32), red);
    // Without depth writes a nearer quad draws but leaves the depth as it was.
    device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    quad(0.1f, green);
    device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    quad(0.2f, red);
    EXPECT_EQ(Pixel(ReadBackBuffer(), 32, 32), red);
}
