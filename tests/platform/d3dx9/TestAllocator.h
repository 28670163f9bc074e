#pragma once
// A plain hierarchy allocator for the loader tests: copies names and materials, keeps one reference on
// each mesh and skin, and counts what is alive so a test can see that everything was freed.

#include "d3dx9/D3DX9Mesh.h"

#include <cstring>
#include <string>

class TestAllocator : public ID3DXAllocateHierarchy
{
public:
    int frames = 0;
    int containers = 0;
    // Fails the n-th CreateMeshContainer call (1-based) when set.
    int failContainer = 0;

    HRESULT CreateFrame(LPCSTR name, D3DXFRAME** newFrame) override
    {
        auto* frame = new D3DXFRAME{};
        frame->Name = Copy(name ? name : "");
        D3DXMatrixIdentity(&frame->TransformationMatrix);
        *newFrame = frame;
        ++frames;
        return D3D_OK;
    }

    HRESULT CreateMeshContainer(LPCSTR name, const D3DXMESHDATA* meshData, const D3DXMATERIAL* materials,
                                const D3DXEFFECTINSTANCE*, DWORD numMaterials, const DWORD* adjacency,
                                ID3DXSkinInfo* skinInfo, D3DXMESHCONTAINER** newMeshContainer) override
    {
        *newMeshContainer = nullptr;
        if (failContainer > 0 && --failContainer == 0)
            return E_FAIL;
        auto* container = new D3DXMESHCONTAINER{};
        container->Name = Copy(name ? name : "");
        container->MeshData = *meshData;
        meshData->pMesh->AddRef();
        container->NumMaterials = numMaterials;
        container->pMaterials = new D3DXMATERIAL[numMaterials > 0 ? numMaterials : 1]{};
        for (DWORD i = 0; i < numMaterials; ++i) {
            container->pMaterials[i] = materials[i];
            container->pMaterials[i].pTextureFilename =
                materials[i].pTextureFilename ? Copy(materials[i].pTextureFilename) : nullptr;
        }
        const DWORD faces = meshData->pMesh->GetNumFaces();
        container->pAdjacency = new DWORD[faces * 3];
        std::memcpy(container->pAdjacency, adjacency, faces * 3 * sizeof(DWORD));
        container->pSkinInfo = skinInfo;
        if (skinInfo)
            skinInfo->AddRef();
        *newMeshContainer = container;
        ++containers;
        return D3D_OK;
    }

    HRESULT DestroyFrame(D3DXFRAME* frame) override
    {
        delete[] frame->Name;
        delete frame;
        --frames;
        return D3D_OK;
    }

    HRESULT DestroyMeshContainer(D3DXMESHCONTAINER* container) override
    {
        delete[] container->Name;
        for (DWORD i = 0; i < container->NumMaterials; ++i)
            delete[] container->pMaterials[i].pTextureFilename;
        delete[] container->pMaterials;
        delete[] container->pAdjacency;
        container->MeshData.pMesh->Release();
        if (container->pSkinInfo)
            container->pSkinInfo->Release();
        delete container;
        --containers;
        return D3D_OK;
    }

private:
    static char* Copy(const std::string& text)
    {
        char* copy = new char[text.size() + 1];
        std::memcpy(copy, text.c_str(), text.size() + 1);
        return copy;
    }
};
