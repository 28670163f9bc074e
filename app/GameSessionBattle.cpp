// The session's battle: its frame, what the players see of the turn flow, the slow-motion shot of a decisive blow,
// the opening fly-over and the unit the camera follows.
#include "app/GameSession.h"

#include "app/BattleMarkers.h"
#include "app/GameApplication.h"
#include "battle/BoardUnit.h"
#include "battle/Hex.h"
#include "battle/HexGrid.h"
#include "battle/Object.h"
#include "battle/Player.h"
#include "battle/Unit.h"
#include "core/DataManager.h"
#include "core/JobQueue.h"
#include "core/Random.h"
#include "core/SoundQueue.h"
#include "scene/Camera.h"
#include "scene/Decal.h"
#include "scene/ParticleEmitter.h"
#include "scene/Terrain.h"
#include "sound/FSound.h"
#include "ui/BattleHud.h"
#include "ui/DescriptionBox.h"
#include "ui/GuiElement.h"
#include "ui/LoadingScreen.h"
#include "ui/MouseOverManager.h"
#include "ui/TextLabel.h"
#include "win32/Log.h"

#include <algorithm>

namespace {
constexpr DWORD LOADING_WAIT_MS = 50;

constexpr int BANNER = GameSession::BANNER_LABEL;

const char* const BATTLE_MUSIC = "timberwolf.mp3";

// The turn flow's banner.
constexpr float BANNER_FADE_DELAY = 2.0f;

// The flashes of the opening fly-over's cuts and of a slow-motion shot's, and how fast the latter fade.
constexpr float FLY_OVER_FLASH_DELAY = 0.35f;
// How high over the level's centre the fly-over's camera stands.
constexpr float FLY_OVER_HEIGHT = 450.0f;
constexpr float SHOT_FLASH_DELAY = 0.02f;
constexpr float SHOT_FLASH_SPEED = 15.0f;

Unit* BodyOf(BoardUnit* unit)
{
    return dynamic_cast<Unit*>(unit);
}

void StartWidgetEffect(GuiObject& widget, uint32_t effect, uint32_t pending, float delay)
{
    widget.effect = effect;
    widget.pendingEffect = pending;
    widget.effectDelay = delay;
    widget.effectTimer = 0.0f;
}

} // namespace

void GameSession::BeginBattle(GameState previous)
{
    // A battle resumed from the main menu takes its music up again.
    if (m_battleStarted && previous != GAME_STATE_BATTLE)
        SoundQueue::Get()->PlayNow(BATTLE_MUSIC, true);
    // A battle opens with every unit's bars shown, so that a player sees the enemy's health from the start; Tab
    // then hides them and shows them again.
    if (!m_battleStarted) {
        m_barsShown = false;
        ToggleUnitBars();
    }
    m_battleStarted = true;
}

void GameSession::ToggleUnitBars()
{
    for (const std::unique_ptr<Player>& player : m_flow.GetPlayers()) {
        for (BoardUnit* unit : player->GetUnits()) {
            if (Unit* body = dynamic_cast<Unit*>(unit))
                body->Presentation().SetBarsAlpha(m_barsShown ? 1 : 0);
        }
    }
    m_barsShown = !m_barsShown;
}

void GameSession::LoadUnitModels(bool registerWithHud)
{
    for (const std::unique_ptr<Player>& player : m_flow.GetPlayers()) {
        for (BoardUnit* unit : player->GetUnits()) {
            if (!unit)
                continue;
            unit->LoadModel(registerWithHud);
            if (Hex* hex = unit->GetHex())
                hex->SetType(HEX_OCCUPIED);
            if (registerWithHud)
                m_load.Queue(unit);
        }
    }
    if (registerWithHud)
        m_load.AllModelsLoaded();
}

void GameSession::Execute()
{
    if (m_state == GAME_STATE_LOADING)
        LoadUnitModels(true);
    m_load.Finish();
}

void GameSession::UpdateLoading()
{
    if (JobQueue* queue = DataManager::Get()->GetJobQueue())
        queue->WaitUntilDone(LOADING_WAIT_MS);
    const bool done = m_load.Advance(DataManager::Get()->GetFrameTime());
    bool full = m_load.GetBar() >= 1.0f;
    if (m_loadingScreen) {
        m_loadingScreen->SetProgress(m_load.GetProgress() * ArmyLoad::BAR_SCALE);
        full = m_loadingScreen->IsFull();
    }

    if (done && full) {
        m_load.EmptyBar();
        // The units' turn-order entries are the battle HUD's: their labels make fonts, so they are handed over
        // on this thread, once the job has ended.
        for (BoardUnit* unit : m_load.TakeQueue())
            m_flow.Enlist(unit);
        SetGameState(GAME_STATE_BATTLE);
        m_flyOver.Begin();
        Camera::Get()->SetProjection();
        SoundQueue::Get()->PlayNow(BATTLE_MUSIC, true);
    }
}

