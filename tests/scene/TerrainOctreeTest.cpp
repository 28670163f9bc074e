#include "scene/TerrainOctree.h"
#include "scene/LevelData.h"
#include "scene/SceneFixture.h"
#include "scene/Terrain.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace {

using Node = TerrainOctree::Node;

void CollectLeaves(const Node* node, std::vector<const Node*>& leaves)
{
    if (!node)
        return;
    if (node->leaf)
        leaves.push_back(node);
    for (const auto& child : node->children)
        CollectLeaves(child.get(), leaves);
}

class OctreeTest : public SceneFixture
{
protected:
    void SetUp() override
    {
        SceneFixture::SetUp();
        octree.Build(level);
    }
    void TearDown() override
    {
        octreeOwner.reset();
        SceneFixture::TearDown();
    }
    LevelData level;
    std::unique_ptr<TerrainOctree> octreeOwner = std::make_unique<TerrainOctree>();
    TerrainOctree& octree = *octreeOwner;
};

} // namespace

TEST_F(OctreeTest, TheGridSplitsIntoSixtyFourPatchesOfThirtyThreeSquared)
{
    const Node* root = octree.Root();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->sampleCount, 16642u) << "129 x 129 and the far corner twice";
    EXPECT_FALSE(root->leaf);
    std::multiset<uint32_t> firstLevel;
    for (const auto& child : root->children)
        firstLevel.insert(child->sampleCount);
    EXPECT_EQ(firstLevel.count(4225u), 6u);
    EXPECT_EQ(firstLevel.count(4226u), 2u) << "the upper and lower node at the far corner";

    std::vector<const Node*> leaves;
    CollectLeaves(root, leaves);
    ASSERT_EQ(leaves.size(), 64u);
    int corner = 0;
    for (const Node* leaf : leaves) {
        EXPECT_TRUE(leaf->sampleCount == 1089u || leaf->sampleCount == 1090u);
        corner += leaf->sampleCount == 1090u;
        EXPECT_EQ(leaf->triangleCount, 2048);
        ASSERT_NE(leaf->indexBuffer.Get(), nullptr);
        void* data = nullptr;
        ASSERT_EQ(leaf->indexBuffer->Lock(0, 0, &data, D3DLOCK_READONLY), D3D_OK);
        const auto* index = static_cast<const uint16_t*>(data);
        EXPECT_EQ(*std::max_element(index, index + 6144), 1088);
        // The first cell: (i, i+1, i+n+1) and (i, i+n+1, i+n) with n = 33.
        EXPECT_EQ(index[0], 0);
        EXPECT_EQ(index[1], 1);
        EXPECT_EQ(index[2], 34);
        EXPECT_EQ(index[5], 33);
        leaf->indexBuffer->Unlock();
    }
    EXPECT_EQ(corner, 4);
}

TEST_F(OctreeTest, VisibilityFollowsTheCameraAndItsFrustum)
{
    Camera* camera = Camera::Get();
    camera->SetProjection();
    const Node* root = octree.Root();
    const Node* lowNear = root->children[7].get(); // -x, -y, -z
    // Inside the box: visible whatever the planes say (they face away here).
    camera->SetEyeAndTarget(D3DXVECTOR3(4000.0f, -4000.0f, 4000.0f), D3DXVECTOR3(4000.0f, -4000.0f, -9000.0f));
    camera->UpdateFrustum();
    EXPECT_TRUE(TerrainOctree::IsNodeVisible(lowNear));
    // Looking away from the node from outside it: every corner behind the near plane.
    camera->SetEyeAndTarget(D3DXVECTOR3(4000.0f, 100.0f, 20000.0f), D3DXVECTOR3(4000.0f, 100.0f, 30000.0f));
    camera->UpdateFrustum();
    EXPECT_FALSE(TerrainOctree::IsNodeVisible(lowNear));
    // Turned around, it is seen.
    camera->SetEyeAndTarget(D3DXVECTOR3(4000.0f, 100.0f, 20000.0f), D3DXVECTOR3(4000.0f, 100.0f, 10000.0f));
    camera->UpdateFrustum();
    EXPECT_TRUE(TerrainOctree::IsNodeVisible(lowNear));
    EXPECT_FALSE(TerrainOctree::IsNodeVisible(nullptr));
}

