#include "ui/BattleHud.h"

#include "battle/BattleSession.h"
#include "battle/BoardView.h"
#include "battle/Hex.h"
#include "battle/TurnOrder.h"
#include "battle/Unit.h"
#include "core/DataManager.h"
#include "core/InputManager.h"
#include "core/ScreenVertex.h"
#include "core/SoundQueue.h"
#include "d3d9/D3D9.h"
#include "dinput/DInput.h"
#include "scene/Camera.h"
#include "scene/WorldQuad.h"
#include "ui/FlatQuadPass.h"
#include "ui/FrontEndLink.h"
#include "ui/GuiButton.h"
#include "ui/MouseOverManager.h"
#include "ui/TextLabel.h"
#include "ui/TextureCoverage.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace {
std::unique_ptr<BattleHud>& Instance()
{
    static std::unique_ptr<BattleHud> instance;
    return instance;
}

// The frame is 800 x 163 pixels, centred along the bottom of the back buffer and reaching 3 pixels below it.
constexpr float FRAME_HALF_WIDTH = 400.0f;
constexpr float FRAME_RISE = 160.0f;
constexpr float FRAME_WIDTH = 800.0f;
constexpr float FRAME_HEIGHT = 163.0f;
constexpr float BAR_INSET = 9.0f;
constexpr float MANA_BAR_INSET = 602.0f;
constexpr float BAR_TOP = 75.0f;
constexpr float BAR_WIDTH = 190.0f;
constexpr float BAR_HEIGHT = 88.0f;
constexpr float ABILITY_ROW_INSET = 255.0f;
// The action row starts one pixel left of the ability row, so each action sits under its ability.
constexpr float ACTION_ROW_INSET = 254.0f;
constexpr float BUTTON_PITCH = 48.0f;
constexpr float BUTTON_WIDTH = 43.0f;
constexpr float BUTTON_HEIGHT = 49.0f;
constexpr float ROW_BOTTOM_OFFSET = 58.0f;
constexpr float HOVER_DELAY = 0.75f;
constexpr float HIDDEN = -100.0f;
constexpr float HIGHLIGHT_FRAME_TIME = 1.0f / 35.0f;
constexpr float BAR_STEP_TIME = 0.01f;
constexpr float BAR_STEP = 2.0f;
constexpr float UNIT_TEXT_OFFSET_X = 355.0f;
constexpr float UNIT_TEXT_OFFSET_Y = 55.0f;
constexpr int UNIT_TEXT_HEIGHT = 24;
constexpr int SECOND_TEXT_HEIGHT = 16;
constexpr int TURN_TIME_HEIGHT = 18;
constexpr int TURN_ORDER_HEIGHT = 20;
constexpr size_t TURN_ORDER_SHOWN = 8;
constexpr int SOUND_CLASS = 9;
constexpr const char* FACE = "Times New Roman";
constexpr const char* CLICK_SOUND = "UI_CLICK.wav";
constexpr const char* GLOW_MESH = "PolyGlow.x";

struct ActionLook {
    const char* texture;
    const char* name;
    const char* hoverText;
};
constexpr ActionLook ACTIONS[BattleHud::ACTION_COUNT] = {
    {"bMove_f2.tga", "Move", "AP Cost: 5"},          {"bAttack_f2.tga", "Attack", "AP Cost: 6"},
    {"bDefend_f2.tga", "Defend", "AP Cost: 4"},      {"bFocus_f2.tga", "Focus", "AP Cost: 2"},
    {"bMagic_f2.tga", "Magic Spells", "Magic Menu"}, {"bEnd_f2.tga", "End Turn", "End Turn"},
};

const D3DXCOLOR CLEAR(0.0f, 0.0f, 0.0f, 0.0f);
const D3DXCOLOR WHITE(1.0f, 1.0f, 1.0f, 1.0f);
const D3DXCOLOR RED(1.0f, 0.0f, 0.0f, 1.0f);

