// Whole battles played by random legal commands: they end, they keep the rules' invariants on the way, and a
// seed replays the same battle.
#include "BattleSimulator.h"

#include <gtest/gtest.h>

namespace {

constexpr int TURN_LIMIT = 400;

class BattleSimulatorTest : public BattleSimulation
{
protected:
    // The two players' units back to their first state between battles.
    void Clear()
    {
        first.DeleteUnits();
        second.DeleteUnits();
        for (Player* player : {&first, &second}) {
            for (int& counter : player->statistics)
                counter = 0;
        }
        hud.removed.clear();
        // Zones that a defender left claimed when it was deleted.
        for (int r = 0; r < HexGrid::kRows; ++r) {
            for (int c = 0; c < HexGrid::kColumns; ++c)
                At(r, c)->SetType(HEX_OPEN);
        }
    }
};

TEST_F(BattleSimulatorTest, TwentyBattlesEndWithAWinner)
{
    int wins[2] = {0, 0};
    for (unsigned seed = 1; seed <= 20; ++seed) {
        const BattleRecord record = Play(seed, TURN_LIMIT);
        ASSERT_NE(record.winner, -1) << "seed " << seed << " was still going after " << record.turns << " turns";
        ++wins[record.winner];
        const Player& loser = record.winner == 0 ? second : first;
        const Player& winner = record.winner == 0 ? first : second;
        EXPECT_EQ(loser.AliveCount(), 0) << seed;
        EXPECT_GT(winner.AliveCount(), 0) << seed;
        // Every death was credited once and dropped from the turn order once.
        EXPECT_EQ(first.statistics[0] + second.statistics[0], static_cast<int>(hud.removed.size())) << seed;
        EXPECT_GE(hud.removed.size(), loser.GetUnits().size()) << seed;
        for (int health : record.healths)
            EXPECT_GE(health, 0) << seed;
        EXPECT_GT(record.attacks + record.casts + record.moves, 0) << seed;
        Clear();
    }
    // Both sides can win: the armies are drawn from the same ranges.
    EXPECT_GT(wins[0], 0);
    EXPECT_GT(wins[1], 0);
}

TEST_F(BattleSimulatorTest, TheSameSeedPlaysTheSameBattle)
{
    for (unsigned seed : {3u, 17u}) {
        Clear();
        const BattleRecord once = Play(seed, TURN_LIMIT);
        Clear();
        const BattleRecord again = Play(seed, TURN_LIMIT);
        Clear();
        EXPECT_EQ(once.winner, again.winner);
        EXPECT_EQ(once.turns, again.turns);
        EXPECT_EQ(once.healths, again.healths);
        EXPECT_FALSE(once.healths.empty());
    }
}

} // namespace
