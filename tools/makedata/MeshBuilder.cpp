#include "MeshBuilder.h"

#include <algorithm>
#include <map>
#include <set>
#include <stdexcept>

namespace {

// Merges repeated bones, keeps the four strongest and scales the weights to sum to 1.
Influences Normalised(Influences in)
{
    std::map<int, float> merged;
    for (const Influence& i : in)
        if (i.bone >= 0 && i.weight > 0.0f)
            merged[i.bone] += i.weight;
    Influences out;
    for (const auto& [bone, weight] : merged)
        out.push_back({bone, weight});
    std::stable_sort(out.begin(), out.end(),
                     [](const Influence& a, const Influence& b) { return a.weight > b.weight; });
    if (out.size() > 4)
        out.resize(4);
    float sum = 0.0f;
    for (const Influence& i : out)
        sum += i.weight;
    for (Influence& i : out)
        i.weight /= sum;
    return out;
}

} // namespace

Weigher Rigid(int bone)
{
    return [bone](V3, float) { return Influences{{bone, 1.0f}}; };
}

Weigher Joint(int main, int from, float fromSpan, int to, float toSpan)
{
    return [=](V3, float t) {
        Influences result;
        float mainWeight = 1.0f;
        if (from >= 0 && fromSpan > 0.0f && t < fromSpan) {
            const float w = 0.5f * (1.0f - t / fromSpan);
            result.push_back({from, w});
            mainWeight -= w;
        }
        if (to >= 0 && toSpan > 0.0f && t > 1.0f - toSpan) {
            const float w = 0.5f * (t - (1.0f - toSpan)) / toSpan;
            result.push_back({to, w});
            mainWeight -= w;
        }
        result.push_back({main, mainWeight});
        return result;
    };
}

uint32_t MeshBuilder::AddVertex(V3 position, V3 normal, float u, float v, Influences influences)
{
    vertices.push_back({position, Normalize(normal), u, v, std::move(influences)});
    return static_cast<uint32_t>(vertices.size() - 1);
}

void MeshBuilder::AddTriangle(uint32_t a, uint32_t b, uint32_t c)
{
    const V3 pa = vertices[a].position, pb = vertices[b].position, pc = vertices[c].position;
    const V3 face = Cross(pb - pa, pc - pa);
    if (Length(face) < 1e-6f)
        return; // a sliver at a pole adds nothing but trouble for normal computation
    const V3 normal = vertices[a].normal + vertices[b].normal + vertices[c].normal;
    // Front faces are clockwise in the left-handed view, which makes the cross product point outwards.
    if (Dot(face, normal) >= 0.0f)
        triangles.push_back({a, b, c});
    else
        triangles.push_back({a, c, b});
    triangleMaterials.push_back(material);
}

