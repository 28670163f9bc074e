#pragma once
// The pieces of a text .x file as the default data uses them: a frame hierarchy with meshes (materials,
// normals, texture coordinates and skin weights), top-level meshes for static objects, and named animation
// sets of rotation and position keys.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct XVector {
    float x = 0.0f, y = 0.0f, z = 0.0f;
};

// Row-vector 4 x 4 matrix, row-major, as the files store it.
using XMatrix = std::array<float, 16>;
XMatrix XIdentity();
XMatrix XTranslation(float x, float y, float z);

struct XMaterial {
    std::array<float, 4> diffuse{1.0f, 1.0f, 1.0f, 1.0f};
    float power = 16.0f;
    std::array<float, 3> specular{0.2f, 0.2f, 0.2f};
    std::array<float, 3> emissive{0.0f, 0.0f, 0.0f};
    std::string texture; // empty: no TextureFilename
};

struct XSkinWeights {
    std::string bone;
    std::vector<uint32_t> vertices;
    std::vector<float> weights;
    XMatrix offset = XIdentity();
};

struct XMesh {
    std::string name;
    std::vector<XVector> positions;
    std::vector<XVector> normals; // one per position
    std::vector<std::array<float, 2>> uvs; // one per position
    std::vector<std::array<uint32_t, 3>> faces;
    std::vector<uint32_t> faceMaterials; // one per face
    std::vector<XMaterial> materials;
    std::vector<XSkinWeights> skin; // empty for a rigid mesh
    uint32_t maxWeightsPerVertex = 0;
    uint32_t maxWeightsPerFace = 0;
};

struct XFrame {
    std::string name;
    XMatrix transform = XIdentity();
    std::vector<XFrame> children;
    std::vector<XMesh> meshes;
};

// Quaternion keys are stored w first, as the files do.
struct XQuaternion {
    float w = 1.0f, x = 0.0f, y = 0.0f, z = 0.0f;
};

struct XAnimation {
    std::string frame;
    std::vector<uint32_t> times; // in ticks, shared by both key lists
    std::vector<XQuaternion> rotations;
    std::vector<XVector> positions;
};

struct XAnimationSet {
    std::string name;
    std::vector<XAnimation> animations;
};

struct XFile {
    std::vector<XFrame> frames;
    std::vector<XMesh> meshes; // outside any frame
    uint32_t ticksPerSecond = 4800;
    std::vector<XAnimationSet> sets;
};
