#pragma once
// Platform-internal: the text form of .x files read into plain records, every count and index checked
// against what the file holds. Nothing here touches a device, so it runs on any thread.

#include "d3dx9/D3DX9Mesh.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct XMaterial {
    std::string name;
    D3DCOLORVALUE faceColor{1.0f, 1.0f, 1.0f, 1.0f};
    float power = 0.0f;
    D3DCOLORVALUE specular{0.0f, 0.0f, 0.0f, 1.0f};
    D3DCOLORVALUE emissive{0.0f, 0.0f, 0.0f, 1.0f};
    std::string textureFile; // empty without a TextureFilename
};

struct XSkinWeights {
    std::string bone;
    std::vector<uint32_t> vertices; // indices into the mesh's positions
    std::vector<float> weights;
    D3DXMATRIX offset;
};

struct XMesh {
    std::string name;
    std::vector<D3DXVECTOR3> positions;
    // Faces as polygons: faceStarts[f] is the first entry of face f in faceIndices; the last face ends at
    // the end of faceIndices. Every polygon has at least three corners.
    std::vector<uint32_t> faceStarts;
    std::vector<uint32_t> faceIndices;
    std::vector<D3DXVECTOR3> normals;
    std::vector<uint32_t> normalFaceIndices; // same polygon shapes as the faces, or empty
    std::vector<D3DXVECTOR2> texCoords; // one per position, or empty
    std::vector<D3DCOLOR> colors; // one per position, or empty
    bool hasColors = false;
    std::vector<uint32_t> faceMaterials; // one per face, or empty
    std::vector<XMaterial> materials;
    bool hasMaterialList = false;
    std::vector<XSkinWeights> skin;
    bool skinned = false; // an XSkinMeshHeader or SkinWeights was seen

    uint32_t FaceCount() const { return static_cast<uint32_t>(faceStarts.size()); }
    uint32_t FaceEnd(uint32_t face) const
    {
        return face + 1 < faceStarts.size() ? faceStarts[face + 1] : static_cast<uint32_t>(faceIndices.size());
    }
};

struct XFrame {
    std::string name;
    D3DXMATRIX transform; // identity without a FrameTransformMatrix
    std::vector<XMesh> meshes;
    std::vector<XFrame> children;
};

// One animated frame: keys in ticks, already sorted as the file lists them (times must not fall).
struct XAnimation {
    std::string frame;
    std::vector<float> rotationTimes;
    std::vector<D3DXQUATERNION> rotations;
    std::vector<float> scaleTimes;
    std::vector<D3DXVECTOR3> scales;
    std::vector<float> positionTimes;
    std::vector<D3DXVECTOR3> positions;
};

struct XAnimationSetData {
    std::string name;
    std::vector<XAnimation> animations;
};

struct XFileData {
    std::vector<XFrame> frames; // top-level frames; top-level meshes are wrapped in nameless frames
    std::vector<XAnimationSetData> animationSets;
    uint32_t ticksPerSecond = 4800;
};

// Splits a scale x rotation x translation matrix into its parts (no shear expected).
void DecomposeMatrix(const D3DXMATRIX& m, D3DXVECTOR3& scale, D3DXQUATERNION& rotation, D3DXVECTOR3& translation);

// Parses a whole file's bytes. On failure returns null and says why in error (without the file name).
std::unique_ptr<XFileData> ParseXFile(std::string_view bytes, std::string& error);
