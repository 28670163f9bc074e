#include "scene/Terrain.h"
#include "d3d9/ShaderProgram.h"
#include "d3dx9/Effect.h"
#include "scene/Decal.h"
#include "scene/DecalManager.h"
#include "scene/HexTypeSink.h"
#include "scene/LevelObject.h"
#include "scene/ParticleEmitter.h"
#include "scene/SceneFixture.h"
#include "scene/SkyDome.h"
#include "scene/StarField.h"
#include "scene/StaticObjectSet.h"
#include "scene/TerrainOctree.h"
#include "win32/Log.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <map>

namespace {

class TerrainTest : public SceneFixture
{
protected:
    void SetUp() override
    {
        SceneFixture::SetUp();
        terrain = std::make_unique<Terrain>();
        terrain->Init();
        Terrain::SetCurrent(terrain.get());
    }
    void TearDown() override
    {
        Terrain::SetCurrent(nullptr);
        terrain.reset();
        SceneFixture::TearDown();
    }
    bool Load(const LevelBytes& level, const std::string& name = "test.txt")
    {
        WriteLevel(name, level);
        return terrain->LoadLevel(name);
    }
    std::unique_ptr<Terrain> terrain;
};

// Records what the board is told, in order.
class RecordingSink : public HexTypeSink
{
public:
    void LoadTextures() override { calls.push_back("textures"); }
    void SetHexType(int row, int column, int type) override
    {
        if (calls.empty() || calls.back() != "types")
            calls.push_back("types");
        order.push_back(row * 42 + column);
        types.push_back(type);
    }
    void Update() override { calls.push_back("update"); }
    std::vector<std::string> calls;
    std::vector<int> order;
    std::vector<int> types;
};

} // namespace

TEST_F(TerrainTest, VerticesCarryPositionPackedWeightsAndCoordinates)
{
    LevelBytes level;
    level.Height(1, 2, 77.0f); // x = column 1, z = row 2
    const float weights[4] = {1.0f, 0.5f, 0.0f, -0.2f};
    for (int k = 0; k < 4; ++k)
        level.Weight(1, 0, k, weights[k]); // row 0 keeps the file's colour
    ASSERT_TRUE(Load(level));
    const TerrainVertex v = terrain->VertexAt(1, 2);
    EXPECT_FLOAT_EQ(v.position[0], 256.0f);
    EXPECT_FLOAT_EQ(v.position[1], 77.0f);
    EXPECT_FLOAT_EQ(v.position[2], 512.0f);
    EXPECT_FLOAT_EQ(v.uv[0][0], 0.078125f); // 5 x 2 / 128
    EXPECT_FLOAT_EQ(v.uv[0][1], 0.0390625f); // 5 x 1 / 128
    EXPECT_FLOAT_EQ(v.uv[4][0], 0.015625f);
    EXPECT_FLOAT_EQ(v.uv[4][1], 0.0078125f);
    EXPECT_EQ(terrain->VertexAt(1, 0).colour, 0x00FF8000u) << "w4 -0.2 -> 0, w1 1 -> 255, w2 0.5 -> 128, w3 0";
    // Out-of-range indices are clamped to the grid.
    EXPECT_FLOAT_EQ(terrain->VertexAt(-4, 500).position[2], 127.0f * 256.0f);
}

TEST_F(TerrainTest, HeightQueriesInterpolateAndStayInsideTheGrid)
{
    LevelBytes level;
    level.Height(1, 1, 100.0f);
    level.Height(2, 1, 200.0f);
    level.Height(1, 2, 300.0f);
    level.Height(2, 2, 400.0f);
    level.Height(127, 0, 40.0f);
    level.Height(127, 1, 80.0f);
    level.Height(127, 127, 900.0f);
    level.Height(0, 5, 55.0f);
    ASSERT_TRUE(Load(level));
    struct Case {
        float x, z, expected;
    };
    const Case cases[] = {
        {384.0f, 320.0f, 200.0f}, // fx 1.5, fz 1.25
        {256.0f, 256.0f, 100.0f},
        {0.0f, 1280.0f, 0.0f}, // x exactly 0, though the sample there is 55
        {-1.0f, 5.0f, 0.0f},
        {32769.0f, 256.0f, 0.0f},
        // The last cell and the far edge read the edge samples instead of running past the grid.
        {32768.0f, 32768.0f, 900.0f},
        {32700.0f, 128.0f, 60.0f}, // column 127 between rows 0 and 1 at half way
    };
    for (const Case& c : cases)
        EXPECT_FLOAT_EQ(terrain->HeightAt(c.x, c.z), c.expected) << c.x << ", " << c.z;
    float centre[3];
    terrain->Centre(centre);
    EXPECT_FLOAT_EQ(centre[0], 16384.0f);
    EXPECT_FLOAT_EQ(centre[2], 16384.0f);
}

