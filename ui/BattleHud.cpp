// NOLINTBEGIN(readability-identifier-naming): this file is being split; its names follow the naming rule then.
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
constexpr float kFrameHalfWidth = 400.0f;
constexpr float kFrameRise = 160.0f;
constexpr float kFrameWidth = 800.0f;
constexpr float kFrameHeight = 163.0f;
constexpr float kBarInset = 9.0f;
constexpr float kManaBarInset = 602.0f;
constexpr float kBarTop = 75.0f;
constexpr float kBarWidth = 190.0f;
constexpr float kBarHeight = 88.0f;
constexpr float kAbilityRowInset = 255.0f;
// The action row starts one pixel left of the ability row, so each action sits under its ability.
constexpr float kActionRowInset = 254.0f;
constexpr float kButtonPitch = 48.0f;
constexpr float kButtonWidth = 43.0f;
constexpr float kButtonHeight = 49.0f;
constexpr float kRowBottomOffset = 58.0f;
constexpr float kHoverDelay = 0.75f;
constexpr float kHidden = -100.0f;
constexpr float kHighlightFrameTime = 1.0f / 35.0f;
constexpr float kBarStepTime = 0.01f;
constexpr float kBarStep = 2.0f;
constexpr float kUnitTextOffsetX = 355.0f;
constexpr float kUnitTextOffsetY = 55.0f;
constexpr int kUnitTextHeight = 24;
constexpr int kSecondTextHeight = 16;
constexpr int kTurnTimeHeight = 18;
constexpr int kTurnOrderHeight = 20;
constexpr size_t kTurnOrderShown = 8;
constexpr int kSoundClass = 9;
constexpr const char* kFace = "Times New Roman";
constexpr const char* kClickSound = "UI_CLICK.wav";
constexpr const char* kGlowMesh = "PolyGlow.x";

struct ActionLook {
    const char* texture;
    const char* name;
    const char* hoverText;
};
constexpr ActionLook kActions[BattleHud::kActionCount] = {
    {"bMove_f2.tga", "Move", "AP Cost: 5"},          {"bAttack_f2.tga", "Attack", "AP Cost: 6"},
    {"bDefend_f2.tga", "Defend", "AP Cost: 4"},      {"bFocus_f2.tga", "Focus", "AP Cost: 2"},
    {"bMagic_f2.tga", "Magic Spells", "Magic Menu"}, {"bEnd_f2.tga", "End Turn", "End Turn"},
};

const D3DXCOLOR kClear(0.0f, 0.0f, 0.0f, 0.0f);
const D3DXCOLOR kWhite(1.0f, 1.0f, 1.0f, 1.0f);
const D3DXCOLOR kRed(1.0f, 0.0f, 0.0f, 1.0f);

void QueueClick()
{
    SoundQueue::Get()->Queue(kClickSound, kSoundClass, false, 0.0f);
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
    return dynamic_cast<Unit*>(currentUnit);
}

Unit* BattleHud::CommandedUnit() const
{
    Unit* unit = CurrentBody();
    if (!unit || !unit->myTurn || !unit->alive || unit->state == DEAD)
        return nullptr;
    return unit;
}

GuiButton* BattleHud::GetActionButton(int index) const
{
    if (!menu || index < 0)
        return nullptr;
    return menu->GetButton(0, static_cast<uint32_t>(index));
}

BoardUnit* BattleHud::GetTurnOrderUnit(size_t index) const
{
    return index < turnOrder.size() ? turnOrder[index].unit : nullptr;
}

TextLabel* BattleHud::GetTurnOrderLabel(size_t index) const
{
    return index < turnOrder.size() ? turnOrder[index].label.get() : nullptr;
}

bool BattleHud::IsActionToggled(int index) const
{
    return index >= 0 && index < static_cast<int>(toggles.size()) && toggles[static_cast<size_t>(index)];
}

// ---- Building

void BattleHud::Init()
{
    // Built again from nothing: a second Init must not leave the first set of widgets behind.
    ReleaseWidgets();
    CreateLayout();
    CreateExtras();
    CreateTexts();
    menu = std::make_unique<ButtonMenu>();
    BuildActionMenu();
    CommandHud::Register(this);
    initialised = true;
}