void QueueClick()
{
    SoundQueue::Get()->Queue(CLICK_SOUND, SOUND_CLASS, false, 0.0f);
}

bool IsBusy(UnitState state)
{
    return state == MOVING || state == ATTACKING || state == CASTING;
}

void StartEffect(GuiObject& object, uint32_t effect)
{
    object.pendingEffect = effect;
    object.effectTimer = 0.0f;
    object.effectDelay = 0.0f;
}

// A name from a data file goes into a format: its '%' signs are doubled so they show as written.
std::string LiteralForFormat(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        out += c;
        if (c == '%')
            out += '%';
    }
    return out;
}
} // namespace

BattleHud::BattleHud() = default;

BattleHud::~BattleHud()
{
    Destroy();
}

BattleHud* BattleHud::Get()
{
    auto& instance = Instance();
    if (!instance)
        instance.reset(new BattleHud());
    return instance.get();
}

void BattleHud::ResetForTests()
{
    Instance().reset();
}

BattleHud* BattleHud::Existing()
{
    return Instance().get();
}

Unit* BattleHud::CurrentBody() const
{
    return dynamic_cast<Unit*>(m_currentUnit);
}

Unit* BattleHud::CommandedUnit() const
{
    Unit* unit = CurrentBody();
    if (!unit || !unit->Rules().turn.myTurn || !unit->Rules().turn.alive || unit->Rules().turn.state == DEAD)
        return nullptr;
    return unit;
}

GuiButton* BattleHud::GetActionButton(int index) const
{
    if (!m_menu || index < 0)
        return nullptr;
    return m_menu->GetButton(0, static_cast<uint32_t>(index));
}

BoardUnit* BattleHud::GetTurnOrderUnit(size_t index) const
{
    return index < m_turnOrder.size() ? m_turnOrder[index].unit : nullptr;
}

TextLabel* BattleHud::GetTurnOrderLabel(size_t index) const
{
    return index < m_turnOrder.size() ? m_turnOrder[index].label.get() : nullptr;
}

bool BattleHud::IsActionToggled(int index) const
{
    return index >= 0 && index < static_cast<int>(m_toggles.size()) && m_toggles[static_cast<size_t>(index)];
}

// ---- Building

void BattleHud::Init()
{
    // Built again from nothing: a second Init must not leave the first set of widgets behind.
    ReleaseWidgets();
    CreateLayout();
    CreateExtras();
    CreateTexts();
    m_menu = std::make_unique<ButtonMenu>();
    BuildActionMenu();
    CommandHud::Register(this);
    m_initialised = true;
}

void BattleHud::CreateLayout()
{
    DataManager* data = DataManager::Get();
    m_layoutWidth = data->GetBackBufferWidth();
    m_layoutHeight = data->GetBackBufferHeight();
    const float a = static_cast<float>(m_layoutWidth) * 0.5f - FRAME_HALF_WIDTH;
    const float b = static_cast<float>(m_layoutHeight) - FRAME_RISE;
    m_layout[LAYOUT_HEALTH_FRAME] = {a + BAR_INSET, b + BAR_TOP, BAR_WIDTH, BAR_HEIGHT};
    m_layout[LAYOUT_MANA_FRAME] = {a + MANA_BAR_INSET, b + BAR_TOP, BAR_WIDTH, BAR_HEIGHT};
    m_layout[LAYOUT_HEALTH_FILL] = m_layout[LAYOUT_HEALTH_FRAME];
    m_layout[LAYOUT_MANA_FILL] = m_layout[LAYOUT_MANA_FRAME];
    m_layout[LAYOUT_FRAME] = {a, b, FRAME_WIDTH, FRAME_HEIGHT};
    m_layout[5] = {838.0f, 32.0f, 225.0f, 472.0f};
    m_layout[LAYOUT_ABILITY_ROW] = {a + ABILITY_ROW_INSET, b, 44.0f, 50.0f};
    m_layout[LAYOUT_MAIN_MENU] = {917.0f, -2.0f, 89.0f, 52.0f};
}

