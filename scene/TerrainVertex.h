#pragma once

#include "d3d9/D3D9.h"

// The terrain's vertex: position, normal, the four blend weights packed into the colour (alpha w4, red w1,
// green w2, blue w3), four tiled texture-coordinate pairs and the light map's pair.
struct TerrainVertex {
    static constexpr DWORD FVF = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX5;

    float position[3];
    float normal[3];
    D3DCOLOR colour;
    float uv[5][2];
};
static_assert(sizeof(TerrainVertex) == 68, "the terrain vertex is 68 bytes");

struct LevelData;

// A blend weight as a colour byte: 255 from 1.0 up, 0 from 0.0 down, else rounded.
BYTE WeightToByte(float weight);
// The four weights w1..w4 packed as alpha w4, red w1, green w2, blue w3.
D3DCOLOR PackWeights(const float* weights);
// The grid vertex of row r (along z) and column c (along x) as the level gives it, with the up normal.
TerrainVertex MakeTerrainVertex(const LevelData& level, int r, int c);
