// Cost of one whole frame of the game application at 1024 x 768 on the OpenGL device: the frame update,
// the scene (straight onto the back buffer or through the post-process pass), the interface and Present.
// Needs a display (run the benchmarks under xvfb-run); without one it reports that it was skipped.
//
// BM_GameApplicationFrame is the start-up view: the main menu over the start-up level.
// BM_BattleFrame is a full battle: 16 units (every class, five of them twice) loaded by the loading job, the
// fly-over over, the HUD up for the unit whose turn it is, its ring emitters, the units' shadows, blood decals
// and burning emitters among the ranks. Both report rss_mb, the process's resident memory at the end, and
// copies_mb, the part of it that is the device's memory copies of textures and buffers (what GL holds is not
// counted: textures uploaded and not locked since live there alone).
//
// Both also report cpu_ms, the processor time of all the process's threads (the game's and the driver's) per
// frame: on a busy machine it moves less than the frame's wall-clock time.
//
// Both report "layers": the fragments shaded in one frame over the pixels of the window (the driver's own count,
// from a pipeline-statistics query), that is how many times on average each pixel is drawn. Clears are not
// counted; llvmpipe fills them without running a fragment program.
//
// BENCH_POST_PASS=1 sends every frame through the post-process pass (the frame as it was drawn before the scene
// went straight onto the back buffer); BENCH_WORLD_CACHE=0 draws the start-up view's world every frame instead of
// keeping its picture while the camera stands still; BENCH_SHOT=<prefix> writes each benchmark's last frame to
// <prefix><benchmark>.bmp, for comparing pictures (compare -metric AE).
#include "app/FrameClock.h"
#include "app/GameApplication.h"
#include "app/GameSession.h"
#include "app/LaunchOptions.h"
#include "battle/Player.h"
#include "battle/Unit.h"
#include "core/DataManager.h"
#include "d3d9/D3D9.h"
#include "d3d9/ResourceBase.h"
#include "d3dx9/D3DX9.h"
#include "scene/Decal.h"
#include "scene/DecalManager.h"
#include "scene/ParticleEmitter.h"
#include "scene/SkyDome.h"

#include <benchmark/benchmark.h>
#include <epoxy/gl.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

const char* const CLASS_FILES[] = {"Pikeman.txt",    "Militia.txt", "Paladin.txt", "Mage.txt",
                                   "CombatMage.txt", "Healer.txt",  "Rogue.txt",   "Assassin.txt",
                                   "Scout.txt",      "Knight.txt",  "Archer.txt"};
constexpr int CLASS_COUNT = 11;
constexpr int UNITS_A_SIDE = 8;
// Game seconds a frame while the battle is set up, so the loading bar and the fly-over pass quickly.
constexpr float SET_UP_STEP = 0.05f;

double ResidentMegabytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atof(line.c_str() + 6) / 1024.0;
    return 0.0;
}

double ProcessCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1.0e6;
}

std::unique_ptr<GameApplication> MakeApplication(benchmark::State& state)
{
    // The benchmark library runs this more than once; each run starts as a fresh process would.
    DataManager::ResetForTests();
    // The sky's clock outlives an application: each run's day starts at the same hour.
    SkyDome::ResetForTests();
    D3D9SetBackEnd(D3D9_BACKEND_GL);
    auto app = std::make_unique<GameApplication>();
    static char module;
    if (FAILED(app->Create(reinterpret_cast<HINSTANCE>(&module), nullptr)) || !app->GetDevice()) {
        state.SkipWithError("no OpenGL display (run under xvfb-run)");
        D3D9SetBackEnd(D3D9_BACKEND_AUTO);
        return nullptr;
    }
    app->SetWindowSize(1024, 768);
    const char* postPass = std::getenv("BENCH_POST_PASS");
    app->SetPostPassAlways(postPass && std::strcmp(postPass, "1") == 0);
    const char* worldCache = std::getenv("BENCH_WORLD_CACHE");
    app->GetSession()->SetWorldCacheAllowed(!worldCache || std::strcmp(worldCache, "0") != 0);
    return app;
}

// Only the first run of each benchmark in the process is photographed: the library runs a benchmark again to
// reach its minimum time, and later runs start from what the earlier ones left (the camera, the sky's hour).
void SaveShot(GameApplication& app, const char* name)
{
    static std::set<std::string> taken;
    const char* prefix = std::getenv("BENCH_SHOT");
    if (!prefix || !*prefix || !taken.insert(name).second)
        return;
    IDirect3DSurface9* surface = nullptr;
    if (SUCCEEDED(app.GetDevice()->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &surface)) && surface) {
        D3DXSaveSurfaceToFileA((std::string(prefix) + name + ".bmp").c_str(), D3DXIFF_BMP, surface, nullptr, nullptr);
        surface->Release();
    }
}

void CloseApplication(std::unique_ptr<GameApplication> app)
{
    PostQuitMessage(0);
    app->Run();
    app.reset();
    FrameClock::SetFixedStep(0.0f);
    D3D9SetBackEnd(D3D9_BACKEND_AUTO);
}

void Frame(GameApplication& app)
{
    app.UpdateFrame();
    app.Render();
}

