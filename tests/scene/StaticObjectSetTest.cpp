#include "scene/StaticObjectSet.h"
#include "core/DataManager.h"
#include "d3dx9/D3DX9.h"
#include "scene/Camera.h"
#include "scene/GlowMesh.h"
#include "scene/LevelObject.h"
#include "scene/OpaqueDraw.h"
#include "scene/SceneFixture.h"
#include "scene/StaticMesh.h"

#include <cstring>

#include <gtest/gtest.h>

namespace {

// Two subsets, a 100-unit cube from y 0 up, and a count of the subsets drawn.
class CountingGeometry : public StaticMeshGeometry
{
public:
    static inline int drawn = 0;
    unsigned GetSubsetCount() const override { return 2; }
    void DrawSubset(unsigned) override { ++drawn; }
    bool GetBounds(D3DXVECTOR3& low, D3DXVECTOR3& high) const override
    {
        low = D3DXVECTOR3(-50.0f, 0.0f, -50.0f);
        high = D3DXVECTOR3(50.0f, 100.0f, 50.0f);
        return true;
    }
};

// What each drawn subset saw: its placement's x and whether blending and the alpha test were on.
class RecordingGeometry : public CountingGeometry
{
public:
    struct Seen {
        float x;
        DWORD blend, test;
    };
    static inline std::vector<Seen> seen;
    static inline bool colours = false;
    void DrawSubset(unsigned subset) override
    {
        CountingGeometry::DrawSubset(subset);
        DataManager* data = DataManager::Get();
        D3DXMATRIX world;
        ID3DXEffect* effect = data->GetEffect("basic.fx");
        if (!effect || FAILED(effect->GetMatrix("worldMatrix", &world)))
            return;
        Seen s{world._41, 0, 0};
        data->GetDevice()->GetRenderState(D3DRS_ALPHABLENDENABLE, &s.blend);
        data->GetDevice()->GetRenderState(D3DRS_ALPHATESTENABLE, &s.test);
        seen.push_back(s);
    }
    bool HasVertexColours() const override { return colours; }
};

IDirect3DTexture9* g_subsetTexture = nullptr;

std::shared_ptr<StaticMesh> LoadRecordingMesh(const std::string&)
{
    auto mesh = std::make_shared<StaticMesh>();
    mesh->SetGeometry(std::make_unique<RecordingGeometry>());
    mesh->SetSubsetTextures({g_subsetTexture, g_subsetTexture}, {nullptr, nullptr});
    return mesh;
}

std::shared_ptr<StaticMesh> LoadCountingMesh(const std::string&)
{
    auto mesh = std::make_shared<StaticMesh>();
    mesh->SetGeometry(std::make_unique<CountingGeometry>());
    return mesh;
}

class StaticObjectTest : public SceneFixture
{
protected:
    void SetUp() override
    {
        SceneFixture::SetUp();
        m_tree->Write("Data/Models/Static Models/box.x", "xof 0303txt 0032\n");
        m_tree->Write("Data/Models/Static Models/PolyGlow.x", "xof 0303txt 0032\n");
        StaticMesh::SetLoader(LoadCountingMesh);
        CountingGeometry::drawn = 0;
    }
    void TearDown() override
    {
        set.reset();
        StaticMesh::SetLoader(nullptr);
        SceneFixture::TearDown();
    }
    std::unique_ptr<StaticObjectSet> set = std::make_unique<StaticObjectSet>();
};

LevelStaticObject Record(const std::string& mesh, float scale, float x, float y, float z)
{
    LevelStaticObject r;
    r.meshName = mesh;
    r.scale = scale;
    r.position[0] = x;
    r.position[1] = y;
    r.position[2] = z;
    return r;
}

} // namespace

