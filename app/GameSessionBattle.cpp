// The session's battle: its frame, what the players see of the turn flow, the slow-motion shot of a decisive blow,
// the opening fly-over and the unit the camera follows.
#include "app/GameSession.h"

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
constexpr float LOADED_FILL_RATE = 3.0f;
constexpr float WAITING_FILL_RATE = 0.75f;
constexpr float BAR_SCALE = 0.1f;
constexpr DWORD LOADING_WAIT_MS = 50;

constexpr int BANNER = GameSession::BANNER_LABEL;

const char* const BATTLE_MUSIC = "timberwolf.mp3";

// The turn flow's windows and banner.
constexpr float WINDOW_FADE_DELAY = 2.0f;
// The turn order's selection decal turns this much every frame.
constexpr float SELECTION_SPIN = 0.10471976f;

// The opening fly-over: the first army's zone, then the second's, then the first turn is asked for.
constexpr float ZONE_SWITCH_TIME = 3.0f;
constexpr float FLY_OVER_END = 6.5f;
constexpr float FLY_OVER_HEIGHT = 450.0f;
constexpr float FLY_OVER_TURN = 6.2831855f;
constexpr float FLY_OVER_RATE = 0.15f;
constexpr float FLY_OVER_FLASH_DELAY = 0.35f;

// The slow-motion shot, on real time after its delay.
constexpr float SHOT_SLOW_SPEED = 0.1f;
constexpr float SPELL_SHOT_SPEED = 0.25f;
constexpr float FIRST_SHOT = 0.25f;
constexpr float SECOND_SHOT = 3.0f;
constexpr float SHOT_END = 6.0f;
constexpr float SHOT_OFFSET = 500.0f;
constexpr float SHOT_EYE_LIFT = 300.0f;
constexpr float SHOT_AIM_LIFT = 150.0f;
constexpr float SHOT_JITTER = 50.0f;
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

D3DXVECTOR3 ToVector(const D3DVECTOR& v)
{
    return D3DXVECTOR3(v.x, v.y, v.z);
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
                body->SetBarsAlpha(m_barsShown ? 1 : 0);
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
                m_turnOrderQueue.push_back(unit);
        }
    }
    if (registerWithHud)
        m_unitsToLoad = 0;
}

void GameSession::Execute()
{
    if (m_state == GAME_STATE_LOADING)
        LoadUnitModels(true);
    m_loaded.store(true);
}

