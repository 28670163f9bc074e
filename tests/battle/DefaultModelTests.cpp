// The default data's models as the units load them: every file a class asks for, with the set names the
// rules play, sound skins, attacks that land inside their animations, and the static meshes at their sizes.
#include "XText.h"

#include "battle/UnitDefinition.h"
#include "core/DataManager.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include <unistd.h>

namespace {

struct ClassModel {
    const char* unitFile;
    const char* base;
    // Ability animation files the class adds before its eleven, with the sets they hold.
    std::vector<std::pair<std::string, std::vector<std::string>>> extras;
    bool ranged;
    bool casts;
    // The sets the class's abilities play by name.
    std::vector<std::string> abilitySets;
};

const std::vector<ClassModel>& Classes()
{
    static const std::vector<ClassModel> classes = {
        {"Pikeman.txt", "pikeman", {{"_meleespirit.x", {"MeleeSpirit"}}}, false, false, {"MeleeAttack", "MeleeSpirit"}},
        {"Militia.txt",
         "militia",
         {{"_firstaid.x", {"FirstAid"}}, {"_shieldbash.x", {"ShieldBash"}}},
         false,
         false,
         {"ShieldBash", "FirstAid"}},
        {"Paladin.txt", "paladin", {}, false, true, {"CriticalAttack"}},
        {"Mage.txt", "mage", {}, true, true, {"MeleeAttack"}},
        {"CombatMage.txt", "combatMage", {}, true, true, {}},
        {"Healer.txt", "healer", {}, false, true, {}},
        {"Rogue.txt",
         "rogue",
         {{"_flashstrike.x", {"FlashStrike"}}},
         false,
         false,
         {"FlashStrike", "FocusAnimation", "CriticalAttack"}},
        {"Assassin.txt",
         "assassin",
         {{"_asstouch.x", {"AssTouch"}}, {"_daggerthrow.x", {"DaggerThrow"}}, {"_fanofdaggers.x", {"FanOfDaggers"}}},
         false,
         false,
         {"DaggerThrow", "FanOfDaggers", "AssTouch"}},
        {"Scout.txt", "scout", {{"_dirtkick.x", {"DirtKick"}}}, true, false, {"RangedAttack"}},
        {"Knight.txt",
         "knight",
         {{"_warcry.x", {"Warcry"}}, {"_sweepstrike.x", {"SweepStrike"}}, {"_assault.x", {"Assault"}}},
         false,
         false,
         {"Warcry", "Assault", "SweepStrike"}},
        {"Archer.txt", "archer", {}, true, false, {"RangedAttack"}},
    };
    return classes;
}

// The eleven files every class tries, in the order it loads them, with the sets each is expected to hold.
// A defending unit that is struck plays "Block", which rides in the defend file (for the knight, whose sets
// are also numbered, at the very end instead); the rogue's "FocusAnimation" rides in its focus file.
std::vector<std::pair<std::string, std::vector<std::string>>> LoadOrder(const ClassModel& c)
{
    const bool knight = std::string(c.base) == "knight";
    const bool rogue = std::string(c.base) == "rogue";
    std::vector<std::pair<std::string, std::vector<std::string>>> files = {{".x", {"Idle"}}};
    files.insert(files.end(), c.extras.begin(), c.extras.end());
    files.push_back({"_walk.x", {"Walk"}});
    files.push_back(
        {"_defend.x", knight ? std::vector<std::string>{"Defend"} : std::vector<std::string>{"Defend", "Block"}});
    files.push_back(
        {"_focus.x", rogue ? std::vector<std::string>{"Focus", "FocusAnimation"} : std::vector<std::string>{"Focus"}});
    files.push_back({"_hit.x", {"Hit"}});
    files.push_back({"_magichit.x", {"MagicHit"}});
    files.push_back({"_die.x", {"Die"}});
    files.push_back({"_dodge.x", {"Dodge"}});
    files.push_back({"_attack.x", {"MeleeAttack"}});
    files.push_back(
        {"_rangedAttack.x", c.ranged ? std::vector<std::string>{"RangedAttack"} : std::vector<std::string>{}});
    files.push_back({"_cast.x", c.casts ? std::vector<std::string>{"Cast"} : std::vector<std::string>{}});
    files.push_back({"_critical.x", knight ? std::vector<std::string>{"CriticalAttack", "Block"}
                                           : std::vector<std::string>{"CriticalAttack"}});
    return files;
}

class DefaultModels : public ::testing::Test
{
protected:
    void SetUp() override { DataManager::ResetForTests(); }
    void TearDown() override { DataManager::ResetForTests(); }

