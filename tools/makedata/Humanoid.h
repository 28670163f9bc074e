#pragma once
// The skeleton every class model shares, the look of each class and the poses its animations are made of.

#include "AttackTimes.h"
#include "MeshBuilder.h"
#include "ModelAtlas.h"
#include "XFile.h"

#include <array>
#include <string>
#include <vector>

enum Bone
{
    HIPS,
    SPINE,
    CHEST,
    NECK,
    HEAD,
    UPPER_ARM_L,
    FORE_ARM_L,
    HAND_L,
    UPPER_ARM_R,
    FORE_ARM_R,
    HAND_R,
    THIGH_L,
    SHIN_L,
    FOOT_L,
    THIGH_R,
    SHIN_R,
    FOOT_R,
    WEAPON,
    OFFHAND,
    BONE_COUNT
};

struct BoneInfo {
    const char* name;
    int parent; // -1 for the root bone
    V3 position; // bind position at scale 1; the figure's left is +x and it faces -z
};
const std::array<BoneInfo, BONE_COUNT>& Bones();

enum class Weapon
{
    PIKE,
    CLUB,
    HAMMER,
    STAFF,
    HEALING_STAFF,
    FOCUS,
    BLADES,
    DAGGERS,
    SLING,
    SWORD,
    BOW
};

enum class Headgear
{
    KETTLE_HELM,
    CLOTH_CAP,
    BARE,
    WIZARD_HAT,
    HOOD,
    GREAT_HELM,
    FEATHERED_CAP,
    CIRCLET
};

enum class Garb
{
    MAIL_AND_TABARD,
    PADDED_TUNIC,
    PLATE_AND_TABARD,
    ROBE,
    BATTLE_LEATHERS,
    LIGHT_ROBE,
    LEATHERS,
    FULL_PLATE
};

// One animation set: its name and whether it is written as one more file (suffix) or inside another.
struct ClassLook {
    const char* model; // "pikeman.x"
    const char* base; // "pikeman"
    const char* directory; // below "Models/Animated Models"
    float scale;
    float bulk; // widens the body
    Palette palette;
    Weapon weapon;
    Headgear headgear;
    Garb garb;
    bool shield;
    bool quiver;
    bool cloak;
    bool ranged; // has a ranged attack set
    bool casts; // has a cast set
    std::vector<std::string> abilityFiles; // "_meleespirit.x", ...
};

const std::vector<ClassLook>& ClassLooks();

// The skinned mesh of a class, at its scale, and the skeleton's bind positions (scaled) in bone order.
XMesh BuildClassMesh(const ClassLook& look, const std::string& texture);
std::vector<BindBone> ClassBindBones(const ClassLook& look);

// A pose: each bone's turn from the bind pose in degrees (about x, then y... applied z, x, y) and the hips'
// shift from their bind position.
struct Pose {
    std::array<V3, BONE_COUNT> turn{};
    V3 shift;
};
// The local rotation of a bone in a pose.
Rotation BoneRotation(const Pose& pose, int bone);

// An animation set as a function of time, sampled into keys.
struct AnimationClip {
    std::string name;
    float period = 1.0f;
    std::vector<std::pair<float, Pose>> keys; // eased from key to key; or
    Pose (*function)(const ClassLook&, float) = nullptr; // a closed form (loops)
};
Pose SampleClip(const AnimationClip& clip, const ClassLook& look, float time);

// Every set of a class, in the file it belongs to: "" for the model file, else the suffix ("_walk.x").
struct ClipFile {
    std::string suffix;
    std::vector<AnimationClip> clips;
};
std::vector<ClipFile> ClassClips(const ClassLook& look, const AttackTimes& times);
