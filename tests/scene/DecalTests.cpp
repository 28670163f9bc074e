#include "scene/Decal.h"
#include "scene/DecalManager.h"
#include "scene/GroundProvider.h"
#include "win32/Log.h"

#include "EffectsFixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

// Ground rising half a unit per unit of x, with the matching normal; counts the questions asked of it.
class SlopedGround : public GroundProvider
{
public:
    float GroundHeight(float x, float) const override
    {
        ++heightQueries;
        return 0.5f * x;
    }
    D3DXVECTOR3 GroundNormal(float, float) const override
    {
        D3DXVECTOR3 n(-0.5f, 1.0f, 0.0f);
        D3DXVec3Normalize(&n, &n);
        return n;
    }
    unsigned GroundRevision() const override { return revision; }

    mutable int heightQueries = 0;
    unsigned revision = 0;
};

class DecalTest : public EffectsTest
{
protected:
    std::vector<Decal::Vertex> Vertices(const Decal& decal)
    {
        return ReadVertices<Decal::Vertex>(decal.VertexBuffer(), static_cast<size_t>(decal.VertexCount()));
    }
};

// Where a texture coordinate pair lands under a decal's texture transform, fed as (u, v, 1, 0).
std::pair<float, float> Transformed(const D3DXMATRIX& m, float u, float v)
{
    return {u * m._11 + v * m._21 + m._31, u * m._12 + v * m._22 + m._32};
}

} // namespace

TEST_F(DecalTest, GridSizeCountsAndTextureCoordinates)
{
    struct Case {
        int asked, n, vertices, triangles;
        float halfSize;
    };
    for (const Case& c : {Case{0, 2, 4, 2, 32.0f}, Case{1, 2, 4, 2, 32.0f}, Case{5, 5, 25, 32, 128.0f},
                          Case{300, 256, 65536, 130050, 8160.0f}}) {
        Decal decal;
        decal.Create(c.asked, 0.0f, 0.0f, false);
        SCOPED_TRACE(c.asked);
        EXPECT_EQ(decal.GridSize(), c.n);
        EXPECT_EQ(decal.VertexCount(), c.vertices);
        EXPECT_EQ(decal.TriangleCount(), c.triangles);
        EXPECT_FLOAT_EQ(decal.HalfSize(), c.halfSize);
        EXPECT_EQ(decal.TextureName(), "No File");
    }
    Decal decal;
    decal.Create(5, 1000.0f, 2000.0f, false);
    const auto v = Vertices(decal);
    EXPECT_EQ(std::make_pair(v[0].u, v[0].v), std::make_pair(1.0f, 0.0f));
    EXPECT_EQ(std::make_pair(v[24].u, v[24].v), std::make_pair(0.0f, 1.0f));
    EXPECT_FLOAT_EQ(v[0].x, 872.0f);
    EXPECT_FLOAT_EQ(v[0].z, 1872.0f);
    EXPECT_FLOAT_EQ(v[24].x, 1128.0f);
    EXPECT_FLOAT_EQ(v[7].x, 1000.0f - 128.0f + 128.0f); // row 1, column 2
    EXPECT_FLOAT_EQ(v[7].z, 1872.0f + 64.0f);
    for (const Decal::Vertex& vertex : v)
        EXPECT_FLOAT_EQ(vertex.y, 5.0f) << "flat ground: lifted 5 along the up normal";
}

TEST_F(DecalTest, LiesOnSlopedGroundLiftedAlongTheNormal)
{
    SlopedGround ground;
    DecalManager::Get()->SetGround(&ground);
    Decal decal;
    decal.Create(3, 1000.0f, 2000.0f, false);
    // Columns at x = 936, 1000, 1064; the normal's y is 1 / sqrt(1.25) = 0.894427.
    const auto v = Vertices(decal);
    const float lift = 5.0f / std::sqrt(1.25f);
    EXPECT_NEAR(v[0].y, 468.0f + lift, 1e-3f);
    EXPECT_NEAR(v[1].y, 500.0f + lift, 1e-3f);
    EXPECT_NEAR(v[8].y, 532.0f + lift, 1e-3f);
    EXPECT_NEAR(v[4].nx, -0.5f / std::sqrt(1.25f), 1e-6f);
    DecalManager::Get()->SetGround(nullptr);
}