void BattleHud::CreateExtras()
{
    const auto add = [this](const char* texture, size_t rect) {
        auto button = std::make_unique<GuiButton>();
        const LayoutRect& r = m_layout[rect];
        button->Init(texture, r.x, r.y, r.width, r.height);
        m_extras.push_back(std::move(button));
        return m_extras.back().get();
    };
    add("scroll.tga", LAYOUT_HEALTH_FRAME)->SetName("Health Bar");
    GuiButton* mana = add("scroll.tga", LAYOUT_MANA_FRAME);
    mana->SetName("Mana Bar");
    std::swap(mana->leftU, mana->rightU);
    mana->UpdateVertices();
    add("health.tga", LAYOUT_HEALTH_FILL)->enabled = false;
    add("mana.tga", LAYOUT_MANA_FILL)->enabled = false;
    add("HumanGUI.tga", LAYOUT_FRAME);
    GuiButton* mainMenu = add("GUI_MainMenuButton.tga", LAYOUT_MAIN_MENU);
    mainMenu->CreateIcon("GUI_MainMenuButtonOver.tga", 0, 0);
    m_mainMenuEffects = {EFFECT_FADE_ALPHA_TO_BASE, EFFECT_FADE_ALPHA_TO_BASE, EFFECT_FADE_TO_TARGET,
                         EFFECT_FADE_TO_BASE};
    mainMenu->SetEffectTable(m_mainMenuEffects.data());
    for (size_t i = 0; i < m_coverage.size(); ++i) {
        const TextureRecord* record = m_extras[i]->GetTextureRecord();
        m_coverage[i] = std::make_unique<TextureCoverage>(record ? record->texture : nullptr);
    }
}

void BattleHud::CreateTexts()
{
    const LayoutRect& frame = m_layout[LAYOUT_FRAME];
    m_unitTextRect = RECT{432, 660, 593, 700};
    m_secondTextRect = RECT{432, 685, 593, 703};
    const auto make = [&frame](int height, RECT* rect) {
        auto label = std::make_unique<TextLabel>();
        label->SetFont(height, FACE, rect);
        label->SetPosition(frame.x + UNIT_TEXT_OFFSET_X, frame.y + UNIT_TEXT_OFFSET_Y);
        label->SetText("AP");
        label->baseColour = WHITE;
        label->colour = D3DXCOLOR(1.0f, 1.0f, 1.0f, 0.0f);
        StartEffect(*label, EFFECT_FADE_ALPHA_TO_BASE);
        return label;
    };
    m_unitText = make(UNIT_TEXT_HEIGHT, &m_unitTextRect);
    m_secondText = make(SECOND_TEXT_HEIGHT, &m_secondTextRect);

    m_turnTimeText = std::make_unique<TextLabel>();
    m_turnTimeText->CreateFont(TURN_TIME_HEIGHT, FACE, 1);
    m_turnTimeText->SetText("Turn Time: ");
    m_turnTimeText->baseColour = RED;
    m_turnTimeText->colour = D3DXCOLOR(1.0f, 0.0f, 0.0f, 0.0f);
    StartEffect(*m_turnTimeText, EFFECT_FADE_ALPHA_TO_BASE);
    m_turnTimeText->SetPosition(768.0f, 16.0f);
}

