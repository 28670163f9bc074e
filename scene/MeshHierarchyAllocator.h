#pragma once
// Makes and frees the frames and mesh containers of an animated mesh's hierarchy: copies names, adds
// normals, finds each material's texture and normal map, and converts skinned meshes for the vertex
// shader's bone palette.

#include "d3dx9/D3DX9.h"

#include <string>

class AnimatedMesh;
struct MeshContainer;

class MeshHierarchyAllocator : public ID3DXAllocateHierarchy
{
public:
    explicit MeshHierarchyAllocator(AnimatedMesh* mesh) : m_mesh(mesh) { }
    virtual ~MeshHierarchyAllocator() = default;

    HRESULT CreateFrame(LPCSTR name, D3DXFRAME** newFrame) override;
    HRESULT CreateMeshContainer(LPCSTR name, const D3DXMESHDATA* meshData, const D3DXMATERIAL* materials,
                                const D3DXEFFECTINSTANCE* effectInstances, DWORD numMaterials, const DWORD* adjacency,
                                ID3DXSkinInfo* skinInfo, D3DXMESHCONTAINER** newMeshContainer) override;
    HRESULT DestroyFrame(D3DXFRAME* frameToFree) override;
    HRESULT DestroyMeshContainer(D3DXMESHCONTAINER* meshContainerToFree) override;

    // The normal map's name for a texture file: "DOT3" before the extension ("rock.tga" -> "rockDOT3.tga").
    static std::string NormalMapName(const std::string& textureFile);

private:
    HRESULT GenerateSkinnedMesh(MeshContainer* container);

    AnimatedMesh* m_mesh;
};