// Fragments shaded per pixel of the window in one frame, or 0 where the driver cannot count them. The game's
// device keeps its context current on this thread, so the query sees its draws.
double LayersPerPixel(GameApplication& app)
{
    if (!epoxy_has_gl_extension("GL_ARB_pipeline_statistics_query"))
        return 0.0;
    GLuint query = 0;
    glGenQueries(1, &query);
    glBeginQuery(GL_FRAGMENT_SHADER_INVOCATIONS_ARB, query);
    app.UpdateFrame();
    app.Render();
    glEndQuery(GL_FRAGMENT_SHADER_INVOCATIONS_ARB);
    GLuint64 fragments = 0;
    glGetQueryObjectui64v(query, GL_QUERY_RESULT, &fragments);
    glDeleteQueries(1, &query);
    const D3DPRESENT_PARAMETERS& pp = app.GetPresentParameters();
    return static_cast<double>(fragments) / (static_cast<double>(pp.BackBufferWidth) * pp.BackBufferHeight);
}

void BM_GameApplicationFrame(benchmark::State& state)
{
    std::unique_ptr<GameApplication> app = MakeApplication(state);
    if (!app)
        return;
    // Outside the intro, so the frame also draws the interface text.
    app->GetSession()->SetGameState(GAME_STATE_MAIN_MENU);
    for (int warm = 0; warm < 10; ++warm)
        Frame(*app);
    SaveShot(*app, "start-up");
    const double cpuBefore = ProcessCpuMs();
    for (auto _ : state)
        Frame(*app);
    state.counters["cpu_ms"] = (ProcessCpuMs() - cpuBefore) / static_cast<double>(state.iterations());
    state.counters["layers"] = LayersPerPixel(*app);
    // Every benchmark of a CSV report carries the same counters.
    state.counters["rss_mb"] = ResidentMegabytes();
    state.counters["copies_mb"] = static_cast<double>(ResourceBase::SystemCopyBytes()) / (1024.0 * 1024.0);
    CloseApplication(std::move(app));
}
BENCHMARK(BM_GameApplicationFrame)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

void BM_BattleFrame(benchmark::State& state)
{
    std::unique_ptr<GameApplication> app = MakeApplication(state);
    if (!app)
        return;
    GameSession* session = app->GetSession();
    // The front end deploys the armies; the session is its link.
    FrontEndLink& frontEnd = *session;
    frontEnd.LoadLevel("Farm");
    frontEnd.AddPlayer(0);
    frontEnd.AddPlayer(1);
    // Two ranks a few hexes apart; between them every class at least once.
    for (int team = 0; team < 2; ++team)
        for (int i = 0; i < UNITS_A_SIDE; ++i)
            frontEnd.AddUnit(team, CLASS_FILES[(team * UNITS_A_SIDE + i) % CLASS_COUNT], 14 + 6 * team, 12 + 2 * i);
    FrameClock::SetFixedStep(SET_UP_STEP);
    session->SetGameState(GAME_STATE_LOADING);
    session->ApplyRequestedChanges();
    for (int frame = 0; frame < 2000 && session->GetGameState() == GAME_STATE_LOADING; ++frame)
        Frame(*app);
    for (int frame = 0; frame < 2000 && (session->GetFlyOver().IsActive() || !session->GetTurnFlow().IsTurnActive());
         ++frame)
        Frame(*app);
    if (session->GetGameState() != GAME_STATE_BATTLE || session->GetFlyOver().IsActive()) {
        state.SkipWithError("the battle did not begin");
        CloseApplication(std::move(app));
        return;
    }

    // Blood where a few blows fell and fires burning among the ranks.
    std::vector<std::unique_ptr<ParticleEmitter>> emitters;
    int placed = 0;
    for (int team = 0; team < 2; ++team)
        for (BoardUnit* unit : session->GetPlayer(team)->GetUnits()) {
            const D3DXVECTOR3 at = dynamic_cast<Unit*>(unit)->GetPosition();
            if (placed % 3 == 0) {
                auto* blood = new Decal;
                blood->SetTexture("BloodSplat" + std::to_string(placed % 5 + 1) + ".tga");
                blood->Create(4, at.x + 60.0f, at.z - 40.0f, true);
                DecalManager::Get()->Add(blood);
            }
            if (placed % 6 == 0) {
                auto emitter = std::make_unique<ParticleEmitter>();
                emitter->LoadFile(placed % 12 ? "SmokeEmitter.txt" : "Fire_EmbersEmitter.txt");
                emitter->emitting = true;
                emitter->Settings().origin = at;
                emitters.push_back(std::move(emitter));
            }
            ++placed;
        }
    if (placed != 2 * UNITS_A_SIDE) {
        state.SkipWithError("the armies are not complete");
        CloseApplication(std::move(app));
        return;
    }

    // Measured at the game's own pace again (or the fixed one asked for, which makes the pictures repeatable).
    const LaunchOptions options = LaunchOptions::FromEnvironment();
    FrameClock::SetFixedStep(options.frameTime ? *options.frameTime : 0.0f);
    const auto submitEmitters = [&] {
        for (const auto& emitter : emitters) {
            emitter->Update();
            emitter->Submit();
        }
    };
    for (int warm = 0; warm < 30; ++warm) {
        submitEmitters();
        Frame(*app);
    }
    SaveShot(*app, "battle");
    const double cpuBefore = ProcessCpuMs();
    for (auto _ : state) {
        submitEmitters();
        Frame(*app);
    }
    state.counters["cpu_ms"] = (ProcessCpuMs() - cpuBefore) / static_cast<double>(state.iterations());
    state.counters["rss_mb"] = ResidentMegabytes();
    state.counters["copies_mb"] = static_cast<double>(ResourceBase::SystemCopyBytes()) / (1024.0 * 1024.0);
    submitEmitters();
    state.counters["layers"] = LayersPerPixel(*app);
    emitters.clear();
    CloseApplication(std::move(app));
}
BENCHMARK(BM_BattleFrame)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

} // namespace