TEST_F(OctreeTest, CullingFollowsEveryFrameEvenWithTheGamePaused)
{
    Camera* camera = Camera::Get();
    camera->SetProjection();
    Frame(0.0f);
    camera->SetEyeAndTarget(D3DXVECTOR3(4000.0f, 100.0f, 20000.0f), D3DXVECTOR3(4000.0f, 100.0f, 30000.0f));
    camera->UpdateFrustum();
    octree.Cull();
    const Node* lowNear = octree.Root()->children[7].get();
    EXPECT_FALSE(lowNear->visible);
    camera->SetEyeAndTarget(D3DXVECTOR3(4000.0f, 100.0f, 20000.0f), D3DXVECTOR3(4000.0f, 100.0f, 10000.0f));
    camera->UpdateFrustum();
    octree.Cull();
    EXPECT_TRUE(lowNear->visible) << "a paused game still sees where its camera turns";
}

TEST_F(OctreeTest, EachPatchIsDrawnOnceAFrameThoughSeveralLeavesHoldIt)
{
    Camera* camera = Camera::Get();
    camera->SetProjection();
    // High above the centre, looking straight down the whole map: every leaf of both height slabs is seen.
    camera->SetEyeAndTarget(D3DXVECTOR3(16384.0f, 39000.0f, 16380.0f), D3DXVECTOR3(16384.0f, 0.0f, 16384.0f));
    camera->UpdateFrustum();
    octree.Cull();
    std::vector<const Node*> leaves;
    CollectLeaves(octree.Root(), leaves);
    const auto visible = std::count_if(leaves.begin(), leaves.end(), [](const Node* n) { return n->visible; });
    EXPECT_GT(visible, 16) << "the patches are seen in more than one slab";
    m_device->SetFVF(TerrainVertex::FVF);
    Null()->ResetCounters();
    octree.Draw();
    EXPECT_EQ(Null()->DrawCount(), 16u);
    EXPECT_EQ(Null()->PrimitiveCount(), 16u * 2048u);
    octree.Draw();
    EXPECT_EQ(Null()->DrawCount(), 32u) << "the next frame draws them again";
}

TEST_F(OctreeTest, TrianglesAreGroupedByTheBlendWeightsTheyUse)
{
    // Bit k of a set: weight k + 1 (red, green, blue, alpha of the colour) above zero at some corner.
    struct Case {
        D3DCOLOR a, b, c;
        unsigned set;
    } cases[] = {
        {0x00000000, 0x00000000, 0x00000000, 0},  {0x00FF0000, 0x00FF0000, 0x00FF0000, 1},
        {0x00FF0000, 0x0000FF00, 0x00000000, 3},  {0x00000000, 0x00000004, 0x00000000, 4},
        {0x00000000, 0x00000000, 0x04000000, 8},  {0x00FF0000, 0x00000000, 0x80000000, 9},
        {0xFFFFFFFF, 0x00000000, 0x00000000, 15},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TerrainOctree::WeightSet(c.a, c.b, c.c), c.set) << std::hex << c.a << " " << c.b << " " << c.c;

    // Fading tails: weight 2 of at most 3 (of 255) at every corner beside weight 1 is left out, 4 is not;
    // weights 1 and 2 as small as that together are both kept, and so is either alone; weights 3 and 4 of
    // at most 3 are left out whatever the others.
    const Case tails[] = {
        {0x00FF0000, 0x00FC0300, 0x00FD0200, 1}, {0x00FF0000, 0x00FB0400, 0x00FF0000, 3},
        {0x0003FC00, 0x0000FF00, 0x0001FE00, 2}, {0x00020000, 0x00000300, 0x00000000, 3},
        {0x00000200, 0x00000000, 0x00000000, 2}, {0x00FC0003, 0x00FF0000, 0x03FF0001, 1},
        {0x00FC0004, 0x00FF0000, 0x03FF0001, 5}, {0x00FC0003, 0x00FF0000, 0x04FF0001, 9},
    };
    for (const Case& c : tails)
        EXPECT_EQ(TerrainOctree::WeightSet(c.a, c.b, c.c), c.set) << std::hex << c.a << " " << c.b << " " << c.c;

    // Weight 1 everywhere, weight 3 at sample (x 5, z 5) and weight 4 at (x 40, z 70): each lies inside a
    // patch, where a grid vertex is a corner of six triangles.
    LevelData painted;
    for (int sample = 0; sample < LevelData::SAMPLE_COUNT; ++sample)
        painted.blendWeights[static_cast<size_t>(sample) * 4] = 1.0f;
    painted.blendWeights[(5 * 128 + 5) * 4 + 2] = 0.5f;
    painted.blendWeights[(40 * 128 + 70) * 4 + 3] = 0.25f;
    TerrainOctree tree;
    tree.Build(painted);
    std::vector<const Node*> leaves;
    CollectLeaves(tree.Root(), leaves);
    for (const Node* leaf : leaves) {
        const bool third = leaf->patchX == 0 && leaf->patchZ == 0;
        const bool fourth = leaf->patchX == 32 && leaf->patchZ == 64;
        EXPECT_EQ(tree.WeightSetTriangles(leaf, 0, 15), 2048u);
        EXPECT_EQ(tree.WeightSetTriangles(leaf, 0, 3), third || fourth ? 2042u : 2048u);
        EXPECT_EQ(tree.WeightSetTriangles(leaf, 4, 7), third ? 6u : 0u);
        EXPECT_EQ(tree.WeightSetTriangles(leaf, 5, 5), third ? 6u : 0u) << "weights 1 and 3";
        EXPECT_EQ(tree.WeightSetTriangles(leaf, 8, 11), fourth ? 6u : 0u);
    }

    // Seen whole from high above: each group is drawn from the patches that hold some of it.
    Camera* camera = Camera::Get();
    camera->SetProjection();
    camera->SetEyeAndTarget(D3DXVECTOR3(16384.0f, 39000.0f, 16380.0f), D3DXVECTOR3(16384.0f, 0.0f, 16384.0f));
    camera->UpdateFrustum();
    tree.Cull();
    m_device->SetFVF(TerrainVertex::FVF);
    Null()->ResetCounters();
    tree.DrawWeightSets(4, 7);
    EXPECT_EQ(Null()->DrawCount(), 1u);
    EXPECT_EQ(Null()->PrimitiveCount(), 6u);
    tree.DrawWeightSets(0, 3);
    EXPECT_EQ(Null()->DrawCount(), 17u);
    EXPECT_EQ(Null()->PrimitiveCount(), 6u + (16u * 2048u - 12u));
    tree.DrawWeightSets(12, 15);
    EXPECT_EQ(Null()->DrawCount(), 17u) << "no triangle uses both weights 3 and 4";
}

