#pragma once
// Platform-internal: ID3DXSkinInfo, the bones of one skinned mesh and the vertices each one moves.

#include "d3dx9/D3DX9Mesh.h"
#include "win32/ComObject.h"

#include <string>
#include <vector>

class SkinInfo : public ComObject<ID3DXSkinInfo>
{
public:
    struct Bone {
        std::string name;
        std::vector<DWORD> vertices;
        std::vector<float> weights;
        D3DXMATRIX offset;
    };

    SkinInfo(DWORD numVertices, std::vector<Bone> bones) : numVertices_(numVertices), bones_(std::move(bones)) { }

    DWORD GetNumBones() override { return static_cast<DWORD>(bones_.size()); }
    LPCSTR GetBoneName(DWORD bone) override;
    D3DXMATRIX* GetBoneOffsetMatrix(DWORD bone) override;
    DWORD GetNumBoneInfluences(DWORD bone) override;
    HRESULT GetBoneInfluence(DWORD bone, DWORD* vertices, FLOAT* weights) override;
    HRESULT GetMaxVertexInfluences(DWORD* maxVertexInfluences) override;
    HRESULT ConvertToIndexedBlendedMesh(ID3DXMesh* meshIn, DWORD options, DWORD paletteSize, const DWORD* adjacencyIn,
                                        DWORD* adjacencyOut, DWORD* faceRemap, ID3DXBuffer** vertexRemap,
                                        DWORD* maxFaceInfl, DWORD* numBoneCombinations,
                                        ID3DXBuffer** boneCombinationTable, ID3DXMesh** meshOut) override;

private:
    DWORD numVertices_;
    std::vector<Bone> bones_;
};
