#pragma once

#include "core/SpellDefinition.h"

#include <cstdint>

class ParticleEmitter;
class WorldQuad;

// The lasting part of an ability: a change of one statistic of a unit, re-applied at every tick of its phase
// and undone when its turns run out. Kept by value in the unit's list; the unit owns the emitter and quad.
struct TimedEffect {
    // Ticks at the start of the unit's own turn: the unit cast it on itself.
    static constexpr uint8_t PHASE_TURN_BEGIN = 0;
    // Ticks at the end of the unit's turn.
    static constexpr uint8_t PHASE_TURN_END = 1;

    EffectType type = EffectType::HEALTH;
    int32_t turns = 0;
    int32_t amount = 0;
    // The statistic before the first application, written back at expiry (health excepted).
    int32_t saved = 0;
    // The change of health the effect has made so far, after the limits: all that its expiry undoes.
    int32_t applied = 0;
    // False once expired; the next tick of either phase removes the record.
    bool active = true;
    uint8_t phase = PHASE_TURN_END;
    ParticleEmitter* emitter = nullptr;
    WorldQuad* quad = nullptr;
};
