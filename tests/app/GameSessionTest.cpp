#include "app/GameSession.h"
#include "app/BattleMarkers.h"
#include "app/LevelEntry.h"
#include "battle/BoardFakes.h"
#include "battle/ClassUnit.h"
#include "battle/CombatText.h"
#include "battle/Object.h"
#include "core/DataManager.h"
#include "core/DeviceResource.h"
#include "core/InputManager.h"
#include "core/JobQueue.h"
#include "d3dx9/D3DX9Core.h"
#include "scene/AnimatedMesh.h"
#include "scene/Decal.h"
#include "scene/ParticleEmitter.h"
#include "scene/ParticleManager.h"
#include "scene/SceneFixture.h"
#include "scene/Terrain.h"
#include "support/SessionLinks.h"
#include "ui/FrontEndLink.h"
#include "ui/GuiButton.h"
#include "ui/GuiElement.h"
#include "ui/GuiPanel.h"
#include "ui/LoadingScreen.h"
#include "ui/MenuManager.h"
#include "ui/MouseOverManager.h"
#include "ui/Screen.h"
#include "ui/TextLabel.h"
#include "win32/InputState.h"
#include "win32/Log.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <set>
#include <thread>

namespace {

// The display count of the pointer, read without changing it.
int PointerCount()
{
    const int count = ShowCursor(TRUE) - 1;
    ShowCursor(FALSE);
    return count;
}

// A unit with a real body on the board, so that the camera can follow it.
class BodyUnit : public FakeUnit
{
public:
    Object* AsObject() override { return &body; }
    Object body;
};

// A unit whose loading takes a while on the worker; it notes whether it was deleted before its load ended.
class SlowUnit : public FakeUnit
{
public:
    explicit SlowUnit(HexGrid* grid) : FakeUnit(grid) { }
    ~SlowUnit() override
    {
        if (!loadEnded.load())
            DeletedWhileLoading() = true;
    }
    Hex* GetHex() const override
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        loadEnded = true;
        return FakeUnit::GetHex();
    }
    static bool& DeletedWhileLoading()
    {
        static bool deleted = false;
        return deleted;
    }
    mutable std::atomic<bool> loadEnded{false};
};

class GameSessionTest : public SceneFixture
{
protected:
    void SetUp() override
    {
        const std::string skinned =
            ReadWholeFile(std::filesystem::current_path() / "Data/Effect Files" / AnimatedMesh::EFFECT_FILE);
        ASSERT_FALSE(skinned.empty());
        SceneFixture::SetUp();
        MouseOverManager::ResetForTests();
        ParticleManager::ResetForTests();
        Player::ResetDefeatTimer();
        // The start-up level and the other two, each with its own light colour and one hex type to tell them by.
        WriteLevel("winter_wonderland.txt", Level(1, 100.0f));
        WriteLevel("Farm.txt", Level(2, 150.0f));
        WriteLevel("Citadel Courtyard.txt", Level(3, 200.0f));
        // The units' own effect, so that what the session gives it is told apart from the basic effect.
        m_tree->Write(std::string("Data/Effect Files/") + AnimatedMesh::EFFECT_FILE, skinned);
        session = std::make_unique<GameSession>();
        session->Init();
        session->LoadAssets();
    }
    void TearDown() override
    {
        session.reset();
        ParticleManager::ResetForTests();
        MouseOverManager::ResetForTests();
        SceneFixture::TearDown();
    }

    // Hex (0, 0) holds the tag; (5, 5) is the first player's deployment zone.
    static LevelBytes Level(int tag, float red)
    {
        LevelBytes level;
        level.Float(LevelOffsets::LIGHT_COLOUR, red);
        level.Int(LevelOffsets::HEX_TYPES, tag);
        level.Int(LevelOffsets::HEX_TYPES + 4 * (5 * 42 + 5), 3);
        return level;
    }

    // Asks for the state and starts a frame, which enters it.
    void EnterState(GameState state)
    {
        session->SetGameState(state);
        session->ApplyRequestedChanges();
    }

    Hex* At(int row, int col) { return session->GetHexGrid()->GetHex(row, col); }

    FakeUnit* Deploy(int playerId, int row, int col)
    {
        auto* unit = new FakeUnit(session->GetHexGrid());
        NextFakeUnit() = unit;
        BoardUnit::SetFactory(TakeNextFakeUnit);
        FrontEnd(*session).AddUnit(playerId, "Militia.txt", row, col);
        BoardUnit::SetFactory(nullptr);
        if (NextFakeUnit() == unit) {
            // Nobody took it: there is no such player.
            NextFakeUnit() = nullptr;
            delete unit;
            return nullptr;
        }
        return unit;
    }

    float BasicFloat(const char* name)
    {
        float value = -1.0f;
        session->GetBasicEffect()->GetFloat(name, &value);
        return value;
    }

    static float SkinnedFloat(const char* name)
    {
        float value = -1.0f;
        ID3DXEffect* skinned = DataManager::Get()->GetEffect(AnimatedMesh::EFFECT_FILE);
        if (skinned)
            skinned->GetFloat(name, &value);
        return value;
    }

    LogCapture log;
    std::unique_ptr<GameSession> session;
};

} // namespace

TEST(GameSessionLevels, TheTableNamesFileAndPresetByExactName)
{
    struct Case {
        const char* name;
        const char* file;
        int preset;
    };
    const Case cases[] = {
        {"Farm", "Farm.txt", 0},
        {"Winter", "winter_wonderland.txt", 1},
        {"Citadel Courtyard", "Citadel Courtyard.txt", 2},
        {"farm", nullptr, -1},
        {"Winter ", nullptr, -1},
        {"", nullptr, -1},
    };
    for (const Case& c : cases) {
        const LevelEntry* level = LevelEntry::Find(c.name);
        if (!c.file) {
            EXPECT_EQ(level, nullptr) << c.name;
            continue;
        }
        ASSERT_NE(level, nullptr) << c.name;
        EXPECT_STREQ(level->file, c.file);
        EXPECT_EQ(level->preset, c.preset) << c.name;
    }
}

TEST(GameSessionLevels, TheLightComesFromFiftyFortyFiveTwentyFive)
{
    // |(50, 45, 25)| = sqrt(5150) = 71.76350
    const D3DXVECTOR3 d = LevelEntry::LightDirection();
    EXPECT_NEAR(d.x, 0.696733f, 1e-6f);
    EXPECT_NEAR(d.y, 0.627060f, 1e-6f);
    EXPECT_NEAR(d.z, 0.348367f, 1e-6f);
}

