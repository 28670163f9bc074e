// NOLINTBEGIN(readability-identifier-naming): this file is being split; its names follow the naming rule then.
#include "app/GameSession.h"

#include "app/GameApplication.h"
#include "app/HexGridSink.h"
#include "battle/BoardUnit.h"
#include "battle/ClassUnit.h"
#include "battle/CombatText.h"
#include "battle/Hex.h"
#include "battle/HexGrid.h"
#include "battle/Object.h"
#include "battle/Player.h"
#include "battle/Unit.h"
#include "core/DataManager.h"
#include "core/GlobalConstants.h"
#include "core/InputManager.h"
#include "core/JobQueue.h"
#include "core/Random.h"
#include "core/SoundQueue.h"
#include "d3d9/D3D9.h"
#include "d3dx9/D3DX9Core.h"
#include "scene/Camera.h"
#include "scene/Decal.h"
#include "scene/DecalManager.h"
#include "scene/ParticleEmitter.h"
#include "scene/ParticleManager.h"
#include "scene/SkyDome.h"
#include "scene/StarField.h"
#include "scene/StaticObjectSet.h"
#include "scene/Terrain.h"
#include "sound/FSound.h"
#include "ui/BattleHud.h"
#include "ui/DescriptionBox.h"
#include "ui/GuiElement.h"
#include "ui/HelpScreen.h"
#include "ui/LoadingScreen.h"
#include "ui/MenuManager.h"
#include "ui/MouseOverManager.h"
#include "ui/TextLabel.h"
#include "ui/UnitTextLabel.h"
#include "win32/Log.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {
constexpr float kOutOfRangeDepth = 200.0f;

constexpr GameSession::LevelEntry kLevels[] = {
    {"Farm", "Farm.txt", 0},
    {"Winter", "winter_wonderland.txt", 1},
    {"Citadel Courtyard", "Citadel Courtyard.txt", 2},
};
const char* const kFarmEmitters[] = {"Smoldering.txt", "SmokeEmitter.txt", "Fire_EmbersEmitter.txt"};
const D3DXVECTOR3 kFarmEmitterOffset(16539.0f, 0.0f, 16373.0f);

// Where the selection decal and its ring wait while no unit has the turn: far below the ground.
const D3DXVECTOR3 kParked(0.0f, -5000.0f, 0.0f);

constexpr float kLoadedFillRate = 3.0f;
constexpr float kWaitingFillRate = 0.75f;
constexpr float kBarScale = 0.1f;
constexpr DWORD kLoadingWaitMs = 50;

constexpr float kLabelLeft = 256.0f;
constexpr float kLabelColumnStep = 384.0f;
constexpr int kBanner = 8;

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
constexpr float kFlashSpeed = 5.0f;

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

// Without its scene target the game cannot draw a frame; it stops at once, and says why.
[[noreturn]] void FailSceneTarget(const char* what)
{
    LogFormat(LogLevel::ERROR, "scene.target", "The Varnholt: could not create the scene %s; the game must end.", what);
    std::fflush(stderr);
    std::_Exit(EXIT_FAILURE);
}

void RaisePointerDisplay()
{
    while (ShowCursor(TRUE) < 1) { }
}

void HidePointer()
{
    while (ShowCursor(FALSE) > -1) { }
}

// The front-end page each game state shows.
int ScreenOf(GameState state)
{
    switch (state) {
    case GAME_STATE_INTRO:
        return SCREEN_TITLE;
    case GAME_STATE_DEPLOYMENT:
        return SCREEN_DEPLOYMENT;
    case GAME_STATE_MAIN_MENU:
        return SCREEN_MAIN_MENU;
    case GAME_STATE_GAME_OVER:
        return SCREEN_END_OF_GAME;
    default:
        return SCREEN_EMPTY;
    }
}

void LoadEmitter(ParticleEmitter* emitter, const char* file, bool active, float offsetY)
{
    if (!emitter)
        return;
    emitter->LoadFile(file);
    emitter->emitting = active;
    emitter->Settings().origin = D3DXVECTOR3(0.0f, offsetY, 0.0f);
}
} // namespace

const GameSession::LevelEntry* GameSession::FindLevel(const std::string& name)
{
    for (const LevelEntry& level : kLevels) {
        if (name == level.name)
            return &level;
    }
    return nullptr;
}

D3DXVECTOR3 GameSession::LightDirection()
{
    D3DXVECTOR3 direction(50.0f, 45.0f, 25.0f);
    D3DXVec3Normalize(&direction, &direction);
    return direction;
}

GameSession::GameSession()
{
    D3DXMatrixIdentity(&textTransform);
    DataManager::Get()->SetGameSession(this);
    BattleSession::Register(this);
    BoardView::Register(this);
    FrontEndLink::Register(this);
    CombatText::SetFactory(&UnitTextLabel::Make);
    flow.SetListener(this);
}

