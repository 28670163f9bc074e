#pragma once
// A headless battle between two small armies of real units on the null device, played to the end by legal
// commands chosen at random from one seed. The commands go straight to the units (move, attack, cast, defend,
// focus, end the turn), the way the player's dispatch hands them on; the turn order is a plain alternation of
// the sides over their living units, not the session's initiative queue.

#include "UnitFixture.h"

#include "battle/Hex.h"
#include "battle/PathSearch.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

struct BattleRecord {
    // 0 or 1; -1 when the battle hit the turn bound.
    int winner = -1;
    int turns = 0;
    // Every unit's health after every turn, in order: two equal records are the same battle.
    std::vector<int> healths;
    int attacks = 0;
    int casts = 0;
    int moves = 0;
};

class BattleSimulation : public UnitTest
{
protected:
    static constexpr float FRAME = 0.05f;
    static constexpr int FRAME_LIMIT = 400;

    static SpellDefinition Bolt()
    {
        SpellDefinition ability;
        ability.name = "Bolt";
        ability.target = "ENEMY";
        ability.amount = -25;
        ability.range = 4;
        ability.manaCost = -10;
        ability.actionPointCost = 4;
        ability.usesLeft = 3;
        ability.castTime = 0.2f;
        ability.school = SpellSchool::ARCANE;
        return ability;
    }

    static SpellDefinition Mend()
    {
        SpellDefinition ability = Bolt();
        ability.name = "Mend";
        ability.target = "TEAM";
        ability.amount = 15;
        ability.duration = 2;
        ability.school = SpellSchool::HOLY;
        return ability;
    }

    // Draws from the game's generator, so the seed decides the armies and the commands as well as the rules.
    static int Pick(int n) { return RandomInt(n); }

    std::vector<TestUnit*> Army(Player& player, int firstRow)
    {
        std::vector<TestUnit*> army;
        const int size = 2 + Pick(3);
        for (int i = 0; i < size; ++i) {
            TestUnit* unit = Make(player, firstRow + Pick(2), 8 + 2 * i, 6 + Pick(6), 2 + Pick(6), 10 + Pick(5));
            unit->stats.movementRadius = unit->stats.baseMovementRadius = 3 + Pick(2);
            unit->stats.meleeRange = 1;
            unit->stats.rangedRange = Pick(2) == 0 ? 0 : 3;
            unit->stats.agility = Pick(30);
            unit->criticalChance = Pick(40);
            unit->arcaneResistance = Pick(4) == 0 ? 101 : Pick(100);
            unit->holyResistance = Pick(50);
            unit->initiative = Pick(50);
            unit->abilities = {Bolt(), Mend()};
            army.push_back(unit);
        }
        return army;
    }

    static std::vector<TestUnit*> Living(const std::vector<TestUnit*>& army)
    {
        std::vector<TestUnit*> living;
        for (TestUnit* unit : army) {
            if (unit->GetState() != DEAD)
                living.push_back(unit);
        }
        return living;
    }

    static int HexSteps(const Unit& a, const Unit& b)
    {
        return std::max(std::abs(a.GetHex()->row - b.GetHex()->row), std::abs(a.GetHex()->column - b.GetHex()->column));
    }

    // Runs frames until the unit is done with what it started; false when it never settles.
    bool Settle(TestUnit& unit)
    {
        for (int frame = 0; frame < FRAME_LIMIT; ++frame) {
            switch (unit.GetState()) {
            case MOVING:
                Advance(FRAME);
                unit.WalkStep();
                break;
            case ATTACKING:
                Advance(FRAME);
                unit.AttackWindUp();
                break;
            case CASTING:
                Advance(FRAME);
                if (unit.AbilityReady()) {
                    const SpellDefinition* ability = unit.GetSelectedAbility();
                    if (ability && unit.GetTargetCheck() == SPELL_ON_UNIT && unit.GetTarget())
                        unit.GetTarget()->ApplySpellEffect(&unit, *ability);
                    unit.ClearTarget();
                    if (!unit.HasActiveEffect(EffectType::PHALANX))
                        unit.SetState(IDLE);
                    unit.DeselectAbility();
                }
                break;
            default:
                return true;
            }
        }
        return false;
    }

    // One command of the unit's turn; false when it chose to end the turn or had nothing left to do.
    bool Command(TestUnit& unit, const std::vector<TestUnit*>& friends, const std::vector<TestUnit*>& enemies,
                 BattleRecord& record)
    {
        const std::vector<TestUnit*> targets = Living(enemies);
        if (targets.empty() || unit.GetState() == DEAD)
            return false;
        TestUnit* enemy = targets[static_cast<size_t>(Pick(static_cast<int>(targets.size())))];
        switch (Pick(8)) {
        case 0:
        case 1:
        case 2: {
            unit.SetState(SELECTING_TARGET);
            if (unit.GetState() != SELECTING_TARGET)
                return false;
            unit.SetTarget(enemy);
            if (!unit.AttackCommand()) {
                unit.ClearTarget();
                unit.SetState(IDLE);
                break;
            }
            ++record.attacks;
            break;
        }
        case 3:
        case 4: {
            const int row = enemy->GetHex()->row + (Pick(3) - 1);
            const int column = enemy->GetHex()->column + (Pick(3) - 1);
            Hex* destination =
                grid->GetHex(std::clamp(row, 0, HexGrid::kRows - 1), std::clamp(column, 0, HexGrid::kColumns - 1));
            int count = 0;
            if (!unit.CanMove() || unit.FindPath(destination, count) == PathSearch::NO_MOVE || !unit.StartMove())
                break;
            ++record.moves;
            break;
        }
        case 5: {
            const bool heal = Pick(2) == 0;
            const std::vector<TestUnit*> mates = Living(friends);
            TestUnit* on = heal ? mates[static_cast<size_t>(Pick(static_cast<int>(mates.size())))] : enemy;
            unit.SelectAbility(heal ? "Mend" : "Bolt");
            unit.SetTarget(on);
            if (unit.CheckTarget() == SPELL_ON_UNIT) {
                unit.CastSpell(on);
                ++record.casts;
            } else {
                unit.ClearTarget();
                unit.DeselectAbility();
                if (unit.GetState() == SELECTING_ABILITY_TARGET)
                    unit.SetState(IDLE);
            }
            break;
        }
        case 6:
            unit.SetState(Pick(2) == 0 ? DEFENDING : FOCUSING);
            return false;
        default:
            return false;
        }
        EXPECT_TRUE(Settle(unit)) << "a command never finished: state " << unit.GetState();
        return unit.stats.actionPoints > 0;
    }

    BattleRecord Play(unsigned seed, int turnLimit)
    {
        Srand(seed);
        const std::vector<TestUnit*> armies[2] = {Army(first, 8), Army(second, 13)};
        BattleRecord record;
        size_t next[2] = {0, 0};
        for (record.turns = 0; record.turns < turnLimit; ++record.turns) {
            const int side = record.turns % 2;
            const std::vector<TestUnit*> living = Living(armies[side]);
            const std::vector<TestUnit*> foes = Living(armies[1 - side]);
            if (living.empty() || foes.empty()) {
                record.winner = living.empty() ? 1 - side : side;
                break;
            }
            TestUnit& unit = *living[next[side]++ % living.size()];
            hud.current = &unit;
            unit.BeginTurn();
            for (int command = 0; command < 6 && Command(unit, armies[side], armies[1 - side], record); ++command) { }
            unit.EndTurn();
            hud.current = nullptr;
            for (const auto& army : armies) {
                for (TestUnit* each : army)
                    record.healths.push_back(each->stats.health);
            }
        }
        return record;
    }
};
