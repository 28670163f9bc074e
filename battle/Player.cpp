#include "battle/Player.h"

#include "battle/BattleSession.h"
#include "battle/BoardPointer.h"
#include "battle/BoardUnit.h"
#include "battle/BoardView.h"
#include "battle/CommandHud.h"
#include "battle/Hex.h"
#include "battle/HexGrid.h"
#include "core/DataManager.h"
#include "core/Random.h"

#include <algorithm>
#include <memory>

namespace {
// Shared by both players: the time since a side lost its last unit.
float g_defeatTimer = 0.0f;
// The game time at which the timer last advanced, so that two defeated players in one frame count it once.
float g_defeatTimerStamp = -1.0f;

HexGrid* Grid()
{
    return HexGrid::Current();
}

void ResetGlows()
{
    if (BoardView* view = BoardView::Get())
        view->ResetGlows();
}

void SetRingEmittersActive(bool active)
{
    if (BattleSession* session = BattleSession::Get())
        session->SetRingEmittersActive(active);
}

void ClearHovered()
{
    if (BoardPointer* pointer = BoardPointer::Get())
        pointer->SetHovered(nullptr);
}
} // namespace

Player::Player() = default;

// The session deletes the units before the player; whatever is left still belongs to the player.
Player::~Player()
{
    DeleteUnits();
}

void Player::ResetDefeatTimer()
{
    g_defeatTimer = 0.0f;
    g_defeatTimerStamp = -1.0f;
}

float Player::GetDefeatTimer()
{
    return g_defeatTimer;
}

BoardUnit* Player::FindUnit(const Object* object)
{
    const BattleSession* session = BattleSession::Get();
    if (!object || !session)
        return nullptr;
    for (int p = 0; p < 2; ++p) {
        const Player* player = session->GetPlayer(p);
        if (!player)
            continue;
        for (BoardUnit* unit : player->m_units) {
            if (unit->AsObject() == object)
                return unit;
        }
    }
    return nullptr;
}

void Player::SelectUnit(BoardUnit* unit)
{
    m_selectedUnit = unit;
    if (unit) {
        if (BoardView* view = BoardView::Get())
            view->FollowUnit(unit);
    }
}

BoardUnit* Player::CreateUnit(const std::string& fileName, int row, int col)
{
    std::unique_ptr<BoardUnit> unit = BoardUnit::Create();
    if (!unit || !unit->InitPresentation(this))
        return nullptr;
    unit->Load(fileName);
    unit->SetPosition(row, col);
    unit->QueueVoice(FIRST_TURN_START_VOICE + RandomInt(TURN_START_VOICES));
    m_unitCount += 1;
    m_units.push_back(unit.release());
    return m_units.back();
}

void Player::Forget(BoardUnit* unit)
{
    if (HexGrid* grid = Grid())
        grid->ClearOccupant(unit->AsObject());
    if (BoardPointer* pointer = BoardPointer::Get())
        pointer->ForgetUnit(unit);
    if (CommandHud* hud = CommandHud::Get())
        hud->ForgetUnit(unit);
    if (BoardView* view = BoardView::Get())
        view->ForgetUnit(unit);

    Player* players[3] = {this, nullptr, nullptr};
    if (const BattleSession* session = BattleSession::Get()) {
        players[1] = session->GetPlayer(0);
        players[2] = session->GetPlayer(1);
    }
    for (int p = 0; p < 3; ++p) {
        Player* player = players[p];
        if (!player || (p > 0 && player == this))
            continue;
        if (player->m_selectedUnit == unit)
            player->m_selectedUnit = nullptr;
        for (BoardUnit* other : player->m_units) {
            if (other != unit)
                other->ForgetUnit(unit);
        }
    }
}

void Player::RemoveUnit(BoardUnit* unit)
{
    if (!unit)
        return;
    const auto found = std::find(m_units.begin(), m_units.end(), unit);
    if (found == m_units.end())
        return;
    unit->Release();
    Forget(unit);
    m_units.erase(found);
    delete unit;
    m_unitCount -= 1;
}

void Player::DeleteUnits()
{
    // Each unit leaves the vector before it is deleted, so that forgetting the next one never reaches it.
    while (!m_units.empty()) {
        BoardUnit* unit = m_units.front();
        m_units.erase(m_units.begin());
        unit->Release();
        Forget(unit);
        delete unit;
    }
}

void Player::ClearUnits()
{
    m_units.clear();
}

void Player::Update()
{
    for (BoardUnit* unit : m_units)
        unit->Update();
    if (m_defeated)
        UpdateDefeatTimer();
}

void Player::UpdateDefeatTimer()
{
    const DataManager* data = DataManager::Get();
    const float now = data->GetGameTime();
    if (now == g_defeatTimerStamp)
        return;
    g_defeatTimerStamp = now;
    g_defeatTimer += data->GetFrameTime();
    if (g_defeatTimer >= DEFEAT_DELAY) {
        g_defeatTimer = 0.0f;
        // The game-over state is entered once; entering it again would reset its screen every 6.5 s.
        BattleSession* session = BattleSession::Get();
        if (session && !session->IsGameOver())
            session->SetGameOver();
    }
}

