#include "ui/ButtonMenu.h"

#include "core/DataManager.h"
#include "core/SoundQueue.h"
#include "ui/FlatQuadPass.h"
#include "ui/GuiButton.h"
#include "ui/TextureCoverage.h"

#include <algorithm>
#include <cstdlib>

namespace {
constexpr float ABILITY_PITCH = 48.0f;
constexpr float ABILITY_WIDTH = 43.0f;
constexpr float ABILITY_HEIGHT = 49.0f;
constexpr float ROW_BOTTOM_OFFSET = 58.0f;
constexpr size_t ROW_WALK = 6;

const GuiButton* g_lastHoveredAbility = nullptr;

const D3DXCOLOR CLEAR(0.0f, 0.0f, 0.0f, 0.0f);
const D3DXCOLOR WHITE(1.0f, 1.0f, 1.0f, 1.0f);

void ShowFrame(GuiButton& button, int frame)
{
    const TextureRecord* record = button.GetTextureRecord();
    const float frameHeight = record ? record->frameWidth : 1.0f;
    button.topV = frameHeight * static_cast<float>(frame - 1);
    button.bottomV = frameHeight * static_cast<float>(frame);
}
} // namespace

ButtonMenu::ButtonMenu() = default;

ButtonMenu::~ButtonMenu()
{
    Release();
}

void ButtonMenu::ForgetHoverSound()
{
    g_lastHoveredAbility = nullptr;
}

GuiButton* ButtonMenu::AddButton(uint32_t row, const std::string& texture, const std::string& iconTexture, float x,
                                 float y, float w, float h)
{
    if (row >= ROW_COUNT)
        return nullptr;
    auto* button = new GuiButton();
    button->Create(texture, x, y, w, h);
    button->baseColour = CLEAR;
    button->colour = CLEAR;
    button->SetEffectTable(m_effectTable.data());
    button->enabled = false;
    button->hoverDelay = 0.1f;
    button->showsName = true;
    button->CreateIcon(iconTexture, 0, 0);
    m_rows[row].push_back(button);
    return button;
}

void ButtonMenu::BuildAbilityRow(float anchorX)
{
    // The button stays on fading to its target; its icon fades in on hover and out to its clear base on leave.
    m_effectTable = {EFFECT_FADE_TO_TARGET, EFFECT_FADE_TO_TARGET, EFFECT_FADE_TO_TARGET, EFFECT_FADE_TO_BASE};
    const float y = static_cast<float>(DataManager::Get()->GetBackBufferHeight()) - ROW_BOTTOM_OFFSET;
    for (uint32_t i = 0; i < ABILITY_BUTTONS; ++i)
        AddButton(1, "default.tga", "Scroll_Over.tga", anchorX + ABILITY_PITCH * static_cast<float>(i), y,
                  ABILITY_WIDTH, ABILITY_HEIGHT);
    AddButton(1, "ButMBack.tga", "Scroll_Over.tga", anchorX + ABILITY_PITCH * ABILITY_BUTTONS, y, ABILITY_WIDTH,
              ABILITY_HEIGHT);
}

// Rows that hold fewer than six buttons (the unused and the always-shown rows) are walked only as far as
// they go.
void ButtonMenu::SwitchRow(uint32_t row)
{
    if (row >= ROW_COUNT)
        return;
    m_previousRow = m_currentRow;
    m_currentRow = row;
    auto& old = m_rows[m_previousRow];
    for (size_t i = 0; i < std::min(ROW_WALK, old.size()); ++i) {
        old[i]->targetColour = CLEAR;
        old[i]->speed = 4.0f;
        old[i]->enabled = false;
        old[i]->ClearFlags();
    }
    auto& shown = m_rows[m_currentRow];
    for (size_t i = 0; i < std::min(ROW_WALK, shown.size()); ++i) {
        shown[i]->targetColour = WHITE;
        shown[i]->speed = 15.0f - 2.0f * static_cast<float>(i);
        shown[i]->enabled = true;
        shown[i]->ClearFlags();
    }
    for (GuiButton* button : m_rows[3]) {
        button->enabled = true;
        button->ClearFlags();
    }
}

void ButtonMenu::RestartFadeIn()
{
    auto& shown = m_rows[m_currentRow];
    for (size_t i = 0; i < shown.size(); ++i) {
        GuiButton* button = shown[i];
        button->baseColour = CLEAR;
        button->colour = CLEAR;
        button->pendingEffect = EFFECT_FADE_TO_TARGET;
        button->effectTimer = 0.0f;
        button->effectDelay = 0.0f;
        button->speed = 7.0f - static_cast<float>(i);
    }
}

