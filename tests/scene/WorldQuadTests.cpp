#include "scene/WorldQuad.h"

#include "EffectsFixture.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

class WorldQuadTest : public EffectsTest
{
protected:
    void SetUp() override
    {
        EffectsTest::SetUp();
        // Looking along +z from 1000 units back: the camera's right is +x and its up +y.
        Camera::Get()->SetEyeAndTarget(D3DXVECTOR3(0.0f, 0.0f, -1000.0f), D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    }
};

} // namespace

TEST_F(WorldQuadTest, FillShortensTheQuadFromTheRight)
{
    struct Case {
        float fill, rightX;
    };
    for (const Case& c : {Case{1.0f, 150.0f}, Case{0.0f, 100.0f}, Case{0.5f, 125.0f}, Case{-0.5f, 75.0f}}) {
        WorldQuad quad;
        quad.CreateBuffer(50.0f, 10.0f);
        quad.fill = c.fill;
        quad.Submit(100.0f, 20.0f, 0.0f);
        const auto v = quad.Vertices();
        SCOPED_TRACE(c.fill);
        EXPECT_NEAR(v[0].x, 50.0f, 1e-4f); // left-bottom
        EXPECT_NEAR(v[0].y, 10.0f, 1e-4f);
        EXPECT_NEAR(v[1].x, 50.0f, 1e-4f); // left-top
        EXPECT_NEAR(v[1].y, 30.0f, 1e-4f);
        EXPECT_NEAR(v[2].x, c.rightX, 1e-4f); // right-bottom
        EXPECT_NEAR(v[2].y, 10.0f, 1e-4f);
        EXPECT_NEAR(v[3].x, c.rightX, 1e-4f); // right-top
        EXPECT_NEAR(v[3].y, 30.0f, 1e-4f);
        EXPECT_EQ(std::make_pair(v[0].u, v[0].v), std::make_pair(0.0f, 1.0f));
        EXPECT_EQ(std::make_pair(v[3].u, v[3].v), std::make_pair(1.0f, 0.0f));
        EXPECT_NEAR(quad.cameraDistance, std::sqrt(100.0f * 100.0f + 20.0f * 20.0f + 1000.0f * 1000.0f), 1e-2f);
    }
}

TEST_F(WorldQuadTest, FramesOfAStripStepDownTheTexture)
{
    WriteTexture("turnorder_f9.tga");
    WriteTexture("single.tga");
    WorldQuad strip;
    strip.SetTexture("turnorder_f9.tga");
    strip.CreateBuffer(10.0f, 10.0f);
    strip.animate = true;
    ASSERT_NE(strip.Texture(), nullptr);
    ASSERT_EQ(strip.Texture()->frameCount, 9);
    Frame(0.125f); // longer than a frame (1/12 s): one frame per placement
    for (int placement = 1; placement <= 10; ++placement) {
        strip.Submit(0.0f, 0.0f, 0.0f);
        const int frame = placement % 9 + 1;
        SCOPED_TRACE(placement);
        EXPECT_EQ(strip.frame, frame);
        EXPECT_NEAR(strip.vTop, static_cast<float>(frame - 1) / 9.0f, 1e-6f);
        EXPECT_NEAR(strip.vBottom, static_cast<float>(frame) / 9.0f, 1e-6f);
        EXPECT_NEAR(strip.Vertices()[1].v, strip.vTop, 1e-6f);
        EXPECT_NEAR(strip.Vertices()[0].v, strip.vBottom, 1e-6f);
    }

    WorldQuad still;
    still.SetTexture("turnorder_f9.tga");
    still.CreateBuffer(10.0f, 10.0f);
    still.Submit(0.0f, 0.0f, 0.0f);
    still.Submit(0.0f, 0.0f, 0.0f);
    EXPECT_EQ(still.frame, 1) << "without animate the first frame stays";
    EXPECT_NEAR(still.vBottom, 1.0f / 9.0f, 1e-6f);

    WorldQuad single;
    single.SetTexture("single.tga");
    single.CreateBuffer(10.0f, 10.0f);
    single.animate = true;
    for (int i = 0; i < 3; ++i)
        single.Submit(0.0f, 0.0f, 0.0f);
    EXPECT_EQ(single.vTop, 0.0f);
    EXPECT_EQ(single.vBottom, 1.0f);
}

TEST_F(WorldQuadTest, FadeAndTintReachTheVertices)
{
    WorldQuad quad;
    quad.CreateBuffer(10.0f, 10.0f);
    quad.alpha = 1.0f;
    quad.fadeState = 1;
    Frame(0.2f); // 0.4 of a 0.5 s fade per placement
    for (int i = 0; i < 3; ++i)
        quad.Submit(0.0f, 0.0f, 0.0f);
    EXPECT_EQ(quad.alpha, 0.0f);
    EXPECT_EQ(quad.fadeState, 3);

    quad.alpha = 0.25f;
    quad.colour = D3DXVECTOR3(1.0f, 0.5f, 0.0f);
    quad.Submit(0.0f, 0.0f, 0.0f);
    for (const ColouredVertex& v : quad.Vertices())
        EXPECT_EQ(v.colour, 0x40FF8000u);
}

