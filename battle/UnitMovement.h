#pragma once
// How one unit walks: finding its path, setting off, stepping from hex to hex with its footsteps, and the
// wound an enemy phalanx's zone gives it where the walk ends. A short-lived view of its unit: the unit makes
// one for each call and lends it its rules state.

class Hex;
class Unit;
class UnitRulesHost;
struct UnitRulesState;

class UnitMovement
{
public:
    UnitMovement(Unit& unit, UnitRulesState& rules, UnitRulesHost& host)
        : m_unit(unit), m_rules(rules), m_host(host) { }

    int FindPath(Hex* targetHex, int& count);
    bool StartMove();
    void WalkStep();

private:
    Unit& m_unit;
    UnitRulesState& m_rules;
    UnitRulesHost& m_host;

    // Damage from an enemy's phalanx whose zone covers the hex the walk ended on.
    void ZoneOfControl(Hex& arrival);
};
