#include "scene/AnimatedMesh.h"

#include "core/DataManager.h"
#include "d3d9/null/NullDevice.h"
#include "scene/AnimationFileCache.h"
#include "scene/Camera.h"
#include "scene/MeshContainer.h"
#include "scene/MeshFrame.h"
#include "scene/MeshHierarchyAllocator.h"
#include "scene/MeshOwner.h"
#include "support/DataTree.h"
#include "support/TestDevice.h"
#include "win32/Log.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {

std::string ReadWhole(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// The arm of the loader tests with its one set renamed, and an animation file of further sets.
std::string Arm(const std::string& setName)
{
    std::string arm = ReadWhole(std::string(VARNHOLT_FIXTURES) + "/x/arm.x");
    const size_t at = arm.find("AnimationSet Bend");
    arm.replace(at, 17, "AnimationSet " + setName);
    return arm;
}

std::string Sets(std::initializer_list<const char*> names, int lastTick)
{
    std::string text = "xof 0303txt 0032\nAnimTicksPerSecond { 100; }\n";
    for (const char* name : names)
        text += std::string("AnimationSet ") + name + " { Animation { { Lower } AnimationKey { 2; 2; 0;3;0,10,0;;, " +
                std::to_string(lastTick) + ";3;0,10,0;;; } } }\n";
    return text;
}

class NoOwner : public MeshOwner
{
public:
    ID3DXEffect* GetOwnerEffect() const override { return nullptr; }
};

class AnimatedMeshTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        skinnedEffect = ReadWhole(std::filesystem::current_path() / "Data/Effect Files/SkinnedMesh.fx");
        ASSERT_FALSE(skinnedEffect.empty()) << "the default Data tree is missing";
        tree = std::make_unique<DataTree>();
        tree->Write("SkinnedMesh.fx", skinnedEffect);
        NullDevice::ResetForTests();
        CreateTestDevice(D3D9_BACKEND_NULL, nullptr, 320, 240, &d3d, &device);
        DataManager::ResetForTests();
        Camera::ResetForTests();
        DataManager::Get()->SetDevice(device);
    }

    void TearDown() override
    {
        mesh.Release();
        DataManager::Get()->ReleaseAll();
        DataManager::ResetForTests();
        ReleaseTestDevice(d3d, device);
        tree.reset();
    }

    void Frame(float seconds)
    {
        DataManager::Get()->AdvanceTime(seconds);
        D3DXMATRIX world;
        D3DXMatrixIdentity(&world);
        mesh.Update(&world);
    }

    float TrackWeight(UINT track)
    {
        D3DXTRACK_DESC desc{};
        mesh.GetController()->GetTrackDesc(track, &desc);
        return desc.Weight;
    }

    std::string skinnedEffect;
    std::unique_ptr<DataTree> tree;
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
    NoOwner owner;
    AnimatedMesh mesh;
};

} // namespace

TEST_F(AnimatedMeshTest, LoadRecordsSetsByNameAndPlayingTheCurrentSetChangesNothing)
{
    tree->Write("arm.x", Arm("Idle"));
    mesh.LoadWithEffect(&owner, "arm.x", true);
    ASSERT_TRUE(mesh.IsLoaded());
    EXPECT_EQ(mesh.GetSetCount(), 1u);
    EXPECT_EQ(mesh.GetNames().at("Idle"), 0);
    EXPECT_FALSE(mesh.PlayAnimation("Idle", true)); // set 0 counts as playing from the start
    EXPECT_FALSE(mesh.PlayAnimation("Jump", true));
    EXPECT_STREQ(mesh.GetRoot()->Name, "Root");
    // The allocator named the nameless frames and converted the skin with a palette of both bones.
    auto* container = static_cast<MeshContainer*>(mesh.GetRoot()->pMeshContainer);
    ASSERT_NE(container, nullptr);
    EXPECT_EQ(container->paletteSize, 2u);
    EXPECT_EQ(container->maxFaceInfluences, 2u);
    EXPECT_EQ(container->MeshData.pMesh->GetFVF(), D3DFVF_XYZB2 | D3DFVF_LASTBETA_UBYTE4 | D3DFVF_NORMAL | D3DFVF_TEX1);
    EXPECT_EQ(mesh.GetBoneMatrixCapacity(), 2u);

    // Further files merge their sets; the controller grows to exactly the new total.
    tree->Write("arm_moves.x", Sets({"Walk", "MeleeAttack"}, 100));
    mesh.LoadAnimationFile("arm_moves.x");
    EXPECT_EQ(mesh.GetSetCount(), 3u);
    EXPECT_EQ(mesh.GetController()->GetMaxNumAnimationSets(), 3u);
    EXPECT_EQ(mesh.GetNames().at("MeleeAttack"), 2);
    mesh.LoadAnimationFile("missing.x"); // skipped quietly
    EXPECT_EQ(mesh.GetSetCount(), 3u);

    // A critical attack without a set of its own plays the melee attack.
    EXPECT_TRUE(mesh.PlayAnimation("CriticalAttack", false));
    EXPECT_EQ(mesh.GetCurrentSet(), 2u);
}

