// NOLINTBEGIN(readability-identifier-naming): the session's names follow the naming rule once it is split.
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
constexpr float kLoadedFillRate = 3.0f;
constexpr float kWaitingFillRate = 0.75f;
constexpr float kBarScale = 0.1f;
constexpr DWORD kLoadingWaitMs = 50;

constexpr int kBanner = GameSession::BANNER_LABEL;

const char* const kBattleMusic = "timberwolf.mp3";

// The turn flow's windows and banner.
constexpr float kWindowFadeDelay = 2.0f;
// The turn order's selection decal turns this much every frame.
constexpr float kSelectionSpin = 0.10471976f;

// The opening fly-over: the first army's zone, then the second's, then the first turn is asked for.
constexpr float kZoneSwitchTime = 3.0f;
constexpr float kFlyOverEnd = 6.5f;
constexpr float kFlyOverHeight = 450.0f;
constexpr float kFlyOverTurn = 6.2831855f;
constexpr float kFlyOverRate = 0.15f;
constexpr float kFlyOverFlashDelay = 0.35f;

// The slow-motion shot, on real time after its delay.
constexpr float kShotSlowSpeed = 0.1f;
constexpr float kSpellShotSpeed = 0.25f;
constexpr float kFirstShot = 0.25f;
constexpr float kSecondShot = 3.0f;
constexpr float kShotEnd = 6.0f;
constexpr float kShotOffset = 500.0f;
constexpr float kShotEyeLift = 300.0f;
constexpr float kShotAimLift = 150.0f;
constexpr float kShotJitter = 50.0f;
constexpr float kShotFlashDelay = 0.02f;
constexpr float kShotFlashSpeed = 15.0f;

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
    if (battleStarted && previous != GAME_STATE_BATTLE)
        SoundQueue::Get()->PlayNow(kBattleMusic, true);
    // A battle opens with every unit's bars shown, so that a player sees the enemy's health from the start; Tab
    // then hides them and shows them again.
    if (!battleStarted) {
        barsShown = false;
        ToggleUnitBars();
    }
    battleStarted = true;
}

void GameSession::ToggleUnitBars()
{
    for (const std::unique_ptr<Player>& player : flow.GetPlayers()) {
        for (BoardUnit* unit : player->GetUnits()) {
            if (Unit* body = dynamic_cast<Unit*>(unit))
                body->Presentation().SetBarsAlpha(barsShown ? 1 : 0);
        }
    }
    barsShown = !barsShown;
}

void GameSession::LoadUnitModels(bool registerWithHud)
{
    for (const std::unique_ptr<Player>& player : flow.GetPlayers()) {
        for (BoardUnit* unit : player->GetUnits()) {
            if (!unit)
                continue;
            unit->LoadModel(registerWithHud);
            if (Hex* hex = unit->GetHex())
                hex->SetType(HEX_OCCUPIED);
            if (registerWithHud)
                turnOrderQueue.push_back(unit);
        }
    }
    if (registerWithHud)
        unitsToLoad = 0;
}

void GameSession::Execute()
{
    if (state == GAME_STATE_LOADING)
        LoadUnitModels(true);
    loaded.store(true);
}

void GameSession::UpdateLoading()
{
    if (JobQueue* queue = DataManager::Get()->GetJobQueue())
        queue->WaitUntilDone(kLoadingWaitMs);
    const float frameTime = DataManager::Get()->GetFrameTime();
    const bool done = loaded.load();
    if (done)
        loadingProgress += frameTime * kLoadedFillRate;
    else
        loadingProgress += frameTime / (static_cast<float>(unitsToLoad.load() + 1) * kWaitingFillRate);
    loadingBar = std::min(loadingProgress * kBarScale, 1.0f);
    bool full = loadingBar >= 1.0f;
    if (loadingScreen) {
        loadingScreen->SetProgress(loadingProgress * kBarScale);
        full = loadingScreen->IsFull();
    }

    if (done && full) {
        loadingProgress = 0.0f;
        // The units' turn-order entries are the battle HUD's: their labels make fonts, so they are handed over
        // on this thread, once the job has ended.
        for (BoardUnit* unit : turnOrderQueue)
            flow.Enlist(unit);
        turnOrderQueue.clear();
        SetGameState(GAME_STATE_BATTLE);
        flyOver = true;
        Camera::Get()->SetProjection();
        SoundQueue::Get()->PlayNow(kBattleMusic, true);
    }
}

void GameSession::StopBattleMusic()
{
    SoundQueue::Get()->StopMusic(kBattleMusic);
}

void GameSession::SetAreaDecal(int cells)
{
    if (areaDecal)
        areaDecal->Create(cells, 1500.0f, 1500.0f, false);
}

