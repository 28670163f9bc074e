#pragma once
// A mesh container of a loaded hierarchy with what drawing the skin needs: the textures of each material,
// the mesh as loaded, the converted mesh's bone combinations and the bones' matrices. The fields of the
// hierarchy's own container (the mesh drawn, the skin) are handed over and back by the loader's protocol and
// released by the allocator; what is added here holds its own references.

#include "d3dx9/D3DX9.h"
#include "win32/ComPtr.h"

#include <vector>

struct TextureRecord;

struct MeshContainer : D3DXMESHCONTAINER {
    std::vector<TextureRecord*> baseTextures; // one per material; the cache owns the records
    std::vector<TextureRecord*> normalMaps;
    ComPtr<ID3DXMesh> sourceMesh; // with skin information only, kept for re-conversion
    DWORD attributeGroupCount = 0;
    DWORD maxFaceInfluences = 0;
    ComPtr<ID3DXBuffer> boneCombinations;
    std::vector<D3DXMATRIX*> boneMatrixPointers; // per bone: the combined transform of its frame
    std::vector<D3DXMATRIX> boneOffsets;
    DWORD paletteSize = 0;
    bool softwareVertexProcessing = false;
};
