// Effects drawing on the GL device: pixels of a 64 x 64 back buffer, expected values worked out by hand.
#include "gl/GlDeviceFixture.h"

#include "d3dx9/D3DX9Core.h"
#include "d3dx9/D3DX9Math.h"

#include <string>

namespace {

constexpr D3DCOLOR RED = 0xFFFF0000;
constexpr D3DCOLOR GREEN = 0xFF00FF00;
constexpr D3DCOLOR BLUE = 0xFF0000FF;
constexpr D3DCOLOR WHITE = 0xFFFFFFFF;
constexpr D3DCOLOR BLACK = 0xFF000000;
constexpr D3DCOLOR GREY = 0xFF404040;

class EffectGlTest : public GlDeviceTest
{
protected:
    ID3DXEffect* Load(const std::string& path)
    {
        ID3DXEffect* effect = nullptr;
        ID3DXBuffer* errors = nullptr;
        EXPECT_EQ(D3DXCreateEffectFromFileA(device, path.c_str(), nullptr, nullptr, 0, nullptr, &effect, &errors),
                  D3D_OK)
            << (errors ? static_cast<const char*>(errors->GetBufferPointer()) : "");
        if (errors != nullptr)
            errors->Release();
        return effect;
    }

    // Runs every pass of the current technique around the draw.
    template <typename Draw>
    void DrawWith(ID3DXEffect* effect, Draw draw)
    {
        UINT passes = 0;
        ASSERT_EQ(effect->Begin(&passes, 0), D3D_OK);
        for (UINT pass = 0; pass < passes; ++pass) {
            ASSERT_EQ(effect->BeginPass(pass), D3D_OK);
            draw();
            effect->EndPass();
        }
        effect->End();
    }
};

TEST_F(EffectGlTest, TexturedPassFillsTheQuadUprightWithTheTexels)
{
    ID3DXEffect* effect = Load(std::string(VARNHOLT_FIXTURES) + "/effects/textured.fx");
    ASSERT_NE(effect, nullptr);
    IDirect3DTexture9* texture = MakeTexture(2, 2, {RED, GREEN, BLUE, WHITE});
    effect->SetTexture("pBaseTexture", texture);
    const D3DXVECTOR4 halfGreen(1.0f, 0.5f, 1.0f, 1.0f);
    effect->SetVector("tint", &halfGreen);

    PlainStates();
    device->Clear(0, nullptr, D3DCLEAR_TARGET, BLACK, 1.0f, 0);
    device->BeginScene();
    // The quad covers x 16..48, y 8..56.
    DrawWith(effect, [&] { DrawScreenQuad(16.0f, 8.0f, 48.0f, 56.0f, WHITE); });
    device->EndScene();

    const std::vector<D3DCOLOR> pixels = ReadBackBuffer();
    ASSERT_EQ(pixels.size(), SIZE * SIZE);
    EXPECT_RGB_NEAR(Pixel(pixels, 16, 8), RED, 1);
    EXPECT_RGB_NEAR(Pixel(pixels, 31, 31), RED, 1);
    EXPECT_RGB_NEAR(Pixel(pixels, 32, 8), 0xFF008000, 1); // green, halved by the tint
    EXPECT_RGB_NEAR(Pixel(pixels, 47, 31), 0xFF008000, 1);
    EXPECT_RGB_NEAR(Pixel(pixels, 16, 32), BLUE, 1);
    EXPECT_RGB_NEAR(Pixel(pixels, 47, 55), 0xFFFF80FF, 1); // white, green halved
    // Nothing outside the quad.
    EXPECT_RGB_NEAR(Pixel(pixels, 15, 20), BLACK, 0);
    EXPECT_RGB_NEAR(Pixel(pixels, 48, 20), BLACK, 0);
    EXPECT_RGB_NEAR(Pixel(pixels, 30, 7), BLACK, 0);
    EXPECT_RGB_NEAR(Pixel(pixels, 30, 56), BLACK, 0);

    EXPECT_EQ(effect->Release(), 0u);
    texture->Release();
}

TEST_F(EffectGlTest, AlphaTestOfTheDeviceDiscardsFragmentsOfEffects)
{
    ID3DXEffect* effect = Load(std::string(VARNHOLT_FIXTURES) + "/effects/textured.fx");
    ASSERT_NE(effect, nullptr);
    // Left texel alpha 0x20, right texel alpha 0xC0.
    IDirect3DTexture9* texture = MakeTexture(2, 1, {0x20FF0000, 0xC0FF0000});
    effect->SetTexture("pBaseTexture", texture);
    PlainStates();
    device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    device->SetRenderState(D3DRS_ALPHAREF, 0x80);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, GREY, 1.0f, 0);
    device->BeginScene();
    DrawWith(effect, [&] { DrawScreenQuad(0.0f, 0.0f, 64.0f, 64.0f, WHITE); });
    device->EndScene();
    const std::vector<D3DCOLOR> pixels = ReadBackBuffer();
    ASSERT_EQ(pixels.size(), SIZE * SIZE);
    EXPECT_RGB_NEAR(Pixel(pixels, 10, 30), GREY, 0);
    EXPECT_RGB_NEAR(Pixel(pixels, 50, 30), RED, 1);

