#include "scene/Camera.h"
#include "core/DataManager.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {
class CameraTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DataManager::ResetForTests();
        Camera::ResetForTests();
    }
    void TearDown() override
    {
        Camera::ResetForTests();
        DataManager::ResetForTests();
    }
    static void Frame(float seconds) { DataManager::Get()->AdvanceTime(seconds); }
};
} // namespace

TEST_F(CameraTest, ZoomTargetStaysWithinItsLimits)
{
    Camera* camera = Camera::Get();
    camera->Zoom(2400.0f, false);
    camera->Zoom(120.0f, true); // 2520 clamps to 2500
    EXPECT_FLOAT_EQ(camera->GetTargetDistance(), 2500.0f);
    camera->Zoom(100.0f, false);
    EXPECT_FLOAT_EQ(camera->GetTargetDistance(), 650.0f);
    camera->Zoom(-120.0f, true);
    EXPECT_FLOAT_EQ(camera->GetTargetDistance(), 650.0f);
}

TEST_F(CameraTest, ZoomEasesByFixedStepsAndStopsInsideTheDeadBand)
{
    Camera* camera = Camera::Get();
    Frame(0.016f); // step 48, dead band 52.8
    camera->Zoom(-120.0f, true); // 2000 -> 1880
    camera->UpdateZoom();
    EXPECT_FLOAT_EQ(camera->GetCurrentDistance(), 1952.0f);
    camera->UpdateZoom();
    EXPECT_FLOAT_EQ(camera->GetCurrentDistance(), 1904.0f);
    camera->UpdateZoom(); // 24 units left: inside the band
    EXPECT_FLOAT_EQ(camera->GetCurrentDistance(), 1904.0f);
    EXPECT_FLOAT_EQ(camera->GetCurrentHeight(), 952.0f);
}

TEST_F(CameraTest, ResetZoomRestoresTheStartingView)
{
    Camera* camera = Camera::Get();
    camera->Zoom(700.0f, false);
    Frame(0.5f);
    camera->UpdateZoom();
    camera->ResetZoom();
    EXPECT_FLOAT_EQ(camera->GetTargetDistance(), 2000.0f);
    EXPECT_FLOAT_EQ(camera->GetCurrentDistance(), 2000.0f);
    EXPECT_FLOAT_EQ(camera->GetCurrentHeight(), 1250.0f);
}

TEST_F(CameraTest, GameOverViewBacksOutUntilTheZoomLimit)
{
    Camera* camera = Camera::Get();
    Frame(0.1f); // 0.1 x 2500 = 250 units a frame
    camera->Orbit();
    EXPECT_FLOAT_EQ(camera->GetTargetDistance(), 2250.0f);
    camera->Orbit();
    EXPECT_FLOAT_EQ(camera->GetTargetDistance(), 2500.0f);
    camera->Orbit();
    EXPECT_FLOAT_EQ(camera->GetTargetDistance(), 2500.0f);
    EXPECT_FLOAT_EQ(camera->GetForward().z, 1.0f) << "nothing followed: no turn";
}

TEST_F(CameraTest, SwingTurnsForwardAndReversesAtItsLimitAcrossCallers)
{
    Camera* camera = Camera::Get();
    Frame(0.1f);
    const D3DXVECTOR3 unused(0.0f, 0.0f, 0.0f);
    // s = -(0.15 x 0.1 x 2) = -0.03, inside the clamp of 0.0375.
    EXPECT_FALSE(camera->MoveTo(unused, 0.05f, 0.15f));
    // Turning (0, 0, 1) by -0.03 about y: x = sin(-0.03), z = cos(-0.03).
    EXPECT_NEAR(camera->GetForward().x, -0.0299955f, 1e-5f);
    EXPECT_NEAR(camera->GetForward().z, 0.99955f, 1e-5f);
    // The accumulated angle reaches 0.06 > 0.05: a sweep is complete and the direction flips.
    EXPECT_TRUE(camera->MoveTo(unused, 0.05f, 0.15f));
    // Now it turns back: one step of +0.03 from -0.06 leaves forward at -0.03 again.
    EXPECT_FALSE(camera->MoveTo(unused, 0.05f, 0.15f));
    EXPECT_NEAR(camera->GetForward().x, -0.0299955f, 1e-4f);
}

TEST_F(CameraTest, SwingStepIsClampedToAQuarterOfTheRate)
{
    Camera* camera = Camera::Get();
    Frame(1.0f); // -(0.1 x 1 x 2) = -0.2, clamped to -0.025
    camera->MoveTo(D3DXVECTOR3(0.0f, 0.0f, 0.0f), 10.0f, 0.1f);
    EXPECT_NEAR(camera->GetForward().x, std::sin(-0.025f), 1e-5f);
}

