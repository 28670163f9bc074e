// The board's geometry, picking, types, lists and fades. On the default terrain (cell size 256, side 32768)
// the board is shifted by (32768 - 3990) / 2 = 14389 along x and (32768 - 4032) / 2 = 14368 along z.
#include "BoardFakes.h"

#include "battle/BoardGround.h"
#include "core/GlobalConstants.h"
#include "d3d9/BufferBase.h"
#include "support/TgaFile.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr float k = 55.42562484741211f;

using HexGridTest = BoardTest;

TEST_F(HexGridTest, AnchorsFollowRowsAlongXAndColumnsAlongZ)
{
    struct Case {
        int row, col;
        float x, z;
    };
    // anchorX = (2 row + odd) k - 32 + 14389; anchorZ = 96 col + k + 14368.
    const Case cases[] = {
        {0, 0, 14357.0f, 14423.426f},
        {0, 1, 14412.426f, 14519.426f},
        {1, 0, 14467.852f, 14423.426f},
        {35, 41, 18292.219f, 18359.426f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.row << "," << c.col);
        const Hex* hex = At(c.row, c.col);
        EXPECT_NEAR(hex->anchorX, c.x, 0.002f);
        EXPECT_NEAR(hex->anchorZ, c.z, 0.002f);
        // The fan: centre, six corners, the first corner again; lifted by twice the ground normal's y.
        EXPECT_NEAR(hex->fan[0].x, c.x + k, 0.002f);
        EXPECT_NEAR(hex->fan[0].z, c.z - 32.0f, 0.002f);
        EXPECT_EQ(hex->fan[1], hex->fan[7]);
        EXPECT_NEAR(hex->fan[3].x, c.x + 2.0f * k, 0.002f);
        EXPECT_NEAR(hex->fan[5].z, c.z - 96.0f, 0.002f);
        EXPECT_FLOAT_EQ(hex->fan[4].y, 2.0f);
        EXPECT_FLOAT_EQ(hex->meanHeight, 2.0f);
        EXPECT_NEAR(hex->CentreX(), c.x + k, 0.002f);
    }
    EXPECT_EQ(grid->GetHex(36, 0), nullptr);
    EXPECT_EQ(grid->GetHex(0, 42), nullptr);
    EXPECT_EQ(grid->GetHex(-1, 3), nullptr);
}

class SlopedGround : public BoardGround
{
public:
    float HeightAt(float x, float) const override { return 0.5f * (x - 4000.0f); }
    D3DXVECTOR3 NormalAt(float, float) const override { return D3DXVECTOR3(-0.6f, 0.8f, 0.0f); }
    float GetCellSize() const override { return 100.0f; }
};

TEST_F(HexGridTest, FansFollowTheRegisteredGround)
{
    SlopedGround ground;
    BoardGround::Register(&ground);
    grid->LoadTextures();
    BoardGround::Register(nullptr);
    // Side 12800: offsets (12800 - 3990) / 2 = 4405 along x and (12800 - 4032) / 2 = 4384 along z.
    const Hex* hex = At(2, 3);
    const float x = 5.0f * k - 32.0f + 4405.0f;
    EXPECT_NEAR(hex->anchorX, x, 0.002f);
    EXPECT_NEAR(hex->anchorZ, 288.0f + k + 4384.0f, 0.002f);
    // The corner at the anchor: height 0.5 (x - 4000) plus 2 x 0.8.
    EXPECT_NEAR(hex->fan[1].y, 0.5f * (x - 4000.0f) + 1.6f, 0.01f);
    // The corners lie at x, x + k and x + 2k: two, three and two of the eight points (with the centre).
    const float mean = 0.125f * (3.0f * (0.5f * (x - 4000.0f)) + 3.0f * (0.5f * (x + k - 4000.0f)) +
                                 2.0f * (0.5f * (x + 2.0f * k - 4000.0f))) +
                       1.6f;
    EXPECT_NEAR(hex->meanHeight, mean, 0.01f);
}

