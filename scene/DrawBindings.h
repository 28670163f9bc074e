#pragma once

#include "d3d9/D3D9.h"
#include "win32/ComPtr.h"

// While it lasts, holds what a sky-layer draw rebinds on the device (the world transform, the vertex format,
// the first texture stage and the first vertex stream) and gives it back when it ends, so the draws after it
// find the device as they left it.
class DrawBindings
{
public:
    explicit DrawBindings(IDirect3DDevice9* device);
    ~DrawBindings();
    DrawBindings(const DrawBindings&) = delete;
    DrawBindings& operator=(const DrawBindings&) = delete;

private:
    IDirect3DDevice9* m_device;
    D3DMATRIX m_world{};
    DWORD m_fvf = 0;
    ComPtr<IDirect3DBaseTexture9> m_texture;
    ComPtr<IDirect3DVertexBuffer9> m_stream;
    UINT m_streamOffset = 0;
    UINT m_streamStride = 0;
};
