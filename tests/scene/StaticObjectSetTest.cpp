#include "scene/StaticObjectSet.h"
#include "scene/GlowMesh.h"
#include "scene/LevelObject.h"
#include "scene/SceneFixture.h"
#include "scene/StaticMesh.h"

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
