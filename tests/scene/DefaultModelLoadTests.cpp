// The default data's class models through the game's own loader and animation controller, on the null
// device: each loads with every animation file its class adds, numbers its sets in load order, and its
// motions pose the skeleton as they should (a fallen body low, a caster's hands above the head).
#include "scene/AnimatedMesh.h"

#include "core/DataManager.h"
#include "d3d9/null/NullDevice.h"
#include "scene/Camera.h"
#include "scene/MeshContainer.h"
#include "scene/MeshFrame.h"
#include "scene/MeshOwner.h"
#include "support/TestDevice.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

const char* const Suffixes[] = {"_walk.x",  "_defend.x", "_focus.x",        "_hit.x",  "_magichit.x", "_die.x",
                                "_dodge.x", "_attack.x", "_rangedAttack.x", "_cast.x", "_critical.x"};

struct ClassFiles {
    const char* model;
    const char* base;
    std::vector<const char*> extras;
    bool casts;
};

const ClassFiles Classes[] = {
    {"pikeman.x", "pikeman", {"_meleespirit.x"}, false},
    {"militia.x", "militia", {"_firstaid.x", "_shieldbash.x"}, false},
    {"paladin.x", "paladin", {}, true},
    {"mage.x", "mage", {}, true},
    {"combatMage.x", "combatMage", {}, true},
    {"healer.x", "healer", {}, true},
    {"rogue.x", "rogue", {"_flashstrike.x"}, false},
    {"assassin.x", "assassin", {"_asstouch.x", "_daggerthrow.x", "_fanofdaggers.x"}, false},
    {"scout.x", "scout", {"_dirtkick.x"}, false},
    {"knight.x", "knight", {"_warcry.x", "_sweepstrike.x", "_assault.x"}, false},
    {"archer.x", "archer", {}, false},
};

class NoOwner : public MeshOwner
{
public:
    ID3DXEffect* GetOwnerEffect() const override { return nullptr; }
};

class DefaultModelLoad : public ::testing::Test
{
protected:
    void SetUp() override
    {
        NullDevice::ResetForTests();
        CreateTestDevice(D3D9_BACKEND_NULL, nullptr, 320, 240, &d3d, &device);
        DataManager::ResetForTests();
        Camera::ResetForTests();
        DataManager::Get()->SetDevice(device);
    }
    void TearDown() override
    {
        meshes.clear();
        DataManager::Get()->ReleaseAll();
        DataManager::ResetForTests();
        ReleaseTestDevice(d3d, device);
    }

    // As a class unit loads its model: the model, then the ability files, then the eleven.
    void LoadClass(const ClassFiles& c)
    {
        // A fresh mesh per class, as every unit has its own.
        meshes.push_back(std::make_unique<AnimatedMesh>());
        AnimatedMesh& mesh = *meshes.back();
        mesh.LoadWithEffect(&owner, c.model, true);
        ASSERT_TRUE(mesh.IsLoaded()) << c.model;
        for (const char* extra : c.extras)
            mesh.LoadAnimationFile(std::string(c.base) + extra);
        for (const char* suffix : Suffixes)
            mesh.LoadAnimationFile(std::string(c.base) + suffix);
    }

    void Run(float seconds)
    {
        D3DXMATRIX world;
        D3DXMatrixIdentity(&world);
        for (float t = 0.0f; t < seconds; t += 0.05f) {
            DataManager::Get()->AdvanceTime(0.05f);
            Mesh().Update(&world);
        }
    }

    D3DXVECTOR3 Where(const char* frame) const
    {
        const auto* f = static_cast<const MeshFrame*>(D3DXFrameFind(Mesh().GetRoot(), frame));
        EXPECT_NE(f, nullptr) << frame;
        return f ? D3DXVECTOR3(f->combinedTransform._41, f->combinedTransform._42, f->combinedTransform._43)
                 : D3DXVECTOR3(0, 0, 0);
    }

    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
    AnimatedMesh& Mesh() const { return *meshes.back(); }