TEST_F(GameSessionTest, StartUpShowsTheWinterLevelWithItsHexTypesAndLight)
{
    EXPECT_EQ(session->GetLevelName(), "Winter");
    ASSERT_TRUE(session->GetTerrain()->IsLoaded());
    EXPECT_EQ(At(0, 0)->type, 1);
    EXPECT_EQ(At(5, 5)->type, 3);
    // The level's type is each hex's own: a unit leaving it gives it back, the deployment finds its zone by it.
    EXPECT_EQ(At(5, 5)->defaultType, 3);
    EXPECT_EQ(At(6, 6)->defaultType, 0);
    EXPECT_FLOAT_EQ(BasicFloat("LightDiffuseColor"), 100.0f);
    EXPECT_NEAR(BasicFloat("LightDirection"), 0.696733f, 1e-6f);
    // Preset 1 stands 3500 behind the terrain centre (128 cells of 256 / 2 = 16384) and 100 above the aim.
    const Camera* camera = Camera::Get();
    EXPECT_FLOAT_EQ(camera->GetLookAt().x, 16384.0f);
    EXPECT_FLOAT_EQ(camera->GetLookAt().z, 16384.0f);
    EXPECT_FLOAT_EQ(camera->GetEye().z, 16384.0f - 3500.0f);
    EXPECT_FLOAT_EQ(camera->GetEye().y - camera->GetLookAt().y, 100.0f);
}

TEST_F(GameSessionTest, EachLevelLoadsItsFilePresetAndEmitters)
{
    FrontEnd(*session).LoadLevel("Citadel Courtyard");
    EXPECT_EQ(At(0, 0)->type, 3);
    EXPECT_FLOAT_EQ(BasicFloat("LightDiffuseColor"), 200.0f);
    EXPECT_FLOAT_EQ(Camera::Get()->GetEye().z, 16384.0f - 2500.0f);
    EXPECT_TRUE(session->GetTerrain()->Emitters().empty());

    FrontEnd(*session).LoadLevel("Farm");
    EXPECT_EQ(At(0, 0)->type, 2);
    EXPECT_FLOAT_EQ(Camera::Get()->GetEye().z, 16384.0f - 3500.0f);
    const auto& emitters = session->GetTerrain()->Emitters();
    ASSERT_EQ(emitters.size(), 3u) << "three files, three emitters";
    for (const auto& emitter : emitters) {
        EXPECT_TRUE(emitter->emitting);
        EXPECT_FLOAT_EQ(emitter->Settings().origin.x, 16539.0f);
        EXPECT_FLOAT_EQ(emitter->Settings().origin.y, 0.0f);
        EXPECT_FLOAT_EQ(emitter->Settings().origin.z, 16373.0f);
    }

    // Loading Winter again clears the farm's emitters.
    FrontEnd(*session).LoadLevel("Winter");
    EXPECT_TRUE(session->GetTerrain()->Emitters().empty());
    EXPECT_EQ(At(0, 0)->type, 1);
}

// The units are drawn through their own effect: the level's light reaches it as it reaches the basic effect.
TEST_F(GameSessionTest, TheUnitsStandInEachLevelsLight)
{
    ID3DXEffect* skinned = DataManager::Get()->GetEffect(AnimatedMesh::EFFECT_FILE);
    ASSERT_NE(skinned, nullptr);
    ASSERT_NE(skinned, session->GetBasicEffect());
    EXPECT_FLOAT_EQ(SkinnedFloat("LightDiffuseColor"), 100.0f);
    EXPECT_NEAR(SkinnedFloat("LightDirection"), 0.696733f, 1e-6f);
    FrontEnd(*session).LoadLevel("Citadel Courtyard");
    EXPECT_FLOAT_EQ(SkinnedFloat("LightDiffuseColor"), 200.0f);
    FrontEnd(*session).LoadLevel("Farm");
    EXPECT_FLOAT_EQ(SkinnedFloat("LightDiffuseColor"), 150.0f);
    // The skin draws with the same sun, turned into the camera's view at each draw.
    const D3DXVECTOR3 sun = AnimatedMesh::GetLightDirection();
    EXPECT_NEAR(sun.x, 0.696733f, 1e-6f);
    EXPECT_NEAR(sun.y, 0.627060f, 1e-6f);
    EXPECT_NEAR(sun.z, 0.348367f, 1e-6f);
}

TEST_F(GameSessionTest, AnUnknownNameKeepsTheTerrainAndPresetButSetsTheLight)
{
    const D3DXVECTOR3 eye = Camera::Get()->GetEye();
    const float zero[3] = {0.0f, 0.0f, 0.0f};
    session->GetBasicEffect()->SetFloatArray("LightDirection", zero, 3);
    At(0, 0)->alpha = 0.7f;
    At(0, 0)->targetAlpha = 0.9f;
    FrontEnd(*session).LoadLevel("farm");
    EXPECT_EQ(session->GetLevelName(), "farm");
    EXPECT_EQ(At(0, 0)->type, 1) << "the winter level stays";
    EXPECT_FLOAT_EQ(Camera::Get()->GetEye().z, eye.z);
    EXPECT_NEAR(BasicFloat("LightDirection"), 0.696733f, 1e-6f);
    EXPECT_FLOAT_EQ(At(0, 0)->alpha, 0.0f) << "every highlight starts hidden";
}