TEST_F(TerrainTest, SlopesGiveNormalsAndWeightsThatTheDrawnPatchesShow)
{
    LevelBytes level;
    for (int x = 0; x < 128; ++x)
        for (int z = 0; z < 128; ++z)
            level.Height(x, z, 256.0f * x); // rises one cell height per column: 45 degrees
    ASSERT_TRUE(Load(level));
    const float s = std::sqrt(0.5f);
    const TerrainVertex inner = terrain->VertexAt(10, 10);
    EXPECT_NEAR(inner.normal[0], -s, 1e-5f);
    EXPECT_NEAR(inner.normal[1], s, 1e-5f);
    EXPECT_NEAR(inner.normal[2], 0.0f, 1e-5f);
    EXPECT_EQ((inner.colour >> 16) & 0xFF, 180u) << "w1 = 0.7071";
    EXPECT_EQ((inner.colour >> 8) & 0xFF, 75u) << "w2 = 0.2929";
    const TerrainVertex row0 = terrain->VertexAt(10, 0);
    EXPECT_FLOAT_EQ(row0.normal[1], 1.0f);
    const TerrainVertex last = terrain->VertexAt(127, 10);
    EXPECT_NEAR(last.normal[0], -s, 1e-5f) << "the last column continues the slope instead of losing its normal";
    EXPECT_NEAR(last.normal[1], s, 1e-5f);
    // What is drawn is what was worked out.
    const TerrainVertex drawn = terrain->GetOctree()->Records()[10 * 128 + 10];
    EXPECT_FLOAT_EQ(drawn.normal[0], inner.normal[0]);
    EXPECT_EQ(drawn.colour, inner.colour);
    float n[3];
    terrain->NormalAt(n, 10.0f * 256.0f, 10.0f * 256.0f);
    EXPECT_NEAR(n[1], s, 1e-5f);
    terrain->NormalAt(n, -5.0f, 10.0f);
    EXPECT_FLOAT_EQ(n[1], 1.0f);
}

// Flat ground gets weight 1 alone from the slope; the file adds weight 3, 4 or both at three samples, each
// inside a patch, where a vertex is a corner of six triangles.
TEST_F(TerrainTest, GroundIsDrawnByTechniquesThatReadOnlyTheTexturesItsTrianglesWeigh)
{
    LevelBytes level;
    level.Weight(60, 60, 2, 0.5f);
    level.Weight(100, 20, 3, 0.5f);
    level.Weight(10, 10, 2, 0.5f);
    level.Weight(10, 10, 3, 0.5f);
    ASSERT_TRUE(Load(level));
    Camera* camera = Camera::Get();
    camera->SetProjection();
    camera->SetEyeAndTarget(D3DXVECTOR3(16384.0f, 39000.0f, 16380.0f), D3DXVECTOR3(16384.0f, 0.0f, 16384.0f));
    camera->UpdateFrustum();
    terrain->Update();
    auto* effect = dynamic_cast<Effect*>(DataManager::Get()->GetEffect("terrain.fx"));
    ASSERT_NE(effect, nullptr);
    const D3DXHANDLE before = effect->GetCurrentTechnique();
    auto program = [&](const char* technique) {
        return dynamic_cast<ShaderProgram*>(effect->PassProgram(technique, 0, false));
    };
    Null()->KeepDraws(true);
    Null()->ResetCounters();
    terrain->Render();
    std::map<const ShaderProgram*, std::pair<UINT, UINT>> drawn; // draws and triangles by program
    for (const NullDevice::DrawRecord& draw : Null()->Draws()) {
        ++drawn[draw.program].first;
        drawn[draw.program].second += draw.primitiveCount;
    }
    // The samples along the map's edges keep the file's weights (none here): the triangles wholly on them
    // weigh no texture.
    EXPECT_EQ(drawn[program("GroundOne")].first, 16u) << "every patch";
    EXPECT_EQ(drawn[program("GroundOne")].second + drawn[program("GroundNone")].second, 16u * 2048u - 18u);
    EXPECT_LT(drawn[program("GroundNone")].second, 4u * 2u * 128u);
    EXPECT_EQ(drawn[program("GroundOneThree")], std::make_pair(1u, 6u));
    EXPECT_EQ(drawn[program("GroundOneFour")], std::make_pair(1u, 6u));
    EXPECT_EQ(drawn[program("GroundOneThreeFour")], std::make_pair(1u, 6u));
    EXPECT_EQ(Null()->DrawCount(), 19u + drawn[program("GroundNone")].first);
    EXPECT_STREQ(effect->GetCurrentTechnique(), before);
    Null()->KeepDraws(false);
}

