#pragma once
// What a unit's rule areas ask of the unit they work for: the state changes they have decided on, the points a
// command spends, a death, and the steps a stance or an ability hands back to the unit. The unit implements it
// out of sight of the rest of the game, which changes a unit only through its commands.

#include "battle/UnitState.h"

#include <string>

class Player;

class UnitRulesHost
{
public:
    // A state the rules have settled on: no command check, the state's visuals follow.
    virtual void EnterState(UnitState state) = 0;
    // Death by any cause: only the first one counts, so a unit is never killed, credited or dropped twice.
    virtual void DieFrom(Player* killer) = 0;
    virtual void SpendActionPoints(int points) = 0;
    // Greys the command buttons whose cost the unit can no longer pay.
    virtual void RefreshCommandButtons() = 0;
    virtual void EndDefend(bool animate) = 0;
    virtual void EndFocus(bool animate) = 0;
    // The visual side of a class's ability, as it is cast.
    virtual void PlayAbilityEffect(const std::string& abilityName) = 0;

protected:
    ~UnitRulesHost() = default;
};