namespace {

// A w x h TGA, clear but for the rectangle x0..x1, y0..y1 (top-left origin) in one ARGB colour.
std::string PaintedTga(int w, int h, int x0, int y0, int x1, int y1, uint32_t argb)
{
    std::vector<uint32_t> texels;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            texels.push_back(x >= x0 && x <= x1 && y >= y0 && y <= y1 ? argb : 0u);
    return Tga32Bytes(w, h, texels);
}

} // namespace

TEST_F(WorldQuadTest, QuadIsCutToThePartOfItsPictureThatShows)
{
    // 16 x 8, showing only texels 4 to 11 across and 2 to 3 down (a bar's groove). Large on screen (16 texels
    // over some 500 pixels) only level 0 is sampled: across (4 - 0.5) / 16 - 1/16 = 0.15625 to
    // (11 + 1.5) / 16 + 1/16 = 0.84375, down (2 - 0.5) / 8 - 1/8 = 0.0625 to (3 + 1.5) / 8 + 1/8 = 0.6875.
    tree->Write("groove.tga", PaintedTga(16, 8, 4, 2, 11, 3, 0xFF102030u));
    WorldQuad bar;
    bar.SetTexture("groove.tga");
    bar.CreateBuffer(500.0f, 250.0f);
    bar.Submit(0.0f, 0.0f, 0.0f);
    auto v = bar.Vertices();
    // u 0.15625 lies 0.15625 of the way along the 1000 units: x -343.75; v 0.6875 (counted from the bottom's 1)
    // 0.3125 of the way up the 500: y -93.75; v 0.0625, 0.9375 up: y 218.75.
    EXPECT_NEAR(v[0].x, -343.75f, 1e-3f);
    EXPECT_NEAR(v[0].y, -93.75f, 1e-3f);
    EXPECT_NEAR(v[3].x, 343.75f, 1e-3f);
    EXPECT_NEAR(v[3].y, 218.75f, 1e-3f);
    EXPECT_NEAR(v[1].x, -343.75f, 1e-3f);
    EXPECT_NEAR(v[1].y, 218.75f, 1e-3f);
    EXPECT_NEAR(v[2].x, 343.75f, 1e-3f);
    EXPECT_NEAR(v[2].y, -93.75f, 1e-3f);
    EXPECT_NEAR(v[0].u, 0.15625f, 1e-6f);
    EXPECT_NEAR(v[0].v, 0.6875f, 1e-6f);
    EXPECT_NEAR(v[3].u, 0.84375f, 1e-6f);
    EXPECT_NEAR(v[3].v, 0.0625f, 1e-6f);

    // Filled halfway (the game's cut at u 0.5 with the quad ending at its middle): the right edge stays where
    // the fill puts it, the left one is cut as before.
    bar.uRight = 0.5f;
    bar.fill = 0.0f;
    bar.Submit(0.0f, 0.0f, 0.0f);
    v = bar.Vertices();
    EXPECT_NEAR(v[0].x, -343.75f, 1e-3f);
    EXPECT_EQ(v[3].x, 0.0f);
    EXPECT_NEAR(v[0].u, 0.15625f, 1e-6f);
    EXPECT_EQ(v[3].u, 0.5f);

    // Far away the lower levels are sampled, down to the 2 x 1 one whose both texels show: drawn whole.
    bar.uRight = 1.0f;
    bar.fill = 1.0f;
    bar.Submit(0.0f, 0.0f, 100000.0f);
    v = bar.Vertices();
    EXPECT_NEAR(v[0].x, -500.0f, 1e-3f);
    EXPECT_NEAR(v[0].y, -250.0f, 1e-3f);
    EXPECT_NEAR(v[3].x, 500.0f, 1e-3f);
    EXPECT_NEAR(v[3].y, 250.0f, 1e-3f);
    EXPECT_EQ(std::make_pair(v[0].u, v[0].v), std::make_pair(0.0f, 1.0f));
    EXPECT_EQ(std::make_pair(v[3].u, v[3].v), std::make_pair(1.0f, 0.0f));
}

TEST_F(WorldQuadTest, ClearPictureLeavesNoArea)
{
    tree->Write("clear.tga", PaintedTga(8, 8, 0, 0, 7, 7, 0x00FFFFFFu));
    WorldQuad quad;
    quad.SetTexture("clear.tga");
    quad.CreateBuffer(50.0f, 20.0f);
    quad.Submit(10.0f, 20.0f, 0.0f);
    const auto v = quad.Vertices();
    for (int i = 1; i < 4; ++i) {
        EXPECT_EQ(v[static_cast<size_t>(i)].x, v[0].x) << i;
        EXPECT_EQ(v[static_cast<size_t>(i)].y, v[0].y) << i;
    }
}