    static std::string Find(const std::string& name) { return DataManager::Get()->FindFile(name); }

    static XText Load(const std::string& name)
    {
        XText x;
        const std::string path = Find(name);
        EXPECT_NE(path, DataManager::NOT_FOUND) << name;
        EXPECT_TRUE(x.Load(path)) << name;
        EXPECT_EQ(x.header, "xof 0303txt 0032") << name;
        return x;
    }

    static std::vector<std::string> SetNames(const XText& x)
    {
        std::vector<std::string> names;
        for (const XText::Node* set : x.All("AnimationSet"))
            names.push_back(set->name);
        return names;
    }
};

float TicksPerSecond(const XText& x)
{
    const std::vector<const XText::Node*> nodes = x.All("AnimTicksPerSecond");
    return nodes.empty() ? 4800.0f : nodes.front()->Number(0);
}

// Keys of one AnimationKey: time and values.
struct Key {
    float time;
    std::vector<float> values;
};
std::vector<Key> Keys(const XText::Node& key)
{
    std::vector<Key> keys;
    const unsigned n = key.Count(1);
    size_t i = 2;
    for (unsigned k = 0; k < n; ++k) {
        Key out{key.Number(i), {}};
        const unsigned count = key.Count(i + 1);
        for (unsigned v = 0; v < count; ++v)
            out.values.push_back(key.Number(i + 2 + v));
        i += 2 + count;
        keys.push_back(out);
    }
    return keys;
}

const XText::Node* FindSet(const XText& x, const std::string& name)
{
    for (const XText::Node* set : x.All("AnimationSet"))
        if (set->name == name)
            return set;
    return nullptr;
}

// The keys of one type (0 rotation, 2 position) that a set gives a frame.
std::vector<Key> FrameKeys(const XText::Node& set, const std::string& frame, unsigned type)
{
    for (const XText::Node* animation : set.Children("Animation")) {
        if (animation->references.empty() || animation->references.front() != frame)
            continue;
        for (const XText::Node* key : animation->Children("AnimationKey"))
            if (key->Count(0) == type)
                return Keys(*key);
    }
    return {};
}

float Period(const XText::Node& set, float ticksPerSecond)
{
    float last = 0.0f;
    for (const XText::Node* animation : set.Children("Animation"))
        for (const XText::Node* key : animation->Children("AnimationKey"))
            last = std::max(last, Keys(*key).back().time);
    return last / ticksPerSecond;
}

// Where a quaternion key (w, x, y, z) turns a vector, in the row-vector convention of the format's readers.
std::array<float, 3> Turn(const std::vector<float>& q, std::array<float, 3> v)
{
    const float w = q[0], x = q[1], y = q[2], z = q[3];
    const float m[3][3] = {{1 - 2 * (y * y + z * z), 2 * (x * y + z * w), 2 * (x * z - y * w)},
                           {2 * (x * y - z * w), 1 - 2 * (x * x + z * z), 2 * (y * z + x * w)},
                           {2 * (x * z + y * w), 2 * (y * z - x * w), 1 - 2 * (x * x + y * y)}};
    return {v[0] * m[0][0] + v[1] * m[1][0] + v[2] * m[2][0], v[0] * m[0][1] + v[1] * m[1][1] + v[2] * m[2][1],
            v[0] * m[0][2] + v[1] * m[1][2] + v[2] * m[2][2]};
}

std::set<std::string> FrameNames(const XText& x)
{
    std::set<std::string> names;
    for (const XText::Node* frame : x.All("Frame"))
        names.insert(frame->name);
    return names;
}

struct MeshData {
    std::vector<std::array<float, 3>> positions;
    std::vector<std::array<float, 3>> normals;
    std::vector<std::array<unsigned, 3>> faces;
};
MeshData ReadMesh(const XText::Node& mesh)
{
    MeshData out;
    const unsigned n = mesh.Count(0);
    for (unsigned i = 0; i < n; ++i)
        out.positions.push_back({mesh.Number(1 + 3 * i), mesh.Number(2 + 3 * i), mesh.Number(3 + 3 * i)});
    const size_t faceStart = 1 + 3 * n;
    const unsigned faces = mesh.Count(faceStart);
    for (unsigned f = 0; f < faces; ++f) {
        const size_t at = faceStart + 1 + 4 * f;
        EXPECT_EQ(mesh.Count(at), 3u);
        out.faces.push_back({mesh.Count(at + 1), mesh.Count(at + 2), mesh.Count(at + 3)});
    }
    const XText::Node* normals = mesh.Child("MeshNormals");
    if (normals)
        for (unsigned i = 0; i < normals->Count(0); ++i)
            out.normals.push_back({normals->Number(1 + 3 * i), normals->Number(2 + 3 * i), normals->Number(3 + 3 * i)});
    return out;
}

std::string Dot3Name(const std::string& texture)
{
    return texture.substr(0, texture.size() - 4) + "DOT3" + texture.substr(texture.size() - 4);
}

const char* const StaticMeshes[] = {"oak_tree.x", "pine_tree.x",  "rock_large.x", "rock_small.x",
                                    "fence.x",    "stone_wall.x", "tower.x",      "farmhouse.x",
                                    "barrel.x",   "haybale.x",    "PolyGlow.x",   "shardsOfIce.x"};

} // namespace

