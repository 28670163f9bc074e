// The battle HUD the simulator keeps in place of the game's, and the digest of a battle's events.
#include "EventDigest.h"
#include "SimulatedHud.h"

#include "battle/TurnFlow.h"
#include "battle/Unit.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

TEST(SimulatedHudTest, TheDeadAreCountedOnceAndTheCurrentUnitIsTheHeadOfTheFlowsOrder)
{
    Unit units[3];
    TurnFlow flow;
    SimulatedHud order(flow);
    for (int i = 0; i < 3; ++i) {
        units[i].RulesForSetUp().turn.initiative = i;
        flow.Enlist(&units[i]);
    }
    EXPECT_EQ(order.GetCurrentUnit(), &units[0]);
    order.RemoveUnit(&units[0]);
    order.RemoveUnit(&units[0]);
    order.RemoveUnit(nullptr);
    EXPECT_EQ(order.GetRemovals(), 1);
    // A unit deleted outside a death is forgotten without counting as a death.
    order.ForgetUnit(&units[2]);
    EXPECT_EQ(order.GetRemovals(), 1);
    order.Clear();
    EXPECT_EQ(order.GetRemovals(), 0);
    flow.Reset();
    EXPECT_EQ(order.GetCurrentUnit(), nullptr);
}

TEST(SimulatedHudTest, GreyedActionsComeBackWithTheNextTurn)
{
    TurnFlow flow;
    SimulatedHud order(flow);
    ASSERT_EQ(CommandHud::Get(), &order);
    order.DisableAction(CommandHud::ACTION_ATTACK);
    order.DisableAction(CommandHud::ACTION_SPELLS);
    order.DisableAction(7);
    order.DisableAction(-1);
    EXPECT_TRUE(order.IsActionEnabled(CommandHud::ACTION_MOVE));
    EXPECT_FALSE(order.IsActionEnabled(CommandHud::ACTION_ATTACK));
    EXPECT_FALSE(order.IsActionEnabled(CommandHud::ACTION_SPELLS));
    EXPECT_FALSE(order.IsActionEnabled(7));
    order.EnableActions();
    EXPECT_TRUE(order.IsActionEnabled(CommandHud::ACTION_ATTACK));
    EXPECT_TRUE(order.IsActionEnabled(CommandHud::ACTION_SPELLS));
}

TEST(SimulatedHudTest, OnlyTheRegisteredHudUnregistersItself)
{
    TurnFlow flow;
    auto first = std::make_unique<SimulatedHud>(flow);
    auto second = std::make_unique<SimulatedHud>(flow);
    EXPECT_EQ(CommandHud::Get(), second.get());
    first.reset();
    EXPECT_EQ(CommandHud::Get(), second.get());
    second.reset();
    EXPECT_EQ(CommandHud::Get(), nullptr);
}

TEST(EventDigestTest, TextFollowsTheFnv1aTestVectors)
{
    // The published 64-bit FNV-1a values of "", "a" and "foobar".
    EventDigest empty;
    EXPECT_EQ(empty.Value(), 0xcbf29ce484222325ull);
    EventDigest a;
    a.Add(std::string("a"));
    EXPECT_EQ(a.Value(), 0xaf63dc4c8601ec8cull);
    EventDigest foobar;
    foobar.Add(std::string("foobar"));
    EXPECT_EQ(foobar.Value(), 0x85944171f73967e8ull);
    EXPECT_EQ(foobar.Events(), 1);
}

TEST(EventDigestTest, NumbersAreHashedAsEightLittleEndianBytes)
{
    // 0x61 as eight bytes is "a" followed by seven zero bytes.
    EventDigest number;
    number.Add(int64_t{0x61});
    EventDigest text;
    text.Add(std::string("a") + std::string(7, '\0'));
    EXPECT_EQ(number.Value(), text.Value());
    // Order matters: the same events in another order are another battle.
    EventDigest oneTwo;
    oneTwo.Add(1);
    oneTwo.Add(2);
    EventDigest twoOne;
    twoOne.Add(2);
    twoOne.Add(1);
    EXPECT_NE(oneTwo.Value(), twoOne.Value());
    EXPECT_EQ(oneTwo.Events(), 2);
}