void GameSession::StopBattleMusic()
{
    SoundQueue::Get()->StopMusic(BATTLE_MUSIC);
}

void GameSession::SetAreaDecal(int cells)
{
    if (m_markers)
        m_markers->SetAreaCells(cells);
}

void GameSession::SetRingEmittersActive(bool active)
{
    if (m_markers)
        m_markers->SetTargetRingsActive(active);
}

void GameSession::ApplyAreaEffect(BoardUnit* caster, const SpellDefinition& ability)
{
    m_flow.ApplyAreaEffect(caster, ability);
}

void GameSession::UpdateBattle()
{
    FSOUND_Update();
    SetUnitShaderGlobals();
    BattleHud::Get()->Update();
    if (m_descriptionBox)
        m_descriptionBox->Update();
    if (m_markers)
        m_markers->UpdateWindows();

    UpdatePlayers();
    if (m_hexGrid)
        m_hexGrid->Update();
    UpdateScenery();
    if (m_markers)
        m_markers->UpdateEmitters();

    if (m_shot.IsRequested())
        UpdateSlowMotion();
    if (m_flyOver.IsActive() && m_flow.GetPlayerCount() == 2)
        UpdateFlyOver();
    // A unit dead in its own turn hands it on; without a unit holding the turn the countdown steps. Not once
    // this frame's defeat has ended the battle: the countdown's banner would cover the winner's.
    if (IsInBattle())
        m_flow.Update(DataManager::Get()->GetGameTime());
    if (m_markers)
        m_markers->UpdateFlash();
}

void GameSession::UpdatePlayers()
{
    for (const std::unique_ptr<Player>& player : m_flow.GetPlayers())
        player->FlagDefendedHexes();
    for (const std::unique_ptr<Player>& player : m_flow.GetPlayers())
        player->Update();
    Player* activePlayer = m_flow.GetActivePlayer();
    if (!activePlayer)
        return;
    activePlayer->DispatchCommand();
    BoardUnit* activeUnit = m_flow.GetActiveUnit();
    if (!activeUnit)
        return;

    if (m_markers)
        m_markers->Follow(*activeUnit, MouseOverManager::Get()->GetHovered());
}

void GameSession::RequestNextTurn()
{
    m_flow.RequestNextTurn(DataManager::Get()->GetGameTime());
}

void GameSession::OnUnitEnlisted(BoardUnit* unit)
{
    BattleHud::Get()->AddTurnOrderEntry(unit);
}

void GameSession::OnCountdownStep(const TurnOrder& order)
{
    BattleHud::Get()->ShowTurnOrder(order);
    if (m_markers)
        m_markers->ShowCountdown();
    if (m_labels) {
        TextLabel& banner = (*m_labels)[BANNER];
        banner.SetText("Calculating Initiatives...");
        StartWidgetEffect(banner, EFFECT_FADE_TO_BASE, EFFECT_FADE_OUT, BANNER_FADE_DELAY);
    }
}

void GameSession::OnTurnHandedTo(BoardUnit* unit, Player* owner)
{
    m_flyOver.Stop();
    const bool second = owner->team == 1;
    if (m_markers) {
        m_markers->ShowTurnOf(second);
        if (m_application)
            m_application->SetPlayerCursor(m_markers->GetCursorPlayer());
    }
    if (m_labels)
        (*m_labels)[BANNER].SetText(second ? "Player 2 Turn." : "Player 1 Turn.");

    // One line per turn, like the states' lines, so that a battle can be followed from outside.
    const Unit* named = BodyOf(unit);
    if (const Hex* hex = unit->GetHex())
        LogFormat(LogLevel::INFO, "session.turn", "player %d %s at row %d column %d", owner->team + 1,
                  named ? named->Rules().name.c_str() : "unit", hex->row, hex->column);
}

void GameSession::OnTurnBegun(BoardUnit* unit)
{
    BattleHud::Get()->SelectUnit(unit);
}

void GameSession::RequestSlowMotion(BoardUnit* target, float delay, bool spell)
{
    m_shot.Request(target, m_flow.GetActiveUnit(), delay, spell);
}

