#include "scene/SkyDome.h"
#include "scene/SceneFixture.h"
#include "scene/StarField.h"
#include "support/TgaFile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {
class SkyTest : public SceneFixture
{
protected:
    std::vector<SkyDome::Vertex> Vertices(SkyDome& sky)
    {
        std::vector<SkyDome::Vertex> out(static_cast<size_t>(sky.GetVertexCount()));
        void* data = nullptr;
        if (sky.GetVertexBuffer() && SUCCEEDED(sky.GetVertexBuffer()->Lock(0, 0, &data, D3DLOCK_READONLY))) {
            std::memcpy(out.data(), data, out.size() * sizeof(SkyDome::Vertex));
            sky.GetVertexBuffer()->Unlock();
        }
        return out;
    }
};
} // namespace

TEST_F(SkyTest, DomeIsAStripOfQuadsWithTheDayColumnAndARimToTopGradient)
{
    SkyDome sky;
    sky.SetSkyValue(12.0f);
    sky.Init(16384.0f, 16384.0f);
    ASSERT_EQ(sky.GetVertexCount(), 576);
    const auto v = Vertices(sky);
    for (const SkyDome::Vertex& vertex : v) {
        ASSERT_FLOAT_EQ(vertex.u, 0.5f);
        ASSERT_EQ(vertex.colour, 0xFFFFFFFFu);
    }
    // The first quad: (0, 0) at the top, (15, 0), (0, 15), (15, 15).
    EXPECT_FLOAT_EQ(v[0].y, 16000.0f);
    EXPECT_NEAR(v[0].v, 0.71925f, 1e-5f); // 1 / sqrt(1 + cos^2 15)
    EXPECT_NEAR(v[1].x, 16000.0f * 0.2588190f, 0.05f);
    // The last quad's lower edge lies on the rim, where v is 0.
    EXPECT_NEAR(v[575].y, 0.0f, 0.01f);
    EXPECT_NEAR(v[575].v, 0.0f, 1e-6f);

    Null()->ResetCounters();
    sky.Render();
    EXPECT_EQ(Null()->DrawCount(), 1u);
    EXPECT_EQ(Null()->LastDraw().primitiveType, D3DPT_TRIANGLESTRIP);
    EXPECT_EQ(Null()->LastDraw().primitiveCount, 574u);
    DWORD src = 0, dest = 0, cull = 0;
    m_device->GetRenderState(D3DRS_SRCBLEND, &src);
    m_device->GetRenderState(D3DRS_DESTBLEND, &dest);
    m_device->GetRenderState(D3DRS_CULLMODE, &cull);
    EXPECT_EQ(src, static_cast<DWORD>(D3DBLEND_SRCALPHA));
    EXPECT_EQ(dest, static_cast<DWORD>(D3DBLEND_INVSRCALPHA));
    EXPECT_EQ(cull, static_cast<DWORD>(D3DCULL_CCW)) << "the dome leaves its cull mode behind";
}

// The dome adds its colour to the stars under it weighted by its alpha: only where the hour's column, or a
// column a filtered read of it may reach, holds some alpha can a star show.
TEST_F(SkyTest, OnlyTheHoursWithAlphaLetTheStarsThrough)
{
    WriteSkyStrip(64, 16, 48); // day from column 16 to 47
    SkyDome sky;
    sky.Init(16384.0f, 16384.0f);
    // Sky value v reads column v / 24 x 64.
    const struct {
        float value;
        bool through;
        const char* what;
    } hours[] = {
        {12.0f, false, "noon, column 32: no alpha within reach"},
        {11.25f, false, "column 30"},
        {0.0f, true, "midnight, column 0"},
        {7.7f, true, "column 20: the night's columns 11 to 15 within a coarser read"},
        {16.1f, true, "column 42: the night at 48 within reach"},
        {36.0f, false, "a day and a half: the strip repeated or mirrored, column 32 either way"},
        {-12.0f, false, "half a day back"},
    };
    for (const auto& hour : hours) {
        sky.SetSkyValue(hour.value);
        EXPECT_EQ(sky.LetsStarsThrough(), hour.through) << hour.what;
    }
}

