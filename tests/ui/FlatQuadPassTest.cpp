// Interface quads drawn flat: the states a pass sets and gives back, point sampling only where a quad shows its
// picture texel for pixel, and quads that show nothing left undrawn.
#include "ui/FlatQuadPass.h"
#include "UiDataFixture.h"
#include "core/ScreenVertex.h"
#include "ui/TextureCoverage.h"

#include <gtest/gtest.h>

namespace {

using FlatQuadPassTest = UiDataTest;

DWORD Sampler(IDirect3DDevice9* device, D3DSAMPLERSTATETYPE type)
{
    DWORD value = 0;
    device->GetSamplerState(0, type, &value);
    return value;
}

TEST_F(FlatQuadPassTest, SetsFlatStatesAndGivesTheSceneItsOwnBack)
{
    device->SetRenderState(D3DRS_ZENABLE, TRUE);
    device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_MIRROR);
    device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_MIRROR);
    device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_ANISOTROPIC);
    {
        FlatQuadPass pass(device);
        EXPECT_EQ(DeviceKit::RenderState(device, D3DRS_ZENABLE), static_cast<DWORD>(FALSE));
        EXPECT_EQ(Sampler(device, D3DSAMP_ADDRESSU), static_cast<DWORD>(D3DTADDRESS_CLAMP));
        EXPECT_EQ(Sampler(device, D3DSAMP_ADDRESSV), static_cast<DWORD>(D3DTADDRESS_CLAMP));
        EXPECT_EQ(Sampler(device, D3DSAMP_MIPFILTER), static_cast<DWORD>(D3DTEXF_NONE));
        GuiElement scaled;
        scaled.Create("default.tga", 10.0f, 10.0f, 40.0f, 40.0f);
        pass.Draw(scaled);
        EXPECT_EQ(Sampler(device, D3DSAMP_MAGFILTER), static_cast<DWORD>(D3DTEXF_LINEAR));
        scaled.OnLostDevice();
    }
    EXPECT_EQ(DeviceKit::RenderState(device, D3DRS_ZENABLE), static_cast<DWORD>(TRUE));
    EXPECT_EQ(Sampler(device, D3DSAMP_ADDRESSU), static_cast<DWORD>(D3DTADDRESS_MIRROR));
    EXPECT_EQ(Sampler(device, D3DSAMP_ADDRESSV), static_cast<DWORD>(D3DTADDRESS_MIRROR));
    EXPECT_EQ(Sampler(device, D3DSAMP_MIPFILTER), static_cast<DWORD>(D3DTEXF_LINEAR));
    EXPECT_EQ(Sampler(device, D3DSAMP_MINFILTER), static_cast<DWORD>(D3DTEXF_LINEAR));
    EXPECT_EQ(Sampler(device, D3DSAMP_MAGFILTER), static_cast<DWORD>(D3DTEXF_ANISOTROPIC));
}

TEST_F(FlatQuadPassTest, PointSamplingOnlyWhereEachTexelFallsOnOnePixel)
{
    // The fixture's pictures are 2 x 2; "two_f2.tga" holds two frames of 2 x 1.
    Picture("Data/two_f2.tga");
    struct Case {
        const char* texture;
        float x, y, w, h;
        float bottomV;
        bool exact;
    };
    const Case cases[] = {
        {"default.tga", 10.0f, 20.0f, 2.0f, 2.0f, 1.0f, true},
        // Twice the size, or on half pixels: the filter blends.
        {"default.tga", 10.0f, 20.0f, 4.0f, 4.0f, 1.0f, false},
        {"default.tga", 10.5f, 20.0f, 2.0f, 2.0f, 1.0f, false},
        {"default.tga", 10.0f, 20.25f, 2.0f, 2.0f, 1.0f, false},
        // One frame of a two-frame picture shown at the frame's size.
        {"two_f2.tga", 10.0f, 20.0f, 2.0f, 1.0f, 0.5f, true},
        {"two_f2.tga", 10.0f, 20.0f, 2.0f, 2.0f, 0.5f, false},
    };
    for (const Case& c : cases) {
        GuiElement element;
        element.Create(c.texture, c.x, c.y, c.w, c.h);
        element.bottomV = c.bottomV;
        EXPECT_EQ(FlatQuadPass::IsPixelExact(element), c.exact) << c.texture << " " << c.x << "," << c.y;
        {
            FlatQuadPass pass(device);
            pass.Draw(element);
            EXPECT_EQ(Sampler(device, D3DSAMP_MINFILTER), static_cast<DWORD>(c.exact ? D3DTEXF_POINT : D3DTEXF_LINEAR));
        }
        element.OnLostDevice();
    }
    // Without a picture nothing is sampled exactly.
    GuiElement plain;
    plain.SetRect(0.0f, 0.0f, 2.0f, 2.0f);
    EXPECT_FALSE(FlatQuadPass::IsPixelExact(plain));
    plain.OnLostDevice();
}

