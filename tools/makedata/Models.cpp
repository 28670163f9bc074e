// The eleven class models: each a skinned figure in its class's model directory with its texture, normal map
// and one .x file per animation the class plays.
#include "AttackTimes.h"
#include "DataWriter.h"
#include "Humanoid.h"
#include "Writers.h"
#include "XFileWriter.h"

#include <cmath>

namespace {

// Colours in the order of Region: skin, face, hair, cloth, dark cloth, trim, leather, metal, dark metal, wood,
// glow, cord, boot, accent, plate, emblem.
constexpr Palette PikemanColours = {0xD6A786, 0xD6A786, 0x5A3A20, 0xA8302C, 0x4A4A50, 0xE0C060, 0x6B4A2A, 0xB8BCC4,
                                    0x6E7078, 0x8A6236, 0xFFE080, 0xD8D0B0, 0x3A2A1A, 0xC03030, 0xA8ACB4, 0xA8302C};
constexpr Palette MilitiaColours = {0xD2A07E, 0xD2A07E, 0x7A5030, 0xC49A2C, 0x5A4A3A, 0x6A8A4A, 0x7A5A3A, 0xA0A0A0,
                                    0x5A5A5E, 0x7A5530, 0xFFE080, 0xD0C8A8, 0x3A2A1A, 0x3A6A9A, 0x9A9A9A, 0x3A6A9A};
constexpr Palette PaladinColours = {0xE0B494, 0xE0B494, 0xC8A050, 0x6A2E86, 0x5A5A66, 0xD8B040, 0x6A4A2A, 0xD8DCE4,
                                    0x80848C, 0x6A4A2A, 0xFFF0A0, 0xE0D8C0, 0x3A3A40, 0xD8B040, 0xC8CCD4, 0x6A2E86};
constexpr Palette MageColours = {0xDCAE90, 0xDCAE90, 0xB8B8B8, 0x2E3C9E, 0x1E2660, 0xD8C060, 0x5A3A2A, 0xC0C0C8,
                                 0x60606A, 0x6A4A30, 0x80C8FF, 0xD0D0D0, 0x2A2030, 0x2E3C9E, 0x9090A0, 0x2E3C9E};
constexpr Palette CombatMageColours = {0xC8987A, 0xC8987A, 0x2A1E1A, 0x7A1E1E, 0x2E2A2A, 0xC09040, 0xC0561A, 0x9A9AA8,
                                       0x3A3A44, 0x4A3020, 0x50FFD0, 0xC0C0C0, 0x2A201A, 0x50FFD0, 0x8A8A98, 0x7A1E1E};
constexpr Palette HealerColours = {0xE4B898, 0xE4B898, 0xA05A2A, 0xF4F0E2, 0xD8D0B8, 0x5AA05A, 0x8A6A4A, 0xE0C060,
                                   0x8A8A80, 0x9A7A50, 0xFFF4B0, 0xF0E8D0, 0x6A5040, 0x5AA05A, 0xC0C0C0, 0xF4F0E2};
constexpr Palette RogueColours = {0xD0A080, 0xD0A080, 0x3A2818, 0x484850, 0x3A3028, 0x8A6A3A, 0x7A1E3C, 0xB8BCC4,
                                  0x505058, 0x6A4A2A, 0xFFE080, 0xC0B090, 0x2A1E14, 0x484850, 0x8A8A90, 0x7A1E3C};
constexpr Palette AssassinColours = {0xC89C7C, 0xC89C7C, 0x141414, 0x1C1C22, 0x26262C, 0x6A1818, 0x2A2020, 0x9A9AA4,
                                     0x4A4A54, 0x2A2020, 0xC02020, 0x404040, 0x141414, 0x6A1818, 0x404048, 0x1C1C22};
constexpr Palette ScoutColours = {0xD8A884, 0xD8A884, 0xC09050, 0x4A8AD0, 0x7A6A4A, 0xA08040, 0xD8C08A, 0xA0A0A0,
                                  0x606060, 0x7A5A3A, 0xFFE080, 0xD8CCA8, 0x4A3420, 0xE0E0D0, 0x909090, 0x6E8C40};
constexpr Palette KnightColours = {0xD8AA8A, 0xD8AA8A, 0x4A3020, 0x2444A4, 0x303848, 0xD8B040, 0x5A3A20, 0xC8D0DC,
                                   0x5A606C, 0x5A3A20, 0xFFE080, 0xD0D0D0, 0x30343C, 0x2444A4, 0xB0B8C8, 0x2444A4};
constexpr Palette ArcherColours = {0xD4A482, 0xD4A482, 0x3A2A1A, 0x1E5A2A, 0x4A4030, 0xA08040, 0x38903E, 0xA8A8A8,
                                   0x5A5A5A, 0x9A6A3A, 0xFFE080, 0xEAE2C8, 0x3A2A1A, 0x2A6A3A, 0x909090, 0x2A6A3A};

constexpr float AnimationRate = 20.0f; // keys per second
constexpr uint32_t TicksPerSecond = 4800;

XFrame SkeletonFrame(const ClassLook& look, int bone)
{
    const BoneInfo& info = Bones()[static_cast<size_t>(bone)];
    const V3 parent = info.parent < 0 ? V3{} : Bones()[static_cast<size_t>(info.parent)].position;
    const V3 offset = (info.position - parent) * look.scale;
    XFrame frame;
    frame.name = info.name;
    frame.transform = XTranslation(offset.x, offset.y, offset.z);
    for (int child = 0; child < BONE_COUNT; ++child)
        if (Bones()[static_cast<size_t>(child)].parent == bone)
            frame.children.push_back(SkeletonFrame(look, child));
    return frame;
}

XFrame RootFrame(const ClassLook& look)
{
    XFrame root;
    root.name = "Root";
    root.children.push_back(SkeletonFrame(look, HIPS));
    return root;
}

XAnimationSet SampleSet(const AnimationClip& clip, const ClassLook& look)
{
    const int steps = std::max(1, static_cast<int>(std::ceil(clip.period * AnimationRate - 1e-4f)));
    std::vector<Pose> poses;
    std::vector<uint32_t> times;
    for (int k = 0; k <= steps; ++k) {
        const float t = clip.period * static_cast<float>(k) / static_cast<float>(steps);
        poses.push_back(SampleClip(clip, look, t));
        times.push_back(static_cast<uint32_t>(std::lround(t * static_cast<float>(TicksPerSecond))));
    }
    XAnimationSet set;
    set.name = clip.name;
    for (int bone = 0; bone < BONE_COUNT; ++bone) {
        const BoneInfo& info = Bones()[static_cast<size_t>(bone)];
        const V3 parent = info.parent < 0 ? V3{} : Bones()[static_cast<size_t>(info.parent)].position;
        const V3 offset = (info.position - parent) * look.scale;
        XAnimation animation;
        animation.frame = info.name;
        XQuaternion previous;
        for (size_t k = 0; k < poses.size(); ++k) {
            XQuaternion q = ToQuaternion(BoneRotation(poses[k], bone));
            // Neighbouring keys on the same side of the sphere, so interpolation takes the short way.
            if (k > 0 && q.w * previous.w + q.x * previous.x + q.y * previous.y + q.z * previous.z < 0.0f)
                q = {-q.w, -q.x, -q.y, -q.z};
            previous = q;
            const V3 position = bone == HIPS ? offset + poses[k].shift * look.scale : offset;
            animation.times.push_back(times[k]);
            animation.rotations.push_back(q);
            animation.positions.push_back(ToX(position));
        }
        // A bone that holds still needs only its first and last keys.
        bool still = true;
        for (size_t k = 1; k < animation.times.size() && still; ++k) {
            const XQuaternion& a = animation.rotations[k];
            const XQuaternion& b = animation.rotations[0];
            const XVector& p = animation.positions[k];
            const XVector& p0 = animation.positions[0];
            still = std::abs(a.w - b.w) + std::abs(a.x - b.x) + std::abs(a.y - b.y) + std::abs(a.z - b.z) < 1e-6f &&
                    std::abs(p.x - p0.x) + std::abs(p.y - p0.y) + std::abs(p.z - p0.z) < 1e-5f;
        }
        if (still && animation.times.size() > 2) {
            animation.times = {animation.times.front(), animation.times.back()};
            animation.rotations = {animation.rotations.front(), animation.rotations.front()};
            animation.positions = {animation.positions.front(), animation.positions.front()};
        }
        set.animations.push_back(std::move(animation));
    }
    return set;
}

} // namespace