TEST_F(CameraTest, FrustumPlanesFaceInwardAtTheNearAndFarDistances)
{
    Camera* camera = Camera::Get();
    camera->SetProjection();
    camera->SetEyeAndTarget(D3DXVECTOR3(0.0f, 0.0f, 0.0f), D3DXVECTOR3(0.0f, 0.0f, 1.0f));
    camera->UpdateFrustum();
    const D3DXPLANE* planes = camera->GetFrustumPlanes();
    // Looking down +z from the origin: near plane z = 200 facing +z, far plane z = 40000 facing -z.
    EXPECT_NEAR(planes[0].c, 1.0f, 1e-4f);
    EXPECT_NEAR(planes[0].d, -200.0f, 0.05f);
    EXPECT_NEAR(planes[1].c, -1.0f, 1e-4f);
    EXPECT_NEAR(planes[1].d, 40000.0f, 20.0f);
    const D3DXVECTOR3 inside(0.0f, 0.0f, 1000.0f);
    const D3DXVECTOR3 outsideLeft(-5000.0f, 0.0f, 1000.0f);
    for (int i = 0; i < 6; ++i)
        EXPECT_GT(D3DXPlaneDotCoord(&planes[i], &inside), 0.0f) << "plane " << i;
    EXPECT_LT(D3DXPlaneDotCoord(&planes[2], &outsideLeft), 0.0f);
}

// From the origin down +z through the game's projection (45 degrees high, 4:3) onto 1024 x 768 pixels: 1000 away
// the view reaches 1000 x tan(22.5 degrees) = 414.2 up and down and 552.3 to either side. Narrowed to the top left
// quarter of the screen (a pixel's margin: columns to 513 of 1024, rows to 385 of 768), it keeps x below
// 552.3 x 2 / 1024 = 1.08 and y above -414.2 x 2 / 768 = -1.08 at that distance.
TEST_F(CameraTest, CullingNarrowedToARectangleKeepsOnlyWhatLiesBehindIt)
{
    Camera* camera = Camera::Get();
    camera->SetProjection();
    camera->SetEyeAndTarget(D3DXVECTOR3(0.0f, 0.0f, 0.0f), D3DXVECTOR3(0.0f, 0.0f, 1.0f));
    camera->UpdateFrustum();
    const auto inside = [&](float x, float y) {
        const D3DXVECTOR3 point(x, y, 1000.0f);
        for (int i = 0; i < 6; ++i)
            if (D3DXPlaneDotCoord(&camera->GetFrustumPlanes()[i], &point) < 0.0f)
                return false;
        return true;
    };
    struct Case {
        float x, y;
        bool kept;
    };
    const Case topLeft[] = {{-300.0f, 200.0f, true}, {-550.0f, 410.0f, true},   {-1.0f, -1.0f, true},
                            {300.0f, 200.0f, false}, {-300.0f, -200.0f, false}, {3.0f, 10.0f, false},
                            {-10.0f, -3.0f, false}};
    for (const Case& c : topLeft)
        EXPECT_TRUE(inside(c.x, c.y)) << "the whole view holds " << c.x << ", " << c.y;

    camera->NarrowCulling(RECT{0, 0, 512, 384}, 1024, 768);
    EXPECT_NEAR(camera->GetCullBounds().left, -1.0f, 1e-6f) << "never beyond the view";
    EXPECT_NEAR(camera->GetCullBounds().right, 2.0f / 1024.0f, 1e-6f);
    EXPECT_NEAR(camera->GetCullBounds().top, 1.0f, 1e-6f);
    EXPECT_NEAR(camera->GetCullBounds().bottom, -2.0f / 768.0f, 1e-6f);
    for (const Case& c : topLeft)
        EXPECT_EQ(inside(c.x, c.y), c.kept) << c.x << ", " << c.y;

    // The bottom right corner, 100 pixels square, with its margin: x from 923 / 512 - 1 = 0.803 (443.3 at 1000
    // away), y below -(667 / 384 - 1) = -0.737 (-305.3).
    camera->NarrowCulling(RECT{924, 668, 1024, 768}, 1024, 768);
    EXPECT_TRUE(inside(500.0f, -350.0f));
    EXPECT_FALSE(inside(400.0f, -350.0f));
    EXPECT_FALSE(inside(500.0f, -250.0f));

    camera->WidenCulling();
    EXPECT_TRUE(inside(300.0f, 200.0f));
    EXPECT_TRUE(inside(-300.0f, -200.0f));
    EXPECT_FALSE(inside(-600.0f, 0.0f));
}

TEST_F(CameraTest, ProjectionIsTheGamesFieldOfView)
{
    Camera* camera = Camera::Get();
    camera->Refresh();
    // PerspectiveFovLH(pi/4, 4/3, 200, 40000): yScale = cot(pi/8) = 2.4142137, xScale = yScale / (4/3).
    EXPECT_NEAR(camera->GetProjection()._22, 2.4142137f, 1e-5f);
    EXPECT_NEAR(camera->GetProjection()._11, 1.8106601f, 1e-5f);
    EXPECT_NEAR(camera->GetProjection()._43, -201.00502f, 1e-3f);

    // A rectangle without height keeps the game's 4:3 shape instead of dividing by zero.
    for (const float width : {1024.0f, 0.0f}) {
        camera->SetProjectionFov(width, 0.0f, 200.0f, 40000.0f);
        EXPECT_NEAR(camera->GetProjection()._11, 1.8106601f, 1e-5f) << width;
        EXPECT_NEAR(camera->GetProjection()._22, 2.4142137f, 1e-5f) << width;
    }
    camera->SetProjectionFov(800.0f, 400.0f, 200.0f, 40000.0f); // 2:1: xScale = 2.4142137 / 2
    EXPECT_NEAR(camera->GetProjection()._11, 1.2071068f, 1e-5f);
}
