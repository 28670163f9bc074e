#include "app/GameSession.h"

#include "app/BattleLoadScreen.h"
#include "app/BattleScreen.h"
#include "app/DeploymentScreen.h"
#include "app/EndScreen.h"
#include "app/GameApplication.h"
#include "app/HexGridSink.h"
#include "app/IntroScreen.h"
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
constexpr float OUT_OF_RANGE_DEPTH = 200.0f;

constexpr GameSession::LevelEntry LEVELS[] = {
    {"Farm", "Farm.txt", 0},
    {"Winter", "winter_wonderland.txt", 1},
    {"Citadel Courtyard", "Citadel Courtyard.txt", 2},
};
const char* const FARM_EMITTERS[] = {"Smoldering.txt", "SmokeEmitter.txt", "Fire_EmbersEmitter.txt"};
const D3DXVECTOR3 FARM_EMITTER_OFFSET(16539.0f, 0.0f, 16373.0f);

// Where the selection decal and its ring wait while no unit has the turn: far below the ground.
const D3DXVECTOR3 PARKED(0.0f, -5000.0f, 0.0f);

constexpr float LABEL_LEFT = 256.0f;
constexpr float LABEL_COLUMN_STEP = 384.0f;
constexpr int BANNER = GameSession::BANNER_LABEL;

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
    for (const LevelEntry& level : LEVELS) {
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
    D3DXMatrixIdentity(&m_textTransform);
    BattleSession::Register(this);
    BoardView::Register(this);
    FrontEndLink::Register(this);
    CombatText::SetFactory(&UnitTextLabel::Make);
    m_flow.SetListener(this);
    m_screens[GAME_STATE_INTRO] = std::make_unique<IntroScreen>(*this);
    m_screens[GAME_STATE_DEPLOYMENT] = std::make_unique<DeploymentScreen>(*this);
    m_screens[GAME_STATE_MAIN_MENU] = std::make_unique<MainMenuScreen>(*this);
    m_screens[GAME_STATE_LOADING] = std::make_unique<BattleLoadScreen>(*this);
    m_screens[GAME_STATE_BATTLE] = std::make_unique<BattleScreen>(*this);
    m_screens[GAME_STATE_GAME_OVER] = std::make_unique<EndScreen>(*this);
    m_screen = ScreenFor(m_state);
}

Screen* GameSession::ScreenFor(GameState which) const
{
    const auto index = static_cast<size_t>(which);
    return index < std::size(m_screens) ? m_screens[index].get() : nullptr;
}

GameSession::~GameSession()
{
    Shutdown();
    m_flow.SetListener(nullptr);
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
    m_loaded = false;
    m_terrain = std::make_unique<Terrain>();
    m_terrain->Init();
    m_hexGrid = std::make_unique<HexGrid>();
    m_gridSink = std::make_unique<HexGridSink>(m_hexGrid.get());
    m_terrain->SetHexTypeSink(m_gridSink.get());
    m_starField = std::make_unique<StarField>();
    m_skyDome = std::make_unique<SkyDome>();
    m_loadingScreen = std::make_unique<LoadingScreen>();
    m_descriptionBox = std::make_unique<DescriptionBox>();
    m_helpScreen = std::make_unique<HelpScreen>();
    m_playerSymbol = std::make_unique<GuiElement>();
    m_turnWindow = std::make_unique<GuiElement>();
    m_ringEmitterA = std::make_unique<ParticleEmitter>();
    m_ringEmitterB = std::make_unique<ParticleEmitter>();
    m_burstEmitter = std::make_unique<ParticleEmitter>();
    m_selectionDecal = std::make_unique<Decal>();
    m_targetDecal = std::make_unique<Decal>();
    m_areaDecal = std::make_unique<Decal>();
    m_flashOverlay = std::make_unique<GuiElement>();
    m_labels = std::make_unique<std::array<TextLabel, LABEL_COUNT>>();

    Terrain::SetCurrent(m_terrain.get());
    HexGrid::SetCurrent(m_hexGrid.get());
    SkyDome::SetCurrent(m_skyDome.get());
    BoardGround::Register(this);
    FrontEndLink::Register(this);
    m_menuManager = std::make_unique<MenuManager>();
}

