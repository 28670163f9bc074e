#include "app/ArmyLoad.h"

#include "battle/BoardFakes.h"

#include <gtest/gtest.h>

namespace {

TEST(ArmyLoadTest, TheBarCreepsByTheUnitsWaitingAndRunsOnceTheJobHasEnded)
{
    ArmyLoad load;
    for (int i = 0; i < 3; ++i)
        load.AddUnit();
    EXPECT_EQ(load.GetUnitsToLoad(), 3);

    // Waiting: 0.75 s / ((3 + 1) x 0.75) = 0.25; the bar shows a tenth of it.
    EXPECT_FALSE(load.Advance(0.75f));
    EXPECT_FLOAT_EQ(load.GetProgress(), 0.25f);
    EXPECT_FLOAT_EQ(load.GetBar(), 0.025f);

    // The job ends: 0.5 s x 3 = 1.5 more.
    load.AllModelsLoaded();
    load.Finish();
    EXPECT_EQ(load.GetUnitsToLoad(), 0);
    EXPECT_TRUE(load.Advance(0.5f));
    EXPECT_FLOAT_EQ(load.GetProgress(), 1.75f);
    EXPECT_FLOAT_EQ(load.GetBar(), 0.175f);

    // The bar stops full however far the progress runs.
    EXPECT_TRUE(load.Advance(10.0f));
    EXPECT_FLOAT_EQ(load.GetProgress(), 31.75f);
    EXPECT_FLOAT_EQ(load.GetBar(), 1.0f);

    load.EmptyBar();
    EXPECT_FLOAT_EQ(load.GetProgress(), 0.0f);
}

TEST(ArmyLoadTest, TheQueueIsHandedOverOnceAndForgetsUnitsThatLeave)
{
    ArmyLoad load;
    FakeUnit a, b, c;
    load.AddUnit();
    load.Queue(&a);
    load.Queue(&b);
    load.Queue(&c);
    load.Forget(&b);
    load.Forget(nullptr);
    ASSERT_EQ(load.GetQueue().size(), 2u);

    const std::vector<BoardUnit*> handed = load.TakeQueue();
    ASSERT_EQ(handed.size(), 2u);
    EXPECT_EQ(handed[0], &a);
    EXPECT_EQ(handed[1], &c);
    EXPECT_TRUE(load.GetQueue().empty()) << "handed over once";
    EXPECT_TRUE(load.TakeQueue().empty());

    // A new deployment starts with nothing waiting and no job ended.
    load.Queue(&a);
    load.Finish();
    load.Clear();
    EXPECT_EQ(load.GetUnitsToLoad(), 0);
    EXPECT_TRUE(load.GetQueue().empty());
    EXPECT_FALSE(load.IsDone());
}

} // namespace
