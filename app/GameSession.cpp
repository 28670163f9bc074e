#include "app/GameSession.h"

#include "app/BattleLoadScreen.h"
#include "app/BattleMarkers.h"
#include "app/BattleScreen.h"
#include "app/DeploymentScreen.h"
#include "app/EndScreen.h"
#include "app/GameApplication.h"
#include "app/HexGridSink.h"
#include "app/LevelEntry.h"
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

const char* const FARM_EMITTERS[] = {"Smoldering.txt", "SmokeEmitter.txt", "Fire_EmbersEmitter.txt"};
const D3DXVECTOR3 FARM_EMITTER_OFFSET(16539.0f, 0.0f, 16373.0f);

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
} // namespace

GameSession::GameSession()
{
    D3DXMatrixIdentity(&m_textTransform);
    BattleSession::Register(this);
    BoardView::Register(this);
    FrontEndLink::Register(this);
    CombatText::SetFactory(&UnitTextLabel::Make);
    m_flow.SetListener(this);
    // Made with the session so that the screens can hold it; its pages are built with the other assets.
    m_menuManager = std::make_unique<MenuManager>();
    m_screens[GAME_STATE_INTRO] = std::make_unique<IntroScreen>(*m_menuManager);
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
    m_load.Clear();
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
    m_markers = std::make_unique<BattleMarkers>();
    m_keptWorld.cache = std::make_unique<WorldCache>();
    m_labels = std::make_unique<std::array<TextLabel, LABEL_COUNT>>();

    Terrain::SetCurrent(m_terrain.get());
    HexGrid::SetCurrent(m_hexGrid.get());
    SkyDome::SetCurrent(m_skyDome.get());
    BoardGround::Register(this);
    FrontEndLink::Register(this);
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

    if (m_markers)
        m_markers->Create();
    CreateLabels();

    // The front end shows a level behind its menus from the start.
    if (m_levelName == "No Level")
        LoadLevel(START_LEVEL);

    SoundQueue::Get()->PlayNow("Varnholt_MenuMusicTemp.wav", false);
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
    m_requestedState = newState;
    m_stateRequested = true;
}

void GameSession::ApplyRequestedChanges()
{
    if (!m_stateRequested) {
        if (m_menuManager)
            m_menuManager->ApplyRequestedPage();
        return;
    }
    // The new state's screen picks its page: a page asked for in the same frame belonged to the state left.
    if (m_menuManager)
        m_menuManager->ForgetRequestedPage();
    m_stateRequested = false;
    EnterState(m_requestedState);
}

