// Whole battles between random armies of the default classes: they end, they keep the rules' invariants on
// the way, a seed replays the same battle, and the game's own turn flow and area share, driven through the
// simulator's session, do what the game does.
#include "BattleSimulator.h"

#include "battle/Hex.h"
#include "battle/Player.h"
#include "battle/Unit.h"
#include "core/DataManager.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <utility>

namespace {

class BattleSimulatorTest : public ::testing::Test
{
protected:
    void SetUp() override { Make(BattleOptions()); }

    void Make(const BattleOptions& options)
    {
        simulator.reset();
        simulator = std::make_unique<BattleSimulator>(options);
        ASSERT_TRUE(simulator->IsReady()) << simulator->GetError();
    }

    int Entry(const char* file) const { return simulator->GetRequisition().IndexOfFile(file); }

    // A deployed battle of militia only (seed 2 fights on the farm), left unplayed.
    void DeployMilitia(size_t first, size_t second)
    {
        const int militia = Entry("Militia.txt");
        simulator->Deploy(2, std::vector<int>(first, militia), std::vector<int>(second, militia), result);
        ASSERT_EQ(simulator->GetUnits().size(), first + second);
    }

    Unit& UnitAt(size_t index) const { return *simulator->GetUnits()[index]; }

    std::unique_ptr<BattleSimulator> simulator;
    BattleResult result;
};

} // namespace

TEST_F(BattleSimulatorTest, TheRosterIsTheDeploymentScreens)
{
    const Requisition& roster = simulator->GetRequisition();
    ASSERT_EQ(roster.GetEntries().size(), 11u);
    // The prices of the deployment screen: three classes at 25, five at 50, three at 75.
    const struct {
        const char* file;
        int cost;
    } prices[] = {{"Militia.txt", 25}, {"Scout.txt", 25},   {"Mage.txt", 25},    {"Pikeman.txt", 50},
                  {"Archer.txt", 50},  {"Rogue.txt", 50},   {"Healer.txt", 50},  {"CombatMage.txt", 50},
                  {"Knight.txt", 75},  {"Paladin.txt", 75}, {"Assassin.txt", 75}};
    for (const auto& price : prices) {
        const int index = roster.IndexOfFile(price.file);
        ASSERT_GE(index, 0) << price.file;
        EXPECT_EQ(roster.GetEntries()[static_cast<size_t>(index)].cost, price.cost) << price.file;
    }
}

TEST_F(BattleSimulatorTest, TwentyRandomBattlesEndCleanly)
{
    int wins[2] = {0, 0};
    Commander::Counters total;
    int areas = 0;
    int ownTurnDeaths = 0;
    for (unsigned seed = 1; seed <= 20; ++seed) {
        const BattleResult battle = simulator->Play(seed);
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        EXPECT_TRUE(battle.problem.empty()) << battle.problem;
        EXPECT_TRUE(battle.ended);
        EXPECT_GT(battle.turns, 0);
        // The loser has nobody left; the winner somebody.
        if (battle.winner >= 0) {
            ++wins[battle.winner];
            EXPECT_EQ(battle.survivors[1 - battle.winner], 0);
            EXPECT_GT(battle.survivors[battle.winner], 0);
        }
        for (int k = 0; k < Commander::KIND_COUNT; ++k)
            total.commands[k] += battle.counters.commands[k];
        areas += battle.areaCasts;
        ownTurnDeaths += battle.ownTurnDeaths;
        // Each army spent its whole requisition on three to eight units.
        for (const auto& army : battle.armies) {
            EXPECT_GE(army.size(), 3u);
            EXPECT_LE(army.size(), 8u);
        }
    }
    EXPECT_GT(wins[0], 0);
    EXPECT_GT(wins[1], 0);
    // Every kind of command was given, and area abilities reached units.
    for (int k = 0; k < Commander::KIND_COUNT; ++k)
        EXPECT_GT(total.commands[k], 0) << "command kind " << k;
    EXPECT_GT(areas, 0);
    // Some casters fell to their own area abilities, and the battles still went on to their ends.
    EXPECT_GT(ownTurnDeaths, 0);
}

