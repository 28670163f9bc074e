#pragma once

#include "core/SpellDefinition.h"
#include "ui/GuiObject.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class GuiButton;
class TextureCoverage;

// What the ability row asks of the battle HUD that owns the menu.
class AbilityRowHost
{
public:
    virtual ~AbilityRowHost() = default;
    // The Back button was clicked; the menu has already switched to the action row.
    virtual void OnAbilityRowBack() = 0;
    virtual void ShowSpellCost(const SpellDefinition& ability) = 0;
    virtual void OnAbilityChosen(const SpellDefinition& ability) = 0;
};

// The battle HUD's rows of buttons: the action row, the ability row (five abilities and Back), an unused row
// and a row that is always shown. One switchable row shows at a time and fades in button by button.
class ButtonMenu
{
public:
    static constexpr uint32_t ROW_COUNT = 4;
    static constexpr uint32_t ABILITY_BUTTONS = 5;

    ButtonMenu();
    ~ButtonMenu();
    ButtonMenu(const ButtonMenu&) = delete;
    ButtonMenu& operator=(const ButtonMenu&) = delete;

    GuiButton* AddButton(uint32_t row, const std::string& texture, const std::string& iconTexture, float x, float y,
                         float w, float h);
    // anchorX: the left edge of the HUD's ability-row place.
    void BuildAbilityRow(float anchorX);
    void SwitchRow(uint32_t row);
    void RestartFadeIn();
    void Update();
    void Render();
    GuiButton* GetButton(uint32_t row, uint32_t index) const;
    GuiButton* GetButton(uint32_t index) const { return GetButton(m_currentRow, index); }
    size_t RowSize(uint32_t row) const { return row < ROW_COUNT ? m_rows[row].size() : 0; }
    uint32_t GetCurrentRow() const { return m_currentRow; }
    uint32_t GetPreviousRow() const { return m_previousRow; }
    void OnLostDevice();
    void OnResetDevice();

    // Shows the unit's abilities (at most five) greyed by what the unit can still pay.
    void SetAbilities(const std::vector<SpellDefinition>* abilities, int actionPoints, int mana);
    // Each frame while the ability row shows: the clicked ability button, or null.
    GuiButton* UpdateAbilityRow(int actionPoints, AbilityRowHost& host);
    // Reads, once, what the pictures of the row's buttons let through: from then on their clear texels are not
    // drawn and their opaque ones are drawn without blending. For a row whose buttons keep their pictures (the
    // action row); the ability row's pictures change with the unit, and showing its abilities forgets it.
    void ReadCoverage(uint32_t row);
    void Release();

    // The last ability button that played the hover sound is process-wide.
    static void ForgetHoverSound();

private:
    size_t ShownAbilities() const;

    std::array<uint32_t, 4> m_effectTable{EFFECT_FADE_TO_TARGET, EFFECT_FADE_TO_TARGET, EFFECT_FADE_TO_TARGET,
                                          EFFECT_FADE_TO_TARGET};
    const std::vector<SpellDefinition>* m_abilities = nullptr;
    uint32_t m_currentRow = 0;
    uint32_t m_previousRow = 1;
    std::array<std::vector<GuiButton*>, ROW_COUNT> m_rows;
    // Button by button, what the pictures of a row read by ReadCoverage let through.
    std::array<std::vector<std::unique_ptr<TextureCoverage>>, ROW_COUNT> m_coverage;
};
