#pragma once
// Facts about the surface formats the device keeps in memory, and conversions between them and
// D3DCOLOR. Pixels are stored as D3D stores them: A8R8G8B8 is B, G, R, A in memory.

#include "d3d9/D3D9.h"

class PixelFormat
{
public:
    // Bytes per pixel of a colour format we can hold in memory; 0 for anything else (depth formats too).
    static UINT BytesPerPixel(D3DFORMAT format);
    static bool IsColorFormat(D3DFORMAT format) { return BytesPerPixel(format) != 0; }
    static bool IsDepthFormat(D3DFORMAT format);
    static bool HasStencil(D3DFORMAT format);
    // A format a render target (or the back buffer) may have.
    static bool IsRenderTargetFormat(D3DFORMAT format);

    // Packs an ARGB colour into one pixel of the format (BytesPerPixel bytes at out).
    static void EncodeColor(D3DCOLOR color, D3DFORMAT format, void* out);
    // Unpacks one pixel of the format into ARGB; formats without alpha give alpha 255.
    static D3DCOLOR DecodeColor(const void* pixel, D3DFORMAT format);
    // Fills a rectangle of a pixel block with one colour.
    static void FillRect(void* bits, INT pitch, D3DFORMAT format, const RECT& rect, D3DCOLOR color);
};