void BattleHud::CreateLayout()
{
    DataManager* data = DataManager::Get();
    layoutWidth = data->GetBackBufferWidth();
    layoutHeight = data->GetBackBufferHeight();
    const float a = static_cast<float>(layoutWidth) * 0.5f - kFrameHalfWidth;
    const float b = static_cast<float>(layoutHeight) - kFrameRise;
    layout[LAYOUT_HEALTH_FRAME] = {a + kBarInset, b + kBarTop, kBarWidth, kBarHeight};
    layout[LAYOUT_MANA_FRAME] = {a + kManaBarInset, b + kBarTop, kBarWidth, kBarHeight};
    layout[LAYOUT_HEALTH_FILL] = layout[LAYOUT_HEALTH_FRAME];
    layout[LAYOUT_MANA_FILL] = layout[LAYOUT_MANA_FRAME];
    layout[LAYOUT_FRAME] = {a, b, kFrameWidth, kFrameHeight};
    layout[5] = {838.0f, 32.0f, 225.0f, 472.0f};
    layout[LAYOUT_ABILITY_ROW] = {a + kAbilityRowInset, b, 44.0f, 50.0f};
    layout[LAYOUT_MAIN_MENU] = {917.0f, -2.0f, 89.0f, 52.0f};
}

void BattleHud::CreateExtras()
{
    const auto add = [this](const char* texture, size_t rect) {
        auto button = std::make_unique<GuiButton>();
        const LayoutRect& r = layout[rect];
        button->Init(texture, r.x, r.y, r.width, r.height);
        extras.push_back(std::move(button));
        return extras.back().get();
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
    mainMenuEffects = {EFFECT_FADE_ALPHA_TO_BASE, EFFECT_FADE_ALPHA_TO_BASE, EFFECT_FADE_TO_TARGET,
                       EFFECT_FADE_TO_BASE};
    mainMenu->SetEffectTable(mainMenuEffects.data());
    for (size_t i = 0; i < coverage.size(); ++i) {
        const TextureRecord* record = extras[i]->GetTextureRecord();
        coverage[i] = std::make_unique<TextureCoverage>(record ? record->texture : nullptr);
    }
}

void BattleHud::CreateTexts()
{
    const LayoutRect& frame = layout[LAYOUT_FRAME];
    unitTextRect = RECT{432, 660, 593, 700};
    secondTextRect = RECT{432, 685, 593, 703};
    const auto make = [&frame](int height, RECT* rect) {
        auto label = std::make_unique<TextLabel>();
        label->SetFont(height, kFace, rect);
        label->SetPosition(frame.x + kUnitTextOffsetX, frame.y + kUnitTextOffsetY);
        label->SetText("AP");
        label->baseColour = kWhite;
        label->colour = D3DXCOLOR(1.0f, 1.0f, 1.0f, 0.0f);
        StartEffect(*label, EFFECT_FADE_ALPHA_TO_BASE);
        return label;
    };
    unitText = make(kUnitTextHeight, &unitTextRect);
    secondText = make(kSecondTextHeight, &secondTextRect);

    turnTimeText = std::make_unique<TextLabel>();
    turnTimeText->CreateFont(kTurnTimeHeight, kFace, 1);
    turnTimeText->SetText("Turn Time: ");
    turnTimeText->baseColour = kRed;
    turnTimeText->colour = D3DXCOLOR(1.0f, 0.0f, 0.0f, 0.0f);
    StartEffect(*turnTimeText, EFFECT_FADE_ALPHA_TO_BASE);
    turnTimeText->SetPosition(768.0f, 16.0f);
}

void BattleHud::BuildActionMenu()
{
    if (!menu)
        menu = std::make_unique<ButtonMenu>();
    // The ability row comes first: it makes the menu's effect table, which the action buttons then share.
    menu->BuildAbilityRow(layout[LAYOUT_ABILITY_ROW].x);
    const float y = static_cast<float>(DataManager::Get()->GetBackBufferHeight()) - kRowBottomOffset;
    const float x = layout[LAYOUT_FRAME].x + kActionRowInset;
    for (int i = 0; i < kActionCount; ++i) {
        GuiButton* button = menu->AddButton(0, kActions[i].texture, "Scroll_Over.tga",
                                            x + kButtonPitch * static_cast<float>(i), y, kButtonWidth, kButtonHeight);
        if (!button)
            continue;
        ShowActionFrame(i, false);
        button->hoverDelay = kHoverDelay;
        button->SetName(kActions[i].name);
    }
    if (highlight)
        highlight->Release();
    highlight = std::make_unique<GuiButton>();
    highlight->Create("selectedIcon_f9.tga", kHidden, kHidden, kButtonWidth, kButtonHeight);
    highlight->enabled = false;
    highlight->animate = true;
    highlight->frameTime = kHighlightFrameTime;
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
    if (!currentUnit || !initialised)
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
        UpdateBar(EXTRA_MANA_FILL, EXTRA_MANA_FRAME, unit->stats.mana, unit->stats.maxMana, manaStepTimer,
                  "Mana: %i / %i");
        UpdateBar(EXTRA_HEALTH_FILL, EXTRA_HEALTH_FRAME, unit->stats.health, unit->stats.maxHealth, healthStepTimer,
                  "Health: %i / %i");
    }
    UpdateTurnOrderTexts();
    highlight->Update();
    for (auto& extra : extras)
        extra->Update();
    if (extras[EXTRA_MAIN_MENU]->clicked) {
        if (FrontEndLink* link = FrontEndLink::Get())
            link->SetGameState(GAME_STATE_MAIN_MENU);
        Camera::Get()->HandleMouseFollow();
    }
    unitText->Update();
    secondText->Update();
}

