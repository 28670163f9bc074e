// The class figures, built from sweeps and boxes on the shared skeleton. Sizes are world units at scale 1: a
// figure stands about 112 tall, a little less than a hex is wide, and faces -z.
#include "Humanoid.h"

#include <algorithm>
#include <cmath>

const std::array<BoneInfo, BONE_COUNT>& Bones()
{
    static const std::array<BoneInfo, BONE_COUNT> bones = {{
        {"Hips", -1, {0.0f, 56.0f, 0.0f}},
        {"Spine", HIPS, {0.0f, 64.0f, 0.0f}},
        {"Chest", SPINE, {0.0f, 76.0f, 0.0f}},
        {"Neck", CHEST, {0.0f, 91.0f, 0.0f}},
        {"Head", NECK, {0.0f, 96.0f, 0.0f}},
        {"UpperArm_L", CHEST, {13.5f, 88.0f, 0.0f}},
        {"ForeArm_L", UPPER_ARM_L, {15.0f, 68.0f, 0.0f}},
        {"Hand_L", FORE_ARM_L, {16.0f, 51.0f, 0.0f}},
        {"UpperArm_R", CHEST, {-13.5f, 88.0f, 0.0f}},
        {"ForeArm_R", UPPER_ARM_R, {-15.0f, 68.0f, 0.0f}},
        {"Hand_R", FORE_ARM_R, {-16.0f, 51.0f, 0.0f}},
        {"Thigh_L", HIPS, {7.0f, 55.0f, 0.0f}},
        {"Shin_L", THIGH_L, {7.5f, 30.0f, 0.0f}},
        {"Foot_L", SHIN_L, {8.0f, 6.0f, 0.0f}},
        {"Thigh_R", HIPS, {-7.0f, 55.0f, 0.0f}},
        {"Shin_R", THIGH_R, {-7.5f, 30.0f, 0.0f}},
        {"Foot_R", SHIN_R, {-8.0f, 6.0f, 0.0f}},
        {"Weapon", HAND_R, {-16.0f, 46.0f, 0.0f}},
        {"Offhand", HAND_L, {16.0f, 46.0f, 0.0f}},
    }};
    return bones;
}

std::vector<BindBone> ClassBindBones(const ClassLook& look)
{
    std::vector<BindBone> bones;
    for (const BoneInfo& bone : Bones())
        bones.push_back({bone.name, bone.position * look.scale});
    return bones;
}

namespace {

// A unit stands a few dozen pixels tall on the battle screen, where each of its triangles covers about a
// pixel and costs the software rasterizer as much as a larger one would. The figures are drawn with three
// fifths of the facets (around and along) that a close look would want, which still keeps their outlines
// round at that size.
int Coarser(int count, int least)
{
    return std::max(least, (count * 3 + 2) / 5);
}

// Rings of a sphere (or of a dome when only the upper half is asked for).
std::vector<Ring> SphereRings(float radius, int count, bool dome = false)
{
    count = Coarser(count, 2);
    std::vector<Ring> rings;
    for (int i = 0; i <= count; ++i) {
        const float t = static_cast<float>(i) / static_cast<float>(count);
        // Rings evenly spaced in angle, placed along the axis where the circle puts them.
        const float angle = dome ? 0.5f * Pi * t : Pi * t;
        const float r = dome ? radius * std::cos(angle) : radius * std::sin(angle);
        const float along = dome ? std::sin(angle) : 0.5f * (1.0f - std::cos(angle));
        rings.push_back({along, std::max(0.0f, r)});
    }
    return rings;
}

// A straight tube: a ring between its ends would lie where the ends' rings already put the surface.
std::vector<Ring> Tube(float r0, float r1)
{
    return {{0.0f, r0}, {1.0f, r1}};
}

// The trunk shades from the hips through the spine into the chest.
Weigher TrunkWeigher()
{
    return [](V3 p, float) {
        const float y = p.y;
        if (y < 58.0f)
            return Influences{{HIPS, 1.0f}};
        if (y < 68.0f) {
            const float w = (y - 58.0f) / 10.0f;
            return Influences{{HIPS, 1.0f - w}, {SPINE, w}};
        }
        if (y < 80.0f) {
            const float w = (y - 68.0f) / 12.0f;
            return Influences{{SPINE, 1.0f - w}, {CHEST, w}};
        }
        return Influences{{CHEST, 1.0f}};
    };
}

// Skirts and cloaks below the waist follow the hips at the top and the legs lower down, each side its leg.
Weigher SkirtWeigher()
{
    return [](V3 p, float) {
        if (p.y > 76.0f)
            return Influences{{CHEST, 1.0f}};
        if (p.y > 58.0f) {
            const float w = (76.0f - p.y) / 18.0f;
            return Influences{{CHEST, 1.0f - w}, {HIPS, w}};
        }
        const float down = std::min(1.0f, (58.0f - p.y) / 40.0f); // 0 at the waist, 1 near the knees
        const float left = std::clamp(0.5f + p.x / 14.0f, 0.0f, 1.0f);
        const float legs = 0.75f * down;
        const bool low = p.y < 30.0f;
        const float low_w = low ? std::min(1.0f, (30.0f - p.y) / 20.0f) * 0.5f : 0.0f;
        Influences result{{HIPS, 1.0f - legs}};
        result.push_back({THIGH_L, legs * left * (1.0f - low_w)});
        result.push_back({THIGH_R, legs * (1.0f - left) * (1.0f - low_w)});
        if (low) {
            result.push_back({SHIN_L, legs * left * low_w});
            result.push_back({SHIN_R, legs * (1.0f - left) * low_w});
        }
        return result;
    };
}

struct Figure {
    const ClassLook& look;
    MeshBuilder& mesh;

