#include "battle/Object.h"

#include "battle/Hex.h"
#include "battle/HexGrid.h"
#include "core/DataManager.h"
#include "d3dx9/D3DX9.h"
#include "scene/Camera.h"
#include "support/TestDevice.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

// Counts the geometry draws that Render asks for, and takes an effect directly.
class CountingObject : public Object
{
public:
    int draws = 0;
    int preRenders = 0;
    void DrawGeometry() override { ++draws; }
    void PreRender() override { ++preRenders; }
    void UseEffect(ID3DXEffect* value) { m_effect = value; }
    void MarkLoaded() { m_loaded = true; }
};

class ObjectTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DataManager::ResetForTests();
        Camera::ResetForTests();
        HexGrid::SetCurrent(&grid);
        for (int r = 0; r < HexGrid::ROWS; ++r)
            for (int c = 0; c < HexGrid::COLUMNS; ++c) {
                Hex* hex = grid.GetHex(r, c);
                hex->anchorX = 100.0f * c;
                hex->anchorZ = -100.0f * r;
                hex->defaultType = HEX_OPEN;
                hex->SetType(HEX_OPEN);
            }
        object.MarkLoaded();
    }

    void TearDown() override
    {
        HexGrid::SetCurrent(nullptr);
        DataManager::ResetForTests();
        Camera::ResetForTests();
    }

    HexGrid grid;
    CountingObject object;
};

void ExpectVector(const D3DXVECTOR3& actual, float x, float y, float z, float tolerance, const char* what)
{
    EXPECT_NEAR(actual.x, x, tolerance) << what;
    EXPECT_NEAR(actual.y, y, tolerance) << what;
    EXPECT_NEAR(actual.z, z, tolerance) << what;
}

} // namespace

TEST_F(ObjectTest, PlacingClaimsTheHexAndMovingOnGivesItBackFadingOut)
{
    object.SetPosition(5, 4);
    Hex* first = grid.GetHex(5, 4);
    EXPECT_EQ(object.GetHex(), first);
    EXPECT_EQ(first->type, HEX_OCCUPIED);
    EXPECT_FALSE(first->IsPickable());
    EXPECT_EQ(first->occupant, &object);
    // The standing spot: anchor (400, -500) + (64, -27.712812); flat ground without a terrain.
    ExpectVector(object.GetPosition(), 464.0f, 0.0f, -527.712812f, 1e-3f, "position");
    EXPECT_FLOAT_EQ(object.GetTranslation()._41, 464.0f);
    EXPECT_FLOAT_EQ(object.GetTranslation()._43, -527.712812f);

    object.SetPosition(5, 5);
    EXPECT_EQ(first->type, HEX_OPEN);
    EXPECT_EQ(first->fadeState, FADE_OUT);
    EXPECT_EQ(first->occupant, nullptr);
    EXPECT_EQ(grid.GetHex(5, 5)->occupant, &object);

    object.SetPosition(5, 5); // the same hex again stays claimed
    EXPECT_EQ(grid.GetHex(5, 5)->type, HEX_OCCUPIED);
    EXPECT_EQ(grid.GetHex(5, 5)->occupant, &object);

    grid.GetHex(5, 5)->fadeState = FADE_STEADY;
    object.Release(); // gives the hex back without a fade and keeps the pointer
    EXPECT_EQ(grid.GetHex(5, 5)->type, HEX_OPEN);
    EXPECT_EQ(grid.GetHex(5, 5)->fadeState, FADE_STEADY);
    EXPECT_EQ(grid.GetHex(5, 5)->occupant, nullptr);
    EXPECT_EQ(object.GetHex(), grid.GetHex(5, 5));
}

TEST_F(ObjectTest, PlacesOffTheBoardFallBackToTheFirstHex)
{
    const int places[][2] = {{36, 0}, {-1, 3}, {0, 42}, {7, -2}};
    for (const auto& place : places) {
        object.SetPosition(place[0], place[1]);
        EXPECT_EQ(object.GetHex(), grid.GetHex(0, 0)) << place[0] << ", " << place[1];
        ExpectVector(object.GetPosition(), 64.0f, 0.0f, -27.712812f, 1e-4f, "first hex");
    }
}

TEST_F(ObjectTest, WithoutABoardOrBeforeLoadingNoHexIsClaimed)
{
    object.SetPosition(2, 2);
    HexGrid::SetCurrent(nullptr);
    object.SetPosition(3, 3);
    EXPECT_EQ(object.GetHex(), nullptr);
    EXPECT_FLOAT_EQ(object.GetPosition().x, 264.0f); // unchanged

    HexGrid::SetCurrent(&grid);
    CountingObject unloaded;
    unloaded.SetHex(grid.GetHex(1, 1));
    EXPECT_EQ(unloaded.GetHex(), nullptr);
    EXPECT_EQ(grid.GetHex(1, 1)->occupant, nullptr);
}

