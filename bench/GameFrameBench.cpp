// Cost of one whole frame of the game application at 1024 x 768 on the OpenGL device: the frame update,
// the scene render target, the post-process pass, the interface text and Present. Needs a display (run
// the benchmarks under xvfb-run); without one it reports that it was skipped.
#include "app/GameApplication.h"
#include "app/GameSession.h"
#include "core/DataManager.h"
#include "d3d9/D3D9.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

void BM_GameApplicationFrame(benchmark::State& state)
{
    // The benchmark library runs this more than once; each run starts as a fresh process would.
    DataManager::ResetForTests();
    D3D9SetBackEnd(D3D9_BACKEND_GL);
    auto app = std::make_unique<GameApplication>();
    static char module;
    if (FAILED(app->Create(reinterpret_cast<HINSTANCE>(&module), nullptr)) || !app->GetDevice()) {
        state.SkipWithError("no OpenGL display (run under xvfb-run)");
        D3D9SetBackEnd(D3D9_BACKEND_AUTO);
        return;
    }
    app->SetWindowSize(1024, 768);
    // Outside the intro, so the frame also draws the interface text.
    app->GetSession()->SetGameState(GAME_STATE_MAIN_MENU);
    for (int warm = 0; warm < 10; ++warm) {
        app->UpdateFrame();
        app->Render();
    }
    for (auto _ : state) {
        app->UpdateFrame();
        app->Render();
    }
    PostQuitMessage(0);
    app->Run();
    app.reset();
    D3D9SetBackEnd(D3D9_BACKEND_AUTO);
}
BENCHMARK(BM_GameApplicationFrame)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

} // namespace