void BattleHud::BuildActionMenu()
{
    if (!m_menu)
        m_menu = std::make_unique<ButtonMenu>();
    // The ability row comes first: it makes the menu's effect table, which the action buttons then share.
    m_menu->BuildAbilityRow(m_layout[LAYOUT_ABILITY_ROW].x);
    const float y = static_cast<float>(DataManager::Get()->GetBackBufferHeight()) - ROW_BOTTOM_OFFSET;
    const float x = m_layout[LAYOUT_FRAME].x + ACTION_ROW_INSET;
    for (int i = 0; i < ACTION_COUNT; ++i) {
        GuiButton* button = m_menu->AddButton(0, ACTIONS[i].texture, "Scroll_Over.tga",
                                              x + BUTTON_PITCH * static_cast<float>(i), y, BUTTON_WIDTH, BUTTON_HEIGHT);
        if (!button)
            continue;
        ShowActionFrame(i, false);
        button->hoverDelay = HOVER_DELAY;
        button->SetName(ACTIONS[i].name);
    }
    m_menu->ReadCoverage(0);
    if (m_highlight)
        m_highlight->Release();
    m_highlight = std::make_unique<GuiButton>();
    m_highlight->Create("selectedIcon_f9.tga", HIDDEN, HIDDEN, BUTTON_WIDTH, BUTTON_HEIGHT);
    m_highlight->enabled = false;
    m_highlight->animate = true;
    m_highlight->frameTime = HIGHLIGHT_FRAME_TIME;
}

// Two-frame button pictures: the normal face on top, the greyed one below.
void BattleHud::ShowActionFrame(int index, bool greyed)
{
    GuiButton* button = GetActionButton(index);
    if (!button)
        return;
    const TextureRecord* record = button->GetTextureRecord();
    const float frameHeight = record ? record->frameWidth : 1.0f;
    button->topV = greyed ? frameHeight : 0.0f;
    button->bottomV = button->topV + frameHeight;
}

// ---- Frame

void BattleHud::Update()
{
    if (!m_currentUnit || !m_initialised)
        return;
    InputManager* input = InputManager::Get();
    if (input && input->IsKeyDown(DIK_ESCAPE)) {
        input->ClearKeyboardState();
        if (Unit* unit = CommandedUnit()) {
            unit->SetState(IDLE);
            // Nothing chosen is left behind on the board: no target and its rings, no lit hex.
            unit->ClearTarget();
        }
        MouseOverManager::Get()->SetHovered(nullptr);
        HideHighlight();
    }
    UpdateMenus();
    if (const Unit* unit = CurrentBody()) {
        UpdateBar(EXTRA_MANA_FILL, EXTRA_MANA_FRAME, unit->Rules().stats.mana, unit->Rules().stats.maxMana,
                  m_manaStepTimer, "Mana: %i / %i");
        UpdateBar(EXTRA_HEALTH_FILL, EXTRA_HEALTH_FRAME, unit->Rules().stats.health, unit->Rules().stats.maxHealth,
                  m_healthStepTimer, "Health: %i / %i");
    }
    UpdateTurnOrderTexts();
    m_highlight->Update();
    for (auto& extra : m_extras)
        extra->Update();
    if (m_extras[EXTRA_MAIN_MENU]->clicked) {
        if (FrontEndLink* link = FrontEndLink::Get())
            link->SetGameState(GAME_STATE_MAIN_MENU);
        Camera::Get()->HandleMouseFollow();
    }
    m_unitText->Update();
    m_secondText->Update();
}

void BattleHud::UpdateMenus()
{
    Unit* unit = CommandedUnit();
    if (m_menu->GetCurrentRow() == 0) {
        UpdateActionMenu(unit);
    } else if (m_menu->GetCurrentRow() == 1 && unit) {
        if (GuiButton* chosen = m_menu->UpdateAbilityRow(unit->Rules().stats.actionPoints, *this))
            HighlightButton(*chosen);
    }
    m_menu->Update();
    // A pointer resting on a named HUD button points at no unit on the board.
    if (unit && MouseOverManager::Get()->IsShowingText())
        unit->SetTarget(nullptr);
}