TEST_F(DecalTest, UnmovedDecalsAreNotLaidAgain)
{
    SlopedGround ground;
    DecalManager* manager = DecalManager::Get();
    manager->SetGround(&ground);
    auto* blood = new Decal;
    blood->Create(4, 500.0f, 500.0f, false);
    manager->Add(blood);
    EXPECT_EQ(ground.heightQueries, 16);
    for (int frame = 0; frame < 10; ++frame) {
        Frame(0.125f);
        manager->UpdateAll();
    }
    EXPECT_EQ(ground.heightQueries, 16) << "steady and still: nothing to lay";

    blood->SetColour(1.0f, 0.0f, 0.0f);
    manager->UpdateAll();
    EXPECT_EQ(ground.heightQueries, 32) << "a new tint reaches the vertices";
    blood->fadeState = 1; // fading changes the alpha every frame
    manager->UpdateAll();
    EXPECT_EQ(ground.heightQueries, 48);
    blood->fadeState = 3;
    blood->UpdatePosition(564.0f, 0.0f, 500.0f, false);
    EXPECT_EQ(ground.heightQueries, 64);
    EXPECT_NEAR(Vertices(*blood)[0].y, 0.5f * (564.0f - 96.0f) + 5.0f / std::sqrt(1.25f), 1e-3f);
    ground.revision = 1; // a new level under it
    manager->UpdateAll();
    EXPECT_EQ(ground.heightQueries, 80);
    manager->ClearAll();
    manager->SetGround(nullptr);
}

TEST_F(DecalTest, FadesStepByFrameTimeOverTheirDuration)
{
    struct Case {
        const char* name;
        int state;
        float alpha, duration, dt;
        std::vector<float> alphas;
        int finalState;
    };
    const Case cases[] = {
        {"in", 0, 0.0f, 1.0f, 0.375f, {0.375f, 0.75f, 1.0f, 1.0f}, 3},
        {"out", 1, 1.0f, 0.5f, 0.375f, {0.25f, 0.0f, 0.0f}, 3},
        {"pulse", 2, 1.0f, 1.0f, 0.375f, {0.625f, 0.25f, 0.25f, 0.625f, 1.0f, 1.0f, 0.625f}, 2},
        {"in, no duration", 0, 0.0f, 0.0f, 0.375f, {1.0f}, 3},
        {"steady", 3, 0.5f, 1.0f, 0.375f, {0.5f, 0.5f}, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Decal::ResetForTests();
        Decal decal;
        decal.fadeState = c.state;
        decal.alpha = c.alpha;
        decal.fadeDuration = c.duration;
        Frame(c.dt);
        for (float expected : c.alphas) {
            decal.UpdateFade();
            EXPECT_FLOAT_EQ(decal.alpha, expected);
        }
        EXPECT_EQ(decal.fadeState, c.finalState);
    }
}

TEST_F(DecalTest, RotationTurnsTheTextureAboutItsCentre)
{
    Decal decal;
    decal.Create(2, 0.0f, 0.0f, false);
    decal.AddRotation(90.0f);
    auto [u, v] = Transformed(decal.TextureTransform(), 1.0f, 0.5f);
    EXPECT_NEAR(u, 0.5f, 1e-6f);
    EXPECT_NEAR(v, 1.0f, 1e-6f);
    std::tie(u, v) = Transformed(decal.TextureTransform(), 0.5f, 0.5f);
    EXPECT_NEAR(u, 0.5f, 1e-6f) << "the centre stays";
    EXPECT_NEAR(v, 0.5f, 1e-6f);
    decal.AddRotation(90.0f);
    std::tie(u, v) = Transformed(decal.TextureTransform(), 1.0f, 0.5f);
    EXPECT_NEAR(u, 0.0f, 1e-6f);
    EXPECT_NEAR(v, 0.5f, 1e-6f);
    decal.AddRotation(0.0f);
    EXPECT_EQ(decal.Rotation(), 0.0f);

    // The pass hands the transform to the device for the decal's draw.
    decal.AddRotation(90.0f);
    DecalManager::Get()->Submit(&decal);
    DecalManager::Get()->Render();
    D3DMATRIX set{};
    device->GetTransform(D3DTS_TEXTURE0, &set);
    std::tie(u, v) = Transformed(static_cast<D3DXMATRIX>(set), 1.0f, 0.5f);
    EXPECT_NEAR(u, 0.5f, 1e-6f);
    EXPECT_NEAR(v, 1.0f, 1e-6f);
}

TEST_F(DecalTest, RenderDrawsDynamicThenFrameThenLevelAndRestoresStates)
{
    DecalManager* manager = DecalManager::Get();
    Decal framed;
    framed.Create(3, 0.0f, 0.0f, false);
    auto* blood = new Decal;
    blood->Create(2, 0.0f, 0.0f, false);
    manager->Add(blood);
    manager->Submit(&framed);
    Null()->ResetCounters();
    Null()->KeepDraws(true);
    manager->Render();
    ASSERT_EQ(Null()->Draws().size(), 2u);
    EXPECT_EQ(Null()->Draws()[0].primitiveCount, 2u) << "dynamic first";
    EXPECT_EQ(Null()->Draws()[1].primitiveCount, 8u);
    EXPECT_EQ(RenderState(D3DRS_ZENABLE), static_cast<DWORD>(TRUE));
    DWORD value = 0;
    device->GetSamplerState(0, D3DSAMP_ADDRESSU, &value);
    EXPECT_EQ(value, static_cast<DWORD>(D3DTADDRESS_MIRROR));
    device->GetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, &value);
    EXPECT_EQ(value, static_cast<DWORD>(D3DTTFF_DISABLE));
    EXPECT_TRUE(manager->FrameList().empty());
    manager->Remove(&framed); // in no list any more: nothing happens
    EXPECT_EQ(manager->DynamicList().size(), 1u);
}

