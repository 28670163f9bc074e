// The three battle levels, written in the game's binary level layout: Barrithorn Farm, Timberwolf Ravine
// ("winter_wonderland.txt", shown behind the menus) and the Citadel Courtyard. Each is made from seeded
// noise and a few shapes: the board's square in the middle is gently sloped, the land rises steeply outside
// it, and every obstacle that stands on the board blocks the hexes beneath it.
#include "DataWriter.h"
#include "Noise.h"
#include "Writers.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr int GRID = 128;
constexpr float kCell = 256.0f;
constexpr float kCentre = 16384.0f;
constexpr int ROWS = 36;
constexpr int COLUMNS = 42;
// The board's geometry: hex side 64, rows along x, columns along z, centred on the map.
constexpr float kHexK = 55.42562484741211f;
constexpr float kHexS = 32.0f;
constexpr float kBoardShiftZ = (32768 - 4032) * 0.5f;
constexpr float kBoardShiftX = (32768 - 3990) * 0.5f;
// Half the board's extent around the centre, and a margin beyond it that stays gentle.
constexpr float kBoardHalf = 2100.0f;

enum HexType
{
    HEX_OPEN = 0,
    HEX_BLOCKED = 1,
    HEX_ZONE_A = 3,
    HEX_ZONE_B = 4,
};

struct Placement {
    std::string mesh;
    float x, z, yaw, scale;
};

// How much ground a mesh covers, as half extents along its own x and z.
struct Footprint {
    const char* mesh;
    float halfX, halfZ;
};
constexpr Footprint kFootprints[] = {
    {"oak_tree.x", 90, 90}, {"pine_tree.x", 80, 80},   {"rock_large.x", 100, 100}, {"rock_small.x", 40, 40},
    {"fence.x", 128, 12},   {"stone_wall.x", 256, 30}, {"tower.x", 150, 150},      {"farmhouse.x", 300, 200},
    {"barrel.x", 40, 40},   {"haybale.x", 80, 80},
};

struct Decal {
    std::string texture;
    float rotation;
    int grid;
    float x, z;
};

float Clamp01(float v)
{
    return std::clamp(v, 0.0f, 1.0f);
}

// Distance of a point outside the board's square (0 inside).
float OutsideBoard(float x, float z)
{
    const float dx = std::max(std::fabs(x - kCentre) - kBoardHalf, 0.0f);
    const float dz = std::max(std::fabs(z - kCentre) - kBoardHalf, 0.0f);
    return std::sqrt(dx * dx + dz * dz);
}

float DistanceToSegment(float px, float pz, float ax, float az, float bx, float bz)
{
    const float vx = bx - ax, vz = bz - az;
    const float t = Clamp01(((px - ax) * vx + (pz - az) * vz) / std::max(vx * vx + vz * vz, 1e-6f));
    const float dx = px - (ax + vx * t), dz = pz - (az + vz * t);
    return std::sqrt(dx * dx + dz * dz);
}

float DistanceToPath(float x, float z, const std::vector<std::pair<float, float>>& path)
{
    float best = 1e9f;
    for (size_t i = 0; i + 1 < path.size(); ++i)
        best = std::min(best,
                        DistanceToSegment(x, z, path[i].first, path[i].second, path[i + 1].first, path[i + 1].second));
    return best;
}

class LevelBuilder
{
public:
    LevelBuilder() : heights(GRID * GRID, 0.0f), weights(GRID * GRID * 4, 0.0f), hexes(ROWS * COLUMNS, 0) { }

    std::vector<float> heights;
    std::vector<float> weights;
    std::vector<int32_t> hexes;
    std::vector<Placement> placements;
    std::vector<Decal> decals;
    int32_t tiling[4] = {40, 30, 60, 24};
    uint8_t fog = 0;
    float fogColour[3] = {0, 0, 0};
    float sky = 12.0f;
    int32_t lightMinimum = 64;
    int32_t lightIntensity = 200;
    float lightColour[3] = {255, 255, 255};
    std::string textures[4];
    float slope = 1.0f;

    template <typename F>
    void ForEachSample(F&& f)
    {
        for (int x = 0; x < GRID; ++x)
            for (int z = 0; z < GRID; ++z)
                f(x, z, static_cast<float>(x) * kCell, static_cast<float>(z) * kCell);
    }
    float& H(int x, int z) { return heights[static_cast<size_t>(x) * GRID + static_cast<size_t>(z)]; }
    float* W(int x, int z) { return &weights[(static_cast<size_t>(x) * GRID + static_cast<size_t>(z)) * 4]; }

