#pragma once
// Colour conversions shared by the scene's vertex writers.

#include "d3d9/D3D9.h"

#include <cmath>

// A 0..1 colour channel as a byte: 255 from 1.0 up, 0 from 0 down (and for NaN), otherwise rounded.
inline DWORD ColourByte(float c)
{
    if (c >= 1.0f)
        return 255;
    if (!(c > 0.0f))
        return 0;
    return static_cast<DWORD>(std::floor(c * 255.0f + 0.5f));
}

// ARGB from 0..1 channels.
inline D3DCOLOR PackColour(float alpha, float red, float green, float blue)
{
    return (ColourByte(alpha) << 24) | (ColourByte(red) << 16) | (ColourByte(green) << 8) | ColourByte(blue);
}

// A particle channel on the 0..255 scale: truncated toward zero and kept within a byte.
inline DWORD ParticleChannel(float c)
{
    if (!(c > 0.0f))
        return 0;
    if (c >= 255.0f)
        return 255;
    return static_cast<DWORD>(c);
}

// The textured, coloured vertex of particles, bolts and world quads (FVF 0x142).
struct ColouredVertex {
    float x, y, z;
    D3DCOLOR colour;
    float u, v;
};
constexpr DWORD COLOURED_VERTEX_FVF = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;
