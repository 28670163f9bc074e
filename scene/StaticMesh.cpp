#include "scene/StaticMesh.h"

#include "core/DataManager.h"
#include "d3dx9/D3DX9.h"
#include "scene/Camera.h"
#include "scene/OpaqueDraw.h"
#include "scene/XMeshGeometry.h"
#include "win32/Log.h"

#include <algorithm>
#include <limits>

namespace {
StaticMesh::Loader g_loader = &XMeshGeometry::Load;
} // namespace

StaticMesh::StaticMesh()
{
    m_effect = DataManager::Get()->GetEffect("basic.fx");
}

StaticMesh::~StaticMesh() = default;

void StaticMesh::SetLoader(Loader loader)
{
    g_loader = loader ? loader : &XMeshGeometry::Load;
}

StaticMesh* StaticMesh::FromCache(const std::string& name)
{
    DataManager* data = DataManager::Get();
    std::string path = name;
    const bool found = data->ResolvePath(path);
    const std::string key = found ? path : name;
    if (auto* cached = static_cast<StaticMesh*>(data->FindMesh(key)))
        return cached;
    std::shared_ptr<StaticMesh> mesh;
    if (found)
        mesh = g_loader(path);
    if (!mesh) {
        Log(LogLevel::WARNING, "mesh.missing",
            "\"" + name + "\" " + (found ? "cannot be read" : "cannot be found") + "; it is not drawn");
        mesh = std::make_shared<StaticMesh>();
    }
    mesh->PrepareMesh();
    return static_cast<StaticMesh*>(data->AddMesh(key, std::move(mesh)));
}

void StaticMesh::SetGeometry(std::unique_ptr<StaticMeshGeometry> geometry)
{
    m_geometry = std::move(geometry);
    m_subsetCount = m_geometry ? m_geometry->GetSubsetCount() : 0;
    m_hasBounds = false;
    UpdateOpaque();
}

void StaticMesh::SetSubsetTextures(std::vector<IDirect3DTexture9*> base, std::vector<IDirect3DTexture9*> normalMaps)
{
    m_baseTextures = std::move(base);
    m_normalMaps = std::move(normalMaps);
    UpdateOpaque();
}

void StaticMesh::UpdateOpaque()
{
    m_opaque = m_geometry && !m_geometry->HasVertexColours() && m_baseTextures.size() >= m_subsetCount;
    for (unsigned s = 0; s < m_subsetCount && m_opaque; ++s)
        m_opaque = OpaqueDraw::IsOpaqueTexture(m_baseTextures[s]);
}

// Only the extent is kept: nothing draws a box of it.
void StaticMesh::PrepareMesh()
{
    if (m_hasBounds || !m_geometry)
        return;
    D3DXVECTOR3 low, high;
    m_hasBox = m_geometry->GetBounds(low, high);
    if (m_hasBox) {
        m_width = high.x - low.x;
        m_height = high.y - low.y;
        m_depth = high.z - low.z;
        m_low = low;
        m_high = high;
    }
    m_hasBounds = true;
}

// In clip space the view is -w <= x <= w, -w <= y <= w, 0 <= z <= w, and the part of it that culling keeps
// (the camera's cull bounds) is left w <= x <= right w, bottom w <= y <= top w. Each side is linear in the point,
// so when every corner of the box lies beyond the same side, so does all of the box.
bool StaticMesh::IsOutsideView(const D3DXMATRIX& worldViewProjection) const
{
    if (!m_hasBox)
        return false;
    const Camera::CullBounds& kept = Camera::Get()->GetCullBounds();
    unsigned common = 0x3F;
    for (int corner = 0; corner < 8; ++corner) {
        const D3DXVECTOR3 point(corner & 1 ? m_high.x : m_low.x, corner & 2 ? m_high.y : m_low.y,
                                corner & 4 ? m_high.z : m_low.z);
        D3DXVECTOR4 clip;
        D3DXVec3Transform(&clip, &point, &worldViewProjection);
        const unsigned outside = (clip.x < kept.left * clip.w ? 1u : 0u) | (clip.x > kept.right * clip.w ? 2u : 0u) |
                                 (clip.y < kept.bottom * clip.w ? 4u : 0u) | (clip.y > kept.top * clip.w ? 8u : 0u) |
                                 (clip.z < 0.0f ? 16u : 0u) | (clip.z > clip.w ? 32u : 0u);
        common &= outside;
        if (common == 0)
            return false;
    }
    return true;
}