    // The same bilinear height the game reads, so placed meshes stand on the ground it draws.
    float HeightAt(float x, float z) const
    {
        const float fx = std::clamp(x / kCell, 0.0f, 127.0f), fz = std::clamp(z / kCell, 0.0f, 127.0f);
        const int ix = static_cast<int>(fx), iz = static_cast<int>(fz);
        const int ix1 = std::min(ix + 1, GRID - 1), iz1 = std::min(iz + 1, GRID - 1);
        const float tx = fx - ix, tz = fz - iz;
        auto h = [&](int a, int b) { return heights[static_cast<size_t>(a) * GRID + static_cast<size_t>(b)]; };
        return (1 - tz) * ((1 - tx) * h(ix, iz) + tx * h(ix1, iz)) + tz * ((1 - tx) * h(ix, iz1) + tx * h(ix1, iz1));
    }

    static void HexCentre(int row, int column, float& x, float& z)
    {
        const float anchorX = (2.0f * row + (column % 2)) * kHexK - kHexS + kBoardShiftX;
        const float anchorZ = 96.0f * column + kHexK + kBoardShiftZ;
        x = anchorX + kHexK;
        z = anchorZ - 32.0f;
    }

    // Deployment zones on the near and far edges of the board (along z), open ground between.
    void DeploymentZones(int depth)
    {
        for (int row = 0; row < ROWS; ++row)
            for (int column = 0; column < COLUMNS; ++column) {
                int32_t& type = hexes[static_cast<size_t>(row) * COLUMNS + static_cast<size_t>(column)];
                type = column < depth ? HEX_ZONE_A : (column >= COLUMNS - depth ? HEX_ZONE_B : HEX_OPEN);
            }
    }

    // Places a mesh on the ground; any hex whose centre falls under it is blocked.
    void Place(const std::string& mesh, float x, float z, float yaw = 0.0f, float scale = 1.0f)
    {
        placements.push_back({mesh, x, z, yaw, scale});
        float hx = 50.0f, hz = 50.0f;
        for (const Footprint& f : kFootprints)
            if (mesh == f.mesh) {
                hx = f.halfX * scale;
                hz = f.halfZ * scale;
            }
        const float c = std::cos(yaw), s = std::sin(yaw);
        for (int row = 0; row < ROWS; ++row)
            for (int column = 0; column < COLUMNS; ++column) {
                float px, pz;
                HexCentre(row, column, px, pz);
                // Into the mesh's own frame (a yaw about +y in the row-vector convention).
                const float dx = px - x, dz = pz - z;
                const float lx = dx * c - dz * s, lz = dx * s + dz * c;
                if (std::fabs(lx) <= hx + 30.0f && std::fabs(lz) <= hz + 30.0f)
                    hexes[static_cast<size_t>(row) * COLUMNS + static_cast<size_t>(column)] = HEX_BLOCKED;
            }
    }

    void Write(const std::filesystem::path& path) const
    {
        std::vector<uint8_t> out;
        auto raw = [&](const void* p, size_t n) {
            const auto* b = static_cast<const uint8_t*>(p);
            out.insert(out.end(), b, b + n);
        };
        auto i32 = [&](int32_t v) { raw(&v, 4); };
        auto f32 = [&](float v) { raw(&v, 4); };
        auto name = [&](const std::string& text) {
            char field[260] = {};
            std::memcpy(field, text.data(), std::min<size_t>(text.size(), 259));
            raw(field, sizeof(field));
        };
        i32(static_cast<int32_t>(kCell));
        for (float h : heights)
            f32(h);
        for (int32_t t : tiling)
            i32(t);
        raw(&fog, 1);
        for (float c : fogColour)
            f32(c);
        f32(sky);
        i32(lightMinimum);
        i32(lightIntensity);
        for (float c : lightColour)
            f32(c);
        for (const std::string& t : textures)
            name(t);
        f32(slope);
        for (float w : weights)
            f32(w);
        for (int32_t h : hexes)
            i32(h);
        i32(static_cast<int32_t>(placements.size()));
        for (const Placement& p : placements) {
            name(p.mesh);
            const float c = std::cos(p.yaw), s = std::sin(p.yaw);
            const float matrix[16] = {c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1};
            for (float m : matrix)
                f32(m);
            f32(p.scale);
            const uint8_t flag = 0;
            raw(&flag, 1);
            // A little into the ground, so that a mesh on a slope shows no gap under its low side.
            f32(p.x);
            f32(HeightAt(p.x, p.z) - 6.0f);
            f32(p.z);
        }
        i32(static_cast<int32_t>(decals.size()));
        for (const Decal& d : decals) {
            name(d.texture);
            f32(d.rotation);
            i32(d.grid);
            f32(d.x);
            f32(HeightAt(d.x, d.z));
            f32(d.z);
        }
        std::filesystem::create_directories(path.parent_path());
        std::ofstream file(path, std::ios::binary);
        file.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
        if (!file)
            throw std::runtime_error("cannot write " + path.string());
    }
};