TEST_F(BattleSimulatorTest, ASeedReplaysItsBattle)
{
    const BattleResult once = simulator->Play(5);
    const BattleResult other = simulator->Play(6);
    const BattleResult again = simulator->Play(5);
    EXPECT_EQ(once.digest, again.digest);
    EXPECT_EQ(once.events, again.events);
    EXPECT_EQ(once.turns, again.turns);
    EXPECT_EQ(once.frames, again.frames);
    EXPECT_EQ(once.winner, again.winner);
    EXPECT_EQ(once.armies[0], again.armies[0]);
    EXPECT_GT(once.events, 100);
    EXPECT_NE(once.digest, other.digest);
}

TEST_F(BattleSimulatorTest, TheCountdownGivesTheTurnToTheLowestInitiative)
{
    ASSERT_NO_FATAL_FAILURE(DeployMilitia(1, 1));
    Unit& fast = UnitAt(0);
    Unit& slow = UnitAt(1);
    TurnFlow& flow = simulator->GetTurnFlow();
    SimulatedSession& session = simulator->GetSession();
    // Nobody holds the turn before the first request, and the first is guarded like any other.
    ASSERT_TRUE(session.IsTurnActive());
    ASSERT_EQ(session.GetActiveUnit(), nullptr);
    session.RequestNextTurn();
    EXPECT_TRUE(session.IsTurnActive()) << "1.5 s have not passed since the battle's start";
    DataManager::Get()->AdvanceTime(1.5f);
    session.RequestNextTurn();
    ASSERT_FALSE(session.IsTurnActive());
    fast.RulesForSetUp().turn.initiative = 3;
    fast.RulesForSetUp().stats.speed = 25; // trunc(-2.5): 2 a step
    fast.RulesForSetUp().turn.waitTimer = 0.0f;
    slow.RulesForSetUp().turn.initiative = 2;
    slow.RulesForSetUp().stats.speed = 10; // 1 a step
    slow.RulesForSetUp().turn.waitTimer = 5.0f;

    flow.Step();
    EXPECT_EQ(fast.Rules().turn.initiative, 1);
    EXPECT_EQ(slow.Rules().turn.initiative, 1);
    EXPECT_EQ(session.GetActiveUnit(), nullptr);
    flow.Step();
    // Both reach 0 (the fast one is held at 0); the one that has waited longer goes first.
    EXPECT_EQ(fast.Rules().turn.initiative, 0);
    EXPECT_EQ(slow.Rules().turn.initiative, 0);
    ASSERT_EQ(session.GetActiveUnit(), &slow);
    EXPECT_TRUE(session.IsTurnActive());
    EXPECT_EQ(session.GetTurns(), 1);
    EXPECT_FALSE(slow.Rules().turn.waiting);
    EXPECT_EQ(simulator->GetPlayer(1)->GetSelectedUnit(), &slow);

    // End Turn within 1.5 s of the last accepted request does nothing; at 1.5 s it ends the turn.
    DataManager::Get()->AdvanceTime(1.0f);
    session.RequestNextTurn();
    EXPECT_TRUE(session.IsTurnActive());
    DataManager::Get()->AdvanceTime(0.5f);
    session.RequestNextTurn();
    EXPECT_FALSE(session.IsTurnActive());
    // The turn ends with all its action points unspent: 150 more initiative; the other unit is at 0 and goes.
    flow.Step();
    EXPECT_EQ(slow.Rules().turn.initiative, 150 - 1);
    EXPECT_EQ(session.GetActiveUnit(), &fast);
    EXPECT_EQ(session.GetTurns(), 2);
}

