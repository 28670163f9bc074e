#pragma once

#include "app/ArmyLoad.h"
#include "app/FlyOver.h"
#include "app/SceneTarget.h"
#include "app/SlowMotionShot.h"
#include "battle/BattleSession.h"
#include "battle/BoardGround.h"
#include "battle/BoardView.h"
#include "battle/TurnFlow.h"
#include "core/DeviceResource.h"
#include "core/Job.h"
#include "d3dx9/D3DX9Math.h"
#include "scene/CameraTarget.h"
#include "scene/WorldCache.h"
#include "ui/FrontEndLink.h"

#include <array>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

struct IDirect3DTexture9;
struct ID3DXEffect;
class BattleMarkers;
class BoardUnit;
class DescriptionBox;
class GuiElement;
class HexGrid;
class HelpScreen;
class HexGridSink;
class GameApplication;
class MenuManager;
class LoadingScreen;
class Player;
class Screen;
class SkyDome;
class StarField;
class Terrain;
class TextLabel;

// The running game: the level (terrain, board, sky and stars), the players and through them the units, the
// battle's markers, labels and camera shots, the target into which the 3-D scene is drawn, and the screens, one
// per state, that decide what each frame updates and draws. It is what the front end and the board ask of the
// session, the ground the board lies on, what the camera follows and the loading job's work; those callers reach
// it through their interfaces.
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
    static constexpr float OUT_OF_RANGE_DEPTH = 200.0f;
    static constexpr int LABEL_COUNT = 9;
    // The label that carries the turn banner and the winner's line; the others hold the end page's figures.
    static constexpr int BANNER_LABEL = 8;
    // The level the front end shows first.
    static constexpr const char* START_LEVEL = "Winter";

    GameSession();
    ~GameSession() override;

    GameSession(const GameSession&) = delete;
    GameSession& operator=(const GameSession&) = delete;

    // What the application asks of the session. The board, the front end, the camera, the loading job, the
    // device-resource list and the turn flow reach it through the interfaces it implements.
    void Init();
    void LoadAssets();
    // Asks for a state: the last state asked for in a frame is entered at the start of the next one.
    void SetGameState(GameState newState) override;
    // The start of a frame, the one place where a change takes effect: the state asked for (leaving the current
    // state's screen when the state changes and entering the new one's, also when it is the current one
    // already, and showing its page), or else the front-end page asked for.
    void ApplyRequestedChanges();
    // The window, the scene rectangle and quitting go through the application; without one they do nothing.
    void SetApplication(GameApplication* owner) { m_application = owner; }
    GameState GetGameState() const { return m_state; }
    Screen* GetScreen() const { return m_screen; }
    void Update();
    IDirect3DTexture9* RenderSceneToTexture();
    // The same scene drawn straight onto the back buffer (and its depth), for frames whose post-process pass
    // would only copy it there; the caller has begun the device's scene.
    void RenderSceneToBackBuffer();
    void RenderOverlay();
    void RenderMouseOver();
    void RenderHelp();
    // Whether the world's still part may be kept as a picture between frames while the camera stands still (on
    // unless turned off, to compare the two ways of drawing it).
    void SetWorldCacheAllowed(bool allowed);
    const WorldCache* GetWorldCache() const { return m_keptWorld.cache.get(); }
    void Shutdown();

    // What the screens drive. The battle opens (or is taken up again from the main menu).
    void BeginBattle(GameState previous);
    void UpdateBattle();
    void RenderBattleOverlay();
    void StopBattleMusic();
    void UpdateLoading();
    // The level behind the main menu, and the board living under it in deployment and at the end of a game.
    void UpdateMenuScene();
    void UpdateBoardScene();
    // Lays the labels out in rows from firstY down, each the step below the one before.
    void SetLabelRows(float firstY, const float* steps);
    TextLabel* GetLabel(int index) const;
    MenuManager* GetMenuManager() const { return m_menuManager.get(); }
    LoadingScreen* GetLoadingScreen() const { return m_loadingScreen.get(); }
    HexGrid* GetHexGrid() const override { return m_hexGrid.get(); }
    Player* GetPlayer(int index) const override;

    // What the battle is made of, and where it stands.
    TurnFlow& GetTurnFlow() { return m_flow; }
    const BattleMarkers* GetMarkers() const { return m_markers.get(); }
    const SlowMotionShot& GetShot() const { return m_shot; }
    const FlyOver& GetFlyOver() const { return m_flyOver; }
    // Tab shows or hides every unit's bars.
    void ToggleUnitBars();
    const std::string& GetLevelName() const { return m_levelName; }
    Terrain* GetTerrain() const { return m_terrain.get(); }
    ID3DXEffect* GetBasicEffect() const { return m_basicEffect; }
    const D3DXMATRIX& GetTextTransform() const { return m_textTransform; }
    HelpScreen* GetHelpScreen() const { return m_helpScreen.get(); }
    // The units added and not removed.
    int GetUnitCount() const { return m_unitCount; }
    const ArmyLoad& GetLoad() const { return m_load; }