    UvRect Uv(Region region) const { return RegionUv(region); }

    void Sweep(V3 start, V3 end, const std::vector<Ring>& rings, int segments, UvRect uv, const Weigher& weigher,
               float sideScale = 1.0f, float frontScale = 1.0f, V3 side = {1.0f, 0.0f, 0.0f})
    {
        mesh.Sweep(start, end, rings, Coarser(segments, 4), uv, weigher, sideScale, frontScale, side);
    }

    // A sweep whose ends lie inside other parts, face the ground or are too small to show, left open.
    void OpenSweep(V3 start, V3 end, const std::vector<Ring>& rings, int segments, UvRect uv, const Weigher& weigher,
                   float sideScale = 1.0f, float frontScale = 1.0f, V3 side = {1.0f, 0.0f, 0.0f})
    {
        mesh.SetCaps(false);
        Sweep(start, end, rings, segments, uv, weigher, sideScale, frontScale, side);
        mesh.SetCaps(true);
    }
    // A sweep closed at its end only: its start lies inside another part or faces the ground.
    void TopSweep(V3 start, V3 end, const std::vector<Ring>& rings, int segments, UvRect uv, const Weigher& weigher,
                  float sideScale = 1.0f, float frontScale = 1.0f, V3 side = {1.0f, 0.0f, 0.0f})
    {
        mesh.SetCaps(false, true);
        Sweep(start, end, rings, segments, uv, weigher, sideScale, frontScale, side);
        mesh.SetCaps(true);
    }

    bool Plated() const { return look.garb == Garb::FULL_PLATE || look.garb == Garb::PLATE_AND_TABARD; }
    bool Robed() const { return look.garb == Garb::ROBE || look.garb == Garb::LIGHT_ROBE; }

    Region TorsoRegion() const
    {
        switch (look.garb) {
        case Garb::MAIL_AND_TABARD:
            return Region::METAL_DARK;
        case Garb::PLATE_AND_TABARD:
        case Garb::FULL_PLATE:
            return Region::PLATE;
        case Garb::BATTLE_LEATHERS:
        case Garb::LEATHERS:
            return Region::LEATHER;
        default:
            return Region::CLOTH;
        }
    }
    Region SleeveRegion() const
    {
        switch (look.garb) {
        case Garb::MAIL_AND_TABARD:
            return Region::METAL_DARK;
        case Garb::PLATE_AND_TABARD:
        case Garb::FULL_PLATE:
            return Region::PLATE;
        case Garb::LEATHERS:
            return Region::CLOTH;
        case Garb::BATTLE_LEATHERS:
            return Region::CLOTH_DARK;
        default:
            return Region::CLOTH;
        }
    }
    Region LegRegion() const { return Plated() ? Region::PLATE : Region::CLOTH_DARK; }