TEST_F(StaticObjectTest, PlacementsScaleFirstAndMoveLastOnePerMeshFile)
{
    LevelStaticObject turned = Record("box.x", 1.0f, 0.0f, 0.0f, 0.0f);
    // A quarter turn about y in the row-vector convention: x goes to -z.
    const float quarter[16] = {0, 0, -1, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1};
    std::copy(quarter, quarter + 16, turned.matrix);
    const std::vector<LevelStaticObject> records = {Record("box.x", 2.0f, 100.0f, 0.0f, 50.0f),
                                                    Record("other.x", 1.0f, 0, 0, 0), turned};
    set->LoadFromLevel(&records);
    ASSERT_EQ(set->Objects().size(), 2u);
    const auto& box = set->Objects()[0]->Matrices();
    ASSERT_EQ(box.size(), 2u);
    D3DXVECTOR3 p(10.0f, 0.0f, 0.0f), out;
    D3DXVec3TransformCoord(&out, &p, &box[0]);
    EXPECT_FLOAT_EQ(out.x, 120.0f) << "doubled, then moved";
    EXPECT_FLOAT_EQ(out.z, 50.0f);
    D3DXVec3TransformCoord(&out, &p, &box[1]);
    EXPECT_FLOAT_EQ(out.z, -10.0f);
    EXPECT_FLOAT_EQ(set->Objects()[0]->GetMesh()->GetHeight(), 100.0f);
    EXPECT_FALSE(set->Objects()[1]->GetMesh()->HasGeometry()) << "a missing mesh loads as one that draws nothing";

    // Every placement of every subset, then the render states the glows leave behind.
    set->Render();
    EXPECT_EQ(CountingGeometry::drawn, 4);
    DWORD ref = 0, zwrite = 0;
    m_device->GetRenderState(D3DRS_ALPHAREF, &ref);
    m_device->GetRenderState(D3DRS_ZWRITEENABLE, &zwrite);
    EXPECT_EQ(ref, 4u);
    EXPECT_EQ(zwrite, static_cast<DWORD>(TRUE));

    set->LoadFromLevel(nullptr);
    EXPECT_TRUE(set->Objects().empty());
}

// The view from (0, 50, -1000) toward +z through the game's projection (45 degrees high, 4:3, 200 to 40000):
// at a distance d the view reaches d x tan(22.5 degrees) x 4/3 = 0.5523 d to either side.
TEST_F(StaticObjectTest, PlacementsAndGlowsOutsideTheViewAreNotDrawn)
{
    Camera* camera = Camera::Get();
    camera->SetProjection();
    camera->SetEyeAndTarget(D3DXVECTOR3(0.0f, 50.0f, -1000.0f), D3DXVECTOR3(0.0f, 50.0f, 0.0f));
    const std::vector<LevelStaticObject> records = {
        Record("box.x", 1.0f, 0.0f, 0.0f, 0.0f), // straight ahead
        Record("box.x", 1.0f, 0.0f, 0.0f, -2000.0f), // behind the eye
        Record("box.x", 1.0f, 3000.0f, 0.0f, 0.0f), // far to the right (the view ends at 552)
        // x 530..630: beyond the edge at its near face (950 away: 525), within it at its far face (1050: 580).
        Record("box.x", 1.0f, 580.0f, 0.0f, 0.0f), Record("box.x", 1.0f, 0.0f, 0.0f, 50000.0f), // beyond the far plane
    };
    set->LoadFromLevel(&records);
    set->AddGlow("PolyGlow.x", 0.0f, 99999.0f, D3DXVECTOR3(0.0f, 0.0f, 0.0f), false);
    set->AddGlow("PolyGlow.x", 0.0f, 99999.0f, D3DXVECTOR3(0.0f, 0.0f, -2000.0f), false);
    Frame(0.25f);
    set->UpdateGlows();
    set->Render();
    // Two subsets of each of the two placements in view, and of the one glow in view.
    EXPECT_EQ(CountingGeometry::drawn, 6);
}

