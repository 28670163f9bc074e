#include "Commander.h"

#include "SimulatedPointer.h"
#include "SimulatedSession.h"

#include "battle/Hex.h"
#include "battle/HexGrid.h"
#include "battle/PathSearch.h"
#include "battle/Player.h"
#include "battle/Unit.h"

#include <algorithm>
#include <cstdlib>

namespace {

float Distance(const Unit& a, const Unit& b)
{
    return a.GetHex()->DistanceTo(*b.GetHex());
}

bool InSquare(const Hex& hex, const Hex& centre, int area)
{
    return std::abs(hex.row - centre.row) < area && std::abs(hex.column - centre.column) < area;
}

bool Helps(const SpellDefinition& ability)
{
    return ability.target != "ENEMY" && ability.amount >= 0;
}

bool Wounded(const Unit& unit)
{
    return unit.Rules().stats.health < unit.Rules().stats.maxHealth;
}

} // namespace

Commander::Commander(SimulatedSession& session, SimulatedPointer& pointer, HexGrid& grid, EventDigest& digest)
    : session(session), pointer(pointer), grid(grid), digest(digest)
{ }

void Commander::Begin(const std::vector<Unit*>& battleUnits, unsigned seed)
{
    units = battleUnits;
    random.seed(seed);
    counters = Counters();
    current = nullptr;
    turn = -1;
    ending = armed = false;
}

int Commander::IdOf(const Unit* unit) const
{
    const auto found = std::find(units.begin(), units.end(), unit);
    return found == units.end() ? -1 : static_cast<int>(found - units.begin());
}

std::vector<Unit*> Commander::Living(const Unit& unit, bool enemies) const
{
    std::vector<Unit*> found;
    for (Unit* other : units) {
        if (other->Rules().turn.alive && other->GetHex() && (other->Rules().owner != unit.Rules().owner) == enemies)
            found.push_back(other);
    }
    return found;
}

void Commander::StartTurn(Unit* unit)
{
    current = unit;
    turn = session.GetTurns();
    commands = 0;
    refusals = 0;
    ending = armed = false;
    cannotMove = false;
}

void Commander::Step()
{
    pointer.Release();
    Unit* unit = session.GetActiveUnit();
    if (!session.IsTurnActive() || !unit)
        return;
    if (unit != current || session.GetTurns() != turn)
        StartTurn(unit);
    if (ending) {
        // The End Turn button again: presses within the guard time of the last one count for nothing.
        session.RequestNextTurn();
        return;
    }
    switch (unit->GetState()) {
    case MOVING:
    case ATTACKING:
    case CASTING:
        return;
    case SELECTING_MOVE:
    case SELECTING_TARGET:
    case SELECTING_ABILITY_TARGET:
        if (armed) {
            pointer.Press();
            armed = false;
            return;
        }
        // The click was turned down (out of range, no path...): the player cancels the command.
        Cancel(*unit);
        return;
    case IDLE:
        Decide(*unit);
        return;
    case DEAD:
        // Killed in its own turn: nobody commands the dead, and the turn flow hands the turn on by itself.
        return;
    default:
        // Standing in a stance that its ability put it in: nothing is left to do this turn.
        EndTurn(*unit, UNIT_STATE_NONE);
        return;
    }
}

void Commander::Cancel(Unit& unit)
{
    ++refusals;
    ++counters.refusals;
    digest.Add(1000 + refusals);
    unit.SetState(IDLE);
    unit.QueueStance(UNIT_STATE_NONE);
    unit.ClearTarget();
    unit.DeselectAbility();
    pointer.SetHovered(nullptr);
    pointer.AimAway();
}

void Commander::EndTurn(Unit& unit, int pending)
{
    ++counters.commands[pending == DEFENDING ? DEFEND : pending == FOCUSING ? FOCUS : END_TURN];
    digest.Add(2000 + pending);
    if (pending != UNIT_STATE_NONE) {
        // The Defend and Focus buttons queue the stance for the end of the turn.
        unit.SetState(IDLE);
        unit.QueueStance(static_cast<UnitState>(pending));
    }
    ending = true;
    pointer.AimAway();
    session.RequestNextTurn();
}