TEST_F(BattleSimulatorTest, AreaAbilitiesShareTheirAmountAmongTheUnitsInTheSquare)
{
    ASSERT_NO_FATAL_FAILURE(DeployMilitia(2, 5));
    Unit& caster = UnitAt(0);
    Unit& outside = UnitAt(1);
    HexGrid& grid = *simulator->GetGrid();
    // Open ground of the farm around row 10, column 20; the caster stands well away.
    caster.SetPosition(20, 20);
    outside.SetPosition(12, 20);
    const int square[5][2] = {{10, 20}, {9, 19}, {11, 21}, {10, 21}, {9, 20}};
    for (size_t i = 0; i < 5; ++i)
        UnitAt(2 + i).SetPosition(square[i][0], square[i][1]);
    for (Unit* unit : simulator->GetUnits()) {
        // A holy resistance of 101 turns the harm into healing exactly, without the resistance's roll.
        unit->RulesForSetUp().attributes.holyResistance = 101;
        unit->RulesForSetUp().stats.health = 50;
    }
    caster.RulesForSetUp().attributes.criticalChance = 0;
    caster.RulesForSetUp().command.abilityTarget = grid.GetHex(10, 20);
    SpellDefinition burst;
    burst.name = "Test Burst";
    burst.amount = -9;
    burst.areaRadius = 2;
    burst.range = 15;
    burst.target = "ENEMY";
    burst.effectType = EffectType::HEALTH;
    burst.school = SpellSchool::HOLY;
    burst.castTime = 0.0f;

    // Five units in the square: the amount is divided by 3 (not 5), -3 each, healing 3.
    simulator->GetSession().ApplyAreaEffect(&caster, burst);
    for (size_t i = 2; i < 7; ++i)
        EXPECT_EQ(UnitAt(i).Rules().stats.health, 53) << i;
    // Row 12 is two rows from the centre: outside a square of radius 2.
    EXPECT_EQ(outside.Rules().stats.health, 50);
    EXPECT_EQ(caster.Rules().stats.health, 50);
    EXPECT_EQ(burst.amount, -9);

    // Two units left in the square: -9 / 2 is -4, truncated toward zero.
    for (size_t i = 4; i < 7; ++i)
        UnitAt(i).SetPosition(30, 17 + static_cast<int>(i));
    simulator->GetSession().ApplyAreaEffect(&caster, burst);
    EXPECT_EQ(UnitAt(2).Rules().stats.health, 57);
    EXPECT_EQ(UnitAt(3).Rules().stats.health, 57);
    EXPECT_EQ(UnitAt(4).Rules().stats.health, 53);
    EXPECT_EQ(simulator->GetSession().GetAreaCasts(), 2);
}

TEST_F(BattleSimulatorTest, InvariantsCatchABrokenBoard)
{
    ASSERT_NO_FATAL_FAILURE(DeployMilitia(1, 1));
    Unit& unit = UnitAt(0);
    ASSERT_EQ(simulator->CheckInvariants(), "");

    const int full = unit.Rules().stats.maxHealth;
    unit.RulesForSetUp().stats.health = 0;
    EXPECT_NE(simulator->CheckInvariants().find("lives with health 0 of " + std::to_string(full)), std::string::npos);
    unit.RulesForSetUp().stats.health = full;

    unit.RulesForSetUp().turn.alive = false;
    EXPECT_NE(simulator->CheckInvariants().find("dead by its state but not by its flag"), std::string::npos);
    unit.RulesForSetUp().turn.alive = true;

    Hex* empty = simulator->GetGrid()->GetHex(10, 20);
    empty->SetType(HEX_OCCUPIED);
    EXPECT_NE(simulator->CheckInvariants().find("row 10, column 20 is occupied by nobody"), std::string::npos);
    empty->SetType(empty->defaultType);

    // A second unit on the same hex.
    UnitAt(1).SetPosition(unit.GetHex()->row, unit.GetHex()->column);
    EXPECT_FALSE(simulator->CheckInvariants().empty());
}