// The same view with only the left half of a 1024 x 768 screen drawn: the cube 300 left of the middle lies in it,
// the one 300 to the right (250 to 350, where the middle column is at 0) does not, until the whole view is drawn.
TEST_F(StaticObjectTest, APartOfThePictureDrawnAloneDrawsOnlyThePlacementsInIt)
{
    Camera* camera = Camera::Get();
    camera->SetProjection();
    camera->SetEyeAndTarget(D3DXVECTOR3(0.0f, 50.0f, -1000.0f), D3DXVECTOR3(0.0f, 50.0f, 0.0f));
    const std::vector<LevelStaticObject> records = {Record("box.x", 1.0f, -300.0f, 0.0f, 0.0f),
                                                    Record("box.x", 1.0f, 300.0f, 0.0f, 0.0f)};
    set->LoadFromLevel(&records);
    camera->NarrowCulling(RECT{0, 0, 512, 768}, 1024, 768);
    set->RenderObjects();
    EXPECT_EQ(CountingGeometry::drawn, 2) << "the two subsets of the left cube";
    camera->WidenCulling();
    CountingGeometry::drawn = 0;
    set->RenderObjects();
    EXPECT_EQ(CountingGeometry::drawn, 4);
}

TEST_F(StaticObjectTest, GlowsGrowStayAndShrinkOnGameTime)
{
    struct Case {
        const char* mesh;
        float delay, lifetime;
        bool reset;
        int firstShrinkUpdate; // the update on which the scale first falls
        int deadUpdate;
    };
    // dt 0.0625: growth 0.53125 a frame (full on the 2nd update), shrinking 0.5625 a frame.
    const Case cases[] = {
        {"PolyGlow.x", 0.0f, 99999.0f, true, 3, 4}, // reset after the 2nd update: shrinks at once
        {"box.x", 0.0f, 2.0f, false, 34, 35}, // full for 2.0 s from the end of its growth (t = 0.125)
        {"box.x", 1.0f, 2.0f, false, 65, 66}, // grows from t 1.0, full at 1.0625, shrinks 3.0 s later
    };
    for (const Case& c : cases) {
        StaticObjectSet glows;
        glows.AddGlow(c.mesh, c.delay, c.lifetime, D3DXVECTOR3(1.0f, 2.0f, 3.0f), true);
        const GlowMesh* glow = glows.Glows()[0].get();
        Frame(0.0625f);
        float previous = 0.0f;
        int shrink = 0, dead = 0;
        for (int update = 1; update <= 200 && !dead; ++update) {
            if (c.reset && update == 3)
                glows.ResetGlows();
            glows.UpdateGlows();
            if (glows.Glows().empty()) {
                dead = update;
                break;
            }
            glow = glows.Glows()[0].get();
            if (update == 1 && c.delay == 0.0f) {
                EXPECT_FLOAT_EQ(glow->GetScale(), 0.53125f);
            }
            if (c.delay > 0.0f && update <= 15) {
                EXPECT_FALSE(glow->IsShown()) << update;
                EXPECT_FLOAT_EQ(glow->GetScale(), 0.0f) << update;
            }
            if (glow->GetScale() < previous && !shrink)
                shrink = update;
            previous = glow->GetScale();
        }
        EXPECT_EQ(shrink, c.firstShrinkUpdate) << c.mesh << " delay " << c.delay;
        EXPECT_EQ(dead, c.deadUpdate) << c.mesh << " delay " << c.delay;
    }
}

TEST_F(StaticObjectTest, APausedGameLeavesAGlowWhereItIs)
{
    StaticObjectSet glows;
    glows.AddGlow("PolyGlow.x", 0.0f, 99999.0f, D3DXVECTOR3(0, 0, 0), true);
    Frame(0.0f);
    glows.UpdateGlows(); // would never return if the growth waited for the scale
    EXPECT_FLOAT_EQ(glows.Glows()[0]->GetScale(), 0.0f);
    Frame(0.0625f);
    glows.UpdateGlows();
    EXPECT_FLOAT_EQ(glows.Glows()[0]->GetScale(), 0.53125f);
    EXPECT_FLOAT_EQ(glows.Glows()[0]->GetRotation(), 0.03125f);
    // World = scale (1, s, 1), turned, then at its place.
    EXPECT_FLOAT_EQ(glows.Glows()[0]->GetWorld()._22, 0.53125f);
}

