// Where the time of a scene frame goes on the OpenGL device at 1024 x 768. The scene is drawn as the game
// draws it (into the 1024 x 768 scene target, then through the post-process pass onto the back buffer, then
// Present), once with every pass and once with each pass alone over the bare frame (scene target cleared,
// back buffer presented). Rounds interleave the variants, so a busy machine slows them alike; each pass is
// reported as its frame less the bare frame of the same round, min/median/max over the rounds.
//
// The terrain is also set against the cheapest draw that covers the same pixels once with one texture: the
// whole grid in one draw through the fixed function, one texture, no blending.
//
//   scene_passes [--battle] [--rounds N] [--frames N] [--shot file.bmp] [--passes a,b] [--only variant]
//
// --battle: the board seen from the battle camera's height, with 22 target glows, unit shadow and blood
// decals and the Farm level's ambient emitters; otherwise the start-up scene (Winter from its preset).
// --units (with --battle): also the 22 skinned units, two of each class, walking where the glows are.
// --shot: writes the full frame's scene target to a BMP file, to compare pictures before and after a change.
// Run under xvfb-run with LP_NUM_THREADS=2 and taskset -c 0,1 to measure llvmpipe on two cores.
#include "../BenchDevice.h"
#include "core/DataManager.h"
#include "core/RenderDefaults.h"
#include "d3dx9/D3DX9.h"
#include "scene/AnimatedMesh.h"
#include "scene/Camera.h"
#include "scene/Decal.h"
#include "scene/DecalManager.h"
#include "scene/MeshOwner.h"
#include "scene/ParticleEmitter.h"
#include "scene/ParticleManager.h"
#include "scene/SkyDome.h"
#include "scene/StarField.h"
#include "scene/StaticObjectSet.h"
#include "scene/Terrain.h"
#include "scene/TerrainVertex.h"
#include "win32/Win32.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr UINT WIDTH = 1024;
constexpr UINT HEIGHT = 768;

enum Pass : unsigned
{
    STARS = 1u << 0,
    SKY = 1u << 1,
    TERRAIN = 1u << 2,
    DECALS = 1u << 3,
    STATICS = 1u << 4,
    GLOWS = 1u << 5,
    PARTICLES = 1u << 6,
    POST = 1u << 7,
    REFERENCE = 1u << 8,
    UNITS = 1u << 10,
    STARS_FIRST = 1u << 9, // the stars drawn first even where they could wait behind the ground
};

struct Variant {
    const char* name;
    unsigned passes;
};

struct ScreenVertex {
    float x, y, z, rhw;
    D3DCOLOR colour;
    float u, v;
};

long ResidentKilobytes(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0)
            return std::atol(line.c_str() + std::strlen(field));
    return 0;
}

class NoOwner : public MeshOwner
{
public:
    ID3DXEffect* GetOwnerEffect() const override { return nullptr; }
};

const char* const CLASS_MODELS[] = {"pikeman", "militia",  "paladin", "mage",   "combatMage", "healer",
                                    "rogue",   "assassin", "scout",   "knight", "archer"};

struct Stats {
    double min, median, max;
};

// The processor time of every thread (the driver's rasterizer threads too): on a busy machine it grows less
// than the wall time, as waiting for a processor is not counted.
double ProcessCpuMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1.0e6;
}

Stats Summarise(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    if (values.empty())
        return {0, 0, 0};
    return {values.front(), values[(values.size() - 1) / 2], values.back()};
}

} // namespace