TEST_F(GameSessionTest, ResetLevelClearsPlayersUnitsAndFlagsButKeepsTheLevel)
{
    FrontEnd(*session).AddPlayer(0);
    FrontEnd(*session).AddPlayer(0);
    FrontEnd(*session).AddPlayer(1);
    EXPECT_EQ(session->GetTurnFlow().GetPlayerCount(), 2) << "a second player with the same id is not added";
    Deploy(0, 5, 5);
    Deploy(1, 10, 10);
    Deploy(7, 11, 11); // no such player: nothing is made
    EXPECT_EQ(session->GetLoad().GetUnitsToLoad(), 2);
    EXPECT_EQ(session->GetUnitCount(), 2);
    EXPECT_EQ(At(10, 10)->type, HEX_OCCUPIED);
    EnterState(GAME_STATE_BATTLE);
    session->GetMarkers()->GetRingEmitterA()->position = D3DXVECTOR3(1, 2, 3);
    session->GetMarkers()->GetSelectionDecal()->UpdatePosition(500.0f, 0.0f, 700.0f, false);
    session->GetLabel(8)->SetText("Player 1 Turn.");

    for (int pass = 0; pass < 2; ++pass) {
        FrontEnd(*session).ResetLevel();
        EXPECT_EQ(session->GetTurnFlow().GetPlayerCount(), 0);
        EXPECT_EQ(session->GetTurnFlow().GetPlayers().size(), 0u);
        EXPECT_EQ(session->GetLoad().GetUnitsToLoad(), 0);
        EXPECT_EQ(session->GetUnitCount(), 0);
        EXPECT_TRUE(session->GetTurnFlow().IsTurnActive());
        EXPECT_FALSE(FrontEnd(*session).IsBattleStarted());
        EXPECT_FALSE(session->GetFlyOver().IsActive());
        EXPECT_FALSE(session->GetLoad().IsDone());
        EXPECT_FALSE(session->GetFlyOver().IsZoneShotStarted(3));
        EXPECT_FALSE(session->GetFlyOver().IsZoneShotStarted(4));
        EXPECT_FLOAT_EQ(session->GetFlyOver().GetClock(), 0.0f);
        EXPECT_FLOAT_EQ(session->GetMarkers()->GetRingEmitterA()->position.y, -5000.0f);
        EXPECT_FLOAT_EQ(session->GetMarkers()->GetSelectionDecal()->Position().x, 0.0f);
        EXPECT_FLOAT_EQ(session->GetMarkers()->GetSelectionDecal()->Position().z, 0.0f);
        EXPECT_EQ(session->GetLabel(8)->GetText(), "");
        EXPECT_EQ(session->GetLevelName(), "Winter");
        EXPECT_EQ(At(10, 10)->type, 0) << "the level's types are back on the board";
        EXPECT_EQ(At(5, 5)->type, 3);
        EXPECT_EQ(Camera::Get()->GetTarget(), nullptr);
        EXPECT_FLOAT_EQ(Camera::Get()->GetEye().z, 16384.0f - 3500.0f);
    }
}

TEST_F(GameSessionTest, UnitBookkeepingCountsAddedAndRemovedUnits)
{
    FrontEnd(*session).AddPlayer(0);
    FrontEnd(*session).AddPlayer(1);
    EXPECT_EQ(session->GetPlayer(0)->team, 0);
    EXPECT_EQ(session->GetPlayer(1)->team, 1);
    EXPECT_EQ(session->GetPlayer(2), nullptr);
    FakeUnit* a = Deploy(0, 5, 5);
    FakeUnit* b = Deploy(0, 6, 6);
    FakeUnit* c = Deploy(1, 20, 20);
    c->state = DEAD;
    const std::vector<BoardUnit*> living = Rules(*session).GetLivingUnits();
    ASSERT_EQ(living.size(), 2u);
    EXPECT_EQ(living[0], a);
    EXPECT_EQ(living[1], b);

    FrontEnd(*session).RemoveUnit(0, nullptr);
    FrontEnd(*session).RemoveUnit(0, b);
    EXPECT_EQ(session->GetUnitCount(), 2);
    EXPECT_EQ(session->GetLoad().GetUnitsToLoad(), 3) << "units to load is not lowered";
    EXPECT_EQ(Rules(*session).GetLivingUnits().size(), 1u);
}

TEST_F(GameSessionTest, TheLoadingBarCreepsUntilTheJobHasEnded)
{
    FrontEnd(*session).AddPlayer(0);
    Deploy(0, 5, 5);
    Deploy(0, 6, 5);
    Deploy(0, 7, 5);
    // Three units to load, no job: 0.05 / ((3 + 1) x 0.75) = 0.0166667 a frame.
    Frame(0.05f);
    session->UpdateLoading();
    EXPECT_NEAR(session->GetLoad().GetProgress(), 0.0166667f, 1e-6f);
    EXPECT_NEAR(session->GetLoad().GetBar(), 0.00166667f, 1e-7f);
    // The screen's bar, 615 long, has grown by 0.00166667 of it.
    const LoadingScreen* screen = session->GetLoadingScreen();
    EXPECT_NEAR(screen->GetBar()->right - screen->GetBarStart(), 1.025f, 1e-3f);
    EXPECT_FALSE(screen->IsFull());
    // However far the bar gets, the battle waits for the job.
    Frame(400.0f);
    session->UpdateLoading();
    EXPECT_FLOAT_EQ(session->GetLoad().GetBar(), 1.0f);
    EXPECT_TRUE(session->GetLoadingScreen()->IsFull());
    session->ApplyRequestedChanges();
    EXPECT_NE(session->GetGameState(), GAME_STATE_BATTLE);
}

TEST_F(GameSessionTest, WithNothingToLoadTheBarMovesAtATenthOverThreeQuarters)
{
    Frame(0.75f);
    session->UpdateLoading();
    EXPECT_NEAR(session->GetLoad().GetBar(), 0.1f, 1e-6f) << "0.75 s x 0.1 / 0.75";
}

TEST_F(GameSessionTest, TheLoadingJobRunsOnTheWorkerAndTheBattleStartsWhenTheBarIsFull)
{
    FrontEnd(*session).AddPlayer(0);
    FrontEnd(*session).AddPlayer(1);
    FakeUnit* a = Deploy(0, 5, 5);
    FakeUnit* b = Deploy(1, 9, 9);
    At(5, 5)->SetType(HEX_OPEN);

    NullDevice* device = Null();
    device->ResetCounters();
    EnterState(GAME_STATE_LOADING);
    EXPECT_LE(PointerCount(), -1);
    EXPECT_EQ(At(30, 30)->fadeState, 1);
    DataManager::Get()->GetJobQueue()->WaitUntilDone(5000);
    EXPECT_TRUE(session->GetLoad().IsDone());
    EXPECT_EQ(At(5, 5)->type, HEX_OCCUPIED) << "the job marks every unit's hex";
    EXPECT_EQ(session->GetLoad().GetUnitsToLoad(), 0);
    ASSERT_EQ(session->GetLoad().GetQueue().size(), 2u);
    EXPECT_EQ(session->GetLoad().GetQueue()[0], a);
    EXPECT_EQ(session->GetLoad().GetQueue()[1], b);
    EXPECT_EQ(device->DrawCount() + device->ClearCount() + device->PresentCount(), 0u);

    // Loaded: 3 x 0.5 = 1.5 of progress a frame; the bar is full at 10, in the seventh frame.
    for (int frame = 1; frame <= 6; ++frame) {
        Frame(0.5f);
        session->UpdateLoading();
        session->ApplyRequestedChanges();
        EXPECT_EQ(session->GetGameState(), GAME_STATE_LOADING) << frame;
        EXPECT_NEAR(session->GetLoad().GetProgress(), 1.5f * static_cast<float>(frame), 1e-5f);
    }
    Frame(0.5f);
    session->UpdateLoading();
    // The battle is asked for in this frame and entered as the next one starts.
    EXPECT_EQ(session->GetGameState(), GAME_STATE_LOADING);
    EXPECT_TRUE(Rules(*session).IsInBattle());
    session->ApplyRequestedChanges();
    EXPECT_EQ(session->GetGameState(), GAME_STATE_BATTLE);
    EXPECT_FLOAT_EQ(session->GetLoad().GetProgress(), 0.0f);
    EXPECT_TRUE(session->GetFlyOver().IsActive());
    EXPECT_TRUE(FrontEnd(*session).IsBattleStarted());
    EXPECT_GE(PointerCount(), 1);
    EXPECT_TRUE(session->GetLoad().GetQueue().empty());
}