// The target's ring and burst; the ring under the unit whose turn it is stays.
void GameSession::SetRingEmittersActive(bool active)
{
    if (ringEmitterB)
        ringEmitterB->emitting = active;
    if (burstEmitter)
        burstEmitter->emitting = active;
}

void GameSession::ApplyAreaEffect(BoardUnit* caster, const SpellDefinition& ability)
{
    flow.ApplyAreaEffect(caster, ability);
}

void GameSession::UpdateBattle()
{
    FSOUND_Update();
    SetUnitShaderGlobals();
    BattleHud::Get()->Update();
    if (descriptionBox)
        descriptionBox->Update();
    if (playerSymbol)
        playerSymbol->Update();
    if (turnWindow)
        turnWindow->Update();

    UpdatePlayers();
    if (hexGrid)
        hexGrid->Update();
    UpdateScenery();
    for (ParticleEmitter* emitter : {ringEmitterA.get(), ringEmitterB.get(), burstEmitter.get()}) {
        if (emitter)
            emitter->Update();
    }

    if (cinematicRequested)
        UpdateSlowMotion();
    if (flyOver && flow.GetPlayerCount() == 2)
        UpdateFlyOver();
    // A unit dead in its own turn hands it on; without a unit holding the turn the countdown steps. Not once
    // this frame's defeat has ended the battle: the countdown's banner would cover the winner's.
    if (state == GAME_STATE_BATTLE)
        flow.Update(DataManager::Get()->GetGameTime());
    if (flashOverlay)
        flashOverlay->Update();
}

void GameSession::UpdatePlayers()
{
    for (const std::unique_ptr<Player>& player : flow.GetPlayers())
        player->FlagDefendedHexes();
    for (const std::unique_ptr<Player>& player : flow.GetPlayers())
        player->Update();
    Player* activePlayer = flow.GetActivePlayer();
    if (!activePlayer)
        return;
    activePlayer->DispatchCommand();
    BoardUnit* activeUnit = flow.GetActiveUnit();
    if (!activeUnit)
        return;

    if (selectionDecal) {
        if (const Object* body = activeUnit->AsObject()) {
            const D3DXVECTOR3& at = body->GetPosition();
            selectionDecal->UpdatePosition(at.x, at.y, at.z, true);
        }
        selectionDecal->AddRotation(kSelectionSpin);
        if (ringEmitterA)
            ringEmitterA->position = selectionDecal->Position();
    }

    BoardUnit* target = activeUnit->GetTarget();
    if (target && targetDecal) {
        if (const Object* body = target->AsObject()) {
            const D3DXVECTOR3& at = body->GetPosition();
            targetDecal->UpdatePosition(at.x, at.y, at.z, true);
        }
        for (ParticleEmitter* emitter : {ringEmitterB.get(), burstEmitter.get()}) {
            if (emitter)
                emitter->position = targetDecal->Position();
        }
    }

    if (!areaDecal)
        return;
    const Hex* hovered = MouseOverManager::Get()->GetHovered();
    if (hovered)
        areaDecal->UpdatePosition(hovered->fan[0].x, hovered->fan[0].y, hovered->fan[0].z, true);
    else
        areaDecal->Refresh(true);

    // The area shows while an ability that covers more than its target is being aimed or cast.
    const UnitState unitState = activeUnit->GetState();
    if (unitState != SELECTING_ABILITY_TARGET && unitState != CASTING) {
        areaDecal->fadeState = 1;
    } else if (const SpellDefinition* ability = activeUnit->GetSelectedAbility()) {
        areaDecal->fadeState = ability->areaRadius >= 2 && ability->range >= 1 ? 0 : 1;
    }
}

void GameSession::RequestNextTurn()
{
    flow.RequestNextTurn(DataManager::Get()->GetGameTime());
}

void GameSession::OnUnitEnlisted(BoardUnit* unit)
{
    BattleHud::Get()->AddTurnOrderEntry(unit);
}

void GameSession::OnCountdownStep(const TurnOrder& order)
{
    BattleHud::Get()->ShowTurnOrder(order);
    if (turnWindow) {
        turnWindow->colour = turnWindow->baseColour = D3DXCOLOR(1.0f, 1.0f, 1.0f, 1.0f);
        turnWindow->pendingEffect = EFFECT_FADE_ALPHA_TO_BASE;
        turnWindow->effectTimer = 0.0f;
        turnWindow->effectDelay = 0.0f;
    }
    if (labels) {
        TextLabel& banner = (*labels)[kBanner];
        banner.SetText("Calculating Initiatives...");
        StartWidgetEffect(banner, EFFECT_FADE_TO_BASE, EFFECT_FADE_OUT, kWindowFadeDelay);
    }
}

