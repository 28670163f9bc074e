#pragma once
// Reads back the four pre-transformed vertices (XYZRHW | DIFFUSE | TEX1) of a screen quad's buffer.

#include "d3d9/D3D9.h"

#include <cstring>
#include <vector>

struct QuadVertex {
    float x, y, z, rhw;
    D3DCOLOR colour;
    float u, v;
};

inline std::vector<QuadVertex> ReadQuad(IDirect3DVertexBuffer9* buffer)
{
    std::vector<QuadVertex> quad(4);
    void* data = nullptr;
    if (buffer && SUCCEEDED(buffer->Lock(0, 0, &data, D3DLOCK_READONLY)) && data) {
        std::memcpy(quad.data(), data, 4 * sizeof(QuadVertex));
        buffer->Unlock();
    }
    return quad;
}
