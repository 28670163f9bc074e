#pragma once

#include <cstdint>

// A unit's statistics, set as one block. Ranges and radii are in hex steps.
struct UnitStats {
    int32_t health = 0;
    int32_t mana = 0;
    int32_t maxHealth = 0;
    int32_t maxMana = 0;
    int32_t unused = 0;
    int32_t strength = 0;
    int32_t agility = 0;
    int32_t intelligence = 0;
    // Drives the initiative countdown.
    int32_t speed = 0;
    // As read from the definition; focus restores strength from here.
    int32_t baseStrength = 0;
    int32_t baseAgility = 0;
    int32_t baseIntelligence = 0;
    int32_t baseSpeed = 0;
    int32_t movementRadius = 0;
    int32_t meleeRange = 0;
    int32_t rangedRange = 0;
    int32_t defendRadius = 0;
    int32_t actionPoints = 0;
    int32_t baseMovementRadius = 0;
    int32_t baseMeleeRange = 0;
    int32_t baseRangedRange = 0;
    int32_t baseDefendRadius = 0;
    int32_t maxActionPoints = 0;
};