TEST_F(GameSessionTest, TheLoadingJobLoadsEveryModelWithItsAnimationsOnTheWorker)
{
    FrontEnd(*session).AddPlayer(0);
    FrontEnd(*session).AddPlayer(1);
    FakeUnit* a = Deploy(0, 5, 5);
    FakeUnit* b = Deploy(1, 9, 9);
    FakeUnit* c = Deploy(1, 9, 11);
    // The deployment loads the models as units are placed, without animations, on the main thread.
    FrontEnd(*session).LoadUnitModels(false);
    for (FakeUnit* unit : {a, b, c}) {
        ASSERT_EQ(unit->modelLoads, std::vector<bool>{false});
        EXPECT_EQ(unit->modelLoadThread, std::this_thread::get_id());
    }
    EXPECT_TRUE(session->GetLoad().GetQueue().empty());

    EnterState(GAME_STATE_LOADING);
    DataManager::Get()->GetJobQueue()->WaitUntilDone(5000);
    ASSERT_TRUE(session->GetLoad().IsDone());
    for (FakeUnit* unit : {a, b, c}) {
        EXPECT_EQ(unit->modelLoads, (std::vector<bool>{false, true}));
        EXPECT_NE(unit->modelLoadThread, std::this_thread::get_id());
    }
}

TEST_F(GameSessionTest, TheLoadingJobOutsideTheLoadingStateOnlyMarksItDone)
{
    FrontEnd(*session).AddPlayer(0);
    Deploy(0, 5, 5);
    At(5, 5)->SetType(HEX_OPEN);
    std::thread worker([this] { LoadingJob(*session).Execute(); });
    worker.join();
    EXPECT_TRUE(session->GetLoad().IsDone());
    EXPECT_EQ(At(5, 5)->type, HEX_OPEN);
    EXPECT_EQ(session->GetLoad().GetUnitsToLoad(), 1);
}

TEST_F(GameSessionTest, EnteringAStateShowsOrHidesThePointerAndPlacesTheLabels)
{
    // The labels stand in two columns from (256, 330), 80 apart, label 8 alone at (256, 650).
    const float startX[9] = {256, 640, 256, 640, 256, 640, 256, 640, 256};
    const float startY[9] = {330, 330, 410, 410, 490, 490, 570, 570, 650};
    for (int i = 0; i < 9; ++i) {
        EXPECT_FLOAT_EQ(session->GetLabel(i)->x, startX[i]) << i;
        EXPECT_FLOAT_EQ(session->GetLabel(i)->y, startY[i]) << i;
    }

    EnterState(GAME_STATE_INTRO);
    EXPECT_LE(PointerCount(), -1);
    EnterState(GAME_STATE_MAIN_MENU);
    EXPECT_GE(PointerCount(), 1);

    EnterState(GAME_STATE_DEPLOYMENT);
    const float deployY[9] = {300, 300, 356, 356, 392, 392, 428, 428, 464};
    for (int i = 0; i < 9; ++i)
        EXPECT_FLOAT_EQ(session->GetLabel(i)->y, deployY[i]) << i;

    // One player: the game-over state changes nothing else.
    FrontEnd(*session).AddPlayer(0);
    EnterState(GAME_STATE_GAME_OVER);
    EXPECT_EQ(session->GetGameState(), GAME_STATE_GAME_OVER);
    EXPECT_FLOAT_EQ(session->GetLabel(0)->y, 300.0f);
    EXPECT_EQ(session->GetLabel(8)->GetText(), "");
}

TEST_F(GameSessionTest, TheEndOfTheGameNamesTheWinnerAndListsTheStatistics)
{
    struct Case {
        int aliveFirst;
        int aliveSecond;
        const char* banner;
    };
    const Case cases[] = {{2, 1, "Player 1 Wins!"}, {1, 2, "Player 2 Wins!"}, {1, 1, "Player 2 Wins!"}};
    for (const Case& c : cases) {
        FrontEnd(*session).ResetLevel();
        FrontEnd(*session).AddPlayer(0);
        FrontEnd(*session).AddPlayer(1);
        for (int k = 0; k < c.aliveFirst; ++k)
            Deploy(0, 5 + k, 5);
        for (int k = 0; k < c.aliveSecond; ++k)
            Deploy(1, 20 + k, 20);
        Player* first = session->GetPlayer(0);
        Player* second = session->GetPlayer(1);
        first->AddToStatistic(Statistic::KILLS, 3);
        first->AddToStatistic(Statistic::DAMAGE_DEALT, 45);
        first->AddToStatistic(Statistic::TURNS, 7);
        first->AddToStatistic(Statistic::HEXES_MOVED, 12);
        second->AddToStatistic(Statistic::KILLS, 1);
        second->AddToStatistic(Statistic::DAMAGE_DEALT, 20);
        second->AddToStatistic(Statistic::TURNS, 6);
        second->AddToStatistic(Statistic::HEXES_MOVED, 30);
        EnterState(GAME_STATE_GAME_OVER);
        EXPECT_EQ(session->GetLabel(8)->GetText(), c.banner) << c.aliveFirst << " vs " << c.aliveSecond;
        const float overY[9] = {408, 408, 479, 479, 550, 550, 621, 621, 692};
        for (int i = 0; i < 9; ++i)
            EXPECT_FLOAT_EQ(session->GetLabel(i)->y, overY[i]) << i;
        const char* figures[8] = {"3", "1", "45", "20", "7", "6", "12", "30"};
        for (int i = 0; i < 8; ++i) {
            const TextLabel* figure = session->GetLabel(i);
            EXPECT_EQ(figure->GetText(), figures[i]) << i;
            // Centred under its side's name plate (200 + 125 / 2 and 655 + 125 / 2), whatever its width.
            const RECT drawn = figure->MeasureDrawn();
            EXPECT_NEAR(figure->x + static_cast<float>(drawn.right - drawn.left) / 2.0f, i % 2 ? 717.5f : 262.5f, 0.5f)
                << i;
            // Player 1's figures blue, Player 2's red, as their name plates.
            const D3DXCOLOR& colour = figure->baseColour;
            if (i % 2 == 0)
                EXPECT_GT(colour.b, colour.r) << i;
            else
                EXPECT_GT(colour.r, colour.b) << i;
        }
        const D3DXCOLOR& title = session->GetLabel(8)->baseColour;
        EXPECT_EQ(title.b > title.r, c.aliveFirst > c.aliveSecond) << "the title takes the winner's colour";
    }
}