    // Without the test both texels show.
    device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    device->BeginScene();
    DrawWith(effect, [&] { DrawScreenQuad(0.0f, 0.0f, 64.0f, 64.0f, WHITE); });
    device->EndScene();
    const std::vector<D3DCOLOR> untested = ReadBackBuffer();
    ASSERT_EQ(untested.size(), SIZE * SIZE);
    EXPECT_RGB_NEAR(Pixel(untested, 10, 30), RED, 1);
    EXPECT_RGB_NEAR(Pixel(untested, 50, 30), RED, 1);
    EXPECT_EQ(effect->Release(), 0u);
    texture->Release();
}

TEST_F(EffectGlTest, VertexStageSeesTheDeviceFogForFogWorkedOutPerVertex)
{
    ID3DXEffect* effect = Load(std::string(VARNHOLT_FIXTURES) + "/effects/vertexfog.fx");
    ASSERT_NE(effect, nullptr);
    effect->SetFloat("clearShare", 0.25f);
    PlainStates();
    device->SetRenderState(D3DRS_FOGCOLOR, 0xFF4080C0);
    const auto draw = [&](BOOL fog) {
        device->SetRenderState(D3DRS_FOGENABLE, fog);
        device->Clear(0, nullptr, D3DCLEAR_TARGET, BLACK, 1.0f, 0);
        device->BeginScene();
        DrawWith(effect, [&] { DrawScreenQuad(0.0f, 0.0f, 64.0f, 64.0f, WHITE); });
        device->EndScene();
        return ReadBackBuffer();
    };

    // A quarter of white and three quarters of the fog colour: 63.75 + 0.75 * (64, 128, 192) = (111.75,
    // 159.75, 207.75). The blend after the program leaves it, its factor still 1.
    const std::vector<D3DCOLOR> fogged = draw(TRUE);
    ASSERT_EQ(fogged.size(), SIZE * SIZE);
    EXPECT_RGB_NEAR(Pixel(fogged, 5, 5), 0xFF70A0D0, 1);
    EXPECT_RGB_NEAR(Pixel(fogged, 60, 40), 0xFF70A0D0, 1);

    // Fog off: the vertex stage reads it off as well and keeps white.
    const std::vector<D3DCOLOR> clear = draw(FALSE);
    ASSERT_EQ(clear.size(), SIZE * SIZE);
    EXPECT_RGB_NEAR(Pixel(clear, 5, 5), WHITE, 0);
    EXPECT_EQ(effect->Release(), 0u);
}

