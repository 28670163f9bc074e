#pragma once

#include "d3d9/D3D9.h"
#include "d3dx9/D3DX9Math.h"
#include "win32/ComPtr.h"

#include <cstdint>
#include <vector>

struct TextureRecord;

// A half-sphere of sky over the map centre. Its texture is a strip of sky colours over a day of 24 units:
// every vertex reads the column sky value / 24, and the value creeps forward with game time.
class SkyDome
{
public:
    static constexpr DWORD FVF = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;
    struct Vertex {
        float x, y, z;
        D3DCOLOR colour;
        float u, v;
    };

    // The sky of the level on show, whose clock and colours the stars and the terrain read; null when none is. A
    // sky that goes stops being it.
    static SkyDome* Current();
    static void SetCurrent(SkyDome* sky);

    SkyDome() = default;
    ~SkyDome();
    SkyDome(const SkyDome&) = delete;
    SkyDome& operator=(const SkyDome&) = delete;

    void Init(float x, float z);
    void Build();
    void UpdateVertices();
    bool Update();
    // Draws the dome, or, while the stars wait to go under it after the ground, sets the states as drawing
    // would and leaves the draw to them.
    void Render();
    // The dome as Render left it waiting, with the states it had then, only where it lies nearer than what was
    // drawn since. With shownOnly, nothing is drawn but the stencil value 0 where the dome would show.
    void DrawWaiting(IDirect3DDevice9* device, bool shownOnly);
    // Whether no face of the dome can lie in the view of the matrix (view x projection): every point of the view
    // above the dome's rim is nearer the dome's centre than any face. Looking down on the ground from inside
    // the dome, nothing of it is drawn.
    bool IsOutsideView(const D3DXMATRIX& viewProjection) const;
    // Whether what lies under the dome (the stars) can show through it at this time of day. The dome adds its
    // colour to what is under it weighted by its texels' alpha, and the columns of the day hold none: there
    // the stars, and the stencil pass that finds their pixels, would change no pixel. A texture that cannot be
    // read counts as letting them through.
    bool LetsStarsThrough() const;
    // The same at another sky value.
    bool LetsStarsThroughAt(float skyValue) const;
    // The rectangle of a target of this size (rows from the top) that holds every pixel the dome can draw in the
    // view of the matrix (view x projection), whatever lies in front of it. False when it draws none.
    bool ScreenRect(const D3DXMATRIX& viewProjection, UINT width, UINT height, RECT* rect) const;

    void SetSkyValue(float value) { m_skyValue = value; }
    float GetSkyValue() const { return m_skyValue; }
    int GetVertexCount() const { return m_vertexCount; }
    IDirect3DVertexBuffer9* GetVertexBuffer() const { return m_vertexBuffer.Get(); }
    // Tests start from a fresh clock.
    static void ResetForTests();

private:
    void Draw(IDirect3DDevice9* device);
    // Writes the dome's triangle strip (at most capacity vertices); returns how many were written.
    int MakeStrip(Vertex* out, int capacity) const;
    void ReadColumnAlpha() const;

    TextureRecord* m_texture = nullptr;
    ComPtr<IDirect3DVertexBuffer9> m_vertexBuffer;
    float m_centreX = 0.0f;
    float m_centreZ = 0.0f;
    float m_heightOffset = -10.0f;
    float m_skyValue = 0.0f;
    float m_radius = 16000.0f;
    float m_latitudeStep = 15.0f;
    float m_longitudeStep = 15.0f;
    int m_vertexCount = 0;
    // The render states of the waiting draw, as Render found them.
    static constexpr int WAITING_STATES = 22;
    DWORD m_waitingStates[WAITING_STATES] = {};
    // The highest alpha of each column of the texture, read once; empty when it could not be read.
    mutable std::vector<uint8_t> m_columnAlpha;
    mutable bool m_columnAlphaRead = false;
};
