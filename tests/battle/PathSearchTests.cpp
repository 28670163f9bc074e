// The path search on open ground. Rows run along x, so (r + n, c) lies n steps straight on from (r, c).
#include "BoardFakes.h"

#include <gtest/gtest.h>

namespace {

class PathSearchTest : public BoardTest
{
protected:
    void SetUp() override
    {
        BoardTest::SetUp();
        player.team = 0;
        unit = Deploy(player, 10, 10);
        unit->state = SELECTING_MOVE;
        unit->movementRadius = 5;
    }
    void TearDown() override
    {
        player.DeleteUnits();
        BoardTest::TearDown();
    }

    // The search as the dispatch runs it: the target is the hovered hex.
    int Find(Hex* target, int& count)
    {
        pointer.hovered = target;
        return PathSearch(*grid).FindPath(*unit, target, count);
    }

    const TextureRecord* Cursor() const { return grid->GetTexture(HexGrid::TEXTURE_CURSOR); }

    FakePointer pointer;
    Player player;
    FakeUnit* unit = nullptr;
};

TEST_F(PathSearchTest, AdjacentTargetIsOneStep)
{
    int count = -1;
    EXPECT_EQ(Find(At(11, 10), count), PathSearch::IN_RANGE);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(unit->path, (std::vector<Hex*>{At(11, 10)}));
    EXPECT_EQ(grid->GetPathList(), (std::vector<Hex*>{At(11, 10)}));
    // The unit turns towards the target's anchor.
    EXPECT_EQ(unit->faceX, At(11, 10)->anchorX);
    EXPECT_EQ(unit->faceZ, At(11, 10)->anchorZ);
    EXPECT_FLOAT_EQ(unit->faceRate, 0.35f);
}

TEST_F(PathSearchTest, StraightLinesAreCutToTheMovementRadius)
{
    struct Case {
        int steps;
        int result;
    };
    // Up to the radius the whole path; up to three beyond it the first five steps and "just out of range";
    // further, no move, though the unit keeps the cut path.
    const Case cases[] = {{3, 1}, {5, 1}, {6, 2}, {7, 2}, {8, 2}, {9, 0}, {12, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.steps << " steps");
        grid->Render(); // empties the lists
        int count = -1;
        EXPECT_EQ(Find(At(10 + c.steps, 10), count), c.result);
        EXPECT_EQ(count, c.steps);
        const int kept = std::min(c.steps, 5);
        ASSERT_EQ(unit->path.size(), static_cast<size_t>(kept));
        // Destination first, the first step last: the hexes straight on, nearest last.
        for (int i = 0; i < kept; ++i)
            EXPECT_EQ(unit->path[static_cast<size_t>(i)], At(10 + kept - i, 10)) << i;
        EXPECT_EQ(grid->GetPathList().size(), static_cast<size_t>(kept));
        const HexGrid::TextureSlot cursor = c.result == 1   ? HexGrid::TEXTURE_MOVEMENT
                                            : c.result == 2 ? HexGrid::TEXTURE_OUT_OF_RANGE
                                                            : HexGrid::TEXTURE_BLOCKED;
        EXPECT_EQ(Cursor(), grid->GetTexture(cursor));
    }
}

TEST_F(PathSearchTest, StepsAreAlwaysNeighbours)
{
    int count = 0;
    ASSERT_EQ(Find(At(13, 13), count), PathSearch::IN_RANGE);
    ASSERT_EQ(unit->path.size(), static_cast<size_t>(count));
    Hex* previous = At(10, 10);
    for (auto it = unit->path.rbegin(); it != unit->path.rend(); ++it) {
        EXPECT_NEAR((*it)->DistanceTo(*previous), 110.851f, 0.001f);
        previous = *it;
    }
}

TEST_F(PathSearchTest, UnwalkableTargetsGiveNoMove)
{
    int count = -1;
    unit->path = {At(1, 1)};
    EXPECT_EQ(Find(nullptr, count), PathSearch::NO_MOVE);
    EXPECT_EQ(count, -1) << "nothing is written without a target";
    EXPECT_EQ(unit->path, (std::vector<Hex*>{At(1, 1)}));

    FakeUnit* other = Deploy(player, 11, 10);
    (void)other;
    EXPECT_EQ(Find(At(11, 10), count), PathSearch::NO_MOVE) << "a unit stands on the adjacent target";
    At(10, 12)->SetType(HEX_BLOCKED);
    EXPECT_EQ(Find(At(10, 12), count), PathSearch::NO_MOVE) << "blocked ground";
    EXPECT_EQ(Cursor(), grid->GetTexture(HexGrid::TEXTURE_BLOCKED));
}

TEST_F(PathSearchTest, EnclosedTargetGivesNoMove)
{
    // The target's six neighbours are blocked: the search cannot reach it, and a walk must not jump the ring.
    Hex* neighbours[6];
    const int n = grid->GetNeighbours(*At(10, 14), neighbours);
    for (int i = 0; i < n; ++i)
        neighbours[i]->SetType(HEX_BLOCKED);
    unit->movementRadius = 20;
    int count = -1;
    PathSearch search(*grid);
    EXPECT_EQ(search.GetExpansions(), 0) << "a fresh search has expanded nothing";
    pointer.hovered = At(10, 14);
    EXPECT_EQ(search.FindPath(*unit, At(10, 14), count), PathSearch::NO_MOVE);
    EXPECT_TRUE(unit->path.empty());
    EXPECT_TRUE(grid->GetPathList().empty());
    EXPECT_EQ(Cursor(), grid->GetTexture(HexGrid::TEXTURE_BLOCKED));
    // The open board around the ring never runs out of hexes to try: the search gives up at its bound.
    EXPECT_EQ(search.GetExpansions(), PathSearch::MAX_EXPANSIONS);
}

TEST_F(PathSearchTest, FarTargetsStopAfterTwentyFiveExpansions)
{
    unit->movementRadius = 40;
    PathSearch search(*grid);
    pointer.hovered = At(35, 41);
    int count = -1;
    EXPECT_EQ(search.FindPath(*unit, At(35, 41), count), PathSearch::NO_MOVE);
    EXPECT_EQ(search.GetExpansions(), PathSearch::MAX_EXPANSIONS);
}

TEST_F(PathSearchTest, EnemyZoneStopsTheWalkAtItsFirstHex)
{
    // A wall of zone hexes across the whole board at row 12, defended by the team of the flags given.
    auto wall = [&](bool team0, bool team1) {
        for (int c = 0; c < HexGrid::COLUMNS; ++c) {
            Hex* hex = At(12, c);
            hex->SetType(HEX_DEFENDED);
            hex->defendedByTeam0 = team0;
            hex->defendedByTeam1 = team1;
        }
    };
    int count = -1;
    wall(false, true);
    EXPECT_EQ(Find(At(14, 10), count), PathSearch::IN_RANGE);
    EXPECT_EQ(count, 2);
    ASSERT_EQ(unit->path.size(), 2u);
    EXPECT_EQ(unit->path.front()->row, 12) << "the walk ends on the first zone hex";
    EXPECT_EQ(unit->path.back()->row, 11);

    unit->effects = {EffectType::DEFEND_FREE};
    EXPECT_EQ(Find(At(14, 10), count), PathSearch::IN_RANGE);
    EXPECT_EQ(unit->path.front(), At(14, 10)) << "camouflaged units walk through";
    unit->effects.clear();

    wall(true, true);
    EXPECT_EQ(Find(At(14, 10), count), PathSearch::IN_RANGE);
    EXPECT_EQ(unit->path.front(), At(14, 10)) << "a hex of both teams' zones does not stop";
    wall(true, false);
    EXPECT_EQ(Find(At(14, 10), count), PathSearch::IN_RANGE);
    EXPECT_EQ(unit->path.front(), At(14, 10)) << "its own team's zone does not stop";

    // The same zone stops the other team's units.
    player.team = 1;
    EXPECT_EQ(Find(At(14, 10), count), PathSearch::IN_RANGE);
    EXPECT_EQ(count, 2);
}

TEST_F(PathSearchTest, UnpickableHoveredHexRefusesAMoveInRange)
{
    // The dispatch's second pick can leave an unpickable hex hovered while the search ran for the target.
    int count = -1;
    At(12, 12)->SetType(HEX_OCCUPIED);
    pointer.hovered = At(12, 12);
    EXPECT_EQ(PathSearch(*grid).FindPath(*unit, At(12, 10), count), PathSearch::NO_MOVE);
    EXPECT_EQ(count, 2);
    unit->state = IDLE;
    EXPECT_EQ(PathSearch(*grid).FindPath(*unit, At(12, 10), count), PathSearch::IN_RANGE);
}

TEST_F(PathSearchTest, UnitWithoutAHexHasNoPath)
{
    unit->SetHex(nullptr);
    int count = -1;
    EXPECT_EQ(Find(At(12, 10), count), PathSearch::NO_MOVE);
    EXPECT_TRUE(unit->path.empty());
}

} // namespace
