// Making resources and binding the targets and programs drawn with.
#include "d3d9/DeviceBase.h"
#include "d3d9/DeviceBaseShared.h"

#include "d3d9/HalCaps.h"
#include "d3d9/IndexBuffer.h"
#include "d3d9/PixelFormat.h"
#include "d3d9/ShaderProgram.h"
#include "d3d9/Surface.h"
#include "d3d9/Texture.h"
#include "d3d9/VertexBuffer.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <utility>

using namespace device_base;

HRESULT DeviceBase::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                  IDirect3DTexture9** texture, HANDLE* sharedHandle)
{
    if (!texture)
        return D3DERR_INVALIDCALL;
    *texture = nullptr;
    if (sharedHandle || width == 0 || height == 0 || width > caps_.MaxTextureWidth || height > caps_.MaxTextureHeight)
        return D3DERR_INVALIDCALL;
    if (pool > D3DPOOL_SCRATCH || (usage & D3DUSAGE_DEPTHSTENCIL))
        return D3DERR_INVALIDCALL;
    if (!PixelFormat::IsColorFormat(format))
        return D3DERR_INVALIDCALL;
    if (usage & D3DUSAGE_RENDERTARGET) {
        if (pool != D3DPOOL_DEFAULT || !PixelFormat::IsRenderTargetFormat(format))
            return D3DERR_INVALIDCALL;
    }
    if (levels > Texture::FullChainLevels(width, height))
        return D3DERR_INVALIDCALL;
    return MakeResource<Texture>(texture, this, width, height, levels, usage, format, pool);
}

HRESULT DeviceBase::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                       IDirect3DVertexBuffer9** vertexBuffer, HANDLE* sharedHandle)
{
    if (!vertexBuffer)
        return D3DERR_INVALIDCALL;
    *vertexBuffer = nullptr;
    if (sharedHandle || length == 0 || pool > D3DPOOL_SYSTEMMEM ||
        (usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL)))
        return D3DERR_INVALIDCALL;
    if (fvf != 0) {
        const FvfLayout layout = DecodeFvf(fvf);
        if (!layout.valid || length < layout.stride)
            return D3DERR_INVALIDCALL;
    }
    return MakeResource<VertexBuffer>(vertexBuffer, this, length, usage, fvf, pool);
}

HRESULT DeviceBase::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                      IDirect3DIndexBuffer9** indexBuffer, HANDLE* sharedHandle)
{
    if (!indexBuffer)
        return D3DERR_INVALIDCALL;
    *indexBuffer = nullptr;
    if (sharedHandle || pool > D3DPOOL_SYSTEMMEM || (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32) ||
        (usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL)))
        return D3DERR_INVALIDCALL;
    if (length < (format == D3DFMT_INDEX32 ? 4u : 2u))
        return D3DERR_INVALIDCALL;
    return MakeResource<IndexBuffer>(indexBuffer, this, length, usage, format, pool);
}

HRESULT DeviceBase::CreateStandaloneSurface(UINT width, UINT height, D3DFORMAT format, DWORD usage,
                                            D3DMULTISAMPLE_TYPE multiSample, DWORD multisampleQuality,
                                            IDirect3DSurface9** surface, HANDLE* sharedHandle)
{
    if (!surface)
        return D3DERR_INVALIDCALL;
    *surface = nullptr;
    const bool formatFits =
        usage == D3DUSAGE_DEPTHSTENCIL ? PixelFormat::IsDepthFormat(format) : PixelFormat::IsRenderTargetFormat(format);
    if (sharedHandle || width == 0 || height == 0 || width > caps_.MaxTextureWidth || height > caps_.MaxTextureHeight ||
        !formatFits || multiSample != D3DMULTISAMPLE_NONE || multisampleQuality != 0)
        return D3DERR_INVALIDCALL;
    return MakeResource<Surface>(surface, this, width, height, format, usage, D3DPOOL_DEFAULT, false, false);
}

HRESULT DeviceBase::CreateRenderTarget(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE multiSample,
                                       DWORD multisampleQuality, BOOL, IDirect3DSurface9** surface,
                                       HANDLE* sharedHandle)
{
    return CreateStandaloneSurface(width, height, format, D3DUSAGE_RENDERTARGET, multiSample, multisampleQuality,
                                   surface, sharedHandle);
}

HRESULT DeviceBase::CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format,
                                              D3DMULTISAMPLE_TYPE multiSample, DWORD multisampleQuality, BOOL,
                                              IDirect3DSurface9** surface, HANDLE* sharedHandle)
{
    return CreateStandaloneSurface(width, height, format, D3DUSAGE_DEPTHSTENCIL, multiSample, multisampleQuality,
                                   surface, sharedHandle);
}

