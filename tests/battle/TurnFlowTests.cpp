// The turn flow the game and the battle simulator share: the players by team, the order of the waiting units,
// turn requests and their guard, the initiative countdown and its fallback, the hand-over, the area share,
// and a unit that dies during its own turn. Real units of no class owned by the flow's real players.
#include "UnitFixture.h"

#include "battle/TurnFlow.h"
#include "battle/TurnOrder.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// What the game's session does with the flow, without anything to show: the rules' calls go to the flow.
class FlowSession : public BattleSession
{
public:
    explicit FlowSession(TurnFlow& flow) : flow(flow) { Register(this); }
    ~FlowSession() override { Register(nullptr); }

    bool IsInBattle() const override { return true; }
    bool IsGameOver() const override { return gameOver; }
    void SetGameOver() override { gameOver = true; }
    void SetRingEmittersActive(bool) override { }
    void ApplyAreaEffect(BoardUnit* caster, const SpellDefinition& ability) override
    {
        flow.ApplyAreaEffect(caster, ability);
    }
    Player* GetPlayer(int index) const override { return flow.GetPlayer(index); }
    void RequestNextTurn() override { flow.RequestNextTurn(DataManager::Get()->GetGameTime()); }
    void AdvanceTurn() override { flow.AdvanceTurn(); }
    std::vector<BoardUnit*> GetLivingUnits() const override { return flow.GetLivingUnits(); }

    TurnFlow& flow;
    bool gameOver = false;
};

// Records what a player would be shown.
class RecordingListener : public TurnFlowListener
{
public:
    void OnUnitEnlisted(BoardUnit* unit) override { enlisted.push_back(unit); }
    void OnCountdownStep(const TurnOrder& order) override { shownOrders.push_back(order.GetEntries()); }
    void OnTurnHandedTo(BoardUnit* unit, Player*) override
    {
        handed.push_back(unit);
        // The unit's own turn begins after the hand-over is shown.
        beganBeforeShown = beganBeforeShown || static_cast<Unit*>(unit)->Rules().turn.myTurn;
    }
    void OnTurnBegun(BoardUnit* unit) override { begun.push_back(unit); }

    std::vector<BoardUnit*> enlisted;
    std::vector<std::vector<BoardUnit*>> shownOrders;
    std::vector<BoardUnit*> handed;
    std::vector<BoardUnit*> begun;
    bool beganBeforeShown = false;
};

class TurnFlowTest : public BoardTest
{
protected:
    void SetUp() override
    {
        BoardTest::SetUp();
        CombatText::SetFactory(MakeFakeCombatText);
        flow.SetListener(&listener);
        flow.AddPlayer(0);
        flow.AddPlayer(1);
        Srand(1);
    }
    void TearDown() override
    {
        flow.Reset();
        CombatText::SetFactory(nullptr);
        DecalManager::ResetForTests();
        ParticleManager::ResetForTests();
        BoardTest::TearDown();
    }

    // A unit of the team at (row, col), in the order, with the given speed and initiative and 20 health.
    TestUnit* Add(int team, int row, int col, int speed = 10, int initiative = 0)
    {
        BoardUnit::SetFactory(MakeTestUnit);
        auto* unit = static_cast<TestUnit*>(flow.GetPlayer(team)->CreateUnit("Militia.txt", row, col));
        BoardUnit::SetFactory(nullptr);
        UnitStats values;
        values.strength = values.baseStrength = 10;
        values.intelligence = values.baseIntelligence = 5;
        values.actionPoints = values.maxActionPoints = 10;
        values.health = values.maxHealth = 20;
        values.speed = values.baseSpeed = speed;
        unit->InitStats(values);
        unit->RulesForSetUp().turn.initiative = initiative;
        flow.Enlist(unit);
        return unit;
    }

    // The first request of a battle, past the guard from the battle's start.
    void Start()
    {
        flow.RequestNextTurn(2.0f);
        ASSERT_FALSE(flow.IsTurnActive());
        flow.Update(2.0f);
    }

