#pragma once
// The device state every frame starts from: depth test and write on, alpha blending and alpha test on, linear
// fog by vertex, no culling, no fixed-function lighting, and every texture stage modulating its texture with the
// colour so far through mirrored, linearly filtered samplers. The game sets it after each device reset; the
// benchmarks that draw the game's passes start from it too.

#include "d3d9/D3D9.h"

class RenderDefaults
{
public:
    static void Apply(IDirect3DDevice9* device);
};