TEST_F(BattleSimulatorTest, StuckBattlesAreReportedWithTheirSeed)
{
    BattleOptions options;
    options.countdownLimit = 50;
    ASSERT_NO_FATAL_FAILURE(Make(options));
    // Nobody counts down: no unit ever takes a turn.
    ASSERT_NO_FATAL_FAILURE(DeployMilitia(2, 2));
    for (Unit* unit : simulator->GetUnits()) {
        unit->RulesForSetUp().stats.speed = 0;
        unit->RulesForSetUp().turn.initiative = 50;
    }
    simulator->Run(result);
    EXPECT_EQ(result.seed, 2u);
    EXPECT_FALSE(result.ended);
    EXPECT_EQ(result.winner, -1);
    EXPECT_NE(result.problem.find("no unit took the turn"), std::string::npos) << result.problem;

    options = BattleOptions();
    options.turnLimit = 3;
    ASSERT_NO_FATAL_FAILURE(Make(options));
    const BattleResult limited = simulator->Play(9);
    EXPECT_EQ(limited.problem, "still going after 3 turns");
    EXPECT_EQ(limited.turns, 3);

    options = BattleOptions();
    options.turnFrameLimit = 2;
    ASSERT_NO_FATAL_FAILURE(Make(options));
    const BattleResult slow = simulator->Play(9);
    EXPECT_EQ(slow.problem.rfind("turn ", 0), 0u) << slow.problem;
    EXPECT_NE(slow.problem.find(" never ended (the unit stays in state "), std::string::npos) << slow.problem;
}

TEST_F(BattleSimulatorTest, ArmiesStandInTheirOwnZonesOfTheSeedsLevel)
{
    const int knight = Entry("Knight.txt");
    const int scout = Entry("Scout.txt");
    // Odd seeds fight in the winter, even ones on the farm.
    simulator->Deploy(3, {knight, scout, scout}, {scout, scout, scout, scout, scout}, result);
    EXPECT_EQ(result.level, "winter_wonderland.txt");
    ASSERT_EQ(simulator->GetUnits().size(), 8u);
    std::set<const Hex*> places;
    for (size_t i = 0; i < 8; ++i) {
        const Unit& unit = UnitAt(i);
        const int team = i < 3 ? 0 : 1;
        ASSERT_NE(unit.GetHex(), nullptr);
        EXPECT_EQ(unit.Rules().owner, simulator->GetPlayer(team));
        EXPECT_EQ(unit.GetHex()->defaultType, team == 0 ? HEX_DEPLOY_TEAM0 : HEX_DEPLOY_TEAM1) << i;
        places.insert(unit.GetHex());
    }
    EXPECT_EQ(places.size(), 8u);
    EXPECT_EQ(UnitAt(0).Rules().name, "Knight");
    EXPECT_EQ(simulator->GetTurnFlow().GetOrder().GetEntries().size(), 8u);
    EXPECT_EQ(simulator->CheckInvariants(), "");
    simulator->Deploy(4, {knight}, {knight}, result);
    EXPECT_EQ(result.level, "Farm.txt");
}

TEST_F(BattleSimulatorTest, MovesWalkAroundWalls)
{
    ASSERT_NO_FATAL_FAILURE(DeployMilitia(1, 1));
    HexGrid& grid = *simulator->GetGrid();
    // Open ground between the zones, with a wall down column 11 from row 5 to row 15.
    for (int r = 0; r < HexGrid::ROWS; ++r) {
        for (int c = 5; c <= 36; ++c) {
            Hex* hex = grid.GetHex(r, c);
            hex->defaultType = c == 11 && r >= 5 && r <= 15 ? HEX_BLOCKED : HEX_OPEN;
            hex->SetType(hex->defaultType);
        }
    }
    Commander& commander = simulator->GetCommander();
    const std::vector<int> steps = commander.WalkingSteps(*grid.GetHex(10, 10));
    const auto at = [&](int r, int c) { return steps[static_cast<size_t>(r * HexGrid::COLUMNS + c)]; };
    EXPECT_EQ(at(10, 10), 0);
    EXPECT_EQ(at(11, 10), 1);
    EXPECT_EQ(at(10, 11), Commander::kUnreachable);
    // Up column 10 to row 5, over the wall's end at (4, 11), down again: 6 + 1 + 5.
    EXPECT_EQ(at(4, 11), 6);
    EXPECT_EQ(at(10, 12), 12);
    EXPECT_EQ(at(6, 14), 9);
    EXPECT_EQ(at(10, 14), 13);
    // Round the bottom end instead: 6 down, then across.
    EXPECT_EQ(at(16, 11), 7);
    // A unit's hex is a wall too.
    const Hex* home = UnitAt(0).GetHex();
    EXPECT_EQ(at(home->row, home->column), Commander::kUnreachable);
}