// Placements are drawn nearest first, each subset in turn. Blending and the alpha test are left off for a
// mesh whose textures are opaque and whose vertices bring no colours, when the states could not have
// changed its pixels; any alpha below 255, vertex colours, or a test that 255 fails keep them.
TEST_F(StaticObjectTest, OpaquePlacementsDrawNearestFirstWithoutBlendOrTest)
{
    Camera* camera = Camera::Get();
    camera->SetProjection();
    camera->SetEyeAndTarget(D3DXVECTOR3(0.0f, 50.0f, -1000.0f), D3DXVECTOR3(0.0f, 50.0f, 0.0f));
    StaticMesh::SetLoader(LoadRecordingMesh);
    struct Case {
        D3DFORMAT format;
        BYTE alpha; // of one texel
        bool colours;
        DWORD func; // against the objects' reference of 32
        bool statesOff;
    };
    const Case cases[] = {
        {D3DFMT_X8R8G8B8, 0, false, D3DCMP_GREATEREQUAL, true}, // no alpha at all
        {D3DFMT_A8R8G8B8, 255, false, D3DCMP_GREATER, true}, // every alpha 255
        {D3DFMT_A8R8G8B8, 254, false, D3DCMP_GREATEREQUAL, false}, // one texel below
        {D3DFMT_X8R8G8B8, 0, true, D3DCMP_GREATEREQUAL, false}, // vertex colours
        {D3DFMT_X8R8G8B8, 0, false, D3DCMP_LESS, false}, // 255 fails the test (the blend still goes)
    };
    for (const Case& c : cases) {
        const std::string name = "case" + std::to_string(&c - cases) + ".x";
        SCOPED_TRACE(name);
        m_tree->Write("Data/Models/Static Models/" + name, "xof 0303txt 0032\n");
        ASSERT_EQ(m_device->CreateTexture(2, 2, 1, 0, c.format, D3DPOOL_MANAGED, &g_subsetTexture, nullptr), D3D_OK);
        D3DLOCKED_RECT locked{};
        ASSERT_EQ(g_subsetTexture->LockRect(0, &locked, nullptr, 0), D3D_OK);
        for (int y = 0; y < 2; ++y)
            std::memset(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch, 0xFF, 8);
        static_cast<BYTE*>(locked.pBits)[locked.Pitch + 7] = c.alpha; // the last texel's alpha
        g_subsetTexture->UnlockRect(0);
        RecordingGeometry::colours = c.colours;
        RecordingGeometry::seen.clear();
        StaticObjectSet objects;
        const std::vector<LevelStaticObject> records = {Record(name, 1.0f, 100.0f, 0.0f, 3000.0f),
                                                        Record(name, 1.0f, 200.0f, 0.0f, 0.0f),
                                                        Record(name, 1.0f, 300.0f, 0.0f, 1000.0f)};
        objects.LoadFromLevel(&records);
        m_device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        m_device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        m_device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        m_device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
        m_device->SetRenderState(D3DRS_ALPHAFUNC, c.func);
        objects.RenderObjects();
        ASSERT_EQ(RecordingGeometry::seen.size(), 6u);
        const float nearFirst[3] = {200.0f, 300.0f, 100.0f};
        for (size_t i = 0; i < 6; ++i) {
            EXPECT_FLOAT_EQ(RecordingGeometry::seen[i].x, nearFirst[i % 3]) << i;
            const bool opaque = c.statesOff || c.func == D3DCMP_LESS;
            EXPECT_EQ(RecordingGeometry::seen[i].blend, opaque ? FALSE : TRUE) << i;
            EXPECT_EQ(RecordingGeometry::seen[i].test, c.statesOff ? FALSE : TRUE) << i;
        }
        DWORD blend = FALSE, test = FALSE;
        m_device->GetRenderState(D3DRS_ALPHABLENDENABLE, &blend);
        m_device->GetRenderState(D3DRS_ALPHATESTENABLE, &test);
        EXPECT_EQ(blend, static_cast<DWORD>(TRUE)) << "put back";
        EXPECT_EQ(test, static_cast<DWORD>(TRUE)) << "put back";
        EXPECT_EQ(objects.Objects()[0]->GetMesh()->IsOpaque(), c.statesOff || c.func == D3DCMP_LESS);
        g_subsetTexture->Release();
        g_subsetTexture = nullptr;
    }
}