private:
    // What the front-end screens ask of the session.
    bool IsBattleStarted() const override { return m_battleStarted; }
    bool LoadLevel(const std::string& name) override;
    void ResetLevel() override;
    void LoadUnitModels(bool registerWithHud) override;
    void AddPlayer(int id) override;
    void AddUnit(int playerId, const std::string& className, int row, int col) override;
    bool RemoveUnit(int playerId, BoardUnit* unit) override;
    void ShowHelpScreen(bool show) override;
    void SetWindowSize(int width, int height) override;
    void PostQuit() override;
    void ResetSceneRect() override;
    void FitSceneToRect(const GuiElement& element) override;
    bool BothPlayersHaveUnits() const override;
    PlacedUnit DescribeOccupant(Object* occupant) const override;
    std::unique_ptr<BoardUnit> CreatePreviewUnit(const std::string& classFile) override;
    ClassSheet DescribeClass(const BoardUnit& unit) const override;
    IDirect3DTexture9* GetSceneTexture() const override { return m_sceneTarget.GetTexture(); }

    // What the board asks of the session.
    // The rules go by the state asked for: once this frame has ended the battle, no turn is handed on in it.
    bool IsInBattle() const override { return NextState() == GAME_STATE_BATTLE; }
    bool IsGameOver() const override { return NextState() == GAME_STATE_GAME_OVER; }
    // Entered once: entering again would rewrite the end screen and reset its pages.
    void SetGameOver() override
    {
        if (!IsGameOver())
            SetGameState(GAME_STATE_GAME_OVER);
    }
    void SetRingEmittersActive(bool active) override;
    void ApplyAreaEffect(BoardUnit* caster, const SpellDefinition& ability) override;
    void RequestSlowMotion(BoardUnit* target, float delay, bool spellShot) override;
    // Ignored closer than 1.5 s of game time to the last accepted request, and while the unit whose turn it
    // is still walks, strikes or casts (the turn flow's rule).
    void RequestNextTurn() override;
    // A unit that gives up its turn (it focuses): the turn passes in the next frame, never inside the unit's
    // own call.
    void AdvanceTurn() override { m_flow.AdvanceTurn(); }
    void SetShakeMagnitude(float magnitude) override;
    void SetAreaDecal(int cells) override;
    std::vector<BoardUnit*> GetLivingUnits() const override;

    // The camera and the level's glows.
    void FollowUnit(BoardUnit* unit) override;
    void ResetGlows() override;
    void ForgetUnit(BoardUnit* gone) override;

    // The ground under the board.
    float HeightAt(float x, float z) const override;
    D3DXVECTOR3 NormalAt(float x, float z) const override;
    float GetCellSize() const override;

    // The followed unit, for the camera.
    D3DXVECTOR3 GetTargetPosition() const override;
    void GetOrientationAxes(D3DXVECTOR3& first, D3DXVECTOR3& second) const override;
    bool HasTargetOfItsOwn() const override;

    // The loading job's work, on the worker thread.
    void Execute() override;

    // The device-resource list reaches the session through these.
    void OnLostDevice() override;
    void OnResetDevice() override;

    // What a player sees of the turn flow: the HUD's order, the banner, the windows, the rings and the cursor.
    void OnUnitEnlisted(BoardUnit* unit) override;
    void OnCountdownStep(const TurnOrder& order) override;
    void OnTurnHandedTo(BoardUnit* unit, Player* owner) override;
    void OnTurnBegun(BoardUnit* unit) override;

    void CreateLabels();
    void HandleKeys();
    void SetUnitShaderGlobals();
    void UpdatePlayers();
    void UpdateScenery();
    // The states whose frames show the world.
    static bool DrawsWorld(GameState state);
    // The world in two parts: what stands still while the camera does (stars, sky, ground, the blood on it and the
    // level's objects), which a kept picture may stand for, then what moves over it (this frame's and the level's
    // decals, the hex highlights, the units, the objects' glows).
    void RenderStillWorld();
    void RenderMovingWorld();
    // mayKeepWorld: the frame's target is the back buffer, where a kept picture of the world may stand for it.
    void DrawSceneFrame(IDirect3DDevice9* device, bool mayKeepWorld);
    // Ends the scene drawn so far and begins the next (when a scene is open): the device may draw what it has
    // while the frame's next part is built. A software rasterizer draws nothing until then.
    static void HandSceneToDevice(IDirect3DDevice9* device);
    // Whether the still part of the world may be kept as a picture in this state.
    bool WorldIsStill() const;
    WorldCache::View CurrentWorldView() const;
    // Shows the kept picture of the world's still part (drawing it first when it is out of date); false when the
    // frame is to draw that part itself.
    bool DrawKeptWorld(IDirect3DDevice9* device);
    // What changes of the kept picture for this view: the whole picture (more than the sky's hour changed, or
    // the stars come or go), the pixels in a rectangle (the hour alone, where the dome draws) or none.
    enum class SkyChange
    {
        WHOLE_PICTURE,
        INSIDE_RECT,
        NO_PIXEL
    };
    SkyChange SkyStepOnly(const WorldCache::View& view, RECT* rect) const;
    void SetLevelPreset() const;
    void ApplyGameSpeed();
    void UpdateSlowMotion();
    void EndSlowMotion();
    void UpdateFlyOver();
    // Sets up the shot over a deployment zone; a level without that zone keeps the camera where it is.
    void StartZoneShot(int zone, int playerIndex);
    void Flash(float delay);
    Screen* ScreenFor(GameState state) const;
    void EnterState(GameState newState);
    // The state asked for in this frame, else the current one.
    GameState NextState() const { return m_stateRequested ? m_requestedState : m_state.load(); }

    GameApplication* m_application = nullptr;
    // One screen for each state, by the state's value (4 is never entered), and the current state's.
    std::unique_ptr<Screen> m_screens[GAME_STATE_GAME_OVER + 1];
    Screen* m_screen = nullptr;
    // The state asked for since the last frame began, entered at the start of the next.
    GameState m_requestedState = GAME_STATE_MAIN_MENU;
    bool m_stateRequested = false;
    std::unique_ptr<MenuManager> m_menuManager;
    std::unique_ptr<LoadingScreen> m_loadingScreen;
    std::unique_ptr<HelpScreen> m_helpScreen;
    std::unique_ptr<DescriptionBox> m_descriptionBox;
    // Held keys act once per press.
    bool m_helpKeyLatch = false;
    bool m_barsKeyLatch = false;
    // Whether the next Tab shows the units' bars.
    bool m_barsShown = false;
    std::unique_ptr<BattleMarkers> m_markers;
    std::unique_ptr<std::array<TextLabel, LABEL_COUNT>> m_labels;
    // The players, their units' order and whose turn it is.
    TurnFlow m_flow;
    int m_unitCount = 0;
    std::string m_levelName = "No Level";
    BoardUnit* m_followedUnit = nullptr;
    ID3DXEffect* m_basicEffect = nullptr; // the cache owns it
    bool m_battleStarted = false;
    FlyOver m_flyOver;
    SlowMotionShot m_shot;
    // Filled by the loading job on the worker thread while the drawing thread reads its counters.
    ArmyLoad m_load;
    // Read by the loading job on the worker thread.
    std::atomic<GameState> m_state{GAME_STATE_MAIN_MENU};
    std::unique_ptr<Terrain> m_terrain;
    std::unique_ptr<HexGrid> m_hexGrid;
    std::unique_ptr<HexGridSink> m_gridSink;
    std::unique_ptr<StarField> m_starField;
    std::unique_ptr<SkyDome> m_skyDome;
    D3DXMATRIX m_textTransform;
    SceneTarget m_sceneTarget;
    // The world's still part kept as a picture while the camera stands still (GameSessionWorld.cpp).
    struct KeptWorld {
        std::unique_ptr<WorldCache> cache;
        bool allowed = true;
        // The view of the last frame that could keep its world, to tell a camera standing still.
        WorldCache::View lastView;
        bool lastViewSet = false;
        // Whether that view differed from the one of the frame before it.
        bool lastViewChanged = false;
        // Whether drawing the kept world handed the ground's emitters on to be drawn.
        bool submitsEmitters = false;
    } m_keptWorld;
    // This frame's ground went to the device on its own (the world is drawn anew).
    bool m_groundHandedOver = false;
};