TEST_F(SkyTest, AStripThatCannotBeReadLetsTheStarsThrough)
{
    // No strip: the grey stand-in has no alpha channel, and samples as wholly opaque to the blend.
    SkyDome sky;
    sky.Init(16384.0f, 16384.0f);
    sky.SetSkyValue(12.0f);
    EXPECT_TRUE(sky.LetsStarsThrough());
    SkyDome bare;
    EXPECT_TRUE(bare.LetsStarsThrough()) << "no texture at all";
}

TEST_F(SkyTest, SkyValueCreepsEveryQuarterSecondOfGameTime)
{
    SkyDome sky;
    sky.SetSkyValue(12.0f);
    sky.Init(0.0f, 0.0f);
    struct Step {
        float dt;
        float value;
    };
    const Step steps[] = {{0.0f, 12.0f},    {0.125f, 12.0f}, {0.125f, 12.005f}, {0.25f, 12.01f},
                          {0.25f, 12.015f}, {0.25f, 12.02f}, {0.0f, 12.02f}};
    for (const Step& s : steps) {
        Frame(s.dt);
        EXPECT_TRUE(sky.Update());
        EXPECT_NEAR(sky.GetSkyValue(), s.value, 1e-5f);
    }
    EXPECT_NEAR(Vertices(sky)[100].u, 0.500833f, 1e-5f);
}

TEST_F(SkyTest, StarCubeSitsOnTheEyeAndIsDrawnWithoutDepth)
{
    StarField stars;
    stars.Init();
    ASSERT_NE(stars.GetVertexBuffer(), nullptr);
    void* data = nullptr;
    ASSERT_EQ(stars.GetVertexBuffer()->Lock(0, 0, &data, D3DLOCK_READONLY), D3D_OK);
    const auto* v = static_cast<const StarField::Vertex*>(data);
    // The first face as the sky was laid out: z = -300, texture repeated three times.
    EXPECT_FLOAT_EQ(v[0].x, -300.0f);
    EXPECT_FLOAT_EQ(v[0].z, -300.0f);
    EXPECT_FLOAT_EQ(v[0].v, 3.0f);
    EXPECT_FLOAT_EQ(v[1].y, 300.0f);
    EXPECT_FLOAT_EQ(v[5].u, 3.0f);
    EXPECT_FLOAT_EQ(v[5].v, 0.0f);
    for (int i = 0; i < 36; ++i) {
        EXPECT_FLOAT_EQ(std::max({std::fabs(v[i].x), std::fabs(v[i].y), std::fabs(v[i].z)}), 300.0f);
        EXPECT_TRUE(v[i].u == 0.0f || v[i].u == 3.0f);
    }
    stars.GetVertexBuffer()->Unlock();

    Camera::Get()->SetEyeAndTarget(D3DXVECTOR3(100.0f, 200.0f, 300.0f), D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    Null()->ResetCounters();
    stars.Render();
    EXPECT_EQ(Null()->LastDraw().primitiveCount, 12u);
    D3DMATRIX world{};
    m_device->GetTransform(D3DTS_WORLD, &world);
    EXPECT_FLOAT_EQ(world._41, 100.0f);
    EXPECT_FLOAT_EQ(world._43, 300.0f);
    DWORD z = 0;
    m_device->GetRenderState(D3DRS_ZENABLE, &z);
    EXPECT_EQ(z, static_cast<DWORD>(D3DZB_TRUE));
    stars.Release();
}

// The dome of radius 16000 around (16384, -10, 16384): its faces join vertices at most 15 + 15 degrees apart,
// so none comes nearer the centre than 16000 cos 30 = 13856. The view is the game's projection (45 degrees
// high, 4:3, 200 to 40000).
// The dome's rectangle on a 1024 x 768 screen in the game's projection, from its centre (16384, -10, 16384), the
// rim's height: looking level, the dome is the upper half of the view down to the horizon at row 384 (its rim lies
// a hair below the eye, and a pixel more is taken on every side); looking up, all of it; looking steeply down,
// none.
TEST_F(SkyTest, TheDomesRectangleOnTheScreenHoldsWhatItDraws)
{
    SkyDome sky;
    sky.Init(16384.0f, 16384.0f);
    Camera* camera = Camera::Get();
    camera->SetProjection();
    RECT rect{};
    camera->SetEyeAndTarget({16384, -10, 16384}, {16384, -10, 17384});
    ASSERT_TRUE(sky.ScreenRect(camera->GetViewProjection(), 1024, 768, &rect));
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right, 1024);
    EXPECT_GE(rect.bottom, 385);
    EXPECT_LE(rect.bottom, 386);

    camera->SetEyeAndTarget({16384, -10, 16384}, {16384, 990, 16385});
    ASSERT_TRUE(sky.ScreenRect(camera->GetViewProjection(), 1024, 768, &rect));
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right, 1024);
    EXPECT_EQ(rect.bottom, 768);

    // 72 degrees down from 1500 above the rim: the view meets the rim's height within about 1400 of the eye.
    camera->SetEyeAndTarget({16384, 1500, 16384}, {16384, 0, 16884});
    EXPECT_FALSE(sky.ScreenRect(camera->GetViewProjection(), 1024, 768, &rect));
}

