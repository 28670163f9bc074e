#include "scene/XMeshGeometry.h"

#include "core/DataManager.h"
#include "d3dx9/D3DX9Mesh.h"
#include "win32/Log.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace {
constexpr const char* DEFAULT_NORMAL_MAP = "defaultDOT3.tga";

// Material texture names may carry the authoring machine's folders; the data tree is searched by bare name.
std::string BareName(const char* name)
{
    if (!name)
        return std::string();
    std::string text(name);
    const size_t cut = text.find_last_of("/\\");
    return cut == std::string::npos ? text : text.substr(cut + 1);
}
} // namespace

XMeshGeometry::XMeshGeometry(ComPtr<ID3DXMesh> mesh, unsigned subsetCount)
    : m_mesh(std::move(mesh)), m_subsetCount(subsetCount)
{ }

XMeshGeometry::~XMeshGeometry() = default;

void XMeshGeometry::DrawSubset(unsigned subset)
{
    if (m_mesh)
        m_mesh->DrawSubset(subset);
}

bool XMeshGeometry::GetBounds(D3DXVECTOR3& low, D3DXVECTOR3& high) const
{
    if (!m_mesh || m_mesh->GetNumVertices() == 0)
        return false;
    void* data = nullptr;
    if (FAILED(m_mesh->LockVertexBuffer(D3DLOCK_READONLY, &data)) || !data)
        return false;
    const HRESULT hr = D3DXComputeBoundingBox(static_cast<const D3DXVECTOR3*>(data), m_mesh->GetNumVertices(),
                                              m_mesh->GetNumBytesPerVertex(), &low, &high);
    m_mesh->UnlockVertexBuffer();
    return SUCCEEDED(hr);
}

bool XMeshGeometry::HasVertexColours() const
{
    return m_mesh && (m_mesh->GetFVF() & D3DFVF_DIFFUSE) != 0;
}

std::string XMeshGeometry::NormalMapName(const std::string& baseName)
{
    const size_t dot = baseName.find_last_of('.');
    if (dot == std::string::npos)
        return baseName + "DOT3";
    return baseName.substr(0, dot) + "DOT3" + baseName.substr(dot);
}

std::shared_ptr<StaticMesh> XMeshGeometry::Load(const std::string& path)
{
    DataManager* data = DataManager::Get();
    IDirect3DDevice9* device = data->GetDevice();
    ComPtr<ID3DXMesh> mesh;
    ComPtr<ID3DXBuffer> materials;
    DWORD materialCount = 0;
    if (FAILED(D3DXLoadMeshFromX(path.c_str(), D3DXMESH_MANAGED, device, nullptr, materials.AddressOf(), nullptr,
                                 &materialCount, mesh.AddressOf())) ||
        !mesh)
        return nullptr;
    if (!(mesh->GetFVF() & D3DFVF_NORMAL)) {
        ComPtr<ID3DXMesh> withNormals;
        if (SUCCEEDED(mesh->CloneMeshFVF(mesh->GetOptions(), mesh->GetFVF() | D3DFVF_NORMAL, device,
                                         withNormals.AddressOf())) &&
            withNormals) {
            mesh = std::move(withNormals);
            D3DXComputeNormals(mesh.Get(), nullptr);
        }
    }
    std::vector<IDirect3DTexture9*> base, normalMaps;
    const auto* material = materials ? static_cast<const D3DXMATERIAL*>(materials->GetBufferPointer()) : nullptr;
    for (DWORD i = 0; i < materialCount && material; ++i) {
        const std::string name = BareName(material[i].pTextureFilename);
        TextureRecord* texture = data->GetTexture(name.empty() ? "default.tga" : name);
        TextureRecord* normalMap = name.empty() ? nullptr : data->GetTexture(NormalMapName(name), true);
        if (!normalMap)
            normalMap = data->GetTexture(DEFAULT_NORMAL_MAP);
        base.push_back(texture ? texture->texture : nullptr);
        normalMaps.push_back(normalMap ? normalMap->texture : nullptr);
    }
    auto result = std::make_shared<StaticMesh>();
    const unsigned subsets = std::max<unsigned>(1u, static_cast<unsigned>(materialCount));
    result->SetGeometry(std::make_unique<XMeshGeometry>(std::move(mesh), subsets));
    result->SetSubsetTextures(std::move(base), std::move(normalMaps));
    return result;
}
