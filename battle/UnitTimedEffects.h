#pragma once
// The lasting effects on one unit: making an effect's record, applying and undoing its change of a statistic,
// merging a second record of a type into the first, and ticking them as the unit's turns begin and end. A
// short-lived view of its unit: the unit makes one for each call and lends it its rules state.

#include "battle/TimedEffect.h"

#include <cstdint>

class Unit;
class UnitRulesHost;
struct UnitRulesState;

class UnitTimedEffects
{
public:
    UnitTimedEffects(Unit& unit, UnitRulesState& rules, UnitRulesHost& host)
        : m_unit(unit), m_rules(rules), m_host(host)
    { }

    static TimedEffect CreateTimedEffect();
    void ApplyModifier(TimedEffect& effect);
    void RestoreModifier(TimedEffect& effect);
    void AddTimedEffect(TimedEffect effect);
    void TickEffects(uint8_t phase);
    static void ReleaseTimedEffectAttachments(TimedEffect& effect);

private:
    Unit& m_unit;
    UnitRulesState& m_rules;
    UnitRulesHost& m_host;
};
