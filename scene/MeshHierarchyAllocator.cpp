#include "scene/MeshHierarchyAllocator.h"

#include "core/DataManager.h"
#include "scene/AnimatedMesh.h"
#include "scene/MeshContainer.h"
#include "scene/MeshFrame.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

constexpr const char* NO_NAME = "No Name";
constexpr const char* DEFAULT_NORMAL_MAP = "defaultDOT3.tga";
constexpr DWORD SKIN_OPTIONS = D3DXMESHOPT_COMPACT | D3DXMESHOPT_ATTRSORT | D3DXMESHOPT_VERTEXCACHE | D3DXMESH_MANAGED;
constexpr DWORD SHADER_FORMAT = D3DFVF_NORMAL | D3DFVF_TEX1 | D3DFVF_LASTBETA_UBYTE4;
constexpr DWORD VERTEX_SHADER_1_1 = 0xFFFE0101;

char* CopyName(const char* name)
{
    const size_t length = std::strlen(name);
    char* copy = new (std::nothrow) char[length + 1];
    if (copy)
        std::memcpy(copy, name, length + 1);
    return copy;
}

// Material files may name a directory, in either separator; the texture is looked up by its bare name.
std::string BareName(const char* file)
{
    const std::string name(file);
    const size_t slash = name.find_last_of("\\/");
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

} // namespace

std::string MeshHierarchyAllocator::NormalMapName(const std::string& textureFile)
{
    // A name too short to hold an extension takes the mark at its end.
    if (textureFile.size() < 4)
        return textureFile + "DOT3";
    return textureFile.substr(0, textureFile.size() - 4) + "DOT3" + textureFile.substr(textureFile.size() - 4);
}

HRESULT MeshHierarchyAllocator::CreateFrame(LPCSTR name, D3DXFRAME** newFrame)
{
    *newFrame = nullptr;
    auto* frame = new (std::nothrow) MeshFrame{};
    if (!frame)
        return E_OUTOFMEMORY;
    frame->Name = CopyName(name ? name : NO_NAME);
    if (!frame->Name) {
        delete frame;
        return E_OUTOFMEMORY;
    }
    D3DXMatrixIdentity(&frame->TransformationMatrix);
    D3DXMatrixIdentity(&frame->combinedTransform);
    *newFrame = frame;
    return S_OK;
}

HRESULT MeshHierarchyAllocator::CreateMeshContainer(LPCSTR name, const D3DXMESHDATA* meshData,
                                                    const D3DXMATERIAL* materials, const D3DXEFFECTINSTANCE*,
                                                    DWORD numMaterials, const DWORD* adjacency, ID3DXSkinInfo* skinInfo,
                                                    D3DXMESHCONTAINER** newMeshContainer)
{
    *newMeshContainer = nullptr;
    if (!meshData || meshData->Type != D3DXMESHTYPE_MESH || !meshData->pMesh)
        return E_FAIL;
    ID3DXMesh* mesh = meshData->pMesh;
    if (mesh->GetFVF() == 0)
        return E_FAIL;

    auto* container = new (std::nothrow) MeshContainer{};
    if (!container)
        return E_OUTOFMEMORY;
    container->Name = CopyName(name ? name : "");
    if (!container->Name) {
        MessageBoxA(nullptr, "Couldn't AllocateName", "ERROR", MB_OK);
        DestroyMeshContainer(container);
        return E_FAIL;
    }

    container->MeshData.Type = D3DXMESHTYPE_MESH;
    if ((mesh->GetFVF() & D3DFVF_NORMAL) == 0) {
        ComPtr<IDirect3DDevice9> device;
        mesh->GetDevice(device.AddressOf());
        const HRESULT hr = mesh->CloneMeshFVF(mesh->GetOptions(), mesh->GetFVF() | D3DFVF_NORMAL, device.Get(),
                                              &container->MeshData.pMesh);
        if (FAILED(hr)) {
            DestroyMeshContainer(container);
            return hr;
        }
        D3DXComputeNormals(container->MeshData.pMesh, nullptr);
    } else {
        container->MeshData.pMesh = mesh;
        mesh->AddRef();
    }

    const DWORD faces = mesh->GetNumFaces();
    container->NumMaterials = std::max<DWORD>(numMaterials, 1);
    container->pMaterials = new (std::nothrow) D3DXMATERIAL[container->NumMaterials]{};
    container->pAdjacency = new (std::nothrow) DWORD[static_cast<size_t>(faces) * 3];
    if (!container->pMaterials || !container->pAdjacency) {
        DestroyMeshContainer(container);
        return E_OUTOFMEMORY;
    }
    container->baseTextures.assign(container->NumMaterials, nullptr);
    container->normalMaps.assign(container->NumMaterials, nullptr);
    if (adjacency)
        std::memcpy(container->pAdjacency, adjacency, static_cast<size_t>(faces) * 3 * sizeof(DWORD));
    else
        std::fill_n(container->pAdjacency, static_cast<size_t>(faces) * 3, 0xFFFFFFFFu);

    DataManager* data = DataManager::Get();
    if (numMaterials > 0 && materials) {
        for (DWORD i = 0; i < numMaterials; ++i) {
            container->pMaterials[i] = materials[i];
            container->pMaterials[i].pTextureFilename = nullptr;
            if (!materials[i].pTextureFilename)
                continue;
            const std::string texture = BareName(materials[i].pTextureFilename);
            container->baseTextures[i] = data->GetTexture(texture);
            std::string normalMap = NormalMapName(texture);
            if (!data->ResolvePath(normalMap))
                normalMap = DEFAULT_NORMAL_MAP;
            container->normalMaps[i] = data->GetTexture(normalMap);
        }
    } else {
        D3DMATERIAL9& material = container->pMaterials[0].MatD3D;
        material = {};
        material.Diffuse = {0.5f, 0.5f, 0.5f, 0.0f};
        material.Specular = material.Diffuse;
    }

    if (skinInfo) {
        container->pSkinInfo = skinInfo;
        skinInfo->AddRef();
        // The mesh the skin is converted from is the one with normals: for a file without them, the clone
        // whose normals were just worked out, or the skin would be lit as if every normal were zero.
        container->MeshData.pMesh->AddRef();
        container->sourceMesh.Attach(container->MeshData.pMesh);
        const DWORD bones = skinInfo->GetNumBones();
        container->boneOffsets.resize(bones);
        for (DWORD b = 0; b < bones; ++b)
            container->boneOffsets[b] = *skinInfo->GetBoneOffsetMatrix(b);
        const HRESULT hr = GenerateSkinnedMesh(container);
        if (FAILED(hr)) {
            DestroyMeshContainer(container);
            return hr;
        }
    }
    *newMeshContainer = container;
    return S_OK;
}