void GameSession::UpdateSlowMotion()
{
    const SlowMotionShot::Frame frame = m_shot.Advance(DataManager::Get()->GetRawFrameTime(), *Camera::Get());
    if (frame.began) {
        ApplyGameSpeed();
        if (m_markers)
            m_markers->SetFlashSpeed(SHOT_FLASH_SPEED);
    }
    for (int cut = 0; cut < frame.cuts; ++cut)
        Flash(SHOT_FLASH_DELAY);
    if (frame.ended)
        EndSlowMotion();
}

void GameSession::EndSlowMotion()
{
    const bool wasSpell = m_shot.IsSpellShot();
    BoardUnit* target = m_shot.GetTarget();
    m_shot.End(*Camera::Get());
    ApplyGameSpeed();
    // A shot cut short by leaving the battle leaves the camera to the screen that follows.
    if (m_state == GAME_STATE_BATTLE)
        FollowUnit(m_flow.GetActiveUnit());
    if (!wasSpell) {
        if (Unit* body = BodyOf(target))
            body->Presentation().ShowFloatingText(false);
    }
    // Any unit that asked during the shot was turned away; none may keep waiting for a shot of its own.
    for (const std::unique_ptr<Player>& player : m_flow.GetPlayers()) {
        for (BoardUnit* unit : player->GetUnits()) {
            if (Unit* body = BodyOf(unit))
                body->CancelSlowMotionRequest();
        }
    }
    if (m_markers)
        m_markers->SetFlashSpeed(BattleMarkers::FLASH_SPEED);
}

void GameSession::Flash(float delay)
{
    if (m_markers)
        m_markers->Flash(delay);
}

void GameSession::UpdateFlyOver()
{
    const FlyOver::Frame frame = m_flyOver.Advance(DataManager::Get()->GetFrameTime(), m_hexGrid.get());
    if (frame.newZone != 0)
        StartZoneShot(frame.newZone, frame.playerIndex);
    if (frame.steers)
        m_flyOver.Steer(*Camera::Get());
    if (frame.turnDue)
        RequestNextTurn();
}

void GameSession::StartZoneShot(int zone, int playerIndex)
{
    Flash(FLY_OVER_FLASH_DELAY);
    const Hex* centre = m_flyOver.GetZoneCentre();
    if (!centre) {
        LogFormat(LogLevel::WARNING, "session.flyover", "the level has no deployment zone %d to show", zone);
        return;
    }
    float middle[3] = {0.0f, 0.0f, 0.0f};
    if (m_terrain)
        m_terrain->Centre(middle);
    Camera::Get()->SetEyeAndTarget(D3DXVECTOR3(middle[0], middle[1] + FLY_OVER_HEIGHT, middle[2]), centre->fan[0]);
    const Player* player = GetPlayer(playerIndex);
    FollowUnit(player ? player->GetUnit(0) : nullptr);
}

void GameSession::SetShakeMagnitude(float magnitude)
{
    if (m_application)
        m_application->SetShakeMagnitude(magnitude);
}

void GameSession::ApplyGameSpeed()
{
    if (m_application)
        m_application->SetTargetGameSpeed(m_shot.GetGameSpeed());
}

void GameSession::FollowUnit(BoardUnit* unit)
{
    m_followedUnit = unit && unit->AsObject() ? unit : nullptr;
    Camera::Get()->SetTarget(m_followedUnit ? this : nullptr);
}

void GameSession::ForgetUnit(BoardUnit* gone)
{
    if (!gone)
        return;
    if (m_followedUnit == gone) {
        m_followedUnit = nullptr;
        Camera::Get()->SetTarget(nullptr);
    }
    m_flow.ForgetUnit(gone);
    m_shot.Forget(gone);
    m_load.Forget(gone);
}

D3DXVECTOR3 GameSession::GetTargetPosition() const
{
    const Object* object = m_followedUnit ? m_followedUnit->AsObject() : nullptr;
    return object ? object->GetPosition() : D3DXVECTOR3(0.0f, 0.0f, 0.0f);
}

void GameSession::GetOrientationAxes(D3DXVECTOR3& first, D3DXVECTOR3& second) const
{
    const Object* object = m_followedUnit ? m_followedUnit->AsObject() : nullptr;
    first = object ? object->GetForward() : D3DXVECTOR3(0.0f, 0.0f, 1.0f);
    second = object ? object->GetRight() : D3DXVECTOR3(1.0f, 0.0f, 0.0f);
}

bool GameSession::HasTargetOfItsOwn() const
{
    return m_followedUnit && m_followedUnit->GetTarget();
}