    void Trunk()
    {
        const float b = look.bulk;
        // Its bottom faces the ground among the thighs' tops.
        TopSweep({0, 52, 0}, {0, 93, 0},
                 {{0.0f, 10.5f * b},
                  {0.15f, 11.5f * b},
                  {0.35f, 10.8f * b},
                  {0.62f, 12.8f * b},
                  {0.86f, 13.2f * b},
                  {1.0f, 7.0f * b}},
                 12, Uv(TorsoRegion()), TrunkWeigher(), 1.0f, 0.72f);
        // Belt.
        OpenSweep({0, 56.5f, 0}, {0, 60.5f, 0}, Tube(11.6f * b, 11.4f * b), 12, Uv(Region::LEATHER), TrunkWeigher(),
                  1.0f, 0.74f);
        // Neck and head. The neck's ends lie inside the trunk and the head, where a cap would never show.
        mesh.SetCaps(false);
        Sweep({0, 87, 0}, {0, 96, 0}, Tube(4.2f, 3.8f), 8, Uv(Region::SKIN), Joint(NECK, CHEST, 0.3f, HEAD, 0.2f));
        mesh.SetCaps(true);
        // The head keeps its five rings and eight sides, as does the hair over it: coarser, the hair's rim
        // would stand out across the face.
        // The face is painted once, in the middle of its texture: its seam keeps the texture from wrapping.
        mesh.SetSharedSeams(false);
        Sweep({0, 92.5f, 0.5f}, {0, 111, 0.5f}, SphereRings(9.25f, 8), 14, Uv(Region::FACE), Rigid(HEAD), 0.88f, 1.0f);
        mesh.SetSharedSeams(true);
        // Shoulders: pauldrons for the armoured, a rounded cap of the sleeve for the rest.
        for (float side : {1.0f, -1.0f}) {
            const int arm = side > 0 ? UPPER_ARM_L : UPPER_ARM_R;
            const float r = Plated() ? 7.8f : (look.garb == Garb::BATTLE_LEATHERS ? 7.0f : 5.6f);
            const Region region = Plated() || look.garb == Garb::BATTLE_LEATHERS ? Region::METAL : SleeveRegion();
            const Weigher w = [arm](V3, float t) {
                return Influences{{CHEST, 0.6f - 0.3f * t}, {arm, 0.4f + 0.3f * t}};
            };
            Sweep({side * 13.0f, 83.0f, 0}, {side * 14.0f, 93.5f, 0}, SphereRings(r, 4), 10, Uv(region), w, 1.0f,
                  0.95f);
        }
    }

    void Arms()
    {
        const float b = look.bulk;
        for (float side : {1.0f, -1.0f}) {
            const bool left = side > 0;
            const int upper = left ? UPPER_ARM_L : UPPER_ARM_R;
            const int fore = left ? FORE_ARM_L : FORE_ARM_R;
            const int hand = left ? HAND_L : HAND_R;
            // The limbs' ends lie inside the shoulder, the next part of the limb or the hand, uncapped. A limb is
            // two or three pixels wide on the battle screen, where four sides round it as well as more would.
            mesh.SetCaps(false);
            Sweep({side * 13.5f, 89, 0}, {side * 15.0f, 67, 0}, Tube(4.9f * b, 4.0f * b), 6, Uv(SleeveRegion()),
                  Joint(upper, CHEST, 0.15f, fore, 0.15f));
            const Region foreRegion =
                Plated()
                    ? Region::PLATE
                    : (Robed() ? Region::CLOTH : (look.garb == Garb::PADDED_TUNIC ? Region::SKIN : Region::LEATHER));
            Sweep({side * 15.0f, 69, 0}, {side * 16.0f, 52, 0}, {{0.0f, 4.1f * b}, {1.0f, 3.0f * b}}, 6, Uv(foreRegion),
                  Joint(fore, upper, 0.15f, hand, 0.12f));
            mesh.SetCaps(true);
            if (Robed()) // wide sleeve ends
                TopSweep({side * 15.4f, 63, 0}, {side * 16.0f, 54, 0}, {{0.0f, 4.3f}, {1.0f, 6.2f}}, 10,
                         Uv(Region::TRIM), Joint(fore, upper, 0.0f, hand, 0.0f));
            const Region handRegion =
                Plated() ? Region::METAL : (look.garb == Garb::LEATHERS ? Region::LEATHER : Region::SKIN);
            Sweep({side * 16.0f, 53, -0.5f}, {side * 16.3f, 42, -1.0f}, SphereRings(3.5f, 4), 8, Uv(handRegion),
                  Rigid(hand), 0.8f, 1.0f);
        }
    }

