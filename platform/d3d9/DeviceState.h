#pragma once
// Everything a draw depends on, as the device keeps it. The pointers are the device's internal
// references (see ResourceBase); the back ends only read this record.

#include "d3d9/D3D9.h"

class VertexBuffer;
class IndexBuffer;
class Texture;
class Surface;
class ShaderProgram;

constexpr UINT DEVICE_TEXTURE_STAGES = 8;
constexpr UINT DEVICE_SAMPLERS = 8;
constexpr UINT DEVICE_WORLD_MATRICES = 256;

struct DeviceState {
    DWORD renderStates[D3DRS_COUNT];
    DWORD stageStates[DEVICE_TEXTURE_STAGES][D3DTSS_COUNT];
    DWORD samplerStates[DEVICE_SAMPLERS][D3DSAMP_COUNT];

    D3DMATRIX view;
    D3DMATRIX projection;
    D3DMATRIX textureTransforms[DEVICE_TEXTURE_STAGES];
    D3DMATRIX world[DEVICE_WORLD_MATRICES]; // D3DTS_WORLDMATRIX(n); world[0] is D3DTS_WORLD

    D3DVIEWPORT9 viewport;
    RECT scissorRect;
    DWORD fvf;
    VertexBuffer* streamSource;
    UINT streamOffset;
    UINT streamStride;
    IndexBuffer* indices;
    Texture* textures[DEVICE_TEXTURE_STAGES];
    ShaderProgram* program;
    Surface* renderTarget;
    Surface* depthStencil;

    // Bumps on every change through the device's Set* calls, so a back end can skip comparing states
    // when nothing moved since its last draw.
    uint64_t changeCount;

    // D3D9's documented defaults; pointers cleared (the caller handles references). autoDepth decides
    // ZENABLE, as D3D does.
    void SetDefaults(bool autoDepth);
};

inline DWORD FloatBits(float value)
{
    DWORD bits;
    static_assert(sizeof(bits) == sizeof(value));
    __builtin_memcpy(&bits, &value, sizeof(bits));
    return bits;
}
inline float BitsFloat(DWORD bits)
{
    float value;
    __builtin_memcpy(&value, &bits, sizeof(value));
    return value;
}

// Whether the alpha test keeps every pixel whatever its alpha (0..255): a draw under such a test need not test.
inline bool AlphaTestKeepsAll(DWORD func, DWORD ref)
{
    ref &= 0xFF;
    return func == D3DCMP_ALWAYS || (func == D3DCMP_GREATEREQUAL && ref == 0) ||
           (func == D3DCMP_LESSEQUAL && ref == 255);
}