void MeshBuilder::Sweep(V3 start, V3 end, const std::vector<Ring>& rings, int segments, UvRect uv,
                        const Weigher& weigher, float sideScale, float frontScale, V3 side)
{
    if (rings.size() < 2 || segments < 3)
        throw std::runtime_error("a sweep needs two rings and three segments");
    const V3 axis = Normalize(end - start);
    const float length = Length(end - start);
    V3 s = side - axis * Dot(side, axis);
    if (Length(s) < 1e-3f)
        s = Cross(axis, V3{0.0f, 0.0f, 1.0f});
    s = Normalize(s);
    const V3 f = Normalize(Cross(axis, s));

    const size_t ringCount = rings.size();
    std::vector<uint32_t> firstOfRing(ringCount);
    // A ring's last corner is its first again: a copy of it only where the texture must not wrap.
    const int ringVertices = sharedSeams ? segments : segments + 1;
    for (size_t i = 0; i < ringCount; ++i) {
        const Ring& ring = rings[i];
        const size_t prev = i == 0 ? 0 : i - 1;
        const size_t next = i + 1 == ringCount ? i : i + 1;
        const float dl = (rings[next].t - rings[prev].t) * length;
        const float slope = dl > 1e-6f ? (rings[next].radius - rings[prev].radius) / dl : 0.0f;
        const V3 centre = start + axis * (ring.t * length);
        firstOfRing[i] = static_cast<uint32_t>(vertices.size());
        for (int j = 0; j < ringVertices; ++j) {
            const float angle = 2.0f * Pi * static_cast<float>(j) / static_cast<float>(segments);
            const float c = std::cos(angle), sn = std::sin(angle);
            const V3 offset = s * (c * sideScale * ring.radius) + f * (sn * frontScale * ring.radius);
            const V3 radial = Normalize(s * (c / sideScale) + f * (sn / frontScale));
            V3 normal = radial - axis * slope;
            if (ring.radius <= 1e-4f)
                normal = i == 0 ? axis * -1.0f : axis;
            const V3 p = centre + offset;
            float u = uv.u0 + (uv.u1 - uv.u0) * static_cast<float>(j) / static_cast<float>(segments);
            if (sharedSeams) // there and back round the ring, so that the last corner meets the first
                u = uv.u0 + (uv.u1 - uv.u0) *
                                (1.0f - std::abs(1.0f - 2.0f * static_cast<float>(j) / static_cast<float>(segments)));
            float v = uv.v1 - (uv.v1 - uv.v0) * ring.t;
            if (tile > 0.0f) {
                const float around = 2.0f * Pi * std::max(ring.radius, 1.0f) * std::max(sideScale, frontScale);
                u = std::round(around / tile) * static_cast<float>(j) / static_cast<float>(segments);
                v = -ring.t * length / tile;
            }
            AddVertex(p, normal, u, v, Normalised(weigher(p, ring.t)));
        }
    }
    // A ring of radius 0 (a pole) is one point: the half of its band's quads that would join two of its
    // copies would be triangles without area, so they are left out.
    for (size_t i = 0; i + 1 < ringCount; ++i) {
        const bool poleBelow = rings[i].radius <= 1e-4f;
        const bool poleAbove = rings[i + 1].radius <= 1e-4f;
        for (uint32_t j = 0; j < static_cast<uint32_t>(segments); ++j) {
            const uint32_t next = static_cast<int>(j) + 1 < ringVertices ? j + 1 : 0;
            const uint32_t a = firstOfRing[i] + j, b = firstOfRing[i] + next, c = firstOfRing[i + 1] + j,
                           d = firstOfRing[i + 1] + next;
            if (!poleBelow)
                AddTriangle(a, c, b);
            if (!poleAbove)
                AddTriangle(b, c, d);
        }
    }
    // Flat caps on open ends.
    for (int end : {0, 1}) {
        const Ring& ring = end == 0 ? rings.front() : rings.back();
        if (!caps[static_cast<size_t>(end)] || ring.radius <= 1e-4f)
            continue;
        const V3 normal = end == 0 ? axis * -1.0f : axis;
        const uint32_t source = end == 0 ? firstOfRing.front() : firstOfRing.back();
        if (fanCaps) {
            // The ring's own corners (the seam's copy left out) with the cap's normal.
            const uint32_t first = static_cast<uint32_t>(vertices.size());
            for (uint32_t j = 0; j < static_cast<uint32_t>(segments); ++j) {
                const Vertex copy = vertices[source + j];
                AddVertex(copy.position, normal, copy.u, copy.v, copy.influences);
            }
            for (uint32_t j = 1; j + 1 < static_cast<uint32_t>(segments); ++j)
                AddTriangle(first, first + j, first + j + 1);
            continue;
        }
        const V3 centre = start + axis * (ring.t * length);
        const float uc = 0.5f * (uv.u0 + uv.u1), vc = 0.5f * (uv.v0 + uv.v1);
        const uint32_t hub = AddVertex(centre, normal, uc, vc, Normalised(weigher(centre, ring.t)));
        const uint32_t first = static_cast<uint32_t>(vertices.size());
        for (uint32_t j = 0; j <= static_cast<uint32_t>(segments); ++j) {
            const Vertex copy = vertices[source + j % static_cast<uint32_t>(ringVertices)];
            AddVertex(copy.position, normal, copy.u, copy.v, copy.influences);
        }
        for (uint32_t j = 0; j < static_cast<uint32_t>(segments); ++j)
            AddTriangle(hub, first + j, first + j + 1);
    }
}