TEST_F(DefaultModels, EveryFileAClassLoadsHoldsTheSetsItsRulesPlay)
{
    for (const ClassModel& c : Classes()) {
        std::set<std::string> sets;
        for (const auto& [suffix, expected] : LoadOrder(c)) {
            const std::string name = std::string(c.base) + suffix;
            SCOPED_TRACE(name);
            if (expected.empty()) {
                // A class without such a set has no file, so the name falls back as the rules expect.
                EXPECT_EQ(Find(name), DataManager::NOT_FOUND);
                continue;
            }
            const XText x = Load(name);
            EXPECT_EQ(SetNames(x), expected);
            sets.insert(expected.begin(), expected.end());
        }
        for (const std::string& played : c.abilitySets)
            EXPECT_TRUE(sets.count(played)) << c.base << " lacks " << played;
    }
}

TEST_F(DefaultModels, SkinsWeighEveryVertexFullyByBonesTheModelHas)
{
    for (const ClassModel& c : Classes()) {
        SCOPED_TRACE(c.base);
        const XText x = Load(std::string(c.base) + ".x");
        const std::set<std::string> frames = FrameNames(x);
        const std::vector<const XText::Node*> meshes = x.All("Mesh");
        ASSERT_EQ(meshes.size(), 1u);
        const MeshData mesh = ReadMesh(*meshes.front());
        // Light enough for two armies under a software rasteriser (22 figures of at most 700 triangles,
        // most about a pixel on the battle screen), rich enough to tell apart.
        EXPECT_GE(mesh.faces.size(), 400u);
        EXPECT_LE(mesh.faces.size(), 700u);
        for (const auto& face : mesh.faces)
            for (unsigned corner : face)
                ASSERT_LT(corner, mesh.positions.size());

        const XText::Node* header = meshes.front()->Child("XSkinMeshHeader");
        ASSERT_NE(header, nullptr);
        const std::vector<const XText::Node*> bones = meshes.front()->Children("SkinWeights");
        EXPECT_EQ(header->Count(2), bones.size());
        EXPECT_GE(bones.size(), 15u);
        EXPECT_LE(bones.size(), 25u);
        std::vector<float> sums(mesh.positions.size(), 0.0f);
        std::vector<unsigned> counts(mesh.positions.size(), 0);
        for (const XText::Node* bone : bones) {
            EXPECT_TRUE(frames.count(bone->data.at(0))) << bone->data.at(0);
            const unsigned n = bone->Count(1);
            ASSERT_EQ(bone->data.size(), 2 + 2 * n + 16);
            for (unsigned i = 0; i < n; ++i) {
                const unsigned vertex = bone->Count(2 + i);
                ASSERT_LT(vertex, sums.size());
                const float weight = bone->Number(2 + n + i);
                EXPECT_GT(weight, 0.0f);
                sums[vertex] += weight;
                ++counts[vertex];
            }
        }
        for (size_t v = 0; v < sums.size(); ++v) {
            ASSERT_NEAR(sums[v], 1.0f, 1e-4f) << "vertex " << v;
            ASSERT_LE(counts[v], header->Count(0));
        }
    }
}