// Flat ground west of column 64 and a 45 degree face east of it: with a slope factor of 4 the face's weight 2
// is 4 x 0.29 (full) and its weight 1 none, so the flat half reads texture 1 alone, the face texture 2 alone
// and only the cells along the foot of the face (in the second column of patches) read both.
// From 39000 above its middle the whole ground is in view. The top left corner of the screen, drawn alone,
// covers an eighth of its width and height: the patches under it, a few of the whole ground's.
TEST_F(TerrainTest, APartOfThePictureDrawnAloneDrawsOnlyThePatchesUnderIt)
{
    ASSERT_TRUE(Load(LevelBytes()));
    Camera* camera = Camera::Get();
    camera->SetProjection();
    camera->SetEyeAndTarget(D3DXVECTOR3(16384.0f, 39000.0f, 16380.0f), D3DXVECTOR3(16384.0f, 0.0f, 16384.0f));
    camera->UpdateFrustum();
    terrain->Update();
    const auto drawn = [&] {
        Null()->ResetCounters();
        terrain->Render();
        return Null()->DrawCount();
    };
    const UINT whole = drawn();
    ASSERT_GT(whole, 8u);
    camera->NarrowCulling(RECT{0, 0, 128, 96}, 1024, 768);
    const UINT corner = drawn();
    EXPECT_GT(corner, 0u);
    EXPECT_LE(corner, whole / 4);
    camera->WidenCulling();
    EXPECT_EQ(drawn(), whole);
}

TEST_F(TerrainTest, FlatGroundAndSteepFacesReadOneGroundTextureEach)
{
    LevelBytes level;
    level.Float(LevelOffsets::SLOPE, 4.0f);
    for (int x = 64; x < 128; ++x)
        for (int z = 0; z < 128; ++z)
            level.Height(x, z, 256.0f * static_cast<float>(x - 64));
    ASSERT_TRUE(Load(level));
    EXPECT_EQ(terrain->VertexAt(63, 40).colour, 0x00FF0000u) << "flat: weight 1 alone";
    EXPECT_EQ(terrain->VertexAt(64, 40).colour, 0x0000FF00u) << "steep: weight 2 alone";
    Camera* camera = Camera::Get();
    camera->SetProjection();
    camera->SetEyeAndTarget(D3DXVECTOR3(16384.0f, 39000.0f, 16380.0f), D3DXVECTOR3(16384.0f, 0.0f, 16384.0f));
    camera->UpdateFrustum();
    terrain->Update();
    auto* effect = dynamic_cast<Effect*>(DataManager::Get()->GetEffect("terrain.fx"));
    ASSERT_NE(effect, nullptr);
    auto program = [&](const char* technique) {
        return dynamic_cast<ShaderProgram*>(effect->PassProgram(technique, 0, false));
    };
    Null()->KeepDraws(true);
    Null()->ResetCounters();
    terrain->Render();
    std::map<const ShaderProgram*, std::pair<UINT, UINT>> drawn;
    UINT triangles = 0;
    for (const NullDevice::DrawRecord& draw : Null()->Draws()) {
        ++drawn[draw.program].first;
        drawn[draw.program].second += draw.primitiveCount;
        triangles += draw.primitiveCount;
    }
    EXPECT_EQ(drawn[program("GroundOne")].first, 8u) << "the two western columns of patches";
    // A triangle on the map's edge has corners that keep the file's weights (none), so next to the foot it
    // may take the face's weight alone.
    EXPECT_GE(drawn[program("GroundTwo")].first, 8u) << "the two eastern ones";
    EXPECT_LE(drawn[program("GroundTwo")].first, 10u);
    EXPECT_EQ(drawn[program("GroundOneTwo")].first, 4u);
    // One column of cells, two triangles each, along each patch's 32 rows (less a few at the map's edge).
    EXPECT_LE(drawn[program("GroundOneTwo")].second, 4u * 64u);
    EXPECT_GE(drawn[program("GroundOneTwo")].second, 4u * 60u);
    EXPECT_EQ(drawn[program("Basic")].first, 0u) << "nothing reads all four textures";
    EXPECT_EQ(triangles, 16u * 2048u) << "the whole ground, each triangle once";
    Null()->KeepDraws(false);
}