GameSession::~GameSession()
{
    Shutdown();
    flow.SetListener(nullptr);
    if (DataManager::Get()->GetGameSession() == this)
        DataManager::Get()->SetGameSession(nullptr);
    if (BattleSession::Get() == this)
        BattleSession::Register(nullptr);
    if (BoardView::Get() == this)
        BoardView::Register(nullptr);
    if (FrontEndLink::Get() == this)
        FrontEndLink::Register(nullptr);
    CombatText::SetFactory(nullptr);
}

void GameSession::Init()
{
    loaded = false;
    DataManager* data = DataManager::Get();
    terrain = std::make_unique<Terrain>();
    terrain->Init();
    hexGrid = std::make_unique<HexGrid>();
    gridSink = std::make_unique<HexGridSink>(hexGrid.get());
    terrain->SetHexTypeSink(gridSink.get());
    starField = std::make_unique<StarField>();
    skyDome = std::make_unique<SkyDome>();
    loadingScreen = std::make_unique<LoadingScreen>();
    descriptionBox = std::make_unique<DescriptionBox>();
    helpScreen = std::make_unique<HelpScreen>();
    playerSymbol = std::make_unique<GuiElement>();
    turnWindow = std::make_unique<GuiElement>();
    ringEmitterA = std::make_unique<ParticleEmitter>();
    ringEmitterB = std::make_unique<ParticleEmitter>();
    burstEmitter = std::make_unique<ParticleEmitter>();
    selectionDecal = std::make_unique<Decal>();
    targetDecal = std::make_unique<Decal>();
    areaDecal = std::make_unique<Decal>();
    flashOverlay = std::make_unique<GuiElement>();
    labels = std::make_unique<std::array<TextLabel, kLabelCount>>();

    data->SetTerrain(terrain.get());
    data->SetHexGrid(hexGrid.get());
    data->SetSkyDome(skyDome.get());
    BoardGround::Register(this);
    FrontEndLink::Register(this);
    menuManager = std::make_unique<MenuManager>();
}

void GameSession::LoadAssets()
{
    InitSound();
    if (starField)
        starField->Init();
    if (descriptionBox)
        descriptionBox->Init();
    if (skyDome && terrain) {
        const float half = static_cast<float>(terrain->GetLevelData().cellSize) * 128.0f * 0.5f;
        skyDome->Init(half, half);
    }
    basicEffect = DataManager::Get()->GetEffect(BasicEffect, false);
    if (loadingScreen)
        loadingScreen->Init();
    if (helpScreen)
        helpScreen->Init();
    // The screens find the board through the hex grid, which exists by now.
    if (menuManager)
        menuManager->BuildFrontEnd();
    BattleHud::Get()->Init();
    Camera::Get()->SetTarget(nullptr);
    followedUnit = nullptr;

    // Both start invisible; a new turn shows them. They are pictures, not controls: a widget that takes the
    // pointer keeps presses from the board beneath, and these lie over the board, mostly faded away.
    const D3DXCOLOR clear(0.0f, 0.0f, 0.0f, 0.0f);
    if (turnWindow) {
        turnWindow->Create("PlayerSwitchWindow.tga", 346.0f, 148.0f, 332.0f, 132.0f);
        turnWindow->colour = turnWindow->baseColour = clear;
        turnWindow->enabled = false;
    }
    if (playerSymbol) {
        playerSymbol->Create("P1_Symbol.tga", 890.0f, 512.0f, 105.0f, 256.0f);
        playerSymbol->colour = playerSymbol->baseColour = clear;
        playerSymbol->enabled = false;
    }

    if (selectionDecal) {
        selectionDecal->Create(5, 0.0f, 0.0f, false);
        selectionDecal->SetTexture("SelectedDecal.tga");
        selectionDecal->fadeState = 2;
        selectionDecal->fadeDuration = 2.0f;
        selectionDecal->SetColour(0.0f, 0.85f, 1.0f);
    }
    if (targetDecal) {
        targetDecal->Create(5, 0.0f, 0.0f, false);
        targetDecal->SetTexture("SelectedDecal.tga");
        targetDecal->followRate = 10.0f;
    }
    if (areaDecal) {
        areaDecal->Create(5, 1500.0f, 1500.0f, false);
        areaDecal->SetTexture("AreaOfEffectDecal.tga");
        areaDecal->SetColour(1.0f, 1.0f, 1.0f);
        areaDecal->fadeState = 1;
        areaDecal->fadeDuration = 1.0f;
        areaDecal->followRate = 7.5f;
    }

    // A white sheet over the whole screen, shown for a moment at every camera cut.
    if (flashOverlay) {
        flashOverlay->SetRect(0.0f, 0.0f, 1024.0f, 768.0f);
        flashOverlay->colour = flashOverlay->baseColour = D3DXCOLOR(1.0f, 1.0f, 1.0f, 1.0f);
        flashOverlay->colour.a = 0.0f;
        flashOverlay->enabled = false;
        flashOverlay->speed = kFlashSpeed;
    }

    if (labels) {
        float x = kLabelLeft;
        float y = 330.0f;
        for (int i = 0; i < kLabelCount; ++i) {
            TextLabel& label = (*labels)[static_cast<size_t>(i)];
            label.SetPosition(x, y);
            x += kLabelColumnStep;
            if (i % 2 == 1) {
                x -= 2.0f * kLabelColumnStep;
                y += 80.0f;
            }
            if (i < kLabelCount - 1) {
                label.CreateFont(28, "Times New Roman", 1);
            } else {
                static RECT bannerRect{312, 200, 712, 400};
                label.SetFont(32, "Times New Roman", &bannerRect);
            }
            label.SetText("");
            // The banner and the end page's figures stand over the 3-D scene.
            label.shadowed = true;
            label.colour = label.baseColour = D3DXCOLOR(1.0f, 0.0f, 0.0f, 1.0f);
            label.pendingEffect = EFFECT_FADE_ALPHA_TO_BASE;
            label.effectTimer = 0.0f;
            label.effectDelay = 0.0f;
        }
    }

    LoadEmitter(ringEmitterA.get(), "IceCrystalRing.txt", true, 20.0f);
    LoadEmitter(ringEmitterB.get(), "FireCrystalRing.txt", false, 20.0f);
    if (ringEmitterB)
        ringEmitterB->alpha = 200;
    LoadEmitter(burstEmitter.get(), "FireCrystalBurst.txt", false, 10.0f);

    // The front end shows a level behind its menus from the start.
    if (levelName == "No Level")
        LoadLevel(kStartLevel);

    SoundQueue::Get()->PlayNow("Varnholt_MenuMusicTemp.wav", false);
}