TEST_F(DefaultModels, FacesTurnTheirFrontsOutwardsAndHaveArea)
{
    // Front faces run clockwise in the left-handed view, so (b - a) x (c - a) points where the normals do.
    std::vector<std::string> files(std::begin(StaticMeshes), std::end(StaticMeshes));
    for (const ClassModel& c : Classes())
        files.push_back(std::string(c.base) + ".x");
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        const XText x = Load(file);
        for (const XText::Node* node : x.All("Mesh")) {
            const MeshData mesh = ReadMesh(*node);
            ASSERT_EQ(mesh.normals.size(), mesh.positions.size());
            size_t inward = 0;
            size_t flat = 0;
            for (const auto& f : mesh.faces) {
                const auto& a = mesh.positions[f[0]];
                const auto& b = mesh.positions[f[1]];
                const auto& c = mesh.positions[f[2]];
                const float u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
                const float w[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
                const float n[3] = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]};
                float along = 0.0f;
                for (unsigned corner : f)
                    along += n[0] * mesh.normals[corner][0] + n[1] * mesh.normals[corner][1] +
                             n[2] * mesh.normals[corner][2];
                if (along < 0.0f)
                    ++inward;
                // A triangle without area draws nothing yet costs the rasteriser all the same.
                if (n[0] * n[0] + n[1] * n[1] + n[2] * n[2] < 1e-12f)
                    ++flat;
            }
            EXPECT_EQ(inward, 0u);
            EXPECT_EQ(flat, 0u);
        }
    }
}

TEST_F(DefaultModels, AnimationsDriveOnlyFramesOfTheirModel)
{
    for (const ClassModel& c : Classes()) {
        const std::set<std::string> frames = FrameNames(Load(std::string(c.base) + ".x"));
        for (const auto& [suffix, expected] : LoadOrder(c)) {
            if (expected.empty())
                continue;
            SCOPED_TRACE(std::string(c.base) + suffix);
            const XText x = Load(std::string(c.base) + suffix);
            for (const XText::Node* set : x.All("AnimationSet")) {
                ASSERT_FALSE(set->Children("Animation").empty());
                for (const XText::Node* animation : set->Children("Animation")) {
                    ASSERT_EQ(animation->references.size(), 1u);
                    EXPECT_TRUE(frames.count(animation->references.front())) << animation->references.front();
                    for (const XText::Node* key : animation->Children("AnimationKey")) {
                        const std::vector<Key> keys = Keys(*key);
                        ASSERT_GE(keys.size(), 2u);
                        EXPECT_EQ(keys.front().time, 0.0f);
                        for (size_t k = 1; k < keys.size(); ++k)
                            EXPECT_GT(keys[k].time, keys[k - 1].time);
                    }
                }
            }
        }
    }
}

TEST_F(DefaultModels, BlowsLandWithinTheirAnimations)
{
    for (const ClassModel& c : Classes()) {
        SCOPED_TRACE(c.base);
        UnitDefinition unit;
        ASSERT_TRUE(unit.Read(c.unitFile));
        ASSERT_GT(unit.meleeHitTime, 0.0f);
        const XText melee = Load(std::string(c.base) + "_attack.x");
        const XText critical = Load(std::string(c.base) + "_critical.x");
        const XText::Node* meleeSet = FindSet(melee, "MeleeAttack");
        const XText::Node* criticalSet = FindSet(critical, "CriticalAttack");
        ASSERT_TRUE(meleeSet && criticalSet);
        // The blow must land before the set ends, or the hit waits for the animation's end.
        EXPECT_LT(unit.meleeHitTime, Period(*meleeSet, TicksPerSecond(melee)));
        EXPECT_LT(unit.criticalHitTime, Period(*criticalSet, TicksPerSecond(critical)));
        if (c.ranged) {
            // A ranged attack waits for the melee time, a critical one for the critical time.
            const XText ranged = Load(std::string(c.base) + "_rangedAttack.x");
            const XText::Node* set = FindSet(ranged, "RangedAttack");
            ASSERT_NE(set, nullptr);
            EXPECT_LT(unit.criticalHitTime, Period(*set, TicksPerSecond(ranged)));
        }
    }
}