// Looking down on the ground from inside the dome, the dome draws nothing: the stars wait for the ground and
// are drawn after it at the far plane, without depth writes, where nothing was drawn. A view that shows the
// dome draws them first, and a frame in which no ground follows makes them go first from then on.
TEST_F(TerrainTest, StarsWaitForTheGroundWhenTheDomeCannotShow)
{
    ASSERT_TRUE(Load(LevelBytes()));
    SkyDome sky;
    sky.Init(16384.0f, 16384.0f);
    SkyDome::SetCurrent(&sky);
    StarField stars;
    stars.Init();
    EXPECT_TRUE(stars.IsOpaque()) << "the grey stand-in texture has no alpha";
    Camera* camera = Camera::Get();
    camera->SetProjection();
    camera->SetEyeAndTarget(D3DXVECTOR3(16384.0f, 1350.0f, 14384.0f), D3DXVECTOR3(16384.0f, 100.0f, 16384.0f));
    camera->UpdateFrustum();
    terrain->Update();
    Null()->KeepDraws(true);
    Null()->ResetCounters();
    stars.Render();
    EXPECT_EQ(Null()->DrawCount(), 0u) << "waiting";
    DWORD zenable = 0;
    m_device->GetRenderState(D3DRS_ZENABLE, &zenable);
    EXPECT_EQ(zenable, static_cast<DWORD>(D3DZB_TRUE)) << "as the stars leave it when drawn first";
    terrain->Render();
    ASSERT_GT(Null()->DrawCount(), 1u);
    const NullDevice::DrawRecord& last = Null()->Draws().back();
    EXPECT_EQ(last.fvf, StarField::FVF) << "the stars come after the ground";
    EXPECT_EQ(last.primitiveCount, 12u);
    EXPECT_EQ(last.zWriteEnable, static_cast<DWORD>(FALSE));
    DWORD zwrite = 0;
    m_device->GetRenderState(D3DRS_ZWRITEENABLE, &zwrite);
    EXPECT_EQ(zwrite, static_cast<DWORD>(TRUE)) << "put back";
    D3DVIEWPORT9 viewport{};
    m_device->GetViewport(&viewport);
    EXPECT_EQ(viewport.MinZ, 0.0f);
    EXPECT_EQ(viewport.MaxZ, 1.0f);

    // The start-up view shows the dome: the dome waits with the stars. The ground marks the stencil where it
    // is drawn; after it the dome clears the mark where it lies nearer, the stars go where no mark is left,
    // and the dome goes over them.
    camera->SetPreset(1);
    Null()->ResetCounters();
    stars.Render();
    sky.Render();
    EXPECT_EQ(Null()->DrawCount(), 0u) << "both waiting";
    ASSERT_EQ(Null()->ClearCount(), 1u);
    EXPECT_EQ(Null()->LastClear().flags, static_cast<DWORD>(D3DCLEAR_STENCIL));
    terrain->Render();
    const std::vector<NullDevice::DrawRecord>& draws = Null()->Draws();
    ASSERT_GT(draws.size(), 3u);
    for (size_t i = 0; i + 3 < draws.size(); ++i) {
        EXPECT_EQ(draws[i].stencilEnable, static_cast<DWORD>(TRUE)) << "the ground marks, draw " << i;
        EXPECT_EQ(draws[i].stencilFunc, static_cast<DWORD>(D3DCMP_ALWAYS));
        EXPECT_EQ(draws[i].stencilRef, 1u);
        EXPECT_EQ(draws[i].stencilPass, static_cast<DWORD>(D3DSTENCILOP_REPLACE));
    }
    const NullDevice::DrawRecord* after = &draws[draws.size() - 3];
    struct Expected {
        DWORD fvf, zEnable, zFunc, stencilEnable, stencilFunc, stencilRef, colorWrite;
    };
    const DWORD all = 0xF;
    const Expected expected[3] = {
        {SkyDome::FVF, TRUE, D3DCMP_LESS, TRUE, D3DCMP_ALWAYS, 0, 0}, // clears the marks it lies nearer than
        {StarField::FVF, FALSE, D3DCMP_LESSEQUAL, TRUE, D3DCMP_EQUAL, 0, all}, // where no mark is left
        {SkyDome::FVF, TRUE, D3DCMP_LESS, FALSE, D3DCMP_ALWAYS, 0, all}, // the dome where nearer
    };
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const NullDevice::DrawRecord& d = after[i];
        const Expected& e = expected[i];
        EXPECT_EQ(d.fvf, e.fvf);
        EXPECT_EQ(d.zEnable, e.zEnable);
        EXPECT_EQ(d.zFunc, e.zFunc);
        EXPECT_EQ(d.stencilEnable, e.stencilEnable);
        if (e.stencilEnable) {
            EXPECT_EQ(d.stencilFunc, e.stencilFunc);
            EXPECT_EQ(d.stencilRef, e.stencilRef);
        }
        EXPECT_EQ(d.colorWriteEnable & all, e.colorWrite);
        if (e.fvf == SkyDome::FVF) {
            EXPECT_EQ(d.minZ, 0.0f) << "the dome at its own depth";
        }
    }
    EXPECT_EQ(after[0].stencilPass, static_cast<DWORD>(D3DSTENCILOP_REPLACE));
    EXPECT_EQ(after[2].zWriteEnable, static_cast<DWORD>(TRUE)) << "the dome's depth as when drawn first";
    DWORD stencil = TRUE, zfunc = 0, colour = 0;
    m_device->GetRenderState(D3DRS_STENCILENABLE, &stencil);
    m_device->GetRenderState(D3DRS_ZFUNC, &zfunc);
    m_device->GetRenderState(D3DRS_COLORWRITEENABLE, &colour);
    EXPECT_EQ(stencil, static_cast<DWORD>(FALSE)) << "put back";
    EXPECT_EQ(zfunc, static_cast<DWORD>(D3DCMP_LESSEQUAL));
    EXPECT_EQ(colour & all, all);

    // Without a stencil to mark the dome, the stars go first, at once, and so does the dome.
    IDirect3DSurface9* depth = nullptr;
    m_device->GetDepthStencilSurface(&depth);
    IDirect3DSurface9* plain = nullptr;
    ASSERT_EQ(m_device->CreateDepthStencilSurface(64, 64, D3DFMT_D16, D3DMULTISAMPLE_NONE, 0, FALSE, &plain, nullptr),
              D3D_OK);
    m_device->SetDepthStencilSurface(plain);
    Null()->ResetCounters();
    stars.Render();
    ASSERT_EQ(Null()->DrawCount(), 1u);
    EXPECT_EQ(Null()->LastDraw().fvf, StarField::FVF);
    sky.Render();
    EXPECT_EQ(Null()->DrawCount(), 2u);
    terrain->Render();
    EXPECT_NE(Null()->LastDraw().fvf, StarField::FVF);
    m_device->SetDepthStencilSurface(depth);
    depth->Release();
    plain->Release();

    // Down again, but no ground drawn after the stars: the next frame draws them first, and so do later ones.
    camera->SetEyeAndTarget(D3DXVECTOR3(16384.0f, 1350.0f, 14384.0f), D3DXVECTOR3(16384.0f, 100.0f, 16384.0f));
    Null()->ResetCounters();
    stars.Render();
    EXPECT_EQ(Null()->DrawCount(), 0u);
    stars.Render();
    EXPECT_EQ(Null()->DrawCount(), 1u) << "the missed ones are drawn no later than the next frame";
    terrain->Render();
    stars.Render();
    EXPECT_EQ(Null()->LastDraw().fvf, StarField::FVF);
    Null()->KeepDraws(false);
    SkyDome::SetCurrent(nullptr);
    stars.Release();
}