void GameSession::LoadAssets()
{
    InitSound();
    if (m_starField)
        m_starField->Init();
    if (m_descriptionBox)
        m_descriptionBox->Init();
    if (m_skyDome && m_terrain) {
        const float half = static_cast<float>(m_terrain->GetLevelData().cellSize) * 128.0f * 0.5f;
        m_skyDome->Init(half, half);
    }
    m_basicEffect = DataManager::Get()->GetEffect(BASIC_EFFECT, false);
    if (m_loadingScreen)
        m_loadingScreen->Init();
    if (m_helpScreen)
        m_helpScreen->Init();
    // The screens find the board through the hex grid, which exists by now.
    if (m_menuManager)
        m_menuManager->BuildFrontEnd();
    BattleHud::Get()->Init();
    Camera::Get()->SetTarget(nullptr);
    m_followedUnit = nullptr;

    CreateBattleWidgets();
    CreateLabels();

    LoadEmitter(m_ringEmitterA.get(), "IceCrystalRing.txt", true, 20.0f);
    LoadEmitter(m_ringEmitterB.get(), "FireCrystalRing.txt", false, 20.0f);
    if (m_ringEmitterB)
        m_ringEmitterB->alpha = 200;
    LoadEmitter(m_burstEmitter.get(), "FireCrystalBurst.txt", false, 10.0f);

    // The front end shows a level behind its menus from the start.
    if (m_levelName == "No Level")
        LoadLevel(START_LEVEL);

    SoundQueue::Get()->PlayNow("Varnholt_MenuMusicTemp.wav", false);
}

// The turn window, the player's symbol, the decals under the units and the flash of a camera cut.
void GameSession::CreateBattleWidgets()
{
    // Both start invisible; a new turn shows them. They are pictures, not controls: a widget that takes the
    // pointer keeps presses from the board beneath, and these lie over the board, mostly faded away.
    const D3DXCOLOR clear(0.0f, 0.0f, 0.0f, 0.0f);
    if (m_turnWindow) {
        m_turnWindow->Create("PlayerSwitchWindow.tga", 346.0f, 148.0f, 332.0f, 132.0f);
        m_turnWindow->colour = m_turnWindow->baseColour = clear;
        m_turnWindow->enabled = false;
    }
    if (m_playerSymbol) {
        m_playerSymbol->Create("P1_Symbol.tga", 890.0f, 512.0f, 105.0f, 256.0f);
        m_playerSymbol->colour = m_playerSymbol->baseColour = clear;
        m_playerSymbol->enabled = false;
    }

    if (m_selectionDecal) {
        m_selectionDecal->Create(5, 0.0f, 0.0f, false);
        m_selectionDecal->SetTexture("SelectedDecal.tga");
        m_selectionDecal->fadeState = 2;
        m_selectionDecal->fadeDuration = 2.0f;
        m_selectionDecal->SetColour(0.0f, 0.85f, 1.0f);
    }
    if (m_targetDecal) {
        m_targetDecal->Create(5, 0.0f, 0.0f, false);
        m_targetDecal->SetTexture("SelectedDecal.tga");
        m_targetDecal->followRate = 10.0f;
    }
    if (m_areaDecal) {
        m_areaDecal->Create(5, 1500.0f, 1500.0f, false);
        m_areaDecal->SetTexture("AreaOfEffectDecal.tga");
        m_areaDecal->SetColour(1.0f, 1.0f, 1.0f);
        m_areaDecal->fadeState = 1;
        m_areaDecal->fadeDuration = 1.0f;
        m_areaDecal->followRate = 7.5f;
    }

    // A white sheet over the whole screen, shown for a moment at every camera cut.
    if (m_flashOverlay) {
        m_flashOverlay->SetRect(0.0f, 0.0f, 1024.0f, 768.0f);
        m_flashOverlay->colour = m_flashOverlay->baseColour = D3DXCOLOR(1.0f, 1.0f, 1.0f, 1.0f);
        m_flashOverlay->colour.a = 0.0f;
        m_flashOverlay->enabled = false;
        m_flashOverlay->speed = FLASH_SPEED;
    }
}