TEST_F(GameSessionTest, TheAreaDecalIsRebuiltWithTheAbilitysCells)
{
    Rules(*session).SetAreaDecal(6);
    EXPECT_EQ(session->GetMarkers()->GetAreaDecal()->GridSize(), 6);
    EXPECT_FLOAT_EQ(session->GetMarkers()->GetAreaDecal()->HalfSize(), 160.0f) << "(64 x 6 - 64) / 2";
    EXPECT_FLOAT_EQ(session->GetMarkers()->GetAreaDecal()->Position().x, 1500.0f);
}

TEST_F(GameSessionTest, TheMenuSceneDrawsTheLevelAndTheIntroStaysGrey)
{
    Resource(*session).OnResetDevice();
    NullDevice* device = Null();
    EnterState(GAME_STATE_INTRO);
    device->ResetCounters();
    session->RenderSceneToTexture();
    EXPECT_EQ(device->DrawCount(), 0u);
    EXPECT_EQ(device->ClearCount(), 1u);

    EnterState(GAME_STATE_MAIN_MENU);
    device->ResetCounters();
    session->RenderSceneToTexture();
    EXPECT_GT(device->DrawCount(), 0u) << "stars, sky and terrain";
}

// A software rasterizer draws nothing until its scene is ended. Over a kept picture of the world the highlights laid
// under the units are handed to it before the units are built, so that it draws them meanwhile; a world drawn
// anew hands over its ground instead, and the highlights go with the units. Without units a kept frame is handed
// over once, after the world's moving part.
TEST_F(GameSessionTest, OverAKeptWorldTheHighlightsAreHandedToTheDeviceBeforeTheUnitsAreBuilt)
{
    Resource(*session).OnResetDevice();
    FrontEnd(*session).AddPlayer(0);
    FrontEnd(*session).AddPlayer(1);
    EnterState(GAME_STATE_BATTLE);
    NullDevice* device = Null();
    for (int frame = 0; frame < 3; ++frame) {
        device->ResetCounters();
        ASSERT_EQ(device->BeginScene(), D3D_OK);
        session->RenderSceneToBackBuffer();
        device->EndScene();
    }
    ASSERT_TRUE(session->GetWorldCache() && session->GetWorldCache()->IsValid());
    EXPECT_EQ(device->ScenesEnded(), 2u) << "without units: the world's moving part, then the particles";

    FakeUnit* unit = Deploy(0, 5, 5);
    ASSERT_NE(unit, nullptr);
    UINT unitScene = 0;
    unit->whenRendered = [&] { unitScene = device->ScenesEnded(); };

    bool sawKept = false;
    bool sawAnew = false;
    for (int frame = 0; frame < 4; ++frame) {
        SCOPED_TRACE(frame);
        if (frame == 1) {
            // As after the camera moved: the world is drawn anew.
            session->SetWorldCacheAllowed(false);
            session->SetWorldCacheAllowed(true);
        }
        const unsigned pictures = session->GetWorldCache() ? session->GetWorldCache()->PicturesDrawn() : 0;
        session->GetHexGrid()->AddTeam0Highlight(At(5, 5));
        device->ResetCounters();
        device->KeepDraws(true);
        ASSERT_EQ(device->BeginScene(), D3D_OK);
        session->RenderSceneToBackBuffer();
        device->EndScene();
        device->KeepDraws(false);
        const WorldCache* cache = session->GetWorldCache();
        const bool kept = cache && cache->IsValid() && cache->PicturesDrawn() == pictures;
        if (frame > 0)
            (kept ? sawKept : sawAnew) = true;
        ASSERT_EQ(unit->renders, frame + 1);
        int highlights = 0;
        for (const NullDevice::DrawRecord& draw : device->Draws()) {
            // The highlights keep off the objects' mark: the stencil passes where it is still 0.
            if (draw.fvf == Hex::FVF && draw.stencilEnable && draw.stencilFunc == D3DCMP_EQUAL &&
                draw.stencilRef == 0) {
                ++highlights;
                if (kept)
                    EXPECT_LT(draw.scenesEnded, unitScene);
                else
                    EXPECT_EQ(draw.scenesEnded, unitScene);
            }
        }
        // The hex lights up from the frame after the unit first stood on it.
        if (frame > 0)
            EXPECT_GT(highlights, 0) << "the player's hex is lit";
    }
    EXPECT_TRUE(sawKept) << "a camera standing still keeps its world";
    EXPECT_TRUE(sawAnew);
}