TEST_F(EffectGlTest, PostProcessShowsTheSceneAndShakesItOnlyWhenAsked)
{
    // The default data's effect, as the game loads it from the working directory.
    ID3DXEffect* effect = Load("Data/Effect Files/postProcess.fx");
    ASSERT_NE(effect, nullptr);
    ASSERT_EQ(effect->SetTechnique("PostProcess"), D3D_OK);
    // A 64 x 64 scene: black above row 32, white from row 32 down, and a red marker at the top-left.
    std::vector<D3DCOLOR> scene(64 * 64, BLACK);
    for (int y = 32; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            scene[static_cast<size_t>(y * 64 + x)] = WHITE;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            scene[static_cast<size_t>(y * 64 + x)] = RED;
    IDirect3DTexture9* texture = MakeTexture(64, 64, scene);
    effect->SetTexture("PostProcessTexture", texture);

    auto render = [&](float shake, float time) {
        effect->SetFloat("shakeMagnitude", shake);
        effect->SetFloat("gameTime", time);
        device->BeginScene();
        DrawWith(effect, [&] { DrawScreenQuad(0.0f, 0.0f, 64.0f, 64.0f, WHITE); });
        device->EndScene();
        return ReadBackBuffer();
    };

    PlainStates();
    std::vector<D3DCOLOR> still = render(0.0f, 12.345f);
    ASSERT_EQ(still.size(), SIZE * SIZE);
    EXPECT_RGB_NEAR(Pixel(still, 2, 2), RED, 2) << "the scene's top-left is the screen's top-left";
    EXPECT_RGB_NEAR(Pixel(still, 32, 28), BLACK, 2);
    EXPECT_RGB_NEAR(Pixel(still, 32, 35), WHITE, 2);

    // At game time 0 the swing is (sin 0, cos 0) = (0, 1): a shake of 30 samples 30 x 0.25 = 7.5 texels
    // further down, so the edge at row 32 rises to row 24.5.
    std::vector<D3DCOLOR> shaken = render(30.0f, 0.0f);
    EXPECT_RGB_NEAR(Pixel(shaken, 32, 28), WHITE, 2);
    EXPECT_RGB_NEAR(Pixel(shaken, 32, 22), BLACK, 2);
    EXPECT_RGB_NEAR(Pixel(shaken, 2, 2), BLACK, 2) << "the marker rose out of sight with the rest";

    EXPECT_EQ(effect->Release(), 0u);
    texture->Release();
}

TEST_F(EffectGlTest, BasicEffectTransformsByWorldViewProjectionAsRowVectors)
{
    ID3DXEffect* effect = Load("Data/Effect Files/basic.fx");
    ASSERT_NE(effect, nullptr);
    // Half size, then half the screen to the right: D3DX puts the translation in the fourth row.
    const D3DXMATRIX worldViewProj(0.5f, 0, 0, 0, 0, 0.5f, 0, 0, 0, 0, 1, 0, 0.5f, 0, 0, 1);
    effect->SetMatrix("worldViewProjMatrix", &worldViewProj);
    IDirect3DTexture9* texture = MakeTexture(1, 1, {WHITE});
    effect->SetTexture("pBaseTexture", texture);

    struct Vertex {
        float x, y, z;
        D3DCOLOR color;
        float u, v;
    };
    // A clip-space square over the whole screen, clockwise.
    const Vertex quad[4] = {
        {-1.0f, 1.0f, 0.5f, GREEN, 0.0f, 0.0f},
        {1.0f, 1.0f, 0.5f, GREEN, 1.0f, 0.0f},
        {-1.0f, -1.0f, 0.5f, GREEN, 0.0f, 1.0f},
        {1.0f, -1.0f, 0.5f, GREEN, 1.0f, 1.0f},
    };
    PlainStates();
    device->Clear(0, nullptr, D3DCLEAR_TARGET, BLACK, 1.0f, 0);
    device->BeginScene();
    device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    DrawWith(effect, [&] { device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Vertex)); });
    device->EndScene();

    // x -1..1 becomes 0..1 in clip space: pixels 32..64; y -0.5..0.5: rows 16..48.
    const std::vector<D3DCOLOR> pixels = ReadBackBuffer();
    ASSERT_EQ(pixels.size(), SIZE * SIZE);
    EXPECT_RGB_NEAR(Pixel(pixels, 48, 32), GREEN, 1);
    EXPECT_RGB_NEAR(Pixel(pixels, 33, 17), GREEN, 1);
    EXPECT_RGB_NEAR(Pixel(pixels, 62, 46), GREEN, 1);
    EXPECT_RGB_NEAR(Pixel(pixels, 30, 32), BLACK, 0);
    EXPECT_RGB_NEAR(Pixel(pixels, 48, 14), BLACK, 0);
    EXPECT_RGB_NEAR(Pixel(pixels, 48, 50), BLACK, 0);
    EXPECT_EQ(effect->Release(), 0u);
    texture->Release();
}

} // namespace

namespace {

TEST_F(EffectGlTest, GlslThatDoesNotCompileFailsTheEffectWithTheCompilerLog)
{
    ID3DXEffect* effect = reinterpret_cast<ID3DXEffect*>(1);
    ID3DXBuffer* errors = nullptr;
    const std::string path = std::string(VARNHOLT_FIXTURES) + "/effects/broken-glsl.fx";
    EXPECT_TRUE(
        FAILED(D3DXCreateEffectFromFileA(device, path.c_str(), nullptr, nullptr, 0, nullptr, &effect, &errors)));
    EXPECT_EQ(effect, nullptr);
    ASSERT_NE(errors, nullptr);
    const std::string message(static_cast<const char*>(errors->GetBufferPointer()));
    EXPECT_NE(message.find("broken-glsl.fx"), std::string::npos) << message;
    EXPECT_NE(message.find("undeclaredColour"), std::string::npos) << message;
    errors->Release();
}

} // namespace