// Eight figures in two columns and the banner, all hidden until a state shows them.
void GameSession::CreateLabels()
{
    if (m_labels) {
        float x = LABEL_LEFT;
        float y = 330.0f;
        for (int i = 0; i < LABEL_COUNT; ++i) {
            TextLabel& label = (*m_labels)[static_cast<size_t>(i)];
            label.SetPosition(x, y);
            x += LABEL_COLUMN_STEP;
            if (i % 2 == 1) {
                x -= 2.0f * LABEL_COLUMN_STEP;
                y += 80.0f;
            }
            if (i < LABEL_COUNT - 1) {
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
    if (!m_labels || index < 0 || index >= LABEL_COUNT)
        return nullptr;
    return &(*m_labels)[static_cast<size_t>(index)];
}

void GameSession::SetLabelRows(float firstY, const float* steps)
{
    if (!m_labels)
        return;
    float y = firstY;
    for (int i = 0; i < LABEL_COUNT; ++i) {
        TextLabel& label = (*m_labels)[static_cast<size_t>(i)];
        label.SetPosition(label.x, y);
        y += steps[i];
    }
}

void GameSession::SetGameState(GameState newState)
{
    const GameState previous = m_state;
    // One line per change, so that a run can be followed from outside (tests, soak runs, bug reports).
    if (newState != m_state)
        LogFormat(LogLevel::INFO, "session.state", "%s at %.2f s", GameStateName(newState),
                  static_cast<double>(DataManager::Get()->GetGameTime()));
    m_state = newState;
    RaisePointerDisplay();
    // A shot runs on the battle's frames only: left running, it would keep the front end in slow motion.
    if (m_state != GAME_STATE_BATTLE && m_cinematicRequested)
        EndSlowMotion();
    Screen* next = ScreenFor(m_state);
    if (m_screen && m_screen != next)
        m_screen->Leave(m_state);
    m_screen = next;
    if (m_menuManager)
        m_menuManager->SwitchScreen(m_screen ? m_screen->GetMenuPage() : SCREEN_EMPTY);
    if (m_screen)
        m_screen->Enter(previous);
}

void GameSession::Update()
{
    SoundQueue::Get()->Update();
    ParticleManager::Get()->Update();
    HandleKeys();
    MouseOverManager::Get()->Update();
    if (m_screen && m_screen->ShowsHelp() && m_helpScreen)
        m_helpScreen->Update();
    if (m_screen && m_screen->UsesFrontEnd() && m_menuManager)
        m_menuManager->Update();
    // A page may have changed the state: the new state's screen takes this frame.
    if (m_screen)
        m_screen->Update();
}

void GameSession::UpdateBoardScene()
{
    FSOUND_Update();
    SetUnitShaderGlobals();
    UpdatePlayers();
    if (m_hexGrid)
        m_hexGrid->Update();
    UpdateScenery();
}

void GameSession::UpdateScenery()
{
    if (m_terrain)
        m_terrain->Update();
    DecalManager::Get()->UpdateAll();
    if (m_skyShown && m_skyDome)
        m_skyDome->Update();
}

IDirect3DTexture9* GameSession::RenderSceneToTexture()
{
    IDirect3DDevice9* device = DataManager::Get()->GetDevice();
    if (!device || !m_sceneRenderer || !m_sceneSurface)
        return m_sceneTexture;
    // A refused scene leaves the back buffer bound: the grey clear must not land there.
    if (FAILED(m_sceneRenderer->BeginScene(m_sceneSurface, nullptr)))
        return m_sceneTexture;
    DrawSceneFrame(device);
    m_sceneRenderer->EndScene(0);
    return m_sceneTexture;
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
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, SCENE_CLEAR_COLOUR, OUT_OF_RANGE_DEPTH, 0);
    switch (m_state) {
    case GAME_STATE_DEPLOYMENT:
    case GAME_STATE_MAIN_MENU:
    case GAME_STATE_BATTLE:
    case GAME_STATE_GAME_OVER:
        RenderScene();
        break;
    default:
        break;
    }
    for (ParticleEmitter* emitter : {m_ringEmitterA.get(), m_ringEmitterB.get(), m_burstEmitter.get()}) {
        if (emitter)
            emitter->Submit();
    }
    ParticleManager::Get()->Render();
}

void GameSession::RenderScene()
{
    IDirect3DDevice9* device = DataManager::Get()->GetDevice();
    if (m_starField)
        m_starField->Render();
    if (m_terrain)
        device->SetRenderState(D3DRS_FOGENABLE, m_terrain->GetLevelData().fogEnable);
    if (m_skyShown && m_skyDome)
        m_skyDome->Render();
    if (m_terrain)
        m_terrain->Render();
    DecalManager::Get()->Render();
    if (m_hexGrid)
        m_hexGrid->Render();
    DataManager::Get()->SetTechnique("SkinnedCharacterBump");
    for (const std::unique_ptr<Player>& player : m_flow.GetPlayers())
        player->Render();
    if (m_selectionDecal)
        DecalManager::Get()->Submit(m_selectionDecal.get());
    if (m_areaDecal)
        DecalManager::Get()->Submit(m_areaDecal.get());
    if (m_terrain)
        m_terrain->DrawStaticObjects();
    device->SetRenderState(D3DRS_FOGENABLE, FALSE);
}

void GameSession::RenderOverlay()
{
    if (m_screen)
        m_screen->Render();
}

void GameSession::RenderBattleOverlay()
{
    for (const std::unique_ptr<Player>& player : m_flow.GetPlayers())
        player->QueueUnitTexts();
    // The fly-over shows the armies alone.
    if (!m_flyOver) {
        if (m_descriptionBox)
            m_descriptionBox->Render();
        BattleHud::Get()->Render();
        if (m_turnWindow)
            m_turnWindow->Render();
        if (m_playerSymbol)
            m_playerSymbol->Render();
    }
    // Between flashes the white quad is wholly transparent: drawn, it would be a full-screen layer changing nothing.
    if (m_flashOverlay && (PackColour(m_flashOverlay->colour) >> 24) != 0)
        m_flashOverlay->Render();
    if (m_labels) {
        TextLabel& banner = (*m_labels)[BANNER];
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
    if (m_helpScreen)
        m_helpScreen->Render();
}

void GameSession::HandleKeys()
{
    constexpr int KEY_TAB = 15;
    constexpr int KEY_F1 = 59;
    const InputManager* input = InputManager::Get();
    const bool tab = input->IsKeyDown(KEY_TAB);
    if (tab && !m_barsKeyLatch)
        ToggleUnitBars();
    m_barsKeyLatch = tab;

    const bool f1 = input->IsKeyDown(KEY_F1);
    // The help screen's own Close button may have hidden it: F1 goes by what it shows now.
    if (f1 && !m_helpKeyLatch && m_screen && m_screen->ShowsPointer() && m_helpScreen)
        m_helpScreen->Toggle();
    m_helpKeyLatch = f1;
}

void GameSession::SetUnitShaderGlobals()
{
    if (!m_basicEffect)
        return;
    DataManager* data = DataManager::Get();
    m_basicEffect->SetFloat("gameTime", data->GetGameTime());
    m_basicEffect->SetFloat("gameSpeed", data->GetGameSpeed());
    m_basicEffect->SetFloat("tElapsed", data->GetFrameTime());
}

void GameSession::SetLevelPreset() const
{
    if (const LevelEntry* level = FindLevel(m_levelName))
        Camera::Get()->SetPreset(level->preset);
}

bool GameSession::LoadLevel(const std::string& name)
{
    const LevelEntry* level = FindLevel(name);
    // A level file the terrain refuses changes nothing: the level on screen keeps its name, view and emitters.
    if (level && m_terrain && !m_terrain->LoadLevel(level->file))
        return false;
    m_levelName = name;
    if (level)
        Camera::Get()->SetPreset(level->preset);
    if (m_terrain && name == "Farm") {
        // Three emitters for three files: the terrain owns each one it is given.
        m_terrain->ClearEmitters();
        for (const char* file : FARM_EMITTERS) {
            auto emitter = std::make_unique<ParticleEmitter>();
            emitter->LoadFile(file);
            emitter->emitting = true;
            emitter->Settings().origin = FARM_EMITTER_OFFSET;
            m_terrain->AddEmitter(emitter.release());
        }
    }
    // The units stand in the same light as the ground and the level's objects.
    const D3DXVECTOR3 direction = LightDirection();
    AnimatedMesh::SetLightDirection(direction);
    for (ID3DXEffect* lit : {m_basicEffect, DataManager::Get()->GetEffect(AnimatedMesh::EFFECT_FILE)}) {
        if (!lit)
            continue;
        lit->SetFloatArray("LightDirection", &direction.x, 3);
        if (m_terrain) {
            const D3DXVECTOR3& position = m_terrain->GetLightPosition();
            lit->SetFloatArray("LightPosition", &position.x, 3);
            lit->SetFloatArray("LightDiffuseColor", m_terrain->GetLevelData().lightColour.data(), 3);
        }
    }
    if (m_hexGrid)
        m_hexGrid->ClampAlpha(0.0f);
    MouseOverManager::Get()->SetHovered(nullptr);
    return true;
}

void GameSession::ParkSelection()
{
    if (m_ringEmitterA)
        m_ringEmitterA->position = PARKED;
    if (m_selectionDecal)
        m_selectionDecal->UpdatePosition(PARKED.x, PARKED.y, PARKED.z, false);
}

void GameSession::ResetLevel()
{
    // A shot cut short by the end of the battle must not leave the next one in slow motion; it puts the camera
    // back before the level's view is set below.
    if (m_cinematicRequested)
        EndSlowMotion();
    StopBattleMusic();
    Camera* camera = Camera::Get();
    camera->SetTarget(nullptr);
    m_followedUnit = nullptr;
    m_flow.Reset();
    m_unitsToLoad = 0;
    m_unitCount = 0;
    m_turnOrderQueue.clear();
    // The next battle's defeat waits its full delay.
    Player::ResetDefeatTimer();

    ParkSelection();
    camera->SetTarget(nullptr);
    camera->ResetZoom();
    SetLevelPreset();

    if (m_hexGrid) {
        m_hexGrid->ClearPathList();
        if (m_terrain)
            m_terrain->ApplyHexTypes();
    }
    BattleHud::Get()->ClearTurnOrder();
    // The next battle on this ground starts clean: the last one's blood goes with its units.
    DecalManager::Get()->ClearDynamic();

    m_flyOver = false;
    m_loaded = false;
    m_zone4ShotStarted = false;
    m_zone3ShotStarted = false;
    m_zoneCentre = nullptr;
    m_battleStarted = false;
    m_flyOverClock = 0.0f;
    if (m_labels)
        (*m_labels)[BANNER].SetText("");
    if (m_menuManager)
        m_menuManager->ResetRequisition();
}

void GameSession::ResetGlows()
{
    if (m_terrain && m_terrain->GetStaticObjects())
        m_terrain->GetStaticObjects()->ResetGlows();
}

void GameSession::ReleaseSceneTarget()
{
    if (m_sceneTexture) {
        m_sceneTexture->Release();
        m_sceneTexture = nullptr;
    }
    if (m_sceneSurface) {
        m_sceneSurface->Release();
        m_sceneSurface = nullptr;
    }
    if (m_sceneRenderer) {
        m_sceneRenderer->Release();
        m_sceneRenderer = nullptr;
    }
}

void GameSession::OnDeviceLost()
{
    ReleaseSceneTarget();
    if (m_loadingScreen)
        m_loadingScreen->OnLostDevice();
    for (GuiElement* element : {m_flashOverlay.get(), m_playerSymbol.get(), m_turnWindow.get()}) {
        if (element)
            element->OnLostDevice();
    }
    if (m_labels) {
        for (TextLabel& label : *m_labels)
            label.OnLostDevice();
    }
    // A session that never loaded its assets has no HUD to lose.
    if (BattleHud::Get()->IsInitialised())
        BattleHud::Get()->OnLostDevice();
    for (const std::unique_ptr<Player>& player : m_flow.GetPlayers())
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
    if (m_loadingScreen)
        m_loadingScreen->OnResetDevice();
    if (m_terrain)
        m_terrain->OnResetDevice();
    if (BattleHud::Get()->IsInitialised())
        BattleHud::Get()->OnResetDevice();
    for (GuiElement* element : {m_flashOverlay.get(), m_playerSymbol.get(), m_turnWindow.get()}) {
        if (element)
            element->OnResetDevice();
    }
    if (m_labels) {
        for (TextLabel& label : *m_labels)
            label.OnResetDevice();
    }
    ApplicationLink* app = data->GetApplication();
    const D3DFORMAT format = app ? app->GetBackBufferFormat() : D3DFMT_X8R8G8B8;

    ReleaseSceneTarget();
    if (FAILED(device->CreateTexture(SCENE_WIDTH, SCENE_HEIGHT, 1, D3DUSAGE_RENDERTARGET, format, D3DPOOL_DEFAULT,
                                     &m_sceneTexture, nullptr)) ||
        !m_sceneTexture)
        FailSceneTarget("texture");
    if (FAILED(m_sceneTexture->GetSurfaceLevel(0, &m_sceneSurface)) || !m_sceneSurface)
        FailSceneTarget("surface");
    // A stencil beside the depth lets the sky and stars wait for the ground and be drawn only where it leaves
    // them showing.
    if (FAILED(D3DXCreateRenderToSurface(device, SCENE_WIDTH, SCENE_HEIGHT, format, TRUE, D3DFMT_D24S8,
                                         &m_sceneRenderer)) ||
        !m_sceneRenderer)
        FailSceneTarget("renderer");
    for (const std::unique_ptr<Player>& player : m_flow.GetPlayers())
        player->OnResetDevice();
    for (const std::unique_ptr<Screen>& screen : m_screens) {
        if (screen)
            screen->OnResetDevice();
    }

    // Text is laid out for 1024 x 768 and scaled to the back buffer; computed afresh so that it never
    // drifts over many resets.
    const float width = static_cast<float>(data->GetBackBufferWidth());
    const float height = static_cast<float>(data->GetBackBufferHeight());
    D3DXMatrixScaling(&m_textTransform, width > 0.0f ? width / 1024.0f : 1.0f, height > 0.0f ? height / 768.0f : 1.0f,
                      1.0f);
    if (ID3DXSprite* sprite = data->GetSprite())
        sprite->SetTransform(&m_textTransform);

    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, SCENE_CLEAR_COLOUR, 1.0f, 0);
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
    if (m_labels) {
        for (TextLabel& label : *m_labels)
            label.Unqueue();
    }
    if (m_menuManager) {
        m_menuManager->Destroy();
        m_menuManager.reset();
    }
    if (FrontEndLink::Get() == this)
        FrontEndLink::Register(nullptr);
    if (Terrain::Current() == m_terrain.get())
        Terrain::SetCurrent(nullptr);
    if (HexGrid::Current() == m_hexGrid.get())
        HexGrid::SetCurrent(nullptr);
    if (SkyDome::Current() == m_skyDome.get())
        SkyDome::SetCurrent(nullptr);
    if (BoardGround::Get() == this)
        BoardGround::Register(nullptr);
    for (Decal* decal : {m_selectionDecal.get(), m_targetDecal.get(), m_areaDecal.get()})
        DecalManager::Forget(decal);
    for (ParticleEmitter* emitter : {m_ringEmitterA.get(), m_ringEmitterB.get(), m_burstEmitter.get()})
        ParticleManager::Withdraw(emitter);
    m_terrain.reset();
    m_gridSink.reset();
    m_hexGrid.reset();
    m_starField.reset();
    m_skyDome.reset();
    m_selectionDecal.reset();
    m_targetDecal.reset();
    m_areaDecal.reset();
    m_ringEmitterA.reset();
    m_ringEmitterB.reset();
    m_burstEmitter.reset();
    m_labels.reset();
    m_flashOverlay.reset();
    m_playerSymbol.reset();
    m_turnWindow.reset();
    if (m_descriptionBox) {
        m_descriptionBox->Destroy();
        m_descriptionBox.reset();
    }
    if (m_helpScreen) {
        m_helpScreen->Release();
        m_helpScreen.reset();
    }
    if (m_loadingScreen) {
        m_loadingScreen->Destroy();
        m_loadingScreen.reset();
    }
    m_basicEffect = nullptr;
    ReleaseSceneTarget();
}