// By day the dome hides the stars: after the ground only the dome is drawn, without the stencil pass that finds
// the stars' pixels.
TEST_F(TerrainTest, ByDayTheDomeAloneFollowsTheGround)
{
    WriteSkyStrip(64, 16, 48);
    ASSERT_TRUE(Load(LevelBytes()));
    SkyDome sky;
    sky.SetSkyValue(12.0f);
    sky.Init(16384.0f, 16384.0f);
    SkyDome::SetCurrent(&sky);
    StarField stars;
    stars.Init();
    Camera* camera = Camera::Get();
    camera->SetProjection();
    camera->SetPreset(1);
    camera->UpdateFrustum();
    terrain->Update();
    const auto drawnAfterTheGround = [&] {
        Null()->ResetCounters();
        stars.Render();
        sky.Render();
        EXPECT_EQ(Null()->DrawCount(), 0u) << "both wait for the ground";
        terrain->Render();
        std::vector<DWORD> after;
        for (const NullDevice::DrawRecord& draw : Null()->Draws())
            if (draw.fvf == SkyDome::FVF || draw.fvf == StarField::FVF)
                after.push_back(draw.fvf);
        return after;
    };
    Null()->KeepDraws(true);
    const std::vector<DWORD> day = drawnAfterTheGround();
    ASSERT_EQ(day.size(), 1u);
    EXPECT_EQ(day[0], SkyDome::FVF);
    const NullDevice::DrawRecord& dome = Null()->Draws().back();
    EXPECT_EQ(dome.fvf, SkyDome::FVF);
    EXPECT_EQ(dome.zFunc, static_cast<DWORD>(D3DCMP_LESS)) << "only where the ground leaves the sky showing";
    EXPECT_EQ(dome.colorWriteEnable & 0xFu, 0xFu);

    // At midnight the stars show through: stencil pass, stars, dome.
    sky.SetSkyValue(0.0f);
    const std::vector<DWORD> night = drawnAfterTheGround();
    EXPECT_EQ(night, (std::vector<DWORD>{SkyDome::FVF, StarField::FVF, SkyDome::FVF}));
    Null()->KeepDraws(false);
    SkyDome::SetCurrent(nullptr);
    stars.Release();
}