TEST_F(HexGridTest, NeighbourRuleMatchesTheGeometry)
{
    for (const auto& [row, col] : {std::pair{5, 4}, std::pair{5, 5}, std::pair{18, 20}, std::pair{18, 21}}) {
        SCOPED_TRACE(testing::Message() << row << "," << col);
        Hex* neighbours[6];
        ASSERT_EQ(grid->GetNeighbours(*At(row, col), neighbours), 6);
        for (Hex* n : neighbours)
            EXPECT_NEAR(n->DistanceTo(*At(row, col)), 110.851f, 0.001f);
    }
    // Two steps straight on, and the hex a "knight's move" away: sqrt(3 k^2 + 96^2) = 192.
    EXPECT_NEAR(At(7, 4)->DistanceTo(*At(5, 4)), 221.70f, 0.01f);
    EXPECT_NEAR(At(6, 5)->DistanceTo(*At(5, 4)), 192.00f, 0.01f);

    // Corners: only the neighbours on the board.
    Hex* neighbours[6];
    ASSERT_EQ(grid->GetNeighbours(*At(0, 0), neighbours), 2);
    EXPECT_EQ(neighbours[0], At(1, 0));
    EXPECT_EQ(neighbours[1], At(0, 1));
    ASSERT_EQ(grid->GetNeighbours(*At(35, 41), neighbours), 2);
    EXPECT_EQ(neighbours[0], At(34, 41));
    EXPECT_EQ(neighbours[1], At(35, 40));
}

TEST_F(HexGridTest, RangesOfWholeHexStepsCoverHexRings)
{
    // 1 + 3n(n + 1) hexes lie within n x 112 up to n = 6; at 7 the straight distance takes in 187, not 169.
    const int expected[] = {7, 19, 37, 61, 91, 127, 187};
    const Hex* centre = At(18, 20);
    for (int n = 1; n <= 7; ++n) {
        int inside = 0;
        for (int r = 0; r < HexGrid::ROWS; ++r) {
            for (int c = 0; c < HexGrid::COLUMNS; ++c)
                inside += At(r, c)->DistanceTo(*centre) <= static_cast<float>(n) * 112.0f ? 1 : 0;
        }
        EXPECT_EQ(inside, expected[n - 1]) << "n = " << n;
    }
}

TEST_F(HexGridTest, TypesDecidePickingAndPathCost)
{
    struct Case {
        HexType type;
        bool pickable;
        int cost;
    };
    const Case cases[] = {{HEX_BLOCKED, false, 260},
                          {HEX_DEFENDED, true, 510},
                          {HEX_DEPLOY_TEAM0, true, 10},
                          {HEX_DEPLOY_TEAM1, true, 10},
                          {HEX_OCCUPIED, false, 310},
                          {HEX_OPEN, true, 10},
                          {7, true, 10}};
    Hex hex;
    EXPECT_FALSE(hex.pickable) << "a hex before the level is applied";
    EXPECT_EQ(hex.type, HEX_BLOCKED);
    for (const Case& c : cases) {
        hex.SetType(c.type);
        hex.SetCost(10);
        EXPECT_EQ(hex.pickable, c.pickable) << c.type;
        EXPECT_EQ(hex.pathCost, c.cost) << c.type;
    }
}

TEST_F(HexGridTest, CentreOfTypeTakesTruncatedMeans)
{
    EXPECT_EQ(grid->CentreOfType(HEX_DEPLOY_TEAM0), nullptr);
    At(0, 0)->SetType(HEX_DEPLOY_TEAM0);
    At(1, 3)->SetType(HEX_DEPLOY_TEAM0);
    EXPECT_EQ(grid->CentreOfType(HEX_DEPLOY_TEAM0), At(0, 1));
    At(4, 9)->SetType(HEX_DEPLOY_TEAM0);
    // Rows (0 + 1 + 4) / 3 = 1, columns (0 + 3 + 9) / 3 = 4.
    EXPECT_EQ(grid->CentreOfType(HEX_DEPLOY_TEAM0), At(1, 4));
}