void BattleHud::UpdateActionMenu(Unit* unit)
{
    for (int i = 0; i < ACTION_COUNT; ++i) {
        const GuiButton* button = GetActionButton(i);
        if (button && button->hover) {
            m_unitText->SetText(ACTIONS[i].hoverText);
            break;
        }
    }
    // Only the unit whose turn it is takes commands: during the countdown the head of the order only shows.
    if (!unit)
        return;
    const auto clicked = [this](int index) {
        const GuiButton* button = GetActionButton(index);
        return button && button->clicked;
    };
    if (clicked(CommandHud::ACTION_MOVE) && unit->CanMove()) {
        QueueClick();
        if (unit->Rules().turn.state == SELECTING_MOVE && m_toggles[CommandHud::ACTION_MOVE]) {
            CancelAction(*unit, CommandHud::ACTION_MOVE);
        } else {
            unit->QueueStance(UNIT_STATE_NONE);
            m_toggles[CommandHud::ACTION_MOVE] = true;
            unit->SetState(SELECTING_MOVE);
            HighlightButton(*GetActionButton(CommandHud::ACTION_MOVE));
        }
    }
    if (clicked(CommandHud::ACTION_ATTACK) && unit->CanEnter(SELECTING_TARGET)) {
        QueueClick();
        if (unit->Rules().turn.state == SELECTING_TARGET && m_toggles[CommandHud::ACTION_ATTACK]) {
            CancelAction(*unit, CommandHud::ACTION_ATTACK);
        } else {
            unit->QueueStance(UNIT_STATE_NONE);
            m_toggles[CommandHud::ACTION_ATTACK] = true;
            unit->SetState(SELECTING_TARGET);
            HighlightButton(*GetActionButton(CommandHud::ACTION_ATTACK));
        }
    }
    // Defend and Focus are queued as the unit's pending state, taken up when its turn ends.
    const auto queueStance = [&](int action, UnitState stance) {
        QueueClick();
        if (unit->Rules().turn.pendingState == stance && m_toggles[static_cast<size_t>(action)]) {
            CancelAction(*unit, action);
            return;
        }
        m_toggles[static_cast<size_t>(action)] = true;
        unit->SetState(IDLE);
        unit->QueueStance(stance);
        HighlightButton(*GetActionButton(action));
    };
    if (clicked(CommandHud::ACTION_DEFEND) && unit->CanEnter(DEFENDING))
        queueStance(CommandHud::ACTION_DEFEND, DEFENDING);
    if (clicked(CommandHud::ACTION_FOCUS) && unit->CanEnter(FOCUSING))
        queueStance(CommandHud::ACTION_FOCUS, FOCUSING);
    // A unit in the middle of a walk, a blow or a cast finishes it before its turn can end.
    if (clicked(ACTION_END_TURN) && !IsBusy(unit->Rules().turn.state)) {
        QueueClick();
        HideHighlight();
        if (BattleSession* session = BattleSession::Get())
            session->RequestNextTurn();
    }
    const GuiButton* spells = GetActionButton(CommandHud::ACTION_SPELLS);
    if (spells && spells->clicked && spells->available && !IsBusy(unit->Rules().turn.state)) {
        QueueClick();
        HideHighlight();
        if (BoardView* view = BoardView::Get())
            view->ResetGlows();
        m_menu->SwitchRow(1);
        unit->SetState(IDLE);
        unit->QueueStance(UNIT_STATE_NONE);
    }
}

void BattleHud::CancelAction(Unit& unit, int action)
{
    HideHighlight();
    unit.SetState(IDLE);
    unit.QueueStance(UNIT_STATE_NONE);
    unit.ClearTarget();
    MouseOverManager::Get()->SetHovered(nullptr);
    m_toggles[static_cast<size_t>(action)] = false;
}

void BattleHud::HighlightButton(const GuiButton& button)
{
    m_highlight->left = button.left;
    m_highlight->right = button.right;
    m_highlight->top = button.top;
    m_highlight->bottom = button.bottom;
}

