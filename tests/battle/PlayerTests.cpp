// Players: their units, the defeat timer, the command dispatch and the team highlights.
#include "BoardFakes.h"

#include "core/Random.h"

#include <gtest/gtest.h>

namespace {

class PlayerTest : public BoardTest
{
protected:
    void SetUp() override
    {
        BoardTest::SetUp();
        first.team = 0;
        second.team = 1;
        session.players[0] = &first;
        session.players[1] = &second;
    }
    void TearDown() override
    {
        session.players[0] = session.players[1] = nullptr;
        first.DeleteUnits();
        second.DeleteUnits();
        BoardTest::TearDown();
    }

    Player first;
    Player second;
    FakeSession session;
    FakePointer pointer;
    FakeHud hud;
    FakeView view;
};

TEST_F(PlayerTest, CreatingAUnitPlacesItAndGreetsTheTurn)
{
    Srand(1);
    // The first draw of the generator from seed 1 is 41; 41 % 3 = 2 picks the third turn-start shout.
    FakeUnit* unit = Deploy(first, 7, 9);
    EXPECT_EQ(unit->owner, &first);
    EXPECT_EQ(unit->loadedFile, "Militia.txt");
    EXPECT_EQ(unit->positions, (std::vector<std::pair<int, int>>{{7, 9}}));
    EXPECT_EQ(unit->voices, std::vector<int>{17});
    EXPECT_EQ(At(7, 9)->type, HEX_OCCUPIED);
    EXPECT_EQ(first.GetUnitCount(), 1);
    EXPECT_EQ(first.GetUnit(0), unit);

    // A unit that cannot be bound to its owner is not kept; without a factory nothing is made.
    auto* refused = new FakeUnit(grid.get());
    refused->initSucceeds = false;
    NextFakeUnit() = refused;
    BoardUnit::SetFactory(TakeNextFakeUnit);
    EXPECT_EQ(first.CreateUnit("Knight.txt", 1, 1), nullptr);
    BoardUnit::SetFactory(nullptr);
    EXPECT_EQ(first.CreateUnit("Knight.txt", 1, 1), nullptr);
    EXPECT_EQ(first.GetUnitCount(), 1);
    EXPECT_EQ(first.GetUnits().size(), 1u);
}

TEST_F(PlayerTest, UnitsAreFoundByPlaceOnlyInsideTheVector)
{
    FakeUnit* a = Deploy(first, 1, 1);
    FakeUnit* b = Deploy(first, 1, 2);
    EXPECT_EQ(first.GetUnit(1), b);
    EXPECT_EQ(first.GetUnit(2), nullptr);
    EXPECT_EQ(first.GetUnit(-1), nullptr);
    EXPECT_EQ(first.AliveCount(), 2);
    a->state = DEAD;
    EXPECT_EQ(first.UpdateDefeated(), 1);
    EXPECT_FALSE(first.IsDefeated());
    b->state = DEAD;
    EXPECT_EQ(first.UpdateDefeated(), 0);
    EXPECT_TRUE(first.IsDefeated());
    // A player without units is defeated as soon as it is asked.
    EXPECT_EQ(second.UpdateDefeated(), 0);
    EXPECT_TRUE(second.IsDefeated());
}

TEST_F(PlayerTest, RemovingAUnitLeavesNothingPointingAtIt)
{
    FakeUnit* gone = Deploy(first, 4, 4);
    FakeUnit* enemy = Deploy(second, 4, 6);
    FakeUnit* stranger = new FakeUnit(grid.get());
    enemy->target = gone;
    pointer.dragged = gone;
    hud.current = gone;
    first.SelectUnit(gone);
    EXPECT_EQ(view.followed, gone);
    // A unit whose own release leaves its hex behind still does not stay the hex's occupant.
    gone->releaseFreesHex = false;

    first.RemoveUnit(nullptr);
    first.RemoveUnit(stranger);
    first.RemoveUnit(enemy);
    EXPECT_EQ(first.GetUnitCount(), 1);
    EXPECT_EQ(second.GetUnitCount(), 1);
    delete stranger;

    first.RemoveUnit(gone);
    EXPECT_EQ(first.GetUnitCount(), 0);
    EXPECT_TRUE(first.GetUnits().empty());
    EXPECT_EQ(At(4, 4)->occupant, nullptr);
    EXPECT_EQ(At(4, 4)->type, HEX_OPEN);
    EXPECT_TRUE(At(4, 4)->pickable);
    EXPECT_EQ(enemy->target, nullptr);
    EXPECT_EQ(pointer.dragged, nullptr);
    EXPECT_EQ(hud.current, nullptr);
    EXPECT_EQ(view.followed, nullptr);
    EXPECT_EQ(first.GetSelectedUnit(), nullptr);

    // Deleting them all releases each and forgets each.
    FakeUnit* last = Deploy(second, 8, 8);
    pointer.dragged = last;
    second.DeleteUnits();
    EXPECT_TRUE(second.GetUnits().empty());
    EXPECT_EQ(pointer.dragged, nullptr);
    EXPECT_EQ(At(8, 8)->occupant, nullptr);
}

TEST_F(PlayerTest, EveryUnitIsReachedInOrder)
{
    FakeUnit* a = Deploy(first, 1, 1);
    FakeUnit* b = Deploy(first, 1, 3);
    b->state = DEFENDING;
    first.Update();
    first.QueueUnitTexts();
    first.FlagDefendedHexes();
    first.AdjustInitiatives();
    first.OnLostDevice();
    first.OnResetDevice();
    for (FakeUnit* unit : {a, b}) {
        EXPECT_EQ(unit->updates, 1);
        EXPECT_EQ(unit->textQueues, 1);
        EXPECT_EQ(unit->initiativeSteps, 1);
        EXPECT_FALSE(unit->textVisible);
        EXPECT_EQ(unit->lost, 1);
        EXPECT_EQ(unit->reset, 1);
    }
    EXPECT_EQ(a->claims, 0) << "only defending units claim their zone";
    EXPECT_EQ(b->claims, 1);
}

TEST_F(PlayerTest, DefeatEndsTheGameOnceAfterSixAndAHalfSeconds)
{
    first.UpdateDefeated();
    DataManager* data = DataManager::Get();
    for (int frame = 1; frame <= 12; ++frame) {
        data->AdvanceTime(0.5f);
        first.Update();
        // Both players defeated in one frame: the shared timer still counts that frame once.
        second.UpdateDefeated();
        second.Update();
    }
    EXPECT_EQ(session.gameOverCalls, 0) << "6.0 s";
    data->AdvanceTime(0.5f);
    first.Update();
    second.Update();
    EXPECT_EQ(session.gameOverCalls, 1) << "6.5 s";
    EXPECT_EQ(Player::GetDefeatTimer(), 0.0f);
    // Already over: another 6.5 s does not enter the state again.
    for (int frame = 0; frame < 13; ++frame) {
        data->AdvanceTime(0.5f);
        first.Update();
    }
    EXPECT_EQ(session.gameOverCalls, 1);
}

TEST_F(PlayerTest, RenderListsOwnHexesAndBrightensEnemiesInReach)
{
    FakeUnit* ours = Deploy(first, 10, 10);
    FakeUnit* far = Deploy(first, 10, 13); // 192 from (10, 11), straight along the column
    FakeUnit* walking = Deploy(first, 20, 20);
    walking->state = MOVING;
    FakeUnit* attacker = Deploy(second, 10, 11); // next to (10, 10): 110.85
    attacker->state = SELECTING_TARGET;
    attacker->meleeRange = 1;
    hud.current = attacker;

    first.Render();
    std::vector<Hex*> expected(4, At(10, 10));
    expected.push_back(At(10, 13));
    EXPECT_EQ(grid->GetTeam0List(), expected);
    EXPECT_TRUE(grid->GetTeam1List().empty());
    EXPECT_EQ(At(20, 20)->fadeState, FADE_IN) << "a walking unit's hex fades in but is not listed";
    for (FakeUnit* unit : {ours, far, walking})
        EXPECT_EQ(unit->renders, 1);

    // Ranged reach counts as well: 2 x 112 = 224 takes in 192.
    grid->Render();
    attacker->meleeRange = 0;
    attacker->rangedRange = 2;
    first.Render();
    expected = std::vector<Hex*>(4, At(10, 10));
    expected.insert(expected.end(), 4, At(10, 13));
    EXPECT_EQ(grid->GetTeam0List(), expected);

    // A dead unit has left its hex: nothing to measure, nothing listed.
    grid->Render();
    far->SetHex(nullptr);
    first.Render();
    EXPECT_EQ(grid->GetTeam0List(), std::vector<Hex*>(4, At(10, 10)));

    grid->Render();
    second.Render();
    EXPECT_EQ(grid->GetTeam1List(), std::vector<Hex*>{At(10, 11)}) << "not brightened by itself";
}

class DispatchTest : public PlayerTest
{
protected:
    void SetUp() override
    {
        PlayerTest::SetUp();
        unit = Deploy(first, 10, 10);
        enemy = Deploy(second, 10, 12);
        first.SelectUnit(unit);
        unit->ability.name = "Fireball";
    }

