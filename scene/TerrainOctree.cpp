#include "scene/TerrainOctree.h"

#include "core/DataManager.h"
#include "scene/Camera.h"
#include "scene/LevelData.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace {
constexpr float ROOT_CENTRE = 16384.0f;
constexpr float ROOT_SIZE = 32768.0f;
constexpr float CELLS_PER_UNIT = 0.00390625f;
constexpr int PATCH_KEYS = 129;

// Child and corner order: the sign of x, y and z per entry.
constexpr float SIGNS[8][3] = {
    {1, 1, 1}, {-1, 1, 1}, {1, -1, 1}, {-1, -1, 1}, {1, 1, -1}, {-1, 1, -1}, {1, -1, -1}, {-1, -1, -1},
};
} // namespace

TerrainOctree::~TerrainOctree() = default;

unsigned TerrainOctree::WeightSet(D3DCOLOR a, D3DCOLOR b, D3DCOLOR c)
{
    // The colour holds weight 1 in red, 2 in green, 3 in blue and 4 in alpha.
    const auto most = [&](unsigned shift) {
        return std::max({(a >> shift) & 0xFFu, (b >> shift) & 0xFFu, (c >> shift) & 0xFFu});
    };
    const unsigned one = most(16), two = most(8);
    const bool withOne = one > FADED || (one > 0 && two <= FADED);
    const bool withTwo = two > FADED || (two > 0 && one <= FADED);
    return (withOne ? 1u : 0u) | (withTwo ? 2u : 0u) | (most(0) > FADED ? 4u : 0u) | (most(24) > FADED ? 8u : 0u);
}

void TerrainOctree::Build(const LevelData& level)
{
    m_records.resize(static_cast<size_t>(GRID) * GRID);
    for (int r = 0; r < GRID; ++r)
        for (int c = 0; c < GRID; ++c)
            m_records[static_cast<size_t>(r) * GRID + static_cast<size_t>(c)] = MakeTerrainVertex(level, r, c);
    m_root = std::make_unique<Node>();
    m_patches.clear();
    BuildNode(m_root.get());
    SortPatches();
}

void TerrainOctree::BuildNode(Node* node)
{
    if (!node->parent) {
        node->centre = D3DXVECTOR3(ROOT_CENTRE, 0.0f, ROOT_CENTRE);
        node->size = ROOT_SIZE;
        node->height = ROOT_SIZE;
    }
    const float h = node->size * 0.5f;
    const float hy = node->height * 0.5f;
    for (int i = 0; i < 8; ++i)
        node->corners[i] = node->centre + D3DXVECTOR3(SIGNS[i][0] * h, SIGNS[i][1] * hy, SIGNS[i][2] * h);

    if (!node->parent || node->parent->sampleCount != 0) {
        const int xmin = static_cast<int>(std::fabs((node->centre.x - h) * CELLS_PER_UNIT));
        const int xmax = static_cast<int>(std::fabs((node->centre.x + h) * CELLS_PER_UNIT));
        const int zmin = static_cast<int>(std::fabs((node->centre.z - h) * CELLS_PER_UNIT));
        const int zmax = static_cast<int>(std::fabs((node->centre.z + h) * CELLS_PER_UNIT));
        node->patchX = xmin;
        node->patchZ = zmin;
        for (int x = xmin; x <= xmax; ++x) {
            for (int z = zmin; z <= zmax; ++z) {
                // The far edge of the map (index 128) repeats the last sample; the far corner twice.
                const int repeats = (x >= GRID && z >= GRID) ? 2 : 1;
                const int slot = std::min(z, GRID - 1) * GRID + std::min(x, GRID - 1);
                for (int k = 0; k < repeats; ++k) {
                    ++node->sampleCount;
                    if (node->sampleCount <= MAX_LEAF_SAMPLES) {
                        node->samples.push_back(static_cast<uint16_t>(slot));
                    } else if (!node->samples.empty()) {
                        node->samples.clear();
                        node->samples.shrink_to_fit();
                    }
                }
            }
        }
        BuildLeaf(node);
    }

    if (node->sampleCount > MAX_LEAF_SAMPLES) {
        const float q = node->size * 0.25f;
        const float qy = node->height * 0.25f;
        for (int i = 0; i < 8; ++i) {
            auto child = std::make_unique<Node>();
            child->parent = node;
            child->size = node->size * 0.5f;
            child->height = node->height * 0.5f;
            child->centre = node->centre + D3DXVECTOR3(SIGNS[i][0] * q, SIGNS[i][1] * qy, SIGNS[i][2] * q);
            node->children[static_cast<size_t>(i)] = std::move(child);
        }
        for (auto& child : node->children)
            BuildNode(child.get());
    } else {
        node->leaf = true;
    }
}

