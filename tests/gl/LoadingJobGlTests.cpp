// A full battle's units (two of each class) loaded by the loading job on the worker thread while the main
// thread draws the loading screen on the OpenGL device, and then drawn in the battle. The ThreadSanitizer
// tree runs this too: the two threads must share nothing without a guard.
#include "app/FrameClock.h"
#include "app/GameApplication.h"
#include "app/GameSession.h"
#include "battle/ClassUnit.h"
#include "battle/Player.h"
#include "core/DataManager.h"
#include "core/InputManager.h"
#include "scene/AnimatedMesh.h"
#include "scene/Camera.h"
#include "ui/MouseOverManager.h"
#include "win32/TestHooks.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace {

const char* const ClassFiles[] = {"Pikeman.txt",    "Militia.txt", "Paladin.txt", "Mage.txt",
                                  "CombatMage.txt", "Healer.txt",  "Rogue.txt",   "Assassin.txt",
                                  "Scout.txt",      "Knight.txt",  "Archer.txt"};

class LoadingJobGl : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Win32TestHooks::ResetWindowLayer();
        Win32TestHooks::CaptureMessageBoxes(true);
        D3D9SetBackEnd(D3D9_BACKEND_GL);
        FrameClock::Clear();
        DataManager::Reset();
        Camera::ResetForTests();
        MouseOverManager::ResetForTests();
        InputManager::Reset();
        app = std::make_unique<GameApplication>();
        static char module;
        ASSERT_EQ(app->Create(reinterpret_cast<HINSTANCE>(&module), nullptr), S_OK);
        app->SetWindowSize(1024, 768);
    }

    void TearDown() override
    {
        if (app) {
            PostQuitMessage(0);
            app->Run();
            app.reset();
        }
        MouseOverManager::ResetForTests();
        InputManager::Reset();
        Camera::ResetForTests();
        DataManager::Reset();
        D3D9SetBackEnd(D3D9_BACKEND_AUTO);
        Win32TestHooks::ResetWindowLayer();
    }

    void Frame()
    {
        app->UpdateFrame();
        app->Render();
    }

    std::unique_ptr<GameApplication> app;
};

} // namespace

TEST_F(LoadingJobGl, TheUnitsOfAFullBattleLoadOnTheWorkerWhileTheLoadingScreenIsDrawn)
{
    GameSession* session = app->GetSession();
    session->LoadLevel("Farm");
    session->AddPlayer(0);
    session->AddPlayer(1);
    // Two ranks a few hexes apart, each player one unit of every class.
    for (int team = 0; team < 2; ++team)
        for (int i = 0; i < 11; ++i)
            session->AddUnit(team, ClassFiles[i], 14 + 6 * team, 10 + 2 * i);
    std::vector<ClassUnit*> units;
    for (int team = 0; team < 2; ++team)
        for (BoardUnit* unit : session->GetPlayer(team)->GetUnits())
            units.push_back(dynamic_cast<ClassUnit*>(unit));
    ASSERT_EQ(units.size(), 22u);
    for (ClassUnit* unit : units)
        ASSERT_NE(unit, nullptr);

    session->SetGameState(GAME_STATE_LOADING);
    // The bar fills at most 0.3 of its length a second once the job is done: 3.4 s after the job, the battle.
    int framesWhileLoading = 0;
    const auto start = std::chrono::steady_clock::now();
    while (session->GetGameState() == GAME_STATE_LOADING &&
           std::chrono::steady_clock::now() - start < std::chrono::seconds(60)) {
        if (!session->IsLoaded())
            ++framesWhileLoading;
        Frame();
    }
    ASSERT_EQ(session->GetGameState(), GAME_STATE_BATTLE);
    EXPECT_GE(framesWhileLoading, 1) << "the loading screen is drawn while the worker loads";

    for (ClassUnit* unit : units) {
        ASSERT_TRUE(unit->model && unit->model->IsLoaded()) << unit->GetCost();
        // Idle and the eleven animation files' sets at least (the knight's extra files more).
        EXPECT_GE(unit->model->GetSetCount(), 12u);
        EXPECT_EQ(unit->model->GetNames().count("Walk"), 1u);
        EXPECT_TRUE(unit->visible);
    }
    // The battle draws them: the buffers and textures made on the worker reach GL on this thread.
    for (int frame = 0; frame < 3; ++frame)
        Frame();
    EXPECT_EQ(session->GetGameState(), GAME_STATE_BATTLE);
}
