// Interface quads drawn only where they show, on the GL device: a quad cut to its picture's visible texels and
// to the rows a later quad hides gives the very pixels of the whole quad everywhere it still covers.
#include "gl/GlDeviceFixture.h"

#include "core/ScreenVertex.h"
#include "ui/FlatQuadPass.h"
#include "ui/GuiElement.h"
#include "ui/TextureCoverage.h"

namespace {

constexpr D3DCOLOR kBackground = 0xFF404040;

class FlatQuadPassGlTest : public GlScreenFixture<UiTest>
{
protected:
    explicit FlatQuadPassGlTest(UINT screenWidth = SIZE, UINT screenHeight = SIZE)
        : GlScreenFixture(screenWidth, screenHeight)
    { }

    void SetUp() override
    {
        GlScreenFixture::SetUp();
        if (HasFatalFailure())
            return;
        // 48 x 40: two clear rows above and below, three clear columns at the left, and between them texels
        // of a different colour each, opaque as far as column 36 (a block large enough to be drawn apart) and
        // half clear beyond.
        std::vector<D3DCOLOR> texels(48 * 40, 0x00FFFFFF);
        for (UINT y = 2; y < 38; ++y)
            for (UINT x = 3; x < 48; ++x)
                texels[y * 48 + x] = (x < 36 ? 0xFF000000u : 0x80000000u) | (x * 5) << 16 | (y * 6) << 8 | 0xC0;
        picture = MakeTexture(48, 40, texels);
    }
    void TearDown() override
    {
        if (picture)
            picture->Release();
        GlScreenFixture::TearDown();
    }

    // The element over the background, drawn whole or only where it shows.
    std::vector<D3DCOLOR> Shoot(GuiElement& element, const TextureCoverage* coverage, float hiddenFrom, bool cut)
    {
        device->Clear(0, nullptr, D3DCLEAR_TARGET, kBackground, 1.0f, 0);
        device->BeginScene();
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
        // The game draws its interface with the terrain's second stage left modulating and nothing bound there.
        device->SetTexture(1, nullptr);
        device->SetTextureStageState(1, D3DTSS_COLOROP, secondStage ? D3DTOP_MODULATE : D3DTOP_DISABLE);
        device->SetTextureStageState(1, D3DTSS_ALPHAOP, secondStage ? D3DTOP_MODULATE : D3DTOP_DISABLE);
        {
            FlatQuadPass pass(device);
            device->SetFVF(SCREEN_FVF);
            if (cut)
                pass.DrawShown(element, coverage, hiddenFrom);
            else
                pass.Draw(element);
        }
        device->EndScene();
        return ReadBackBuffer();
    }

