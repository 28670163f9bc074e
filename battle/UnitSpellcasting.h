#pragma once
// The abilities of one unit: choosing one, paying for it, casting it on a unit or over an area, and what an
// ability does to the unit it lands on (its rolled amount, the changed statistic, the lasting record, death).
// A short-lived view of its unit: the unit makes one for each call and lends it its rules state.

#include "core/SpellDefinition.h"

#include <string>

class BoardUnit;
class Hex;
class Player;
class Unit;
class UnitRulesHost;
struct UnitRulesState;
struct TimedEffect;

class UnitSpellcasting
{
public:
    // Game seconds after which a cast that waits for its emitters is over even if none has arrived or ended.
    static constexpr float PROJECTILE_CAST_LIMIT = 5.0f;

    UnitSpellcasting(Unit& unit, UnitRulesState& rules, UnitRulesHost& host)
        : m_unit(unit), m_rules(rules), m_host(host)
    { }

    // Appends a copy of the named spell with its uses; a name without a spell adds nothing.
    void AddAbility(const std::string& abilityName, int uses);
    void SelectAbility(const std::string& abilityName);
    void UseAbility(Hex* hovered);
    void CastSpell(BoardUnit* spellTarget);
    bool AbilityReady();
    void StartAreaEmitters();
    void ReceiveAreaAbility(Unit* caster, const SpellDefinition& ability);
    // Rolls the ability's amount against the unit's resistance to its school and changes one statistic, once
    // or for the ability's turns; a harm that takes the last health kills.
    void ApplySpellEffect(BoardUnit* caster, const SpellDefinition& ability);
    // The one cast delay that every unit shares.
    static float GetCastTimer();
    static void SetCastTimer(float seconds);

private:
    Unit& m_unit;
    UnitRulesState& m_rules;
    UnitRulesHost& m_host;

    // The three refusals a cast shares; true when the cast may go on.
    bool CanPayFor(const SpellDefinition& ability);
    void PayFor(const SpellDefinition& ability);
    bool Fizzled(const SpellDefinition& ability);
    // The ability's amount after the caster's critical and the unit's resistance to its school.
    int RollSpellAmount(const Unit* casterUnit, const SpellDefinition& ability) const;
    // The cases of a health effect that its table row cannot say; false when the effect is blocked.
    bool ApplyHealthSpecialCases(const SpellDefinition& ability, Player* casterOwner, int& amount, TimedEffect& effect);
};