    TurnFlow flow;
    FlowSession session{flow};
    RecordingListener listener;
    FakePointer pointer;
    FakeHud hud;
    FakeView view;
};

} // namespace

TEST(TurnOrderTest, LowestInitiativeFirstThenTheLongestWait)
{
    Unit units[5];
    const struct {
        int initiative;
        float waited;
    } waiting[5] = {{30, 0.0f}, {10, 1.0f}, {10, 5.0f}, {0, 0.0f}, {10, 5.0f}};
    TurnOrder order;
    for (int i = 0; i < 5; ++i) {
        units[i].RulesForSetUp().turn.initiative = waiting[i].initiative;
        units[i].RulesForSetUp().turn.waitTimer = waiting[i].waited;
        order.Add(&units[i]);
    }
    order.Add(nullptr);
    order.Add(&units[0]);
    EXPECT_EQ(order.GetEntries().size(), 5u) << "no null entry and no unit twice";
    order.Sort();
    // 0 first; of the three at 10 the two that waited 5 s (in the order they were added), then the one that
    // waited 1 s; 30 last.
    const std::vector<BoardUnit*> expected = {&units[3], &units[2], &units[4], &units[1], &units[0]};
    EXPECT_EQ(order.GetEntries(), expected);
    EXPECT_EQ(order.GetFirstUnit(), &units[3]);
}

TEST(TurnOrderTest, TheDeadAndTheRemovedLeaveTheOrder)
{
    Unit units[3];
    TurnOrder order;
    for (int i = 0; i < 3; ++i) {
        units[i].RulesForSetUp().turn.initiative = i;
        order.Add(&units[i]);
    }
    order.Sort();
    ASSERT_EQ(order.GetFirstUnit(), &units[0]);
    units[0].RulesForSetUp().turn.state = DEAD;
    order.DropTheDead();
    EXPECT_EQ(order.GetFirstUnit(), &units[1]);
    EXPECT_TRUE(order.Remove(&units[2]));
    EXPECT_FALSE(order.Remove(&units[2]));
    EXPECT_EQ(order.GetEntries(), std::vector<BoardUnit*>{&units[1]});
    order.Clear();
    EXPECT_EQ(order.GetFirstUnit(), nullptr);
}

// Player 1 is the first team whichever side was added first; a third team is refused.
TEST_F(TurnFlowTest, PlayersAreKeptByTeam)
{
    flow.Reset();
    EXPECT_EQ(flow.GetPlayer(0), nullptr);
    Player* second = flow.AddPlayer(1);
    Player* first = flow.AddPlayer(0);
    EXPECT_EQ(flow.AddPlayer(1), second) << "a team is added once";
    EXPECT_EQ(flow.AddPlayer(2), nullptr);
    EXPECT_EQ(flow.AddPlayer(-1), nullptr);
    ASSERT_EQ(flow.GetPlayerCount(), 2);
    EXPECT_EQ(flow.GetPlayer(0), first);
    EXPECT_EQ(flow.GetPlayer(1), second);
    EXPECT_EQ(flow.GetPlayers()[0].get(), first) << "team order, for whatever lists the sides";
    EXPECT_EQ(first->team, 0);
    EXPECT_EQ(second->team, 1);
}