    void Legs()
    {
        const float b = look.bulk;
        for (float side : {1.0f, -1.0f}) {
            const bool left = side > 0;
            const int thigh = left ? THIGH_L : THIGH_R;
            const int shin = left ? SHIN_L : SHIN_R;
            const int foot = left ? FOOT_L : FOOT_R;
            // The thigh's top lies in the trunk, its foot in the shin, and the shin's foot in the boot. A robe
            // hides the legs down to the boots, which show under its hem in a stride.
            if (!Robed()) {
                OpenSweep({side * 6.5f, 58, 0}, {side * 7.5f, 29, 0}, {{0.0f, 6.6f * b}, {1.0f, 4.6f * b}}, 6,
                          Uv(LegRegion()), Joint(thigh, HIPS, 0.2f, shin, 0.15f));
                OpenSweep({side * 7.5f, 31, 0}, {side * 8.0f, 6, 0.5f}, {{0.0f, 4.6f * b}, {1.0f, 3.2f * b}}, 6,
                          Uv(LegRegion()), Joint(shin, thigh, 0.15f, foot, 0.1f));
            }
            const Region boot = Plated() ? Region::METAL : Region::BOOT;
            OpenSweep({side * 7.9f, 19, 0.3f}, {side * 8.0f, 3, 0.6f}, {{0.0f, 4.8f * b}, {1.0f, 4.3f * b}}, 6,
                      Uv(boot), Joint(shin, -1, 0.0f, foot, 0.3f));
            mesh.Box({side * 8.0f, 2.5f, -3.5f}, {3.6f * b, 2.5f, 7.0f}, Uv(boot), Rigid(foot));
            if (Plated()) // knee cop
                OpenSweep({side * 7.5f, 30, -2.5f}, {side * 7.5f, 30, -6.5f}, SphereRings(4.0f, 4, true), 8,
                          Uv(Region::METAL), Rigid(shin));
        }
    }

