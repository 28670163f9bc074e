#include "app/FlyOver.h"

#include "battle/Hex.h"
#include "battle/HexGrid.h"
#include "core/DataManager.h"
#include "scene/Camera.h"
#include "support/AppTest.h"

#include <gtest/gtest.h>

namespace {

class FlyOverTest : public AppTest
{
protected:
    // The first army's zone is two hexes of row 2 (centre: column 3), the second's one hex at 10, 10.
    void SetUp() override
    {
        AppTest::SetUp();
        for (int r = 0; r < HexGrid::ROWS; ++r)
            for (int c = 0; c < HexGrid::COLUMNS; ++c)
                grid.GetHex(r, c)->SetType(HEX_OPEN);
        grid.GetHex(2, 2)->SetType(HEX_DEPLOY_TEAM0);
        grid.GetHex(2, 4)->SetType(HEX_DEPLOY_TEAM0);
        grid.GetHex(10, 10)->SetType(HEX_DEPLOY_TEAM1);
    }

    HexGrid grid;
    FlyOver flyOver;
};

TEST_F(FlyOverTest, ShowsTheFirstZoneThenTheSecondThenAsksForTheFirstTurn)
{
    flyOver.Begin();
    ASSERT_TRUE(flyOver.IsActive());

    FlyOver::Frame frame = flyOver.Advance(1.0f, &grid);
    EXPECT_EQ(frame.newZone, HEX_DEPLOY_TEAM0);
    EXPECT_EQ(frame.playerIndex, 0);
    EXPECT_TRUE(frame.steers);
    EXPECT_FALSE(frame.turnDue);
    EXPECT_EQ(flyOver.GetZoneCentre(), grid.GetHex(2, 3)) << "the mean of rows 2, 2 and columns 2, 4";
    EXPECT_TRUE(flyOver.IsZoneShotStarted(HEX_DEPLOY_TEAM0));
    EXPECT_FALSE(flyOver.IsZoneShotStarted(HEX_DEPLOY_TEAM1));

    frame = flyOver.Advance(1.0f, &grid);
    EXPECT_EQ(frame.newZone, 0) << "the first zone's shot has started already";
    EXPECT_TRUE(frame.steers);

    // A frame that lands exactly on the switch at 3 s shows neither zone.
    frame = flyOver.Advance(1.0f, &grid);
    EXPECT_FLOAT_EQ(flyOver.GetClock(), 3.0f);
    EXPECT_EQ(frame.newZone, 0);
    EXPECT_FALSE(frame.steers);

    frame = flyOver.Advance(0.5f, &grid);
    EXPECT_EQ(frame.newZone, HEX_DEPLOY_TEAM1);
    EXPECT_EQ(frame.playerIndex, 1);
    EXPECT_TRUE(frame.steers);
    EXPECT_EQ(flyOver.GetZoneCentre(), grid.GetHex(10, 10));
    EXPECT_TRUE(flyOver.IsZoneShotStarted(HEX_DEPLOY_TEAM1));

    frame = flyOver.Advance(2.5f, &grid); // 6 s
    EXPECT_FALSE(frame.turnDue);
    frame = flyOver.Advance(0.5f, &grid); // 6.5 s
    EXPECT_TRUE(frame.turnDue);
    EXPECT_EQ(frame.newZone, 0);
}

TEST_F(FlyOverTest, AZoneTheLevelLacksStartsItsShotWithNothingToTurnAbout)
{
    grid.GetHex(10, 10)->SetType(HEX_OPEN);
    flyOver.Begin();
    flyOver.Advance(3.5f, &grid);
    EXPECT_TRUE(flyOver.IsZoneShotStarted(HEX_DEPLOY_TEAM1));
    EXPECT_EQ(flyOver.GetZoneCentre(), nullptr);

    // Without a centre the camera keeps its heading; with one it turns about it.
    DataManager::Get()->AdvanceTime(0.1f);
    Camera* camera = Camera::Get();
    const D3DXVECTOR3 before = camera->GetForward();
    flyOver.Steer(*camera);
    EXPECT_EQ(camera->GetForward(), before);

    FlyOver first;
    first.Begin();
    first.Advance(1.0f, &grid);
    ASSERT_NE(first.GetZoneCentre(), nullptr);
    first.Steer(*camera);
    EXPECT_NE(camera->GetForward(), before);

    // Without a board there is no centre either.
    FlyOver boardless;
    boardless.Begin();
    EXPECT_EQ(boardless.Advance(1.0f, nullptr).newZone, HEX_DEPLOY_TEAM0);
    EXPECT_EQ(boardless.GetZoneCentre(), nullptr);
}

TEST_F(FlyOverTest, ATurnStopsItAndAResetStartsItOver)
{
    flyOver.Begin();
    flyOver.Advance(3.5f, &grid);
    flyOver.Stop();
    EXPECT_FALSE(flyOver.IsActive());
    EXPECT_FLOAT_EQ(flyOver.GetClock(), 3.5f) << "stopping keeps where it stood";

    flyOver.Reset();
    EXPECT_FALSE(flyOver.IsActive());
    EXPECT_FLOAT_EQ(flyOver.GetClock(), 0.0f);
    EXPECT_FALSE(flyOver.IsZoneShotStarted(HEX_DEPLOY_TEAM0));
    EXPECT_FALSE(flyOver.IsZoneShotStarted(HEX_DEPLOY_TEAM1));
    EXPECT_EQ(flyOver.GetZoneCentre(), nullptr);
    // The next battle's fly-over shows the first zone again.
    flyOver.Begin();
    EXPECT_EQ(flyOver.Advance(1.0f, &grid).newZone, HEX_DEPLOY_TEAM0);
}

} // namespace