TEST_F(AnimatedMeshTest, CrossFadeWeightsSumToOneAndTheOldTrackStops)
{
    tree->Write("arm.x", Arm("Idle"));
    tree->Write("arm_moves.x", Sets({"Walk", "Hit"}, 100));
    mesh.LoadWithEffect(&owner, "arm.x", true);
    mesh.LoadAnimationFile("arm_moves.x");
    ASSERT_TRUE(mesh.PlayAnimation("Walk", true));
    Frame(0.5f);
    Frame(0.125f);
    ASSERT_TRUE(mesh.PlayAnimation("Hit", true)); // back to track 0, fading from Walk on track 1
    EXPECT_EQ(mesh.GetCurrentTrack(), 0u);
    // Smooth steps at s = 0.25, 0.5 and 0.75 of the fade: 0.15625, 0.5, 0.84375 for the new track.
    const float expected[] = {0.15625f, 0.5f, 0.84375f};
    for (float weight : expected) {
        Frame(0.125f);
        EXPECT_NEAR(TrackWeight(0), weight, 1e-5f);
        EXPECT_NEAR(TrackWeight(0) + TrackWeight(1), 1.0f, 1e-5f);
    }
    Frame(0.125f);
    EXPECT_FLOAT_EQ(TrackWeight(0), 1.0f);
    D3DXTRACK_DESC old{};
    mesh.GetController()->GetTrackDesc(1, &old);
    EXPECT_FALSE(old.Enable);
    EXPECT_FLOAT_EQ(old.Speed, 0.0f);
}

TEST_F(AnimatedMeshTest, OneShotAnimationsReportTheirEventAndEndAndLoopingOnesNeither)
{
    tree->Write("arm.x", Arm("Idle"));
    tree->Write("arm_moves.x", Sets({"Attack", "Walk"}, 100)); // one second each
    mesh.LoadWithEffect(&owner, "arm.x", true);
    mesh.LoadAnimationFile("arm_moves.x");
    const struct {
        const char* set;
        float eventTime;
        int eventFrame; // frames of 0.25 s until eventReached
    } cases[] = {{"Attack", 0.0f, 1}, {"Walk", 0.5f, 2}, {"Attack", 5.0f, 4}};
    for (const auto& c : cases) {
        ASSERT_TRUE(mesh.PlayAnimation(c.set, false));
        mesh.SetEventTime(c.eventTime);
        EXPECT_FALSE(mesh.EventReached());
        int frame = 0;
        while (!mesh.EventReached() && frame < 10) {
            Frame(0.25f);
            ++frame;
        }
        EXPECT_EQ(frame, c.eventFrame) << "event at " << c.eventTime;
        EXPECT_EQ(mesh.IsFinished(), frame == 4) << "event at " << c.eventTime;
    }
    // Once finished the pose holds while the time goes on.
    const D3DXMATRIX held = static_cast<MeshFrame*>(D3DXFrameFind(mesh.GetRoot(), "Lower"))->combinedTransform;
    Frame(0.25f);
    EXPECT_FLOAT_EQ(mesh.GetElapsed(), 1.25f);
    EXPECT_EQ(std::memcmp(&held, &static_cast<MeshFrame*>(D3DXFrameFind(mesh.GetRoot(), "Lower"))->combinedTransform,
                          sizeof held),
              0);

    ASSERT_TRUE(mesh.PlayAnimation("Walk", true));
    for (int i = 0; i < 12; ++i)
        Frame(0.25f);
    EXPECT_FALSE(mesh.IsFinished());
    EXPECT_FALSE(mesh.EventReached());
}