void GameSession::EnterState(GameState newState)
{
    const GameState previous = m_state;
    // One line per change, so that a run can be followed from outside (tests, soak runs, bug reports).
    if (newState != m_state)
        LogFormat(LogLevel::INFO, "session.state", "%s at %.2f s", GameStateName(newState),
                  static_cast<double>(DataManager::Get()->GetGameTime()));
    m_state = newState;
    RaisePointerDisplay();
    // A shot runs on the battle's frames only: left running, it would keep the front end in slow motion.
    if (m_state != GAME_STATE_BATTLE && m_shot.IsRequested())
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
    ApplyRequestedChanges();
    SoundQueue::Get()->Update();
    ParticleManager::Get()->Update();
    HandleKeys();
    MouseOverManager::Get()->Update();
    if (m_screen && m_screen->ShowsHelp() && m_helpScreen)
        m_helpScreen->Update();
    if (m_screen && m_screen->UsesFrontEnd() && m_menuManager)
        m_menuManager->Update();
    // A page that asks for another state has this frame's screen finish it; the new one takes the next frame.
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

void GameSession::UpdateMenuScene()
{
    SetUnitShaderGlobals();
    UpdateScenery();
}

void GameSession::UpdateScenery()
{
    if (m_terrain)
        m_terrain->Update();
    DecalManager::Get()->UpdateAll();
    if (m_skyDome)
        m_skyDome->Update();
}

IDirect3DTexture9* GameSession::RenderSceneToTexture()
{
    IDirect3DDevice9* device = DataManager::Get()->GetDevice();
    // A refused scene leaves the back buffer bound: the grey clear must not land there.
    if (!device || !m_sceneTarget.Begin())
        return m_sceneTarget.GetTexture();
    DrawSceneFrame(device, false);
    m_sceneTarget.End();
    return m_sceneTarget.GetTexture();
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
    DrawSceneFrame(device, true);
}

void GameSession::DrawSceneFrame(IDirect3DDevice9* device, bool mayKeepWorld)
{
    const bool drawsWorld = DrawsWorld(m_state);
    // A screen without the world (the title, the loading screen) or a scene drawn through the post-process pass
    // (the deployment's board window, a slow-motion shot) would only hold the kept picture's surfaces.
    if (m_keptWorld.cache && (!drawsWorld || !mayKeepWorld))
        m_keptWorld.cache->Release();
    m_groundHandedOver = false;
    if (!drawsWorld || !mayKeepWorld || !DrawKeptWorld(device)) {
        // The stencil too: the level's objects mark it afresh every frame.
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, SCENE_CLEAR_COLOUR,
                      OUT_OF_RANGE_DEPTH, 0);
        if (drawsWorld)
            RenderStillWorld();
    }
    if (drawsWorld) {
        RenderMovingWorld();
        // The device draws the world while the particles and the interface are built.
        HandSceneToDevice(device);
    }
    if (m_markers)
        m_markers->SubmitEmitters();
    ParticleManager::Get()->Render();
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
    if (!m_flyOver.IsActive()) {
        if (m_descriptionBox)
            m_descriptionBox->Render();
        BattleHud::Get()->Render();
        if (m_markers)
            m_markers->RenderWindows();
    }
    if (m_markers)
        m_markers->RenderFlash();
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
    if (const LevelEntry* level = LevelEntry::Find(m_levelName))
        Camera::Get()->SetPreset(level->preset);
}

bool GameSession::LoadLevel(const std::string& name)
{
    const LevelEntry* level = LevelEntry::Find(name);
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
    const D3DXVECTOR3 direction = LevelEntry::LightDirection();
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

void GameSession::ResetLevel()
{
    // A shot cut short by the end of the battle must not leave the next one in slow motion; it puts the camera
    // back before the level's view is set below.
    if (m_shot.IsRequested())
        EndSlowMotion();
    StopBattleMusic();
    Camera* camera = Camera::Get();
    camera->SetTarget(nullptr);
    m_followedUnit = nullptr;
    m_flow.Reset();
    m_load.Clear();
    m_unitCount = 0;
    // The next battle's defeat waits its full delay.
    Player::ResetDefeatTimer();

    if (m_markers)
        m_markers->Park();
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

    m_flyOver.Reset();
    m_battleStarted = false;
    if (m_labels)
        (*m_labels)[BANNER].SetText("");
    if (m_menuManager)
        m_menuManager->Deployment().ResetRequisition();
}

void GameSession::ResetGlows()
{
    if (m_terrain && m_terrain->GetStaticObjects())
        m_terrain->GetStaticObjects()->ResetGlows();
}

void GameSession::OnLostDevice()
{
    m_sceneTarget.Release();
    if (m_loadingScreen)
        m_loadingScreen->OnLostDevice();
    if (m_markers)
        m_markers->OnLostDevice();
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

void GameSession::OnResetDevice()
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
    if (m_markers)
        m_markers->OnResetDevice();
    if (m_labels) {
        for (TextLabel& label : *m_labels)
            label.OnResetDevice();
    }
    ApplicationLink* app = data->GetApplication();
    const D3DFORMAT format = app ? app->GetBackBufferFormat() : D3DFMT_X8R8G8B8;

    if (const char* refused = m_sceneTarget.Create(device, SCENE_WIDTH, SCENE_HEIGHT, format))
        FailSceneTarget(refused);
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
    // The manager itself stays for the screens that hold it, with nothing left to draw.
    if (m_menuManager)
        m_menuManager->Destroy();
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
    // The markers' decals and emitters leave the managers' lists with them.
    m_markers.reset();
    // The kept picture holds surfaces of the device and the textures the world was drawn with.
    m_keptWorld.cache.reset();
    m_terrain.reset();
    m_gridSink.reset();
    m_hexGrid.reset();
    m_starField.reset();
    m_skyDome.reset();
    m_labels.reset();
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
    m_sceneTarget.Release();
}
