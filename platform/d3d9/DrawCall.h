#pragma once
// A draw as the device core hands it to the back end: validated, with every source resolved. Render
// states, stage and sampler states, transforms, the viewport, textures and targets are read from
// DeviceBase::State() at the time of the call.

#include "d3d9/FvfLayout.h"

class VertexBuffer;
class IndexBuffer;
class ShaderProgram;

struct DrawCall {
    D3DPRIMITIVETYPE primitiveType = D3DPT_TRIANGLELIST;
    UINT primitiveCount = 0;
    DWORD fvf = 0;
    FvfLayout layout;
    UINT stride = 0; // bytes between vertices (>= layout.stride)

    // Vertices come from a buffer (vertexBuffer set, vertexData null) or from the caller's memory in
    // the ...UP draws (vertexBuffer null, vertexData set). Vertex number n is at byte
    // vertexOffset + n * stride of the buffer, or vertexData + n * stride.
    VertexBuffer* vertexBuffer = nullptr;
    UINT vertexOffset = 0;
    const void* vertexData = nullptr;

    // Non-indexed draws: vertexCount vertices from firstVertex.
    UINT firstVertex = 0;
    UINT vertexCount = 0;

    // Indexed draws: indexCount indices from startIndex, each plus baseVertexIndex is a vertex number.
    // The core has checked every index so used falls inside the vertex source, and that
    // [minVertexIndex, minVertexIndex + numVertices) is the caller's declared range.
    bool indexed = false;
    IndexBuffer* indexBuffer = nullptr; // or null with indexData set for DrawIndexedPrimitiveUP
    const void* indexData = nullptr;
    D3DFORMAT indexFormat = D3DFMT_INDEX16;
    UINT startIndex = 0;
    UINT indexCount = 0;
    INT baseVertexIndex = 0;
    UINT minVertexIndex = 0;
    UINT numVertices = 0;

    // The effect program in use, or null for the fixed-function pipeline.
    ShaderProgram* program = nullptr;
};

// Vertices (or indices) that primitiveCount primitives of a type consume; 0 for an unknown type.
UINT PrimitiveVertexCount(D3DPRIMITIVETYPE primitiveType, UINT primitiveCount);