// The fill's right edge walks toward the unit's value two pixels a step; its texture is cut off, not squeezed.
void BattleHud::UpdateBar(size_t fillIndex, size_t frameIndex, int value, int maximum, float& stepTimer,
                          const char* nameFormat)
{
    GuiButton& fill = *m_extras[fillIndex];
    // A class without mana has a maximum of 0: its bar stays empty rather than dividing by nothing.
    float fraction = 0.0f;
    if (value > 0 && maximum > 0)
        fraction = std::min(1.0f, static_cast<float>(value) / static_cast<float>(maximum));
    const float goal = fill.left + fraction * fill.width;
    if (goal != fill.right) {
        stepTimer += DataManager::Get()->GetFrameTime();
        if (stepTimer > BAR_STEP_TIME) {
            const int r = static_cast<int>(fill.right);
            const int g = static_cast<int>(goal);
            fill.rightU = fill.width > 0.0f ? (fill.right - fill.left) / fill.width : 0.0f;
            if (r > g) {
                fill.right -= BAR_STEP;
                if (fill.right < static_cast<float>(g))
                    fill.right = goal;
            } else if (r < g) {
                fill.right += BAR_STEP;
                if (fill.right > static_cast<float>(g))
                    fill.right = goal;
            }
            stepTimer = 0.0f;
        }
    }
    GuiButton& frame = *m_extras[frameIndex];
    if (frame.longHover) {
        char text[64];
        std::snprintf(text, sizeof(text), nameFormat, value, maximum);
        frame.SetName(text);
    }
}

void BattleHud::Render()
{
    if (!m_initialised)
        return;
    IDirect3DDevice9* device = DataManager::Get()->GetDevice();
    if (!device)
        return;
    FlatQuadPass pass(device);
    device->SetFVF(SCREEN_FVF);
    const float bottom = static_cast<float>(DataManager::Get()->GetBackBufferHeight());
    for (size_t i = 0; i < m_extras.size(); ++i) {
        if (i < m_coverage.size())
            pass.DrawShown(*m_extras[i], m_coverage[i].get(), bottom);
        else
            pass.Draw(*m_extras[i]);
        pass.DrawIcon(*m_extras[i]);
    }
    m_menu->Render();
    pass.Draw(*m_highlight);
    m_unitText->QueueDraw();
    m_secondText->QueueDraw();
}

float BattleHud::HiddenFrom(float left, float right) const
{
    const float none = static_cast<float>(DataManager::Get()->GetBackBufferHeight());
    if (!m_initialised || m_extras.size() <= EXTRA_FRAME || !m_coverage[EXTRA_FRAME])
        return none;
    const GuiButton& frame = *m_extras[EXTRA_FRAME];
    const TextureCoverage& picture = *m_coverage[EXTRA_FRAME];
    const TextureRecord* record = frame.GetTextureRecord();
    // Only a frame drawn at full strength, texel for pixel, unmirrored and reaching the bottom hides anything.
    if (!frame.visible || (PackColour(frame.colour) >> 24) != 0xFF || !record ||
        record->texture != picture.GetTexture() || !FlatQuadPass::IsPixelExact(frame) || frame.rightU <= frame.leftU ||
        frame.bottomV <= frame.topV || frame.bottom < none)
        return none;
    const float texelLeft = frame.leftU * static_cast<float>(picture.GetWidth());
    const float texelTop = frame.topV * static_cast<float>(picture.GetHeight());
    const LONG first = static_cast<LONG>(std::floor(left - frame.left + texelLeft));
    const LONG last = static_cast<LONG>(std::ceil(right - frame.left + texelLeft));
    const LONG rowEnd = static_cast<LONG>(std::lround(frame.bottomV * static_cast<float>(picture.GetHeight())));
    if (first < static_cast<LONG>(std::lround(texelLeft)) || last > std::lround(frame.rightU * picture.GetWidth()))
        return none;
    const LONG row = picture.OpaqueFrom(first, last, rowEnd);
    if (row >= rowEnd)
        return none;
    return std::min(none, std::round(frame.top) + static_cast<float>(row) - std::round(texelTop));
}

// ---- Commands from the session and the rules