TEST_F(ObjectTest, TurningAQuarterToTheRightAndFacingAPoint)
{
    object.RotateY(std::numbers::pi_v<float> / 2);
    ExpectVector(object.GetForward(), 1.0f, 0.0f, 0.0f, 1e-6f, "forward");
    ExpectVector(object.GetRight(), 0.0f, 0.0f, -1.0f, 1e-6f, "right");

    // At the origin facing +z, a point to the right at (100, 0): the +z axis ends up pointing away from it.
    CountingObject turner;
    for (int i = 0; i < 100; ++i)
        turner.FaceTowards(100.0f, 0.0f, 0.35f);
    ExpectVector(turner.GetForward(), -1.0f, 0.0f, 0.0f, 1e-4f, "forward after facing");

    // A point straight ahead, straight behind or on the object itself turns it by nothing.
    const float points[][2] = {{0.0f, 100.0f}, {0.0f, -100.0f}, {0.0f, 0.0f}};
    for (const auto& point : points) {
        CountingObject still;
        still.FaceTowards(point[0], point[1], 0.35f);
        ExpectVector(still.GetForward(), 0.0f, 0.0f, 1.0f, 1e-6f, "no turn");
        EXPECT_FALSE(std::isnan(still.GetRotation()._11));
    }
}

TEST_F(ObjectTest, UpdateBuildsTheWorldFromRotationThenTranslation)
{
    object.RotateY(std::numbers::pi_v<float> / 2);
    object.SetWorldPosition(10.0f, 99.0f, 20.0f); // y follows the flat ground
    object.Update();
    // The local point (0, 0, 1) turns to (1, 0, 0) and then moves to (11, 0, 20).
    D3DXVECTOR3 local(0.0f, 0.0f, 1.0f), placed;
    D3DXVec3TransformCoord(&placed, &local, &object.GetWorld());
    ExpectVector(placed, 11.0f, 0.0f, 20.0f, 1e-5f, "placed");

    object.SetFollowsTerrain(false);
    object.SetWorldPosition(10.0f, 99.0f, 20.0f);
    EXPECT_FLOAT_EQ(object.GetPosition().y, 99.0f);
}

TEST_F(ObjectTest, RenderDrawsOnceWithoutAnEffectAndOncePerPassWithOne)
{
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
    ASSERT_NO_FATAL_FAILURE(CreateTestDevice(D3D9_BACKEND_NULL, nullptr, 1024, 768, &d3d, &device));
    DataManager::Get()->SetDevice(device);
    object.Render();
    EXPECT_EQ(object.draws, 1);
    EXPECT_EQ(object.preRenders, 1);

    ID3DXEffect* effect = nullptr;
    const std::string file = std::string(VARNHOLT_FIXTURES) + "/effects/textured.fx";
    ASSERT_EQ(D3DXCreateEffectFromFileA(device, file.c_str(), nullptr, nullptr, 0, nullptr, &effect, nullptr), D3D_OK);
    object.UseEffect(effect);
    object.Render();
    EXPECT_EQ(object.draws, 2); // the fixture's technique has one pass
    EXPECT_EQ(object.GetOwnerEffect(), effect);

    // A point on the camera's line of sight lands in the middle of the viewport; a lift raises it on screen.
    Camera::Get()->SetEyeAndTarget(D3DXVECTOR3(0.0f, 500.0f, -1000.0f), D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    Camera::Get()->SetProjectionFov(1024.0f, 768.0f, 10.0f, 10000.0f);
    const D3DVIEWPORT9 viewport{0, 0, 1024, 768, 0.0f, 1.0f};
    device->SetViewport(&viewport);
    object.SetWorldPosition(0.0f, 0.0f, 0.0f);
    float screen[2];
    object.ScreenPosition(screen, 0.0f);
    EXPECT_NEAR(screen[0], 512.0f, 1e-2f);
    EXPECT_NEAR(screen[1], 384.0f, 1e-2f);
    object.ScreenPosition(screen, 100.0f);
    EXPECT_NEAR(screen[0], 512.0f, 1e-2f);
    EXPECT_LT(screen[1], 384.0f);

    object.UseEffect(nullptr);
    effect->Release();
    DataManager::Get()->ReleaseAll();
    DataManager::ResetForTests();
    ReleaseTestDevice(d3d, device);
}