TEST_F(HexGridTest, ListsTakeHexesByType)
{
    At(1, 1)->SetType(HEX_DEFENDED);
    At(1, 2)->SetType(HEX_BLOCKED);
    At(1, 3)->SetType(HEX_OCCUPIED);
    for (int c = 0; c < 5; ++c)
        grid->AddToList(At(1, c));
    grid->AddToList(nullptr);
    EXPECT_EQ(grid->GetPathList(), (std::vector<Hex*>{At(1, 0), At(1, 4)}));
    EXPECT_EQ(grid->GetZoneList(), (std::vector<Hex*>{At(1, 1)}));
    EXPECT_EQ(At(1, 2)->fadeState, FADE_IN) << "faded in even when no list takes it";

    // Flagging a hex twice for one team lists it once and makes it a pickable zone hex.
    At(2, 2)->SetType(HEX_BLOCKED);
    grid->FlagDefendedTeam0(At(2, 2));
    grid->FlagDefendedTeam0(At(2, 2));
    grid->FlagDefendedTeam1(At(2, 2));
    EXPECT_EQ(grid->GetTeam0DefendedList().size(), 1u);
    EXPECT_EQ(grid->GetTeam1DefendedList().size(), 1u);
    EXPECT_EQ(At(2, 2)->type, HEX_DEFENDED);
    EXPECT_TRUE(At(2, 2)->pickable);

    FakePointer pointer;
    pointer.hovered = At(9, 9);
    At(5, 5)->SetType(HEX_DEPLOY_TEAM1);
    At(6, 6)->SetType(HEX_DEPLOY_TEAM1);
    grid->ResetLists(HEX_DEPLOY_TEAM1, true);
    EXPECT_EQ(pointer.hovered, nullptr);
    EXPECT_EQ(grid->GetPathList(), (std::vector<Hex*>{At(5, 5), At(6, 6)}));
}

TEST_F(HexGridTest, PickingFindsTheHexUnderTheRay)
{
    FakePointer pointer;
    Hex* hex = At(5, 4);
    pointer.AimAt(hex->CentreX(), hex->CentreZ());
    EXPECT_EQ(grid->PickHex(5, 4), hex);
    EXPECT_EQ(grid->PickHex(5, 5), nullptr);
    EXPECT_EQ(grid->PickHex(36, 5), nullptr);
    // The length of the direction does not matter.
    pointer.direction = D3DXVECTOR3(0.0f, -7.0f, 0.0f);
    EXPECT_EQ(grid->PickHex(5, 4), hex);
    // The fans lie at height 2: a ray from below pointing down misses, one pointing up hits.
    pointer.origin.y = 0.0f;
    EXPECT_EQ(grid->PickHex(5, 4), nullptr);
    pointer.direction = D3DXVECTOR3(0.0f, 1.0f, 0.0f);
    EXPECT_EQ(grid->PickHex(5, 4), hex);
}

// Slanted rays from a camera's height, aimed at centres, corners and edge midpoints of hexes on a sloped board:
// the quick test around each fan never turns away a ray that one of its six triangles takes.
TEST_F(HexGridTest, PickingAgreesWithEveryTriangleForSlantedRays)
{
    SlopedGround ground;
    BoardGround::Register(&ground);
    grid->LoadTextures();
    BoardGround::Register(nullptr);
    FakePointer pointer;
    const D3DXVECTOR3 eyes[] = {{3000.0f, 2500.0f, 3000.0f}, {9000.0f, 1200.0f, 4000.0f}, {5000.0f, 900.0f, 9500.0f}};
    int hits = 0;
    for (const D3DXVECTOR3& eye : eyes) {
        for (int r = 1; r < HexGrid::ROWS; r += 7) {
            for (int c = 0; c < HexGrid::COLUMNS; c += 9) {
                for (int point = 0; point < 4; ++point) {
                    const Hex* aimed = At(r, c);
                    const D3DXVECTOR3 spot = point < 3 ? aimed->fan[point * 2] : (aimed->fan[3] + aimed->fan[4]) * 0.5f;
                    pointer.origin = eye;
                    pointer.direction = spot - eye;
                    for (int hr = r - 2; hr <= r + 2; ++hr) {
                        for (int hc = c - 2; hc <= c + 2; ++hc) {
                            Hex* hex = grid->GetHex(hr, hc);
                            if (!hex)
                                continue;
                            bool any = false;
                            for (int i = 0; i < 6; ++i)
                                any = any ||
                                      D3DXIntersectTri(&hex->fan[0], &hex->fan[1 + i], &hex->fan[2 + i],
                                                       &pointer.origin, &pointer.direction, nullptr, nullptr, nullptr);
                            EXPECT_EQ(grid->PickHex(hr, hc) != nullptr, any) << hr << "," << hc;
                            hits += any ? 1 : 0;
                        }
                    }
                }
            }
        }
    }
    // Every aimed point lies on its own fan.
    EXPECT_GE(hits, 3 * 5 * 5 * 4);
}