TEST_F(AnimatedMeshTest, AOneShotSetEndsOnItsLastPoseAtSixtyFrames)
{
    // Upper moves 4 units along x over one second; played first, the set runs at full speed from its first
    // frame, so 60 frames of 1/60 s bring its track to the end while the elapsed time is still just short.
    tree->Write("arm.x", Arm("Idle"));
    tree->Write("arm_reach.x",
                "xof 0303txt 0032\nAnimTicksPerSecond { 100; }\nAnimationSet Reach { Animation { { Upper "
                "} AnimationKey { 2; 2; 0;3;0,0,0;;, 100;3;4,0,0;;; } } }\n");
    mesh.LoadWithEffect(&owner, "arm.x", true);
    mesh.LoadAnimationFile("arm_reach.x");
    ASSERT_TRUE(mesh.PlayAnimation("Reach", false));
    for (int frame = 0; frame < 62 && !mesh.IsFinished(); ++frame)
        Frame(1.0f / 60.0f);
    ASSERT_TRUE(mesh.IsFinished());
    const MeshFrame* upper = static_cast<MeshFrame*>(D3DXFrameFind(mesh.GetRoot(), "Upper"));
    ASSERT_NE(upper, nullptr);
    EXPECT_NEAR(upper->combinedTransform._41, 4.0f, 0.1f);
}

TEST_F(AnimatedMeshTest, BadModelsLeaveTheMeshUnloadedAndModelsWithoutSetsStillLoad)
{
    // A bone that names no frame of the model.
    std::string arm = Arm("Idle");
    arm.replace(arm.find("\"Lower\""), 7, "\"Wrist\"");
    tree->Write("wrist.x", arm);
    LogCapture capture;
    mesh.LoadWithEffect(&owner, "wrist.x", true);
    EXPECT_EQ(capture.Count("model.bones"), 1);
    EXPECT_FALSE(mesh.IsLoaded());
    EXPECT_EQ(mesh.GetRoot(), nullptr);
    mesh.LoadWithEffect(&owner, "missing.x", true);
    EXPECT_FALSE(mesh.IsLoaded());
    // Every unit of a class asks for its model: a missing one is named once, and so is one that cannot be read.
    AnimatedMesh other;
    other.LoadWithEffect(&owner, "missing.x", true);
    EXPECT_EQ(capture.Count("model.missing"), 1);
    tree->Write("broken.x", "xof 0303txt 0032\nFrame Root { Mesh { 3;");
    mesh.LoadWithEffect(&owner, "broken.x", true);
    other.LoadWithEffect(&owner, "broken.x", true);
    EXPECT_FALSE(mesh.IsLoaded());
    EXPECT_EQ(capture.Count("model.refused"), 1);

    std::string still = Arm("Idle");
    still.erase(still.find("// The elbow bends"));
    tree->Write("still.x", still);
    mesh.LoadWithEffect(&owner, "still.x", true);
    ASSERT_TRUE(mesh.IsLoaded());
    EXPECT_EQ(mesh.GetSetCount(), 0u);
    EXPECT_FALSE(mesh.PlayAnimation("Idle", true));
    Frame(0.25f);
    mesh.DrawFrames();
}

TEST_F(AnimatedMeshTest, NormalMapsAreTheTextureNameWithDot3)
{
    EXPECT_EQ(MeshHierarchyAllocator::NormalMapName("rock.tga"), "rockDOT3.tga");
    EXPECT_EQ(MeshHierarchyAllocator::NormalMapName("a.tga"), "aDOT3.tga");
    EXPECT_EQ(MeshHierarchyAllocator::NormalMapName("ab"), "abDOT3");
}

TEST_F(AnimatedMeshTest, DrawingSetsThePaletteAndDrawsEachBoneCombinationOnce)
{
    tree->Write("arm.x", Arm("Idle"));
    mesh.LoadWithEffect(&owner, "arm.x", true);
    ASSERT_TRUE(mesh.IsLoaded());
    Frame(0.25f);
    auto* null = dynamic_cast<NullDevice*>(device);
    ASSERT_NE(null, nullptr);
    // The frame draws with blending on and no culling; the skin's pass turns both around for itself only.
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    const UINT before = null->PrimitiveCount();
    mesh.DrawFrames();
    EXPECT_EQ(null->PrimitiveCount() - before, 3u);
    DWORD blend = FALSE;
    DWORD cull = D3DCULL_CCW;
    device->GetRenderState(D3DRS_ALPHABLENDENABLE, &blend);
    device->GetRenderState(D3DRS_CULLMODE, &cull);
    EXPECT_EQ(blend, static_cast<DWORD>(TRUE));
    EXPECT_EQ(cull, static_cast<DWORD>(D3DCULL_NONE));
}

