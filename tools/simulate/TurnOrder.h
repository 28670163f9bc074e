#pragma once
// The battle HUD as far as the rules and the turn flow need it: the turn-order list that decides whose turn
// comes next, and the action buttons the rules grey. It draws nothing.

#include "battle/CommandHud.h"

#include <vector>

class Unit;

class TurnOrder : public CommandHud
{
public:
    static constexpr int kActionCount = 5;

    TurnOrder();
    ~TurnOrder() override;
    TurnOrder(const TurnOrder&) = delete;
    TurnOrder& operator=(const TurnOrder&) = delete;

    void Add(Unit* unit);
    void Clear();
    // Smallest initiative first; between equal initiatives the unit that has waited longer. The head becomes
    // the current unit.
    void Sort();
    Unit* GetFirstUnit() const { return entries.empty() ? nullptr : entries.front(); }
    const std::vector<Unit*>& GetEntries() const { return entries; }
    // A new turn shows every action button again.
    void EnableActions();
    bool IsActionEnabled(int index) const;

    void HideHighlight() override { }
    void UpdateUnitTexts() override { }
    void ResetMenu() override { }
    BoardUnit* GetCurrentUnit() const override;
    void ForgetUnit(BoardUnit* gone) override;
    void DisableAction(int index) override;
    void RemoveUnit(BoardUnit* unit) override;

    // How many units the rules have taken out of the order (each death once).
    int GetRemovals() const { return removals; }

private:
    std::vector<Unit*> entries;
    Unit* current = nullptr;
    bool enabled[kActionCount] = {true, true, true, true, true};
    int removals = 0;
};