void MeshBuilder::Hexahedron(const V3 (&corners)[8], UvRect uv, const Weigher& weigher)
{
    static const int faces[6][4] = {{0, 1, 2, 3}, {4, 7, 6, 5}, {0, 4, 5, 1}, {1, 5, 6, 2}, {2, 6, 7, 3}, {3, 7, 4, 0}};
    V3 centre;
    for (const V3& c : corners)
        centre = centre + c * 0.125f;
    for (const auto& face : faces) {
        const V3 a = corners[face[0]], b = corners[face[1]], c = corners[face[2]], d = corners[face[3]];
        V3 normal = Normalize(Cross(c - a, d - b));
        const V3 faceCentre = (a + b + c + d) * 0.25f;
        if (Dot(normal, faceCentre - centre) < 0.0f)
            normal = normal * -1.0f;
        const uint32_t first = static_cast<uint32_t>(vertices.size());
        float us[4] = {uv.u0, uv.u1, uv.u1, uv.u0};
        float vs[4] = {uv.v1, uv.v1, uv.v0, uv.v0};
        if (tile > 0.0f) {
            const float width = Length(b - a) / tile, height = Length(d - a) / tile;
            const float w = std::max(0.25f, std::round(width * 4.0f) / 4.0f);
            const float h = std::max(0.25f, std::round(height * 4.0f) / 4.0f);
            us[0] = 0.0f, us[1] = w, us[2] = w, us[3] = 0.0f;
            vs[0] = h, vs[1] = h, vs[2] = 0.0f, vs[3] = 0.0f;
        }
        for (int k = 0; k < 4; ++k) {
            const V3 p = corners[face[k]];
            AddVertex(p, normal, us[k], vs[k], Normalised(weigher(p, 0.5f)));
        }
        AddTriangle(first, first + 1, first + 2);
        AddTriangle(first, first + 2, first + 3);
    }
}

void MeshBuilder::Box(V3 centre, V3 halfExtents, UvRect uv, const Weigher& weigher, V3 axisX, V3 axisY, V3 axisZ)
{
    const V3 x = axisX * halfExtents.x, y = axisY * halfExtents.y, z = axisZ * halfExtents.z;
    const V3 corners[8] = {centre - x - y - z, centre + x - y - z, centre + x - y + z, centre - x - y + z,
                           centre - x + y - z, centre + x + y - z, centre + x + y + z, centre - x + y + z};
    Hexahedron(corners, uv, weigher);
}

void MeshBuilder::Panel(V3 a, V3 b, V3 c, V3 d, UvRect uv, const Weigher& weigher)
{
    const V3 normal = Normalize(Cross(c - a, d - b));
    for (float sign : {1.0f, -1.0f}) {
        const V3 n = normal * sign;
        const uint32_t first = static_cast<uint32_t>(vertices.size());
        const V3 ps[4] = {a, b, c, d};
        const float us[4] = {uv.u0, uv.u1, uv.u1, uv.u0};
        const float vs[4] = {uv.v1, uv.v1, uv.v0, uv.v0};
        for (int k = 0; k < 4; ++k)
            AddVertex(ps[k], n, us[k], vs[k], Normalised(weigher(ps[k], 0.5f)));
        AddTriangle(first, first + 1, first + 2);
        AddTriangle(first, first + 2, first + 3);
    }
}

void MeshBuilder::Scale(float factor)
{
    for (Vertex& v : vertices)
        v.position = v.position * factor;
}

void MeshBuilder::Deform(size_t firstVertex, const std::function<V3(V3)>& move)
{
    for (size_t i = firstVertex; i < vertices.size(); ++i)
        vertices[i].position = move(vertices[i].position);
}

