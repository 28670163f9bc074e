#pragma once
// The attack rules of one unit: checking its target, winding up and landing a blow, and, on the other side,
// rolling the defence and taking the blow. A short-lived view of its unit: the unit makes one for each call
// and lends it its rules state.

#include "battle/UnitDefinition.h"
#include "battle/UnitState.h"

class Unit;
class UnitRulesHost;
struct UnitRulesState;

class UnitCombat
{
public:
    UnitCombat(Unit& unit, UnitRulesState& rules, UnitRulesHost& host) : m_unit(unit), m_rules(rules), m_host(host) { }

    TargetCheck CheckTarget();
    void BeginAttack();
    bool AttackWindUp();
    void ResolveAttack();
    DefenceOutcome TakeAttack(Unit* attacker);
    DefenceOutcome DefenceRoll(Unit* attacker, AttackKind kind);
    static float ArmourReduction(ArmourType armour);
    static int SizeModifier(SizeCategory size);
    // The damage an attack starts from before its spread and critical: what the deployment screen shows.
    static int AttackDamage(const UnitRulesState& rules);
    // Half the agility, truncated, and the size's modifier; at most 90.
    int DodgeChance() const;

private:
    Unit& m_unit;
    UnitRulesState& m_rules;
    UnitRulesHost& m_host;
};