void Commander::Decide(Unit& unit)
{
    if (commands >= kMaxCommands || refusals >= kMaxRefusals) {
        EndTurn(unit, UNIT_STATE_NONE);
        return;
    }
    const std::vector<Unit*> enemies = Living(unit, true);
    std::vector<Option> options;
    bool enemyInReach = false;
    if (unit.GetHex()) {
        std::vector<Unit*> inReach;
        for (Unit* enemy : enemies) {
            const float d = Distance(unit, *enemy);
            if (d <= static_cast<float>(unit.Rules().stats.meleeRange) * Unit::RANGE_STEP ||
                d <= static_cast<float>(unit.Rules().stats.rangedRange) * Unit::RANGE_STEP)
                inReach.push_back(enemy);
        }
        enemyInReach = !inReach.empty();
        if (enemyInReach && unit.CanEnter(SELECTING_TARGET))
            options.push_back({ATTACK, 6, inReach[static_cast<size_t>(Pick(static_cast<int>(inReach.size())))]});
        AddAbilityOptions(unit, options);
        if (unit.CanMove() && !cannotMove && !enemies.empty())
            options.push_back({MOVE, enemyInReach ? 1 : 5});
    }
    if (unit.CanEnter(DEFENDING))
        options.push_back({DEFEND, 1});
    if (unit.CanEnter(FOCUSING))
        options.push_back({FOCUS, 1});
    options.push_back({END_TURN, unit.Rules().stats.actionPoints < Unit::MOVE_COST ? 4 : 1});

    int total = 0;
    for (const Option& option : options)
        total += option.weight;
    int roll = Pick(total);
    for (Option& option : options) {
        roll -= option.weight;
        if (roll >= 0)
            continue;
        if (option.kind == MOVE) {
            option.hex = ChooseDestination(unit);
            if (!option.hex) {
                // Nowhere to go this turn; the next frame chooses again without moving.
                cannotMove = true;
                return;
            }
        }
        Issue(unit, option);
        return;
    }
}

void Commander::Issue(Unit& unit, const Option& option)
{
    ++commands;
    switch (option.kind) {
    case DEFEND:
        EndTurn(unit, DEFENDING);
        return;
    case FOCUS:
        EndTurn(unit, FOCUSING);
        return;
    case END_TURN:
        EndTurn(unit, UNIT_STATE_NONE);
        return;
    default:
        break;
    }
    Hex* aim = option.hex;
    if (option.kind == ATTACK) {
        unit.SetState(SELECTING_TARGET);
        aim = option.target->GetHex();
    } else if (option.kind == MOVE) {
        unit.SetState(SELECTING_MOVE);
    } else {
        unit.Spellcasting().SelectAbility(unit.Rules().abilities[static_cast<size_t>(option.ability)].name);
        if (option.kind == CAST)
            aim = option.target->GetHex();
    }
    ++counters.commands[option.kind];
    digest.Add(option.kind);
    digest.Add(IdOf(option.target));
    digest.Add(aim ? aim->row * HexGrid::COLUMNS + aim->column : -1);
    digest.Add(option.ability);
    if (!aim)
        return;
    pointer.AimAt(*aim);
    // The press comes in the next frame, as a player's click on the board follows the click on the HUD.
    armed = true;
}

void Commander::AddAbilityOptions(Unit& unit, std::vector<Option>& options)
{
    const Hex* home = unit.GetHex();
    for (size_t i = 0; i < unit.Rules().abilities.size(); ++i) {
        const SpellDefinition& ability = unit.Rules().abilities[i];
        if (ability.usesLeft < 1 || unit.Rules().stats.mana < std::abs(ability.manaCost) ||
            unit.Rules().stats.actionPoints < ability.actionPointCost)
            continue;
        const float reach = static_cast<float>(ability.range) * Unit::RANGE_STEP;
        if (ability.areaRadius < 2) {
            const bool onFriends = ability.target != "ENEMY";
            std::vector<Unit*> targets;
            for (Unit* other : Living(unit, !onFriends)) {
                if (other->GetHex()->DistanceTo(*home) > reach)
                    continue;
                // Healing is for the wounded and mana for those who have room for it.
                if (onFriends && ability.effectType == EffectType::HEALTH && ability.amount > 0 && !Wounded(*other))
                    continue;
                if (onFriends && ability.effectType == EffectType::MANA && ability.amount > 0 &&
                    other->Rules().stats.mana >= other->Rules().stats.maxMana)
                    continue;
                targets.push_back(other);
            }
            if (!targets.empty())
                options.push_back({CAST, 3, targets[static_cast<size_t>(Pick(static_cast<int>(targets.size())))],
                                   nullptr, static_cast<int>(i)});
            continue;
        }
        std::vector<Hex*> centres;
        if (ability.range == 0) {
            centres.push_back(unit.GetHex());
        } else {
            for (Unit* other : Living(unit, !Helps(ability))) {
                Hex* hex = other->GetHex();
                if (hex->DistanceTo(*home) <= reach && std::abs(hex->row - home->row) <= ability.range)
                    centres.push_back(hex);
            }
        }
        Hex* best = nullptr;
        int bestValue = 0;
        for (Hex* centre : centres) {
            const int value = AreaValue(unit, ability, *centre);
            if (value > bestValue || (value == bestValue && best && Pick(2) == 0)) {
                best = value > 0 ? centre : nullptr;
                bestValue = value;
            }
        }
        if (best)
            options.push_back({AREA_CAST, 3, nullptr, best, static_cast<int>(i)});
    }
}

