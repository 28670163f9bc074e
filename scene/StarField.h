#pragma once

#include "d3d9/D3D9.h"

struct TextureRecord;

// A textured cube that always sits on the camera and is drawn first without depth, so its stars look
// infinitely far away.
class StarField
{
public:
    static constexpr DWORD FVF = D3DFVF_XYZ | D3DFVF_TEX1;
    struct Vertex {
        float x, y, z;
        float u, v;
    };
    static constexpr int kVertexCount = 36;

    StarField() = default;
    virtual ~StarField();
    StarField(const StarField&) = delete;
    StarField& operator=(const StarField&) = delete;

    void Init();
    void Render();
    void Release();

    IDirect3DVertexBuffer9* GetVertexBuffer() const { return m_vertexBuffer; }

private:
    float m_halfEdge = 300.0f;
    float m_repeat = 3.0f;
    IDirect3DVertexBuffer9* m_vertexBuffer = nullptr;
    TextureRecord* m_texture = nullptr;
};
