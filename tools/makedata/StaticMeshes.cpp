// The static meshes the levels place (trees, rocks, fences, walls, buildings, barrels, hay) and the two glow
// meshes the game adds around units. Each stands on its origin with +y up; its textures, each with its DOT3
// normal map beside it, live with the other static-mesh textures.
#include "AtlasPainter.h"
#include "DataWriter.h"
#include "MeshBuilder.h"
#include "Writers.h"
#include "XFileWriter.h"

#include <cmath>

namespace {

// A pseudo-random value in [-1, 1] that varies smoothly with direction, for lumpy rocks and canopies.
float Lumps(V3 d, int seed)
{
    const float s = static_cast<float>(seed);
    return 0.5f * std::sin(d.x * 3.1f + s) * std::cos(d.z * 2.7f - s * 0.7f) +
           0.3f * std::sin(d.y * 4.3f + d.x * 2.0f + s * 1.3f) + 0.2f * std::cos(d.z * 6.1f - d.y * 3.3f + s * 2.1f);
}

XMaterial Textured(const std::string& texture)
{
    XMaterial material;
    material.texture = texture;
    material.specular = {0.1f, 0.1f, 0.1f};
    material.power = 8.0f;
    return material;
}

struct TextureSpec {
    const char* name;
    Pattern pattern;
    uint32_t colour;
    uint32_t second;
    int size;
};

const TextureSpec StaticTextures[] = {
    {"oakBark", Pattern::BARK, 0x5E4A34, 0x3A2A1A, 128},     {"oakLeaves", Pattern::LEAVES, 0x4A7A30, 0x7AA040, 256},
    {"pineBark", Pattern::BARK, 0x4E3828, 0x2A1E14, 128},    {"pineNeedles", Pattern::NEEDLES, 0x2A5A34, 0x4A7A44, 256},
    {"rock", Pattern::STONE, 0x8A8680, 0x5A5650, 256},       {"fenceWood", Pattern::GRAIN, 0x8A6A44, 0x5A4028, 128},
    {"stoneWall", Pattern::BRICKS, 0x9A948A, 0x5A564E, 256}, {"towerStone", Pattern::BRICKS, 0x8C8880, 0x4E4A44, 256},
    {"roofSlate", Pattern::BRICKS, 0x4A5262, 0x2A2E38, 256}, {"plaster", Pattern::PLASTER, 0xE0D6BC, 0x5A3A22, 256},
    {"thatch", Pattern::THATCH, 0xB89A58, 0x806A3A, 256},    {"door", Pattern::PLANKS, 0x6A4A2A, 0x2E2E2E, 128},
    {"window", Pattern::FLAT, 0x2A3444, 0x1A2028, 64},       {"barrel", Pattern::PLANKS, 0x8A5A30, 0x3A3A3E, 128},
    {"hay", Pattern::STRAW, 0xD0B060, 0xA08040, 128},        {"shardsOfIce", Pattern::ICE, 0x70B0F0, 0xFFFFFF, 128},
};

void WriteStaticTextures(const std::filesystem::path& directory)
{
    for (const TextureSpec& t : StaticTextures) {
        AtlasPainter painter(t.size, 1);
        painter.Paint(0, t.pattern, t.colour, t.second);
        painter.Write(directory, t.name);
    }
    // The target ring: bright at the ground, fading upwards, its alpha carrying the fade.
    constexpr int size = 64;
    Image ring(size, size);
    for (int y = 0; y < size; ++y) {
        const float up = 1.0f - static_cast<float>(y) / (size - 1); // v = 0 at the top edge of the band
        const float alpha = std::clamp(1.0f - up, 0.0f, 1.0f);
        const uint32_t a = static_cast<uint32_t>(std::lround(alpha * alpha * 255.0f));
        for (int x = 0; x < size; ++x) {
            const float stripe = 0.85f + 0.15f * std::cos(static_cast<float>(x) * 2.0f * Pi / 16.0f);
            const uint32_t g = static_cast<uint32_t>(std::lround(230.0f * stripe));
            const uint32_t b = static_cast<uint32_t>(std::lround(120.0f * stripe));
            ring.Set(x, y, (a << 24) | (0xFFu << 16) | (g << 8) | b);
        }
    }
    WriteTga(directory / "PolyGlow.tga", ring, true);
    Image flat(4, 4, 0xFF8080FFu);
    WriteTga(directory / "PolyGlowDOT3.tga", flat, false);
}

void WriteMesh(const std::filesystem::path& directory, const std::string& file, const MeshBuilder& mesh,
               const std::vector<XMaterial>& materials)
{
    XFile x;
    std::string name = file.substr(0, file.find('.'));
    x.meshes.push_back(mesh.Build(name, materials));
    XFileWriter::Write(directory / file, x);
}

const UvRect Whole{0.0f, 0.0f, 1.0f, 1.0f};
const Weigher None = [](V3, float) { return Influences{}; };

std::vector<Ring> Sphere(float radius, int count)
{
    std::vector<Ring> rings;
    for (int i = 0; i <= count; ++i) {
        const float t = static_cast<float>(i) / static_cast<float>(count);
        rings.push_back({0.5f * (1.0f - std::cos(Pi * t)), radius * std::sin(Pi * t)});
    }
    return rings;
}

void Blob(MeshBuilder& mesh, V3 centre, float radius, float squash, int seed, float roughness)
{
    const size_t firstVertex = mesh.VertexCount();
    const size_t firstTriangle = mesh.TriangleCount();
    mesh.Sweep(centre - V3{0, radius * squash, 0}, centre + V3{0, radius * squash, 0}, Sphere(radius, 6), 9, Whole,
               None, 1.0f, 1.0f);
    mesh.Deform(firstVertex, [=](V3 p) {
        const V3 d = Normalize(p - centre);
        return centre + (p - centre) * (1.0f + roughness * Lumps(d, seed));
    });
    mesh.Facet(firstTriangle);
}

void Oak(const std::filesystem::path& dir)
{
    MeshBuilder mesh;
    mesh.SetTiling(80.0f);
    mesh.Sweep({0, -10, 0}, {0, 230, 0}, {{0.0f, 34.0f}, {0.08f, 24.0f}, {0.6f, 17.0f}, {1.0f, 11.0f}}, 10, Whole,
               None);
    const V3 boughs[4][2] = {{{0, 150, 0}, {85, 235, 20}},
                             {{0, 170, 0}, {-80, 245, -15}},
                             {{0, 160, 0}, {15, 240, 85}},
                             {{0, 185, 0}, {-20, 250, -85}}};
    for (const auto& b : boughs)
        mesh.Sweep(b[0], b[1], {{0.0f, 9.0f}, {1.0f, 4.0f}}, 6, Whole, None);
    mesh.SetTiling(0.0f);
    mesh.SetMaterial(1);
    const struct {
        V3 c;
        float r;
    } crowns[] = {{{0, 265, 0}, 96},     {{82, 240, 22}, 70},  {{-78, 250, -18}, 72}, {{12, 248, 84}, 68},
                  {{-22, 246, -84}, 70}, {{40, 305, -30}, 56}, {{-35, 300, 35}, 52}};
    int seed = 1;
    for (const auto& crown : crowns)
        Blob(mesh, crown.c, crown.r, 0.85f, seed++, 0.16f);
    WriteMesh(dir, "oak_tree.x", mesh, {Textured("oakBark.tga"), Textured("oakLeaves.tga")});
}

void Pine(const std::filesystem::path& dir)
{
    MeshBuilder mesh;
    mesh.SetTiling(60.0f);
    mesh.Sweep({0, -10, 0}, {0, 380, 0}, {{0.0f, 16.0f}, {0.1f, 12.0f}, {1.0f, 3.0f}}, 8, Whole, None);
    mesh.SetTiling(0.0f);
    mesh.SetMaterial(1);
    const float bases[] = {70, 135, 200, 260, 315};
    const float radii[] = {100, 86, 70, 52, 34};
    for (int i = 0; i < 5; ++i) {
        const float top = bases[i] + (i == 4 ? 95.0f : 115.0f);
        mesh.Sweep({0, bases[i], 0}, {0, top, 0}, {{0.0f, radii[i]}, {0.15f, radii[i] * 0.92f}, {1.0f, 0.0f}}, 12,
                   Whole, None);
    }
    WriteMesh(dir, "pine_tree.x", mesh, {Textured("pineBark.tga"), Textured("pineNeedles.tga")});
}

void Rock(const std::filesystem::path& dir, const std::string& file, float across, int seed)
{
    MeshBuilder mesh;
    const float r = across * 0.5f;
    const size_t firstVertex = mesh.VertexCount();
    mesh.Sweep({0, -0.25f * r, 0}, {0, 0.75f * r, 0}, Sphere(r, 7), 11, Whole, None, 1.0f, 0.94f);
    mesh.Deform(firstVertex, [=](V3 p) {
        const V3 c{0, 0.25f * r, 0};
        const V3 d = Normalize(p - c);
        return c + (p - c) * (1.0f + 0.22f * Lumps(d, seed));
    });
    mesh.Facet(0);
    WriteMesh(dir, file, mesh, {Textured("rock.tga")});
}

void Fence(const std::filesystem::path& dir)
{
    MeshBuilder mesh;
    mesh.SetTiling(64.0f);
    for (float x : {-122.0f, 0.0f, 122.0f})
        mesh.Box({x, 30, 0}, {4.5f, 32.0f, 4.5f}, Whole, None);
    for (float y : {22.0f, 46.0f})
        mesh.Box({0, y, 0}, {128.0f, 3.5f, 1.5f}, Whole, None);
    WriteMesh(dir, "fence.x", mesh, {Textured("fenceWood.tga")});
}

void StoneWall(const std::filesystem::path& dir)
{
    MeshBuilder mesh;
    mesh.SetTiling(96.0f);
    mesh.Box({0, 68, 0}, {256.0f, 68.0f, 30.0f}, Whole, None);
    mesh.Box({0, 139, 0}, {256.0f, 3.0f, 33.0f}, Whole, None);
    for (int i = 0; i < 8; ++i)
        mesh.Box({-224.0f + 64.0f * static_cast<float>(i), 151, 0}, {20.0f, 9.0f, 28.0f}, Whole, None);
    WriteMesh(dir, "stone_wall.x", mesh, {Textured("stoneWall.tga")});
}

void Tower(const std::filesystem::path& dir)
{
    MeshBuilder mesh;
    mesh.SetTiling(96.0f);
    mesh.SetCaps(false);
    mesh.Sweep({0, -10, 0}, {0, 440, 0}, {{0.0f, 156.0f}, {0.05f, 150.0f}, {1.0f, 146.0f}}, 20, Whole, None);
    mesh.SetCaps(true);
    mesh.Sweep({0, 430, 0}, {0, 468, 0}, {{0.0f, 146.0f}, {0.4f, 157.0f}, {1.0f, 157.0f}}, 20, Whole, None);
    mesh.SetMaterial(1);
    mesh.Sweep({0, 466, 0}, {0, 605, 0}, {{0.0f, 164.0f}, {1.0f, 0.0f}}, 20, Whole, None);
    mesh.SetMaterial(2);
    mesh.SetTiling(0.0f);
    mesh.Box({0, 50, -150}, {28.0f, 50.0f, 6.0f}, Whole, None);
    mesh.SetMaterial(3);
    for (int i = 0; i < 4; ++i) {
        const float a = Pi * 0.5f * static_cast<float>(i) + 0.4f;
        const V3 out{std::sin(a), 0.0f, -std::cos(a)};
        const V3 side{std::cos(a), 0.0f, std::sin(a)};
        mesh.Box(out * 146.0f + V3{0, 250.0f + 60.0f * static_cast<float>(i % 2), 0}, {9.0f, 22.0f, 6.0f}, Whole, None,
                 side, {0, 1, 0}, out);
    }
    WriteMesh(dir, "tower.x", mesh,
              {Textured("towerStone.tga"), Textured("roofSlate.tga"), Textured("door.tga"), Textured("window.tga")});
}

void Farmhouse(const std::filesystem::path& dir)
{
    MeshBuilder mesh;
    mesh.SetTiling(120.0f);
    // Plastered walls with gable ends up to the ridge.
    mesh.Box({0, 120, 0}, {280.0f, 120.0f, 180.0f}, Whole, None);
    const V3 gable[8] = {{-280, 240, -180}, {280, 240, -180}, {280, 240, 180}, {-280, 240, 180},
                         {-280, 380, -1},   {280, 380, -1},   {280, 380, 1},   {-280, 380, 1}};
    mesh.Hexahedron(gable, Whole, None);
    // Thatched roof: two thick slopes overhanging walls and gables.
    mesh.SetMaterial(1);
    mesh.SetTiling(100.0f);
    for (float side : {-1.0f, 1.0f}) {
        const V3 slope[8] = {{-300, 222, side * 205}, {300, 222, side * 205}, {300, 236, side * 212},
                             {-300, 236, side * 212}, {-300, 392, 0},         {300, 392, 0},
                             {300, 406, side * 6},    {-300, 406, side * 6}};
        mesh.Hexahedron(slope, Whole, None);
    }
    // Chimney.
    mesh.SetMaterial(2);
    mesh.SetTiling(96.0f);
    mesh.Box({180, 330, 60}, {22.0f, 90.0f, 22.0f}, Whole, None);
    // Door and windows.
    mesh.SetTiling(0.0f);
    mesh.SetMaterial(3);
    mesh.Box({-60, 60, -182}, {32.0f, 60.0f, 4.0f}, Whole, None);
    mesh.SetMaterial(4);
    for (float x : {-200.0f, 100.0f, 200.0f})
        mesh.Box({x, 140, -182}, {26.0f, 26.0f, 3.0f}, Whole, None);
    for (float x : {-150.0f, 150.0f})
        mesh.Box({x, 140, 182}, {26.0f, 26.0f, 3.0f}, Whole, None);
    WriteMesh(dir, "farmhouse.x", mesh,
              {Textured("plaster.tga"), Textured("thatch.tga"), Textured("towerStone.tga"), Textured("door.tga"),
               Textured("window.tga")});
}

void Barrel(const std::filesystem::path& dir)
{
    MeshBuilder mesh;
    mesh.Sweep({0, 0, 0}, {0, 70, 0}, {{0.0f, 33.0f}, {0.25f, 38.0f}, {0.5f, 40.0f}, {0.75f, 38.0f}, {1.0f, 33.0f}}, 14,
               Whole, None);
    WriteMesh(dir, "barrel.x", mesh, {Textured("barrel.tga")});
}

void HayBale(const std::filesystem::path& dir)
{
    MeshBuilder mesh;
    mesh.SetTiling(60.0f);
    mesh.Sweep({0, 0, 0}, {0, 70, 0}, {{0.0f, 72.0f}, {0.12f, 79.0f}, {0.5f, 80.0f}, {0.88f, 79.0f}, {1.0f, 72.0f}}, 18,
               Whole, None);
    WriteMesh(dir, "haybale.x", mesh, {Textured("hay.tga")});
}

// A band around a unit's feet, seen from inside and out; the glow scales it upwards from the ground.
void PolyGlow(const std::filesystem::path& dir)
{
    MeshBuilder mesh;
    mesh.SetCaps(false);
    mesh.Sweep({0, 1, 0}, {0, 34, 0}, {{0.0f, 52.0f}, {1.0f, 56.0f}}, 24, {0.0f, 0.0f, 4.0f, 1.0f}, None);
    mesh.DoubleSide(0);
    XMaterial material = Textured("PolyGlow.tga");
    material.emissive = {1.0f, 0.9f, 0.5f};
    WriteMesh(dir, "PolyGlow.x", mesh, {material});
}

// Spikes of ice bursting from the ground around the target.
void ShardsOfIce(const std::filesystem::path& dir)
{
    MeshBuilder mesh;
    const struct {
        float angle, lean, height, radius, out;
    } shards[] = {{0.0f, 0.0f, 120.0f, 16.0f, 0.0f},  {0.9f, 0.45f, 90.0f, 12.0f, 30.0f},
                  {2.0f, 0.5f, 100.0f, 13.0f, 34.0f}, {3.1f, 0.4f, 80.0f, 11.0f, 28.0f},
                  {4.2f, 0.55f, 95.0f, 12.0f, 36.0f}, {5.3f, 0.45f, 70.0f, 10.0f, 30.0f},
                  {1.5f, 0.7f, 55.0f, 8.0f, 50.0f},   {3.8f, 0.75f, 60.0f, 9.0f, 52.0f}};
    for (const auto& s : shards) {
        const V3 base{s.out * std::cos(s.angle), -10.0f, s.out * std::sin(s.angle)};
        const V3 dir3{std::sin(s.lean) * std::cos(s.angle), std::cos(s.lean), std::sin(s.lean) * std::sin(s.angle)};
        mesh.Sweep(base, base + dir3 * s.height, {{0.0f, s.radius}, {0.7f, s.radius * 0.7f}, {1.0f, 0.0f}}, 5, Whole,
                   None);
    }
    mesh.Facet(0);
    XMaterial material = Textured("shardsOfIce.tga");
    material.specular = {0.9f, 0.9f, 1.0f};
    material.power = 40.0f;
    WriteMesh(dir, "shardsOfIce.x", mesh, {material});
}

} // namespace

void WriteStaticMeshes(const std::filesystem::path& root)
{
    // The normal map of every texture that has none of its own: the surface as it is.
    WriteTga(DataDirectory(root, "") / "defaultDOT3.tga", Image(4, 4, 0xFF8080FFu), false);
    const std::filesystem::path textures = DataDirectory(root, "Textures/Static Mesh Textures");
    const std::filesystem::path models = DataDirectory(root, "Models/Static Models");
    WriteStaticTextures(textures);
    Oak(models);
    Pine(models);
    Rock(models, "rock_large.x", 200.0f, 3);
    Rock(models, "rock_small.x", 80.0f, 7);
    Fence(models);
    StoneWall(models);
    Tower(models);
    Farmhouse(models);
    Barrel(models);
    HayBale(models);
    PolyGlow(models);
    ShardsOfIce(models);
}