int main(int argc, char** argv)
{
    bool battle = false;
    bool withUnits = false;
    int rounds = 7;
    int frames = 20;
    std::string shot;
    std::string only;
    std::string pick;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--battle")
            battle = true;
        else if (arg == "--units")
            withUnits = true;
        else if (arg == "--rounds" && i + 1 < argc)
            rounds = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--frames" && i + 1 < argc)
            frames = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--shot" && i + 1 < argc)
            shot = argv[++i];
        else if (arg == "--only" && i + 1 < argc)
            only = argv[++i];
        else if (arg == "--passes" && i + 1 < argc)
            pick = "," + std::string(argv[++i]) + ",";
    }

    HWND window = MakeBenchWindow("ScenePassesWindow");
    DataManager::ResetForTests();
    Camera::ResetForTests();
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = window ? MakeDevice(D3D9_BACKEND_GL, window, &d3d) : nullptr;
    if (!device) {
        std::fprintf(stderr, "scene_passes: no OpenGL display (run under xvfb-run)\n");
        return 1;
    }
    DataManager* data = DataManager::Get();
    data->SetDevice(device);
    RenderDefaults::Apply(device);

    const auto loadStart = std::chrono::steady_clock::now();
    auto sky = std::make_unique<SkyDome>();
    auto stars = std::make_unique<StarField>();
    auto terrain = std::make_unique<Terrain>();
    SkyDome::SetCurrent(sky.get());
    Terrain::SetCurrent(terrain.get());
    const auto effectStart = std::chrono::steady_clock::now();
    terrain->Init();
    const double effectMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - effectStart).count();
    sky->Init(16384.0f, 16384.0f);
    stars->Init();
    terrain->LoadLevel(battle ? "Farm.txt" : "winter_wonderland.txt");
    const double loadMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - loadStart).count();
    Camera* camera = Camera::Get();
    camera->SetProjection();
    float centre[3];
    terrain->Centre(centre);
    if (battle) {
        // The battle camera at its starting distance and height, behind a unit near the middle of the board.
        const D3DXVECTOR3 aim(centre[0], centre[1] + 100.0f, centre[2]);
        camera->SetEyeAndTarget(aim + D3DXVECTOR3(0.0f, Camera::START_HEIGHT, -Camera::START_DISTANCE), aim);
    } else {
        camera->SetPreset(1);
    }

    std::vector<std::unique_ptr<ParticleEmitter>> emitters;
    std::vector<std::unique_ptr<Decal>> shadows;
    NoOwner owner;
    std::vector<std::unique_ptr<AnimatedMesh>> units;
    std::vector<D3DXMATRIX> places;
    if (battle) {
        // 22 units in two ranks two hexes apart: a target glow and a shadow decal each, blood under some.
        StaticObjectSet* objects = terrain->GetStaticObjects();
        for (int rank = 0; rank < 2; ++rank) {
            for (int i = 0; i < 11; ++i) {
                const float x = centre[0] + (static_cast<float>(i) - 5.0f) * 224.0f;
                const float z = centre[2] + static_cast<float>(rank) * 448.0f;
                const D3DXVECTOR3 at(x, terrain->HeightAt(x, z), z);
                objects->AddGlow("PolyGlow.x", 0.0f, 99999.0f, at, true);
                if (withUnits) {
                    auto mesh = std::make_unique<AnimatedMesh>();
                    const std::string model = CLASS_MODELS[i];
                    mesh->LoadWithEffect(&owner, model + ".x", true);
                    mesh->LoadAnimationFile(model + "_walk.x");
                    mesh->PlayAnimation("Walk", true);
                    D3DXMATRIX place;
                    D3DXMatrixTranslation(&place, at.x, at.y, at.z);
                    places.push_back(place);
                    units.push_back(std::move(mesh));
                }
                auto shadow = std::make_unique<Decal>();
                shadow->SetTexture("shadowDecal.tga");
                shadow->Create(3, x, z, false);
                shadows.push_back(std::move(shadow));
                if (i % 3 == 0) {
                    auto* blood = new Decal;
                    blood->SetTexture("BloodSplat" + std::to_string(i % 5 + 1) + ".tga");
                    blood->Create(4, x + 60.0f, z - 40.0f, true);
                    DecalManager::Get()->Add(blood);
                }
            }
        }
        for (const char* file : {"Smoldering.txt", "SmokeEmitter.txt", "Fire_EmbersEmitter.txt"}) {
            auto emitter = std::make_unique<ParticleEmitter>();
            emitter->LoadFile(file);
            emitter->emitting = true;
            emitter->Settings().origin = D3DXVECTOR3(centre[0] + 300.0f, centre[1], centre[2] + 900.0f);
            emitters.push_back(std::move(emitter));
        }
        for (int i = 0; i < 6; ++i) {
            auto emitter = std::make_unique<ParticleEmitter>();
            emitter->LoadFile(i % 2 ? "defendEmitter.txt" : "focusEmitter.txt");
            emitter->emitting = true;
            emitter->Settings().origin =
                D3DXVECTOR3(centre[0] + (static_cast<float>(i) - 3.0f) * 224.0f, centre[1], centre[2]);
            emitters.push_back(std::move(emitter));
        }
    }

    // The scene target as the game makes it.
    IDirect3DTexture9* sceneTexture = nullptr;
    IDirect3DSurface9* sceneSurface = nullptr;
    ID3DXRenderToSurface* sceneRenderer = nullptr;
    device->CreateTexture(WIDTH, HEIGHT, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &sceneTexture,
                          nullptr);
    if (sceneTexture)
        sceneTexture->GetSurfaceLevel(0, &sceneSurface);
    D3DXCreateRenderToSurface(device, WIDTH, HEIGHT, D3DFMT_X8R8G8B8, TRUE, D3DFMT_D24S8, &sceneRenderer);
    if (!sceneSurface || !sceneRenderer) {
        std::fprintf(stderr, "scene_passes: no scene target\n");
        return 1;
    }
    ID3DXEffect* post = data->GetEffect("postProcess.fx");
    if (post)
        post->SetTechnique("PostProcess");
    IDirect3DVertexBuffer9* quad = nullptr;
    device->CreateVertexBuffer(4 * sizeof(ScreenVertex), 0, D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1,
                               D3DPOOL_MANAGED, &quad, nullptr);
    if (quad) {
        void* locked = nullptr;
        quad->Lock(0, 0, &locked, D3DLOCK_DISCARD);
        const ScreenVertex corners[4] = {{0, HEIGHT, 0, 1, 0xFFFFFFFF, 0, 1},
                                         {0, 0, 0, 1, 0xFFFFFFFF, 0, 0},
                                         {WIDTH, HEIGHT, 0, 1, 0xFFFFFFFF, 1, 1},
                                         {WIDTH, 0, 0, 1, 0xFFFFFFFF, 1, 0}};
        std::memcpy(locked, corners, sizeof corners);
        quad->Unlock();
    }

    // The reference: the terrain's grid in one buffer, one texture through the fixed function.
    IDirect3DVertexBuffer9* grid = nullptr;
    IDirect3DIndexBuffer9* gridIndices = nullptr;
    struct GridVertex {
        float x, y, z;
        float u, v;
    };
    const int n = Terrain::GRID;
    const UINT gridTriangles = static_cast<UINT>((n - 1) * (n - 1) * 2);
    device->CreateVertexBuffer(static_cast<UINT>(n * n) * sizeof(GridVertex), D3DUSAGE_WRITEONLY,
                               D3DFVF_XYZ | D3DFVF_TEX1, D3DPOOL_MANAGED, &grid, nullptr);
    device->CreateIndexBuffer(gridTriangles * 3 * 4, D3DUSAGE_WRITEONLY, D3DFMT_INDEX32, D3DPOOL_MANAGED, &gridIndices,
                              nullptr);
    if (grid && gridIndices) {
        void* locked = nullptr;
        grid->Lock(0, 0, &locked, 0);
        auto* v = static_cast<GridVertex*>(locked);
        for (int r = 0; r < n; ++r)
            for (int c = 0; c < n; ++c) {
                const TerrainVertex t = terrain->VertexAt(c, r);
                *v++ = GridVertex{t.position[0], t.position[1], t.position[2], t.uv[0][0], t.uv[0][1]};
            }
        grid->Unlock();
        gridIndices->Lock(0, 0, &locked, 0);
        auto* index = static_cast<uint32_t*>(locked);
        for (int r = 0; r < n - 1; ++r)
            for (int c = 0; c < n - 1; ++c) {
                const uint32_t i = static_cast<uint32_t>(r * n + c);
                const uint32_t w = static_cast<uint32_t>(n);
                for (uint32_t k : {i, i + w, i + w + 1, i, i + w + 1, i + 1})
                    *index++ = k;
            }
        gridIndices->Unlock();
    }
    TextureRecord* referenceTexture = terrain->GetTextureSlot(0);

    auto drawReference = [&] {
        // Sampled as the terrain samples each of its textures: wrapped, bilinear from the nearest mip level.
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
        device->SetRenderState(D3DRS_FOGENABLE, FALSE);
        device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
        device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP);
        device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_POINT);
        D3DXMATRIX identity;
        D3DXMatrixIdentity(&identity);
        device->SetTransform(D3DTS_WORLD, &identity);
        device->SetTransform(D3DTS_VIEW, &camera->GetView());
        device->SetTransform(D3DTS_PROJECTION, &camera->GetProjection());
        device->SetTexture(0, referenceTexture ? referenceTexture->texture : nullptr);
        device->SetFVF(D3DFVF_XYZ | D3DFVF_TEX1);
        device->SetStreamSource(0, grid, 0, sizeof(GridVertex));
        device->SetIndices(gridIndices);
        device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, static_cast<UINT>(n * n), 0, gridTriangles);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
        device->SetRenderState(D3DRS_FOGENABLE, terrain->GetLevelData().fogEnable ? TRUE : FALSE);
        device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_MIRROR);
        device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_MIRROR);
        device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR);
    };

    auto frame = [&](unsigned passes) {
        data->AdvanceTime(1.0f / 60.0f);
        camera->Update();
        terrain->Update();
        sky->Update();
        for (auto& emitter : emitters)
            emitter->Update();
        DecalManager::Get()->UpdateAll();
        for (auto& shadow : shadows)
            shadow->Refresh(false);
        for (size_t u = 0; u < units.size(); ++u)
            units[u]->Update(&places[u]);
        ParticleManager::Get()->Update();

        sceneRenderer->BeginScene(sceneSurface, nullptr);
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF808080, 1.0f, 0);
        device->SetTransform(D3DTS_VIEW, &camera->GetView());
        device->SetTransform(D3DTS_PROJECTION, &camera->GetProjection());
        if (passes & STARS) {
            if (passes & STARS_FIRST)
                SkyDome::SetCurrent(nullptr);
            stars->Render();
            SkyDome::SetCurrent(sky.get());
        }
        device->SetRenderState(D3DRS_FOGENABLE, terrain->GetLevelData().fogEnable ? TRUE : FALSE);
        if (passes & SKY)
            sky->Render();
        if (passes & TERRAIN)
            terrain->Render();
        if (passes & REFERENCE)
            drawReference();
        if (passes & DECALS) {
            for (auto& shadow : shadows)
                DecalManager::Get()->Submit(shadow.get());
            DecalManager::Get()->Render();
        }
        if (passes & UNITS) {
            // The units' effect keeps the states of its pass (it does not save them; in the game the effect of
            // the unit around them does): put back what it changes.
            const D3DRENDERSTATETYPE kept[] = {D3DRS_ALPHABLENDENABLE, D3DRS_CULLMODE, D3DRS_ZENABLE,
                                               D3DRS_ZWRITEENABLE};
            DWORD values[std::size(kept)];
            for (size_t k = 0; k < std::size(kept); ++k)
                device->GetRenderState(kept[k], &values[k]);
            data->SetTechnique("SkinnedCharacterBump");
            for (auto& unit : units)
                unit->DrawFrames();
            for (size_t k = 0; k < std::size(kept); ++k)
                device->SetRenderState(kept[k], values[k]);
        }
        if (passes & (STATICS | GLOWS)) {
            // The static set draws its objects and then its glows; the other half is hidden for the pass alone.
            StaticObjectSet* objects = terrain->GetStaticObjects();
            if (passes & STATICS && passes & GLOWS)
                objects->Render();
            else if (passes & STATICS)
                objects->RenderObjects();
            else
                objects->RenderGlows();
        }
        // Stars that waited for a ground that this frame does not draw.
        StarField::DrawWaiting();
        device->SetRenderState(D3DRS_FOGENABLE, FALSE);
        if (passes & PARTICLES) {
            for (auto& emitter : emitters)
                emitter->Submit();
            ParticleManager::Get()->Render();
        }
        sceneRenderer->EndScene(0);

        device->BeginScene();
        if (passes & POST && post && quad) {
            post->SetTexture("PostProcessTexture", sceneTexture);
            device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
            device->SetStreamSource(0, quad, 0, sizeof(ScreenVertex));
            UINT count = 0;
            post->Begin(&count, 0);
            for (UINT pass = 0; pass < count; ++pass) {
                post->BeginPass(pass);
                device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2);
                post->EndPass();
            }
            post->End();
        }
        device->EndScene();
        device->Present(nullptr, nullptr, nullptr, nullptr);
    };

    const unsigned scene =
        STARS | SKY | TERRAIN | STATICS | POST | (battle ? DECALS | GLOWS | PARTICLES : 0u) | (withUnits ? UNITS : 0u);
    std::vector<Variant> variants = {{"bare", 0},          {"full", scene},      {"stars", STARS},
                                     {"sky", SKY},         {"terrain", TERRAIN}, {"reference", REFERENCE},
                                     {"statics", STATICS}, {"post", POST}};
    variants.push_back({"full, stars first", scene | STARS_FIRST});
    if (battle) {
        variants.push_back({"decals", DECALS});
        variants.push_back({"glows", GLOWS});
        variants.push_back({"particles", PARTICLES});
        if (withUnits)
            variants.push_back({"units", UNITS});
    }

    if (!shot.empty()) {
        // After the same three frames whatever else is asked, so that the sky's clock agrees between runs.
        for (int f = 0; f < 3; ++f)
            frame(scene);
        D3DXSaveSurfaceToFileA(shot.c_str(), D3DXIFF_BMP, sceneSurface, nullptr, nullptr);
    }
    if (!pick.empty()) {
        // Only the named passes (besides the bare and full frames): --passes terrain,reference.
        std::vector<Variant> kept(variants.begin(), variants.begin() + 2);
        for (size_t v = 2; v < variants.size(); ++v)
            if (pick.find("," + std::string(variants[v].name) + ",") != std::string::npos)
                kept.push_back(variants[v]);
        variants = kept;
    }
    if (!only.empty()) {
        // One variant alone, for a profiler: --only terrain --frames 300.
        for (const Variant& variant : variants)
            if (only == variant.name)
                for (int f = 0; f < frames; ++f)
                    frame(variant.passes);
        rounds = 0;
    }
    for (int warm = 0; warm < 5 && rounds > 0; ++warm)
        for (const Variant& variant : variants)
            frame(variant.passes);

    std::vector<std::vector<double>> times(variants.size()), cpuTimes(variants.size());
    using Clock = std::chrono::steady_clock;
    for (int round = 0; round < rounds; ++round) {
        for (size_t v = 0; v < variants.size(); ++v) {
            frame(variants[v].passes); // the first frame of a variant settles its state changes
            const double cpuStart = ProcessCpuMilliseconds();
            const Clock::time_point start = Clock::now();
            for (int f = 0; f < frames; ++f)
                frame(variants[v].passes);
            times[v].push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count() / frames);
            cpuTimes[v].push_back((ProcessCpuMilliseconds() - cpuStart) / frames);
        }
    }

    auto report = [&](const std::vector<std::vector<double>>& table, const char* what) {
        std::printf("%s scene, %d rounds of %d frames, %s per frame (min / median / max)\n",
                    battle ? "battle" : "start-up", rounds, frames, what);
        const Stats bare = Summarise(table[0]);
        std::printf("  %-22s %7.2f %7.2f %7.2f\n", "bare frame", bare.min, bare.median, bare.max);
        const Stats full = Summarise(table[1]);
        std::printf("  %-22s %7.2f %7.2f %7.2f   (%.2f x the bare frame, median)\n", "full frame", full.min,
                    full.median, full.max, full.median / bare.median);
        std::vector<double> terrainCost, referenceCost;
        for (size_t v = 2; v < variants.size(); ++v) {
            // Whole frames are shown as they are, passes as their frame less the bare frame of the round.
            const bool whole = (variants[v].passes & POST) && variants[v].passes != POST;
            std::vector<double> cost;
            for (int round = 0; round < rounds; ++round)
                cost.push_back(table[v][static_cast<size_t>(round)] -
                               (whole ? 0.0 : table[0][static_cast<size_t>(round)]));
            if (variants[v].passes == TERRAIN)
                terrainCost = cost;
            if (variants[v].passes == REFERENCE)
                referenceCost = cost;
            const Stats s = Summarise(cost);
            std::printf("  %-22s %7.2f %7.2f %7.2f\n", ((whole ? "" : "+ ") + std::string(variants[v].name)).c_str(),
                        s.min, s.median, s.max);
        }
        if (!terrainCost.empty() && !referenceCost.empty()) {
            std::vector<double> ratio;
            for (size_t round = 0; round < terrainCost.size(); ++round)
                ratio.push_back(terrainCost[round] / std::max(referenceCost[round], 0.01));
            const Stats r = Summarise(ratio);
            std::printf("  terrain / reference    %7.2f %7.2f %7.2f\n", r.min, r.median, r.max);
        }
    };
    if (rounds > 0) {
        report(times, "ms");
        report(cpuTimes, "processor ms of all threads");
        std::printf("  terrain set-up %.1f ms (its effect compiled), level load %.1f ms (first: textures and meshes "
                    "read)\n  resident %ld kB, peak %ld kB\n",
                    effectMs, loadMs, ResidentKilobytes("VmRSS:"), ResidentKilobytes("VmHWM:"));
    }

    quad->Release();
    grid->Release();
    gridIndices->Release();
    sceneRenderer->Release();
    sceneSurface->Release();
    sceneTexture->Release();
    emitters.clear();
    shadows.clear();
    for (auto& unit : units)
        unit->Release();
    units.clear();
    Terrain::SetCurrent(nullptr);
    SkyDome::SetCurrent(nullptr);
    terrain.reset();
    stars->Release();
    DecalManager::ResetForTests();
    ParticleManager::ResetForTests();
    DataManager::ResetForTests();
    Camera::ResetForTests();
    device->Release();
    d3d->Release();
    DestroyWindow(window);
    return 0;
}