int Commander::AreaValue(const Unit& caster, const SpellDefinition& ability, const Hex& centre) const
{
    const bool warcry = ability.name == "Warcry";
    const bool helps = Helps(ability);
    int value = 0;
    for (const Unit* other : units) {
        if (!other->Rules().turn.alive || !other->GetHex() || !InSquare(*other->GetHex(), centre, ability.areaRadius))
            continue;
        const bool friendly = other->Rules().owner == caster.Rules().owner;
        // An area centred on the caster spares it when it is meant for the foe.
        if (other == &caster && ability.range == 0 && ability.target == "ENEMY" && !warcry)
            continue;
        if (warcry) {
            value += friendly ? 0 : 1;
        } else if (helps) {
            const bool needs = ability.effectType != EffectType::HEALTH || Wounded(*other);
            value += friendly ? (needs ? 1 : 0) : -1;
        } else if (other != &caster) {
            value += friendly ? -1 : 1;
        }
        // A harmful area is aimed with no thought for the caster's own skin, as players do in the heat of a
        // battle: now and then one catches and kills its own caster.
    }
    return value;
}

int Commander::Index(const Hex& hex)
{
    return hex.row * HexGrid::COLUMNS + hex.column;
}

std::vector<int> Commander::WalkingSteps(Hex& from)
{
    std::vector<int> steps(HexGrid::HEX_COUNT, kUnreachable);
    std::vector<Hex*> frontier{&from};
    steps[static_cast<size_t>(Index(from))] = 0;
    for (size_t next = 0; next < frontier.size(); ++next) {
        Hex* hex = frontier[next];
        Hex* neighbours[6];
        const int count = grid.GetNeighbours(*hex, neighbours);
        for (int i = 0; i < count; ++i) {
            int& known = steps[static_cast<size_t>(Index(*neighbours[i]))];
            // Units block the way as walls do; only open ground and zones are walked.
            if (known != kUnreachable || !neighbours[i]->pickable)
                continue;
            known = steps[static_cast<size_t>(Index(*hex))] + 1;
            frontier.push_back(neighbours[i]);
        }
    }
    return steps;
}

Hex* Commander::ChooseDestination(Unit& unit)
{
    Hex* home = unit.GetHex();
    const int radius = unit.Rules().stats.movementRadius;
    if (!home || radius < 1)
        return nullptr;
    const std::vector<Unit*> enemies = Living(unit, true);
    const Unit* goal = nullptr;
    if (!enemies.empty() && Pick(4) != 0) {
        goal = enemies.front();
        for (const Unit* enemy : enemies) {
            if (Distance(unit, *enemy) < Distance(unit, *goal))
                goal = enemy;
        }
    }
    // A path of n steps never ends further than n hex widths away.
    const float reach = static_cast<float>(radius) * Unit::RANGE_STEP;
    std::vector<Hex*> candidates;
    for (int row = home->row - radius; row <= home->row + radius; ++row) {
        for (int column = home->column - 2 * radius; column <= home->column + 2 * radius; ++column) {
            Hex* hex = grid.GetHex(row, column);
            if (hex && hex != home && hex->pickable && hex->DistanceTo(*home) <= reach)
                candidates.push_back(hex);
        }
    }
    if (goal) {
        // Nearest to the foe on foot, not as the crow flies: a wall between the two is walked around.
        const Hex* target = goal->GetHex();
        const std::vector<int> steps = WalkingSteps(*goal->GetHex());
        const auto away = [&steps](const Hex* hex) { return steps[static_cast<size_t>(Index(*hex))]; };
        std::stable_sort(candidates.begin(), candidates.end(), [&](const Hex* a, const Hex* b) {
            if (away(a) != away(b))
                return away(a) < away(b);
            return a->DistanceTo(*target) < b->DistanceTo(*target);
        });
    } else {
        std::shuffle(candidates.begin(), candidates.end(), random);
    }
    const size_t probes = std::min<size_t>(candidates.size(), kMoveProbes);
    for (size_t i = 0; i < probes; ++i) {
        int count = 0;
        if (unit.FindPath(candidates[i], count) != PathSearch::NO_MOVE)
            return candidates[i];
    }
    return nullptr;
}
