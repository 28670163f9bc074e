#pragma once
// What the command dispatch asks of the battle HUD. The HUD registers itself; without one the calls do nothing.

class BoardUnit;

class CommandHud
{
public:
    static CommandHud* Get();
    static void Register(CommandHud* hud);

    virtual ~CommandHud() = default;

    virtual void HideHighlight() = 0;
    virtual void UpdateUnitTexts() = 0;
    virtual void ResetMenu() = 0;
    // The unit at the head of the turn order, or null.
    virtual BoardUnit* GetCurrentUnit() const = 0;
    // Drops every reference to a unit that is about to be deleted.
    virtual void ForgetUnit(BoardUnit* gone) = 0;
};
