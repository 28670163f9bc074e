// The world's costs: loading a battle level (file, terrain, light map, octree, static objects) on the null
// device, and one frame of the start-up scene (Timberwolf Ravine from its preset: stars, sky, terrain, static
// objects, then a full-screen textured pass standing in for the post-process pass) at 1024 x 768 on the
// OpenGL device. Run under xvfb-run with LP_NUM_THREADS=2 to measure llvmpipe on two cores.
#include "BenchDevice.h"
#include "core/DataManager.h"
#include "d3d9/D3D9.h"
#include "scene/Camera.h"
#include "scene/DecalManager.h"
#include "scene/SkyDome.h"
#include "scene/StarField.h"
#include "scene/Terrain.h"
#include "win32/Win32.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

void BM_LevelLoad(benchmark::State& state)
{
    static const char* const kLevels[] = {"Farm.txt", "winter_wonderland.txt", "Citadel Courtyard.txt"};
    const char* level = kLevels[state.range(0)];
    DataManager::ResetForTests();
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = MakeDevice(D3D9_BACKEND_NULL, nullptr, &d3d);
    if (!device) {
        state.SkipWithError("no null device");
        return;
    }
    DataManager::Get()->SetDevice(device);
    {
        auto terrain = std::make_unique<Terrain>();
        terrain->Init();
        Terrain::SetCurrent(terrain.get());
        terrain->LoadLevel(level); // the meshes and textures are read once, as a second battle finds them cached
        for (auto _ : state)
            benchmark::DoNotOptimize(terrain->LoadLevel(level));
        Terrain::SetCurrent(nullptr);
    }
    state.SetLabel(level);
    DecalManager::ResetForTests();
    DataManager::ResetForTests();
    DeviceKit::Release(d3d, device);
    D3D9SetBackEnd(D3D9_BACKEND_AUTO);
}
BENCHMARK(BM_LevelLoad)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

void BM_StartUpSceneFrame(benchmark::State& state)
{
    HWND window = MakeBenchWindow("SceneBenchWindow");
    DataManager::ResetForTests();
    Camera::ResetForTests();
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = window ? MakeDevice(D3D9_BACKEND_GL, window, &d3d) : nullptr;
    if (!device) {
        state.SkipWithError("no OpenGL display (run under xvfb-run)");
        return;
    }
    DataManager* data = DataManager::Get();
    data->SetDevice(device);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    for (DWORD stage = 0; stage < 8; ++stage) {
        device->SetSamplerState(stage, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
        device->SetSamplerState(stage, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
        device->SetSamplerState(stage, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR);
    }
    {
        auto sky = std::make_unique<SkyDome>();
        auto stars = std::make_unique<StarField>();
        auto terrain = std::make_unique<Terrain>();
        SkyDome::SetCurrent(sky.get());
        Terrain::SetCurrent(terrain.get());
        terrain->Init();
        sky->Init(16384.0f, 16384.0f);
        stars->Init();
        terrain->LoadLevel("winter_wonderland.txt");
        Camera* camera = Camera::Get();
        camera->SetProjection();
        camera->SetPreset(1);
        TextureRecord* post = data->GetTexture("winter_snow.tga");
        struct Quad {
            float x, y, z, rhw;
            D3DCOLOR colour;
            float u, v;
        };
        const Quad quad[4] = {{0, 0, 0, 1, 0xFFFFFFFF, 0, 0},
                              {1024, 0, 0, 1, 0xFFFFFFFF, 1, 0},
                              {0, 768, 0, 1, 0xFFFFFFFF, 0, 1},
                              {1024, 768, 0, 1, 0xFFFFFFFF, 1, 1}};
        auto frame = [&] {
            camera->Update();
            terrain->Update();
            device->BeginScene();
            device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF808080, 1.0f, 0);
            stars->Render();
            device->SetRenderState(D3DRS_FOGENABLE, terrain->GetLevelData().fogEnable ? TRUE : FALSE);
            sky->Render();
            terrain->Render();
            terrain->DrawStaticObjects();
            device->SetRenderState(D3DRS_FOGENABLE, FALSE);
            // The post-process pass reads the scene once per pixel: one texture over the whole screen.
            device->SetRenderState(D3DRS_ZENABLE, FALSE);
            device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
            device->SetTexture(0, post ? post->texture : nullptr);
            device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
            device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Quad));
            device->SetRenderState(D3DRS_ZENABLE, TRUE);
            device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
            device->EndScene();
            device->Present(nullptr, nullptr, nullptr, nullptr);
        };
        for (int warm = 0; warm < 5; ++warm)
            frame();
        for (auto _ : state)
            frame();
        Terrain::SetCurrent(nullptr);
        SkyDome::SetCurrent(nullptr);
        terrain.reset();
        stars->Release();
    }
    DecalManager::ResetForTests();
    DataManager::ResetForTests();
    Camera::ResetForTests();
    DeviceKit::Release(d3d, device);
    DestroyWindow(window);
    D3D9SetBackEnd(D3D9_BACKEND_AUTO);
}
BENCHMARK(BM_StartUpSceneFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
