#pragma once

#include "battle/BattleSession.h"
#include "battle/BoardGround.h"
#include "battle/BoardView.h"
#include "battle/TurnFlow.h"
#include "core/DeviceResource.h"
#include "core/Job.h"
#include "d3dx9/D3DX9Math.h"
#include "scene/CameraTarget.h"
#include "ui/FrontEndLink.h"

#include <array>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

struct IDirect3DTexture9;
struct IDirect3DSurface9;
struct ID3DXRenderToSurface;
struct ID3DXEffect;
class BoardUnit;
class Decal;
class DescriptionBox;
class GuiElement;
class Hex;
class HexGrid;
class HelpScreen;
class HexGridSink;
class GameApplication;
class MenuManager;
class LoadingScreen;
class ParticleEmitter;
class Player;
class Screen;
class SkyDome;
class StarField;
class Terrain;
class TextLabel;
class Unit;

// The running game: the level (terrain, board, sky and stars), the players and through them the units, the
// session's emitters, decals and labels, the render target into which the 3-D scene is drawn, and the state
// machine that decides what each frame updates and draws. It is what the board asks of the session, the ground
// the board lies on and what the camera follows.
class GameSession : public BattleSession,
                    public BoardView,
                    public BoardGround,
                    public CameraTarget,
                    public JobTarget,
                    public FrontEndLink,
                    public DeviceResource,
                    public TurnFlowListener
{
public:
    static constexpr unsigned SCENE_WIDTH = 1024;
    static constexpr unsigned SCENE_HEIGHT = 768;
    static constexpr unsigned SCENE_CLEAR_COLOUR = 0xFF808080;
    static constexpr int LABEL_COUNT = 9;
    // The label that carries the turn banner and the winner's line; the others hold the end page's figures.
    static constexpr int BANNER_LABEL = 8;
    // The level the front end shows first.
    static constexpr const char* START_LEVEL = "Winter";

    // A level the game knows: the name the front end chooses it by, its file, the camera's view of it.
    struct LevelEntry {
        const char* name;
        const char* file;
        int preset;
    };
    // Null for a name that is not in the table (compared exactly, case included).
    static const LevelEntry* FindLevel(const std::string& name);
    static D3DXVECTOR3 LightDirection();

    GameSession();
    ~GameSession() override;

    GameSession(const GameSession&) = delete;
    GameSession& operator=(const GameSession&) = delete;

    void Init();
    void LoadAssets();
    // Leaves the current state's screen when the state changes and enters the new one's (also when it is the
    // current one already).
    void SetGameState(GameState newState) override;
    // The window, the scene rectangle and quitting go through the application; without one they do nothing.
    void SetApplication(GameApplication* owner) { m_application = owner; }
    MenuManager* GetMenuManager() const { return m_menuManager.get(); }
    GameState GetGameState() const { return m_state; }
    Screen* GetScreen() const { return m_screen; }
    // Set once a battle has begun; the front end resumes it instead of starting a new one.
    bool IsBattleStarted() const override { return m_battleStarted; }
    void Update();
    IDirect3DTexture9* RenderSceneToTexture();
    // The same scene drawn straight onto the back buffer (and its depth), for frames whose post-process pass
    // would only copy it there; the caller has begun the device's scene.
    void RenderSceneToBackBuffer();
    void RenderOverlay();
    void RenderMouseOver();
    void RenderHelp();
    void SetUnitShaderGlobals();
    void OnDeviceLost();
    void OnDeviceReset();
    // The device-resource list reaches the session through these.
    void OnLostDevice() override { OnDeviceLost(); }
    void OnResetDevice() override { OnDeviceReset(); }
    void Shutdown();

    bool LoadLevel(const std::string& name) override;
    void ResetLevel() override;
    void LoadUnitModels(bool registerWithHud) override;
    void UpdateLoading();
    // The loading job's work, on the worker thread.
    void Execute() override;

    void AddPlayer(int id) override;
    void AddUnit(int playerId, const std::string& className, int row, int col) override;
    bool RemoveUnit(int playerId, BoardUnit* unit) override;

    // What the front-end screens ask of the session.
    void ShowHelpScreen(bool show) override;
    void SetWindowSize(int width, int height) override;
    void PostQuit() override;
    void ResetSceneRect() override;
    void FitSceneToRect(const GuiElement& element) override;
    bool BothPlayersHaveUnits() const override;
    PlacedUnit DescribeOccupant(Object* occupant) const override;
    std::unique_ptr<BoardUnit> CreatePreviewUnit(const std::string& classFile) override;
    ClassSheet DescribeClass(const BoardUnit& unit) const override;
    std::vector<BoardUnit*> GetLivingUnits() const override;
    void SetAreaDecal(int cells) override;

    // What the board asks of the session.
    bool IsInBattle() const override { return m_state == GAME_STATE_BATTLE; }
    bool IsGameOver() const override { return m_state == GAME_STATE_GAME_OVER; }
    // Entered once: entering again would rewrite the end screen and reset its pages.
    void SetGameOver() override
    {
        if (m_state != GAME_STATE_GAME_OVER)
            SetGameState(GAME_STATE_GAME_OVER);
    }
    void SetRingEmittersActive(bool active) override;
    void ApplyAreaEffect(BoardUnit* caster, const SpellDefinition& ability) override;
    Player* GetPlayer(int index) const override;
    void RequestSlowMotion(BoardUnit* target, float delay, bool spellShot) override;
    // Ignored closer than 1.5 s of game time to the last accepted request, and while the unit whose turn it
    // is still walks, strikes or casts (the turn flow's rule).
    void RequestNextTurn() override;
    // A unit that gives up its turn (it focuses): the turn passes in the next frame, never inside the unit's
    // own call.
    void AdvanceTurn() override { m_flow.AdvanceTurn(); }
    void SetShakeMagnitude(float magnitude) override;

    // The battle's frame, the turn flow and the battle's screens.
    void UpdateBattle();
    void UpdatePlayers();
    // Ends the current unit's turn and runs one step of the initiative countdown; the first unit in the turn
    // order that reaches 0 takes the turn.
    void StepTurn() { m_flow.Step(); }
    void RenderBattleOverlay();
    // The battle opens (or is taken up again from the main menu).
    void BeginBattle(GameState previous);
    void StopBattleMusic();

    // The level behind the front end, and the board living under it in deployment and at the end of a game.
    void UpdateScenery();
    void UpdateBoardScene();
    // Lays the labels out in rows from firstY down, each the step below the one before.
    void SetLabelRows(float firstY, const float* steps);

    // The camera and the level's glows.
    void FollowUnit(BoardUnit* unit) override;
    void ResetGlows() override;
    void ForgetUnit(BoardUnit* gone) override;

    // What a player sees of the turn flow: the HUD's order, the banner, the windows, the rings and the cursor.
    void OnUnitEnlisted(BoardUnit* unit) override;
    void OnCountdownStep(const TurnOrder& order) override;
    void OnTurnHandedTo(BoardUnit* unit, Player* owner) override;
    void OnTurnBegun(BoardUnit* unit) override;
    TurnFlow& GetTurnFlow() { return m_flow; }

    // The ground under the board.
    float HeightAt(float x, float z) const override;
    D3DXVECTOR3 NormalAt(float x, float z) const override;
    float GetCellSize() const override;

    // The followed unit, for the camera.
    D3DXVECTOR3 GetTargetPosition() const override;
    void GetOrientationAxes(D3DXVECTOR3& first, D3DXVECTOR3& second) const override;
    bool HasTargetOfItsOwn() const override;

    IDirect3DTexture9* GetSceneTexture() const override { return m_sceneTexture; }
    ID3DXEffect* GetBasicEffect() const { return m_basicEffect; }
    const D3DXMATRIX& GetTextTransform() const { return m_textTransform; }
    const std::string& GetLevelName() const { return m_levelName; }
    Terrain* GetTerrain() const { return m_terrain.get(); }
    HexGrid* GetHexGrid() const override { return m_hexGrid.get(); }
    SkyDome* GetSkyDome() const { return m_skyDome.get(); }
    StarField* GetStarField() const { return m_starField.get(); }
    ParticleEmitter* GetRingEmitterA() const { return m_ringEmitterA.get(); }
    ParticleEmitter* GetRingEmitterB() const { return m_ringEmitterB.get(); }
    ParticleEmitter* GetBurstEmitter() const { return m_burstEmitter.get(); }
    Decal* GetSelectionDecal() const { return m_selectionDecal.get(); }
    Decal* GetTargetDecal() const { return m_targetDecal.get(); }
    Decal* GetAreaDecal() const { return m_areaDecal.get(); }
    LoadingScreen* GetLoadingScreen() const { return m_loadingScreen.get(); }
    DescriptionBox* GetDescriptionBox() const { return m_descriptionBox.get(); }
    GuiElement* GetFlashOverlay() const { return m_flashOverlay.get(); }
    GuiElement* GetPlayerSymbol() const { return m_playerSymbol.get(); }
    GuiElement* GetTurnWindow() const { return m_turnWindow.get(); }
    HelpScreen* GetHelpScreen() const { return m_helpScreen.get(); }
    void HandleKeys();
    void ToggleUnitBars();
    TextLabel* GetLabel(int index) const;
    int GetPlayerCount() const { return m_flow.GetPlayerCount(); }
    size_t GetPlayerListSize() const { return m_flow.GetPlayers().size(); }
    int GetUnitsToLoad() const { return m_unitsToLoad.load(); }
    int GetUnitCount() const { return m_unitCount; }
    bool IsLoaded() const { return m_loaded.load(); }
    bool IsFlyOver() const { return m_flyOver; }
    bool IsTurnActive() const { return m_flow.IsTurnActive(); }
    bool IsSkyShown() const { return m_skyShown; }
    float GetFlyOverClock() const { return m_flyOverClock; }
    bool IsZoneShotStarted(int zone) const { return zone == 3 ? m_zone3ShotStarted : m_zone4ShotStarted; }
    float GetLoadingProgress() const { return m_loadingProgress; }
    // What the loading bar shows: the progress x 0.1, full at 1.
    float GetLoadingBar() const { return m_loadingBar; }
    BoardUnit* GetActiveUnit() const { return m_flow.GetActiveUnit(); }
    Player* GetActivePlayer() const { return m_flow.GetActivePlayer(); }
    BoardUnit* GetCinematicTarget() const { return m_cinematicTarget; }
    bool IsCinematicRequested() const { return m_cinematicRequested; }
    float GetSlowMotionClock() const { return m_slowMotionClock; }
    // What the session last asked of the application (it keeps them when there is none).
    float GetTargetGameSpeed() const { return m_targetGameSpeed; }
    int GetCursorPlayer() const { return m_cursorPlayer; }
    // The units whose turn-order entries wait for the drawing thread.
    const std::vector<BoardUnit*>& GetTurnOrderQueue() const { return m_turnOrderQueue; }

private:
    void ReleaseSceneTarget();
    void CreateBattleWidgets();
    void CreateLabels();
    void RenderScene();
    void DrawSceneFrame(IDirect3DDevice9* device);
    void SetLevelPreset() const;
    void ParkSelection();
    void SetTargetGameSpeed(float speed);
    void UpdateSlowMotion();
    void EndSlowMotion();
    void UpdateFlyOver();
    // Sets up the shot over a deployment zone; a level without that zone keeps the camera where it is.
    void StartZoneShot(int zone, int playerIndex);
    void Flash(float delay);
    Screen* ScreenFor(GameState state) const;

    // How fast the white sheet of a camera cut fades (a slow-motion shot's own cuts are faster).
    static constexpr float FLASH_SPEED = 5.0f;

    GameApplication* m_application = nullptr;
    // One screen for each state, by the state's value (4 is never entered), and the current state's.
    std::unique_ptr<Screen> m_screens[GAME_STATE_GAME_OVER + 1];
    Screen* m_screen = nullptr;
    std::unique_ptr<MenuManager> m_menuManager;
    std::unique_ptr<LoadingScreen> m_loadingScreen;
    std::unique_ptr<HelpScreen> m_helpScreen;
    std::unique_ptr<DescriptionBox> m_descriptionBox;
    // Held keys act once per press.
    bool m_helpKeyLatch = false;
    bool m_barsKeyLatch = false;
    // Whether the next Tab shows the units' bars.
    bool m_barsShown = false;
    std::unique_ptr<ParticleEmitter> m_ringEmitterA;
    std::unique_ptr<ParticleEmitter> m_ringEmitterB;
    std::unique_ptr<ParticleEmitter> m_burstEmitter;
    std::unique_ptr<Decal> m_selectionDecal;
    std::unique_ptr<Decal> m_targetDecal;
    std::unique_ptr<Decal> m_areaDecal;
    std::unique_ptr<std::array<TextLabel, LABEL_COUNT>> m_labels;
    // The players, their units' order and whose turn it is.
    TurnFlow m_flow;
    // Written by the loading job on the worker thread while the drawing thread reads it.
    std::atomic<int> m_unitsToLoad{0};
    int m_unitCount = 0;
    std::string m_levelName = "No Level";
    BoardUnit* m_followedUnit = nullptr;
    BoardUnit* m_cinematicTarget = nullptr;
    // The attacker or caster whose blow asked for the running slow-motion shot.
    BoardUnit* m_cinematicAttacker = nullptr;
    ID3DXEffect* m_basicEffect = nullptr; // the cache owns it
    bool m_battleStarted = false;
    bool m_flyOver = false;
    std::atomic<bool> m_loaded{false};
    bool m_skyShown = true;
    float m_flyOverClock = 0.0f;
    bool m_zone4ShotStarted = false;
    bool m_zone3ShotStarted = false;
    Hex* m_zoneCentre = nullptr;
    bool m_cinematicRequested = false;
    bool m_spellShot = false;
    float m_cinematicDelay = 0.0f;
    // Real seconds since the shot was asked for: the shot keeps its pace whatever the game speed.
    float m_slowMotionClock = 0.0f;
    bool m_slowMotionStarted = false;
    bool m_firstShotDone = false;
    bool m_secondShotDone = false;
    // Whether both ends of the blow were on the board when the shot began.
    bool m_shotHasUnits = false;
    D3DXVECTOR3 m_savedEye{0.0f, 0.0f, 0.0f};
    D3DXVECTOR3 m_savedLookAt{0.0f, 0.0f, 0.0f};
    D3DXVECTOR3 m_attackerAt{0.0f, 0.0f, 0.0f};
    D3DXVECTOR3 m_attackerSide{0.0f, 0.0f, 0.0f};
    D3DXVECTOR3 m_attackerBack{0.0f, 0.0f, 0.0f};
    D3DXVECTOR3 m_defenderAt{0.0f, 0.0f, 0.0f};
    D3DXVECTOR3 m_defenderSide{0.0f, 0.0f, 0.0f};
    D3DXVECTOR3 m_defenderBack{0.0f, 0.0f, 0.0f};
    float m_targetGameSpeed = 1.0f;
    int m_cursorPlayer = 0;
    std::unique_ptr<GuiElement> m_flashOverlay;
    std::unique_ptr<GuiElement> m_playerSymbol;
    std::unique_ptr<GuiElement> m_turnWindow;
    float m_loadingProgress = 0.0f;
    float m_loadingBar = 0.0f;
    // Filled by the worker, handed to the battle HUD on the drawing thread once the job has ended.
    std::vector<BoardUnit*> m_turnOrderQueue;
    // Read by the loading job on the worker thread.
    std::atomic<GameState> m_state{GAME_STATE_MAIN_MENU};
    std::unique_ptr<Terrain> m_terrain;
    std::unique_ptr<HexGrid> m_hexGrid;
    std::unique_ptr<HexGridSink> m_gridSink;
    std::unique_ptr<StarField> m_starField;
    std::unique_ptr<SkyDome> m_skyDome;
    D3DXMATRIX m_textTransform;
    IDirect3DTexture9* m_sceneTexture = nullptr;
    ID3DXRenderToSurface* m_sceneRenderer = nullptr;
    IDirect3DSurface9* m_sceneSurface = nullptr;
};