void GameSession::OnTurnHandedTo(BoardUnit* unit, Player* owner)
{
    flyOver = false;
    if (turnWindow)
        StartWidgetEffect(*turnWindow, EFFECT_FADE_ALPHA_TO_BASE, EFFECT_FADE_OUT, kWindowFadeDelay);
    if (playerSymbol) {
        playerSymbol->colour = playerSymbol->baseColour = D3DXCOLOR(1.0f, 1.0f, 1.0f, 1.0f);
        StartWidgetEffect(*playerSymbol, EFFECT_FADE_ALPHA_TO_BASE, EFFECT_FADE_OUT, kWindowFadeDelay);
    }

    const bool second = owner->team == 1;
    if (ringEmitterA) {
        if (second) {
            ringEmitterA->SetColourKey(0, 128.0f, 64.0f, 0.0f);
            ringEmitterA->SetColourKey(1, 255.0f, 255.0f, 128.0f);
        } else {
            ringEmitterA->SetColourKey(0, 0.0f, 64.0f, 128.0f);
            ringEmitterA->SetColourKey(1, 128.0f, 255.0f, 255.0f);
        }
    }
    if (selectionDecal) {
        if (second)
            selectionDecal->SetColour(0.8f, 0.1f, 0.1f);
        else
            selectionDecal->SetColour(0.0f, 0.85f, 1.0f);
        selectionDecal->fadeState = 2;
    }
    if (labels)
        (*labels)[kBanner].SetText(second ? "Player 2 Turn." : "Player 1 Turn.");
    if (playerSymbol)
        playerSymbol->SetTextureByName(second ? "P2_Symbol.tga" : "P1_Symbol.tga");
    cursorPlayer = second ? 1 : 0;
    if (application)
        application->SetPlayerCursor(cursorPlayer);

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
    // One shot at a time: a second decisive blow during a shot would shift its timeline.
    if (cinematicRequested)
        return;
    cinematicRequested = true;
    spellShot = spell;
    cinematicDelay = delay;
    cinematicTarget = target;
    // The blow's own unit, held for the whole shot: another may have the turn by the time it ends.
    cinematicAttacker = flow.GetActiveUnit();
    slowMotionClock = 0.0f;
}

void GameSession::UpdateSlowMotion()
{
    slowMotionClock += DataManager::Get()->GetRawFrameTime();
    if (slowMotionClock < cinematicDelay)
        return;
    Camera* camera = Camera::Get();
    if (!slowMotionStarted) {
        SetTargetGameSpeed(spellShot ? kSpellShotSpeed : kShotSlowSpeed);
        savedEye = camera->GetEye();
        savedLookAt = camera->GetLookAt();
        const Object* attacker = cinematicAttacker ? cinematicAttacker->AsObject() : nullptr;
        const Object* defender = cinematicTarget ? cinematicTarget->AsObject() : nullptr;
        shotHasUnits = attacker && defender;
        if (shotHasUnits) {
            attackerAt = attacker->GetPosition();
            attackerSide = attacker->GetRight() * kShotOffset;
            attackerBack = attacker->GetForward() * -kShotOffset;
            defenderAt = defender->GetPosition();
            defenderSide = defender->GetRight() * kShotOffset;
            defenderBack = defender->GetForward() * -kShotOffset;
        }
        if (flashOverlay)
            flashOverlay->speed = kShotFlashSpeed;
        slowMotionStarted = true;
    }
    const D3DXVECTOR3 eyeLift(0.0f, kShotEyeLift, 0.0f);
    const D3DXVECTOR3 aimLift(0.0f, kShotAimLift, 0.0f);
    // A long frame may run several of the steps below, in order.
    if (!firstShotDone && slowMotionClock >= cinematicDelay + kFirstShot) {
        firstShotDone = true;
        Flash(kShotFlashDelay);
        D3DVECTOR jitter;
        RandomVector(kShotJitter, kShotJitter, kShotJitter, jitter);
        // Beside and behind the defender, looking at the attacker.
        if (shotHasUnits)
            camera->SetEyeAndTarget(defenderAt + defenderSide + defenderBack + ToVector(jitter) + eyeLift,
                                    attackerAt + aimLift);
    }
    if (!secondShotDone && slowMotionClock >= cinematicDelay + kSecondShot) {
        secondShotDone = true;
        Flash(kShotFlashDelay);
        D3DVECTOR jitter;
        RandomVector(kShotJitter, kShotJitter, kShotJitter, jitter);
        if (shotHasUnits)
            camera->SetEyeAndTarget(attackerAt + attackerSide + attackerBack + ToVector(jitter) + eyeLift,
                                    defenderAt + aimLift);
    }
    if (slowMotionClock >= cinematicDelay + kShotEnd) {
        Flash(kShotFlashDelay);
        EndSlowMotion();
    }
}