// The title holds the intro until Space is pressed; the session and its screens then show the main menu.
TEST_F(GameSessionTest, TheTitleHoldsTheIntroUntilSpace)
{
    constexpr int kScancodeSpace = 44;
    InputState::Get().Reset();
    InputManager::ResetForTests();
    ASSERT_EQ(InputManager::Get()->Init(reinterpret_cast<HINSTANCE>(0x3000), reinterpret_cast<HWND>(0x2000), 0), S_OK);
    EnterState(GAME_STATE_INTRO);
    MenuManager* menu = session->GetMenuManager();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->GetCurrentScreen(), SCREEN_TITLE);
    Frame(0.016f);
    InputManager::Get()->Update();
    session->Update();
    EXPECT_EQ(session->GetGameState(), GAME_STATE_INTRO);

    InputState::Get().InjectKey(kScancodeSpace, true);
    Frame(0.016f);
    InputManager::Get()->Update();
    session->Update();
    InputState::Get().InjectKey(kScancodeSpace, false);
    // The main menu was asked for in that frame; the next one starts with it.
    EXPECT_EQ(session->GetGameState(), GAME_STATE_INTRO);
    Frame(0.016f);
    InputManager::Get()->Update();
    session->Update();
    EXPECT_EQ(session->GetGameState(), GAME_STATE_MAIN_MENU);
    EXPECT_EQ(menu->GetCurrentScreen(), SCREEN_MAIN_MENU);
    InputManager::ResetForTests();
    InputState::Get().Reset();
}

// A state asked for while a frame runs changes nothing in that frame: its screen, its page and its log line
// come as the next frame starts. Of two states asked for before then, only the last is entered, with its own
// page, whatever page the first one's asker wanted.
TEST_F(GameSessionTest, AStateAskedForInAFrameIsEnteredAsTheNextStartsAndTheLastRequestWins)
{
    constexpr int kScancodeSpace = 44;
    InputState::Get().Reset();
    InputManager::ResetForTests();
    ASSERT_EQ(InputManager::Get()->Init(reinterpret_cast<HINSTANCE>(0x3000), reinterpret_cast<HWND>(0x2000), 0), S_OK);
    EnterState(GAME_STATE_INTRO);
    MenuManager* menu = session->GetMenuManager();
    const Screen* intro = session->GetScreen();
    log.Clear();

    // The title asks for the main menu and its page while the frame runs.
    InputState::Get().InjectKey(kScancodeSpace, true);
    Frame(0.016f);
    InputManager::Get()->Update();
    session->Update();
    InputState::Get().InjectKey(kScancodeSpace, false);
    EXPECT_EQ(log.Count("session.state"), 0);
    EXPECT_EQ(log.Count("menu.screen"), 0);
    EXPECT_EQ(session->GetGameState(), GAME_STATE_INTRO);
    EXPECT_EQ(session->GetScreen(), intro);
    EXPECT_EQ(menu->GetCurrentScreen(), SCREEN_TITLE);
    EXPECT_EQ(menu->GetRequestedPage(), SCREEN_MAIN_MENU);

    // Before the next frame starts, the deployment is asked for too.
    session->SetGameState(GAME_STATE_DEPLOYMENT);
    EXPECT_EQ(session->GetGameState(), GAME_STATE_INTRO);
    Frame(0.016f);
    InputManager::Get()->Update();
    session->Update();
    EXPECT_EQ(session->GetGameState(), GAME_STATE_DEPLOYMENT);
    EXPECT_EQ(session->GetScreen()->GetState(), GAME_STATE_DEPLOYMENT);
    EXPECT_EQ(menu->GetCurrentScreen(), SCREEN_DEPLOYMENT);
    EXPECT_EQ(menu->GetRequestedPage(), MenuManager::NO_REQUEST);
    std::vector<std::string> lines;
    for (const LogRecord& record : log.Records())
        if (record.event == "session.state" || record.event == "menu.screen")
            lines.push_back(record.event + " " + record.text.substr(0, record.text.find(" at ")));
    const std::vector<std::string> expected = {"session.state GAME_STATE_DEPLOYMENT", "menu.screen SCREEN_DEPLOYMENT"};
    EXPECT_EQ(lines, expected);

    // Nothing asked for: the next frame changes nothing.
    log.Clear();
    Frame(0.016f);
    session->Update();
    EXPECT_EQ(session->GetGameState(), GAME_STATE_DEPLOYMENT);
    EXPECT_EQ(log.Count("session.state"), 0);
    InputManager::ResetForTests();
    InputState::Get().Reset();
}

// The screens reach the session through the front-end link, and each state the session enters shows its page.
TEST_F(GameSessionTest, TheSessionIsTheFrontEndLinkAndItsStatesPickThePage)
{
    EXPECT_EQ(FrontEndLink::Get(), static_cast<FrontEndLink*>(session.get()));
    MenuManager* menu = session->GetMenuManager();
    ASSERT_NE(menu, nullptr);
    ASSERT_TRUE(menu->IsBuilt());
    const struct {
        GameState state;
        int screen;
    } cases[] = {
        {GAME_STATE_MAIN_MENU, SCREEN_MAIN_MENU}, {GAME_STATE_DEPLOYMENT, SCREEN_DEPLOYMENT},
        {GAME_STATE_MAIN_MENU, SCREEN_MAIN_MENU}, {GAME_STATE_BATTLE, SCREEN_EMPTY},
        {GAME_STATE_MAIN_MENU, SCREEN_MAIN_MENU},
    };
    for (const auto& entry : cases) {
        EnterState(entry.state);
        EXPECT_EQ(menu->GetCurrentScreen(), entry.screen) << entry.state;
    }
    // Each change of state and of screen is one line of the log; entering the state it is in is none.
    log.Clear();
    EnterState(GAME_STATE_DEPLOYMENT);
    EnterState(GAME_STATE_DEPLOYMENT);
    EnterState(GAME_STATE_LOADING);
    std::vector<std::string> lines;
    // The state's line also tells the game time it changed at.
    for (const LogRecord& record : log.Records())
        if (record.event == "session.state" || record.event == "menu.screen")
            lines.push_back(record.event + " " + record.text.substr(0, record.text.find(" at ")));
    const std::vector<std::string> expected = {
        "session.state GAME_STATE_DEPLOYMENT",
        "menu.screen SCREEN_DEPLOYMENT",
        "session.state GAME_STATE_LOADING",
        "menu.screen SCREEN_EMPTY",
    };
    EXPECT_EQ(lines, expected);
    EnterState(GAME_STATE_MAIN_MENU);

    // The screens ask through the link with their own numbers.
    FrontEndLink::Get()->SetGameState(GAME_STATE_DEPLOYMENT);
    session->ApplyRequestedChanges();
    EXPECT_EQ(session->GetGameState(), GAME_STATE_DEPLOYMENT);
    EXPECT_EQ(menu->GetCurrentScreen(), SCREEN_DEPLOYMENT);

    session->Shutdown();
    EXPECT_EQ(FrontEndLink::Get(), nullptr);
}