    void Garment()
    {
        const float b = look.bulk;
        if (Robed()) {
            OpenSweep({0, 62, 0}, {0, 4, 0.5f},
                      {{0.0f, 11.5f * b}, {0.25f, 14.0f * b}, {0.7f, 18.5f * b}, {1.0f, 21.0f * b}}, 14,
                      Uv(Region::CLOTH), SkirtWeigher(), 1.0f, 0.82f);
            OpenSweep({0, 8, 0.5f}, {0, 3.5f, 0.5f}, Tube(21.2f * b, 21.4f * b), 14, Uv(Region::TRIM), SkirtWeigher(),
                      1.0f, 0.83f);
            // Sash down the front.
            V3 slab[8] = {{-3.5f, 80, -10.5f}, {3.5f, 80, -10.5f}, {3.5f, 80, -9.0f},  {-3.5f, 80, -9.0f},
                          {-4.5f, 14, -17.8f}, {4.5f, 14, -17.8f}, {4.5f, 14, -16.3f}, {-4.5f, 14, -16.3f}};
            mesh.Hexahedron(slab, Uv(Region::TRIM), SkirtWeigher());
        }
        if (look.garb == Garb::MAIL_AND_TABARD || look.garb == Garb::PLATE_AND_TABARD) {
            // Tabard panels front and back, down to the thighs.
            for (float face : {-1.0f, 1.0f}) {
                const float z0 = face * 9.6f * b, z1 = face * 10.8f * b;
                V3 slab[8] = {
                    {-8.5f, 88, z0}, {8.5f, 88, z0}, {8.5f, 88, z0 + face * 1.0f}, {-8.5f, 88, z0 + face * 1.0f},
                    {-9.5f, 36, z1}, {9.5f, 36, z1}, {9.5f, 36, z1 + face * 1.0f}, {-9.5f, 36, z1 + face * 1.0f}};
                mesh.Hexahedron(slab, Uv(face < 0 ? Region::EMBLEM : Region::CLOTH), SkirtWeigher());
            }
        }
        if (look.garb == Garb::PADDED_TUNIC || look.garb == Garb::LEATHERS || look.garb == Garb::BATTLE_LEATHERS) {
            // A short skirt of the tunic over the hips.
            const Region region = look.garb == Garb::PADDED_TUNIC ? Region::CLOTH : Region::LEATHER;
            OpenSweep({0, 58, 0}, {0, 40, 0}, {{0.0f, 11.8f * b}, {1.0f, 14.5f * b}}, 12, Uv(region), SkirtWeigher(),
                      1.0f, 0.8f);
        }
        if (look.garb == Garb::FULL_PLATE) {
            // Tassets over the hips and a breastplate ridge.
            OpenSweep({0, 60, 0}, {0, 44, 0}, {{0.0f, 12.4f * b}, {1.0f, 14.8f * b}}, 12, Uv(Region::PLATE),
                      SkirtWeigher(), 1.0f, 0.8f);
            V3 ridge[8] = {{-1.5f, 88, -9.0f * b}, {1.5f, 88, -9.0f * b},  {1.0f, 88, -8.0f * b},
                           {-1.0f, 88, -8.0f * b}, {-1.5f, 62, -8.5f * b}, {1.5f, 62, -8.5f * b},
                           {1.0f, 62, -7.0f * b},  {-1.0f, 62, -7.0f * b}};
            mesh.Hexahedron(ridge, Uv(Region::METAL), TrunkWeigher());
        }
        if (look.cloak) {
            // Four rows of cloth from the shoulders down the back, each a panel seen from both sides (the
            // cloth's thickness is far below a pixel); long to the ankles for the assassin, to the knees for a
            // knight's cape.
            const float bottom = look.headgear == Headgear::HOOD ? 10.0f : 26.0f;
            const float ys[5] = {92.0f, 92.0f - (92.0f - bottom) * 0.25f, 92.0f - (92.0f - bottom) * 0.5f,
                                 92.0f - (92.0f - bottom) * 0.75f, bottom};
            for (int row = 0; row < 4; ++row) {
                const auto at = [&](int r) {
                    const float f = static_cast<float>(r) / 4.0f;
                    return std::pair{14.0f * b + 8.0f * f, 9.5f * b + 7.0f * f};
                };
                const auto [w0, z0] = at(row);
                const auto [w1, z1] = at(row + 1);
                mesh.Panel({-w1, ys[row + 1], z1}, {w1, ys[row + 1], z1}, {w0, ys[row], z0}, {-w0, ys[row], z0},
                           Uv(look.headgear == Headgear::HOOD ? Region::CLOTH : Region::ACCENT), SkirtWeigher());
            }
        }
    }

