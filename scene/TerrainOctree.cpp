#include "scene/TerrainOctree.h"

#include "core/DataManager.h"
#include "scene/Camera.h"
#include "scene/LevelData.h"

#include <cmath>
#include <cstring>

namespace {
constexpr float kRootCentre = 16384.0f;
constexpr float kRootSize = 32768.0f;
constexpr float kCellsPerUnit = 0.00390625f;
constexpr int kPatchKeys = 129;

// Child and corner order: the sign of x, y and z per entry.
constexpr float kSigns[8][3] = {
    {1, 1, 1}, {-1, 1, 1}, {1, -1, 1}, {-1, -1, 1}, {1, 1, -1}, {-1, 1, -1}, {1, -1, -1}, {-1, -1, -1},
};
} // namespace

TerrainOctree::Node::~Node()
{
    if (vertexBuffer)
        vertexBuffer->Release();
    if (indexBuffer)
        indexBuffer->Release();
}

TerrainOctree::~TerrainOctree() = default;

void TerrainOctree::Build(const LevelData& level)
{
    m_records.resize(static_cast<size_t>(kGrid) * kGrid);
    for (int r = 0; r < kGrid; ++r)
        for (int c = 0; c < kGrid; ++c)
            m_records[static_cast<size_t>(r) * kGrid + static_cast<size_t>(c)] = MakeTerrainVertex(level, r, c);
    m_root = std::make_unique<Node>();
    BuildNode(m_root.get());
}

void TerrainOctree::BuildNode(Node* node)
{
    if (!node->parent) {
        node->centre = D3DXVECTOR3(kRootCentre, 0.0f, kRootCentre);
        node->size = kRootSize;
        node->height = kRootSize;
    }
    const float h = node->size * 0.5f;
    const float hy = node->height * 0.5f;
    for (int i = 0; i < 8; ++i)
        node->corners[i] = node->centre + D3DXVECTOR3(kSigns[i][0] * h, kSigns[i][1] * hy, kSigns[i][2] * h);

    if (!node->parent || node->parent->sampleCount != 0) {
        const int xmin = static_cast<int>(std::fabs((node->centre.x - h) * kCellsPerUnit));
        const int xmax = static_cast<int>(std::fabs((node->centre.x + h) * kCellsPerUnit));
        const int zmin = static_cast<int>(std::fabs((node->centre.z - h) * kCellsPerUnit));
        const int zmax = static_cast<int>(std::fabs((node->centre.z + h) * kCellsPerUnit));
        node->patchX = xmin;
        node->patchZ = zmin;
        for (int x = xmin; x <= xmax; ++x) {
            for (int z = zmin; z <= zmax; ++z) {
                // The far edge of the map (index 128) repeats the last sample; the far corner twice.
                const int repeats = (x >= kGrid && z >= kGrid) ? 2 : 1;
                const int slot = std::min(z, kGrid - 1) * kGrid + std::min(x, kGrid - 1);
                for (int k = 0; k < repeats; ++k) {
                    ++node->sampleCount;
                    if (node->sampleCount <= kMaxLeafSamples) {
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

    if (node->sampleCount > kMaxLeafSamples) {
        const float q = node->size * 0.25f;
        const float qy = node->height * 0.25f;
        for (int i = 0; i < 8; ++i) {
            auto child = std::make_unique<Node>();
            child->parent = node;
            child->size = node->size * 0.5f;
            child->height = node->height * 0.5f;
            child->centre = node->centre + D3DXVECTOR3(kSigns[i][0] * q, kSigns[i][1] * qy, kSigns[i][2] * q);
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
    const UINT indexBytes = static_cast<UINT>(node->triangleCount * 3 * sizeof(uint16_t));
    if (FAILED(device->CreateVertexBuffer(vertexBytes, D3DUSAGE_WRITEONLY, TerrainVertex::FVF, D3DPOOL_MANAGED,
                                          &node->vertexBuffer, nullptr)))
        node->vertexBuffer = nullptr;
    if (FAILED(device->CreateIndexBuffer(indexBytes, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED,
                                         &node->indexBuffer, nullptr)))
        node->indexBuffer = nullptr;
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
    m_patchDrawn.assign(static_cast<size_t>(kPatchKeys) * kPatchKeys, false);
    m_lastDrawCount = 0;
    DrawNode(m_root.get());
}

void TerrainOctree::DrawNode(const Node* node)
{
    if (!node || !node->visible)
        return;
    if (!node->leaf) {
        for (const auto& child : node->children)
            DrawNode(child.get());
        return;
    }
    if (node->sampleCount == 0 || !node->vertexBuffer || !node->indexBuffer)
        return;
    const size_t key = static_cast<size_t>(node->patchX) * kPatchKeys + static_cast<size_t>(node->patchZ);
    if (m_patchDrawn[key])
        return;
    m_patchDrawn[key] = true;
    IDirect3DDevice9* device = DataManager::Get()->GetDevice();
    if (!device)
        return;
    device->SetStreamSource(0, node->vertexBuffer, 0, sizeof(TerrainVertex));
    device->SetIndices(node->indexBuffer);
    device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, node->sampleCount, 0,
                                 static_cast<UINT>(node->triangleCount));
    ++m_lastDrawCount;
}