void TerrainOctree::BuildLeaf(Node* node)
{
    if (node->samples.empty())
        return;
    const int n = static_cast<int>(std::sqrt(static_cast<double>(node->sampleCount)));
    node->triangleCount = (n - 1) * (n - 1) * 2;
    IDirect3DDevice9* device = DataManager::Get()->GetDevice();
    if (!device)
        return;
    const UINT vertexBytes = static_cast<UINT>(node->samples.size() * sizeof(TerrainVertex));
    const UINT indexBytes = static_cast<UINT>(static_cast<size_t>(node->triangleCount) * 3 * sizeof(uint16_t));
    device->CreateVertexBuffer(vertexBytes, D3DUSAGE_WRITEONLY, TerrainVertex::FVF, D3DPOOL_MANAGED,
                               node->vertexBuffer.AddressOf(), nullptr);
    device->CreateIndexBuffer(indexBytes, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED,
                              node->indexBuffer.AddressOf(), nullptr);
    void* data = nullptr;
    if (node->indexBuffer && SUCCEEDED(node->indexBuffer->Lock(0, 0, &data, 0)) && data) {
        auto* index = static_cast<uint16_t*>(data);
        for (int a = 0; a < n - 1; ++a) {
            for (int b = 0; b < n - 1; ++b) {
                const int i = a * n + b;
                *index++ = static_cast<uint16_t>(i);
                *index++ = static_cast<uint16_t>(i + 1);
                *index++ = static_cast<uint16_t>(i + n + 1);
                *index++ = static_cast<uint16_t>(i);
                *index++ = static_cast<uint16_t>(i + n + 1);
                *index++ = static_cast<uint16_t>(i + n);
            }
        }
        node->indexBuffer->Unlock();
    }
    FillLeafVertices(node, m_records.data());

    // Leaves of different height over the same cells draw the same triangles: one sorted copy serves them.
    for (size_t k = 0; k < m_patches.size(); ++k)
        if (m_patches[k]->x == node->patchX && m_patches[k]->z == node->patchZ) {
            node->patch = static_cast<int>(k);
            return;
        }
    auto patch = std::make_unique<Patch>();
    patch->x = node->patchX;
    patch->z = node->patchZ;
    patch->leaf = node;
    device->CreateIndexBuffer(indexBytes, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED,
                              patch->indexBuffer.AddressOf(), nullptr);
    node->patch = static_cast<int>(m_patches.size());
    m_patches.push_back(std::move(patch));
}

void TerrainOctree::SortPatches()
{
    for (const auto& patch : m_patches) {
        const Node* leaf = patch->leaf;
        const int n = static_cast<int>(std::sqrt(static_cast<double>(leaf->sampleCount)));
        if (n < 2 || static_cast<size_t>(n) * static_cast<size_t>(n) > leaf->samples.size())
            continue;
        // The leaf's triangles in its own order, then counted into their weight sets, keeping that order.
        std::vector<std::array<uint16_t, 3>> triangles;
        std::vector<unsigned> sets;
        triangles.reserve(static_cast<size_t>(leaf->triangleCount));
        auto colour = [&](int i) { return m_records[leaf->samples[static_cast<size_t>(i)]].colour; };
        for (int a = 0; a < n - 1; ++a) {
            for (int b = 0; b < n - 1; ++b) {
                const int i = a * n + b;
                for (const std::array<int, 3>& t : {std::array<int, 3>{i, i + 1, i + n + 1}, {i, i + n + 1, i + n}}) {
                    triangles.push_back(
                        {static_cast<uint16_t>(t[0]), static_cast<uint16_t>(t[1]), static_cast<uint16_t>(t[2])});
                    sets.push_back(WeightSet(colour(t[0]), colour(t[1]), colour(t[2])));
                }
            }
        }
        patch->start.fill(0);
        for (unsigned set : sets)
            ++patch->start[set + 1];
        for (unsigned set = 0; set < WEIGHT_SETS; ++set)
            patch->start[set + 1] += patch->start[set];
        void* data = nullptr;
        if (!patch->indexBuffer || FAILED(patch->indexBuffer->Lock(0, 0, &data, 0)) || !data)
            continue;
        auto* index = static_cast<uint16_t*>(data);
        std::array<UINT, WEIGHT_SETS> next{};
        std::copy(patch->start.begin(), patch->start.end() - 1, next.begin());
        for (size_t t = 0; t < triangles.size(); ++t)
            std::copy(triangles[t].begin(), triangles[t].end(), index + 3 * static_cast<size_t>(next[sets[t]]++));
        patch->indexBuffer->Unlock();
    }
}

void TerrainOctree::FillLeafVertices(Node* node, const TerrainVertex* records)
{
    void* data = nullptr;
    if (!node->vertexBuffer || FAILED(node->vertexBuffer->Lock(0, 0, &data, 0)) || !data)
        return;
    auto* out = static_cast<TerrainVertex*>(data);
    for (uint16_t slot : node->samples)
        *out++ = records[slot];
    node->vertexBuffer->Unlock();
}

