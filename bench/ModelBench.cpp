// The units of a full battle: 22 skinned models (two of each class) walking, updated and drawn at 1024 x 768
// on the OpenGL device, against the same frame without them (clear and present only), so the difference is
// what the units cost. Run under xvfb-run with LP_NUM_THREADS=2 to measure llvmpipe on two cores.
//
// The cost is taken apart by leaving stages out, each against the empty frame of the same run:
//   UpdateOnly     the animation controllers and frame matrices, nothing drawn
//   NullDevice     update and draw calls on the null device, without its clear and present: the game's and
//                  the effect layer's CPU work on its own (its cost is its whole time)
//   NoPixels       everything on the OpenGL device into a 1 x 1 viewport: CPU, GL calls and llvmpipe's
//                  vertex shading and triangle setup, but (almost) no pixels
//   TwentyTwoUnits the whole frame; minus NoPixels, what the covered pixels cost
// Counters: vertices, triangles and draw calls per frame, and the pixels the units cover.
#include "BenchDevice.h"
#include "core/DataManager.h"
#include "scene/AnimatedMesh.h"
#include "scene/Camera.h"
#include "scene/MeshContainer.h"
#include "scene/MeshFrame.h"
#include "scene/MeshOwner.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

const char* const CLASS_MODELS[] = {"pikeman", "militia",  "paladin", "mage",   "combatMage", "healer",
                                    "rogue",   "assassin", "scout",   "knight", "archer"};
constexpr D3DCOLOR CLEAR_COLOUR = 0xFF405060;

class NoOwner : public MeshOwner
{
public:
    ID3DXEffect* GetOwnerEffect() const override { return nullptr; }
};

enum class Stage
{
    EMPTY,
    UPDATE_ONLY,
    NULL_DEVICE,
    NO_PIXELS,
    FULL
};

struct DrawCounts {
    double vertices = 0;
    double triangles = 0;
    double draws = 0;
};

void CountFrame(const MeshFrame* frame, DrawCounts& counts)
{
    for (; frame; frame = static_cast<const MeshFrame*>(frame->pFrameSibling)) {
        for (auto* c = static_cast<const MeshContainer*>(frame->pMeshContainer); c;
             c = static_cast<const MeshContainer*>(c->pNextMeshContainer)) {
            if (!c->pSkinInfo || !c->boneCombinations)
                continue;
            const auto* combinations = static_cast<const D3DXBONECOMBINATION*>(c->boneCombinations->GetBufferPointer());
            for (DWORD i = 0; i < c->attributeGroupCount; ++i) {
                counts.vertices += combinations[i].VertexCount;
                counts.triangles += combinations[i].FaceCount;
                counts.draws += 1;
            }
        }
        CountFrame(static_cast<const MeshFrame*>(frame->pFrameFirstChild), counts);
    }
}

// Pixels of the back buffer that differ from the clear colour.
double CoveredPixels(IDirect3DDevice9* device)
{
    IDirect3DSurface9* backBuffer = nullptr;
    if (FAILED(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer)) || !backBuffer)
        return 0;
    D3DSURFACE_DESC desc{};
    backBuffer->GetDesc(&desc);
    D3DLOCKED_RECT locked{};
    double covered = 0;
    if (SUCCEEDED(backBuffer->LockRect(&locked, nullptr, D3DLOCK_READONLY)) && locked.pBits) {
        for (UINT y = 0; y < desc.Height; ++y) {
            const auto* row = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(locked.pBits) +
                                                                static_cast<size_t>(y) * locked.Pitch);
            for (UINT x = 0; x < desc.Width; ++x)
                covered += (row[x] & 0xFFFFFFu) != (CLEAR_COLOUR & 0xFFFFFFu) ? 1 : 0;
        }
        backBuffer->UnlockRect();
    }
    backBuffer->Release();
    return covered;
}