void StaticMesh::SetSubsetParameters(unsigned subset)
{
    IDirect3DTexture9* base = subset < m_baseTextures.size() ? m_baseTextures[subset] : nullptr;
    IDirect3DTexture9* normalMap = subset < m_normalMaps.size() ? m_normalMaps[subset] : nullptr;
    m_effect->SetTexture("pNormalMapTexture", normalMap);
    m_effect->SetTexture("pBaseTexture", base);
}

void StaticMesh::Draw(const std::vector<D3DXMATRIX>& matrices)
{
    Place(matrices);
    DrawPlaced();
}

float StaticMesh::Place(const std::vector<D3DXMATRIX>& matrices)
{
    m_placed.clear();
    if (!m_effect || !m_geometry)
        return std::numeric_limits<float>::infinity();
    const D3DXMATRIX& viewProjection = Camera::Get()->GetViewProjection();
    const D3DXVECTOR3 middle = (m_low + m_high) * 0.5f;
    for (const D3DXMATRIX& world : matrices) {
        Placed placed{0.0f, &world, {}};
        D3DXMatrixMultiply(&placed.worldViewProjection, &world, &viewProjection);
        // Most of a level's trees and rocks stand outside the view at any time.
        if (IsOutsideView(placed.worldViewProjection))
            continue;
        D3DXVECTOR4 clip;
        D3DXVec3Transform(&clip, &middle, &placed.worldViewProjection);
        placed.depth = clip.w;
        m_placed.push_back(placed);
    }
    if (m_placed.empty())
        return std::numeric_limits<float>::infinity();
    std::stable_sort(m_placed.begin(), m_placed.end(),
                     [](const Placed& a, const Placed& b) { return a.depth < b.depth; });
    return m_placed.front().depth;
}

void StaticMesh::DrawPlaced()
{
    if (m_placed.empty() || !m_effect || !m_geometry)
        return;
    UINT passes = 0;
    if (FAILED(m_effect->Begin(&passes, 0)))
        return;
    for (UINT pass = 0; pass < passes; ++pass) {
        m_effect->BeginPass(pass);
        for (unsigned s = 0; s < m_subsetCount; ++s) {
            SetSubsetParameters(s);
            for (const Placed& placed : m_placed) {
                m_effect->SetMatrix("worldViewProjMatrix", &placed.worldViewProjection);
                m_effect->SetMatrix("worldMatrix", placed.world);
                m_effect->CommitChanges();
                m_geometry->DrawSubset(s);
            }
        }
        m_effect->EndPass();
    }
    m_effect->End();
}

void StaticMesh::DrawGlow(const D3DXMATRIX& matrix)
{
    if (!m_effect || !m_geometry)
        return;
    D3DXMATRIX wvp;
    D3DXMatrixMultiply(&wvp, &matrix, &Camera::Get()->GetViewProjection());
    if (IsOutsideView(wvp))
        return;
    UINT passes = 0;
    if (FAILED(m_effect->Begin(&passes, 0)))
        return;
    for (UINT pass = 0; pass < passes; ++pass) {
        m_effect->BeginPass(pass);
        m_effect->SetMatrix("worldViewProjMatrix", &wvp);
        m_effect->SetMatrix("worldMatrix", &matrix);
        for (unsigned s = 0; s < m_subsetCount; ++s) {
            SetSubsetParameters(s);
            m_effect->CommitChanges();
            m_geometry->DrawSubset(s);
        }
        m_effect->EndPass();
    }
    m_effect->End();
}