TextLabel* GameSession::GetLabel(int index) const
{
    if (!labels || index < 0 || index >= kLabelCount)
        return nullptr;
    return &(*labels)[static_cast<size_t>(index)];
}

void GameSession::SetLabelRows(float firstY, const float* steps)
{
    if (!labels)
        return;
    float y = firstY;
    for (int i = 0; i < kLabelCount; ++i) {
        TextLabel& label = (*labels)[static_cast<size_t>(i)];
        label.SetPosition(label.x, y);
        y += steps[i];
    }
}

void GameSession::SetGameState(GameState newState)
{
    const GameState previous = state;
    // One line per change, so that a run can be followed from outside (tests, soak runs, bug reports).
    if (newState != state)
        LogFormat(LogLevel::INFO, "session.state", "%s at %.2f s", GameStateName(newState),
                  static_cast<double>(DataManager::Get()->GetGameTime()));
    state = newState;
    RaisePointerDisplay();
    // A shot runs on the battle's frames only: left running, it would keep the front end in slow motion.
    if (state != GAME_STATE_BATTLE && cinematicRequested)
        EndSlowMotion();
    const bool leavingBattle = previous == GAME_STATE_BATTLE || previous == GAME_STATE_GAME_OVER;
    if (leavingBattle && (state == GAME_STATE_MAIN_MENU || state == GAME_STATE_DEPLOYMENT))
        StopBattleMusic();
    // The HUD stops updating when the battle is left, so a HUD button under the pointer would never hear that it
    // was left and its name would stay over the page that follows (the main menu, the end page).
    if (previous == GAME_STATE_BATTLE && state != GAME_STATE_BATTLE)
        if (MouseOverManager* mouseOver = MouseOverManager::Get())
            mouseOver->ForgetButton(mouseOver->GetHoveredButton());
    if (menuManager) {
        menuManager->SwitchScreen(ScreenOf(state));
        // Only the main menu and the end page start from the base colours: a player button re-enters deployment,
        // and resetting there would snap the roster's player tint back to grey in mid-fade.
        if (state == GAME_STATE_MAIN_MENU || (state == GAME_STATE_GAME_OVER && GetPlayer(0) && GetPlayer(1)))
            menuManager->ResetAllPages();
    }
    switch (state) {
    case GAME_STATE_INTRO:
        HidePointer();
        break;
    case GAME_STATE_DEPLOYMENT: {
        static constexpr float kSteps[kLabelCount] = {0, 56, 0, 36, 0, 36, 0, 36, 0};
        SetLabelRows(300.0f, kSteps);
        break;
    }
    case GAME_STATE_LOADING:
        HidePointer();
        if (loadingScreen)
            loadingScreen->Restart();
        if (hexGrid)
            hexGrid->SetAllFadeStates(1);
        if (JobQueue* queue = DataManager::Get()->GetJobQueue()) {
            queue->Enqueue(new Job(this));
            queue->Start();
        }
        break;
    case GAME_STATE_BATTLE:
        // A battle resumed from the main menu takes its music up again.
        if (battleStarted && previous != GAME_STATE_BATTLE)
            SoundQueue::Get()->PlayNow(kBattleMusic, true);
        // A battle opens with every unit's bars shown, so that a player sees the enemy's health from the start;
        // Tab then hides them and shows them again.
        if (!battleStarted) {
            barsShown = false;
            ToggleUnitBars();
        }
        battleStarted = true;
        break;
    case GAME_STATE_GAME_OVER: {
        const Player* first = GetPlayer(0);
        const Player* second = GetPlayer(1);
        if (!first || !second || !labels)
            break;
        static constexpr float kSteps[kLabelCount] = {0, 71, 0, 71, 0, 71, 0, 71, 0};
        SetLabelRows(408.0f, kSteps);
        TextLabel& banner = (*labels)[kBanner];
        banner.pendingEffect = EFFECT_FADE_ALPHA_TO_BASE;
        banner.effectTimer = 0.0f;
        banner.effectDelay = 0.0f;
        const bool firstWins = first->AliveCount() > second->AliveCount();
        // Each side's figures, and the winner's line, in that side's colour (blue for Player 1, red for Player
        // 2, as its name plate above the column), light enough to read over the dark page.
        const D3DXCOLOR sideColour[2] = {D3DXCOLOR(0.45f, 0.68f, 1.0f, 1.0f), D3DXCOLOR(1.0f, 0.35f, 0.3f, 1.0f)};
        banner.colour = banner.baseColour = sideColour[firstWins ? 0 : 1];
        banner.SetText(firstWins ? "Player 1 Wins!" : "Player 2 Wins!");
        // Kills, damage dealt, turns begun, hexes walked: the first player left, the second right, each figure
        // centred under its side's name plate (x 200 and 655, 125 wide).
        static constexpr int kCounters[4] = {1, 2, 9, 10};
        static constexpr float kColumnCentre[2] = {262.5f, 717.5f};
        for (int row = 0; row < 4; ++row) {
            const int counter = kCounters[row] - 1;
            const Player* sides[2] = {first, second};
            for (int side = 0; side < 2; ++side) {
                TextLabel& figure = (*labels)[static_cast<size_t>(2 * row + side)];
                figure.colour = figure.baseColour = figure.normalColour = sideColour[side];
                figure.SetNumberText("%i", sides[side]->statistics[counter], false);
                const RECT drawn = figure.MeasureDrawn();
                figure.SetPosition(kColumnCentre[side] - static_cast<float>(drawn.right - drawn.left) / 2.0f, figure.y);
            }
        }
        // What the end page says, left column then right, so that a run can check it against the battle it saw.
        const int32_t* left = first->statistics;
        const int32_t* right = second->statistics;
        LogFormat(LogLevel::INFO, "session.result", "%s kills %d %d, damage %d %d, turns %d %d, hexes walked %d %d",
                  banner.GetText().c_str(), left[kCounters[0] - 1], right[kCounters[0] - 1], left[kCounters[1] - 1],
                  right[kCounters[1] - 1], left[kCounters[2] - 1], right[kCounters[2] - 1], left[kCounters[3] - 1],
                  right[kCounters[3] - 1]);
        break;
    }
    default:
        break;
    }
}