void Player::Render()
{
    HexGrid* grid = Grid();
    const CommandHud* hud = CommandHud::Get();
    BoardUnit* current = hud ? hud->GetCurrentUnit() : nullptr;
    for (BoardUnit* unit : m_units) {
        Hex* hex = unit->GetHex();
        int listings = 0;
        if (hex) {
            hex->fadeState = FADE_IN;
            if (unit->GetState() != MOVING)
                listings = 1;
        }
        // A dead unit has left its hex: there is nothing to measure or to show.
        if (hex && current && current != unit && current->GetState() == SELECTING_TARGET &&
            current->GetOwner() != this && current->GetHex()) {
            const float d = hex->DistanceTo(*current->GetHex());
            if (d <= static_cast<float>(current->GetMeleeRange()) * RANGE_STEP ||
                d <= static_cast<float>(current->GetRangedRange()) * RANGE_STEP)
                listings += IN_REACH_REPEATS;
        }
        for (int i = 0; grid && i < listings; ++i) {
            if (team == 0)
                grid->AddTeam0Highlight(hex);
            else if (team == 1)
                grid->AddTeam1Highlight(hex);
        }
        unit->Render();
    }
}

BoardUnit* Player::GetUnit(int index) const
{
    if (index < 0 || static_cast<size_t>(index) >= m_units.size())
        return nullptr;
    return m_units[static_cast<size_t>(index)];
}

int Player::AliveCount() const
{
    return static_cast<int>(
        std::count_if(m_units.begin(), m_units.end(), [](const BoardUnit* unit) { return unit->GetState() != DEAD; }));
}

int Player::UpdateDefeated()
{
    const int alive = AliveCount();
    m_defeated = alive < 1;
    return alive;
}

void Player::QueueUnitTexts()
{
    for (BoardUnit* unit : m_units)
        unit->QueueTexts();
}

void Player::FlagDefendedHexes()
{
    for (BoardUnit* unit : m_units) {
        if (unit->GetState() == DEFENDING)
            unit->ClaimDefendedHexes();
    }
}

void Player::AdjustInitiatives()
{
    for (BoardUnit* unit : m_units) {
        unit->AdjustInitiative();
        unit->SetTextVisible(false);
    }
}

void Player::OnLostDevice()
{
    for (BoardUnit* unit : m_units)
        unit->OnLostDevice();
}

void Player::OnResetDevice()
{
    for (BoardUnit* unit : m_units)
        unit->OnResetDevice();
}

void Player::TargetUnderMouse()
{
    if (!m_selectedUnit)
        return;
    const BoardPointer* pointer = BoardPointer::Get();
    const Hex* hovered = pointer ? pointer->GetHovered() : nullptr;
    BoardUnit* target = nullptr;
    if (hovered && hovered->type == HEX_OCCUPIED)
        target = FindUnit(hovered->occupant);
    m_selectedUnit->SetTarget(target);
}

void Player::DispatchCommand()
{
    BoardUnit* unit = m_selectedUnit;
    if (!unit)
        return;
    BoardPointer* pointer = BoardPointer::Get();
    const bool click = pointer && pointer->IsBoardClick();
    HexGrid* grid = Grid();
    CommandHud* hud = CommandHud::Get();

    switch (unit->GetState()) {
    case SELECTING_MOVE: {
        if (!unit->CanMove() || !grid)
            break;
        grid->PickHoveredHex(true);
        grid->PickHoveredHex(false);
        int count = 0;
        const int result = unit->FindPath(pointer ? pointer->GetHovered() : nullptr, count);
        if (result != 0 && click) {
            unit->StartMove();
            if (hud) {
                hud->HideHighlight();
                hud->UpdateUnitTexts();
            }
        }
        break;
    }
    case MOVING:
        ClearHovered();
        break;
    case SELECTING_TARGET:
        if (grid) {
            grid->HoverHexOfType(HEX_OCCUPIED);
            grid->PickHoveredHex(true);
        }
        TargetUnderMouse();
        if (click) {
            if (unit->AttackCommand()) {
                ResetGlows();
                if (hud) {
                    hud->HideHighlight();
                    hud->UpdateUnitTexts();
                }
                ClearHovered();
            }
            SetRingEmittersActive(false);
        }
        break;
    case ATTACKING:
        unit->AttackWindUp();
        break;
    case SELECTING_ABILITY_TARGET:
        if (grid) {
            grid->HoverHexOfType(HEX_OCCUPIED);
            grid->PickHoveredHex(true);
        }
        TargetUnderMouse();
        if (click) {
            const TargetCheck check = unit->CheckTarget();
            if (check == SPELL_ON_UNIT) {
                unit->CastSpell(unit->GetTarget());
                if (hud)
                    hud->ResetMenu();
                ClearHovered();
                ResetGlows();
            } else if (check == AREA_IN_RANGE) {
                unit->UseAbility(pointer ? pointer->GetHovered() : nullptr);
                if (hud)
                    hud->ResetMenu();
                ResetGlows();
            }
            SetRingEmittersActive(false);
        }
        break;
    case CASTING: {
        if (!unit->AbilityReady())
            break;
        const SpellDefinition* ability = unit->GetSelectedAbility();
        if (ability) {
            const TargetCheck check = unit->GetTargetCheck();
            if (check == SPELL_ON_UNIT && unit->GetTarget()) {
                unit->GetTarget()->ApplySpellEffect(unit, *ability);
            } else if (check == AREA_IN_RANGE) {
                if (BattleSession* session = BattleSession::Get())
                    session->ApplyAreaEffect(unit, *ability);
            }
        }
        if (hud)
            hud->HideHighlight();
        unit->ClearTarget();
        // A caster caught in its own area may have died of it, and the dead stay dead.
        if (unit->GetState() != DEAD && !unit->HasActiveEffect(EffectType::PHALANX))
            unit->SetState(IDLE);
        unit->DeselectAbility();
        break;
    }
    default:
        break;
    }
}