void GameSession::UpdateLoading()
{
    if (JobQueue* queue = DataManager::Get()->GetJobQueue())
        queue->WaitUntilDone(LOADING_WAIT_MS);
    const float frameTime = DataManager::Get()->GetFrameTime();
    const bool done = m_loaded.load();
    if (done)
        m_loadingProgress += frameTime * LOADED_FILL_RATE;
    else
        m_loadingProgress += frameTime / (static_cast<float>(m_unitsToLoad.load() + 1) * WAITING_FILL_RATE);
    m_loadingBar = std::min(m_loadingProgress * BAR_SCALE, 1.0f);
    bool full = m_loadingBar >= 1.0f;
    if (m_loadingScreen) {
        m_loadingScreen->SetProgress(m_loadingProgress * BAR_SCALE);
        full = m_loadingScreen->IsFull();
    }

    if (done && full) {
        m_loadingProgress = 0.0f;
        // The units' turn-order entries are the battle HUD's: their labels make fonts, so they are handed over
        // on this thread, once the job has ended.
        for (BoardUnit* unit : m_turnOrderQueue)
            m_flow.Enlist(unit);
        m_turnOrderQueue.clear();
        SetGameState(GAME_STATE_BATTLE);
        m_flyOver = true;
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
    if (m_areaDecal)
        m_areaDecal->Create(cells, 1500.0f, 1500.0f, false);
}

// The target's ring and burst; the ring under the unit whose turn it is stays.
void GameSession::SetRingEmittersActive(bool active)
{
    if (m_ringEmitterB)
        m_ringEmitterB->emitting = active;
    if (m_burstEmitter)
        m_burstEmitter->emitting = active;
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
    if (m_playerSymbol)
        m_playerSymbol->Update();
    if (m_turnWindow)
        m_turnWindow->Update();

    UpdatePlayers();
    if (m_hexGrid)
        m_hexGrid->Update();
    UpdateScenery();
    for (ParticleEmitter* emitter : {m_ringEmitterA.get(), m_ringEmitterB.get(), m_burstEmitter.get()}) {
        if (emitter)
            emitter->Update();
    }

    if (m_cinematicRequested)
        UpdateSlowMotion();
    if (m_flyOver && m_flow.GetPlayerCount() == 2)
        UpdateFlyOver();
    // A unit dead in its own turn hands it on; without a unit holding the turn the countdown steps. Not once
    // this frame's defeat has ended the battle: the countdown's banner would cover the winner's.
    if (m_state == GAME_STATE_BATTLE)
        m_flow.Update(DataManager::Get()->GetGameTime());
    if (m_flashOverlay)
        m_flashOverlay->Update();
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

    if (m_selectionDecal) {
        if (const Object* body = activeUnit->AsObject()) {
            const D3DXVECTOR3& at = body->GetPosition();
            m_selectionDecal->UpdatePosition(at.x, at.y, at.z, true);
        }
        m_selectionDecal->AddRotation(SELECTION_SPIN);
        if (m_ringEmitterA)
            m_ringEmitterA->position = m_selectionDecal->Position();
    }

    BoardUnit* target = activeUnit->GetTarget();
    if (target && m_targetDecal) {
        if (const Object* body = target->AsObject()) {
            const D3DXVECTOR3& at = body->GetPosition();
            m_targetDecal->UpdatePosition(at.x, at.y, at.z, true);
        }
        for (ParticleEmitter* emitter : {m_ringEmitterB.get(), m_burstEmitter.get()}) {
            if (emitter)
                emitter->position = m_targetDecal->Position();
        }
    }

    if (!m_areaDecal)
        return;
    const Hex* hovered = MouseOverManager::Get()->GetHovered();
    if (hovered)
        m_areaDecal->UpdatePosition(hovered->fan[0].x, hovered->fan[0].y, hovered->fan[0].z, true);
    else
        m_areaDecal->Refresh(true);

    // The area shows while an ability that covers more than its target is being aimed or cast.
    const UnitState unitState = activeUnit->GetState();
    if (unitState != SELECTING_ABILITY_TARGET && unitState != CASTING) {
        m_areaDecal->fadeState = 1;
    } else if (const SpellDefinition* ability = activeUnit->GetSelectedAbility()) {
        m_areaDecal->fadeState = ability->areaRadius >= 2 && ability->range >= 1 ? 0 : 1;
    }
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
    if (m_turnWindow) {
        m_turnWindow->colour = m_turnWindow->baseColour = D3DXCOLOR(1.0f, 1.0f, 1.0f, 1.0f);
        m_turnWindow->pendingEffect = EFFECT_FADE_ALPHA_TO_BASE;
        m_turnWindow->effectTimer = 0.0f;
        m_turnWindow->effectDelay = 0.0f;
    }
    if (m_labels) {
        TextLabel& banner = (*m_labels)[BANNER];
        banner.SetText("Calculating Initiatives...");
        StartWidgetEffect(banner, EFFECT_FADE_TO_BASE, EFFECT_FADE_OUT, WINDOW_FADE_DELAY);
    }
}

void GameSession::OnTurnHandedTo(BoardUnit* unit, Player* owner)
{
    m_flyOver = false;
    if (m_turnWindow)
        StartWidgetEffect(*m_turnWindow, EFFECT_FADE_ALPHA_TO_BASE, EFFECT_FADE_OUT, WINDOW_FADE_DELAY);
    if (m_playerSymbol) {
        m_playerSymbol->colour = m_playerSymbol->baseColour = D3DXCOLOR(1.0f, 1.0f, 1.0f, 1.0f);
        StartWidgetEffect(*m_playerSymbol, EFFECT_FADE_ALPHA_TO_BASE, EFFECT_FADE_OUT, WINDOW_FADE_DELAY);
    }

    const bool second = owner->team == 1;
    if (m_ringEmitterA) {
        if (second) {
            m_ringEmitterA->SetColourKey(0, 128.0f, 64.0f, 0.0f);
            m_ringEmitterA->SetColourKey(1, 255.0f, 255.0f, 128.0f);
        } else {
            m_ringEmitterA->SetColourKey(0, 0.0f, 64.0f, 128.0f);
            m_ringEmitterA->SetColourKey(1, 128.0f, 255.0f, 255.0f);
        }
    }
    if (m_selectionDecal) {
        if (second)
            m_selectionDecal->SetColour(0.8f, 0.1f, 0.1f);
        else
            m_selectionDecal->SetColour(0.0f, 0.85f, 1.0f);
        m_selectionDecal->fadeState = 2;
    }
    if (m_labels)
        (*m_labels)[BANNER].SetText(second ? "Player 2 Turn." : "Player 1 Turn.");
    if (m_playerSymbol)
        m_playerSymbol->SetTextureByName(second ? "P2_Symbol.tga" : "P1_Symbol.tga");
    m_cursorPlayer = second ? 1 : 0;
    if (m_application)
        m_application->SetPlayerCursor(m_cursorPlayer);

    // One line per turn, like the states' lines, so that a battle can be followed from outside.
    const Unit* named = BodyOf(unit);
    if (const Hex* hex = unit->GetHex())
        LogFormat(LogLevel::INFO, "session.turn", "player %d %s at row %d column %d", owner->team + 1,
                  named ? named->name.c_str() : "unit", hex->row, hex->column);
}

void GameSession::OnTurnBegun(BoardUnit* unit)
{
    BattleHud::Get()->SelectUnit(unit);
}

void GameSession::RequestSlowMotion(BoardUnit* target, float delay, bool spell)
{
    // One shot at a time: a second decisive blow during a shot would shift its timeline.
    if (m_cinematicRequested)
        return;
    m_cinematicRequested = true;
    m_spellShot = spell;
    m_cinematicDelay = delay;
    m_cinematicTarget = target;
    // The blow's own unit, held for the whole shot: another may have the turn by the time it ends.
    m_cinematicAttacker = m_flow.GetActiveUnit();
    m_slowMotionClock = 0.0f;
}

void GameSession::UpdateSlowMotion()
{
    m_slowMotionClock += DataManager::Get()->GetRawFrameTime();
    if (m_slowMotionClock < m_cinematicDelay)
        return;
    Camera* camera = Camera::Get();
    if (!m_slowMotionStarted) {
        SetTargetGameSpeed(m_spellShot ? SPELL_SHOT_SPEED : SHOT_SLOW_SPEED);
        m_savedEye = camera->GetEye();
        m_savedLookAt = camera->GetLookAt();
        const Object* attacker = m_cinematicAttacker ? m_cinematicAttacker->AsObject() : nullptr;
        const Object* defender = m_cinematicTarget ? m_cinematicTarget->AsObject() : nullptr;
        m_shotHasUnits = attacker && defender;
        if (m_shotHasUnits) {
            m_attackerAt = attacker->GetPosition();
            m_attackerSide = attacker->GetRight() * SHOT_OFFSET;
            m_attackerBack = attacker->GetForward() * -SHOT_OFFSET;
            m_defenderAt = defender->GetPosition();
            m_defenderSide = defender->GetRight() * SHOT_OFFSET;
            m_defenderBack = defender->GetForward() * -SHOT_OFFSET;
        }
        if (m_flashOverlay)
            m_flashOverlay->speed = SHOT_FLASH_SPEED;
        m_slowMotionStarted = true;
    }
    const D3DXVECTOR3 eyeLift(0.0f, SHOT_EYE_LIFT, 0.0f);
    const D3DXVECTOR3 aimLift(0.0f, SHOT_AIM_LIFT, 0.0f);
    // A long frame may run several of the steps below, in order.
    if (!m_firstShotDone && m_slowMotionClock >= m_cinematicDelay + FIRST_SHOT) {
        m_firstShotDone = true;
        Flash(SHOT_FLASH_DELAY);
        D3DVECTOR jitter;
        RandomVector(SHOT_JITTER, SHOT_JITTER, SHOT_JITTER, jitter);
        // Beside and behind the defender, looking at the attacker.
        if (m_shotHasUnits)
            camera->SetEyeAndTarget(m_defenderAt + m_defenderSide + m_defenderBack + ToVector(jitter) + eyeLift,
                                    m_attackerAt + aimLift);
    }
    if (!m_secondShotDone && m_slowMotionClock >= m_cinematicDelay + SECOND_SHOT) {
        m_secondShotDone = true;
        Flash(SHOT_FLASH_DELAY);
        D3DVECTOR jitter;
        RandomVector(SHOT_JITTER, SHOT_JITTER, SHOT_JITTER, jitter);
        if (m_shotHasUnits)
            camera->SetEyeAndTarget(m_attackerAt + m_attackerSide + m_attackerBack + ToVector(jitter) + eyeLift,
                                    m_defenderAt + aimLift);
    }
    if (m_slowMotionClock >= m_cinematicDelay + SHOT_END) {
        Flash(SHOT_FLASH_DELAY);
        EndSlowMotion();
    }
}

void GameSession::EndSlowMotion()
{
    const bool wasSpell = m_spellShot;
    const bool started = m_slowMotionStarted;
    m_firstShotDone = false;
    m_secondShotDone = false;
    m_slowMotionStarted = false;
    m_cinematicRequested = false;
    m_spellShot = false;
    SetTargetGameSpeed(1.0f);
    if (started)
        Camera::Get()->SetEyeAndTarget(m_savedEye, m_savedLookAt);
    // A shot cut short by leaving the battle leaves the camera to the screen that follows.
    if (m_state == GAME_STATE_BATTLE)
        FollowUnit(m_flow.GetActiveUnit());
    if (!wasSpell) {
        if (Unit* target = BodyOf(m_cinematicTarget))
            target->ShowFloatingText(false);
    }
    // Any unit that asked during the shot was turned away; none may keep waiting for a shot of its own.
    for (const std::unique_ptr<Player>& player : m_flow.GetPlayers()) {
        for (BoardUnit* unit : player->GetUnits()) {
            if (Unit* body = BodyOf(unit))
                body->slowMotionRequested = false;
        }
    }
    m_cinematicTarget = nullptr;
    m_cinematicAttacker = nullptr;
    m_slowMotionClock = 0.0f;
    if (m_flashOverlay)
        m_flashOverlay->speed = FLASH_SPEED;
}

void GameSession::Flash(float delay)
{
    if (m_flashOverlay)
        StartWidgetEffect(*m_flashOverlay, EFFECT_SET_TARGET, EFFECT_FADE_OUT, delay);
}

void GameSession::UpdateFlyOver()
{
    m_flyOverClock += DataManager::Get()->GetFrameTime();
    // A frame that lands exactly on the switch shows neither zone.
    const auto shoot = [this](bool& started, int zone, int playerIndex) {
        if (!started)
            StartZoneShot(zone, playerIndex);
        started = true;
        if (m_zoneCentre)
            Camera::Get()->MoveTo(m_zoneCentre->fan[0], FLY_OVER_TURN, FLY_OVER_RATE);
    };
    if (m_flyOverClock < ZONE_SWITCH_TIME)
        shoot(m_zone3ShotStarted, HEX_DEPLOY_TEAM0, 0);
    else if (m_flyOverClock > ZONE_SWITCH_TIME)
        shoot(m_zone4ShotStarted, HEX_DEPLOY_TEAM1, 1);
    if (m_flyOverClock >= FLY_OVER_END)
        RequestNextTurn();
}

void GameSession::StartZoneShot(int zone, int playerIndex)
{
    m_zoneCentre = m_hexGrid ? m_hexGrid->CentreOfType(zone) : nullptr;
    Flash(FLY_OVER_FLASH_DELAY);
    if (!m_zoneCentre) {
        LogFormat(LogLevel::WARNING, "session.flyover", "the level has no deployment zone %d to show", zone);
        return;
    }
    float centre[3] = {0.0f, 0.0f, 0.0f};
    if (m_terrain)
        m_terrain->Centre(centre);
    Camera::Get()->SetEyeAndTarget(D3DXVECTOR3(centre[0], centre[1] + FLY_OVER_HEIGHT, centre[2]),
                                   m_zoneCentre->fan[0]);
    const Player* player = GetPlayer(playerIndex);
    FollowUnit(player ? player->GetUnit(0) : nullptr);
}

void GameSession::SetShakeMagnitude(float magnitude)
{
    if (m_application)
        m_application->SetShakeMagnitude(magnitude);
}

void GameSession::SetTargetGameSpeed(float speed)
{
    m_targetGameSpeed = speed;
    if (m_application)
        m_application->SetTargetGameSpeed(speed);
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
    if (m_cinematicTarget == gone)
        m_cinematicTarget = nullptr;
    if (m_cinematicAttacker == gone)
        m_cinematicAttacker = nullptr;
    std::erase(m_turnOrderQueue, gone);
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
