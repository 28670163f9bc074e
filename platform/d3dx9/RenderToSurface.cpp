#include "d3dx9/RenderToSurface.h"

RenderToSurface::RenderToSurface(IDirect3DDevice9* device, const D3DXRTS_DESC& desc) : device_(device), desc_(desc)
{
    device_->AddRef();
}

RenderToSurface::~RenderToSurface()
{
    if (inScene_)
        EndScene(0);
    if (depthSurface_)
        depthSurface_->Release();
    device_->Release();
}

HRESULT RenderToSurface::GetDevice(IDirect3DDevice9** device)
{
    if (!device)
        return D3DERR_INVALIDCALL;
    device_->AddRef();
    *device = device_;
    return D3D_OK;
}

HRESULT RenderToSurface::GetDesc(D3DXRTS_DESC* desc)
{
    if (!desc)
        return D3DERR_INVALIDCALL;
    *desc = desc_;
    return D3D_OK;
}

HRESULT RenderToSurface::CreateDepthSurface()
{
    if (!desc_.DepthStencil || depthSurface_)
        return D3D_OK;
    return device_->CreateDepthStencilSurface(desc_.Width, desc_.Height, desc_.DepthStencilFormat, D3DMULTISAMPLE_NONE,
                                              0, TRUE, &depthSurface_, nullptr);
}

void RenderToSurface::ReleasePrevious()
{
    if (previousTarget_)
        previousTarget_->Release();
    if (previousDepth_)
        previousDepth_->Release();
    previousTarget_ = nullptr;
    previousDepth_ = nullptr;
}

void RenderToSurface::RestorePrevious()
{
    // Setting a render target resets the viewport, so the viewport goes back last.
    if (previousTarget_)
        device_->SetRenderTarget(0, previousTarget_);
    device_->SetDepthStencilSurface(previousDepth_);
    device_->SetViewport(&previousViewport_);
    ReleasePrevious();
}

HRESULT RenderToSurface::BeginScene(IDirect3DSurface9* surface, const D3DVIEWPORT9* viewport)
{
    if (!surface || inScene_)
        return D3DERR_INVALIDCALL;
    if (desc_.DepthStencil && !depthSurface_)
        return D3DERR_INVALIDCALL; // lost and not yet reset
    D3DSURFACE_DESC surfaceDesc{};
    HRESULT hr = surface->GetDesc(&surfaceDesc);
    if (FAILED(hr))
        return hr;

    hr = device_->GetRenderTarget(0, &previousTarget_);
    if (FAILED(hr)) {
        previousTarget_ = nullptr;
        return hr;
    }
    // No depth surface bound is a valid state to come back to.
    if (FAILED(device_->GetDepthStencilSurface(&previousDepth_)))
        previousDepth_ = nullptr;
    device_->GetViewport(&previousViewport_);

    hr = device_->SetRenderTarget(0, surface);
    if (SUCCEEDED(hr))
        hr = device_->SetDepthStencilSurface(depthSurface_);
    if (SUCCEEDED(hr)) {
        const D3DVIEWPORT9 whole{0, 0, surfaceDesc.Width, surfaceDesc.Height, 0.0f, 1.0f};
        hr = device_->SetViewport(viewport ? viewport : &whole);
    }
    if (SUCCEEDED(hr))
        hr = device_->BeginScene();
    if (FAILED(hr)) {
        RestorePrevious();
        return hr;
    }
    inScene_ = true;
    return D3D_OK;
}

HRESULT RenderToSurface::EndScene(DWORD /*mipFilter*/)
{
    if (!inScene_)
        return D3DERR_INVALIDCALL;
    inScene_ = false;
    const HRESULT hr = device_->EndScene();
    RestorePrevious();
    return hr;
}

HRESULT RenderToSurface::OnLostDevice()
{
    if (inScene_)
        EndScene(0);
    if (depthSurface_)
        depthSurface_->Release();
    depthSurface_ = nullptr;
    return D3D_OK;
}

HRESULT RenderToSurface::OnResetDevice()
{
    return CreateDepthSurface();
}

HRESULT D3DXCreateRenderToSurface(IDirect3DDevice9* device, UINT width, UINT height, D3DFORMAT format,
                                  BOOL depthStencil, D3DFORMAT depthStencilFormat,
                                  ID3DXRenderToSurface** renderToSurface)
{
    if (renderToSurface)
        *renderToSurface = nullptr;
    if (!device || !renderToSurface || width == 0 || height == 0)
        return D3DERR_INVALIDCALL;
    const D3DXRTS_DESC desc{width, height, format, depthStencil ? TRUE : FALSE, depthStencilFormat};
    auto* created = new RenderToSurface(device, desc);
    const HRESULT hr = created->CreateDepthSurface();
    if (FAILED(hr)) {
        created->Release();
        return hr;
    }
    *renderToSurface = created;
    return D3D_OK;
}