// Barrithorn Farm: rolling fields around a farmhouse with a fire smouldering in its yard.
void WriteFarm(const std::filesystem::path& root)
{
    LevelBuilder level;
    const float fireX = 16539.0f, fireZ = 16373.0f;
    level.ForEachSample([&](int x, int z, float wx, float wz) {
        const float out = OutsideBoard(wx, wz);
        const float rolling = (Fbm(wx / 5000.0f, wz / 5000.0f, 101u, 4) - 0.5f) * 900.0f;
        const float hills =
            SmoothStep(800.0f, 9000.0f, out) * (700.0f + 1600.0f * Fbm(wx / 7000.0f, wz / 7000.0f, 102u, 3));
        // The near side (where the views stand) stays low, so the board is seen over open fields.
        const float nearSide = wz < kCentre ? 0.35f + 0.65f * SmoothStep(6000.0f, 0.0f, kCentre - wz) : 1.0f;
        const float board = (Fbm(wx / 2500.0f, wz / 2500.0f, 103u, 3) - 0.5f) * 120.0f;
        const float yard = SmoothStep(350.0f, 1100.0f, std::hypot(wx - fireX, wz - fireZ));
        const float boardShare = SmoothStep(0.0f, 1200.0f, out);
        level.H(x, z) = (board * yard) * (1.0f - boardShare) + (rolling * boardShare + hills) * nearSide;
    });
    const std::vector<std::pair<float, float>> lane = {{16539, 16700}, {16400, 15800}, {16100, 14900},
                                                       {15700, 13500}, {15500, 11000}, {15300, 6000}};
    const std::vector<std::pair<float, float>> track = {{16800, 16500}, {17600, 16300}, {18800, 16600}, {22000, 17500}};
    level.ForEachSample([&](int x, int z, float wx, float wz) {
        float* w = level.W(x, z);
        w[0] = 1.0f;
        const float path = std::min(DistanceToPath(wx, wz, lane), DistanceToPath(wx, wz, track));
        w[2] = SmoothStep(420.0f, 140.0f, path) + 0.8f * SmoothStep(700.0f, 250.0f, std::hypot(wx - fireX, wz - fireZ));
        w[2] = Clamp01(w[2]);
        // Fields: squares of ploughed earth beyond the board, edges broken by noise.
        const float edge = (Fbm(wx / 900.0f, wz / 900.0f, 104u, 3) - 0.5f) * 500.0f;
        const bool fieldA = wx > 9000 + edge && wx < 13600 + edge && wz > 9500 + edge && wz < 15200 + edge;
        const bool fieldB = wx > 19300 + edge && wx < 24500 + edge && wz > 14500 + edge && wz < 21000 + edge;
        const bool fieldC = wx > 12500 + edge && wx < 20500 + edge && wz > 19800 + edge && wz < 24000 + edge;
        w[3] = (fieldA || fieldB || fieldC) ? (1.0f - w[2]) * 0.9f : 0.0f;
    });
    level.DeploymentZones(4);
    level.Place("farmhouse.x", 16560.0f, 16900.0f);
    level.Place("barrel.x", 16180.0f, 16640.0f);
    level.Place("barrel.x", 16250.0f, 16590.0f, 0.6f);
    level.Place("haybale.x", 15420.0f, 15780.0f, 0.3f);
    level.Place("haybale.x", 15600.0f, 15690.0f, 1.1f);
    level.Place("haybale.x", 17420.0f, 15620.0f, 0.4f);
    level.Place("rock_small.x", 17900.0f, 16950.0f, 0.9f);
    level.Place("oak_tree.x", 15150.0f, 17450.0f, 0.5f);
    level.Place("oak_tree.x", 17850.0f, 17300.0f, 2.0f, 1.1f);
    // A fence along the lane's west side with a gap for the lane, and one closing the east pasture.
    for (int i = 0; i < 5; ++i)
        level.Place("fence.x", 14300.0f + 256.0f * i, 15050.0f, 0.0f);
    for (int i = 0; i < 4; ++i)
        level.Place("fence.x", 18620.0f, 15200.0f + 256.0f * i, 1.5707964f);
    // Groves beyond the board, kept off the fields and the lane, and hay stacked at the field edges.
    int placed = 0;
    for (int i = 0; i < 400 && placed < 70; ++i) {
        const float a = NoiseLattice(i, 1, 105u) * 6.2831853f;
        const float r = 3000.0f + NoiseLattice(i, 2, 105u) * 7000.0f;
        const float x = kCentre + std::cos(a) * r, z = kCentre + std::sin(a) * r;
        if (z < kCentre - 2600.0f && std::fabs(x - kCentre) < 1500.0f)
            continue; // keep the views' foreground open
        const int gx = std::clamp(static_cast<int>(x / kCell), 0, GRID - 1);
        const int gz = std::clamp(static_cast<int>(z / kCell), 0, GRID - 1);
        if (level.W(gx, gz)[3] > 0.05f || level.W(gx, gz)[2] > 0.05f)
            continue;
        // A grove: a few trees around one spot.
        const int trees = 1 + static_cast<int>(NoiseLattice(i, 4, 105u) * 4.0f);
        for (int t = 0; t < trees; ++t) {
            const float ox = (NoiseLattice(i, 10 + t, 105u) - 0.5f) * 900.0f;
            const float oz = (NoiseLattice(i, 20 + t, 105u) - 0.5f) * 900.0f;
            level.Place("oak_tree.x", x + ox, z + oz, a + t, 1.5f + NoiseLattice(i, 30 + t, 105u) * 1.0f);
            ++placed;
        }
    }
    for (int i = 0; i < 6; ++i)
        level.Place("haybale.x", 13700.0f + 60.0f * (i % 2), 10200.0f + 700.0f * i, 0.3f * i, 1.3f);
    level.decals.push_back({"ScorchMark.tga", 0.0f, 7, fireX, fireZ});
    level.decals.push_back({"ScorchMark.tga", 40.0f, 4, fireX + 260.0f, fireZ - 120.0f});
    level.textures[0] = "farm_grass.tga";
    level.textures[1] = "farm_rock.tga";
    level.textures[2] = "farm_path.tga";
    level.textures[3] = "farm_field.tga";
    level.tiling[0] = 48;
    level.tiling[1] = 30;
    level.tiling[2] = 64;
    level.tiling[3] = 40;
    level.slope = 4.0f;
    level.sky = 10.5f;
    level.lightMinimum = 200;
    level.lightIntensity = 255;
    level.lightColour[0] = 255;
    level.lightColour[1] = 246;
    level.lightColour[2] = 226;
    level.Write(DataDirectory(root, "Terrain Levels/Farm") / "Farm.txt");
}

