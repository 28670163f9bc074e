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

    // Action buttons, by index.
    static constexpr int ACTION_MOVE = 0;
    static constexpr int ACTION_ATTACK = 1;
    static constexpr int ACTION_DEFEND = 2;
    static constexpr int ACTION_FOCUS = 3;
    static constexpr int ACTION_SPELLS = 4;
    // Greys an action button for the rest of the turn. A HUD without buttons ignores it.
    virtual void DisableAction(int index) { (void)index; }
    // Takes a unit out of the turn order (it died). A HUD without a turn order ignores it.
    virtual void RemoveUnit(BoardUnit* unit) { (void)unit; }
};