    NoOwner owner;
    std::vector<std::unique_ptr<AnimatedMesh>> meshes;
};

} // namespace

TEST_F(DefaultModelLoad, EveryClassLoadsItsSkinAndAllItsSetsWithOnePaletteDraw)
{
    for (const ClassFiles& c : Classes) {
        SCOPED_TRACE(c.base);
        LoadClass(c);
        // Idle, one set per file present and the odd extra set (block, the rogue's vigour).
        EXPECT_GE(Mesh().GetSetCount(), 10u + c.extras.size());
        EXPECT_EQ(Mesh().GetNames().at("Idle"), 0);
        for (const char* name :
             {"Walk", "Defend", "Focus", "Hit", "MagicHit", "Die", "Dodge", "MeleeAttack", "CriticalAttack", "Block"})
            EXPECT_TRUE(Mesh().GetNames().count(name)) << name;
        EXPECT_EQ(Mesh().GetNames().count("Cast") == 1, c.casts);
        auto* container = static_cast<MeshContainer*>(Mesh().GetRoot()->pMeshContainer);
        ASSERT_NE(container, nullptr);
        // Every bone fits one palette, so each model draws in a single call per pass.
        EXPECT_EQ(container->attributeGroupCount, 1u);
        EXPECT_LE(container->paletteSize, AnimatedMesh::MAX_PALETTE);
    }
}

TEST_F(DefaultModelLoad, TheKnightsRegisteredIndicesNameTheSetsOfThoseNames)
{
    LoadClass(Classes[9]);
    const char* const registered[] = {"Idle",   "Warcry",      "SweepStrike",   "Assault",  "Walk",
                                      "Defend", "Focus",       "Hit",           "MagicHit", "Die",
                                      "Dodge",  "MeleeAttack", "CriticalAttack"};
    // The names the files give are the names the knight registers by index, so registering changes nothing.
    for (int i = 0; i < 13; ++i)
        EXPECT_EQ(Mesh().GetNames().at(registered[i]), i) << registered[i];
}

TEST_F(DefaultModelLoad, AFallenUnitLiesLowAndACasterRaisesItsHands)
{
    for (const ClassFiles& c : Classes) {
        SCOPED_TRACE(c.base);
        LoadClass(c);
        ASSERT_TRUE(Mesh().PlayAnimation("Walk", true));
        Run(0.6f);
        const D3DXVECTOR3 standing = Where("Head");
        EXPECT_GT(standing.y, 85.0f);
        EXPECT_LT(standing.y, 125.0f);

        ASSERT_TRUE(Mesh().PlayAnimation("Die", false));
        Run(2.4f);
        EXPECT_TRUE(Mesh().IsFinished());
        EXPECT_LT(Where("Head").y, 25.0f);
        EXPECT_LT(Where("Hips").y, 20.0f);

        if (c.casts) {
            ASSERT_TRUE(Mesh().PlayAnimation("Cast", false));
            Run(0.9f);
            EXPECT_GT(Where("Hand_L").y, Where("Head").y);
            EXPECT_GT(Where("Hand_R").y, Where("Head").y);
        }
    }
}

TEST_F(DefaultModelLoad, MeleeBlowsReachForwardWhereTheFigureFaces)
{
    // The figures face -z; during the blow a hand reaches well ahead of where it rests.
    for (const ClassFiles& c : Classes) {
        SCOPED_TRACE(c.base);
        LoadClass(c);
        Run(0.6f);
        const auto ahead = [&] {
            const float chest = Where("Chest").z;
            return std::max(chest - Where("Hand_R").z, chest - Where("Hand_L").z);
        };
        const float resting = ahead();
        ASSERT_TRUE(Mesh().PlayAnimation("MeleeAttack", false));
        float reach = resting;
        for (int i = 0; i < 40 && !Mesh().IsFinished(); ++i) {
            Run(0.05f);
            reach = std::max(reach, ahead());
        }
        EXPECT_GT(reach, resting + 10.0f);
    }
}