TEST_F(BattleSimulatorTest, ThePointerIsFoundByTheBoardsOwnPicking)
{
    ASSERT_NO_FATAL_FAILURE(DeployMilitia(1, 1));
    HexGrid& grid = *simulator->GetGrid();
    SimulatedPointer& pointer = simulator->GetPointer();
    for (const auto& [row, column] : {std::pair{7, 9}, std::pair{0, 0}, std::pair{35, 41}, std::pair{20, 30}}) {
        Hex* hex = grid.GetHex(row, column);
        pointer.AimAt(*hex);
        if (hex->IsPickable())
            grid.PickHoveredHex(true);
        else
            grid.PickHoveredHex(false);
        EXPECT_EQ(pointer.GetHovered(), hex) << row << ", " << column;
    }
    // Aimed away, a pick finds nothing and leaves the hovered hex as it was.
    pointer.AimAway();
    grid.PickHoveredHex(true);
    grid.PickHoveredHex(false);
    EXPECT_EQ(pointer.GetHovered(), grid.GetHex(20, 30));
    EXPECT_FALSE(pointer.IsBoardClick());
    pointer.Press();
    EXPECT_TRUE(pointer.IsBoardClick());
}

// A unit killed in its own turn (its own area ability caught it) is left alone by the players at the
// controls: the turn flow hands the turn on once the fall has played out.
TEST_F(BattleSimulatorTest, AUnitKilledInItsOwnTurnIsHandedOnByTheFlow)
{
    ASSERT_NO_FATAL_FAILURE(DeployMilitia(2, 2));
    SimulatedSession& session = simulator->GetSession();
    for (int frame = 0; frame < 1000 && !(session.IsTurnActive() && session.GetActiveUnit()); ++frame)
        simulator->Frame();
    Unit* unit = session.GetActiveUnit();
    ASSERT_NE(unit, nullptr);
    const int turns = session.GetTurns();
    const int endTurns = simulator->GetCommander().GetCounters().commands[Commander::END_TURN];
    unit->SetState(DEAD);
    // A tenth of a second a frame: 1.5 s of its fall.
    for (int frame = 0; frame < 15; ++frame)
        simulator->Frame();
    EXPECT_EQ(session.GetActiveUnit(), unit);
    EXPECT_EQ(session.GetTurns(), turns);
    for (int frame = 0; frame < 100 && session.GetTurns() == turns; ++frame)
        simulator->Frame();
    EXPECT_EQ(session.GetTurns(), turns + 1);
    EXPECT_NE(session.GetActiveUnit(), unit);
    EXPECT_EQ(simulator->GetCommander().GetCounters().commands[Commander::END_TURN], endTurns)
        << "nobody pressed End Turn for the dead";
}

TEST_F(BattleSimulatorTest, ARefusedClickIsCancelledAndCounted)
{
    ASSERT_NO_FATAL_FAILURE(DeployMilitia(2, 2));
    SimulatedSession& session = simulator->GetSession();
    for (int frame = 0; frame < 1000 && !(session.IsTurnActive() && session.GetActiveUnit()); ++frame)
        simulator->Frame();
    Unit* unit = session.GetActiveUnit();
    ASSERT_NE(unit, nullptr);
    // As if the Attack button had been pressed while the pointer rested on nothing: there is no click to make.
    unit->SetState(SELECTING_TARGET);
    ASSERT_EQ(unit->GetState(), SELECTING_TARGET);
    simulator->GetPointer().AimAway();
    simulator->GetPointer().SetHovered(nullptr);
    simulator->Frame();
    EXPECT_EQ(simulator->GetCommander().GetCounters().refusals, 1);
    EXPECT_NE(unit->GetState(), SELECTING_TARGET);
    EXPECT_EQ(unit->GetTarget(), nullptr);
}
