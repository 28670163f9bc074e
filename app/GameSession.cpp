// NOLINTBEGIN(readability-identifier-naming): this file is being split; its names follow the naming rule then.
#include "app/GameSession.h"

#include "app/BattleLoadScreen.h"
#include "app/BattleScreen.h"
#include "app/DeploymentScreen.h"
#include "app/EndScreen.h"
#include "app/GameApplication.h"
#include "app/HexGridSink.h"
#include "app/MainMenuScreen.h"
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
#include "scene/AnimatedMesh.h"
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
#include "ui/DeploymentPage.h"
#include "ui/DescriptionBox.h"
#include "ui/GuiElement.h"
#include "ui/HelpScreen.h"
#include "ui/IntroScreen.h"
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

constexpr float kLabelLeft = 256.0f;
constexpr float kLabelColumnStep = 384.0f;
constexpr int kBanner = GameSession::BANNER_LABEL;

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
    BattleSession::Register(this);
    BoardView::Register(this);
    FrontEndLink::Register(this);
    CombatText::SetFactory(&UnitTextLabel::Make);
    flow.SetListener(this);
    // Made with the session so that the screens can hold it; its pages are built with the other assets.
    menuManager = std::make_unique<MenuManager>();
    m_screens[GAME_STATE_INTRO] = std::make_unique<IntroScreen>(*menuManager);
    m_screens[GAME_STATE_DEPLOYMENT] = std::make_unique<DeploymentScreen>(*this);
    m_screens[GAME_STATE_MAIN_MENU] = std::make_unique<MainMenuScreen>(*this);
    m_screens[GAME_STATE_LOADING] = std::make_unique<BattleLoadScreen>(*this);
    m_screens[GAME_STATE_BATTLE] = std::make_unique<BattleScreen>(*this);
    m_screens[GAME_STATE_GAME_OVER] = std::make_unique<EndScreen>(*this);
    m_screen = ScreenFor(state);
}

Screen* GameSession::ScreenFor(GameState which) const
{
    const auto index = static_cast<size_t>(which);
    return index < std::size(m_screens) ? m_screens[index].get() : nullptr;
}

GameSession::~GameSession()
{
    Shutdown();
    flow.SetListener(nullptr);
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

    Terrain::SetCurrent(terrain.get());
    HexGrid::SetCurrent(hexGrid.get());
    SkyDome::SetCurrent(skyDome.get());
    BoardGround::Register(this);
    FrontEndLink::Register(this);
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
    basicEffect = DataManager::Get()->GetEffect(BASIC_EFFECT, false);
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

    CreateBattleWidgets();
    CreateLabels();

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

// The turn window, the player's symbol, the decals under the units and the flash of a camera cut.
void GameSession::CreateBattleWidgets()
{
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
        flashOverlay->speed = FLASH_SPEED;
    }
}

// Eight figures in two columns and the banner, all hidden until a state shows them.
void GameSession::CreateLabels()
{
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
    m_requestedState = newState;
    m_stateRequested = true;
}

void GameSession::ApplyRequestedChanges()
{
    if (!m_stateRequested) {
        if (menuManager)
            menuManager->ApplyRequestedPage();
        return;
    }
    // The new state's screen picks its page: a page asked for in the same frame belonged to the state left.
    if (menuManager)
        menuManager->ForgetRequestedPage();
    m_stateRequested = false;
    EnterState(m_requestedState);
}

void GameSession::EnterState(GameState newState)
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
    Screen* next = ScreenFor(state);
    if (m_screen && m_screen != next)
        m_screen->Leave(state);
    m_screen = next;
    if (menuManager)
        menuManager->SwitchScreen(m_screen ? m_screen->GetMenuPage() : SCREEN_EMPTY);
    if (m_screen)
        m_screen->Enter(previous);
}

void GameSession::Update()
{
    ApplyRequestedChanges();
    SoundQueue::Get()->Update();
    ParticleManager::Get()->Update();
    HandleKeys();
    MouseOverManager::Get()->Update();
    if (m_screen && m_screen->ShowsHelp() && helpScreen)
        helpScreen->Update();
    if (m_screen && m_screen->UsesFrontEnd() && menuManager)
        menuManager->Update();
    // A page that asks for another state has this frame's screen finish it; the new one takes the next frame.
    if (m_screen)
        m_screen->Update();
}

void GameSession::UpdateBoardScene()
{
    FSOUND_Update();
    SetUnitShaderGlobals();
    UpdatePlayers();
    if (hexGrid)
        hexGrid->Update();
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
    if (m_screen)
        m_screen->Render();
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

void GameSession::RenderMouseOver()
{
    if (!m_screen || !m_screen->ShowsPointer())
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
    if (f1 && !helpKeyLatch && m_screen && m_screen->ShowsPointer() && helpScreen)
        helpScreen->Toggle();
    helpKeyLatch = f1;
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

bool GameSession::LoadLevel(const std::string& name)
{
    const LevelEntry* level = FindLevel(name);
    // A level file the terrain refuses changes nothing: the level on screen keeps its name, view and emitters.
    if (level && terrain && !terrain->LoadLevel(level->file))
        return false;
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
    // The units stand in the same light as the ground and the level's objects.
    const D3DXVECTOR3 direction = LightDirection();
    AnimatedMesh::SetLightDirection(direction);
    for (ID3DXEffect* lit : {basicEffect, DataManager::Get()->GetEffect(AnimatedMesh::EFFECT_FILE)}) {
        if (!lit)
            continue;
        lit->SetFloatArray("LightDirection", &direction.x, 3);
        if (terrain) {
            const D3DXVECTOR3& position = terrain->GetLightPosition();
            lit->SetFloatArray("LightPosition", &position.x, 3);
            lit->SetFloatArray("LightDiffuseColor", terrain->GetLevelData().lightColour.data(), 3);
        }
    }
    if (hexGrid)
        hexGrid->ClampAlpha(0.0f);
    MouseOverManager::Get()->SetHovered(nullptr);
    return true;
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
        menuManager->Deployment().ResetRequisition();
}

void GameSession::ResetGlows()
{
    if (terrain && terrain->GetStaticObjects())
        terrain->GetStaticObjects()->ResetGlows();
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
    for (const std::unique_ptr<Screen>& screen : m_screens) {
        if (screen)
            screen->OnLostDevice();
    }
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
    for (const std::unique_ptr<Screen>& screen : m_screens) {
        if (screen)
            screen->OnResetDevice();
    }

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
    // The manager itself stays for the screens that hold it, with nothing left to draw.
    if (menuManager)
        menuManager->Destroy();
    if (FrontEndLink::Get() == this)
        FrontEndLink::Register(nullptr);
    if (Terrain::Current() == terrain.get())
        Terrain::SetCurrent(nullptr);
    if (HexGrid::Current() == hexGrid.get())
        HexGrid::SetCurrent(nullptr);
    if (SkyDome::Current() == skyDome.get())
        SkyDome::SetCurrent(nullptr);
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