TEST_F(FlatQuadPassTest, QuadsThatShowNothingAreNotDrawn)
{
    struct Case {
        float x, y, alpha;
        bool visible;
        bool drawn;
    };
    const Case cases[] = {
        {100.0f, 100.0f, 1.0f, true, true},
        // Alpha 0.001 packs to 0; 0.003 to 1.
        {100.0f, 100.0f, 0.001f, true, false},
        {100.0f, 100.0f, 0.003f, true, true},
        {100.0f, 100.0f, 1.0f, false, false},
        // Parked off the screen, as the highlight is while no action is chosen.
        {-100.0f, -100.0f, 1.0f, true, false},
        {-10.0f, -10.0f, 1.0f, true, true},
    };
    for (const Case& c : cases) {
        GuiButton button;
        button.Create("default.tga", c.x, c.y, 43.0f, 49.0f);
        button.CreateIcon("default.tga", 0, 0);
        button.colour.a = c.alpha;
        button.visible = c.visible;
        const UINT before = Null()->DrawCount();
        {
            FlatQuadPass pass(device);
            device->SetFVF(SCREEN_FVF);
            pass.Draw(button);
            // The icon starts faded out: never drawn until it fades in.
            pass.DrawIcon(button);
        }
        EXPECT_EQ(Null()->DrawCount() - before, c.drawn ? 1u : 0u) << c.x << " " << c.alpha << " " << c.visible;
        button.Release();
    }
}

TEST_F(FlatQuadPassTest, QuadsAreCutToWhatShowsAndWhollyHiddenOnesAreNotDrawn)
{
    // Pictures of size x size: the top row of the given alpha and the rest opaque, or clear all over.
    const auto make = [this](UINT size, uint32_t topAlpha, bool allClear) {
        IDirect3DTexture9* texture = nullptr;
        EXPECT_EQ(device->CreateTexture(size, size, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
        D3DLOCKED_RECT locked{};
        EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
        for (UINT y = 0; y < size; ++y) {
            auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.pBits) + locked.Pitch * y);
            for (UINT x = 0; x < size; ++x)
                row[x] = allClear ? 0x00FFFFFFu : y == 0 ? (topAlpha << 24 | 0xFFFFFFu) : 0xFFFFFFFFu;
        }
        texture->UnlockRect(0);
        return texture;
    };
    IDirect3DTexture9* topClear = make(4, 0x00, false);
    IDirect3DTexture9* clear = make(4, 0x00, true);
    // Large enough for its opaque part (rows 1 to 40) to be drawn apart from its half-clear top row.
    IDirect3DTexture9* large = make(40, 0x80, false);
    const TextureCoverage topClearCoverage(topClear);
    const TextureCoverage clearCoverage(clear);
    const TextureCoverage largeCoverage(large);
    struct Case {
        const char* name;
        IDirect3DTexture9* texture;
        const TextureCoverage* coverage;
        float size;
        float hiddenFrom;
        bool blending;
        UINT draws;
        // Drawn in pieces of its own rather than from the element's buffer.
        bool cut;
    };
    const Case cases[] = {
        {"clear top row left out", topClear, &topClearCoverage, 4.0f, 768.0f, true, 1, true},
        {"bottom rows hidden", topClear, &topClearCoverage, 4.0f, 12.0f, true, 1, true},
        // Without its own coverage the quad has nothing to leave out.
        {"coverage of another picture", topClear, &clearCoverage, 4.0f, 768.0f, true, 1, false},
        {"no coverage", topClear, nullptr, 4.0f, 768.0f, true, 1, false},
        {"clear all over", clear, &clearCoverage, 4.0f, 768.0f, true, 0, false},
        {"wholly hidden", topClear, &topClearCoverage, 4.0f, 10.0f, true, 0, false},
        // Stretched: its texels are filtered across pixels, so it is drawn whole.
        {"stretched", topClear, &topClearCoverage, 8.0f, 12.0f, true, 1, false},
        // The opaque rows are drawn apart, without blending; with blending off they go with the rest.
        {"opaque piece apart", large, &largeCoverage, 40.0f, 768.0f, true, 2, true},
        {"not blending", large, &largeCoverage, 40.0f, 768.0f, false, 1, true},
    };
    for (const Case& c : cases) {
        GuiElement element;
        element.SetRect(10.0f, 10.0f, c.size, c.size);
        element.SetFrameTexture(c.texture);
        element.UpdateVertices();
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, c.blending ? TRUE : FALSE);
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
        const UINT before = Null()->DrawCount();
        {
            FlatQuadPass pass(device);
            device->SetFVF(SCREEN_FVF);
            pass.DrawShown(element, c.coverage, c.hiddenFrom);
        }
        EXPECT_EQ(Null()->DrawCount() - before, c.draws) << c.name;
        if (c.draws > 0) {
            EXPECT_EQ(Null()->LastDraw().userPointer, c.cut) << c.name;
        }
        // Blending is given back as it was.
        EXPECT_EQ(DeviceKit::RenderState(device, D3DRS_ALPHABLENDENABLE), static_cast<DWORD>(c.blending ? TRUE : FALSE))
            << c.name;
        element.OnLostDevice();
    }
    for (IDirect3DTexture9* texture : {topClear, clear, large})
        texture->Release();
}