TEST_F(SkyTest, TheDomeIsOutOfAViewThatOnlyLooksDownOnTheGroundNearTheCentre)
{
    SkyDome sky;
    sky.Init(16384.0f, 16384.0f);
    Camera* camera = Camera::Get();
    camera->SetProjection();
    struct Case {
        const char* view;
        D3DXVECTOR3 eye, target;
        bool outside;
    } cases[] = {
        // 72 degrees down: the view's edges reach the rim's height (-11) within about 1400 of the eye.
        {"steeply down over the centre", {16384, 1500, 16384}, {16384, 0, 16884}, true},
        // 32 degrees down; the top edge, 9.5 degrees down, reaches -11 at (16384 +- 4206, 22514): 7434 from
        // the centre.
        {"the battle's view", {16384, 1350, 14384}, {16384, 100, 16384}, true},
        // Nearly level: the top of the view rises far above the rim, 40000 away.
        {"the start-up view", {16384, 1500, 12884}, {16384, 1400, 16384}, false},
        // Steeply down, but 14616 from the centre: faces of the dome could be that near.
        {"steeply down near the map's edge", {31000, 1500, 16384}, {31000, 0, 16884}, false},
    };
    for (const Case& c : cases) {
        camera->SetEyeAndTarget(c.eye, c.target);
        EXPECT_EQ(sky.IsOutsideView(camera->GetViewProjection()), c.outside) << c.view;
    }
}

// The default sky strip, read straight from the data tree below the build directory. Every default level is lit
// by a day's sun that does not move, and the sky value runs round the whole strip in twenty minutes of play
// (and starts again at the level's value after a rematch): wherever it stands, the dome must show a day sky
// over the sunlit ground, with no star showing through it and no dusk at the horizon.
TEST(DefaultSky, EveryColumnOfTheStripIsADaySkyThatHidesTheStars)
{
    const TgaPicture sky = ReadTga32("Data/Textures/Skybox Textures/clearSky2.tga");
    ASSERT_FALSE(sky.argb.empty()) << "the default Data tree is missing, or its sky has no alpha";
    const int width = sky.width, height = sky.height;
    // Channel 0 blue, 1 green, 2 red, 3 alpha.
    auto at = [&](int x, int y, int channel) { return static_cast<int>(sky.At(x, y) >> (8 * channel) & 0xFF); };
    for (int x = 0; x < width; ++x) {
        SCOPED_TRACE("column " + std::to_string(x));
        double brightness = 0.0;
        for (int y = 0; y < height; ++y) {
            const int b = at(x, y, 0), g = at(x, y, 1), r = at(x, y, 2), a = at(x, y, 3);
            // The dome adds the stars weighted by its alpha.
            ASSERT_EQ(a, 0) << "row " << y;
            // A clear day sky: bluer than it is red at every height (a dusk makes the horizon red or pink).
            ASSERT_GT(b, r) << "row " << y;
            brightness += (r + g + b) / 3.0;
        }
        // Night keys are below a quarter of full brightness; a day sky is well above half.
        EXPECT_GT(brightness / height, 0.5 * 255.0);
    }
    // Past a value of 24 the strip starts again: its two ends meet without a seam.
    for (int y = 0; y < height; ++y)
        for (int channel = 0; channel < 3; ++channel)
            EXPECT_NEAR(at(0, y, channel), at(width - 1, y, channel), 6) << "row " << y;
}