const std::vector<ClassLook>& ClassLooks()
{
    static const std::vector<ClassLook> looks = {
        {"pikeman.x",
         "pikeman",
         "Pikeman",
         1.0f,
         1.05f,
         PikemanColours,
         Weapon::PIKE,
         Headgear::KETTLE_HELM,
         Garb::MAIL_AND_TABARD,
         false,
         false,
         false,
         false,
         false,
         {"_meleespirit.x"}},
        {"militia.x",
         "militia",
         "Militia",
         0.98f,
         1.0f,
         MilitiaColours,
         Weapon::CLUB,
         Headgear::CLOTH_CAP,
         Garb::PADDED_TUNIC,
         true,
         false,
         false,
         false,
         false,
         {"_firstaid.x", "_shieldbash.x"}},
        {"paladin.x",
         "paladin",
         "Paladin",
         1.06f,
         1.12f,
         PaladinColours,
         Weapon::HAMMER,
         Headgear::BARE,
         Garb::PLATE_AND_TABARD,
         false,
         false,
         false,
         false,
         true,
         {}},
        {"mage.x",
         "mage",
         "Mage",
         1.0f,
         0.95f,
         MageColours,
         Weapon::STAFF,
         Headgear::WIZARD_HAT,
         Garb::ROBE,
         false,
         false,
         false,
         true,
         true,
         {}},
        {"combatMage.x",
         "combatMage",
         "Combat Mage",
         1.0f,
         1.0f,
         CombatMageColours,
         Weapon::FOCUS,
         Headgear::BARE,
         Garb::BATTLE_LEATHERS,
         false,
         false,
         false,
         true,
         true,
         {}},
        {"healer.x",
         "healer",
         "Healer",
         0.97f,
         0.95f,
         HealerColours,
         Weapon::HEALING_STAFF,
         Headgear::CIRCLET,
         Garb::LIGHT_ROBE,
         false,
         false,
         false,
         false,
         true,
         {}},
        {"rogue.x",
         "rogue",
         "Rogue",
         0.92f,
         0.92f,
         RogueColours,
         Weapon::BLADES,
         Headgear::HOOD,
         Garb::LEATHERS,
         false,
         false,
         false,
         false,
         false,
         {"_flashstrike.x"}},
        {"assassin.x",
         "assassin",
         "Assassin",
         1.0f,
         0.95f,
         AssassinColours,
         Weapon::DAGGERS,
         Headgear::HOOD,
         Garb::LEATHERS,
         false,
         false,
         true,
         false,
         false,
         {"_asstouch.x", "_daggerthrow.x", "_fanofdaggers.x"}},
        {"scout.x",
         "scout",
         "Scout",
         0.92f,
         0.9f,
         ScoutColours,
         Weapon::SLING,
         Headgear::FEATHERED_CAP,
         Garb::LEATHERS,
         false,
         false,
         false,
         true,
         false,
         {"_dirtkick.x"}},
        {"knight.x",
         "knight",
         "Knight",
         1.1f,
         1.12f,
         KnightColours,
         Weapon::SWORD,
         Headgear::GREAT_HELM,
         Garb::FULL_PLATE,
         false,
         false,
         true,
         false,
         false,
         {"_warcry.x", "_sweepstrike.x", "_assault.x"}},
        {"archer.x",
         "archer",
         "Archer",
         1.0f,
         0.95f,
         ArcherColours,
         Weapon::BOW,
         Headgear::BARE,
         Garb::LEATHERS,
         false,
         true,
         false,
         true,
         false,
         {}},
    };
    return looks;
}

void WriteModels(const std::filesystem::path& root)
{
    for (const ClassLook& look : ClassLooks()) {
        const std::filesystem::path directory =
            DataDirectory(root, std::string("Models/Animated Models/") + look.directory);
        const std::string texture = std::string(look.base) + ".tga";
        WriteAtlasTextures(directory, look.base, look.palette);

        const std::vector<ClipFile> files = ClassClips(look, AttackTimesOf(look.model));
        for (const ClipFile& file : files) {
            XFile x;
            x.ticksPerSecond = TicksPerSecond;
            x.frames.push_back(RootFrame(look));
            // The model file carries the skin; the animation files only the frames their sets drive.
            if (file.suffix.empty())
                x.frames.back().meshes.push_back(BuildClassMesh(look, texture));
            for (const AnimationClip& clip : file.clips)
                x.sets.push_back(SampleSet(clip, look));
            const std::string name = file.suffix.empty() ? look.model : std::string(look.base) + file.suffix;
            XFileWriter::Write(directory / name, x);
        }
    }
}