HRESULT DeviceBase::SetRenderTarget(DWORD renderTargetIndex, IDirect3DSurface9* renderTarget)
{
    if (renderTargetIndex != 0 || !renderTarget)
        return D3DERR_INVALIDCALL;
    Surface* surface = dynamic_cast<Surface*>(renderTarget);
    if (!surface || surface->Device() != this || !surface->IsRenderTarget())
        return D3DERR_INVALIDCALL;
    Rebind(state_.renderTarget, surface);
    // As D3D does: a new render target gets a viewport covering all of it.
    FullViewport();
    return D3D_OK;
}

HRESULT DeviceBase::GetRenderTarget(DWORD renderTargetIndex, IDirect3DSurface9** renderTarget)
{
    if (!renderTarget)
        return D3DERR_INVALIDCALL;
    *renderTarget = nullptr;
    if (renderTargetIndex != 0)
        return D3DERR_INVALIDCALL;
    if (!state_.renderTarget)
        return D3DERR_NOTFOUND;
    HandOut(state_.renderTarget, renderTarget);
    return D3D_OK;
}

HRESULT DeviceBase::SetDepthStencilSurface(IDirect3DSurface9* newZStencil)
{
    Surface* surface = nullptr;
    if (!OwnResource(this, newZStencil, &surface) || (surface && !surface->IsDepthStencil()))
        return D3DERR_INVALIDCALL;
    Rebind(state_.depthStencil, surface);
    ++state_.changeCount;
    return D3D_OK;
}

HRESULT DeviceBase::GetDepthStencilSurface(IDirect3DSurface9** zStencilSurface)
{
    if (!zStencilSurface)
        return D3DERR_INVALIDCALL;
    *zStencilSurface = nullptr;
    if (!state_.depthStencil)
        return D3DERR_NOTFOUND;
    HandOut(state_.depthStencil, zStencilSurface);
    return D3D_OK;
}

namespace {

bool CoversWhole(const RECT* rect, const Surface* surface)
{
    return !rect || (rect->left == 0 && rect->top == 0 && rect->right == static_cast<LONG>(surface->Width()) &&
                     rect->bottom == static_cast<LONG>(surface->Height()));
}

} // namespace

HRESULT DeviceBase::StretchRect(IDirect3DSurface9* sourceSurface, const RECT* sourceRect,
                                IDirect3DSurface9* destSurface, const RECT* destRect, D3DTEXTUREFILTERTYPE filter)
{
    if (!IsDrawingThread() || !sourceSurface || !destSurface || sourceSurface == destSurface)
        return D3DERR_INVALIDCALL;
    Surface* source = dynamic_cast<Surface*>(sourceSurface);
    Surface* destination = dynamic_cast<Surface*>(destSurface);
    if (!source || !destination || source->Device() != this || destination->Device() != this)
        return D3DERR_INVALIDCALL;
    if (filter != D3DTEXF_NONE && filter != D3DTEXF_POINT && filter != D3DTEXF_LINEAR)
        return D3DERR_INVALIDCALL;
    const bool depth = source->IsDepthStencil();
    if (depth != destination->IsDepthStencil() ||
        (!depth && !(source->IsRenderTarget() && destination->IsRenderTarget())))
        return D3DERR_INVALIDCALL;
    if (source->Width() != destination->Width() || source->Height() != destination->Height() ||
        source->Format() != destination->Format() || !CoversWhole(sourceRect, source) ||
        !CoversWhole(destRect, destination))
        return D3DERR_INVALIDCALL;
    if (source->IsLocked() || destination->IsLocked())
        return D3DERR_INVALIDCALL;
    if (lost_)
        return D3D_OK;
    FlushDeferredReleases();
    return BackEndCopySurface(source, destination);
}

HRESULT DeviceBase::CreateShaderProgram(const char* vertexSource, const char* fragmentSource, IShaderProgram** program)
{
    if (!program)
        return D3DERR_INVALIDCALL;
    *program = nullptr;
    if (!vertexSource || !fragmentSource)
        return D3DERR_INVALIDCALL;
    ShaderProgram* created = nullptr;
    HRESULT hr;
    try {
        hr = BackEndCreateShaderProgram(vertexSource, fragmentSource, &created);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    if (FAILED(hr))
        return hr;
    if (!created)
        return D3DERR_INVALIDCALL;
    *program = created;
    return D3D_OK;
}

HRESULT DeviceBase::SetShaderProgram(IShaderProgram* program)
{
    ShaderProgram* ours = nullptr;
    if (!OwnResource(this, program, &ours))
        return D3DERR_INVALIDCALL;
    if (state_.program != ours) {
        Rebind(state_.program, ours);
        ++state_.changeCount;
    }
    return D3D_OK;
}

HRESULT DeviceBase::GetShaderProgram(IShaderProgram** program)
{
    if (!program)
        return D3DERR_INVALIDCALL;
    HandOut(state_.program, program);
    return D3D_OK;
}
