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