TEST_F(DefaultModels, LoopsEndWhereTheyBegin)
{
    const std::pair<const char*, const char*> loops[] = {
        {".x", "Idle"}, {"_walk.x", "Walk"}, {"_defend.x", "Defend"}, {"_focus.x", "Focus"}};
    for (const ClassModel& c : Classes()) {
        for (const auto& [suffix, setName] : loops) {
            SCOPED_TRACE(std::string(c.base) + suffix);
            const XText x = Load(std::string(c.base) + suffix);
            const XText::Node* set = FindSet(x, setName);
            ASSERT_NE(set, nullptr);
            for (const XText::Node* animation : set->Children("Animation")) {
                for (const XText::Node* key : animation->Children("AnimationKey")) {
                    const std::vector<Key> keys = Keys(*key);
                    for (size_t v = 0; v < keys.front().values.size(); ++v)
                        EXPECT_NEAR(keys.front().values[v], keys.back().values[v], 1e-4f)
                            << animation->references.front();
                }
            }
        }
    }
}

TEST_F(DefaultModels, WalkingMovesTheLegsAndDyingEndsLyingOnTheGround)
{
    for (const ClassModel& c : Classes()) {
        SCOPED_TRACE(c.base);
        // The thighs swing at least 20 degrees each way: their down axis reaches forward and back.
        const XText walk = Load(std::string(c.base) + "_walk.x");
        float forward = 0.0f, back = 0.0f;
        for (const Key& key : FrameKeys(*FindSet(walk, "Walk"), "Thigh_L", 0)) {
            const auto down = Turn(key.values, {0.0f, -1.0f, 0.0f});
            forward = std::max(forward, -down[2]);
            back = std::max(back, down[2]);
        }
        EXPECT_GT(forward, std::sin(20.0f * 3.14159265f / 180.0f));
        EXPECT_GT(back, std::sin(20.0f * 3.14159265f / 180.0f));

        // At the end of dying the hips are within a hand of the ground and the body lies flat: the hips' up
        // axis points along the ground.
        const XText die = Load(std::string(c.base) + "_die.x");
        const std::vector<Key> positions = FrameKeys(*FindSet(die, "Die"), "Hips", 2);
        const std::vector<Key> rotations = FrameKeys(*FindSet(die, "Die"), "Hips", 0);
        ASSERT_FALSE(positions.empty());
        ASSERT_FALSE(rotations.empty());
        EXPECT_LT(positions.back().values[1], 14.0f);
        EXPECT_GT(positions.front().values[1], 50.0f);
        EXPECT_LT(std::abs(Turn(rotations.back().values, {0.0f, 1.0f, 0.0f})[1]), 0.2f);
    }
}

TEST_F(DefaultModels, CastersRaiseBothArmsAboveTheShoulders)
{
    for (const ClassModel& c : Classes()) {
        if (!c.casts)
            continue;
        SCOPED_TRACE(c.base);
        const XText x = Load(std::string(c.base) + "_cast.x");
        const XText::Node* set = FindSet(x, "Cast");
        ASSERT_NE(set, nullptr);
        const std::vector<Key> left = FrameKeys(*set, "UpperArm_L", 0);
        const std::vector<Key> right = FrameKeys(*set, "UpperArm_R", 0);
        ASSERT_EQ(left.size(), right.size());
        bool raised = false;
        for (size_t k = 0; k < left.size(); ++k)
            raised = raised || (Turn(left[k].values, {0.0f, -1.0f, 0.0f})[1] > 0.5f &&
                                Turn(right[k].values, {0.0f, -1.0f, 0.0f})[1] > 0.5f);
        EXPECT_TRUE(raised);
    }
}

