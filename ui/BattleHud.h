#pragma once

#include "battle/CommandHud.h"
#include "ui/ButtonMenu.h"
#include "win32/Win32.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class BoardUnit;
class GuiButton;
class TextLabel;
class TextureCoverage;
class TurnOrder;
class Unit;
struct SpellDefinition;

// The battle interface of the unit whose turn it is: the frame along the bottom of the screen, the action row
// (Move, Attack, Defend, Focus, Magic Spells, End Turn) and the ability row behind Magic Spells, the animated
// highlight over the chosen action, the unit's action points, health and costs, health and mana bars that slide
// toward the unit's values, the main-menu button and the turn order (the turn flow's, shown) whose head is
// the current unit.
// The rules reach it through the command HUD it registers; the session updates and draws it in battle.
class BattleHud : public CommandHud, public AbilityRowHost
{
public:
    struct LayoutRect {
        float x = 0.0f;
        float y = 0.0f;
        float width = 0.0f;
        float height = 0.0f;
    };
    struct TurnOrderEntry {
        std::unique_ptr<TextLabel> label;
        BoardUnit* unit = nullptr;
    };

    static constexpr int ACTION_COUNT = 6;
    static constexpr int ACTION_END_TURN = 5;
    static constexpr size_t LAYOUT_COUNT = 8;
    static constexpr size_t LAYOUT_HEALTH_FRAME = 0;
    static constexpr size_t LAYOUT_MANA_FRAME = 1;
    static constexpr size_t LAYOUT_HEALTH_FILL = 2;
    static constexpr size_t LAYOUT_MANA_FILL = 3;
    static constexpr size_t LAYOUT_FRAME = 4;
    static constexpr size_t LAYOUT_ABILITY_ROW = 6;
    static constexpr size_t LAYOUT_MAIN_MENU = 7;
    static constexpr size_t EXTRA_COUNT = 6;
    static constexpr size_t EXTRA_HEALTH_FRAME = 0;
    static constexpr size_t EXTRA_MANA_FRAME = 1;
    static constexpr size_t EXTRA_HEALTH_FILL = 2;
    static constexpr size_t EXTRA_MANA_FILL = 3;
    static constexpr size_t EXTRA_FRAME = 4;
    static constexpr size_t EXTRA_MAIN_MENU = 5;
    // The turn-order badge over a unit counts to eight; every later place shows nine.
    static constexpr int LAST_BADGE = 9;

    // The one HUD, made on first use with nothing in it.
    static BattleHud* Get();
    // Tests start from a fresh HUD.
    static void ResetForTests();
    // The HUD when one has been made, without making one.
    static BattleHud* Existing();

    ~BattleHud() override;
    BattleHud(const BattleHud&) = delete;
    BattleHud& operator=(const BattleHud&) = delete;

    // Lays the HUD out for the back buffer's size, builds its widgets and registers it with the rules.
    void Init();
    void BuildActionMenu();
    // Nothing happens without a current unit.
    void Update();
    void Render();
    // The unit's turn begins: its abilities fill the ability row and the action row shows, every action lit.
    void SelectUnit(BoardUnit* unit);
    void AddTurnOrderEntry(BoardUnit* unit);
    // Puts the entries in the turn flow's order and makes its head the current unit.
    void ShowTurnOrder(const TurnOrder& order);
    void UpdateTurnOrderTexts();
    BoardUnit* GetFirstUnit() const;
    void ClearTurnOrder();
    void HighlightAbilityTargets(const SpellDefinition& ability);
    void OnLostDevice();
    void OnResetDevice();
    // Releases every widget the HUD owns and unregisters it; Init builds it again.
    void Destroy();
    bool IsInitialised() const { return m_initialised; }
    // The first screen row from which the frame, drawn after whatever asks, hides every pixel between the
    // columns left and right down to the bottom of the back buffer; the back buffer's height when it hides
    // no such band.
    float HiddenFrom(float left, float right) const;

    // What the rules ask of the HUD.
    void HideHighlight() override;
    void UpdateUnitTexts() override;
    void ResetMenu() override;
    BoardUnit* GetCurrentUnit() const override { return m_currentUnit; }
    void ForgetUnit(BoardUnit* gone) override;
    void DisableAction(int index) override;
    void RemoveUnit(BoardUnit* unit) override;

    // What the ability row asks of the HUD.
    void OnAbilityRowBack() override;
    void ShowSpellCost(const SpellDefinition& ability) override;
    void OnAbilityChosen(const SpellDefinition& ability) override;

    ButtonMenu* GetMenu() const { return m_menu.get(); }
    GuiButton* GetActionButton(int index) const;
    GuiButton* GetExtra(size_t index) const { return index < m_extras.size() ? m_extras[index].get() : nullptr; }
    GuiButton* GetHighlight() const { return m_highlight.get(); }
    TextLabel* GetUnitText() const { return m_unitText.get(); }
    TextLabel* GetSecondText() const { return m_secondText.get(); }
    TextLabel* GetTurnTimeText() const { return m_turnTimeText.get(); }
    const LayoutRect& GetLayout(size_t index) const { return m_layout[index < LAYOUT_COUNT ? index : 0]; }
    size_t GetTurnOrderSize() const { return m_turnOrder.size(); }
    BoardUnit* GetTurnOrderUnit(size_t index) const;
    TextLabel* GetTurnOrderLabel(size_t index) const;
    // The chosen-action toggles of Move, Attack, Defend and Focus.
    bool IsActionToggled(int index) const;

private:
    BattleHud();

    Unit* CurrentBody() const;
    // The HUD commands only the unit whose turn it is; during the countdown the head of the order waits.
    Unit* CommandedUnit() const;
    void CreateLayout();
    void CreateExtras();
    void CreateTexts();
    void UpdateMenus();
    void UpdateActionMenu(Unit* unit);
    void CancelAction(Unit& unit, int action);
    void HighlightButton(const GuiButton& button);
    void UpdateBar(size_t fill, size_t frame, int value, int maximum, float& stepTimer, const char* nameFormat);
    void ShowActionFrame(int index, bool greyed);
    void ReleaseWidgets();

    BoardUnit* m_currentUnit = nullptr;
    std::unique_ptr<ButtonMenu> m_menu;
    std::unique_ptr<TextLabel> m_unitText;
    std::unique_ptr<TextLabel> m_secondText;
    std::unique_ptr<TextLabel> m_turnTimeText;
    std::vector<TurnOrderEntry> m_turnOrder;
    std::array<LayoutRect, LAYOUT_COUNT> m_layout{};
    std::vector<std::unique_ptr<GuiButton>> m_extras;
    std::unique_ptr<GuiButton> m_highlight;
    // What the pictures of the frame, the bars and the main-menu button let through, read when they are made:
    // their clear margins are not drawn, and the frame's opaque rows hide what lies beneath.
    std::array<std::unique_ptr<TextureCoverage>, EXTRA_COUNT> m_coverage;
    bool m_initialised = false;
    // The back-buffer size the layout rectangles were last computed or rescaled for.
    unsigned m_layoutWidth = 0;
    unsigned m_layoutHeight = 0;

    std::array<bool, 4> m_toggles{};
    float m_healthStepTimer = 0.0f;
    float m_manaStepTimer = 0.0f;
    // The fixed rectangles the two unit texts are centred in; the labels keep pointers to them.
    RECT m_unitTextRect{0, 0, 0, 0};
    RECT m_secondTextRect{0, 0, 0, 0};
    // {button hover, button leave, icon hover, icon leave} of the main-menu button.
    std::array<uint32_t, 4> m_mainMenuEffects{};
};