// The patches are 8192 units square, their leaves centred at 4096 + 8192 k across the ground. Seen from
// high over one corner, every patch is drawn, nearest the eye (across the ground) first.
TEST_F(OctreeTest, PatchesAreDrawnNearestTheEyeFirst)
{
    Camera* camera = Camera::Get();
    camera->SetProjection();
    struct View {
        float eyeX, eyeZ;
        float firstX, firstZ, lastX, lastZ;
    };
    const View views[] = {{2000.0f, 2000.0f, 4096.0f, 4096.0f, 28672.0f, 28672.0f},
                          {30000.0f, 2000.0f, 28672.0f, 4096.0f, 4096.0f, 28672.0f},
                          {30000.0f, 31000.0f, 28672.0f, 28672.0f, 4096.0f, 4096.0f}};
    m_device->SetFVF(TerrainVertex::FVF);
    for (const View& v : views) {
        SCOPED_TRACE(std::to_string(v.eyeX) + ", " + std::to_string(v.eyeZ));
        camera->SetEyeAndTarget(D3DXVECTOR3(v.eyeX, 39000.0f, v.eyeZ), D3DXVECTOR3(16384.0f, 0.0f, 16384.0f));
        camera->UpdateFrustum();
        octree.Cull();
        octree.Draw();
        const std::vector<const Node*>& order = octree.LastDrawOrder();
        ASSERT_EQ(order.size(), 16u);
        EXPECT_FLOAT_EQ(order.front()->centre.x, v.firstX);
        EXPECT_FLOAT_EQ(order.front()->centre.z, v.firstZ);
        EXPECT_FLOAT_EQ(order.back()->centre.x, v.lastX);
        EXPECT_FLOAT_EQ(order.back()->centre.z, v.lastZ);
        float previous = 0.0f;
        for (const Node* leaf : order) {
            const float dx = leaf->centre.x - v.eyeX, dz = leaf->centre.z - v.eyeZ;
            EXPECT_GE(dx * dx + dz * dz, previous);
            previous = dx * dx + dz * dz;
        }
    }
}