TEST_F(TurnFlowTest, RequestsAreGuardedAndWaitForAWalkABlowOrACast)
{
    TestUnit* a = Add(0, 5, 5);
    Add(1, 30, 30, 10, 40);
    flow.RequestNextTurn(1.0f);
    EXPECT_TRUE(flow.IsTurnActive()) << "within 1.5 s of the battle's start";
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_EQ(flow.GetActiveUnit(), a);
    EXPECT_EQ(listener.handed, std::vector<BoardUnit*>{a});
    EXPECT_EQ(listener.begun, std::vector<BoardUnit*>{a});
    EXPECT_FALSE(listener.beganBeforeShown);
    EXPECT_EQ(flow.GetActivePlayer(), flow.GetPlayer(0));
    EXPECT_EQ(flow.GetPlayer(0)->GetSelectedUnit(), a);
    EXPECT_EQ(flow.GetTurns(), 1);
    flow.RequestNextTurn(3.49f);
    EXPECT_TRUE(flow.IsTurnActive());
    for (UnitState busy : {MOVING, ATTACKING, CASTING}) {
        a->RulesForSetUp().turn.state = busy;
        flow.RequestNextTurn(10.0f);
        EXPECT_TRUE(flow.IsTurnActive()) << busy;
    }
    a->RulesForSetUp().turn.state = IDLE;
    flow.RequestNextTurn(10.0f);
    EXPECT_FALSE(flow.IsTurnActive());
    // Giving the turn up (focusing) needs no guard; the turn passes at the next update, not inside the call.
    flow.Update(10.0f);
    flow.AdvanceTurn();
    EXPECT_FALSE(flow.IsTurnActive());
    // Without players nothing asks for turns.
    flow.Reset();
    flow.RequestNextTurn(100.0f);
    EXPECT_TRUE(flow.IsTurnActive());
}

// Each step takes trunc(-0.1 x speed) from a waiting unit, never below 0; the dead leave the order.
TEST_F(TurnFlowTest, TheCountdownStepsEveryWaitingUnitAndShowsTheSortedOrder)
{
    TestUnit* quick = Add(0, 5, 5, 25, 5);
    TestUnit* plain = Add(1, 30, 30, 15, 5);
    TestUnit* slow = Add(1, 31, 31, 9, 5);
    TestUnit* dead = Add(0, 6, 6, 10, 0);
    EXPECT_EQ(listener.enlisted.size(), 4u);
    dead->SetState(DEAD);
    ASSERT_NO_FATAL_FAILURE(Start());
    EXPECT_EQ(quick->Rules().turn.initiative, 3);
    EXPECT_EQ(plain->Rules().turn.initiative, 4);
    EXPECT_EQ(slow->Rules().turn.initiative, 5);
    EXPECT_EQ(flow.GetActiveUnit(), nullptr);
    ASSERT_EQ(listener.shownOrders.size(), 1u);
    EXPECT_EQ(listener.shownOrders[0], (std::vector<BoardUnit*>{quick, plain, slow}));
    flow.Update(2.1f);
    flow.Update(2.2f);
    EXPECT_EQ(quick->Rules().turn.initiative, 0);
    EXPECT_EQ(flow.GetActiveUnit(), quick) << "the one at 0 takes the turn in the step that brings it there";
}

// Speeds 5 and 9 never count down: without the fallback the countdown would never end.
TEST_F(TurnFlowTest, UnitsTooSlowToCountDownStillGetTheirTurn)
{
    TestUnit* slow = Add(0, 5, 5, 5, 3);
    TestUnit* slower = Add(1, 30, 30, 9, 7);
    ASSERT_NO_FATAL_FAILURE(Start());
    EXPECT_EQ(slow->Rules().turn.initiative, 2);
    EXPECT_EQ(slower->Rules().turn.initiative, 6);
    flow.Update(2.1f);
    flow.Update(2.2f);
    EXPECT_EQ(flow.GetActiveUnit(), slow);
    EXPECT_EQ(slower->Rules().turn.initiative, 4);
}