TEST_F(TerrainTest, LightMapFileHoldsOneClampedPixelPerVertex)
{
    struct Case {
        int minimum, intensity;
        float r, g, b;
        uint8_t blue, green, red;
    };
    const Case cases[] = {
        {64, 200, 255, 255, 255, 64, 64, 64}, // flat ground faces away from the light point
        {64, 0, 255, 255, 255, 64, 64, 64},
        {300, 200, 255, 255, 255, 255, 255, 255},
        {64, 200, 128, 255, 255, 64, 64, 32},
        {200, 200, 600, -20, 255, 200, 0, 255}, // channels stay within their byte (600/255 x 200 = 470.6)
    };
    for (const Case& c : cases) {
        LevelBytes level;
        level.Int(LevelOffsets::LIGHT_MIN, c.minimum);
        level.Int(LevelOffsets::LIGHT_INTENSITY, c.intensity);
        level.Float(LevelOffsets::LIGHT_COLOUR, c.r);
        level.Float(LevelOffsets::LIGHT_COLOUR + 4, c.g);
        level.Float(LevelOffsets::LIGHT_COLOUR + 8, c.b);
        ASSERT_TRUE(Load(level));
        const std::string file = ReadWholeFile(Terrain::LightMapPath());
        ASSERT_EQ(file.size(), 49170u);
        const uint8_t header[18] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 128, 0, 128, 0, 24, 0x20};
        EXPECT_EQ(std::memcmp(file.data(), header, 18), 0);
        for (size_t pixel : {size_t(0), size_t(129), size_t(16383)}) {
            EXPECT_EQ(static_cast<uint8_t>(file[18 + pixel * 3]), c.blue) << c.minimum << " pixel " << pixel;
            EXPECT_EQ(static_cast<uint8_t>(file[18 + pixel * 3 + 1]), c.green) << c.minimum;
            EXPECT_EQ(static_cast<uint8_t>(file[18 + pixel * 3 + 2]), c.red) << c.minimum;
        }
    }
}