// Every state is a screen of its own that the session holds while the state runs; the screen picks the page,
// and only a change to another state leaves it: the next state's screen follows as the change is applied.
TEST_F(GameSessionTest, EachStateRunsItsOwnScreenWhichPicksThePage)
{
    MenuManager* menu = session->GetMenuManager();
    ASSERT_NE(menu, nullptr);
    FrontEnd(*session).AddPlayer(0);
    FrontEnd(*session).AddPlayer(1);
    const struct {
        GameState state;
        int page;
    } cases[] = {
        {GAME_STATE_INTRO, SCREEN_TITLE},           {GAME_STATE_MAIN_MENU, SCREEN_MAIN_MENU},
        {GAME_STATE_DEPLOYMENT, SCREEN_DEPLOYMENT}, {GAME_STATE_LOADING, SCREEN_EMPTY},
        {GAME_STATE_BATTLE, SCREEN_EMPTY},          {GAME_STATE_GAME_OVER, SCREEN_END_OF_GAME},
        {GAME_STATE_INTRO, SCREEN_TITLE},
    };
    std::set<const Screen*> seen;
    for (const auto& entry : cases) {
        EnterState(entry.state);
        const Screen* screen = session->GetScreen();
        ASSERT_NE(screen, nullptr) << entry.state;
        EXPECT_EQ(screen->GetState(), entry.state);
        EXPECT_EQ(menu->GetCurrentScreen(), entry.page) << entry.state;
        seen.insert(screen);
    }
    // Six states, six screens; the intro entered again is the same screen as before.
    EXPECT_EQ(seen.size(), 6u);

    // The pointer and the help key are the player's everywhere but in the intro and the loading screen.
    EnterState(GAME_STATE_LOADING);
    EXPECT_LE(PointerCount(), -1);
    EnterState(GAME_STATE_BATTLE);
    EXPECT_GE(PointerCount(), 1);
    EXPECT_TRUE(session->GetScreen()->ShowsPointer());
    EnterState(GAME_STATE_INTRO);
    EXPECT_FALSE(session->GetScreen()->ShowsPointer());
}

// Only the main menu and the end page start from the pages' base colours: choosing who deploys re-enters the
// deployment state, and a reset there would snap the roster's fading player tint back to grey.
TEST_F(GameSessionTest, OnlyTheMainMenuAndTheEndPageResetThePageColours)
{
    MenuManager* menu = session->GetMenuManager();
    ASSERT_NE(menu, nullptr);
    ASSERT_TRUE(menu->IsBuilt());
    GuiElement* backdrop = menu->GetPage(SCREEN_DEPLOYMENT)->images.at(11);
    const D3DXCOLOR midFade(0.3f, 0.2f, 0.6f, 0.4f);
    const struct {
        GameState state;
        bool reset;
    } cases[] = {
        {GAME_STATE_DEPLOYMENT, false}, {GAME_STATE_DEPLOYMENT, false}, {GAME_STATE_LOADING, false},
        {GAME_STATE_BATTLE, false},     {GAME_STATE_MAIN_MENU, true},   {GAME_STATE_DEPLOYMENT, false},
    };
    for (const auto& entry : cases) {
        backdrop->colour = midFade;
        EnterState(entry.state);
        const D3DXCOLOR expected = entry.reset ? backdrop->baseColour : midFade;
        EXPECT_FLOAT_EQ(backdrop->colour.r, expected.r) << entry.state;
        EXPECT_FLOAT_EQ(backdrop->colour.a, expected.a) << entry.state;
    }
    // The end page resets too, once there are two armies to report on.
    FrontEnd(*session).AddPlayer(0);
    FrontEnd(*session).AddPlayer(1);
    backdrop->colour = midFade;
    EnterState(GAME_STATE_GAME_OVER);
    EXPECT_FLOAT_EQ(backdrop->colour.a, backdrop->baseColour.a);
    EXPECT_NE(backdrop->baseColour.a, midFade.a);
}

// The deployment screen shows each class's own attack figure: twice its strength, and its agility on top for
// a class whose primary attribute is agility, the number an attack starts from before its spread.
TEST_F(GameSessionTest, AClassSheetCarriesTheDamageItsAttackStartsFrom)
{
    struct Case {
        PrimaryAttribute primary;
        int strength;
        int agility;
        int damage;
    };
    const Case cases[] = {
        {PrimaryAttribute::STRENGTH, 14, 9, 28},
        {PrimaryAttribute::AGILITY, 8, 12, 28},
        {PrimaryAttribute::AGILITY, 6, 15, 27},
        {PrimaryAttribute::INTELLIGENCE, 4, 10, 8},
    };
    for (const Case& c : cases) {
        ClassUnit unit;
        unit.RulesForSetUp().attributes.primaryAttribute = c.primary;
        unit.RulesForSetUp().stats.strength = c.strength;
        unit.RulesForSetUp().stats.agility = c.agility;
        unit.RulesForSetUp().stats.intelligence = 30;
        const ClassSheet sheet = FrontEnd(*session).DescribeClass(unit);
        EXPECT_EQ(sheet.damage, c.damage) << c.strength << " " << c.agility;
        EXPECT_EQ(sheet.strength, c.strength);
        EXPECT_EQ(sheet.intelligence, 30);
    }
}

// Leaving the battle lets go of the HUD button under the pointer: the HUD no longer updates, so the button would
// never hear it was left and its name would stay over the main menu or the end page.
TEST_F(GameSessionTest, LeavingTheBattleLetsGoOfTheHoveredHudButton)
{
    MouseOverManager* mouseOver = MouseOverManager::Get();
    GuiButton focus;
    focus.SetName("Focus");
    for (GameState next : {GAME_STATE_MAIN_MENU, GAME_STATE_GAME_OVER}) {
        EnterState(GAME_STATE_BATTLE);
        mouseOver->EnterButton(&focus);
        // Re-entering the battle (a resumed game) keeps it: the HUD goes on updating it.
        EnterState(GAME_STATE_BATTLE);
        EXPECT_EQ(mouseOver->GetHoveredButton(), &focus) << next;
        EnterState(next);
        EXPECT_EQ(mouseOver->GetHoveredButton(), nullptr) << next;
    }
    // A front-end page's own button is still its own when the front end changes state.
    EnterState(GAME_STATE_MAIN_MENU);
    mouseOver->EnterButton(&focus);
    EnterState(GAME_STATE_DEPLOYMENT);
    EXPECT_EQ(mouseOver->GetHoveredButton(), &focus);
    mouseOver->ForgetButton(&focus);
}