TEST_F(AnimatedMeshTest, AnAnimationFileIsReadOnceForEveryUnitThatPlaysIt)
{
    AnimationFileCache::Clear();
    tree->Write("arm.x", Arm("Idle"));
    tree->Write("arm_moves.x", Sets({"Walk", "Hit"}, 100));
    mesh.LoadWithEffect(&owner, "arm.x", true);
    mesh.LoadAnimationFile("arm_moves.x");
    AnimatedMesh second;
    second.LoadWithEffect(&owner, "arm.x", true);
    second.LoadAnimationFile("arm_moves.x");
    EXPECT_EQ(AnimationFileCache::FilesRead(), 1u);
    // Both play the sets at the indices their own load order gives, from the one copy.
    for (AnimatedMesh* m : {&mesh, &second}) {
        EXPECT_EQ(m->GetSetCount(), 3u);
        EXPECT_EQ(m->GetNames().at("Walk"), 1);
        EXPECT_EQ(m->GetNames().at("Hit"), 2);
    }
    ID3DXAnimationSet* first = nullptr;
    ID3DXAnimationSet* other = nullptr;
    mesh.GetController()->GetAnimationSet(1, &first);
    second.GetController()->GetAnimationSet(1, &other);
    EXPECT_EQ(first, other);
    first->Release();
    other->Release();
    // Playing one unit's set leaves the other's pose alone.
    ASSERT_TRUE(mesh.PlayAnimation("Walk", true));
    EXPECT_EQ(second.GetCurrentSet(), 0u);

    // A file written anew (here a set more, so a different size) is read again; a missing one not at all.
    tree->Write("arm_moves.x", Sets({"Walk", "Hit", "Die"}, 100));
    AnimatedMesh third;
    third.LoadWithEffect(&owner, "arm.x", true);
    third.LoadAnimationFile("arm_moves.x");
    third.LoadAnimationFile("missing.x");
    EXPECT_EQ(AnimationFileCache::FilesRead(), 2u);
    EXPECT_EQ(third.GetSetCount(), 4u);
    EXPECT_EQ(third.GetNames().at("Die"), 3);
    second.Release();
    third.Release();
    AnimationFileCache::Clear();
}

TEST_F(AnimatedMeshTest, AnAnimationFileThatCannotBeReadAddsNoSetsAndIsNotReadAgain)
{
    AnimationFileCache::Clear();
    tree->Write("arm.x", Arm("Idle"));
    tree->Write("arm_broken.x", "xof 0303txt 0032\nAnimationSet Walk { Animation { { Lower } AnimationKey { 2; 5;");
    mesh.LoadWithEffect(&owner, "arm.x", true);
    mesh.LoadAnimationFile("arm_broken.x");
    mesh.LoadAnimationFile("arm_broken.x");
    EXPECT_EQ(mesh.GetSetCount(), 1u);
    EXPECT_EQ(mesh.GetNames().count("Walk"), 0u);
    EXPECT_EQ(AnimationFileCache::FilesRead(), 1u);
    AnimationFileCache::Clear();
}

TEST_F(AnimatedMeshTest, TheSkinReachesAsFarFromItsBonesAsItsFarthestWeightedVertex)
{
    tree->Write("arm.x", Arm("Idle"));
    mesh.LoadWithEffect(&owner, "arm.x", true);
    // The elbow vertex (2, 10) is weighted by the upper bone at the origin: sqrt(4 + 100).
    EXPECT_NEAR(mesh.GetSkinReach(), std::sqrt(104.0f), 1e-4f);
}