TEST_F(HexGridTest, HoveringMatchesThePickableFlagAndKeepsTheLastHitOnAMiss)
{
    FakeSession session;
    FakePointer pointer;
    Hex* occupied = At(10, 10);
    occupied->SetType(HEX_OCCUPIED);
    pointer.AimAt(occupied->CentreX(), occupied->CentreZ());
    pointer.hovered = At(3, 3);
    grid->PickHoveredHex(true);
    EXPECT_EQ(pointer.hovered, At(3, 3)) << "an unpickable hex is not taken by the pickable scan";
    grid->PickHoveredHex(false);
    EXPECT_EQ(pointer.hovered, occupied);

    pointer.AimAt(-5000.0f, -5000.0f);
    grid->PickHoveredHex(true);
    EXPECT_EQ(pointer.hovered, occupied) << "off the board the hovered hex stays";

    // A hovered interface button that shows its name takes the pointer away from the board in battle only.
    pointer.AimAt(At(4, 4)->CentreX(), At(4, 4)->CentreZ());
    pointer.showText = true;
    session.inBattle = false;
    grid->PickHoveredHex(true);
    EXPECT_EQ(pointer.hovered, At(4, 4));
    session.inBattle = true;
    grid->PickHoveredHex(true);
    EXPECT_EQ(pointer.hovered, nullptr);
    grid->HoverHexOfType(HEX_OPEN);
    EXPECT_EQ(pointer.hovered, nullptr);
    // So does the HUD under the pointer, named button or not: the hex behind it is not lit.
    pointer.showText = false;
    pointer.overHud = true;
    pointer.hovered = At(3, 3);
    grid->PickHoveredHex(true);
    EXPECT_EQ(pointer.hovered, nullptr);
    pointer.hovered = At(3, 3);
    grid->HoverHexOfType(HEX_OPEN);
    EXPECT_EQ(pointer.hovered, nullptr);
    pointer.overHud = false;

    // Hovering by type lists the hex by its current type.
    pointer.showText = false;
    At(4, 4)->defaultType = HEX_DEPLOY_TEAM0;
    At(4, 4)->SetType(HEX_DEFENDED);
    grid->HoverHexOfType(HEX_OPEN);
    EXPECT_EQ(pointer.hovered, nullptr) << "no hex of that type under the ray";
    grid->HoverHexOfDefaultType(HEX_DEPLOY_TEAM0);
    EXPECT_EQ(pointer.hovered, At(4, 4));
    EXPECT_EQ(grid->GetZoneList(), (std::vector<Hex*>{At(4, 4)}));
}

TEST_F(HexGridTest, DefendedZonesCountOnlyUnitsThatReachTheHex)
{
    // Players outlive nothing that names them: the session goes first.
    Player first, second;
    FakeSession session;
    first.team = 0;
    second.team = 1;
    session.players[0] = &first;
    session.players[1] = &second;
    FakeUnit* enemy = Deploy(second, 10, 14);
    FakeUnit* ally = Deploy(first, 10, 11);
    enemy->defendRadius = 2;
    ally->defendRadius = 1;

    // (10, 10): the enemy stands 384 away, beyond 2 x 64 + 10 = 138, however near the ally stands; the ally
    // next to it does not reach it with its own radius 1 (110.85 > 74).
    EXPECT_TRUE(At(10, 10)->UnitsWithinRadius().empty());
    // (10, 12): the enemy 2 steps away along the column (192 > 138) is out; (10, 13) is next to it.
    EXPECT_TRUE(At(10, 12)->UnitsWithinRadius().empty());
    EXPECT_EQ(At(10, 13)->UnitsWithinRadius(), (std::vector<BoardUnit*>{enemy}));
    enemy->defendRadius = 4;
    // Radius 4: 266 reaches 192 (10, 12) and the ally at (10, 11) adds no second entry.
    EXPECT_EQ(At(10, 12)->UnitsWithinRadius(), (std::vector<BoardUnit*>{enemy}));
    // A dead unit has left its hex and covers nothing.
    enemy->SetHex(nullptr);
    EXPECT_TRUE(At(10, 13)->UnitsWithinRadius().empty());
}

TEST_F(HexGridTest, AGoneBoardLeavesNoHoveredHex)
{
    FakePointer pointer;
    Hex elsewhere;
    pointer.hovered = &elsewhere;
    auto other = std::make_unique<HexGrid>();
    other.reset();
    EXPECT_EQ(pointer.hovered, &elsewhere) << "a hex of another board stays";
    pointer.hovered = At(35, 41);
    HexGrid::SetCurrent(nullptr);
    grid.reset();
    EXPECT_EQ(pointer.hovered, nullptr);
}