TEST_F(TerrainTest, ALaterLevelShowsItsOwnLightMap)
{
    LevelBytes dim;
    ASSERT_TRUE(Load(dim, "dim.txt"));
    LevelBytes bright;
    bright.Int(LevelOffsets::LIGHT_MIN, 200);
    ASSERT_TRUE(Load(bright, "bright.txt"));
    TextureRecord* record = terrain->GetLightTexture();
    ASSERT_NE(record, nullptr);
    ASSERT_NE(record->texture, nullptr);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(record->texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    const uint32_t texel = static_cast<const uint32_t*>(locked.pBits)[0];
    record->texture->UnlockRect(0);
    EXPECT_EQ(texel & 0xFFFFFFu, 0xC8C8C8u) << "the second level's minimum 200, not the first's 64";
}

TEST_F(TerrainTest, FogColourChannelsStayInTheirBytes)
{
    LevelBytes level;
    level.Float(LevelOffsets::FOG_COLOUR, 300.0f);
    level.Float(LevelOffsets::FOG_COLOUR + 4, -5.0f);
    level.Float(LevelOffsets::FOG_COLOUR + 8, 128.9f);
    ASSERT_TRUE(Load(level));
    DWORD colour = 0, start = 0;
    m_device->GetRenderState(D3DRS_FOGCOLOR, &colour);
    m_device->GetRenderState(D3DRS_FOGSTART, &start);
    EXPECT_EQ(colour, 0x00FF0080u);
    float startValue = 0.0f;
    std::memcpy(&startValue, &start, 4);
    EXPECT_FLOAT_EQ(startValue, 5000.0f);
}

TEST_F(TerrainTest, ARefusedOrMissingFileKeepsThePreviousLevel)
{
    LevelBytes level;
    level.Height(3, 3, 123.0f);
    level.Float(LevelOffsets::SKY, 7.0f);
    ASSERT_TRUE(Load(level, "good.txt"));
    LevelBytes shortFile;
    shortFile.bytes.resize(LevelOffsets::MINIMUM - 1);
    {
        LogCapture capture;
        EXPECT_FALSE(Load(shortFile, "short.txt"));
        EXPECT_EQ(capture.Count("level.refused"), 1) << "a refused level says so";
    }
    {
        LogCapture capture;
        EXPECT_FALSE(terrain->LoadLevel("nowhere.txt"));
        EXPECT_EQ(capture.Count("level.missing"), 1) << "a missing level says so";
    }
    EXPECT_FLOAT_EQ(terrain->GetLevelData().heights[3 * 128 + 3], 123.0f);
    EXPECT_FLOAT_EQ(terrain->GetLevelData().skyValue, 7.0f);
    EXPECT_TRUE(Load(level, "good.txt"));
}

TEST_F(TerrainTest, ALevelRefusedAfterAnotherLeavesItsGroundDrawn)
{
    LevelBytes level;
    level.Height(3, 3, 123.0f);
    ASSERT_TRUE(Load(level, "good.txt"));
    const TerrainOctree* octree = terrain->GetOctree();
    LevelBytes damaged;
    damaged.Height(10, 20, std::numeric_limits<float>::quiet_NaN());
    {
        LogCapture capture;
        EXPECT_FALSE(Load(damaged, "damaged.txt"));
        EXPECT_FALSE(Load(damaged, "damaged.txt"));
        ASSERT_EQ(capture.Count("level.refused"), 1) << "said once, however often the level is chosen";
        const std::string line = capture.Records().front().text;
        EXPECT_NE(line.find("damaged.txt"), std::string::npos) << line;
        EXPECT_NE(line.find("(10, 20)"), std::string::npos) << line;
        EXPECT_NE(line.find("the previous level stays"), std::string::npos) << line;
    }
    // The ground the player saw is still there to draw and to stand on.
    EXPECT_TRUE(terrain->IsLoaded());
    EXPECT_EQ(terrain->GetOctree(), octree);
    EXPECT_FLOAT_EQ(terrain->GetLevelData().heights[3 * 128 + 3], 123.0f);
    EXPECT_TRUE(std::isfinite(terrain->HeightAt(2560.0f, 5120.0f)));
    Camera* camera = Camera::Get();
    camera->SetProjection();
    camera->SetEyeAndTarget(D3DXVECTOR3(16384.0f, 39000.0f, 16380.0f), D3DXVECTOR3(16384.0f, 0.0f, 16384.0f));
    camera->UpdateFrustum();
    terrain->Update();
    Null()->ResetCounters();
    terrain->Render();
    EXPECT_GT(Null()->DrawCount(), 0u);
}

TEST_F(TerrainTest, ALightMapThatCannotBeWrittenOrFoundKeepsToItsOwnTexture)
{
    std::filesystem::remove_all(m_tree->Root() / "Data/Textures/World Textures");
    LevelBytes level;
    level.Int(LevelOffsets::LIGHT_MIN, 200);
    LogCapture capture;
    ASSERT_TRUE(Load(level, "first.txt"));
    ASSERT_TRUE(Load(level, "second.txt"));
    EXPECT_EQ(capture.Count("lightmap.missing"), 1) << "said once, not at every level";

    // The default texture every missing texture falls back to keeps its grey pixel.
    TextureRecord* fallback = DataManager::Get()->GetTexture("default.tga");
    ASSERT_NE(fallback, nullptr);
    auto texel = [](IDirect3DTexture9* texture) {
        D3DLOCKED_RECT locked{};
        EXPECT_EQ(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
        const uint32_t value = static_cast<const uint32_t*>(locked.pBits)[0];
        texture->UnlockRect(0);
        return value & 0xFFFFFFu;
    };
    EXPECT_EQ(texel(fallback->texture), 0x808080u);
    --fallback->referenceCount;

    // The terrain still shows its light: the minimum 200 on flat ground facing away from the light point.
    TextureRecord* light = terrain->GetLightTexture();
    ASSERT_NE(light, nullptr);
    ASSERT_NE(light, fallback);
    ASSERT_NE(light->texture, nullptr);
    EXPECT_EQ(texel(light->texture), 0xC8C8C8u);
}

TEST_F(TerrainTest, HexTypesReachTheBoardRowByRowBetweenItsTexturesAndItsUpdate)
{
    RecordingSink sink;
    terrain->SetHexTypeSink(&sink);
    LevelBytes level;
    level.Int(LevelOffsets::HEX_TYPES + 168, 3);
    level.Int(LevelOffsets::HEX_TYPES + 4 * 1511, 4);
    ASSERT_TRUE(Load(level));
    EXPECT_EQ(sink.calls, (std::vector<std::string>{"textures", "types", "update"}));
    ASSERT_EQ(sink.types.size(), 1512u);
    for (int i = 0; i < 1512; ++i)
        ASSERT_EQ(sink.order[static_cast<size_t>(i)], i);
    EXPECT_EQ(sink.types[42], 3);
    EXPECT_EQ(sink.types[1511], 4);
}

TEST_F(TerrainTest, LoadingTheSameLevelTwiceKeepsOneCopyOfEverything)
{
    std::vector<uint8_t> statics;
    for (auto r : {LevelBytes::StaticRecord("a.x", 1.0f, 0, 0, 0), LevelBytes::StaticRecord("b.x", 1.0f, 0, 0, 0),
                   LevelBytes::StaticRecord("a.x", 2.0f, 100, 0, 50)})
        statics.insert(statics.end(), r.begin(), r.end());
    const auto decal = LevelBytes::DecalRecord("d.tga", 0.0f, 4, 0, 0);
    LevelBytes level;
    level.Lists(3, statics, 1, decal);
    auto* emitter = new ParticleEmitter();
    terrain->AddEmitter(emitter);
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(Load(level));
        const auto& objects = terrain->GetStaticObjects()->Objects();
        ASSERT_EQ(objects.size(), 2u);
        EXPECT_EQ(objects[0]->Matrices().size(), 2u);
        EXPECT_EQ(objects[1]->Matrices().size(), 1u);
        EXPECT_EQ(terrain->GetLevelDecals().size(), 1u);
        ASSERT_EQ(DecalManager::Get()->LevelList().size(), 1u);
        EXPECT_EQ(DecalManager::Get()->LevelList()[0]->GridSize(), 4);
        EXPECT_TRUE(terrain->Emitters().empty()) << "a load clears the previous level's ambient emitters";
    }
}
