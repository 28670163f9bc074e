#pragma once

#include "d3d9/D3D9.h"

// While it lasts, turns off the blending and the alpha test that cannot change the pixels of a draw whose
// every alpha is 1 (opaque textures modulated with white): blending would still read the target for each
// pixel, and the test's discard keeps the depth test from sparing pixels already covered. What it changes is
// put back when it ends. A draw that is not opaque keeps its states.
class OpaqueDraw
{
public:
    OpaqueDraw(IDirect3DDevice9* device, bool opaque);
    ~OpaqueDraw();
    OpaqueDraw(const OpaqueDraw&) = delete;
    OpaqueDraw& operator=(const OpaqueDraw&) = delete;

    // Whether every texel of the top level has alpha 255 (a format without alpha reads as opaque).
    static bool IsOpaqueTexture(IDirect3DTexture9* texture);
    // Whether blending with these states leaves a source of alpha 1 as it is.
    static bool BlendKeepsOpaque(DWORD source, DWORD destination, DWORD op, DWORD separateAlpha);
    // Whether the alpha test keeps an alpha of 255.
    static bool AlphaTestKeepsOpaque(DWORD func, DWORD ref);

private:
    IDirect3DDevice9* m_device = nullptr;
    bool m_restoreBlend = false;
    bool m_restoreTest = false;
};