TEST_F(AnimatedMeshTest, AModelWhollyOutsideTheViewIsNotDrawn)
{
    tree->Write("arm.x", Arm("Idle"));
    mesh.LoadWithEffect(&owner, "arm.x", true);
    // Square view of 45 degrees from 100 in front of the origin: at depth 0 the view's edge is at
    // x = 100 tan(22.5 degrees) = 41.42. The arm's bones stand at x = its place, 0 to 10 high, and the bound
    // is their box (half a diagonal of 5) grown by the skin's reach of 10.2: the right-hand plane, tilted by
    // 22.5 degrees, leaves it behind once the place is past 41.42 + 15.2 / cos(22.5 degrees) = 57.9.
    Camera::Get()->SetEyeAndTarget(D3DXVECTOR3(0.0f, 0.0f, -100.0f), D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    Camera::Get()->SetProjectionFov(100.0f, 100.0f, 1.0f, 1000.0f);
    auto* null = dynamic_cast<NullDevice*>(device);
    ASSERT_NE(null, nullptr);
    struct Case {
        float x, z;
        bool drawn;
    };
    const Case cases[] = {
        {0.0f, 0.0f, true},     {40.0f, 0.0f, true}, // partly in view: the arm spans x = 40 to 42
        {55.0f, 0.0f, true},    {-55.0f, 0.0f, true}, // outside, but within the bound's reach
        {60.0f, 0.0f, false},   {-60.0f, 0.0f, false}, // past either side
        {0.0f, -300.0f, false}, // behind the eye
        {0.0f, 2000.0f, false}, // past the far plane (900 beyond the origin)
    };
    for (const Case& c : cases) {
        DataManager::Get()->AdvanceTime(0.0f);
        D3DXMATRIX world;
        D3DXMatrixTranslation(&world, c.x, 0.0f, c.z);
        mesh.Update(&world);
        EXPECT_EQ(mesh.OutsideView(), !c.drawn) << c.x << ", " << c.z;
        const UINT before = null->PrimitiveCount();
        mesh.DrawFrames();
        EXPECT_EQ(null->PrimitiveCount() - before, c.drawn ? 3u : 0u) << c.x << ", " << c.z;
    }
}

TEST_F(AnimatedMeshTest, ASkinWithoutNormalsInItsFileIsDrawnWithNormalsWorkedOutForIt)
{
    std::string arm = Arm("Idle");
    const size_t from = arm.find("  MeshNormals {");
    const size_t to = arm.find("  MeshTextureCoords {");
    ASSERT_NE(from, std::string::npos);
    ASSERT_NE(to, std::string::npos);
    arm.erase(from, to - from);
    tree->Write("arm.x", arm);
    mesh.LoadWithEffect(&owner, "arm.x", true);
    ASSERT_TRUE(mesh.IsLoaded());
    auto* container = static_cast<MeshContainer*>(mesh.GetRoot()->pMeshContainer);
    ASSERT_NE(container, nullptr);
    ID3DXMesh* converted = container->MeshData.pMesh;
    ASSERT_NE(converted, nullptr);
    D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE];
    ASSERT_EQ(converted->GetDeclaration(declaration), D3D_OK);
    int normalOffset = -1;
    for (const D3DVERTEXELEMENT9* element = declaration; element->Stream != 0xFF; ++element)
        if (element->Usage == D3DDECLUSAGE_NORMAL)
            normalOffset = element->Offset;
    ASSERT_GE(normalOffset, 0);
    // All three triangles lie in the plane z = 0. Edge 1 x edge 2 of face 0,2,1 is (0, 5, 0) x (1, 0, 0) =
    // (0, 0, -5), of face 3,5,4 the same; of the elbow face 2,6,3 it is (2, 5, 0) x (0, 10, 0) = (0, 0, 20). So
    // the elbow's three vertices, (0, 5), (2, 10) and (0, 15), face +z, the other four -z.
    const DWORD stride = converted->GetNumBytesPerVertex();
    void* data = nullptr;
    ASSERT_EQ(converted->LockVertexBuffer(D3DLOCK_READONLY, &data), D3D_OK);
    for (DWORD v = 0; v < converted->GetNumVertices(); ++v) {
        float position[3], normal[3];
        const uint8_t* vertex = static_cast<const uint8_t*>(data) + v * stride;
        std::memcpy(position, vertex, sizeof(position));
        std::memcpy(normal, vertex + normalOffset, sizeof(normal));
        const bool elbow = (position[0] == 0.0f && position[1] == 5.0f) ||
                           (position[0] == 2.0f && position[1] == 10.0f) ||
                           (position[0] == 0.0f && position[1] == 15.0f);
        EXPECT_NEAR(normal[0], 0.0f, 1e-5f) << v;
        EXPECT_NEAR(normal[1], 0.0f, 1e-5f) << v;
        EXPECT_NEAR(normal[2], elbow ? 1.0f : -1.0f, 1e-5f) << "vertex at height " << position[1];
    }
    converted->UnlockVertexBuffer();
}