void GameSession::Update()
{
    SoundQueue::Get()->Update();
    ParticleManager::Get()->Update();
    HandleKeys();
    MouseOverManager::Get()->Update();
    const bool helpFrame =
        state == GAME_STATE_DEPLOYMENT || state == GAME_STATE_MAIN_MENU || state == GAME_STATE_BATTLE;
    if (helpFrame && helpScreen)
        helpScreen->Update();
    // The front end's pages answer the pointer only in the states that show them: in battle the deployment page,
    // still fading away over the whole screen, would take every click meant for the HUD.
    const bool frontEndFrame = state != GAME_STATE_LOADING && state != GAME_STATE_BATTLE;
    if (frontEndFrame && menuManager)
        menuManager->Update();
    switch (state) {
    case GAME_STATE_DEPLOYMENT:
    case GAME_STATE_MAIN_MENU:
        UpdateMenuScene();
        break;
    case GAME_STATE_LOADING:
        UpdateLoading();
        break;
    case GAME_STATE_BATTLE:
        UpdateBattle();
        break;
    case GAME_STATE_GAME_OVER:
        UpdateGameOver();
        break;
    default:
        break;
    }
}

void GameSession::UpdateMenuScene()
{
    if (state == GAME_STATE_DEPLOYMENT) {
        FSOUND_Update();
        SetUnitShaderGlobals();
        UpdatePlayers();
        if (hexGrid)
            hexGrid->Update();
    } else {
        SetUnitShaderGlobals();
    }
    UpdateScenery();
}

void GameSession::UpdateScenery()
{
    if (terrain)
        terrain->Update();
    DecalManager::Get()->UpdateAll();
    if (skyShown && skyDome)
        skyDome->Update();
}

void GameSession::UpdateGameOver()
{
    FSOUND_Update();
    SetUnitShaderGlobals();
    UpdatePlayers();
    if (hexGrid)
        hexGrid->Update();
    if (terrain)
        terrain->Update();
    DecalManager::Get()->UpdateAll();
    if (skyShown && skyDome)
        skyDome->Update();
    Camera::Get()->Orbit();
    if (labels) {
        for (TextLabel& label : *labels)
            label.Update();
    }
}

