// The units of a full battle: 22 skinned models (two of each class) walking, updated and drawn at 1024 x 768
// on the OpenGL device, against the same frame without them (clear and present only), so the difference is
// what the units cost. Run under xvfb-run with LP_NUM_THREADS=2 to measure llvmpipe on two cores.
#include "BenchDevice.h"
#include "core/DataManager.h"
#include "scene/AnimatedMesh.h"
#include "scene/Camera.h"
#include "scene/MeshOwner.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

namespace {

const char* const CLASS_MODELS[] = {"pikeman", "militia", "paladin", "mage",   "combatMage", "healer",
                                    "rogue",   "assassin", "scout",  "knight", "archer"};

class NoOwner : public MeshOwner
{
public:
    ID3DXEffect* GetOwnerEffect() const override { return nullptr; }
};

void UnitsFrame(benchmark::State& state, bool withUnits)
{
    HWND window = MakeBenchWindow("ModelBenchWindow");
    DataManager::Reset();
    Camera::ResetForTests();
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = window ? MakeDevice(D3D9_BACKEND_GL, window, &d3d) : nullptr;
    if (!device) {
        state.SkipWithError("no OpenGL display (run under xvfb-run)");
        if (d3d)
            d3d->Release();
        D3D9SetBackEnd(D3D9_BACKEND_AUTO);
        return;
    }
    DataManager::Get()->SetDevice(device);
    // The battle's view: the board from the camera's usual height, units two hexes apart in two ranks.
    Camera::Get()->SetEyeAndTarget(D3DXVECTOR3(0.0f, 900.0f, -1400.0f), D3DXVECTOR3(0.0f, 0.0f, 200.0f));
    Camera::Get()->SetProjectionFov(1024.0f, 768.0f, 10.0f, 20000.0f);
    NoOwner owner;
    std::vector<std::unique_ptr<AnimatedMesh>> units;
    std::vector<D3DXMATRIX> places;
    if (withUnits) {
        for (int rank = 0; rank < 2; ++rank) {
            for (int i = 0; i < 11; ++i) {
                auto mesh = std::make_unique<AnimatedMesh>();
                const std::string base = CLASS_MODELS[i];
                mesh->LoadWithEffect(&owner, base + ".x", true);
                mesh->LoadAnimationFile(base + "_walk.x");
                mesh->PlayAnimation("Walk", true);
                D3DXMATRIX place;
                D3DXMatrixTranslation(&place, (static_cast<float>(i) - 5.0f) * 224.0f, 0.0f, rank * 448.0f);
                places.push_back(place);
                units.push_back(std::move(mesh));
            }
        }
    }
    device->SetRenderState(D3DRS_ZENABLE, TRUE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    auto frame = [&] {
        DataManager::Get()->AdvanceTime(1.0f / 60.0f);
        for (size_t i = 0; i < units.size(); ++i)
            units[i]->Update(&places[i]);
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF405060, 1.0f, 0);
        device->BeginScene();
        for (auto& unit : units)
            unit->DrawFrames();
        device->EndScene();
        device->Present(nullptr, nullptr, nullptr, nullptr);
    };
    for (int warm = 0; warm < 5; ++warm)
        frame();
    for (auto _ : state)
        frame();
    for (auto& unit : units)
        unit->Release();
    units.clear();
    DataManager::Get()->ReleaseAll();
    DataManager::Reset();
    Camera::ResetForTests();
    device->Release();
    d3d->Release();
    DestroyWindow(window);
    D3D9SetBackEnd(D3D9_BACKEND_AUTO);
}

void BM_EmptyBattleFrame(benchmark::State& state)
{
    UnitsFrame(state, false);
}
BENCHMARK(BM_EmptyBattleFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_TwentyTwoUnitsFrame(benchmark::State& state)
{
    UnitsFrame(state, true);
}
BENCHMARK(BM_TwentyTwoUnitsFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
