#pragma once
// ID3DXRenderToSurface: draws a scene into a surface with a depth surface of its own, putting the
// device's render target, depth surface and viewport back afterwards.

#include "d3dx9/D3DX9Core.h"
#include "win32/ComObject.h"

#include <atomic>

class RenderToSurface : public ComObject<ID3DXRenderToSurface>
{
public:
    RenderToSurface(IDirect3DDevice9* device, const D3DXRTS_DESC& desc);

    HRESULT GetDevice(IDirect3DDevice9** device) override;
    HRESULT GetDesc(D3DXRTS_DESC* desc) override;
    // Binds surface, our depth surface and the viewport (the whole surface when null), then begins the
    // device's scene.
    HRESULT BeginScene(IDirect3DSurface9* surface, const D3DVIEWPORT9* viewport) override;
    // Ends the device's scene and restores what BeginScene replaced.
    HRESULT EndScene(DWORD mipFilter) override;
    // The depth surface lives in the default pool: it goes before a device reset and comes back after.
    HRESULT OnLostDevice() override;
    HRESULT OnResetDevice() override;

    HRESULT CreateDepthSurface();

protected:
    ~RenderToSurface() override;

private:
    void RestorePrevious();
    void ReleasePrevious();

    IDirect3DDevice9* device_;
    D3DXRTS_DESC desc_;
    IDirect3DSurface9* depthSurface_ = nullptr;
    bool inScene_ = false;
    IDirect3DSurface9* previousTarget_ = nullptr;
    IDirect3DSurface9* previousDepth_ = nullptr;
    D3DVIEWPORT9 previousViewport_{};
};
