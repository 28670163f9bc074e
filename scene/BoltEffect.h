#pragma once
// A timed beam between two points: a camera-facing strip of twelve points with a texture, which can flicker
// like lightning and fade along its length and over its life. Made and expired by the particle manager.

#include "d3d9/D3D9.h"
#include "d3dx9/D3DX9Math.h"
#include "scene/ColourBytes.h"
#include "win32/ComPtr.h"

#include <array>
#include <string>

struct TextureRecord;

class BoltEffect
{
public:
    static constexpr int POINT_COUNT = 12;
    static constexpr int VERTEX_COUNT = POINT_COUNT * 2;
    static constexpr float HALF_WIDTH = 75.0f;

    BoltEffect(const std::string& textureName, const D3DXVECTOR3* start, const D3DXVECTOR3* end,
               const D3DXVECTOR3* colour, float delay, float life, float jitterInterval, float jitterY, float jitterX,
               bool fade);
    ~BoltEffect();
    BoltEffect(const BoltEffect&) = delete;
    BoltEffect& operator=(const BoltEffect&) = delete;

    void BuildGeometry();
    void Update();
    void Draw(IDirect3DDevice9* device);
    void Release();

    // The clock that paces every bolt's flicker; tests start it from 0.
    static void ResetForTests();

    const std::array<ColouredVertex, VERTEX_COUNT>& Vertices() const { return m_vertices; }
    const std::array<D3DXVECTOR3, POINT_COUNT>& Points() const { return m_points; }
    IDirect3DVertexBuffer9* VertexBuffer() const { return m_vertexBuffer.Get(); }

    D3DXVECTOR3 start;
    D3DXVECTOR3 end;
    D3DXVECTOR3 colour;
    float delay = 0.0f;
    float life = 0.0f;
    float jitterInterval = 0.0f;
    float jitterY = 0.0f;
    float jitterX = 0.0f;
    bool fade = false;
    float age = 0.0f;
    float halfWidth = HALF_WIDTH;
    float alpha = 1.0f;

private:
    // The strip's two vertices at point i, pushed apart across the view.
    void PlacePair(int i, const D3DXVECTOR3& p, const D3DXVECTOR3& eye);
    void Upload();

    int m_primitiveCount = VERTEX_COUNT - 2;
    TextureRecord* m_texture = nullptr;
    ComPtr<IDirect3DVertexBuffer9> m_vertexBuffer;
    std::array<D3DXVECTOR3, POINT_COUNT> m_points{};
    // What the buffer holds; colours of the build stay here when a flicker moves only the positions.
    std::array<ColouredVertex, VERTEX_COUNT> m_vertices{};
};