void MeshBuilder::Facet(size_t firstTriangle)
{
    const std::vector<std::array<uint32_t, 3>> old(triangles.begin() + static_cast<std::ptrdiff_t>(firstTriangle),
                                                   triangles.end());
    const std::vector<uint32_t> oldMaterials(triangleMaterials.begin() + static_cast<std::ptrdiff_t>(firstTriangle),
                                             triangleMaterials.end());
    triangles.resize(firstTriangle);
    triangleMaterials.resize(firstTriangle);
    const uint32_t kept = material;
    for (size_t t = 0; t < old.size(); ++t) {
        const Vertex a = vertices[old[t][0]], b = vertices[old[t][1]], c = vertices[old[t][2]];
        const V3 normal = Normalize(Cross(b.position - a.position, c.position - a.position));
        material = oldMaterials[t];
        const uint32_t first = static_cast<uint32_t>(vertices.size());
        for (const Vertex& v : {a, b, c})
            AddVertex(v.position, normal, v.u, v.v, v.influences);
        AddTriangle(first, first + 1, first + 2);
    }
    material = kept;
}

void MeshBuilder::DoubleSide(size_t firstTriangle)
{
    const size_t end = triangles.size();
    const uint32_t kept = material;
    for (size_t t = firstTriangle; t < end; ++t) {
        const auto corners = triangles[t];
        material = triangleMaterials[t];
        const uint32_t first = static_cast<uint32_t>(vertices.size());
        for (uint32_t corner : corners) {
            const Vertex v = vertices[corner];
            AddVertex(v.position, v.normal * -1.0f, v.u, v.v, v.influences);
        }
        AddTriangle(first, first + 2, first + 1);
    }
    material = kept;
}

XMesh MeshBuilder::Build(const std::string& name, const std::vector<XMaterial>& materials) const
{
    XMesh mesh = Build(name, materials.front(), {});
    mesh.materials = materials;
    mesh.faceMaterials = triangleMaterials;
    for (uint32_t m : triangleMaterials)
        if (m >= materials.size())
            throw std::runtime_error("a face of " + name + " names a material the mesh lacks");
    return mesh;
}

XMesh MeshBuilder::Build(const std::string& name, const XMaterial& material, const std::vector<BindBone>& bones) const
{
    XMesh mesh;
    mesh.name = name;
    mesh.materials = {material};
    for (const Vertex& v : vertices) {
        mesh.positions.push_back(ToX(v.position));
        mesh.normals.push_back(ToX(v.normal));
        mesh.uvs.push_back({v.u, v.v});
    }
    mesh.faces = triangles;
    mesh.faceMaterials.assign(triangles.size(), 0u);
    if (bones.empty())
        return mesh;

    std::vector<XSkinWeights> skin(bones.size());
    for (size_t b = 0; b < bones.size(); ++b) {
        skin[b].bone = bones[b].name;
        skin[b].offset = XTranslation(-bones[b].position.x, -bones[b].position.y, -bones[b].position.z);
    }
    for (size_t i = 0; i < vertices.size(); ++i) {
        const Influences& influences = vertices[i].influences;
        if (influences.empty())
            throw std::runtime_error("a skinned vertex of " + name + " has no bone");
        mesh.maxWeightsPerVertex = std::max(mesh.maxWeightsPerVertex, static_cast<uint32_t>(influences.size()));
        for (const Influence& influence : influences) {
            if (influence.bone < 0 || static_cast<size_t>(influence.bone) >= bones.size())
                throw std::runtime_error("a vertex of " + name + " names a bone the skeleton lacks");
            skin[static_cast<size_t>(influence.bone)].vertices.push_back(static_cast<uint32_t>(i));
            skin[static_cast<size_t>(influence.bone)].weights.push_back(influence.weight);
        }
    }
    for (const auto& face : triangles) {
        std::set<int> distinct;
        for (uint32_t corner : face)
            for (const Influence& influence : vertices[corner].influences)
                distinct.insert(influence.bone);
        mesh.maxWeightsPerFace = std::max(mesh.maxWeightsPerFace, static_cast<uint32_t>(distinct.size()));
    }
    // A bone that moves no vertex needs no weights; its frame still animates whatever hangs below it.
    for (XSkinWeights& weights : skin)
        if (!weights.vertices.empty())
            mesh.skin.push_back(std::move(weights));
    return mesh;
}