TEST(OpaqueDrawTest, BlendAndTestThatCannotChangeAnOpaqueSource)
{
    struct Blend {
        DWORD source, destination, op, separate;
        bool keeps;
    };
    const Blend blends[] = {
        {D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DBLENDOP_ADD, FALSE, true},
        {D3DBLEND_ONE, D3DBLEND_ZERO, D3DBLENDOP_ADD, FALSE, true},
        {D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DBLENDOP_SUBTRACT, FALSE, true},
        {D3DBLEND_SRCALPHA, D3DBLEND_ONE, D3DBLENDOP_ADD, FALSE, false}, // adds the target
        {D3DBLEND_ONE, D3DBLEND_SRCALPHA, D3DBLENDOP_ADD, FALSE, false}, // the sky's: adds the target
        {D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DBLENDOP_REVSUBTRACT, FALSE, false},
        {D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DBLENDOP_MAX, FALSE, false},
        {D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DBLENDOP_ADD, TRUE, false}, // alpha blends apart
        {D3DBLEND_DESTCOLOR, D3DBLEND_ZERO, D3DBLENDOP_ADD, FALSE, false},
    };
    for (const Blend& b : blends)
        EXPECT_EQ(OpaqueDraw::BlendKeepsOpaque(b.source, b.destination, b.op, b.separate), b.keeps)
            << b.source << " " << b.destination << " " << b.op;
    struct Test {
        DWORD func, ref;
        bool keeps;
    };
    const Test tests[] = {
        {D3DCMP_ALWAYS, 255, true},    {D3DCMP_GREATEREQUAL, 255, true}, {D3DCMP_GREATER, 254, true},
        {D3DCMP_GREATER, 255, false},  {D3DCMP_EQUAL, 255, true},        {D3DCMP_EQUAL, 128, false},
        {D3DCMP_LESSEQUAL, 255, true}, {D3DCMP_LESS, 255, false},        {D3DCMP_NOTEQUAL, 255, false},
        {D3DCMP_NOTEQUAL, 0, true},    {D3DCMP_NEVER, 0, false},         {D3DCMP_GREATER, 0x1FE, true}};
    for (const Test& t : tests)
        EXPECT_EQ(OpaqueDraw::AlphaTestKeepsOpaque(t.func, t.ref), t.keeps) << t.func << " " << t.ref;
}

// Mesh files are drawn by their nearest placement in the view: a file listed first but standing far off
// waits for the one in front of it.
TEST_F(StaticObjectTest, MeshesDrawByTheirNearestPlacement)
{
    Camera* camera = Camera::Get();
    camera->SetProjection();
    camera->SetEyeAndTarget(D3DXVECTOR3(0.0f, 50.0f, -1000.0f), D3DXVECTOR3(0.0f, 50.0f, 0.0f));
    StaticMesh::SetLoader(LoadRecordingMesh);
    for (const char* name : {"far.x", "near.x"})
        m_tree->Write(std::string("Data/Models/Static Models/") + name, "xof 0303txt 0032\n");
    RecordingGeometry::colours = false;
    RecordingGeometry::seen.clear();
    const std::vector<LevelStaticObject> records = {
        Record("far.x", 1.0f, 100.0f, 0.0f, 3000.0f), Record("near.x", 1.0f, 200.0f, 0.0f, 500.0f),
        Record("far.x", 1.0f, -100.0f, 0.0f, 2000.0f), Record("near.x", 1.0f, 0.0f, 0.0f, 50000.0f)}; // beyond
    set->LoadFromLevel(&records);
    set->RenderObjects();
    // Each subset of near.x's one placement in view, then far.x's two, nearest first, subset by subset.
    const float expected[] = {200.0f, 200.0f, -100.0f, 100.0f, -100.0f, 100.0f};
    ASSERT_EQ(RecordingGeometry::seen.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i)
        EXPECT_FLOAT_EQ(RecordingGeometry::seen[i].x, expected[i]) << i;
}