void BattleHud::SelectUnit(BoardUnit* unit)
{
    if (unit)
        m_currentUnit = unit;
    if (!m_initialised)
        return;
    Unit* body = dynamic_cast<Unit*>(unit);
    m_menu->SetAbilities(body ? &body->Rules().abilities : nullptr, body ? body->Rules().stats.actionPoints : 0,
                         body ? body->Rules().stats.mana : 0);
    m_menu->SwitchRow(0);
    m_menu->RestartFadeIn();
    // The hex lit for the previous unit's command is not this unit's: it would stay lit through a turn that
    // picks no hex.
    MouseOverManager::Get()->SetHovered(nullptr);
    UpdateUnitTexts();
    for (int i = 0; i < ACTION_COUNT; ++i) {
        ShowActionFrame(i, false);
        GuiButton* button = GetActionButton(i);
        button->iconVisible = true;
        button->available = true;
    }
}

void BattleHud::DisableAction(int index)
{
    if (index < 0 || index >= ACTION_COUNT)
        return;
    GuiButton* button = GetActionButton(index);
    if (!button)
        return;
    ShowActionFrame(index, true);
    button->iconVisible = false;
    button->available = false;
}

void BattleHud::ResetMenu()
{
    if (!m_initialised)
        return;
    m_menu->SwitchRow(0);
    HideHighlight();
    UpdateUnitTexts();
}

void BattleHud::HideHighlight()
{
    if (m_highlight)
        m_highlight->MoveTo(HIDDEN, HIDDEN);
}

void BattleHud::UpdateUnitTexts()
{
    const Unit* unit = CurrentBody();
    if (!unit || !m_unitText || !m_secondText)
        return;
    m_unitText->colour = RED;
    m_unitText->baseColour = RED;
    m_unitText->targetColour = WHITE;
    StartEffect(*m_unitText, EFFECT_FADE_TO_TARGET);
    m_secondText->SetText("");
    m_unitText->SetNumberText2("AP: %i/%i", unit->Rules().stats.actionPoints, unit->Rules().stats.maxActionPoints,
                               false);
    m_secondText->SetNumberText2("HP: %i/%i", unit->Rules().stats.health, unit->Rules().stats.maxHealth, false);
}

void BattleHud::ShowSpellCost(const SpellDefinition& ability)
{
    const Unit* unit = CurrentBody();
    if (!unit || !m_unitText || !m_secondText)
        return;
    if (ability.actionPointCost <= unit->Rules().stats.actionPoints)
        m_unitText->SetNumberText("AP Cost: %i", ability.actionPointCost, false);
    else
        m_unitText->SetText("Insufficient Action Points");
    m_secondText->SetNumberText("MP Cost: %i", ability.manaCost, false);
}

void BattleHud::OnAbilityRowBack()
{
    HideHighlight();
    if (Unit* unit = CommandedUnit()) {
        unit->SetState(IDLE);
        unit->QueueStance(UNIT_STATE_NONE);
        unit->DeselectAbility();
    }
    if (BoardView* view = BoardView::Get())
        view->ResetGlows();
}

void BattleHud::OnAbilityChosen(const SpellDefinition& ability)
{
    // The row hands over its own record of the ability; the unit is told the name before the row changes.
    const SpellDefinition chosen = ability;
    if (Unit* unit = CommandedUnit())
        unit->Spellcasting().SelectAbility(chosen.name);
    HighlightAbilityTargets(chosen);
}

void BattleHud::HighlightAbilityTargets(const SpellDefinition& ability)
{
    BoardView* view = BoardView::Get();
    if (view)
        view->ResetGlows();
    const Unit* caster = CurrentBody();
    BattleSession* session = BattleSession::Get();
    const Hex* casterHex = caster ? caster->GetHex() : nullptr;
    if (casterHex && session && view) {
        const float range = static_cast<float>(ability.range) * Unit::RANGE_STEP;
        const float area = static_cast<float>(ability.areaRadius) * Unit::RANGE_STEP;
        for (BoardUnit* other : session->GetLivingUnits()) {
            const Hex* hex = other ? other->GetHex() : nullptr;
            if (!hex)
                continue;
            const float d = casterHex->DistanceTo(*hex);
            bool glows = false;
            if (ability.areaRadius > 1)
                glows = d <= area;
            else if (other == caster)
                glows = ability.name == "Charge!" || ability.name == "Phalanx" || ability.target != "ENEMY";
            else if (other->GetOwner() != caster->Rules().owner)
                glows = ability.target != "TEAM" && d <= range;
            else
                glows = ability.target != "ENEMY" && d <= range;
            if (!glows)
                continue;
            const D3DXVECTOR3& at = other->AsObject()->GetPosition();
            view->AddGlow(at.x, at.y, at.z);
        }
    }
    QueueClick();
}

