// Cost of the scene's effects in a busy battle: 100 emitters of 200 live particles each, 40 world quads and
// 30 decals. The simulation alone runs without a device; the frame is updated and drawn on the OpenGL device at
// 1024 x 768 (run under xvfb-run; without a display it reports that it was skipped), timing the update and
// the draw apart.
#include "DeviceKit.h"
#include "core/DataManager.h"
#include "core/Random.h"
#include "d3d9/D3D9.h"
#include "scene/Camera.h"
#include "scene/Decal.h"
#include "scene/DecalManager.h"
#include "scene/EmitterFile.h"
#include "scene/ParticleEmitter.h"
#include "scene/ParticleManager.h"
#include "scene/WorldQuad.h"
#include "win32/Win32.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <vector>

namespace {

constexpr int EMITTERS = 100;
constexpr int LIVE = 200;
constexpr int QUADS = 40;
constexpr int DECALS = 30;
constexpr UINT WIDTH = 1024;
constexpr UINT HEIGHT = 768;

// A long-lived cloud that fills its pool in its first update, with every kind of key to evaluate.
EmitterFile Cloud()
{
    EmitterFile file;
    EmitterSettings& s = file.settings;
    s.textureName = "particleDot.tga";
    s.poolSize = LIVE;
    s.perBurst = LIVE;
    s.interval = 0.0f;
    s.life = 1.0e6f;
    s.spawnExtents = D3DXVECTOR3(60.0f, 60.0f, 60.0f);
    s.directionVariance = D3DXVECTOR3(0.5f, 0.5f, 0.5f);
    s.colourFromFirstKey = s.sizeFromFirstKey = true;
    file.directionKeys = {{0.0f, 1.0f, 0.0f, 0.2f, 0.0f}, {0.5f, 98.0f, 0.0f, 0.0f, 0.0f}};
    file.colourKeys = {{0.0f, 1.0f, 200.0f, 120.0f, 40.0f}, {1.0f, 1.0f, 60.0f, 30.0f, 10.0f}};
    file.speedKeys = {{0.0f, 1.0f, 5.0f}, {1.0f, 1.0f, 2.0f}};
    file.sizeKeys = {{0.0f, 1.0f, 8.0f}, {1.0f, 1.0f, 12.0f}};
    return file;
}

std::vector<std::unique_ptr<ParticleEmitter>> MakeEmitters()
{
    std::vector<std::unique_ptr<ParticleEmitter>> emitters;
    const EmitterFile file = Cloud();
    for (int i = 0; i < EMITTERS; ++i) {
        auto emitter = std::make_unique<ParticleEmitter>();
        emitter->Load(file);
        emitter->position = D3DXVECTOR3(-1350.0f + 300.0f * static_cast<float>(i % 10), 100.0f,
                                        -1350.0f + 300.0f * static_cast<float>(i / 10));
        emitters.push_back(std::move(emitter));
    }
    DataManager::Get()->AdvanceTime(1.0f / 60.0f);
    for (auto& emitter : emitters)
        emitter->Update();
    return emitters;
}

void BM_EffectsSimulation(benchmark::State& state)
{
    DataManager::ResetForTests();
    Srand(1);
    auto emitters = MakeEmitters();
    size_t live = 0;
    for (auto& emitter : emitters)
        live += emitter->LiveParticles().size();
    for (auto _ : state) {
        DataManager::Get()->AdvanceTime(1.0f / 60.0f);
        for (auto& emitter : emitters) {
            emitter->MotionStep();
            emitter->UpdateParticles();
        }
    }
    state.counters["live"] = static_cast<double>(live);
    emitters.clear();
    DataManager::ResetForTests();
}
BENCHMARK(BM_EffectsSimulation)->Unit(benchmark::kMillisecond);

LRESULT CALLBACK EffectsBenchWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

void BM_EffectsFrameOnGl(benchmark::State& state)
{
    WNDCLASSA wc{};
    wc.lpfnWndProc = EffectsBenchWindowProc;
    wc.lpszClassName = "EffectsBenchWindow";
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(0, "EffectsBenchWindow", "bench", WS_POPUP, 0, 0, WIDTH, HEIGHT, nullptr, nullptr,
                                  nullptr, nullptr);
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
    if (window)
        DeviceKit::Make(D3D9_BACKEND_GL, window, WIDTH, HEIGHT, 0, &d3d, &device);
    if (!device) {
        state.SkipWithError("no OpenGL device (run under xvfb-run)");
        if (window)
            DestroyWindow(window);
        return;
    }
    DataManager::ResetForTests();
    DataManager::Get()->SetDevice(device);
    Srand(1);
    Camera::ResetForTests();
    Camera* camera = Camera::Get();
    camera->SetProjectionFov(static_cast<float>(WIDTH), static_cast<float>(HEIGHT), 200.0f, 40000.0f);
    camera->SetEyeAndTarget(D3DXVECTOR3(0.0f, 1800.0f, -2600.0f), D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);

    auto emitters = MakeEmitters();
    std::vector<std::unique_ptr<WorldQuad>> quads;
    for (int i = 0; i < QUADS; ++i) {
        auto quad = std::make_unique<WorldQuad>();
        quad->SetTexture(i % 2 ? "red.tga" : "HealthMana.tga");
        quad->CreateBuffer(70.0f, 8.0f);
        quad->alpha = 1.0f;
        quad->fill = 0.5f;
        quads.push_back(std::move(quad));
    }
    for (int i = 0; i < DECALS; ++i) {
        auto* decal = new Decal;
        decal->SetTexture("BloodSplat" + std::to_string(i % 5 + 1) + ".tga");
        decal->Create(5, -1400.0f + 100.0f * static_cast<float>(i), 200.0f * static_cast<float>(i % 3), true);
        DecalManager::Get()->Add(decal);
    }

    double updateSeconds = 0.0, drawSeconds = 0.0;
    using Clock = std::chrono::steady_clock;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        DataManager::Get()->AdvanceTime(1.0f / 60.0f);
        for (auto& emitter : emitters)
            emitter->Update();
        DecalManager::Get()->UpdateAll();
        for (int i = 0; i < QUADS; ++i)
            quads[static_cast<size_t>(i)]->Submit(-1300.0f + 65.0f * static_cast<float>(i), 260.0f, 0.0f);
        ParticleManager::Get()->Update();
        const Clock::time_point updated = Clock::now();

        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF202830, 1.0f, 0);
        device->BeginScene();
        DecalManager::Get()->Render();
        for (auto& emitter : emitters)
            emitter->Submit();
        for (auto& quad : quads)
            quad->Queue();
        ParticleManager::Get()->Render();
        device->EndScene();
        // Present hands the frame to the window system, which needs the finished pixels.
        device->Present(nullptr, nullptr, nullptr, nullptr);
        const Clock::time_point drawn = Clock::now();
        updateSeconds += std::chrono::duration<double>(updated - start).count();
        drawSeconds += std::chrono::duration<double>(drawn - updated).count();
    }
    const double frames = static_cast<double>(state.iterations());
    state.counters["update_ms"] = updateSeconds * 1000.0 / frames;
    state.counters["draw_ms"] = drawSeconds * 1000.0 / frames;

    quads.clear();
    emitters.clear();
    DecalManager::ResetForTests();
    ParticleManager::ResetForTests();
    Camera::ResetForTests();
    DataManager::ResetForTests();
    DeviceKit::Release(d3d, device);
    DestroyWindow(window);
}
BENCHMARK(BM_EffectsFrameOnGl)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