TEST_F(FlatQuadPassTest, OpaqueTexelsGoUnblendedOnlyWhereTheLaterStagesChangeNothing)
{
    // 40 x 40, wholly opaque but for a half-clear top row: the 39 opaque rows make one block.
    IDirect3DTexture9* picture = nullptr;
    ASSERT_EQ(device->CreateTexture(40, 40, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &picture, nullptr), D3D_OK);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(picture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    for (UINT y = 0; y < 40; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.pBits) + locked.Pitch * y);
        for (UINT x = 0; x < 40; ++x)
            row[x] = y == 0 ? 0x80FFFFFFu : 0xFFFFFFFFu;
    }
    picture->UnlockRect(0);
    IDirect3DTexture9* other = nullptr;
    ASSERT_EQ(device->CreateTexture(2, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &other, nullptr), D3D_OK);
    const TextureCoverage coverage(picture);
    struct Case {
        const char* name;
        DWORD colourOp;
        DWORD colourArg1;
        DWORD alphaOp;
        IDirect3DTexture9* bound;
        // The opaque block drawn apart, without blending.
        bool apart;
    };
    const Case cases[] = {
        {"second stage off", D3DTOP_DISABLE, D3DTA_TEXTURE, D3DTOP_DISABLE, nullptr, true},
        // As the game leaves it: modulating a texture that is not there, which reads as opaque white.
        {"modulating nothing", D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTOP_MODULATE, nullptr, true},
        // Whatever the colour becomes, an opaque texel replaces what lies beneath, blended or not.
        {"colour added, alpha kept", D3DTOP_ADD, D3DTA_DIFFUSE, D3DTOP_SELECTARG2, nullptr, true},
        // A bound picture could thin the texels' alpha; so could the diffuse alpha chosen in its place.
        {"modulating a picture", D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTOP_MODULATE, other, false},
        {"alpha from the diffuse colour", D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTOP_SELECTARG1, nullptr, false},
    };
    for (const Case& c : cases) {
        GuiElement element;
        element.SetRect(10.0f, 10.0f, 40.0f, 40.0f);
        element.SetFrameTexture(picture);
        element.UpdateVertices();
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
        device->SetTextureStageState(1, D3DTSS_COLOROP, c.colourOp);
        device->SetTextureStageState(1, D3DTSS_COLORARG1, c.colourArg1);
        device->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_CURRENT);
        device->SetTextureStageState(1, D3DTSS_ALPHAOP, c.alphaOp);
        device->SetTextureStageState(1, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
        device->SetTextureStageState(1, D3DTSS_ALPHAARG2, D3DTA_CURRENT);
        if (c.alphaOp == D3DTOP_MODULATE)
            device->SetTextureStageState(1, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
        device->SetTexture(1, c.bound);
        const UINT before = Null()->DrawCount();
        {
            FlatQuadPass pass(device);
            device->SetFVF(SCREEN_FVF);
            pass.DrawShown(element, &coverage, 768.0f);
        }
        // Apart: the top row blended, then the block unblended; otherwise one blended draw of both.
        EXPECT_EQ(Null()->DrawCount() - before, c.apart ? 2u : 1u) << c.name;
        EXPECT_EQ(Null()->LastDraw().alphaBlendEnable, static_cast<DWORD>(c.apart ? FALSE : TRUE)) << c.name;
        element.OnLostDevice();
    }
    device->SetTexture(1, nullptr);
    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    device->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    other->Release();
    picture->Release();
}

} // namespace