TEST_F(HexGridTest, FadesStopAtTheirEnds)
{
    Hex& hex = *At(3, 3);
    hex.fadeState = FADE_IN;
    hex.UpdateFade(0.05f);
    EXPECT_FLOAT_EQ(hex.alpha, 0.25f);
    EXPECT_EQ(hex.fadeState, FADE_IN);
    hex.UpdateFade(0.05f);
    EXPECT_FLOAT_EQ(hex.alpha, 0.35f);
    EXPECT_EQ(hex.fadeState, FADE_STEADY);

    hex.fadeState = FADE_OUT;
    hex.UpdateFade(0.1f);
    EXPECT_NEAR(hex.alpha, 0.15f, 1e-6f);
    hex.UpdateFade(0.1f);
    EXPECT_EQ(hex.alpha, 0.0f);
    EXPECT_EQ(hex.fadeState, FADE_STEADY);

    // Pulsing hexes share one direction: falling first, to the floor 0.15, then rising to the target.
    Hex& a = *At(4, 4);
    Hex& b = *At(4, 5);
    a.fadeState = b.fadeState = FADE_PULSE;
    a.alpha = 0.2f;
    b.alpha = 0.3f;
    a.UpdateFade(0.05f); // 0.1 < 0.15: floor, now rising
    b.UpdateFade(0.05f); // rises with it: 0.3 + 0.25 > 0.35, target, now falling
    EXPECT_FLOAT_EQ(a.alpha, 0.15f);
    EXPECT_FLOAT_EQ(b.alpha, 0.35f);
    // b turned the shared direction to falling: a drops below the floor at once and is held there.
    a.UpdateFade(0.01f);
    EXPECT_FLOAT_EQ(a.alpha, 0.15f);
}

// Fans, colours and draws on the null device.
class HexDrawTest : public BoardTest
{
protected:
    D3DCOLOR ColourOf(Hex& hex, int vertex)
    {
        void* data = nullptr;
        EXPECT_EQ(hex.vertexBuffer->Lock(0, 0, &data, D3DLOCK_READONLY), D3D_OK);
        const auto* v = static_cast<const Hex::FanVertex*>(data);
        const D3DCOLOR colour = v[vertex].colour;
        hex.vertexBuffer->Unlock();
        return colour;
    }
};

TEST_F(HexDrawTest, FadeWritesItsFinalAlphaIntoTheFan)
{
    Hex& hex = *At(2, 2);
    ASSERT_NE(hex.vertexBuffer, nullptr);
    EXPECT_EQ(ColourOf(hex, 0), 0x00FFFFFFu);
    hex.fadeState = FADE_IN;
    hex.UpdateFade(0.05f);
    EXPECT_EQ(ColourOf(hex, 3), 0x40FFFFFFu); // trunc(0.25 x 255 + 0.5) = 64
    hex.UpdateFade(0.05f);
    // The step that reaches 0.35 also ends the fade; the fan shows trunc(0.35 x 255 + 0.5) = 89.
    for (int v = 0; v < Hex::FAN_POINTS; ++v)
        EXPECT_EQ(ColourOf(hex, v), 0x59FFFFFFu) << v;
    // Steady hexes are not rewritten.
    hex.alpha = 0.9f;
    hex.WriteAlpha();
    EXPECT_EQ(ColourOf(hex, 0), 0x59FFFFFFu);
    hex.fadeState = FADE_IN;
    hex.alpha = 1.0f;
    hex.targetAlpha = 1.0f;
    hex.WriteAlpha();
    EXPECT_EQ(ColourOf(hex, 7), 0xFFFFFFFFu);
}