IDirect3DTexture9* GameSession::RenderSceneToTexture()
{
    IDirect3DDevice9* device = DataManager::Get()->GetDevice();
    if (!device || !sceneRenderer || !sceneSurface)
        return sceneTexture;
    // A refused scene leaves the back buffer bound: the grey clear must not land there.
    if (FAILED(sceneRenderer->BeginScene(sceneSurface, nullptr)))
        return sceneTexture;
    DrawSceneFrame(device);
    sceneRenderer->EndScene(0);
    return sceneTexture;
}

void GameSession::RenderSceneToBackBuffer()
{
    IDirect3DDevice9* device = DataManager::Get()->GetDevice();
    if (!device)
        return;
    // The whole back buffer, whatever an earlier draw left as the viewport.
    const float width = static_cast<float>(DataManager::Get()->GetBackBufferWidth());
    const float height = static_cast<float>(DataManager::Get()->GetBackBufferHeight());
    D3DVIEWPORT9 viewport{0, 0, static_cast<DWORD>(width), static_cast<DWORD>(height), 0.0f, 1.0f};
    device->SetViewport(&viewport);
    DrawSceneFrame(device);
}

void GameSession::DrawSceneFrame(IDirect3DDevice9* device)
{
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kSceneClearColour, kOutOfRangeDepth, 0);
    switch (state) {
    case GAME_STATE_DEPLOYMENT:
    case GAME_STATE_MAIN_MENU:
    case GAME_STATE_BATTLE:
    case GAME_STATE_GAME_OVER:
        RenderScene();
        break;
    default:
        break;
    }
    for (ParticleEmitter* emitter : {ringEmitterA.get(), ringEmitterB.get(), burstEmitter.get()}) {
        if (emitter)
            emitter->Submit();
    }
    ParticleManager::Get()->Render();
}

void GameSession::RenderScene()
{
    IDirect3DDevice9* device = DataManager::Get()->GetDevice();
    if (starField)
        starField->Render();
    if (terrain)
        device->SetRenderState(D3DRS_FOGENABLE, terrain->GetLevelData().fogEnable);
    if (skyShown && skyDome)
        skyDome->Render();
    if (terrain)
        terrain->Render();
    DecalManager::Get()->Render();
    if (hexGrid)
        hexGrid->Render();
    DataManager::Get()->SetTechnique("SkinnedCharacterBump");
    for (const std::unique_ptr<Player>& player : flow.GetPlayers())
        player->Render();
    if (selectionDecal)
        DecalManager::Get()->Submit(selectionDecal.get());
    if (areaDecal)
        DecalManager::Get()->Submit(areaDecal.get());
    if (terrain)
        terrain->DrawStaticObjects();
    device->SetRenderState(D3DRS_FOGENABLE, FALSE);
}

void GameSession::RenderOverlay()
{
    switch (state) {
    case GAME_STATE_LOADING:
        if (loadingScreen)
            loadingScreen->Render();
        break;
    case GAME_STATE_BATTLE:
        RenderBattleOverlay();
        break;
    case GAME_STATE_GAME_OVER:
        RenderEndScreen();
        break;
    default:
        if (menuManager)
            menuManager->Render();
        break;
    }
}

void GameSession::RenderBattleOverlay()
{
    for (const std::unique_ptr<Player>& player : flow.GetPlayers())
        player->QueueUnitTexts();
    // The fly-over shows the armies alone.
    if (!flyOver) {
        if (descriptionBox)
            descriptionBox->Render();
        BattleHud::Get()->Render();
        if (turnWindow)
            turnWindow->Render();
        if (playerSymbol)
            playerSymbol->Render();
    }
    // Between flashes the white quad is wholly transparent: drawn, it would be a full-screen layer changing nothing.
    if (flashOverlay && (PackColour(flashOverlay->colour) >> 24) != 0)
        flashOverlay->Render();
    if (labels) {
        TextLabel& banner = (*labels)[kBanner];
        banner.Update();
        banner.QueueDraw();
    }
}

void GameSession::RenderEndScreen()
{
    if (menuManager)
        menuManager->Render();
    if (labels) {
        for (TextLabel& label : *labels)
            label.QueueDraw();
    }
}

void GameSession::RenderMouseOver()
{
    if (state == GAME_STATE_INTRO || state == GAME_STATE_LOADING)
        return;
    MouseOverManager::Get()->Render();
}

void GameSession::RenderHelp()
{
    if (helpScreen)
        helpScreen->Render();
}

void GameSession::HandleKeys()
{
    constexpr int kKeyTab = 15;
    constexpr int kKeyF1 = 59;
    const InputManager* input = InputManager::Get();
    const bool tab = input->IsKeyDown(kKeyTab);
    if (tab && !barsKeyLatch)
        ToggleUnitBars();
    barsKeyLatch = tab;

    const bool f1 = input->IsKeyDown(kKeyF1);
    // The help screen's own Close button may have hidden it: F1 goes by what it shows now.
    if (f1 && !helpKeyLatch && state != GAME_STATE_INTRO && state != GAME_STATE_LOADING && helpScreen)
        helpScreen->Toggle();
    helpKeyLatch = f1;
}