    void Aim(int row, int col) { pointer.AimAt(At(row, col)->CentreX(), At(row, col)->CentreZ()); }

    FakeUnit* unit = nullptr;
    FakeUnit* enemy = nullptr;
};

TEST_F(DispatchTest, NothingHappensWithoutASelectedUnit)
{
    first.SelectUnit(nullptr);
    unit->state = SELECTING_MOVE;
    pointer.click = true;
    first.DispatchCommand();
    EXPECT_EQ(unit->findPathCalls, 0);
    EXPECT_EQ(pointer.hoverSets, 0);
}

TEST_F(DispatchTest, AMoveStartsOnAClickOverAReachableHex)
{
    unit->state = SELECTING_MOVE;
    Aim(12, 10);
    first.DispatchCommand();
    EXPECT_EQ(pointer.hovered, At(12, 10));
    EXPECT_EQ(unit->findPathTarget, At(12, 10));
    EXPECT_EQ(unit->startMoves, 0) << "no click";

    pointer.click = true;
    first.DispatchCommand();
    EXPECT_EQ(unit->startMoves, 1);
    EXPECT_EQ(unit->state, MOVING);
    EXPECT_EQ(hud.hideHighlight, 1);
    EXPECT_EQ(hud.updateTexts, 1);
    ASSERT_EQ(unit->path.size(), 2u);
    EXPECT_EQ(unit->path.front(), At(12, 10));

    // While it walks nothing is hovered.
    first.DispatchCommand();
    EXPECT_EQ(pointer.hovered, nullptr);
}

TEST_F(DispatchTest, AClickOverAnUnreachableOrOccupiedHexDoesNothing)
{
    unit->state = SELECTING_MOVE;
    pointer.click = true;
    // The enemy's hex: the unpickable hit wins the second pick and the search refuses it.
    Aim(10, 12);
    first.DispatchCommand();
    EXPECT_EQ(pointer.hovered, At(10, 12));
    EXPECT_EQ(unit->startMoves, 0);
    // Nine steps away: beyond the radius by more than three.
    Aim(19, 10);
    first.DispatchCommand();
    EXPECT_EQ(unit->startMoves, 0);
    EXPECT_EQ(unit->state, SELECTING_MOVE);

    // Without the action points to move, not even the pointer is looked at.
    unit->canMove = false;
    const int sets = pointer.hoverSets;
    first.DispatchCommand();
    EXPECT_EQ(pointer.hoverSets, sets);
    EXPECT_EQ(unit->findPathCalls, 2);
}

TEST_F(DispatchTest, ChoosingATargetFollowsThePointer)
{
    unit->state = SELECTING_TARGET;
    Aim(10, 12);
    first.DispatchCommand();
    EXPECT_EQ(unit->target, enemy);
    Aim(3, 3);
    first.DispatchCommand();
    EXPECT_EQ(unit->target, nullptr) << "an empty hex clears the target";

    // A click that fails the attack check still switches the rings off.
    Aim(10, 12);
    pointer.click = true;
    first.DispatchCommand();
    EXPECT_EQ(unit->attackCommands, 1);
    EXPECT_EQ(unit->state, SELECTING_TARGET);
    EXPECT_EQ(session.ringCalls, std::vector<bool>{false});
    EXPECT_EQ(view.resetGlows, 0);

    unit->attackSucceeds = true;
    first.DispatchCommand();
    EXPECT_EQ(unit->state, ATTACKING);
    EXPECT_EQ(view.resetGlows, 1);
    EXPECT_EQ(hud.hideHighlight, 1);
    EXPECT_EQ(hud.updateTexts, 1);
    EXPECT_EQ(pointer.hovered, nullptr);
    EXPECT_EQ(session.ringCalls, (std::vector<bool>{false, false}));

    first.DispatchCommand();
    EXPECT_EQ(unit->windUps, 1);
}

TEST_F(DispatchTest, AbilitiesAreCastOnAUnitOrOnAnArea)
{
    unit->state = SELECTING_ABILITY_TARGET;
    Aim(10, 12);
    pointer.click = true;
    unit->scriptedCheck = SPELL_ON_UNIT;
    first.DispatchCommand();
    EXPECT_EQ(unit->castOn, enemy);
    EXPECT_EQ(hud.resetMenu, 1);
    EXPECT_EQ(pointer.hovered, nullptr);
    EXPECT_EQ(view.resetGlows, 1);
    EXPECT_EQ(session.ringCalls, std::vector<bool>{false});

    unit->state = SELECTING_ABILITY_TARGET;
    unit->scriptedCheck = AREA_IN_RANGE;
    Aim(5, 5);
    first.DispatchCommand();
    EXPECT_EQ(unit->abilityHex, At(5, 5));
    EXPECT_EQ(hud.resetMenu, 2);

    unit->state = SELECTING_ABILITY_TARGET;
    unit->scriptedCheck = OUT_OF_RANGE;
    first.DispatchCommand();
    EXPECT_EQ(unit->casts + unit->areaUses, 2);
    EXPECT_EQ(unit->state, SELECTING_ABILITY_TARGET);
    EXPECT_EQ(session.ringCalls.size(), 3u);
}

TEST_F(DispatchTest, AReadyCastTakesEffectAndEndsTheCommand)
{
    unit->state = CASTING;
    unit->target = enemy;
    unit->storedCheck = SPELL_ON_UNIT;
    first.DispatchCommand();
    EXPECT_EQ(enemy->effectCaster, nullptr) << "not ready yet";
    EXPECT_EQ(unit->state, CASTING);

    unit->abilityReady = true;
    first.DispatchCommand();
    EXPECT_EQ(enemy->effectCaster, unit);
    EXPECT_EQ(enemy->effectName, "Fireball");
    EXPECT_EQ(unit->target, nullptr);
    EXPECT_EQ(unit->state, IDLE);
    EXPECT_FALSE(unit->selected);
    EXPECT_EQ(hud.hideHighlight, 1);

    // An area cast goes to the session; a unit under Phalanx stays where the ability put it.
    unit->state = CASTING;
    unit->selected = true;
    unit->storedCheck = AREA_IN_RANGE;
    unit->effects = {EffectType::PHALANX};
    first.DispatchCommand();
    EXPECT_EQ(session.areaCaster, unit);
    EXPECT_EQ(session.areaAbility, "Fireball");
    EXPECT_EQ(unit->state, CASTING);
    EXPECT_FALSE(unit->selected);
}

TEST_F(DispatchTest, ACasterKilledByItsOwnAreaStaysDead)
{
    unit->state = CASTING;
    unit->abilityReady = true;
    unit->storedCheck = AREA_IN_RANGE;
    session.areaKillsCaster = true;
    first.DispatchCommand();
    EXPECT_EQ(session.areaCaster, unit);
    EXPECT_EQ(unit->state, DEAD);
    EXPECT_FALSE(unit->selected);
    EXPECT_EQ(unit->target, nullptr);
}

} // namespace