// A unit's hex is set fading in every frame; once at its target its fan holds what it shows and is not written
// again (a buffer written to is sent to the device again), nor while a fade's step leaves the alpha byte as it was.
TEST_F(HexDrawTest, AHexHeldAtItsTargetLeavesItsFanUnwritten)
{
    Hex& hex = *At(5, 5);
    auto* buffer = dynamic_cast<BufferBase*>(hex.vertexBuffer);
    ASSERT_NE(buffer, nullptr);
    UINT begin = 0;
    UINT end = 0;
    buffer->TakeDirtyRange(&begin, &end);
    hex.fadeState = FADE_IN;
    hex.UpdateFade(0.05f); // 0.25
    EXPECT_TRUE(buffer->TakeDirtyRange(&begin, &end));
    hex.UpdateFade(0.05f); // 0.35, the target
    EXPECT_TRUE(buffer->TakeDirtyRange(&begin, &end));
    for (int frame = 0; frame < 10; ++frame) {
        hex.fadeState = FADE_IN;
        hex.UpdateFade(0.016f);
        EXPECT_FALSE(buffer->TakeDirtyRange(&begin, &end)) << frame;
    }
    EXPECT_EQ(ColourOf(hex, 4), 0x59FFFFFFu);
    // A step of a thousandth of a second out: 0.35 - 0.002 = 0.348, whose byte is 89 still.
    hex.fadeState = FADE_OUT;
    hex.UpdateFade(0.001f);
    EXPECT_FALSE(buffer->TakeDirtyRange(&begin, &end));
    hex.UpdateFade(0.1f); // 0.148: byte 38
    EXPECT_TRUE(buffer->TakeDirtyRange(&begin, &end));
    EXPECT_EQ(ColourOf(hex, 4), 0x26FFFFFFu);
}

// A hex whose fan buffer could not be made still takes part in the rules; it is only never drawn.
TEST_F(HexDrawTest, HexWithoutAFanBufferFadesAndIsSkipped)
{
    Hex hex;
    hex.alpha = 0.3f;
    hex.fadeState = FADE_IN;
    hex.UpdateFade(0.1f);
    hex.WriteAlpha();
    EXPECT_FLOAT_EQ(hex.alpha, 0.35f);
    Null()->ResetCounters();
    hex.Draw(device);
    EXPECT_EQ(Null()->DrawCount(), 0u);
}

TEST_F(HexDrawTest, RenderDrawsEveryListedHexAndEmptiesTheLists)
{
    FakePointer pointer;
    NullDevice* null = Null();
    for (int c = 0; c < 4; ++c)
        At(8, c)->alpha = 0.35f;
    grid->AddToList(At(8, 0));
    for (int i = 0; i < 4; ++i)
        grid->AddTeam1Highlight(At(8, 1));
    grid->AddTeam0Highlight(At(8, 2));
    grid->FlagDefendedTeam0(At(8, 3));
    At(9, 9)->alpha = 0.0f;
    grid->AddTeam0Highlight(At(9, 9)); // invisible: not drawn
    null->ResetCounters();
    null->KeepDraws(true);
    grid->Render();
    null->KeepDraws(false);
    // Seven fans of six triangles, each list's in one draw: the path, team 0, team 1's hex four times over, the
    // defended zone.
    EXPECT_EQ(null->PrimitiveCount(), 42u);
    ASSERT_EQ(null->Draws().size(), 4u);
    const UINT triangles[] = {6, 6, 24, 6};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(null->Draws()[i].primitiveType, D3DPT_TRIANGLELIST) << i;
        EXPECT_EQ(null->Draws()[i].primitiveCount, triangles[i]) << i;
    }
    EXPECT_NE(null->Draws()[1].texture0, null->Draws()[2].texture0) << "each list with its own picture";
    EXPECT_TRUE(grid->GetPathList().empty());
    EXPECT_TRUE(grid->GetTeam0List().empty());
    EXPECT_TRUE(grid->GetTeam1List().empty());
    EXPECT_TRUE(grid->GetTeam0DefendedList().empty());
    EXPECT_EQ(At(8, 3)->defendedByTeam0, 0) << "a zone lasts one frame unless flagged again";
    DWORD z = 0;
    device->GetRenderState(D3DRS_ZENABLE, &z);
    EXPECT_EQ(z, static_cast<DWORD>(TRUE));

    // A hovered zone hex whose flags the render has just cleared shows only the mouse-over texture.
    pointer.hovered = At(8, 3);
    null->ResetCounters();
    grid->Render();
    EXPECT_EQ(null->DrawCount(), 1u);
    EXPECT_EQ(At(8, 3)->fadeState, FADE_IN);
    // An occupied hovered hex, likewise; open ground shows the cursor texture first.
    At(8, 3)->SetType(HEX_OCCUPIED);
    null->ResetCounters();
    grid->Render();
    EXPECT_EQ(null->DrawCount(), 1u);
    At(8, 3)->SetType(HEX_OPEN);
    null->ResetCounters();
    grid->Render();
    EXPECT_EQ(null->DrawCount(), 2u);
}