void UnitsFrame(benchmark::State& state, Stage stage)
{
    const bool gl = stage != Stage::NULL_DEVICE;
    HWND window = gl ? MakeBenchWindow("ModelBenchWindow") : nullptr;
    DataManager::ResetForTests();
    Camera::ResetForTests();
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
    if (gl)
        device = window ? MakeDevice(D3D9_BACKEND_GL, window, &d3d) : nullptr;
    else
        device = MakeDevice(D3D9_BACKEND_NULL, nullptr, &d3d);
    if (!device) {
        state.SkipWithError("no OpenGL display (run under xvfb-run)");
        return;
    }
    DataManager::Get()->SetDevice(device);
    // The battle's view: the board from the camera's usual height, units two hexes apart in two ranks.
    Camera::Get()->SetEyeAndTarget(D3DXVECTOR3(0.0f, 900.0f, -1400.0f), D3DXVECTOR3(0.0f, 0.0f, 200.0f));
    Camera::Get()->SetProjectionFov(1024.0f, 768.0f, 10.0f, 20000.0f);
    NoOwner owner;
    std::vector<std::unique_ptr<AnimatedMesh>> units;
    std::vector<D3DXMATRIX> places;
    DrawCounts counts;
    if (stage != Stage::EMPTY) {
        for (int rank = 0; rank < 2; ++rank) {
            for (int i = 0; i < 11; ++i) {
                auto mesh = std::make_unique<AnimatedMesh>();
                const std::string base = CLASS_MODELS[i];
                mesh->LoadWithEffect(&owner, base + ".x", true);
                mesh->LoadAnimationFile(base + "_walk.x");
                mesh->PlayAnimation("Walk", true);
                CountFrame(mesh->GetRoot(), counts);
                D3DXMATRIX place;
                D3DXMatrixTranslation(&place, (static_cast<float>(i) - 5.0f) * 224.0f, 0.0f, rank * 448.0f);
                places.push_back(place);
                units.push_back(std::move(mesh));
            }
        }
    }
    device->SetRenderState(D3DRS_ZENABLE, TRUE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    D3DVIEWPORT9 full{0, 0, 1024, 768, 0.0f, 1.0f};
    D3DVIEWPORT9 dot{0, 0, 1, 1, 0.0f, 1.0f};
    const bool draw = stage != Stage::UPDATE_ONLY;
    auto frame = [&](bool noPixels) {
        DataManager::Get()->AdvanceTime(1.0f / 60.0f);
        for (size_t i = 0; i < units.size(); ++i)
            units[i]->Update(&places[i]);
        device->SetViewport(&full);
        // The null device clears and presents in memory, which is no part of what is measured there.
        if (gl)
            device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, CLEAR_COLOUR, 1.0f, 0);
        device->BeginScene();
        if (noPixels)
            device->SetViewport(&dot);
        if (draw) {
            for (auto& unit : units)
                unit->DrawFrames();
        }
        device->EndScene();
        if (gl)
            device->Present(nullptr, nullptr, nullptr, nullptr);
    };
    for (int warm = 0; warm < 5; ++warm)
        frame(false);
    double covered = 0;
    if (gl && stage != Stage::EMPTY) {
        // The picture of the whole frame, read before the presented frame is gone.
        DataManager::Get()->AdvanceTime(0.0f);
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, CLEAR_COLOUR, 1.0f, 0);
        device->BeginScene();
        for (auto& unit : units)
            unit->DrawFrames();
        device->EndScene();
        covered = CoveredPixels(device);
        // VARNHOLT_BENCH_PICTURE=file.png keeps the measured frame to look at.
        if (const char* picture = std::getenv("VARNHOLT_BENCH_PICTURE"); picture && *picture) {
            IDirect3DSurface9* backBuffer = nullptr;
            if (SUCCEEDED(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer)) && backBuffer) {
                D3DXSaveSurfaceToFileA(picture, D3DXIFF_PNG, backBuffer, nullptr, nullptr);
                backBuffer->Release();
            }
        }
    }
    for (auto _ : state)
        frame(stage == Stage::NO_PIXELS);
    state.counters["vertices"] = draw ? counts.vertices : 0;
    state.counters["triangles"] = draw ? counts.triangles : 0;
    state.counters["draws"] = draw ? counts.draws : 0;
    state.counters["pixels"] = covered;
    for (auto& unit : units)
        unit->Release();
    units.clear();
    DataManager::Get()->ReleaseAll();
    DataManager::ResetForTests();
    Camera::ResetForTests();
    DeviceKit::Release(d3d, device);
    if (window)
        DestroyWindow(window);
    D3D9SetBackEnd(D3D9_BACKEND_AUTO);
}

void BM_EmptyBattleFrame(benchmark::State& state)
{
    UnitsFrame(state, Stage::EMPTY);
}
BENCHMARK(BM_EmptyBattleFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_TwentyTwoUnitsUpdateOnly(benchmark::State& state)
{
    UnitsFrame(state, Stage::UPDATE_ONLY);
}
BENCHMARK(BM_TwentyTwoUnitsUpdateOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_TwentyTwoUnitsNullDevice(benchmark::State& state)
{
    UnitsFrame(state, Stage::NULL_DEVICE);
}
BENCHMARK(BM_TwentyTwoUnitsNullDevice)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_TwentyTwoUnitsNoPixels(benchmark::State& state)
{
    UnitsFrame(state, Stage::NO_PIXELS);
}
BENCHMARK(BM_TwentyTwoUnitsNoPixels)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_TwentyTwoUnitsFrame(benchmark::State& state)
{
    UnitsFrame(state, Stage::FULL);
}
BENCHMARK(BM_TwentyTwoUnitsFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