void TerrainOctree::RefreshLeaves(const TerrainVertex* records)
{
    if (!records || m_records.empty())
        return;
    std::memcpy(m_records.data(), records, m_records.size() * sizeof(TerrainVertex));
    std::vector<Node*> stack;
    if (m_root)
        stack.push_back(m_root.get());
    while (!stack.empty()) {
        Node* node = stack.back();
        stack.pop_back();
        if (node->leaf)
            FillLeafVertices(node, m_records.data());
        for (auto& child : node->children)
            if (child)
                stack.push_back(child.get());
    }
    SortPatches();
}

// Culled every frame: the test is a few hundred plane checks, and a clock on game time would let patches
// pop while a slowed-down camera swings.
void TerrainOctree::Cull()
{
    CullNode(m_root.get());
}

void TerrainOctree::CullNode(Node* node)
{
    if (!node)
        return;
    node->visible = IsNodeVisible(node);
    if (node->visible)
        for (auto& child : node->children)
            CullNode(child.get());
}

bool TerrainOctree::IsNodeVisible(const Node* node)
{
    if (!node)
        return false;
    D3DXVECTOR3 low(999999.0f, 999999.0f, 999999.0f);
    D3DXVECTOR3 high(-999999.0f, -999999.0f, -999999.0f);
    for (const D3DXVECTOR3& corner : node->corners) {
        D3DXVec3Minimize(&low, &low, &corner);
        D3DXVec3Maximize(&high, &high, &corner);
    }
    const Camera* camera = Camera::Get();
    const D3DXVECTOR3& eye = camera->GetEye();
    if (eye.x >= low.x && eye.x <= high.x && eye.y >= low.y && eye.y <= high.y && eye.z >= low.z && eye.z <= high.z)
        return true;
    const D3DXPLANE* planes = camera->GetFrustumPlanes();
    unsigned common = 0x3F;
    for (const D3DXVECTOR3& corner : node->corners) {
        unsigned outcode = 0;
        for (int p = 0; p < 6; ++p)
            if (D3DXPlaneDotCoord(&planes[p], &corner) < 0.0f)
                outcode |= 1u << p;
        if (outcode == 0)
            return true;
        common &= outcode;
    }
    return common == 0;
}

void TerrainOctree::Draw()
{
    DrawWeightSets(0, WEIGHT_SETS - 1);
}

void TerrainOctree::DrawWeightSets(unsigned first, unsigned last)
{
    m_patchDrawn.assign(static_cast<size_t>(PATCH_KEYS) * PATCH_KEYS, false);
    m_drawOrder.clear();
    m_lastDrawCount = 0;
    if (first > last || last >= WEIGHT_SETS)
        return;
    GatherNode(m_root.get());
    const D3DXVECTOR3 eye = Camera::Get()->GetEye();
    // Across the ground: the leaf drawing a patch may be any of those stacked over it.
    const auto distance = [&](const Node* node) {
        const float dx = node->centre.x - eye.x, dz = node->centre.z - eye.z;
        return dx * dx + dz * dz;
    };
    std::stable_sort(m_drawOrder.begin(), m_drawOrder.end(),
                     [&](const Node* a, const Node* b) { return distance(a) < distance(b); });
    for (const Node* leaf : m_drawOrder)
        DrawLeaf(leaf, first, last);
}

bool TerrainOctree::HasWeightSets(unsigned first, unsigned last) const
{
    if (first > last || last >= WEIGHT_SETS)
        return false;
    return std::any_of(m_patches.begin(), m_patches.end(),
                       [&](const auto& patch) { return patch->start[last + 1] > patch->start[first]; });
}

UINT TerrainOctree::WeightSetTriangles(const Node* leaf, unsigned first, unsigned last) const
{
    if (!leaf || leaf->patch < 0 || static_cast<size_t>(leaf->patch) >= m_patches.size() || first > last ||
        last >= WEIGHT_SETS)
        return 0;
    const Patch& patch = *m_patches[static_cast<size_t>(leaf->patch)];
    return patch.start[last + 1] - patch.start[first];
}

void TerrainOctree::GatherNode(const Node* node)
{
    if (!node || !node->visible)
        return;
    if (!node->leaf) {
        for (const auto& child : node->children)
            GatherNode(child.get());
        return;
    }
    if (node->sampleCount == 0 || !node->vertexBuffer || node->patch < 0)
        return;
    const size_t key = static_cast<size_t>(node->patchX) * PATCH_KEYS + static_cast<size_t>(node->patchZ);
    if (m_patchDrawn[key])
        return;
    m_patchDrawn[key] = true;
    m_drawOrder.push_back(node);
}

void TerrainOctree::DrawLeaf(const Node* node, unsigned first, unsigned last)
{
    const Patch& patch = *m_patches[static_cast<size_t>(node->patch)];
    const UINT triangles = patch.start[last + 1] - patch.start[first];
    IDirect3DDevice9* device = DataManager::Get()->GetDevice();
    if (!device || !patch.indexBuffer || triangles == 0)
        return;
    device->SetStreamSource(0, node->vertexBuffer.Get(), 0, sizeof(TerrainVertex));
    device->SetIndices(patch.indexBuffer.Get());
    device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, node->sampleCount, patch.start[first] * 3, triangles);
    ++m_lastDrawCount;
}