TEST_F(DefaultModels, EveryTextureAMeshNamesExistsWithItsNormalMap)
{
    std::vector<std::string> files(std::begin(StaticMeshes), std::end(StaticMeshes));
    for (const ClassModel& c : Classes())
        files.push_back(std::string(c.base) + ".x");
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        const XText x = Load(file);
        const std::vector<const XText::Node*> textures = x.All("TextureFilename");
        EXPECT_FALSE(textures.empty());
        for (const XText::Node* texture : textures) {
            const std::string name = texture->data.at(0);
            EXPECT_NE(Find(name), DataManager::NOT_FOUND) << name;
            // The texture cache reads "f" and a digit from 2 to 9 anywhere in a path as a count of frames
            // laid side by side; a model's texture must not be cut up that way.
            for (size_t i = 0; i + 1 < name.size(); ++i)
                EXPECT_FALSE(name[i] == 'f' && name[i + 1] >= '2' && name[i + 1] <= '9') << name;
            EXPECT_NE(Find(Dot3Name(name)), DataManager::NOT_FOUND) << Dot3Name(name);
        }
    }
    EXPECT_NE(Find("defaultDOT3.tga"), DataManager::NOT_FOUND);
}

TEST_F(DefaultModels, StaticMeshesStandOnTheirOriginAtTheSizesLevelsPlaceThemBy)
{
    struct Size {
        const char* file;
        float width, height, depth; // along x, y, z
    };
    const Size sizes[] = {{"oak_tree.x", 300, 350, 300}, {"pine_tree.x", 200, 400, 200}, {"rock_large.x", 200, 0, 200},
                          {"rock_small.x", 80, 0, 80},   {"fence.x", 256, 60, 0},        {"stone_wall.x", 512, 160, 60},
                          {"tower.x", 300, 600, 300},    {"farmhouse.x", 600, 400, 400}, {"barrel.x", 80, 70, 80},
                          {"haybale.x", 160, 70, 160}};
    for (const Size& size : sizes) {
        SCOPED_TRACE(size.file);
        const XText x = Load(size.file);
        float lo[3] = {1e9f, 1e9f, 1e9f}, hi[3] = {-1e9f, -1e9f, -1e9f};
        for (const XText::Node* node : x.All("Mesh"))
            for (const auto& p : ReadMesh(*node).positions)
                for (int i = 0; i < 3; ++i) {
                    lo[i] = std::min(lo[i], p[static_cast<size_t>(i)]);
                    hi[i] = std::max(hi[i], p[static_cast<size_t>(i)]);
                }
        const float expected[3] = {size.width, size.height, size.depth};
        for (int i = 0; i < 3; ++i) {
            if (expected[i] > 0.0f) {
                EXPECT_NEAR(hi[i] - lo[i], expected[i], 0.15f * expected[i]) << "axis " << i;
            }
        }
        // Centred on the origin across the ground, standing on it (sunk a little at most).
        EXPECT_NEAR(0.5f * (lo[0] + hi[0]), 0.0f, 0.1f * (hi[0] - lo[0]));
        EXPECT_NEAR(0.5f * (lo[2] + hi[2]), 0.0f, 0.1f * (hi[2] - lo[2]));
        EXPECT_LE(lo[1], 0.5f);
        EXPECT_GE(lo[1], -30.0f);
    }
}

TEST_F(DefaultModels, WritingTheDataAgainGivesTheSameModels)
{
    const std::filesystem::path scratch =
        std::filesystem::temp_directory_path() / ("varnholt-models-" + std::to_string(::getpid()));
    std::filesystem::remove_all(scratch);
    ASSERT_EQ(std::system(("./makedata '" + scratch.string() + "' > /dev/null").c_str()), 0);
    size_t compared = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(scratch / "Data" / "Models")) {
        if (!entry.is_regular_file())
            continue;
        const std::filesystem::path relative = std::filesystem::relative(entry.path(), scratch);
        auto read = [](const std::filesystem::path& p) {
            std::ifstream in(p, std::ios::binary);
            std::stringstream s;
            s << in.rdbuf();
            return s.str();
        };
        EXPECT_EQ(read(entry.path()), read(relative)) << relative;
        ++compared;
    }
    std::filesystem::remove_all(scratch);
    // Eleven classes, each with a model and ten or more animation files, and twelve static meshes.
    EXPECT_GE(compared, 11u * 11u + 12u);
}