// Removing reports whether the unit was in that army.
TEST_F(GameSessionTest, TheLinkRemovesAndDescribesOnlyUnitsOfTheNamedArmy)
{
    FrontEnd(*session).AddPlayer(0);
    FrontEnd(*session).AddPlayer(1);
    EXPECT_FALSE(FrontEnd(*session).BothPlayersHaveUnits());
    FakeUnit* a = Deploy(0, 5, 5);
    ASSERT_NE(a, nullptr);
    EXPECT_FALSE(FrontEnd(*session).BothPlayersHaveUnits());
    FakeUnit* b = Deploy(1, 6, 6);
    ASSERT_NE(b, nullptr);
    EXPECT_TRUE(FrontEnd(*session).BothPlayersHaveUnits());

    EXPECT_EQ(FrontEnd(*session).DescribeOccupant(nullptr).unit, nullptr);
    EXPECT_EQ(FrontEnd(*session).DescribeOccupant(nullptr).team, -1);

    EXPECT_FALSE(FrontEnd(*session).RemoveUnit(0, b));
    EXPECT_TRUE(FrontEnd(*session).RemoveUnit(1, b));
    EXPECT_FALSE(FrontEnd(*session).RemoveUnit(1, b));
    EXPECT_FALSE(FrontEnd(*session).BothPlayersHaveUnits());
}

// A refused start shuts down a session whose Init never ran.
TEST(GameSessionShutdown, ASessionNeverInitialisedShutsDownTwice)
{
    DataManager::ResetForTests();
    Camera::ResetForTests();
    {
        GameSession session;
        FrontEnd(session).ResetLevel();
        session.Shutdown();
        session.Shutdown();
        EXPECT_EQ(session.GetTurnFlow().GetPlayerCount(), 0);
    }
    Camera::ResetForTests();
    DataManager::ResetForTests();
}

TEST_F(GameSessionTest, TheDeviceResourceListLosesAndRemakesTheSceneTarget)
{
    DeviceResource::ResetAll();
    IDirect3DTexture9* scene = FrontEnd(*session).GetSceneTexture();
    ASSERT_NE(scene, nullptr);
    D3DSURFACE_DESC desc{};
    scene->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Width, 1024u);
    EXPECT_EQ(desc.Height, 768u);
    EXPECT_EQ(desc.Usage, static_cast<DWORD>(D3DUSAGE_RENDERTARGET));
    DeviceResource::LoseAll();
    EXPECT_EQ(FrontEnd(*session).GetSceneTexture(), nullptr);
    EXPECT_EQ(session->RenderSceneToTexture(), nullptr) << "nothing is drawn without a target";
    DeviceResource::ResetAll();
    EXPECT_NE(FrontEnd(*session).GetSceneTexture(), nullptr);
}

TEST_F(GameSessionTest, TheCameraFollowsTheSelectedUnitUntilItIsGone)
{
    FrontEnd(*session).AddPlayer(0);
    BodyUnit unit;
    unit.body.SetFollowsTerrain(false);
    unit.body.SetWorldPosition(100.0f, 5.0f, 200.0f);
    session->GetPlayer(0)->SelectUnit(&unit);
    EXPECT_EQ(Camera::Get()->GetTarget(), session.get());
    const D3DXVECTOR3 at = Followed(*session).GetTargetPosition();
    EXPECT_FLOAT_EQ(at.x, 100.0f);
    EXPECT_FLOAT_EQ(at.y, 5.0f);
    EXPECT_FLOAT_EQ(at.z, 200.0f);
    // An upright body: forward (0, 0, 1) x right (1, 0, 0) is the world's up.
    D3DXVECTOR3 first, second, up;
    Followed(*session).GetOrientationAxes(first, second);
    D3DXVec3Cross(&up, &first, &second);
    EXPECT_FLOAT_EQ(up.y, 1.0f);
    EXPECT_FALSE(Followed(*session).HasTargetOfItsOwn());
    FakeUnit enemy;
    unit.target = &enemy;
    EXPECT_TRUE(Followed(*session).HasTargetOfItsOwn());
    View(*session).ForgetUnit(&unit);
    EXPECT_EQ(Camera::Get()->GetTarget(), nullptr);
}

TEST_F(GameSessionTest, ShuttingDownWhileLoadingWaitsForTheJob)
{
    FrontEnd(*session).AddPlayer(0);
    SlowUnit::DeletedWhileLoading() = false;
    NextFakeUnit() = new SlowUnit(session->GetHexGrid());
    BoardUnit::SetFactory(TakeNextFakeUnit);
    FrontEnd(*session).AddUnit(0, "Militia.txt", 5, 5);
    BoardUnit::SetFactory(nullptr);
    EnterState(GAME_STATE_LOADING);
    session->Shutdown();
    EXPECT_FALSE(SlowUnit::DeletedWhileLoading());
}

TEST_F(GameSessionTest, EachStateUpdatesItsOwnPartOfTheScene)
{
    // The board fades in the deployment, battle and game-over frames, not behind the main menu: 5 a second
    // fading in, so 0.1 s brings a hidden hex to 0.5.
    struct Case {
        GameState state;
        float alpha;
    };
    const Case cases[] = {
        {GAME_STATE_MAIN_MENU, 0.0f},
        {GAME_STATE_DEPLOYMENT, 0.5f},
        {GAME_STATE_GAME_OVER, 0.5f},
        {GAME_STATE_BATTLE, 0.5f},
    };
    for (const Case& c : cases) {
        EnterState(c.state);
        Hex* hex = At(1, 1);
        hex->fadeState = FADE_IN;
        hex->alpha = 0.0f;
        hex->targetAlpha = 1.0f;
        Frame(0.1f);
        session->Update();
        EXPECT_NEAR(hex->alpha, c.alpha, 1e-6f) << c.state;
    }
}

TEST_F(GameSessionTest, UnitsGetFloatingTextsWhileTheSessionRuns)
{
    // Without labels a unit's messages ("Out of Range", the damage dealt) are never seen.
    std::unique_ptr<CombatText> text = CombatText::Create(600.0f, 12.0f);
    ASSERT_NE(text, nullptr);
    session.reset();
    EXPECT_EQ(CombatText::Create(600.0f, 12.0f), nullptr);
}
