// Loading a full battle's units (two of each class, every animation file) on the OpenGL device, each run from
// cold caches:
//   BM_LoadUnitsOnWorker  the 22 units' LoadModel with animations on a worker thread, the device made on
//                         the main thread, as the loading job does it (the time is the worker's)
//   BM_DeployToBattle     the game application from entering the loading state to the first battle frame,
//                         the loading screen drawn meanwhile; "beyond_bar_s" is what it took beyond the
//                         loading bar's own minimum (the bar fills in 10/3 s once the job is done)
// Run under xvfb-run with LP_NUM_THREADS=2, pinned to two cores.
#include "BenchDevice.h"
#include "app/FrameClock.h"
#include "app/GameApplication.h"
#include "app/GameSession.h"
#include "battle/ClassUnit.h"
#include "battle/Player.h"
#include "core/DataManager.h"
#include "core/InputManager.h"
#include "scene/AnimationFileCache.h"
#include "scene/Camera.h"
#include "ui/MouseOverManager.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace {

const char* const ClassFiles[] = {"Pikeman.txt",    "Militia.txt", "Paladin.txt", "Mage.txt",
                                  "CombatMage.txt", "Healer.txt",  "Rogue.txt",   "Assassin.txt",
                                  "Scout.txt",      "Knight.txt",  "Archer.txt"};
// Seconds the loading bar takes to fill once the job has ended (progress 10 at 3 a second).
constexpr double BAR_MINIMUM = 10.0 / 3.0;

void BM_LoadUnitsOnWorker(benchmark::State& state)
{
    HWND window = MakeBenchWindow("LoadingBenchWindow");
    DataManager::ResetForTests();
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = window ? MakeDevice(D3D9_BACKEND_GL, window, &d3d) : nullptr;
    if (!device) {
        state.SkipWithError("no OpenGL display (run under xvfb-run)");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        DataManager::ResetForTests();
        AnimationFileCache::Clear();
        DataManager::Get()->SetDevice(device);
        std::vector<std::unique_ptr<ClassUnit>> units;
        for (int team = 0; team < 2; ++team) {
            for (const char* file : ClassFiles) {
                units.push_back(std::make_unique<ClassUnit>());
                units.back()->Load(file);
            }
        }
        state.ResumeTiming();
        std::thread worker([&units] {
            for (auto& unit : units)
                unit->LoadModel(true);
        });
        worker.join();
        state.PauseTiming();
        for (auto& unit : units)
            unit->Release();
        units.clear();
        DataManager::Get()->ReleaseAll();
        state.ResumeTiming();
    }
    DataManager::ResetForTests();
    AnimationFileCache::Clear();
    DeviceKit::Release(d3d, device);
    DestroyWindow(window);
    D3D9SetBackEnd(D3D9_BACKEND_AUTO);
}
BENCHMARK(BM_LoadUnitsOnWorker)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_DeployToBattle(benchmark::State& state)
{
    double beyond = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        DataManager::ResetForTests();
        AnimationFileCache::Clear();
        Camera::ResetForTests();
        MouseOverManager::ResetForTests();
        InputManager::ResetForTests();
        FrameClock::ResetForTests();
        D3D9SetBackEnd(D3D9_BACKEND_GL);
        auto app = std::make_unique<GameApplication>();
        static char module;
        if (FAILED(app->Create(reinterpret_cast<HINSTANCE>(&module), nullptr)) || !app->GetDevice()) {
            state.SkipWithError("no OpenGL display (run under xvfb-run)");
            D3D9SetBackEnd(D3D9_BACKEND_AUTO);
            return;
        }
        app->SetWindowSize(1024, 768);
        GameSession* session = app->GetSession();
        // The front end deploys the armies; the session is its link.
        FrontEndLink& frontEnd = *session;
        frontEnd.LoadLevel("Farm");
        frontEnd.AddPlayer(0);
        frontEnd.AddPlayer(1);
        for (int team = 0; team < 2; ++team)
            for (int i = 0; i < 11; ++i)
                frontEnd.AddUnit(team, ClassFiles[i], 14 + 6 * team, 10 + 2 * i);
        // The deployment screen loads each model as it is placed (without animations).
        frontEnd.LoadUnitModels(false);
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        session->SetGameState(GAME_STATE_LOADING);
        session->ApplyRequestedChanges();
        while (session->GetGameState() == GAME_STATE_LOADING &&
               std::chrono::steady_clock::now() - start < std::chrono::seconds(60)) {
            app->UpdateFrame();
            app->Render();
        }
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.PauseTiming();
        beyond += seconds - BAR_MINIMUM;
        PostQuitMessage(0);
        app->Run();
        app.reset();
        D3D9SetBackEnd(D3D9_BACKEND_AUTO);
        state.ResumeTiming();
    }
    state.counters["beyond_bar_s"] = beyond / static_cast<double>(state.iterations());
    DataManager::ResetForTests();
    AnimationFileCache::Clear();
    Camera::ResetForTests();
    MouseOverManager::ResetForTests();
    InputManager::ResetForTests();
}
BENCHMARK(BM_DeployToBattle)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

} // namespace
