#pragma once
// The battle HUD as far as the rules need it in a battle without a screen: the action buttons they grey, the
// head of the turn flow's order as the current unit, and a count of the units the rules took out of the order
// by their deaths. It draws nothing and decides nothing: the order is the turn flow's.

#include "battle/CommandHud.h"

#include <vector>

class TurnFlow;

class SimulatedHud : public CommandHud
{
public:
    static constexpr int kActionCount = 5;

    explicit SimulatedHud(const TurnFlow& flow);
    ~SimulatedHud() override;
    SimulatedHud(const SimulatedHud&) = delete;
    SimulatedHud& operator=(const SimulatedHud&) = delete;

    // A new battle: no death counted, every action lit.
    void Clear();
    // A new turn shows every action button again.
    void EnableActions();
    bool IsActionEnabled(int index) const;

    void HideHighlight() override { }
    void UpdateUnitTexts() override { }
    void ResetMenu() override { }
    BoardUnit* GetCurrentUnit() const override;
    void ForgetUnit(BoardUnit*) override { }
    void DisableAction(int index) override;
    void RemoveUnit(BoardUnit* unit) override;

    // How many units the rules have taken out of the order (each death once).
    int GetRemovals() const { return removals; }

private:
    const TurnFlow& flow;
    bool enabled[kActionCount] = {true, true, true, true, true};
    int removals = 0;
    // The dead already counted, so that a second report of the same death counts for nothing.
    std::vector<const BoardUnit*> removed;
};