void GameSession::ToggleUnitBars()
{
    for (const std::unique_ptr<Player>& player : flow.GetPlayers()) {
        for (BoardUnit* unit : player->GetUnits()) {
            if (Unit* body = dynamic_cast<Unit*>(unit))
                body->SetBarsAlpha(barsShown ? 1 : 0);
        }
    }
    barsShown = !barsShown;
}

void GameSession::SetUnitShaderGlobals()
{
    if (!basicEffect)
        return;
    DataManager* data = DataManager::Get();
    basicEffect->SetFloat("gameTime", data->GetGameTime());
    basicEffect->SetFloat("gameSpeed", data->GetGameSpeed());
    basicEffect->SetFloat("tElapsed", data->GetFrameTime());
}

void GameSession::SetLevelPreset() const
{
    if (const LevelEntry* level = FindLevel(levelName))
        Camera::Get()->SetPreset(level->preset);
}

void GameSession::LoadLevel(const std::string& name)
{
    const LevelEntry* level = FindLevel(name);
    // A level file the terrain refuses changes nothing: the level on screen keeps its name, view and emitters.
    if (level && terrain && !terrain->LoadLevel(level->file))
        return;
    levelName = name;
    if (level)
        Camera::Get()->SetPreset(level->preset);
    if (terrain && name == "Farm") {
        // Three emitters for three files: the terrain owns each one it is given.
        terrain->ClearEmitters();
        for (const char* file : kFarmEmitters) {
            auto emitter = std::make_unique<ParticleEmitter>();
            emitter->LoadFile(file);
            emitter->emitting = true;
            emitter->Settings().origin = kFarmEmitterOffset;
            terrain->AddEmitter(emitter.release());
        }
    }
    if (basicEffect) {
        const D3DXVECTOR3 direction = LightDirection();
        basicEffect->SetFloatArray("LightDirection", &direction.x, 3);
        if (terrain) {
            const D3DXVECTOR3& position = terrain->GetLightPosition();
            basicEffect->SetFloatArray("LightPosition", &position.x, 3);
            basicEffect->SetFloatArray("LightDiffuseColor", terrain->GetLevelData().lightColour.data(), 3);
        }
    }
    if (hexGrid)
        hexGrid->ClampAlpha(0.0f);
    MouseOverManager::Get()->SetHovered(nullptr);
}

void GameSession::ParkSelection()
{
    if (ringEmitterA)
        ringEmitterA->position = kParked;
    if (selectionDecal)
        selectionDecal->UpdatePosition(kParked.x, kParked.y, kParked.z, false);
}