// The highlights are signs on the board: a fogged level's fog must not wash them towards its colour. The fog
// goes back on for what the scene draws after them.
TEST_F(HexDrawTest, HighlightsAreDrawnClearOfTheLevelsFog)
{
    NullDevice* null = Null();
    At(8, 0)->alpha = 0.35f;
    At(8, 1)->alpha = 0.35f;
    grid->AddToList(At(8, 0));
    grid->AddTeam1Highlight(At(8, 1));
    device->SetRenderState(D3DRS_FOGENABLE, TRUE);
    null->ResetCounters();
    null->KeepDraws(true);
    grid->Render();
    null->KeepDraws(false);
    ASSERT_EQ(null->Draws().size(), 2u);
    for (const NullDevice::DrawRecord& draw : null->Draws())
        EXPECT_EQ(draw.fogEnable, static_cast<DWORD>(FALSE));
    DWORD fog = FALSE;
    device->GetRenderState(D3DRS_FOGENABLE, &fog);
    EXPECT_EQ(fog, static_cast<DWORD>(TRUE));
}

TEST_F(HexDrawTest, CursorTextureFollowsTheMode)
{
    // Each slot has a texture of its own name.
    EXPECT_NE(grid->GetTexture(HexGrid::TEXTURE_MOVEMENT), grid->GetTexture(HexGrid::TEXTURE_BLOCKED));
    EXPECT_NE(grid->GetTexture(HexGrid::TEXTURE_MOVEMENT), grid->GetTexture(HexGrid::TEXTURE_OUT_OF_RANGE));
    const TextureRecord* start = grid->GetTexture(HexGrid::TEXTURE_CURSOR);
    EXPECT_EQ(start, grid->GetTexture(HexGrid::TEXTURE_MOUSE_OVER));
    grid->SetTextureMode(HexGrid::CURSOR_OUT_OF_RANGE);
    EXPECT_EQ(grid->GetTexture(HexGrid::TEXTURE_CURSOR), grid->GetTexture(HexGrid::TEXTURE_OUT_OF_RANGE));
    grid->SetTextureMode(HexGrid::CURSOR_MOVEMENT);
    EXPECT_EQ(grid->GetTexture(HexGrid::TEXTURE_CURSOR), grid->GetTexture(HexGrid::TEXTURE_MOVEMENT));
    grid->SetTextureMode(7);
    EXPECT_EQ(grid->GetTexture(HexGrid::TEXTURE_CURSOR), grid->GetTexture(HexGrid::TEXTURE_MOVEMENT));
    grid->SetTextureMode(HexGrid::CURSOR_BLOCKED);
    EXPECT_EQ(grid->GetTexture(HexGrid::TEXTURE_CURSOR), grid->GetTexture(HexGrid::TEXTURE_BLOCKED));
}

} // namespace

// The deployment screen asks a player to "Drag Units Onto Green Hexes": the zones are drawn with the movement
// overlay of the default data, so that overlay is green where it is seen (weighted by its alpha).
TEST(DefaultHexOverlays, TheMovementOverlayThatShowsTheZonesIsGreen)
{
    const TgaPicture overlay = ReadTga32("Data/Textures/Hex Tile Textures/HexMovement.tga");
    ASSERT_FALSE(overlay.argb.empty()) << "the default Data tree is missing";
    double red = 0.0, green = 0.0, blue = 0.0, weight = 0.0;
    for (uint32_t p : overlay.argb) {
        const double a = (p >> 24) / 255.0;
        red += a * ((p >> 16) & 0xFF);
        green += a * ((p >> 8) & 0xFF);
        blue += a * (p & 0xFF);
        weight += a;
    }
    ASSERT_GT(weight, 0.0);
    red /= weight;
    green /= weight;
    blue /= weight;
    EXPECT_GT(green, red + 50.0) << red << " " << green << " " << blue;
    EXPECT_GT(green, blue + 50.0) << red << " " << green << " " << blue;
}

// Units and players ask for the board on show: a board that is gone must not be handed out, and another board's
// going leaves it alone.
TEST(HexGridOnShow, ABoardThatGoesStopsBeingTheOneOnShowAndOnlyThatOne)
{
    auto shown = std::make_unique<HexGrid>();
    auto other = std::make_unique<HexGrid>();
    HexGrid::SetCurrent(shown.get());
    other.reset();
    EXPECT_EQ(HexGrid::Current(), shown.get());
    shown.reset();
    EXPECT_EQ(HexGrid::Current(), nullptr);
}
