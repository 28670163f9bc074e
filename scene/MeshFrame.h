#pragma once
// A frame of a loaded hierarchy with its combined transform (local x parent's combined).

#include "d3dx9/D3DX9.h"

struct MeshFrame : D3DXFRAME {
    D3DXMATRIX combinedTransform;
};
