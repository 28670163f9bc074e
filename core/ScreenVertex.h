#pragma once
// The vertex of every screen-space quad the game draws (widgets, the scene picture, the splash): already
// transformed, in back-buffer pixels.

#include "d3d9/D3D9.h"

struct ScreenVertex {
    float x, y, z, rhw;
    D3DCOLOR color;
    float u, v;
};

constexpr DWORD SCREEN_FVF = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;
constexpr UINT SCREEN_VERTEX_STRIDE = sizeof(ScreenVertex);
static_assert(SCREEN_VERTEX_STRIDE == 28, "the layout the FVF describes");