void ButtonMenu::Update()
{
    for (GuiButton* button : m_rows[m_currentRow])
        button->Update();
    for (GuiButton* button : m_rows[3])
        button->Update();
    if (m_previousRow != m_currentRow)
        for (GuiButton* button : m_rows[m_previousRow])
            button->Update();
}

void ButtonMenu::Render()
{
    FlatQuadPass pass(DataManager::Get()->GetDevice());
    const float bottom = static_cast<float>(DataManager::Get()->GetBackBufferHeight());
    for (uint32_t row : {m_currentRow, 3u}) {
        const auto& coverage = m_coverage[row];
        for (size_t i = 0; i < m_rows[row].size(); ++i) {
            GuiButton& button = *m_rows[row][i];
            if (i < coverage.size())
                pass.DrawShown(button, coverage[i].get(), bottom);
            else
                pass.Draw(button);
            pass.DrawIcon(button);
        }
    }
}

void ButtonMenu::ReadCoverage(uint32_t row)
{
    if (row >= ROW_COUNT)
        return;
    m_coverage[row].clear();
    for (GuiButton* button : m_rows[row]) {
        const TextureRecord* record = button->GetTextureRecord();
        m_coverage[row].push_back(std::make_unique<TextureCoverage>(record ? record->texture : nullptr));
    }
}

GuiButton* ButtonMenu::GetButton(uint32_t row, uint32_t index) const
{
    if (row >= ROW_COUNT || index >= m_rows[row].size())
        return nullptr;
    return m_rows[row][index];
}

void ButtonMenu::OnLostDevice()
{
    for (auto& row : m_rows)
        for (GuiButton* button : row)
            button->OnLostDevice();
}

void ButtonMenu::OnResetDevice()
{
    for (auto& row : m_rows)
        for (GuiButton* button : row)
            button->OnResetDevice();
}

size_t ButtonMenu::ShownAbilities() const
{
    if (!m_abilities)
        return 0;
    const size_t buttons = m_rows[1].empty() ? 0 : m_rows[1].size() - 1;
    return std::min({m_abilities->size(), static_cast<size_t>(ABILITY_BUTTONS), buttons});
}

// A unit may know more abilities than the row has places; the row shows the first five and the Back button
// keeps its place.
void ButtonMenu::SetAbilities(const std::vector<SpellDefinition>* list, int actionPoints, int mana)
{
    for (size_t i = 0; i < std::min<size_t>(ABILITY_BUTTONS, m_rows[1].size()); ++i) {
        m_rows[1][i]->SetVisible(false);
        m_rows[1][i]->enabled = false;
    }
    m_abilities = list;
    // The buttons take the abilities' pictures: what their old ones let through no longer counts.
    m_coverage[1].clear();
    for (size_t i = 0; i < ShownAbilities(); ++i) {
        const SpellDefinition& ability = (*m_abilities)[i];
        GuiButton& button = *m_rows[1][i];
        button.SetTextureByName(ability.fileName + "_Icon_f2.tga");
        button.enabled = true;
        button.hoverDelay = 0.0f;
        button.SetDescription(ability.description);
        if (ability.usesLeft > 0 && ability.actionPointCost <= actionPoints && std::abs(ability.manaCost) <= mana) {
            ShowFrame(button, 1);
        } else {
            ShowFrame(button, 2);
            button.enabled = false;
        }
        button.iconVisible = true;
        button.SetVisible(true);
    }
}

GuiButton* ButtonMenu::UpdateAbilityRow(int actionPoints, AbilityRowHost& host)
{
    if (!m_abilities || m_rows[1].empty())
        return nullptr;
    GuiButton* back = m_rows[1].back();
    if (back->clicked) {
        SwitchRow(0);
        host.OnAbilityRowBack();
        return nullptr;
    }
    for (size_t i = 0; i < ShownAbilities(); ++i) {
        const SpellDefinition& ability = (*m_abilities)[i];
        GuiButton* button = m_rows[1][i];
        if (ability.actionPointCost > actionPoints || ability.usesLeft <= 0) {
            ShowFrame(*button, 2);
            button->iconVisible = false;
            continue;
        }
        if (!button->clicked) {
            if (button->longHover) {
                host.ShowSpellCost(ability);
                if (button != g_lastHoveredAbility) {
                    SoundQueue::Get()->Queue("UI_HOVER.wav", 9, false, 0.0f);
                    g_lastHoveredAbility = button;
                }
            }
            continue;
        }
        host.OnAbilityChosen(ability);
        return button;
    }
    return nullptr;
}

void ButtonMenu::Release()
{
    for (auto& row : m_rows) {
        for (GuiButton* button : row) {
            if (button == g_lastHoveredAbility)
                g_lastHoveredAbility = nullptr;
            button->Release();
            delete button;
        }
        row.clear();
    }
    for (auto& row : m_coverage)
        row.clear();
}