TEST_F(DecalTest, LevelDecalsLoadAndEveryOwnedDecalIsReleased)
{
    WriteTexture("splat.tga");
    const std::filesystem::path path = tree->Root() / "decals.bin";
    std::FILE* out = std::fopen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    const int32_t count = 3;
    std::fwrite(&count, 4, 1, out);
    for (int i = 0; i < 3; ++i) {
        char name[260] = "splat.tga";
        const float rotation = 45.0f * static_cast<float>(i);
        const int32_t size = 2 + i;
        const float position[3] = {100.0f * static_cast<float>(i), 999.0f, 50.0f};
        std::fwrite(name, 1, sizeof(name), out);
        std::fwrite(&rotation, 4, 1, out);
        std::fwrite(&size, 4, 1, out);
        std::fwrite(position, 4, 3, out);
    }
    std::fclose(out);

    DecalManager* manager = DecalManager::Get();
    std::FILE* in = std::fopen(path.c_str(), "rb");
    manager->LoadLevelDecals(in);
    std::fclose(in);
    ASSERT_EQ(manager->LevelList().size(), 3u);
    EXPECT_EQ(manager->LevelList()[2]->GridSize(), 4);
    EXPECT_FLOAT_EQ(manager->LevelList()[2]->Rotation(), 90.0f);
    EXPECT_FLOAT_EQ(manager->LevelList()[1]->Position().x, 100.0f);
    ASSERT_NE(manager->LevelList()[0]->Texture(), nullptr);
    const int references = manager->LevelList()[0]->Texture()->referenceCount;
    EXPECT_EQ(references, 3);

    for (int i = 0; i < 2; ++i) {
        auto* blood = new Decal;
        blood->SetTexture("splat.tga");
        blood->Create(2, 0.0f, 0.0f, true);
        manager->Add(blood);
    }
    manager->Submit(manager->LevelList()[0]);
    manager->ClearAll();
    EXPECT_TRUE(manager->LevelList().empty());
    EXPECT_TRUE(manager->DynamicList().empty());
    EXPECT_TRUE(manager->FrameList().empty());
    // The tear-down's device check fails if any of the five kept a buffer.
}

TEST_F(DecalTest, ACountTheFileCannotHoldReadsNothing)
{
    const std::filesystem::path path = tree->Root() / "short.bin";
    std::FILE* out = std::fopen(path.c_str(), "wb");
    const int32_t count = 1000000;
    std::fwrite(&count, 4, 1, out);
    std::fwrite(std::string(280, 'a').data(), 1, 280, out);
    std::fclose(out);
    LogCapture capture;
    std::FILE* in = std::fopen(path.c_str(), "rb");
    DecalManager::Get()->LoadLevelDecals(in);
    std::fclose(in);
    EXPECT_TRUE(DecalManager::Get()->LevelList().empty());
    EXPECT_EQ(capture.Count("level.decals"), 1u);
    DecalManager::Get()->LoadLevelDecals(nullptr);
    EXPECT_TRUE(DecalManager::Get()->LevelList().empty());
}

TEST_F(DecalTest, NeighboursOfOnePictureTurnedAlikeGoOutInOneDraw)
{
    WriteTexture("shadow.tga");
    WriteTexture("blood.tga");
    // Three shadows, a splat of blood, two shadows, then a shadow turned a quarter: runs of 3, 1, 2 and 1.
    std::vector<std::unique_ptr<Decal>> decals;
    const auto add = [&](const char* picture, float x, float turn) {
        decals.push_back(std::make_unique<Decal>());
        decals.back()->Create(4, x, 0.0f, false);
        decals.back()->SetTexture(picture);
        decals.back()->AddRotation(turn);
        DecalManager::Get()->Submit(decals.back().get());
    };
    for (float x : {0.0f, 300.0f, 600.0f})
        add("shadow.tga", x, 0.0f);
    add("blood.tga", 900.0f, 0.0f);
    add("shadow.tga", 1200.0f, 0.0f);
    add("shadow.tga", 1500.0f, 0.0f);
    add("shadow.tga", 1800.0f, 90.0f);
    Null()->ResetCounters();
    Null()->KeepDraws(true);
    DecalManager::Get()->Render();
    const auto& draws = Null()->Draws();
    ASSERT_EQ(draws.size(), 4u);
    // A 4 x 4 grid is 18 triangles. The joined runs come from memory, the lone decals from their own buffers.
    const UINT triangles[] = {54, 18, 36, 18};
    const bool joined[] = {true, false, true, false};
    for (size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(draws[i].primitiveCount, triangles[i]);
        EXPECT_EQ(draws[i].userPointer, joined[i]);
        EXPECT_TRUE(draws[i].indexed);
    }
    EXPECT_EQ(draws[0].texture0, draws[2].texture0);
    EXPECT_NE(draws[0].texture0, draws[1].texture0);
    for (auto& decal : decals)
        DecalManager::Forget(decal.get());
}