    IDirect3DTexture9* picture = nullptr;
    bool secondStage = false;
};

// Room for a frame of the HUD's make, with holes large enough to be left out.
class FlatQuadPassWideGlTest : public FlatQuadPassGlTest
{
protected:
    FlatQuadPassWideGlTest() : FlatQuadPassGlTest(160, 72) { }
};

TEST_F(FlatQuadPassGlTest, ACutQuadDrawsTheWholeQuadsPixelsWhereItStillCovers)
{
    ASSERT_NE(picture, nullptr);
    const TextureCoverage coverage(picture);
    struct Case {
        const char* name;
        float x, y, w, h;
        bool mirrored;
        float hiddenFrom;
        // Rows from hiddenFrom down keep the background: the quad shows its rows one to one.
        bool rowsCut;
    };
    const Case cases[] = {
        // Texel for pixel: the opaque block of the picture is drawn without blending.
        {"texel for pixel", 8.0f, 12.0f, 48.0f, 40.0f, false, 64.0f, true},
        {"mirrored", 8.0f, 12.0f, 48.0f, 40.0f, true, 64.0f, true},
        {"hidden through the opaque part", 8.0f, 12.0f, 48.0f, 40.0f, false, 30.0f, true},
        {"hidden from a part pixel", 8.0f, 12.0f, 48.0f, 40.0f, false, 30.5f, true},
        {"wholly hidden", 8.0f, 12.0f, 48.0f, 40.0f, false, 12.0f, true},
        {"across on a half pixel", 8.5f, 12.0f, 48.0f, 40.0f, false, 40.0f, true},
        // Stretched: every texel covers more than a pixel and is filtered; nothing is cut.
        {"stretched", 2.0f, 4.0f, 60.0f, 58.0f, false, 20.0f, false},
    };
    for (const Case& c : cases) {
        for (const bool second : {false, true}) {
            secondStage = second;
            GuiElement element;
            element.SetRect(c.x, c.y, c.w, c.h);
            element.SetFrameTexture(picture);
            if (c.mirrored)
                std::swap(element.leftU, element.rightU);
            element.UpdateVertices();
            const std::vector<D3DCOLOR> whole = Shoot(element, nullptr, 0.0f, false);
            const std::vector<D3DCOLOR> shown = Shoot(element, &coverage, c.hiddenFrom, true);
            const int cutRow = c.rowsCut ? static_cast<int>(c.hiddenFrom) : static_cast<int>(SIZE);
            int drawn = 0;
            for (int y = 0; y < static_cast<int>(SIZE); ++y) {
                for (int x = 0; x < static_cast<int>(SIZE); ++x) {
                    const D3DCOLOR expected = y < cutRow ? Pixel(whole, x, y) : kBackground;
                    ASSERT_EQ(Pixel(shown, x, y) & 0xFFFFFF, expected & 0xFFFFFF)
                        << c.name << (second ? " (second stage on)" : "") << " at " << x << "," << y;
                    drawn += (Pixel(whole, x, y) & 0xFFFFFF) != (kBackground & 0xFFFFFF);
                }
            }
            // The picture shows at all in the whole quad, so the comparison means something.
            EXPECT_GT(drawn, 0) << c.name;
            element.OnLostDevice();
        }
    }
}

TEST_F(FlatQuadPassWideGlTest, AFrameWithClearCornersAndWindowsDrawsItsWholePixelsCut)
{
    // 140 x 60: an opaque middle (columns 60 to 80) raised above half-clear sides, clear corners above the sides
    // (rows 0 to 20) and a clear window in each side (rows 28 to 50), each texel of its own colour.
    std::vector<D3DCOLOR> texels(140 * 60, 0x00FFFFFF);
    for (UINT y = 0; y < 60; ++y)
        for (UINT x = 0; x < 140; ++x) {
            const bool middle = x >= 60 && x < 80;
            const bool window = y >= 28 && y < 50 && ((x >= 5 && x < 55) || (x >= 85 && x < 135));
            if (middle || (y >= 20 && !window))
                texels[y * 140 + x] = (middle ? 0xFF000000u : 0x90000000u) | x << 16 | (y * 4) << 8 | 0x40;
        }
    IDirect3DTexture9* frame = MakeTexture(140, 60, texels);
    ASSERT_NE(frame, nullptr);
    const TextureCoverage coverage(frame);
    for (const bool second : {false, true}) {
        secondStage = second;
        GuiElement element;
        element.SetRect(0.0f, 4.0f, 140.0f, 60.0f);
        element.SetFrameTexture(frame);
        element.UpdateVertices();
        const std::vector<D3DCOLOR> whole = Shoot(element, nullptr, 0.0f, false);
        const std::vector<D3DCOLOR> shown = Shoot(element, &coverage, static_cast<float>(height), true);
        int differ = 0;
        int drawn = 0;
        for (size_t i = 0; i < whole.size(); ++i) {
            differ += (whole[i] & 0xFFFFFF) != (shown[i] & 0xFFFFFF);
            drawn += (whole[i] & 0xFFFFFF) != (kBackground & 0xFFFFFF);
        }
        EXPECT_EQ(differ, 0) << (second ? "second stage on" : "second stage off");
        // The middle, the sides' rims and both windows' surrounds show.
        EXPECT_GT(drawn, 20 * 60) << (second ? "second stage on" : "second stage off");
        element.OnLostDevice();
    }
    frame->Release();
}

} // namespace
