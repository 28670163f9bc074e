#pragma once
// Builds a mesh from swept and boxed primitives. Every vertex carries up to four bone influences, which a
// weigher chooses from its position and its place along the primitive; a rigid mesh simply gives none.

#include "ModelMath.h"
#include "XFile.h"

#include <array>
#include <functional>
#include <string>
#include <vector>

struct Influence {
    int bone = 0;
    float weight = 0.0f;
};
using Influences = std::vector<Influence>;
// t runs from 0 at a sweep's start to 1 at its end (0.5 for boxes).
using Weigher = std::function<Influences(V3 position, float t)>;

// A rectangle of the texture, in texture coordinates.
struct UvRect {
    float u0 = 0.0f, v0 = 0.0f, u1 = 1.0f, v1 = 1.0f;
};

// One ring of a sweep: its place along the axis (0 to 1) and its radius.
struct Ring {
    float t = 0.0f;
    float radius = 0.0f;
};

// A bone of a skeleton as the builder needs it: its name and its place in the bind pose.
struct BindBone {
    std::string name;
    V3 position;
};

class MeshBuilder
{
public:
    // Rings swept around the axis from start to end. side picks the direction of the cross-section's first
    // half-axis (scaled by sideScale); the other half-axis (scaled by frontScale) is perpendicular to both.
    // An end whose ring has a radius above 0 is closed with a flat cap.
    void Sweep(V3 start, V3 end, const std::vector<Ring>& rings, int segments, UvRect uv, const Weigher& weigher,
               float sideScale = 1.0f, float frontScale = 1.0f, V3 side = {1.0f, 0.0f, 0.0f});
    // Eight corners: 0-3 around one end, 4-7 around the other in the same order. Flat-shaded.
    void Hexahedron(const V3 (&corners)[8], UvRect uv, const Weigher& weigher);
    // A box of the given half extents along the three (unit) axes.
    void Box(V3 centre, V3 halfExtents, UvRect uv, const Weigher& weigher, V3 axisX = {1, 0, 0}, V3 axisY = {0, 1, 0},
             V3 axisZ = {0, 0, 1});
    // A flat quad seen from both sides (two faces).
    void Panel(V3 a, V3 b, V3 c, V3 d, UvRect uv, const Weigher& weigher);

    // Scales every vertex about the origin.
    void Scale(float factor);
    // Moves every vertex added since `firstVertex`; normals are left to Facet.
    void Deform(size_t firstVertex, const std::function<V3(V3)>& move);
    // Gives every triangle added since `firstTriangle` vertices of its own with the face's normal (a cut-stone
    // look), after a Deform.
    void Facet(size_t firstTriangle);
    // Adds every triangle since `firstTriangle` once more facing the other way, for thin shells seen from
    // both sides.
    void DoubleSide(size_t firstTriangle);

    // Material of the triangles added from now on.
    void SetMaterial(uint32_t index) { material = index; }
    // With a tile size above 0, sweeps and boxes take texture coordinates in world units divided by the tile
    // (so a texture repeats along a long wall) instead of the rectangle given.
    void SetTiling(float units) { tile = units; }
    // Whether sweeps close their open ends: both, or the start's and the end's each.
    void SetCaps(bool on) { SetCaps(on, on); }
    void SetCaps(bool start, bool end) { caps = {start, end}; }
    // Caps as a fan from one of their own corners (two triangles and a vertex fewer than a fan from a hub in
    // the middle; the same flat face).
    void SetFanCaps(bool on) { fanCaps = on; }
    // Sweeps whose rings close on their first corner instead of a copy of it with the texture's far edge; the
    // texture runs there and back round them (so mirrored on their far side). A vertex fewer per ring.
    void SetSharedSeams(bool on) { sharedSeams = on; }

    size_t TriangleCount() const { return triangles.size(); }
    size_t VertexCount() const { return vertices.size(); }

    // The mesh with one material. With bones, every influence becomes skin weights whose offset matrix undoes
    // the bone's bind position; without, the mesh is rigid.
    XMesh Build(const std::string& name, const XMaterial& material, const std::vector<BindBone>& bones) const;
    XMesh Build(const std::string& name, const std::vector<XMaterial>& materials) const;

private:
    struct Vertex {
        V3 position;
        V3 normal;
        float u = 0.0f, v = 0.0f;
        Influences influences;
    };
    uint32_t AddVertex(V3 position, V3 normal, float u, float v, Influences influences);
    // Adds the triangle, turned so that it faces the way its vertices' normals point.
    void AddTriangle(uint32_t a, uint32_t b, uint32_t c);

    std::vector<Vertex> vertices;
    std::vector<std::array<uint32_t, 3>> triangles;
    std::vector<uint32_t> triangleMaterials;
    uint32_t material = 0;
    float tile = 0.0f;
    std::array<bool, 2> caps{true, true};
    bool fanCaps = false;
    bool sharedSeams = false;
};

// Weighers for the usual cases.
Weigher Rigid(int bone);
// The main bone, shading into `from` over the first `fromSpan` of the sweep (half and half at t = 0) and into
// `to` over the last `toSpan` (half and half at t = 1). A bone of -1 is left out.
Weigher Joint(int main, int from, float fromSpan, int to, float toSpan);