// Units are counted in a square (not a ring) around the target hex; the amount is shared by at most three.
TEST_F(TurnFlowTest, AnAreaAbilitySharesItsAmountAmongAtMostThree)
{
    const struct {
        int amount;
        int inside;
        int share;
    } cases[] = {{30, 1, 30}, {30, 2, 15}, {30, 3, 10}, {30, 5, 10}, {-7, 2, -3}, {30, 0, 0}};
    const int spots[5][2] = {{11, 11}, {9, 10}, {10, 9}, {9, 9}, {11, 10}};
    for (const auto& c : cases) {
        flow.Reset();
        flow.AddPlayer(0);
        flow.AddPlayer(1);
        TestUnit* caster = Add(0, 20, 20);
        SpellDefinition nova;
        nova.name = "Nova";
        nova.areaRadius = 2;
        nova.range = 3;
        nova.amount = c.amount;
        caster->RulesForSetUp().abilities = {nova};
        caster->RulesForSetUp().command.selectedAbility = 0;
        caster->RulesForSetUp().command.abilityTarget = At(10, 10);
        std::vector<TestUnit*> inside;
        for (int i = 0; i < c.inside; ++i)
            inside.push_back(Add(1, spots[i][0], spots[i][1]));
        TestUnit* outside = Add(1, 12, 10);
        EXPECT_EQ(flow.ApplyAreaEffect(caster, caster->Rules().abilities[0]), c.inside);
        for (TestUnit* unit : inside) {
            ASSERT_EQ(unit->spellAmounts.size(), 1u) << c.inside;
            EXPECT_EQ(unit->spellAmounts[0], c.share) << c.amount << " among " << c.inside;
        }
        EXPECT_TRUE(outside->spellAmounts.empty());
        EXPECT_EQ(caster->Rules().abilities[0].amount, c.amount) << "the ability keeps its amount";
    }
}

// A caster killed by its own area ability can no longer be commanded: the turn passes on by itself once its
// fall has played out.
TEST_F(TurnFlowTest, AUnitKilledInItsOwnTurnHandsTheTurnOn)
{
    TestUnit* caster = Add(0, 10, 10);
    TestUnit* friendly = Add(0, 20, 20, 10, 10);
    TestUnit* foe = Add(1, 30, 30, 10, 20);
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_EQ(flow.GetActiveUnit(), caster);
    SpellDefinition pillar;
    pillar.name = "Pillar of Flames";
    pillar.areaRadius = 2;
    pillar.range = 4;
    pillar.amount = -1000;
    pillar.target = "ENEMY";
    pillar.effectType = EffectType::HEALTH;
    caster->RulesForSetUp().abilities = {pillar};
    caster->RulesForSetUp().command.selectedAbility = 0;
    caster->RulesForSetUp().command.abilityTarget = At(10, 11);
    flow.ApplyAreaEffect(caster, caster->Rules().abilities[0]);
    ASSERT_EQ(caster->GetState(), DEAD);

    flow.Update(3.0f);
    flow.Update(3.0f + TurnFlow::DEATH_PAUSE - 0.1f);
    EXPECT_EQ(flow.GetActiveUnit(), caster) << "its fall plays out first";
    EXPECT_TRUE(flow.IsTurnActive());
    flow.Update(3.0f + TurnFlow::DEATH_PAUSE);
    EXPECT_NE(flow.GetActiveUnit(), caster);
    // The countdown runs until the friend, 10 ahead of the foe, takes the turn.
    for (int frame = 0; frame < 20 && !flow.GetActiveUnit(); ++frame)
        flow.Update(5.1f + 0.1f * static_cast<float>(frame));
    EXPECT_EQ(flow.GetActiveUnit(), friendly);
    EXPECT_FALSE(flow.GetOrder().Contains(caster)) << "the dead wait for no turn";
    EXPECT_TRUE(flow.GetOrder().Contains(foe));
}

// Killed with the last of its side: nobody is left to take the turn for that side, and the battle ends.
TEST_F(TurnFlowTest, TheLastUnitOfASideKilledInItsOwnTurnEndsTheBattle)
{
    TestUnit* caster = Add(0, 10, 10);
    Add(1, 30, 30, 10, 20);
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_EQ(flow.GetActiveUnit(), caster);
    caster->SetState(DEAD);
    ASSERT_EQ(caster->GetState(), DEAD);
    for (int frame = 0; frame <= 80; ++frame) {
        DataManager::Get()->AdvanceTime(0.1f);
        for (const auto& player : flow.GetPlayers())
            player->Update();
        flow.Update(DataManager::Get()->GetGameTime());
    }
    EXPECT_EQ(flow.GetActiveUnit(), caster) << "the other side is never handed a turn";
    EXPECT_EQ(flow.GetTurns(), 1);
    EXPECT_TRUE(session.gameOver) << "the defeat is declared 6.5 s on";
}
