#pragma once

#include "d3d9/D3D9.h"
#include "d3dx9/D3DX9Math.h"
#include "win32/ComPtr.h"

struct TextureRecord;
class SkyDome;

// A textured cube that always sits on the camera and is drawn first without depth, so its stars look
// infinitely far away. When the sky dome cannot show in the view (the camera looks down on the ground), the
// stars can only show where nothing at all is drawn: they are then drawn just after the ground, behind it,
// where the depth is still the cleared far plane, instead of under the whole picture. When the dome shows and
// the depth surface has a stencil, the dome waits too: the stars go where it shows or nothing was drawn, and
// the dome over them, so the ground covers neither.
class StarField
{
public:
    static constexpr DWORD FVF = D3DFVF_XYZ | D3DFVF_TEX1;
    struct Vertex {
        float x, y, z;
        float u, v;
    };
    static constexpr int VERTEX_COUNT = 36;

    StarField() = default;
    virtual ~StarField();
    StarField(const StarField&) = delete;
    StarField& operator=(const StarField&) = delete;

    void Init();
    void Render();
    void Release();
    // Draws the stars that Render left to be drawn behind the ground this frame; the terrain calls it when it
    // has drawn the ground. Nothing when none wait.
    static void DrawWaiting();
    // Whether the sky dome is to leave its draw to the waiting stars (which then draw it after the ground,
    // over them); the dome's Render asks.
    static bool TakeWaitingSky(SkyDome* sky);
    // Whether the ground is to mark the stencil with 1 where it draws, for the stars waiting under the dome.
    static bool GroundMarksStencil();
    // Whether every texel of the star texture is opaque.
    bool IsOpaque() const { return m_opaque; }

    IDirect3DVertexBuffer9* GetVertexBuffer() const { return m_vertexBuffer.Get(); }

private:
    // The render states the stars are drawn with, as Render found them.
    struct DrawStates {
        DWORD alphaTest, alphaFunc, alphaRef, blend, sourceBlend, destinationBlend, blendOp, cull, fog;
    };
    enum class Wait
    {
        NONE,
        BEHIND_GROUND,
        UNDER_SKY
    };
    // Behind the ground, where nothing was drawn; where the stencil holds no mark of the ground shown.
    enum class Where
    {
        BEHIND_GROUND,
        UNMARKED
    };
    Wait ChooseWait(IDirect3DDevice9* device) const;
    void Draw(IDirect3DDevice9* device);
    void DrawBehindGround(IDirect3DDevice9* device, Where where);

    float m_halfEdge = 300.0f;
    float m_repeat = 3.0f;
    ComPtr<IDirect3DVertexBuffer9> m_vertexBuffer;
    TextureRecord* m_texture = nullptr;
    bool m_opaque = false;
    // False once a frame left its stars waiting and no ground drew them: from then on they go first again.
    bool m_mayWait = true;
    DrawStates m_states{};
    D3DXVECTOR3 m_eye{0.0f, 0.0f, 0.0f};
};