void GameSession::ResetLevel()
{
    // A shot cut short by the end of the battle must not leave the next one in slow motion; it puts the camera
    // back before the level's view is set below.
    if (cinematicRequested)
        EndSlowMotion();
    StopBattleMusic();
    Camera* camera = Camera::Get();
    camera->SetTarget(nullptr);
    followedUnit = nullptr;
    flow.Reset();
    unitsToLoad = 0;
    unitCount = 0;
    turnOrderQueue.clear();
    // The next battle's defeat waits its full delay.
    Player::ResetDefeatTimer();

    ParkSelection();
    camera->SetTarget(nullptr);
    camera->ResetZoom();
    SetLevelPreset();

    if (hexGrid) {
        hexGrid->ClearPathList();
        if (terrain)
            terrain->ApplyHexTypes();
    }
    BattleHud::Get()->ClearTurnOrder();
    // The next battle on this ground starts clean: the last one's blood goes with its units.
    DecalManager::Get()->ClearDynamic();

    flyOver = false;
    loaded = false;
    zone4ShotStarted = false;
    zone3ShotStarted = false;
    zoneCentre = nullptr;
    battleStarted = false;
    flyOverClock = 0.0f;
    if (labels)
        (*labels)[kBanner].SetText("");
    if (menuManager)
        menuManager->ResetRequisition();
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

void GameSession::AddPlayer(int id)
{
    // Kept by team whichever side deployed first: the end page, its columns and the fly-over name the sides by
    // their team.
    if (!flow.AddPlayer(id))
        LogFormat(LogLevel::WARNING, "session.player", "no side %d to deploy", id);
}

void GameSession::AddUnit(int playerId, const std::string& className, int row, int col)
{
    for (const std::unique_ptr<Player>& player : flow.GetPlayers()) {
        if (player->team == playerId) {
            player->CreateUnit(className, row, col);
            unitsToLoad += 1;
            unitCount += 1;
            return;
        }
    }
}

bool GameSession::RemoveUnit(int playerId, BoardUnit* unit)
{
    if (!unit)
        return false;
    for (const std::unique_ptr<Player>& player : flow.GetPlayers()) {
        if (player->team != playerId)
            continue;
        const std::vector<BoardUnit*>& units = player->GetUnits();
        if (std::find(units.begin(), units.end(), unit) == units.end())
            return false;
        player->RemoveUnit(unit);
        unitCount -= 1;
        return true;
    }
    return false;
}

void GameSession::ShowHelpScreen(bool show)
{
    if (helpScreen)
        helpScreen->Show(show);
}

void GameSession::SetWindowSize(int width, int height)
{
    if (application)
        application->SetWindowSize(width, height);
}

void GameSession::PostQuit()
{
    PostQuitMessage(0);
}

void GameSession::ResetSceneRect()
{
    if (application)
        application->ResetSceneRect();
}

void GameSession::FitSceneToRect(const GuiElement& element)
{
    if (application)
        application->FitSceneToRect(element);
}

bool GameSession::BothPlayersHaveUnits() const
{
    int armies = 0;
    for (const std::unique_ptr<Player>& player : flow.GetPlayers()) {
        if (!player->GetUnits().empty())
            ++armies;
    }
    return armies >= 2;
}

PlacedUnit GameSession::DescribeOccupant(Object* occupant) const
{
    PlacedUnit placed;
    if (!occupant)
        return placed;
    for (const std::unique_ptr<Player>& player : flow.GetPlayers()) {
        for (BoardUnit* unit : player->GetUnits()) {
            if (!unit || dynamic_cast<Object*>(unit) != occupant)
                continue;
            placed.unit = unit;
            placed.loaded = occupant->IsLoaded();
            placed.team = player->team;
            const ClassUnit* classUnit = dynamic_cast<const ClassUnit*>(unit);
            placed.cost = classUnit ? classUnit->GetCost() : 0;
            return placed;
        }
    }
    return placed;
}

std::unique_ptr<BoardUnit> GameSession::CreatePreviewUnit(const std::string& classFile)
{
    auto unit = std::make_unique<ClassUnit>();
    unit->Load(classFile);
    unit->LoadModel(false);
    unit->SetEffectByName("basic.fx");
    unit->PlayAnimation("Idle", true);
    return unit;
}

ClassSheet GameSession::DescribeClass(const BoardUnit& unit) const
{
    ClassSheet sheet;
    const Unit* body = dynamic_cast<const Unit*>(&unit);
    if (!body)
        return sheet;
    sheet.strength = body->stats.strength;
    sheet.mana = body->stats.mana;
    sheet.intelligence = body->stats.intelligence;
    sheet.damage = body->AttackDamage();
    for (const SpellDefinition& ability : body->abilities)
        sheet.spellNames.push_back(ability.name);
    return sheet;
}

std::vector<BoardUnit*> GameSession::GetLivingUnits() const
{
    return flow.GetLivingUnits();
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
                  named ? named->name.c_str() : "unit", hex->row, hex->column);
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
            target->ShowFloatingText(false);
    }
    // Any unit that asked during the shot was turned away; none may keep waiting for a shot of its own.
    for (const std::unique_ptr<Player>& player : flow.GetPlayers()) {
        for (BoardUnit* unit : player->GetUnits()) {
            if (Unit* body = BodyOf(unit))
                body->slowMotionRequested = false;
        }
    }
    cinematicTarget = nullptr;
    cinematicAttacker = nullptr;
    slowMotionClock = 0.0f;
    if (flashOverlay)
        flashOverlay->speed = kFlashSpeed;
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

void GameSession::StopBattleMusic()
{
    SoundQueue::Get()->StopMusic(kBattleMusic);
}

Player* GameSession::GetPlayer(int index) const
{
    return flow.GetPlayer(index);
}

void GameSession::FollowUnit(BoardUnit* unit)
{
    followedUnit = unit && unit->AsObject() ? unit : nullptr;
    Camera::Get()->SetTarget(followedUnit ? this : nullptr);
}