    void Head()
    {
        const Weigher head = Rigid(HEAD);
        switch (look.headgear) {
        case Headgear::KETTLE_HELM:
            OpenSweep({0, 102.5f, 0.5f}, {0, 114, 0.5f}, SphereRings(10.6f, 5, true), 12, Uv(Region::METAL), head);
            TopSweep({0, 102.0f, 0.5f}, {0, 103.6f, 0.5f}, Tube(16.0f, 15.0f), 14, Uv(Region::METAL), head);
            break;
        case Headgear::CLOTH_CAP:
        case Headgear::FEATHERED_CAP:
            OpenSweep({0, 103, 0.8f}, {0, 113, 0.8f}, SphereRings(9.9f, 5, true), 12,
                      Uv(look.headgear == Headgear::CLOTH_CAP ? Region::CLOTH_DARK : Region::LEATHER), head);
            if (look.headgear == Headgear::FEATHERED_CAP) {
                V3 quill[8] = {{7, 108, 3},   {8, 108, 3},      {8, 108, 5},         {7, 108, 5},
                               {10, 126, 13}, {10.6f, 126, 13}, {10.6f, 126, 13.8f}, {10, 126, 13.8f}};
                mesh.Hexahedron(quill, Uv(Region::ACCENT), head);
            } else {
                OpenSweep({0, 102.5f, 0.8f}, {0, 104.5f, 0.8f}, Tube(10.4f, 10.2f), 12, Uv(Region::CLOTH_DARK), head);
            }
            break;
        case Headgear::BARE:
        case Headgear::CIRCLET:
            OpenSweep({0, 100, 1.6f}, {0, 112.2f, 1.2f}, SphereRings(9.7f, 5, true), 14, Uv(Region::HAIR), head, 0.92f,
                      1.0f);
            if (look.headgear == Headgear::CIRCLET)
                OpenSweep({0, 103.5f, 0.5f}, {0, 105, 0.5f}, Tube(8.9f, 8.9f), 12, Uv(Region::GLOW), head, 0.92f,
                          1.02f);
            break;
        case Headgear::WIZARD_HAT:
            TopSweep({0, 105.5f, 0.5f}, {0, 107, 0.5f}, Tube(17.0f, 16.0f), 14, Uv(Region::CLOTH), head);
            OpenSweep({0, 106, 0.5f}, {0, 140, 9.0f}, {{0.0f, 10.0f}, {0.4f, 7.0f}, {0.8f, 2.6f}, {1.0f, 0.0f}}, 10,
                      Uv(Region::CLOTH), head);
            OpenSweep({0, 107, 0.5f}, {0, 110, 0.9f}, Tube(10.3f, 9.8f), 12, Uv(Region::TRIM), head);
            // Beard.
            OpenSweep({0, 99, -5.5f}, {0, 84, -8.5f}, {{0.0f, 6.0f}, {0.5f, 5.0f}, {1.0f, 0.0f}}, 8, Uv(Region::HAIR),
                      head, 1.0f, 0.6f);
            break;
        case Headgear::HOOD:
            OpenSweep({0, 91, 2.8f}, {0, 116, 7.0f},
                      {{0.0f, 12.5f}, {0.3f, 11.8f}, {0.65f, 10.2f}, {0.9f, 5.0f}, {1.0f, 0.0f}}, 12, Uv(Region::CLOTH),
                      head, 0.98f, 1.06f);
            break;
        case Headgear::GREAT_HELM:
            OpenSweep({0, 92, 0.5f}, {0, 110, 0.5f}, {{0.0f, 10.6f}, {0.8f, 10.8f}, {1.0f, 10.6f}}, 12,
                      Uv(Region::PLATE), head, 0.95f, 1.0f);
            OpenSweep({0, 109.9f, 0.5f}, {0, 114, 0.5f}, SphereRings(10.5f, 4, true), 12, Uv(Region::PLATE), head,
                      0.95f, 1.0f);
            mesh.Box({0, 103, -10.0f}, {7.0f, 0.9f, 0.9f}, Uv(Region::METAL_DARK), head);
            mesh.Box({0, 97, -10.2f}, {0.9f, 5.0f, 0.9f}, Uv(Region::METAL), head);
            // Plume.
            OpenSweep({0, 113, 1.0f}, {0, 128, 14.0f}, {{0.0f, 2.6f}, {0.35f, 4.2f}, {1.0f, 0.0f}}, 8,
                      Uv(Region::ACCENT), head, 0.6f, 1.0f);
            break;
        }
    }