// Timberwolf Ravine: a snowy floor between rock walls that run along the view, pines on the ledges, mist.
void WriteWinter(const std::filesystem::path& root)
{
    LevelBuilder level;
    auto ravineX = [](float wz) { return kCentre + std::sin((wz - kCentre) / 5200.0f) * 900.0f; };
    level.ForEachSample([&](int x, int z, float wx, float wz) {
        const float across = std::fabs(wx - ravineX(wz));
        const float floor = (Fbm(wx / 2200.0f, wz / 2200.0f, 201u, 3) - 0.5f) * 110.0f +
                            SmoothStep(3000.0f, 14000.0f, std::fabs(wz - kCentre)) * 500.0f;
        const float crag = Fbm(wx / 1500.0f, wz / 1500.0f, 202u, 5);
        const float walls = SmoothStep(2500.0f, 4300.0f, across) * (2600.0f + 1800.0f * crag) +
                            SmoothStep(5000.0f, 12000.0f, across) * 2500.0f;
        level.H(x, z) = floor + walls;
    });
    level.ForEachSample([&](int x, int z, float wx, float wz) {
        float* w = level.W(x, z);
        w[0] = 1.0f;
        const float across = std::fabs(wx - ravineX(wz));
        const float trail = std::fabs(wx - (ravineX(wz) + std::sin(wz / 1300.0f) * 350.0f));
        w[2] = SmoothStep(380.0f, 120.0f, trail) * 0.85f;
        w[3] = SmoothStep(2100.0f, 2600.0f, across) * SmoothStep(3600.0f, 2800.0f, across) * 0.8f;
    });
    level.DeploymentZones(4);
    // Boulders fallen onto the ravine floor, and a few pines that grew in it.
    level.Place("rock_large.x", 15600.0f, 16100.0f, 0.7f);
    level.Place("rock_large.x", 17250.0f, 16800.0f, 2.3f, 1.2f);
    level.Place("rock_small.x", 16800.0f, 15750.0f, 1.0f);
    level.Place("rock_small.x", 15900.0f, 17300.0f, 0.2f);
    level.Place("pine_tree.x", 17600.0f, 15650.0f, 0.3f);
    level.Place("pine_tree.x", 15200.0f, 17000.0f, 1.7f, 1.1f);
    // Pines along both walls' feet and ledges; rocks where the walls begin.
    for (int i = 0; i < 160; ++i) {
        const float z = 6000.0f + NoiseLattice(i, 1, 203u) * 22000.0f;
        const float side = (i % 2 == 0) ? -1.0f : 1.0f;
        const float x = ravineX(z) + side * (2500.0f + NoiseLattice(i, 2, 203u) * 2600.0f);
        if (z < kCentre - 2200.0f && std::fabs(x - kCentre) < 1800.0f)
            continue;
        level.Place(i % 6 == 0 ? "rock_large.x" : "pine_tree.x", x, z, NoiseLattice(i, 3, 203u) * 6.28f,
                    1.2f + NoiseLattice(i, 4, 203u) * 1.2f);
    }
    level.decals.push_back({"FrostPatch.tga", 0.0f, 8, 16100.0f, 16500.0f});
    level.decals.push_back({"FrostPatch.tga", 30.0f, 5, 16900.0f, 15200.0f});
    level.textures[0] = "winter_snow.tga";
    level.textures[1] = "winter_rock.tga";
    level.textures[2] = "winter_trail.tga";
    level.textures[3] = "winter_scree.tga";
    level.tiling[0] = 40;
    level.tiling[1] = 36;
    level.tiling[2] = 56;
    level.tiling[3] = 48;
    level.slope = 3.0f;
    level.fog = 1;
    level.fogColour[0] = 196;
    level.fogColour[1] = 206;
    level.fogColour[2] = 222;
    level.sky = 9.0f;
    level.lightMinimum = 190;
    level.lightIntensity = 255;
    level.lightColour[0] = 232;
    level.lightColour[1] = 240;
    level.lightColour[2] = 255;
    level.Write(DataDirectory(root, "Terrain Levels/Winter Wonderland") / "winter_wonderland.txt");
}

