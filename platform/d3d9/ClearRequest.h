#pragma once
// A clear as the device core hands it to the back end: flags reduced to what the bound surfaces have,
// rectangles already clipped to the viewport and the render target, values clamped to their range.

#include "d3d9/D3D9.h"

class Surface;

struct ClearRequest {
    DWORD flags = 0; // D3DCLEAR_TARGET / ZBUFFER / STENCIL
    D3DCOLOR color = 0;
    float z = 1.0f; // within [0, 1]
    DWORD stencil = 0; // masked to the stencil bits of the depth format
    const RECT* rects = nullptr; // at least one, in render-target pixels, never empty
    UINT rectCount = 0;
    bool wholeTarget = false; // one rectangle covering the whole render target
    Surface* renderTarget = nullptr;
    Surface* depthStencil = nullptr; // null when no depth surface is bound
};
