#pragma once

#include <cstdint>

// What a unit is doing. 10 names no state; in a pending-state field, UNIT_STATE_NONE means none.
enum UnitState : int32_t
{
    IDLE = 0,
    DEAD = 1,
    SELECTING_MOVE = 2,
    MOVING = 3,
    TURNING_POSITIVE = 4,
    TURNING_NEGATIVE = 5,
    SELECTING_TARGET = 6,
    ATTACKING = 7,
    DEFENDING = 8,
    FOCUSING = 9,
    SELECTING_ABILITY_TARGET = 11,
    CASTING = 12,
    UNIT_STATE_NONE = 13,
};

// The result of checking a unit's target for an attack or an ability.
enum TargetCheck : int32_t
{
    OUT_OF_RANGE = 0,
    INSUFFICIENT_MANA = 1,
    NO_SPELL = 2,
    NO_TARGET = 3,
    OWN_TEAM = 4,
    AREA_IN_RANGE = 5,
    MELEE_IN_RANGE = 6,
    RANGED_IN_RANGE = 7,
    SPELL_ON_UNIT = 8,
};

// How an attack was rolled at its start.
enum class AttackKind : int32_t
{
    NORMAL = 1,
    CRITICAL = 3,
    ACE_CRITICAL = 4,
};

// What an attack will do to its target, fixed by the target's defence roll when the attack starts.
enum class DefenceOutcome : int32_t
{
    HIT = 0,
    // The attack was a critical or the target was focusing.
    HIT_HARD = 1,
    MISS = 5,
    KILLING_BLOW = 6,
    // No valid attacker, or the target is invincible.
    SHIELDED = 7,
};