void GameSession::ResetGlows()
{
    if (terrain && terrain->GetStaticObjects())
        terrain->GetStaticObjects()->ResetGlows();
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

float GameSession::HeightAt(float x, float z) const
{
    return terrain ? terrain->HeightAt(x, z) : 0.0f;
}

D3DXVECTOR3 GameSession::NormalAt(float x, float z) const
{
    return terrain ? terrain->GroundNormal(x, z) : D3DXVECTOR3(0.0f, 1.0f, 0.0f);
}

float GameSession::GetCellSize() const
{
    return terrain ? static_cast<float>(terrain->GetLevelData().cellSize) : DEFAULT_CELL_SIZE;
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

void GameSession::ReleaseSceneTarget()
{
    if (sceneTexture) {
        sceneTexture->Release();
        sceneTexture = nullptr;
    }
    if (sceneSurface) {
        sceneSurface->Release();
        sceneSurface = nullptr;
    }
    if (sceneRenderer) {
        sceneRenderer->Release();
        sceneRenderer = nullptr;
    }
}

void GameSession::OnDeviceLost()
{
    ReleaseSceneTarget();
    if (loadingScreen)
        loadingScreen->OnLostDevice();
    for (GuiElement* element : {flashOverlay.get(), playerSymbol.get(), turnWindow.get()}) {
        if (element)
            element->OnLostDevice();
    }
    if (labels) {
        for (TextLabel& label : *labels)
            label.OnLostDevice();
    }
    // A session that never loaded its assets has no HUD to lose.
    if (BattleHud::Get()->IsInitialised())
        BattleHud::Get()->OnLostDevice();
    for (const std::unique_ptr<Player>& player : flow.GetPlayers())
        player->OnLostDevice();
}

void GameSession::OnDeviceReset()
{
    DataManager* data = DataManager::Get();
    IDirect3DDevice9* device = data->GetDevice();
    if (!device)
        return;
    if (loadingScreen)
        loadingScreen->OnResetDevice();
    if (terrain)
        terrain->OnResetDevice();
    if (BattleHud::Get()->IsInitialised())
        BattleHud::Get()->OnResetDevice();
    for (GuiElement* element : {flashOverlay.get(), playerSymbol.get(), turnWindow.get()}) {
        if (element)
            element->OnResetDevice();
    }
    if (labels) {
        for (TextLabel& label : *labels)
            label.OnResetDevice();
    }
    ApplicationLink* app = data->GetApplication();
    const D3DFORMAT format = app ? app->GetBackBufferFormat() : D3DFMT_X8R8G8B8;

    ReleaseSceneTarget();
    if (FAILED(device->CreateTexture(kSceneWidth, kSceneHeight, 1, D3DUSAGE_RENDERTARGET, format, D3DPOOL_DEFAULT,
                                     &sceneTexture, nullptr)) ||
        !sceneTexture)
        FailSceneTarget("texture");
    if (FAILED(sceneTexture->GetSurfaceLevel(0, &sceneSurface)) || !sceneSurface)
        FailSceneTarget("surface");
    // A stencil beside the depth lets the sky and stars wait for the ground and be drawn only where it leaves
    // them showing.
    if (FAILED(
            D3DXCreateRenderToSurface(device, kSceneWidth, kSceneHeight, format, TRUE, D3DFMT_D24S8, &sceneRenderer)) ||
        !sceneRenderer)
        FailSceneTarget("renderer");
    for (const std::unique_ptr<Player>& player : flow.GetPlayers())
        player->OnResetDevice();

    // Text is laid out for 1024 x 768 and scaled to the back buffer; computed afresh so that it never
    // drifts over many resets.
    const float width = static_cast<float>(data->GetBackBufferWidth());
    const float height = static_cast<float>(data->GetBackBufferHeight());
    D3DXMatrixScaling(&textTransform, width > 0.0f ? width / 1024.0f : 1.0f, height > 0.0f ? height / 768.0f : 1.0f,
                      1.0f);
    if (ID3DXSprite* sprite = data->GetSprite())
        sprite->SetTransform(&textTransform);

    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, kSceneClearColour, 1.0f, 0);
}

// Safe on a session whose Init never ran (a refused start), and a second time.
void GameSession::Shutdown()
{
    // A load still running on the worker must end before the units it works on go.
    if (JobQueue* queue = DataManager::Get()->GetJobQueue())
        queue->Join();
    ResetLevel();
    BattleHud::Get()->Destroy();
    DecalManager::Get()->ClearAll();
    if (labels) {
        for (TextLabel& label : *labels)
            label.Unqueue();
    }
    if (menuManager) {
        menuManager->Destroy();
        menuManager.reset();
    }
    if (FrontEndLink::Get() == this)
        FrontEndLink::Register(nullptr);
    DataManager* data = DataManager::Get();
    if (data->GetTerrain() == terrain.get())
        data->SetTerrain(nullptr);
    if (data->GetHexGrid() == hexGrid.get())
        data->SetHexGrid(nullptr);
    if (data->GetSkyDome() == skyDome.get())
        data->SetSkyDome(nullptr);
    if (BoardGround::Get() == this)
        BoardGround::Register(nullptr);
    for (Decal* decal : {selectionDecal.get(), targetDecal.get(), areaDecal.get()})
        DecalManager::Forget(decal);
    for (ParticleEmitter* emitter : {ringEmitterA.get(), ringEmitterB.get(), burstEmitter.get()})
        ParticleManager::Withdraw(emitter);
    terrain.reset();
    gridSink.reset();
    hexGrid.reset();
    starField.reset();
    skyDome.reset();
    selectionDecal.reset();
    targetDecal.reset();
    areaDecal.reset();
    ringEmitterA.reset();
    ringEmitterB.reset();
    burstEmitter.reset();
    labels.reset();
    flashOverlay.reset();
    playerSymbol.reset();
    turnWindow.reset();
    if (descriptionBox) {
        descriptionBox->Destroy();
        descriptionBox.reset();
    }
    if (helpScreen) {
        helpScreen->Release();
        helpScreen.reset();
    }
    if (loadingScreen) {
        loadingScreen->Destroy();
        loadingScreen.reset();
    }
    basicEffect = nullptr;
    ReleaseSceneTarget();
}
// NOLINTEND(readability-identifier-naming)
