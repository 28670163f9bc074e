#pragma once
// The lasting effects on one unit: making an effect's record, applying and undoing its change of a statistic,
// merging a second record of a type into the first, and ticking them as the unit's turns begin and end. A
// short-lived view of its unit: the unit makes one for each call and lends it its private state.

#include "battle/TimedEffect.h"

#include <cstdint>

class Unit;

class UnitTimedEffects
{
public:
    explicit UnitTimedEffects(Unit& unit) : m_unit(unit) { }

    static TimedEffect CreateTimedEffect();
    void ApplyModifier(TimedEffect& effect);
    void RestoreModifier(TimedEffect& effect);
    void AddTimedEffect(TimedEffect effect);
    void TickEffects(uint8_t phase);
    static void ReleaseTimedEffectAttachments(TimedEffect& effect);

private:
    Unit& m_unit;
};