// ---- Turn order

void BattleHud::AddTurnOrderEntry(BoardUnit* unit)
{
    TurnOrderEntry entry;
    entry.label = std::make_unique<TextLabel>();
    entry.label->CreateFont(TURN_ORDER_HEIGHT, FACE, 1);
    entry.label->colour = CLEAR;
    entry.label->baseColour = CLEAR;
    entry.label->targetColour = CLEAR;
    StartEffect(*entry.label, EFFECT_FADE_ALPHA_TO_BASE);
    entry.unit = unit;
    m_turnOrder.push_back(std::move(entry));
}

void BattleHud::ShowTurnOrder(const TurnOrder& order)
{
    // The entries follow the flow's order; an entry the order does not hold (yet) keeps its place after them.
    const std::vector<BoardUnit*>& units = order.GetEntries();
    const auto place = [&units](const TurnOrderEntry& entry) {
        return static_cast<size_t>(std::find(units.begin(), units.end(), entry.unit) - units.begin());
    };
    std::stable_sort(m_turnOrder.begin(), m_turnOrder.end(),
                     [&place](const TurnOrderEntry& a, const TurnOrderEntry& b) { return place(a) < place(b); });
    // An empty order has no first unit and no colour step.
    if (m_turnOrder.empty()) {
        m_currentUnit = nullptr;
        return;
    }
    const float step = 0.5f / static_cast<float>(m_turnOrder.size());
    for (size_t i = 0; i < m_turnOrder.size(); ++i) {
        if (Unit* body = dynamic_cast<Unit*>(m_turnOrder[i].unit); body && body->Presentation().badgeQuad)
            body->Presentation().badgeQuad->frame = static_cast<int>(std::min<size_t>(i + 1, LAST_BADGE));
        m_turnOrder[i].label->normalColour = D3DXCOLOR(1.0f - static_cast<float>(i) * step, 0.25f, 0.25f, 1.0f);
    }
    m_currentUnit = m_turnOrder.front().unit;
}

void BattleHud::UpdateTurnOrderTexts()
{
    const size_t shown = std::min(TURN_ORDER_SHOWN, m_turnOrder.size());
    for (size_t i = 0; i < shown; ++i) {
        const Unit* body = dynamic_cast<const Unit*>(m_turnOrder[i].unit);
        if (!body)
            continue;
        TextLabel& label = *m_turnOrder[i].label;
        const std::string format = LiteralForFormat(body->Rules().name) + ": %i";
        label.SetNumberText(format.c_str(), body->Rules().turn.initiative, true);
        label.Update();
    }
}

BoardUnit* BattleHud::GetFirstUnit() const
{
    return m_turnOrder.empty() ? nullptr : m_turnOrder.front().unit;
}

void BattleHud::RemoveUnit(BoardUnit* unit)
{
    for (auto it = m_turnOrder.begin(); it != m_turnOrder.end();) {
        if (it->unit != unit) {
            ++it;
            continue;
        }
        it->label->Unqueue();
        it = m_turnOrder.erase(it);
    }
}

void BattleHud::ForgetUnit(BoardUnit* gone)
{
    if (!gone)
        return;
    RemoveUnit(gone);
    if (m_currentUnit == gone)
        m_currentUnit = nullptr;
}

// The labels go with their entries: a rematch must not leave a set of fonts behind.
void BattleHud::ClearTurnOrder()
{
    m_currentUnit = nullptr;
    for (TurnOrderEntry& entry : m_turnOrder)
        entry.label->Unqueue();
    m_turnOrder.clear();
}
