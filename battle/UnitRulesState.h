#pragma once
// Everything a unit's rules decide on, kept in the groups its rule areas share. The unit owns one and lends it to
// its rule areas (combat, spellcasting, timed effects, movement) for a call; the rest of the game reads it.

#include "battle/TimedEffect.h"
#include "battle/UnitDefinition.h"
#include "battle/UnitState.h"
#include "battle/UnitStats.h"
#include "core/SpellDefinition.h"

#include <cstdint>
#include <string>
#include <vector>

class Hex;
class Player;
class Unit;

struct UnitRulesState {
    // What the unit's class makes of it in a fight: set from its definition, changed only by effects and focus.
    struct Attributes {
        float initiativeWeight = 1.0f;
        float secondFactor = 1.0f;
        float thirdFactor = 1.0f;
        int32_t missChance = 5;
        int32_t criticalChance = 35;
        RatingLevel resistanceLevel = RatingLevel::NONE;
        int32_t holyResistance = 0;
        int32_t natureResistance = 0;
        int32_t arcaneResistance = 0;
        int32_t shadowResistance = 0;
        PrimaryAttribute primaryAttribute = PrimaryAttribute::STRENGTH;
        ArmourType armour = ArmourType::CLOTH;
        SizeCategory size = SizeCategory::MEDIUM;
        // Seconds into the attack animations at which a blow lands.
        float meleeHitTime = 0.0f;
        float criticalHitTime = 0.0f;
        float thirdHitTime = 0.0f;
        // World units per second along a path.
        float movementSpeed = 200.0f;
    };

    // Where the unit stands in the turn order and which stance it holds.
    struct Turn {
        UnitState state = IDLE;
        // The stance the unit takes as its turn ends; UNIT_STATE_NONE for none.
        UnitState pendingState = UNIT_STATE_NONE;
        int32_t initiative = 50;
        bool waiting = true;
        bool myTurn = false;
        float turnTimer = 0.0f;
        float waitTimer = 0.0f;
        bool alive = true;
        // On the board and drawn: the units not yet deployed stay still.
        bool visible = false;
        // Another unit aims at this one.
        bool targeted = false;
        // Stances entered at the end of a turn are part of that turn's end: they ask the session for no turn.
        bool endingTurn = false;
    };

    // The command under way: its target, its roll and its path.
    struct Command {
        Unit* target = nullptr;
        Unit* lastTarget = nullptr;
        int selectedAbility = -1;
        AttackKind attackKind = AttackKind::NORMAL;
        bool critical = false;
        bool secondAttack = false;
        float damage = 0.0f;
        TargetCheck targetCheck = OUT_OF_RANGE;
        DefenceOutcome defenceOutcome = DefenceOutcome::HIT;
        Hex* abilityTarget = nullptr;
        // The hexes still to walk: the destination first, the next step last.
        std::vector<Hex*> path;
        float attackStartTime = -1.0f;
        // The wind-up found no attack animation to wait for.
        bool resolveWithoutAnimation = false;
        // The command asked the session for a slow-motion shot that has not been shown yet.
        bool slowMotionRequested = false;
    };

    std::string name = "No Name";
    std::string fileName = "No File";
    Player* owner = nullptr;
    UnitStats stats;
    Attributes attributes;
    Turn turn;
    Command command;
    std::vector<TimedEffect> timedEffects;
    std::vector<SpellDefinition> abilities;
};