    // Weapons lie along -z from the grip in the bind pose; the poses turn them.
    void Weapons()
    {
        const Weigher weapon = Rigid(WEAPON);
        const Weigher offhand = Rigid(OFFHAND);
        const V3 grip{-16.0f, 46.0f, 0.0f};
        const V3 left{16.0f, 46.0f, 0.0f};
        auto along = [](V3 g, float z) { return V3{g.x, g.y, g.z - z}; };
        switch (look.weapon) {
        case Weapon::PIKE:
            OpenSweep(along(grip, -62), along(grip, 150), Tube(1.5f, 1.3f), 6, Uv(Region::WOOD), weapon);
            OpenSweep(along(grip, 149), along(grip, 175), {{0.0f, 1.8f}, {0.25f, 3.6f}, {1.0f, 0.0f}}, 4,
                      Uv(Region::METAL), weapon, 1.0f, 0.35f, {0, 1, 0});
            mesh.Box(along(grip, 149), {5.0f, 0.8f, 0.8f}, Uv(Region::METAL_DARK), weapon);
            break;
        case Weapon::CLUB:
            // Its iron studs stood out of the head by a pixel's fraction: a dark band round the head shows them.
            Sweep(along(grip, -5), along(grip, 40), {{0.0f, 1.9f}, {0.3f, 2.2f}, {0.8f, 4.6f}, {1.0f, 3.4f}}, 7,
                  Uv(Region::WOOD), weapon);
            OpenSweep(along(grip, 31.5f), along(grip, 34.5f), Tube(4.9f, 4.8f), 7, Uv(Region::METAL_DARK), weapon);
            break;
        case Weapon::HAMMER:
            OpenSweep(along(grip, -14), along(grip, 62), Tube(1.7f, 1.6f), 6, Uv(Region::WOOD), weapon);
            mesh.Box(along(grip, 63), {5.5f, 12.0f, 6.0f}, Uv(Region::METAL), weapon);
            mesh.Box(along(grip, 63), {6.0f, 3.0f, 6.5f}, Uv(Region::TRIM), weapon);
            break;
        case Weapon::STAFF:
            OpenSweep(along(grip, -40), along(grip, 110), Tube(1.6f, 1.4f), 6, Uv(Region::WOOD), weapon);
            Sweep(along(grip, 108), along(grip, 128), {{0.0f, 0.0f}, {0.45f, 4.2f}, {1.0f, 0.0f}}, 6, Uv(Region::GLOW),
                  weapon);
            break;
        case Weapon::HEALING_STAFF:
            OpenSweep(along(grip, -36), along(grip, 98), Tube(1.5f, 1.3f), 6, Uv(Region::WOOD), weapon);
            Sweep(along(grip, 98) + V3{0, -1.2f, 0}, along(grip, 98) + V3{0, 1.2f, 0}, Tube(8.0f, 8.0f), 14,
                  Uv(Region::METAL), weapon);
            Sweep(along(grip, 98) + V3{0, -1.6f, 0}, along(grip, 98) + V3{0, 1.6f, 0}, Tube(4.0f, 4.0f), 10,
                  Uv(Region::GLOW), weapon);
            break;
        case Weapon::FOCUS:
            OpenSweep(along(grip, -4), along(grip, 30), Tube(1.2f, 1.0f), 6, Uv(Region::METAL_DARK), weapon);
            Sweep(along(grip, 29), along(grip, 35), SphereRings(2.4f, 4), 6, Uv(Region::GLOW), weapon);
            // The focus: a bright orb over the open left hand, in a ring of dark metal.
            Sweep(left + V3{0, -8.0f, -4.0f}, left + V3{0, 7.0f, -4.0f}, SphereRings(7.5f, 7), 12, Uv(Region::GLOW),
                  offhand);
            Sweep(left + V3{0, -3.0f, -4.0f}, left + V3{0, -1.6f, -4.0f}, Tube(8.6f, 8.6f), 12, Uv(Region::METAL_DARK),
                  offhand);
            break;
        case Weapon::BLADES:
        case Weapon::DAGGERS: {
            const bool daggers = look.weapon == Weapon::DAGGERS;
            const float length = daggers ? 24.0f : 34.0f;
            const Region steel = daggers ? Region::METAL_DARK : Region::METAL;
            for (const auto& [g, w] : {std::pair{grip, weapon}, std::pair{left, offhand}}) {
                V3 blade[8] = {g + V3{-0.5f, -1.8f, -3},    g + V3{0.5f, -1.8f, -3},       g + V3{0.5f, 1.8f, -3},
                               g + V3{-0.5f, 1.8f, -3},     g + V3{-0.2f, -0.3f, -length}, g + V3{0.2f, -0.3f, -length},
                               g + V3{0.2f, 0.9f, -length}, g + V3{-0.2f, 0.9f, -length}};
                mesh.Hexahedron(blade, Uv(steel), w);
                mesh.Box(g + V3{0, 0, -2.5f}, {1.2f, 4.2f, 0.8f}, Uv(Region::TRIM), w);
                mesh.Box(g + V3{0, 0, 2.0f}, {1.0f, 1.0f, 4.0f}, Uv(Region::LEATHER), w);
            }
            break;
        }
        case Weapon::SLING:
            // The cord hangs from the fist with the stone's pouch at its end.
            mesh.Box(grip + V3{0, -12.0f, 0}, {0.45f, 12.0f, 0.45f}, Uv(Region::CORD), weapon);
            Sweep(grip + V3{0, -27.0f, 0}, grip + V3{0, -21.0f, 0}, SphereRings(3.0f, 4), 6, Uv(Region::LEATHER),
                  weapon);
            break;
        case Weapon::SWORD: {
            V3 blade[8] = {grip + V3{-0.7f, -2.8f, -6}, grip + V3{0.7f, -2.8f, -6},   grip + V3{0.7f, 2.8f, -6},
                           grip + V3{-0.7f, 2.8f, -6},  grip + V3{-0.3f, -0.8f, -82}, grip + V3{0.3f, -0.8f, -82},
                           grip + V3{0.3f, 0.8f, -82},  grip + V3{-0.3f, 0.8f, -82}};
            mesh.Hexahedron(blade, Uv(Region::METAL), weapon);
            mesh.Box(grip + V3{0, 0, -5.0f}, {1.4f, 8.5f, 1.2f}, Uv(Region::TRIM), weapon);
            OpenSweep(grip + V3{0, 0, -4.0f}, grip + V3{0, 0, 5.0f}, Tube(1.3f, 1.3f), 6, Uv(Region::LEATHER), weapon);
            Sweep(grip + V3{0, 0, 4.5f}, grip + V3{0, 0, 8.0f}, SphereRings(2.0f, 4), 6, Uv(Region::TRIM), weapon);
            break;
        }
        case Weapon::BOW: {
            // A tall bow upright in the left fist, its tips bent back towards the archer, and its string.
            const V3 g = left + V3{0, 0, -1.0f};
            const V3 points[] = {g + V3{0, -46, 10}, g + V3{0, -30, 4}, g + V3{0, -8, 0},
                                 g + V3{0, 8, 0},    g + V3{0, 30, 4},  g + V3{0, 46, 10}};
            for (int i = 0; i + 1 < 6; ++i) {
                const float r0 = (i == 2) ? 1.9f : 1.4f - 0.12f * static_cast<float>(std::abs(i - 2));
                OpenSweep(points[i], points[i + 1], Tube(r0, i == 2 ? 1.9f : r0 - 0.1f), 6, Uv(Region::WOOD), offhand);
            }
            mesh.Box(g + V3{0, 0, 10.0f}, {0.25f, 46.0f, 0.25f}, Uv(Region::CORD), offhand);
            break;
        }
        }
        if (look.shield) {
            const V3 centre = left + V3{1.5f, 3.0f, -6.0f};
            Sweep(centre, centre + V3{0, 0, -2.0f}, {{0.0f, 15.0f}, {1.0f, 15.5f}}, 16, Uv(Region::EMBLEM), offhand);
            Sweep(centre + V3{0, 0, -1.9f}, centre + V3{0, 0, -2.6f}, {{0.0f, 16.2f}, {1.0f, 16.0f}}, 16,
                  Uv(Region::METAL_DARK), offhand);
            OpenSweep(centre + V3{0, 0, -2.0f}, centre + V3{0, 0, -6.0f}, SphereRings(4.5f, 4, true), 8,
                      Uv(Region::METAL), offhand);
        }
        if (look.quiver) {
            TopSweep({-7.0f, 56, 11.0f}, {6.0f, 92, 13.0f}, Tube(4.4f, 5.0f), 8, Uv(Region::LEATHER), TrunkWeigher());
            for (int i = 0; i < 4; ++i) {
                const float dx = -1.5f + static_cast<float>(i);
                mesh.Box({6.0f + dx * 1.6f, 96.5f, 13.0f + (i % 2 ? 1.2f : -1.2f)}, {0.4f, 4.5f, 1.4f},
                         Uv(Region::CORD), Rigid(CHEST));
            }
        }
        if (look.weapon == Weapon::SLING) {
            // The stone bag on the hip.
            Sweep({13.0f, 44, -3.0f}, {13.5f, 55, -2.0f}, {{0.0f, 3.0f}, {0.5f, 5.0f}, {1.0f, 3.5f}}, 8,
                  Uv(Region::LEATHER), Rigid(HIPS));
        }
    }
};

} // namespace

XMesh BuildClassMesh(const ClassLook& look, const std::string& texture)
{
    MeshBuilder mesh;
    mesh.SetFanCaps(true);
    mesh.SetSharedSeams(true);
    Figure figure{look, mesh};
    figure.Trunk();
    figure.Arms();
    figure.Legs();
    figure.Garment();
    figure.Head();
    figure.Weapons();
    mesh.Scale(look.scale);
    XMaterial material;
    material.texture = texture;
    material.specular = {0.3f, 0.3f, 0.3f};
    return mesh.Build("Body", material, ClassBindBones(look));
}