// The Citadel Courtyard: a paved yard inside walls with a tower at each corner, on a hill above grassland.
void WriteCitadel(const std::filesystem::path& root)
{
    LevelBuilder level;
    constexpr float kYardHalf = 2700.0f;
    level.ForEachSample([&](int x, int z, float wx, float wz) {
        const float out = std::max(std::fabs(wx - kCentre), std::fabs(wz - kCentre)) - kYardHalf;
        const float land = (Fbm(wx / 4000.0f, wz / 4000.0f, 301u, 4) - 0.5f) * 700.0f;
        // The yard is level; outside the walls the hill falls away and rises again to far ridges.
        const float yard = (Fbm(wx / 3000.0f, wz / 3000.0f, 302u, 2) - 0.5f) * 30.0f;
        const float slopeDown = -SmoothStep(200.0f, 3500.0f, out) * 700.0f;
        const float ridges =
            SmoothStep(6000.0f, 13000.0f, out) * (1800.0f + 1500.0f * Fbm(wx / 5000.0f, wz / 5000.0f, 303u, 3));
        const float share = SmoothStep(0.0f, 600.0f, out);
        level.H(x, z) = yard * (1.0f - share) + (slopeDown + land * SmoothStep(1500.0f, 5000.0f, out) + ridges) * share;
    });
    level.ForEachSample([&](int x, int z, float wx, float wz) {
        float* w = level.W(x, z);
        w[0] = 1.0f;
        const float out = std::max(std::fabs(wx - kCentre), std::fabs(wz - kCentre)) - kYardHalf;
        w[2] = SmoothStep(150.0f, -50.0f, out);
        const float road = std::fabs(wx - kCentre - std::sin((wz - kCentre) / 2500.0f) * 300.0f);
        w[3] = (wz < kCentre - kYardHalf + 100.0f) ? SmoothStep(380.0f, 160.0f, road) : 0.0f;
    });
    level.DeploymentZones(4);
    // The walls: four sides of stone, a gate in the near one, a tower on every corner.
    const float e = kYardHalf;
    for (int side = 0; side < 4; ++side) {
        for (int i = 0; i < 10; ++i) {
            const float along = -e + 256.0f + 512.0f * i + 20.0f;
            if (side == 0 && std::fabs(along) < 500.0f)
                continue; // the gate
            const float horizontal = side < 2;
            const float sign = (side % 2 == 0) ? -1.0f : 1.0f;
            const float x = horizontal ? kCentre + along : kCentre + sign * e;
            const float z = horizontal ? kCentre + sign * e : kCentre + along;
            level.Place("stone_wall.x", x, z, horizontal ? 0.0f : 1.5707964f);
        }
    }
    level.Place("tower.x", kCentre - e, kCentre - e);
    level.Place("tower.x", kCentre + e, kCentre - e);
    level.Place("tower.x", kCentre - e, kCentre + e);
    level.Place("tower.x", kCentre + e, kCentre + e);
    level.Place("tower.x", kCentre - 650.0f, kCentre - e, 0.0f, 0.7f);
    level.Place("tower.x", kCentre + 650.0f, kCentre - e, 0.0f, 0.7f);
    // Inside: a broken stretch of inner wall and the yard's stores.
    level.Place("stone_wall.x", kCentre + 700.0f, kCentre + 350.0f, 1.5707964f);
    level.Place("rock_large.x", kCentre + 700.0f, kCentre - 250.0f, 1.1f, 0.8f);
    level.Place("barrel.x", kCentre - 900.0f, kCentre + 500.0f);
    level.Place("barrel.x", kCentre - 830.0f, kCentre + 560.0f, 0.5f);
    level.Place("barrel.x", kCentre - 880.0f, kCentre + 640.0f, 1.2f);
    level.Place("haybale.x", kCentre - 1100.0f, kCentre - 700.0f, 0.3f);
    for (int i = 0; i < 30; ++i) {
        const float a = NoiseLattice(i, 1, 304u) * 6.2831853f;
        const float r = 4300.0f + NoiseLattice(i, 2, 304u) * 5000.0f;
        const float x = kCentre + std::cos(a) * r, z = kCentre + std::sin(a) * r;
        if (z < kCentre - 2600.0f && std::fabs(x - kCentre) < 1500.0f)
            continue;
        level.Place(i % 3 == 0 ? "rock_large.x" : "oak_tree.x", x, z, a, 1.4f + NoiseLattice(i, 3, 304u) * 1.0f);
    }
    level.decals.push_back({"CrestMosaic.tga", 0.0f, 10, kCentre, kCentre});
    level.textures[0] = "citadel_grass.tga";
    level.textures[1] = "citadel_rock.tga";
    level.textures[2] = "citadel_paving.tga";
    level.textures[3] = "citadel_road.tga";
    level.tiling[0] = 48;
    level.tiling[1] = 30;
    level.tiling[2] = 72;
    level.tiling[3] = 48;
    level.slope = 4.0f;
    level.sky = 15.5f;
    level.lightMinimum = 205;
    level.lightIntensity = 255;
    level.lightColour[0] = 255;
    level.lightColour[1] = 240;
    level.lightColour[2] = 215;
    level.Write(DataDirectory(root, "Terrain Levels/Citadel Courtyard") / "Citadel Courtyard.txt");
}

} // namespace

void WriteTerrainTextures(const std::filesystem::path& root);

void WriteLevels(const std::filesystem::path& root)
{
    WriteTerrainTextures(root);
    WriteFarm(root);
    WriteWinter(root);
    WriteCitadel(root);
}
