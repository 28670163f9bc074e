#pragma once

#include "d3d9/D3D9.h"
#include "d3dx9/D3DX9Math.h"

#include <cstdint>
#include <vector>

class BoardUnit;
class Object;

// The level stores one per hex. Any value other than those named here is open ground.
using HexType = int32_t;
constexpr HexType HEX_OPEN = 0;
constexpr HexType HEX_BLOCKED = 1;
constexpr HexType HEX_DEFENDED = 2;
constexpr HexType HEX_DEPLOY_TEAM0 = 3;
constexpr HexType HEX_DEPLOY_TEAM1 = 4;
constexpr HexType HEX_OCCUPIED = 5;

enum HexFade : int32_t
{
    FADE_IN = 0,
    FADE_OUT = 1,
    FADE_PULSE = 2,
    FADE_STEADY = 3,
};

// One cell of the board: its place, its type and occupant, the scratch fields of the path search, and a small
// fan of triangles over the terrain that shows it with a fading alpha.
class Hex
{
public:
    static constexpr int FAN_POINTS = 8;
    static constexpr DWORD FVF = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1;
    static constexpr UINT STRIDE = 36;
    static constexpr float FADE_IN_RATE = 5.0f;
    static constexpr float FADE_OUT_RATE = 2.0f;
    static constexpr float PULSE_FLOOR = 0.15f;

    struct FanVertex {
        float x, y, z;
        float nx, ny, nz;
        D3DCOLOR colour;
        float u, v;
    };

    Hex() = default;
    ~Hex();
    Hex(const Hex&) = delete;
    Hex& operator=(const Hex&) = delete;

    // Places the hex at (row, col) of the board laid over the registered ground and makes its fan.
    void Build(int row, int col);
    void ReleaseBuffer();

    void SetType(HexType value);
    // Adds the surcharge of the type: blocked and occupied ground and defended zones are dear to walk.
    void SetCost(int value);
    // Planar distance between the two anchors, in world units.
    float DistanceTo(const Hex& other) const;
    void UpdateFade(float dt);
    void WriteAlpha();
    void Draw(IDirect3DDevice9* device) const;
    // The units of both players whose defended zone covers this hex.
    std::vector<BoardUnit*> UnitsWithinRadius() const;

    // The geometric centre of the fan.
    float CentreX() const;
    float CentreZ() const;
    bool IsPickable() const { return pickable; }
    // False only when the ray certainly misses the fan.
    bool MayBeHitBy(const D3DXVECTOR3& origin, const D3DXVECTOR3& direction) const;

    // The shared pulse direction starts over (falling) for every hex.
    static void ResetForTests();

    float anchorX = 0.0f;
    float anchorZ = 0.0f;
    float meanHeight = 0.0f;
    int row = 0;
    int column = 0;
    uint8_t defendedByTeam0 = 0;
    uint8_t defendedByTeam1 = 0;
    int pathScore = 0;
    int pathCost = 0;
    int pathEstimate = 0;
    Hex* pathParent = nullptr;
    D3DXVECTOR3 fan[FAN_POINTS];
    // The box around the fan, so that picking tests the triangles only of hexes the ray can reach.
    D3DXVECTOR3 boundsMin;
    D3DXVECTOR3 boundsMax;
    Object* occupant = nullptr;
    int32_t fadeState = FADE_STEADY;
    float targetAlpha = 0.35f;
    float alpha = 0.0f;
    IDirect3DVertexBuffer9* vertexBuffer = nullptr;
    HexType type = HEX_BLOCKED;
    HexType defaultType = HEX_BLOCKED;
    bool pickable = false;
    // The pointer rests on this hex.
    bool hovered = false;

private:
    void WriteColour();

    // What the fan's vertices hold now: a unit's hex is held fading in at its target every frame, and a buffer
    // written to is sent to the device again.
    D3DCOLOR m_writtenColour = 0x00FFFFFFu;
};
