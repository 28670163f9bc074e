#pragma once
// The attack rules of one unit: checking its target, winding up and landing a blow, and, on the other side,
// rolling the defence and taking the blow. A short-lived view of its unit: the unit makes one for each call
// and lends it its private state.

#include "battle/UnitDefinition.h"
#include "battle/UnitState.h"

class Unit;

class UnitCombat
{
public:
    explicit UnitCombat(Unit& unit) : m_unit(unit) { }

    TargetCheck CheckTarget();
    void BeginAttack();
    bool AttackWindUp();
    void ResolveAttack();
    DefenceOutcome TakeAttack(Unit* attacker);
    DefenceOutcome DefenceRoll(Unit* attacker, AttackKind kind);
    static float ArmourReduction(ArmourType armour);
    static int SizeModifier(SizeCategory size);

private:
    Unit& m_unit;
};