void GameSession::EndSlowMotion()
{
    const bool wasSpell = spellShot;
    const bool started = slowMotionStarted;
    firstShotDone = false;
    secondShotDone = false;
    slowMotionStarted = false;
    cinematicRequested = false;
    spellShot = false;
    SetTargetGameSpeed(1.0f);
    if (started)
        Camera::Get()->SetEyeAndTarget(savedEye, savedLookAt);
    // A shot cut short by leaving the battle leaves the camera to the screen that follows.
    if (state == GAME_STATE_BATTLE)
        FollowUnit(flow.GetActiveUnit());
    if (!wasSpell) {
        if (Unit* target = BodyOf(cinematicTarget))
            target->Presentation().ShowFloatingText(false);
    }
    // Any unit that asked during the shot was turned away; none may keep waiting for a shot of its own.
    for (const std::unique_ptr<Player>& player : flow.GetPlayers()) {
        for (BoardUnit* unit : player->GetUnits()) {
            if (Unit* body = BodyOf(unit))
                body->CancelSlowMotionRequest();
        }
    }
    cinematicTarget = nullptr;
    cinematicAttacker = nullptr;
    slowMotionClock = 0.0f;
    if (flashOverlay)
        flashOverlay->speed = FLASH_SPEED;
}

void GameSession::Flash(float delay)
{
    if (flashOverlay)
        StartWidgetEffect(*flashOverlay, EFFECT_SET_TARGET, EFFECT_FADE_OUT, delay);
}

void GameSession::UpdateFlyOver()
{
    flyOverClock += DataManager::Get()->GetFrameTime();
    // A frame that lands exactly on the switch shows neither zone.
    const auto shoot = [this](bool& started, int zone, int playerIndex) {
        if (!started)
            StartZoneShot(zone, playerIndex);
        started = true;
        if (zoneCentre)
            Camera::Get()->MoveTo(zoneCentre->fan[0], kFlyOverTurn, kFlyOverRate);
    };
    if (flyOverClock < kZoneSwitchTime)
        shoot(zone3ShotStarted, HEX_DEPLOY_TEAM0, 0);
    else if (flyOverClock > kZoneSwitchTime)
        shoot(zone4ShotStarted, HEX_DEPLOY_TEAM1, 1);
    if (flyOverClock >= kFlyOverEnd)
        RequestNextTurn();
}

void GameSession::StartZoneShot(int zone, int playerIndex)
{
    zoneCentre = hexGrid ? hexGrid->CentreOfType(zone) : nullptr;
    Flash(kFlyOverFlashDelay);
    if (!zoneCentre) {
        LogFormat(LogLevel::WARNING, "session.flyover", "the level has no deployment zone %d to show", zone);
        return;
    }
    float centre[3] = {0.0f, 0.0f, 0.0f};
    if (terrain)
        terrain->Centre(centre);
    Camera::Get()->SetEyeAndTarget(D3DXVECTOR3(centre[0], centre[1] + kFlyOverHeight, centre[2]), zoneCentre->fan[0]);
    const Player* player = GetPlayer(playerIndex);
    FollowUnit(player ? player->GetUnit(0) : nullptr);
}

void GameSession::SetShakeMagnitude(float magnitude)
{
    if (application)
        application->SetShakeMagnitude(magnitude);
}

void GameSession::SetTargetGameSpeed(float speed)
{
    targetGameSpeed = speed;
    if (application)
        application->SetTargetGameSpeed(speed);
}

void GameSession::FollowUnit(BoardUnit* unit)
{
    followedUnit = unit && unit->AsObject() ? unit : nullptr;
    Camera::Get()->SetTarget(followedUnit ? this : nullptr);
}

void GameSession::ForgetUnit(BoardUnit* gone)
{
    if (!gone)
        return;
    if (followedUnit == gone) {
        followedUnit = nullptr;
        Camera::Get()->SetTarget(nullptr);
    }
    flow.ForgetUnit(gone);
    if (cinematicTarget == gone)
        cinematicTarget = nullptr;
    if (cinematicAttacker == gone)
        cinematicAttacker = nullptr;
    std::erase(turnOrderQueue, gone);
}

D3DXVECTOR3 GameSession::GetTargetPosition() const
{
    const Object* object = followedUnit ? followedUnit->AsObject() : nullptr;
    return object ? object->GetPosition() : D3DXVECTOR3(0.0f, 0.0f, 0.0f);
}

void GameSession::GetOrientationAxes(D3DXVECTOR3& first, D3DXVECTOR3& second) const
{
    const Object* object = followedUnit ? followedUnit->AsObject() : nullptr;
    first = object ? object->GetForward() : D3DXVECTOR3(0.0f, 0.0f, 1.0f);
    second = object ? object->GetRight() : D3DXVECTOR3(1.0f, 0.0f, 0.0f);
}

bool GameSession::HasTargetOfItsOwn() const
{
    return followedUnit && followedUnit->GetTarget();
}
// NOLINTEND(readability-identifier-naming)