HRESULT MeshHierarchyAllocator::GenerateSkinnedMesh(MeshContainer* container)
{
    if (container->MeshData.pMesh) {
        container->MeshData.pMesh->Release();
        container->MeshData.pMesh = nullptr;
    }
    ID3DXSkinInfo* skin = container->pSkinInfo;
    const DWORD bones = skin->GetNumBones();
    container->paletteSize = std::min(bones, AnimatedMesh::MAX_PALETTE);
    container->softwareVertexProcessing = DataManager::Get()->GetDeviceCaps().VertexShaderVersion < VERTEX_SHADER_1_1;

    HRESULT hr = skin->ConvertToIndexedBlendedMesh(container->sourceMesh.Get(), SKIN_OPTIONS, container->paletteSize,
                                                   container->pAdjacency, nullptr, nullptr, nullptr,
                                                   &container->maxFaceInfluences, &container->attributeGroupCount,
                                                   container->boneCombinations.AddressOf(), &container->MeshData.pMesh);
    if (FAILED(hr))
        return hr;

    ID3DXMesh* converted = container->MeshData.pMesh;
    const DWORD format = (converted->GetFVF() & D3DFVF_POSITION_MASK) | SHADER_FORMAT;
    if (format != converted->GetFVF()) {
        ComPtr<IDirect3DDevice9> device;
        converted->GetDevice(device.AddressOf());
        ID3DXMesh* clone = nullptr;
        if (SUCCEEDED(converted->CloneMeshFVF(converted->GetOptions(), format, device.Get(), &clone))) {
            converted->Release();
            container->MeshData.pMesh = clone;
        }
    }

    D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE];
    hr = container->MeshData.pMesh->GetDeclaration(declaration);
    if (FAILED(hr))
        return hr;
    for (D3DVERTEXELEMENT9* element = declaration; element->Stream != 0xFF; ++element)
        if (element->Usage == D3DDECLUSAGE_BLENDINDICES && element->UsageIndex == 0)
            element->Type = D3DDECLTYPE_D3DCOLOR;
    hr = container->MeshData.pMesh->UpdateSemantics(declaration);
    if (FAILED(hr))
        return hr;

    m_mesh->ReserveBoneMatrices(bones);
    return S_OK;
}

HRESULT MeshHierarchyAllocator::DestroyFrame(D3DXFRAME* frameToFree)
{
    delete[] frameToFree->Name;
    delete static_cast<MeshFrame*>(frameToFree);
    return S_OK;
}

HRESULT MeshHierarchyAllocator::DestroyMeshContainer(D3DXMESHCONTAINER* meshContainerToFree)
{
    auto* container = static_cast<MeshContainer*>(meshContainerToFree);
    delete[] container->Name;
    delete[] container->pAdjacency;
    delete[] container->pMaterials;
    if (container->MeshData.pMesh)
        container->MeshData.pMesh->Release();
    if (container->pSkinInfo)
        container->pSkinInfo->Release();
    delete container;
    return S_OK;
}