void BattleHud::UpdateMenus()
{
    Unit* unit = CommandedUnit();
    if (menu->GetCurrentRow() == 0) {
        UpdateActionMenu(unit);
    } else if (menu->GetCurrentRow() == 1 && unit) {
        if (GuiButton* chosen = menu->UpdateAbilityRow(unit->stats.actionPoints, *this))
            HighlightButton(*chosen);
    }
    menu->Update();
    // A pointer resting on a named HUD button points at no unit on the board.
    if (unit && MouseOverManager::Get()->IsShowingText())
        unit->SetTarget(nullptr);
}

void BattleHud::UpdateActionMenu(Unit* unit)
{
    for (int i = 0; i < kActionCount; ++i) {
        const GuiButton* button = GetActionButton(i);
        if (button && button->hover) {
            unitText->SetText(kActions[i].hoverText);
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
        if (unit->state == SELECTING_MOVE && toggles[CommandHud::ACTION_MOVE]) {
            CancelAction(*unit, CommandHud::ACTION_MOVE);
        } else {
            unit->pendingState = UNIT_STATE_NONE;
            toggles[CommandHud::ACTION_MOVE] = true;
            unit->SetState(SELECTING_MOVE);
            HighlightButton(*GetActionButton(CommandHud::ACTION_MOVE));
        }
    }
    if (clicked(CommandHud::ACTION_ATTACK) && unit->CanAttack()) {
        QueueClick();
        if (unit->state == SELECTING_TARGET && toggles[CommandHud::ACTION_ATTACK]) {
            CancelAction(*unit, CommandHud::ACTION_ATTACK);
        } else {
            unit->pendingState = UNIT_STATE_NONE;
            toggles[CommandHud::ACTION_ATTACK] = true;
            unit->SetState(SELECTING_TARGET);
            HighlightButton(*GetActionButton(CommandHud::ACTION_ATTACK));
        }
    }
    // Defend and Focus are queued as the unit's pending state, taken up when its turn ends.
    const auto queueStance = [&](int action, UnitState stance) {
        QueueClick();
        if (unit->pendingState == stance && toggles[static_cast<size_t>(action)]) {
            CancelAction(*unit, action);
            return;
        }
        toggles[static_cast<size_t>(action)] = true;
        unit->SetState(IDLE);
        unit->pendingState = stance;
        HighlightButton(*GetActionButton(action));
    };
    if (clicked(CommandHud::ACTION_DEFEND) && unit->CanDefend())
        queueStance(CommandHud::ACTION_DEFEND, DEFENDING);
    if (clicked(CommandHud::ACTION_FOCUS) && unit->CanFocus())
        queueStance(CommandHud::ACTION_FOCUS, FOCUSING);
    // A unit in the middle of a walk, a blow or a cast finishes it before its turn can end.
    if (clicked(ACTION_END_TURN) && !IsBusy(unit->state)) {
        QueueClick();
        HideHighlight();
        if (BattleSession* session = BattleSession::Get())
            session->RequestNextTurn();
    }
    const GuiButton* spells = GetActionButton(CommandHud::ACTION_SPELLS);
    if (spells && spells->clicked && spells->available && !IsBusy(unit->state)) {
        QueueClick();
        HideHighlight();
        if (BoardView* view = BoardView::Get())
            view->ResetGlows();
        menu->SwitchRow(1);
        unit->SetState(IDLE);
        unit->pendingState = UNIT_STATE_NONE;
    }
}

void BattleHud::CancelAction(Unit& unit, int action)
{
    HideHighlight();
    unit.SetState(IDLE);
    unit.pendingState = UNIT_STATE_NONE;
    unit.ClearTarget();
    MouseOverManager::Get()->SetHovered(nullptr);
    toggles[static_cast<size_t>(action)] = false;
}

void BattleHud::HighlightButton(const GuiButton& button)
{
    highlight->left = button.left;
    highlight->right = button.right;
    highlight->top = button.top;
    highlight->bottom = button.bottom;
}

// The fill's right edge walks toward the unit's value two pixels a step; its texture is cut off, not squeezed.
void BattleHud::UpdateBar(size_t fillIndex, size_t frameIndex, int value, int maximum, float& stepTimer,
                          const char* nameFormat)
{
    GuiButton& fill = *extras[fillIndex];
    // A class without mana has a maximum of 0: its bar stays empty rather than dividing by nothing.
    float fraction = 0.0f;
    if (value > 0 && maximum > 0)
        fraction = std::min(1.0f, static_cast<float>(value) / static_cast<float>(maximum));
    const float goal = fill.left + fraction * fill.width;
    if (goal != fill.right) {
        stepTimer += DataManager::Get()->GetFrameTime();
        if (stepTimer > kBarStepTime) {
            const int r = static_cast<int>(fill.right);
            const int g = static_cast<int>(goal);
            fill.rightU = fill.width > 0.0f ? (fill.right - fill.left) / fill.width : 0.0f;
            if (r > g) {
                fill.right -= kBarStep;
                if (fill.right < static_cast<float>(g))
                    fill.right = goal;
            } else if (r < g) {
                fill.right += kBarStep;
                if (fill.right > static_cast<float>(g))
                    fill.right = goal;
            }
            stepTimer = 0.0f;
        }
    }
    GuiButton& frame = *extras[frameIndex];
    if (frame.longHover) {
        char text[64];
        std::snprintf(text, sizeof(text), nameFormat, value, maximum);
        frame.SetName(text);
    }
}

void BattleHud::Render()
{
    if (!initialised)
        return;
    IDirect3DDevice9* device = DataManager::Get()->GetDevice();
    if (!device)
        return;
    FlatQuadPass pass(device);
    device->SetFVF(SCREEN_FVF);
    const float bottom = static_cast<float>(DataManager::Get()->GetBackBufferHeight());
    for (size_t i = 0; i < extras.size(); ++i) {
        if (i < coverage.size())
            pass.DrawShown(*extras[i], coverage[i].get(), bottom);
        else
            pass.Draw(*extras[i]);
        pass.DrawIcon(*extras[i]);
    }
    menu->Render();
    pass.Draw(*highlight);
    unitText->QueueDraw();
    secondText->QueueDraw();
}

float BattleHud::HiddenFrom(float left, float right) const
{
    const float none = static_cast<float>(DataManager::Get()->GetBackBufferHeight());
    if (!initialised || extras.size() <= EXTRA_FRAME || !coverage[EXTRA_FRAME])
        return none;
    const GuiButton& frame = *extras[EXTRA_FRAME];
    const TextureCoverage& picture = *coverage[EXTRA_FRAME];
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
        currentUnit = unit;
    if (!initialised)
        return;
    Unit* body = dynamic_cast<Unit*>(unit);
    menu->SetAbilities(body ? &body->abilities : nullptr, body ? body->stats.actionPoints : 0,
                       body ? body->stats.mana : 0);
    menu->SwitchRow(0);
    menu->RestartFadeIn();
    // The hex lit for the previous unit's command is not this unit's: it would stay lit through a turn that
    // picks no hex.
    MouseOverManager::Get()->SetHovered(nullptr);
    UpdateUnitTexts();
    for (int i = 0; i < kActionCount; ++i) {
        ShowActionFrame(i, false);
        GuiButton* button = GetActionButton(i);
        button->iconVisible = true;
        button->available = true;
    }
}

void BattleHud::DisableAction(int index)
{
    if (index < 0 || index >= kActionCount)
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
    if (!initialised)
        return;
    menu->SwitchRow(0);
    HideHighlight();
    UpdateUnitTexts();
}

void BattleHud::HideHighlight()
{
    if (highlight)
        highlight->MoveTo(kHidden, kHidden);
}

void BattleHud::UpdateUnitTexts()
{
    const Unit* unit = CurrentBody();
    if (!unit || !unitText || !secondText)
        return;
    unitText->colour = kRed;
    unitText->baseColour = kRed;
    unitText->targetColour = kWhite;
    StartEffect(*unitText, EFFECT_FADE_TO_TARGET);
    secondText->SetText("");
    unitText->SetNumberText2("AP: %i/%i", unit->stats.actionPoints, unit->stats.maxActionPoints, false);
    secondText->SetNumberText2("HP: %i/%i", unit->stats.health, unit->stats.maxHealth, false);
}

void BattleHud::ShowSpellCost(const SpellDefinition& ability)
{
    const Unit* unit = CurrentBody();
    if (!unit || !unitText || !secondText)
        return;
    if (ability.actionPointCost <= unit->stats.actionPoints)
        unitText->SetNumberText("AP Cost: %i", ability.actionPointCost, false);
    else
        unitText->SetText("Insufficient Action Points");
    secondText->SetNumberText("MP Cost: %i", ability.manaCost, false);
}

void BattleHud::OnAbilityRowBack()
{
    HideHighlight();
    if (Unit* unit = CommandedUnit()) {
        unit->SetState(IDLE);
        unit->pendingState = UNIT_STATE_NONE;
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
        unit->SelectAbility(chosen.name);
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
            else if (other->GetOwner() != caster->owner)
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
    entry.label->CreateFont(kTurnOrderHeight, kFace, 1);
    entry.label->colour = kClear;
    entry.label->baseColour = kClear;
    entry.label->targetColour = kClear;
    StartEffect(*entry.label, EFFECT_FADE_ALPHA_TO_BASE);
    entry.unit = unit;
    turnOrder.push_back(std::move(entry));
}

void BattleHud::ShowTurnOrder(const TurnOrder& order)
{
    // The entries follow the flow's order; an entry the order does not hold (yet) keeps its place after them.
    const std::vector<BoardUnit*>& units = order.GetEntries();
    const auto place = [&units](const TurnOrderEntry& entry) {
        return static_cast<size_t>(std::find(units.begin(), units.end(), entry.unit) - units.begin());
    };
    std::stable_sort(turnOrder.begin(), turnOrder.end(),
                     [&place](const TurnOrderEntry& a, const TurnOrderEntry& b) { return place(a) < place(b); });
    // An empty order has no first unit and no colour step.
    if (turnOrder.empty()) {
        currentUnit = nullptr;
        return;
    }
    const float step = 0.5f / static_cast<float>(turnOrder.size());
    for (size_t i = 0; i < turnOrder.size(); ++i) {
        if (Unit* body = dynamic_cast<Unit*>(turnOrder[i].unit); body && body->badgeQuad)
            body->badgeQuad->frame = static_cast<int>(std::min<size_t>(i + 1, kLastBadge));
        turnOrder[i].label->normalColour = D3DXCOLOR(1.0f - static_cast<float>(i) * step, 0.25f, 0.25f, 1.0f);
    }
    currentUnit = turnOrder.front().unit;
}

void BattleHud::UpdateTurnOrderTexts()
{
    const size_t shown = std::min(kTurnOrderShown, turnOrder.size());
    for (size_t i = 0; i < shown; ++i) {
        const Unit* body = dynamic_cast<const Unit*>(turnOrder[i].unit);
        if (!body)
            continue;
        TextLabel& label = *turnOrder[i].label;
        const std::string format = LiteralForFormat(body->name) + ": %i";
        label.SetNumberText(format.c_str(), body->initiative, true);
        label.Update();
    }
}

BoardUnit* BattleHud::GetFirstUnit() const
{
    return turnOrder.empty() ? nullptr : turnOrder.front().unit;
}

void BattleHud::RemoveUnit(BoardUnit* unit)
{
    for (auto it = turnOrder.begin(); it != turnOrder.end();) {
        if (it->unit != unit) {
            ++it;
            continue;
        }
        it->label->Unqueue();
        it = turnOrder.erase(it);
    }
}

void BattleHud::ForgetUnit(BoardUnit* gone)
{
    if (!gone)
        return;
    RemoveUnit(gone);
    if (currentUnit == gone)
        currentUnit = nullptr;
}

// The labels go with their entries: a rematch must not leave a set of fonts behind.
void BattleHud::ClearTurnOrder()
{
    currentUnit = nullptr;
    for (TurnOrderEntry& entry : turnOrder)
        entry.label->Unqueue();
    turnOrder.clear();
}

// ---- Device and lifetime

void BattleHud::OnLostDevice()
{
    if (!initialised)
        Init();
    menu->OnLostDevice();
    highlight->OnLostDevice();
    for (auto& extra : extras)
        extra->OnLostDevice();
    for (TurnOrderEntry& entry : turnOrder)
        entry.label->OnLostDevice();
    for (TextLabel* label : {unitText.get(), secondText.get(), turnTimeText.get()})
        label->OnLostDevice();
}

void BattleHud::OnResetDevice()
{
    if (!initialised)
        Init();
    menu->OnResetDevice();
    highlight->OnResetDevice();
    for (auto& extra : extras)
        extra->OnResetDevice();
    for (TurnOrderEntry& entry : turnOrder)
        entry.label->OnResetDevice();
    for (TextLabel* label : {unitText.get(), secondText.get(), turnTimeText.get()})
        label->OnResetDevice();
    // The layout follows the back buffer by the same factors the widgets applied to themselves.
    DataManager* data = DataManager::Get();
    const unsigned width = data->GetBackBufferWidth();
    const unsigned height = data->GetBackBufferHeight();
    const float sx = width && layoutWidth ? static_cast<float>(width) / static_cast<float>(layoutWidth) : 1.0f;
    const float sy = height && layoutHeight ? static_cast<float>(height) / static_cast<float>(layoutHeight) : 1.0f;
    for (LayoutRect& rect : layout) {
        rect.x *= sx;
        rect.y *= sy;
    }
    if (width && height) {
        layoutWidth = width;
        layoutHeight = height;
    }
}

void BattleHud::ReleaseWidgets()
{
    if (menu) {
        menu->Release();
        menu.reset();
    }
    for (auto& extra : extras)
        extra->Release();
    extras.clear();
    for (auto& picture : coverage)
        picture.reset();
    if (highlight) {
        highlight->Release();
        highlight.reset();
    }
    for (auto* label : {&unitText, &secondText, &turnTimeText}) {
        if (*label) {
            (*label)->Unqueue();
            label->reset();
        }
    }
    toggles = {};
    healthStepTimer = 0.0f;
    manaStepTimer = 0.0f;
}

void BattleHud::Destroy()
{
    ReleaseWidgets();
    ClearTurnOrder();
    if (CommandHud::Get() == this)
        CommandHud::Register(nullptr);
    initialised = false;
}
// NOLINTEND(readability-identifier-naming)
