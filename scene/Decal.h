#pragma once
// A square textured grid laid on the ground: its vertices take the ground's height, so that a blood splat or
// a unit's ring hugs the terrain. It can follow a moving point, fade, tint and turn its texture about its
// centre.

#include "d3d9/D3D9.h"
#include "d3dx9/D3DX9Math.h"
#include "win32/ComPtr.h"

#include <cstdio>
#include <string>
#include <vector>

struct TextureRecord;

class Decal
{
public:
    static constexpr float SPACING = 64.0f; // world units between grid vertices
    static constexpr int MAX_GRID_SIZE = 256; // 16-bit indices reach no further
    static constexpr float LIFT = 5.0f;

    struct Vertex {
        float x, y, z;
        float nx, ny, nz;
        D3DCOLOR colour;
        float u, v;
    };
    static constexpr DWORD FVF = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1;

    Decal();
    ~Decal();
    Decal(const Decal&) = delete;
    Decal& operator=(const Decal&) = delete;

    void Create(int n, float x, float z, bool randomRotation);
    void SetTexture(const std::string& name);
    void SetColour(float red, float green, float blue);
    void AddRotation(float degrees);
    void UpdatePosition(float x, float y, float z, bool smooth);
    void Refresh(bool smooth) { UpdatePosition(m_position.x, m_position.y, m_position.z, smooth); }
    void UpdateFade();
    void Draw(IDirect3DDevice9* device);
    // Draws the decals in their order: neighbours of one picture turned the same way (the units' shadows) go out
    // together in one draw, the others one by one.
    static void DrawAll(IDirect3DDevice9* device, const std::vector<Decal*>& decals);
    void Release();
    // One level-file record: a 260-byte name, the rotation in degrees, the grid size and the position.
    // False when the record is cut short (the decal is then left as it was).
    bool ReadFromLevel(std::FILE* file);

    // The texture transform of Draw: the texture turned by the rotation about its centre.
    D3DXMATRIX TextureTransform() const;
    // Pulsing decals rise and fall together; tests start them rising... falling, as the game does.
    static void ResetForTests();

    const std::string& TextureName() const { return m_textureName; }
    int GridSize() const { return m_gridSize; }
    int VertexCount() const { return m_vertexCount; }
    int TriangleCount() const { return m_triangleCount; }
    float HalfSize() const { return m_halfSize; }
    float Rotation() const { return m_rotation; }
    const D3DXVECTOR3& Position() const { return m_position; }
    IDirect3DVertexBuffer9* VertexBuffer() const { return m_vertexBuffer.Get(); }
    IDirect3DIndexBuffer9* IndexBuffer() const { return m_indexBuffer.Get(); }
    TextureRecord* Texture() const { return m_texture; }
    // How many times the decal's vertices have been written: a decal whose count, texture and rotation stay
    // the same looks the same.
    unsigned Layings() const { return m_layings; }

    int fadeState = 3; // 0 fading in, 1 fading out, 2 pulsing, 3 steady
    float alpha = 1.0f;
    float fadeDuration = 0.5f;
    float followRate = 5.0f;

private:
    IDirect3DBaseTexture9* Picture() const;
    // Whether the other decal draws with the same device states as this one.
    bool DrawsLike(const Decal& other) const;
    // Copies the decal's vertices, and its indices moved on by the vertices already there, to the end of the lists.
    bool AppendTo(std::vector<Vertex>& vertices, std::vector<WORD>& indices) const;

    // Writes every vertex on the ground, unless nothing it depends on changed since the last time.
    void Lay();

    std::string m_textureName = "No Texture";
    int m_gridSize = 0;
    float m_rotation = 0.0f;
    D3DXVECTOR3 m_position;
    int m_vertexCount = 0;
    int m_triangleCount = 0;
    float m_halfSize = 0.0f;
    D3DXVECTOR3 m_colour{1.0f, 1.0f, 1.0f};
    ComPtr<IDirect3DVertexBuffer9> m_vertexBuffer;
    ComPtr<IDirect3DIndexBuffer9> m_indexBuffer;
    TextureRecord* m_texture = nullptr;

    // What the buffer was last laid with.
    bool m_laid = false;
    D3DXVECTOR3 m_laidPosition;
    D3DCOLOR m_laidColour = 0;
    const void* m_laidGround = nullptr;
    unsigned m_laidRevision = 0;
    unsigned m_layings = 0;
};
