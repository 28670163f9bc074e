#include "d3d9/DeviceBase.h"

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

namespace {

// No back buffer larger than this: far beyond any display, small enough to keep sizes in 32 bits.
constexpr UINT MAX_BACK_BUFFER_SIZE = 16384;
constexpr UINT MAX_BACK_BUFFER_COUNT = 3;
constexpr UINT MAX_STREAMS = 16;

template <typename T>
void Rebind(T*& slot, T* resource)
{
    if (slot == resource)
        return;
    if (resource)
        resource->AddInternalRef();
    T* old = slot;
    slot = resource;
    if (old)
        old->ReleaseInternalRef();
}

// The caller's interface as one of this device's own resources. A null interface is fine (it unbinds);
// anything made elsewhere is refused.
template <typename Ours, typename Interface>
bool OwnResource(const DeviceBase* device, Interface* resource, Ours** ours)
{
    *ours = nullptr;
    if (!resource)
        return true;
    *ours = dynamic_cast<Ours*>(resource);
    return *ours && (*ours)->Device() == device;
}

// Hands a bound resource out with a reference of the caller's own.
template <typename T, typename Interface>
void HandOut(T* bound, Interface** out)
{
    *out = bound;
    if (bound)
        bound->AddRef();
}

// Makes a resource into *out; a failed allocation is the device's out-of-memory answer.
template <typename Resource, typename Interface, typename... Args>
HRESULT MakeResource(Interface** out, Args&&... args)
{
    try {
        *out = new Resource(std::forward<Args>(args)...);
    } catch (const std::bad_alloc&) {
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    return D3D_OK;
}

bool ValidPrimitiveType(D3DPRIMITIVETYPE type)
{
    return type >= D3DPT_POINTLIST && type <= D3DPT_TRIANGLEFAN;
}

} // namespace

DeviceBase::DeviceBase(IDirect3D9* d3d, UINT adapter, HWND window, DWORD behaviorFlags)
    : d3d_(d3d), adapter_(adapter), window_(window), behaviorFlags_(behaviorFlags),
      drawingThread_(std::this_thread::get_id())
{
    if (d3d_)
        d3d_->AddRef();
    FillHalCaps(adapter, &caps_);
    state_.changeCount = 0;
    state_.SetDefaults(false);
}

DeviceBase::~DeviceBase()
{
    if (d3d_)
        d3d_->Release();
}

HRESULT DeviceBase::QueryInterface(REFIID, void** object)
{
    if (object)
        *object = nullptr;
    return E_NOINTERFACE;
}

ULONG DeviceBase::AddRef()
{
    return ++refs_;
}

ULONG DeviceBase::Release()
{
    ULONG previous = refs_.load();
    do {
        if (previous == 0)
            return 0; // an unbalanced Release: refuse rather than free twice
    } while (!refs_.compare_exchange_weak(previous, previous - 1));
    if (previous == 1) {
        Shutdown();
        delete this;
        return 0;
    }
    return previous - 1;
}

void DeviceBase::Shutdown()
{
    shuttingDown_ = true;
    ReleaseSwapChainSurfaces();
    UnbindAll();
    FlushDeferredReleases();
    BackEndShutdown();
}

HRESULT DeviceBase::ValidatePresentParameters(D3DPRESENT_PARAMETERS* pp) const
{
    if (!pp)
        return D3DERR_INVALIDCALL;
    if (pp->Windowed && pp->BackBufferFormat == D3DFMT_UNKNOWN)
        pp->BackBufferFormat = D3DFMT_X8R8G8B8;
    if (pp->BackBufferFormat != D3DFMT_X8R8G8B8 && pp->BackBufferFormat != D3DFMT_A8R8G8B8)
        return D3DERR_INVALIDCALL;
    // As D3D does, a window-mode swap chain without a size takes the device window's client area.
    const HWND window = pp->hDeviceWindow ? pp->hDeviceWindow : window_;
    if (pp->Windowed && (pp->BackBufferWidth == 0 || pp->BackBufferHeight == 0) && window) {
        RECT client{};
        if (GetClientRect(window, &client)) {
            if (pp->BackBufferWidth == 0)
                pp->BackBufferWidth = static_cast<UINT>(std::max<LONG>(client.right - client.left, 0));
            if (pp->BackBufferHeight == 0)
                pp->BackBufferHeight = static_cast<UINT>(std::max<LONG>(client.bottom - client.top, 0));
        }
    }
    if (pp->BackBufferWidth == 0 || pp->BackBufferHeight == 0 || pp->BackBufferWidth > MAX_BACK_BUFFER_SIZE ||
        pp->BackBufferHeight > MAX_BACK_BUFFER_SIZE)
        return D3DERR_INVALIDCALL;
    if (pp->BackBufferCount == 0)
        pp->BackBufferCount = 1;
    if (pp->BackBufferCount > MAX_BACK_BUFFER_COUNT)
        return D3DERR_INVALIDCALL;
    if (pp->MultiSampleType != D3DMULTISAMPLE_NONE || pp->MultiSampleQuality != 0)
        return D3DERR_INVALIDCALL;
    if (pp->SwapEffect < D3DSWAPEFFECT_DISCARD || pp->SwapEffect > D3DSWAPEFFECT_COPY)
        return D3DERR_INVALIDCALL;
    if (pp->EnableAutoDepthStencil && !PixelFormat::IsDepthFormat(pp->AutoDepthStencilFormat))
        return D3DERR_INVALIDCALL;
    if (pp->PresentationInterval != D3DPRESENT_INTERVAL_DEFAULT &&
        pp->PresentationInterval != D3DPRESENT_INTERVAL_ONE &&
        pp->PresentationInterval != D3DPRESENT_INTERVAL_IMMEDIATE)
        return D3DERR_INVALIDCALL;
    return D3D_OK;
}

HRESULT DeviceBase::CreateSwapChainSurfaces()
{
    try {
        backBuffer_ =
            new Surface(this, presentParameters_.BackBufferWidth, presentParameters_.BackBufferHeight,
                        presentParameters_.BackBufferFormat, D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT, true, true);
        if (presentParameters_.EnableAutoDepthStencil)
            autoDepth_ = new Surface(this, presentParameters_.BackBufferWidth, presentParameters_.BackBufferHeight,
                                     presentParameters_.AutoDepthStencilFormat, D3DUSAGE_DEPTHSTENCIL, D3DPOOL_DEFAULT,
                                     true, false);
    } catch (const std::bad_alloc&) {
        ReleaseSwapChainSurfaces();
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    return D3D_OK;
}

void DeviceBase::ReleaseSwapChainSurfaces()
{
    Surface* backBuffer = backBuffer_;
    Surface* autoDepth = autoDepth_;
    backBuffer_ = nullptr;
    autoDepth_ = nullptr;
    if (backBuffer)
        backBuffer->ReleaseInternalRef();
    if (autoDepth)
        autoDepth->ReleaseInternalRef();
}

void DeviceBase::UnbindAll()
{
    Rebind(state_.streamSource, static_cast<VertexBuffer*>(nullptr));
    Rebind(state_.indices, static_cast<IndexBuffer*>(nullptr));
    for (Texture*& texture : state_.textures)
        Rebind(texture, static_cast<Texture*>(nullptr));
    Rebind(state_.program, static_cast<ShaderProgram*>(nullptr));
    Rebind(state_.renderTarget, static_cast<Surface*>(nullptr));
    Rebind(state_.depthStencil, static_cast<Surface*>(nullptr));
}

void DeviceBase::BindDefaults()
{
    UnbindAll();
    state_.SetDefaults(presentParameters_.EnableAutoDepthStencil != FALSE);
    Rebind(state_.renderTarget, backBuffer_);
    Rebind(state_.depthStencil, autoDepth_);
    FullViewport();
}

void DeviceBase::FullViewport()
{
    state_.viewport.X = 0;
    state_.viewport.Y = 0;
    state_.viewport.Width = state_.renderTarget ? state_.renderTarget->Width() : 0;
    state_.viewport.Height = state_.renderTarget ? state_.renderTarget->Height() : 0;
    state_.viewport.MinZ = 0.0f;
    state_.viewport.MaxZ = 1.0f;
    ++state_.changeCount;
}

HRESULT DeviceBase::Initialize(D3DPRESENT_PARAMETERS* presentationParameters)
{
    if (initialized_ || !presentationParameters)
        return D3DERR_INVALIDCALL;
    D3DPRESENT_PARAMETERS pp = *presentationParameters;
    HRESULT hr = ValidatePresentParameters(&pp);
    if (FAILED(hr))
        return hr;
    presentParameters_ = pp;
    hr = CreateSwapChainSurfaces();
    if (FAILED(hr))
        return hr;
    BindDefaults();
    hr = BackEndReset(presentParameters_, true);
    if (FAILED(hr))
        return hr;
    initialized_ = true;
    *presentationParameters = pp;
    return D3D_OK;
}

HRESULT DeviceBase::TestCooperativeLevel()
{
    return lost_ ? D3DERR_DEVICENOTRESET : D3D_OK;
}

UINT DeviceBase::GetAvailableTextureMem()
{
    return availableTextureMem_;
}

HRESULT DeviceBase::GetDirect3D(IDirect3D9** d3d)
{
    if (!d3d)
        return D3DERR_INVALIDCALL;
    *d3d = d3d_;
    if (!d3d_)
        return D3DERR_INVALIDCALL;
    d3d_->AddRef();
    return D3D_OK;
}

HRESULT DeviceBase::GetDeviceCaps(D3DCAPS9* caps)
{
    if (!caps)
        return D3DERR_INVALIDCALL;
    *caps = caps_;
    return D3D_OK;
}

HRESULT DeviceBase::GetDisplayMode(UINT swapChain, D3DDISPLAYMODE* mode)
{
    if (!mode || swapChain != 0)
        return D3DERR_INVALIDCALL;
    *mode = D3DDISPLAYMODE{};
    if (!presentParameters_.Windowed) {
        // Full screen shows the back buffer: the mode the game asked for is the mode it gets.
        mode->Width = presentParameters_.BackBufferWidth;
        mode->Height = presentParameters_.BackBufferHeight;
        mode->RefreshRate = presentParameters_.FullScreen_RefreshRateInHz;
        mode->Format = D3DFMT_X8R8G8B8;
        D3DDISPLAYMODE desktop{};
        if (mode->RefreshRate == 0 && d3d_ && SUCCEEDED(d3d_->GetAdapterDisplayMode(adapter_, &desktop)))
            mode->RefreshRate = desktop.RefreshRate; // "default" means the desktop's rate
        return D3D_OK;
    }
    if (!d3d_)
        return D3DERR_INVALIDCALL;
    return d3d_->GetAdapterDisplayMode(adapter_, mode);
}

HRESULT DeviceBase::Reset(D3DPRESENT_PARAMETERS* presentationParameters)
{
    if (!presentationParameters || !IsDrawingThread())
        return D3DERR_INVALIDCALL;
    D3DPRESENT_PARAMETERS pp = *presentationParameters;
    HRESULT hr = ValidatePresentParameters(&pp);
    if (FAILED(hr))
        return hr;
    if (LiveDefaultResources() > 0) {
        // As D3D does: the device stays lost until a Reset succeeds.
        lost_ = true;
        return D3DERR_INVALIDCALL;
    }
    inScene_ = false;
    ReleaseSwapChainSurfaces();
    UnbindAll();
    presentParameters_ = pp;
    hr = CreateSwapChainSurfaces();
    if (FAILED(hr)) {
        lost_ = true;
        return hr;
    }
    BindDefaults();
    FlushDeferredReleases();
    hr = BackEndReset(presentParameters_, false);
    if (FAILED(hr)) {
        lost_ = true;
        return hr;
    }
    lost_ = false;
    *presentationParameters = pp;
    return D3D_OK;
}

HRESULT DeviceBase::Present(const RECT*, const RECT*, HWND, const void*)
{
    if (!IsDrawingThread())
        return D3DERR_INVALIDCALL;
    if (lost_)
        return D3DERR_DEVICELOST;
    FlushDeferredReleases();
    return BackEndPresent();
}

HRESULT DeviceBase::GetBackBuffer(UINT swapChain, UINT backBuffer, D3DBACKBUFFER_TYPE type, IDirect3DSurface9** surface)
{
    if (!surface)
        return D3DERR_INVALIDCALL;
    *surface = nullptr;
    // One back buffer is kept whatever the count: the others would never be seen.
    if (swapChain != 0 || backBuffer != 0 || type != D3DBACKBUFFER_TYPE_MONO || !backBuffer_)
        return D3DERR_INVALIDCALL;
    *surface = backBuffer_;
    backBuffer_->AddRef();
    return D3D_OK;
}

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

HRESULT DeviceBase::BeginScene()
{
    if (inScene_)
        return D3DERR_INVALIDCALL;
    inScene_ = true;
    return D3D_OK;
}

HRESULT DeviceBase::EndScene()
{
    if (!inScene_)
        return D3DERR_INVALIDCALL;
    inScene_ = false;
    return D3D_OK;
}

HRESULT DeviceBase::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil)
{
    if (!IsDrawingThread())
        return D3DERR_INVALIDCALL;
    if (flags == 0 || (flags & ~(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) != 0)
        return D3DERR_INVALIDCALL;
    if (count > 0 && !rects)
        return D3DERR_INVALIDCALL;
    if (std::isnan(z))
        return D3DERR_INVALIDCALL;
    Surface* depth = state_.depthStencil;
    if ((flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) && !depth)
        return D3DERR_INVALIDCALL;
    if ((flags & D3DCLEAR_STENCIL) && !PixelFormat::HasStencil(depth->Format()))
        return D3DERR_INVALIDCALL;
    Surface* target = state_.renderTarget;
    if (!target)
        return D3DERR_INVALIDCALL;
    if (lost_)
        return D3D_OK;

    // Everything is clipped to the viewport, which lies inside the render target.
    const LONG targetWidth = static_cast<LONG>(target->Width());
    const LONG targetHeight = static_cast<LONG>(target->Height());
    const D3DVIEWPORT9& vp = state_.viewport;
    const RECT bounds{std::min<LONG>(static_cast<LONG>(vp.X), targetWidth),
                      std::min<LONG>(static_cast<LONG>(vp.Y), targetHeight),
                      std::min<LONG>(static_cast<LONG>(vp.X + vp.Width), targetWidth),
                      std::min<LONG>(static_cast<LONG>(vp.Y + vp.Height), targetHeight)};
    clearRects_.clear();
    if (count == 0) {
        if (bounds.left < bounds.right && bounds.top < bounds.bottom)
            clearRects_.push_back(bounds);
    } else {
        for (DWORD i = 0; i < count; ++i) {
            const RECT r{std::max(rects[i].x1, bounds.left), std::max(rects[i].y1, bounds.top),
                         std::min(rects[i].x2, bounds.right), std::min(rects[i].y2, bounds.bottom)};
            if (r.left < r.right && r.top < r.bottom)
                clearRects_.push_back(r);
        }
    }
    if (clearRects_.empty())
        return D3D_OK;

    ClearRequest request;
    request.flags = flags;
    request.color = color;
    request.z = std::clamp(z, 0.0f, 1.0f);
    DWORD stencilMask = 0;
    if (depth) {
        switch (depth->Format()) {
        case D3DFMT_D24S8:
            stencilMask = 0xFF;
            break;
        case D3DFMT_D24X4S4:
            stencilMask = 0xF;
            break;
        case D3DFMT_D15S1:
            stencilMask = 0x1;
            break;
        default:
            break;
        }
    }
    request.stencil = stencil & stencilMask;
    request.rects = clearRects_.data();
    request.rectCount = static_cast<UINT>(clearRects_.size());
    const RECT& first = clearRects_.front();
    request.wholeTarget = clearRects_.size() == 1 && first.left == 0 && first.top == 0 && first.right == targetWidth &&
                          first.bottom == targetHeight;
    request.renderTarget = target;
    request.depthStencil = depth;
    FlushDeferredReleases();
    return BackEndClear(request);
}

D3DMATRIX* DeviceBase::TransformSlot(D3DTRANSFORMSTATETYPE state)
{
    if (state == D3DTS_VIEW)
        return &state_.view;
    if (state == D3DTS_PROJECTION)
        return &state_.projection;
    if (state >= D3DTS_TEXTURE0 && state <= D3DTS_TEXTURE7)
        return &state_.textureTransforms[state - D3DTS_TEXTURE0];
    if (state >= D3DTS_WORLD && state < D3DTS_WORLD + DEVICE_WORLD_MATRICES)
        return &state_.world[state - D3DTS_WORLD];
    return nullptr;
}

HRESULT DeviceBase::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix)
{
    D3DMATRIX* slot = TransformSlot(state);
    if (!matrix || !slot)
        return D3DERR_INVALIDCALL;
    *slot = *matrix;
    ++state_.changeCount;
    return D3D_OK;
}

HRESULT DeviceBase::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix)
{
    const D3DMATRIX* slot = TransformSlot(state);
    if (!matrix || !slot)
        return D3DERR_INVALIDCALL;
    *matrix = *slot;
    return D3D_OK;
}

HRESULT DeviceBase::SetViewport(const D3DVIEWPORT9* viewport)
{
    if (!viewport || !state_.renderTarget)
        return D3DERR_INVALIDCALL;
    const uint64_t right = static_cast<uint64_t>(viewport->X) + viewport->Width;
    const uint64_t bottom = static_cast<uint64_t>(viewport->Y) + viewport->Height;
    if (viewport->Width == 0 || viewport->Height == 0 || right > state_.renderTarget->Width() ||
        bottom > state_.renderTarget->Height())
        return D3DERR_INVALIDCALL;
    if (!(viewport->MinZ >= 0.0f && viewport->MinZ <= 1.0f && viewport->MaxZ >= 0.0f && viewport->MaxZ <= 1.0f))
        return D3DERR_INVALIDCALL;
    state_.viewport = *viewport;
    ++state_.changeCount;
    return D3D_OK;
}

HRESULT DeviceBase::GetViewport(D3DVIEWPORT9* viewport)
{
    if (!viewport)
        return D3DERR_INVALIDCALL;
    *viewport = state_.viewport;
    return D3D_OK;
}

DWORD* DeviceBase::RenderStateSlot(D3DRENDERSTATETYPE state)
{
    return state < D3DRS_COUNT ? &state_.renderStates[state] : nullptr;
}

DWORD* DeviceBase::StageStateSlot(DWORD stage, D3DTEXTURESTAGESTATETYPE type)
{
    return stage < DEVICE_TEXTURE_STAGES && type != 0 && type < D3DTSS_COUNT ? &state_.stageStates[stage][type]
                                                                             : nullptr;
}

DWORD* DeviceBase::SamplerStateSlot(DWORD sampler, D3DSAMPLERSTATETYPE type)
{
    return sampler < DEVICE_SAMPLERS && type != 0 && type < D3DSAMP_COUNT ? &state_.samplerStates[sampler][type]
                                                                          : nullptr;
}

HRESULT DeviceBase::WriteState(DWORD* slot, DWORD value)
{
    if (!slot)
        return D3DERR_INVALIDCALL;
    if (*slot != value) {
        *slot = value;
        ++state_.changeCount;
    }
    return D3D_OK;
}

HRESULT DeviceBase::ReadState(const DWORD* slot, DWORD* value)
{
    if (!value)
        return D3DERR_INVALIDCALL;
    *value = slot ? *slot : 0;
    return slot ? D3D_OK : D3DERR_INVALIDCALL;
}

HRESULT DeviceBase::SetRenderState(D3DRENDERSTATETYPE state, DWORD value)
{
    return WriteState(RenderStateSlot(state), value);
}

HRESULT DeviceBase::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value)
{
    return ReadState(RenderStateSlot(state), value);
}

HRESULT DeviceBase::GetTexture(DWORD stage, IDirect3DBaseTexture9** texture)
{
    if (!texture)
        return D3DERR_INVALIDCALL;
    *texture = nullptr;
    if (stage >= DEVICE_TEXTURE_STAGES)
        return D3DERR_INVALIDCALL;
    HandOut(state_.textures[stage], texture);
    return D3D_OK;
}

HRESULT DeviceBase::SetTexture(DWORD stage, IDirect3DBaseTexture9* texture)
{
    if (stage >= DEVICE_TEXTURE_STAGES)
        return D3DERR_INVALIDCALL;
    Texture* ours = nullptr;
    if (!OwnResource(this, texture, &ours))
        return D3DERR_INVALIDCALL;
    if (state_.textures[stage] != ours) {
        Rebind(state_.textures[stage], ours);
        ++state_.changeCount;
    }
    return D3D_OK;
}

HRESULT DeviceBase::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value)
{
    return ReadState(StageStateSlot(stage, type), value);
}

HRESULT DeviceBase::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value)
{
    return WriteState(StageStateSlot(stage, type), value);
}

HRESULT DeviceBase::GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value)
{
    return ReadState(SamplerStateSlot(sampler, type), value);
}

HRESULT DeviceBase::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value)
{
    return WriteState(SamplerStateSlot(sampler, type), value);
}

bool DeviceBase::DrawArgumentsValid(D3DPRIMITIVETYPE primitiveType, UINT primitiveCount) const
{
    return IsDrawingThread() && ValidPrimitiveType(primitiveType) && primitiveCount <= caps_.MaxPrimitiveCount;
}

bool DeviceBase::NothingToDraw(UINT primitiveCount) const
{
    return primitiveCount == 0 || lost_ || state_.fvf == 0 || !state_.renderTarget;
}

HRESULT DeviceBase::StartDrawCall(D3DPRIMITIVETYPE primitiveType, UINT primitiveCount, UINT stride,
                                  DrawCall* call) const
{
    call->layout = DecodeFvf(state_.fvf);
    if (!call->layout.valid || stride < call->layout.stride)
        return D3DERR_INVALIDCALL;
    call->primitiveType = primitiveType;
    call->primitiveCount = primitiveCount;
    call->fvf = state_.fvf;
    call->stride = stride;
    return D3D_OK;
}

void DeviceBase::UnbindStreamZero()
{
    // As D3D does, a draw from the caller's memory leaves stream 0 unset.
    Rebind(state_.streamSource, static_cast<VertexBuffer*>(nullptr));
    state_.streamOffset = 0;
    state_.streamStride = 0;
    ++state_.changeCount;
}

HRESULT DeviceBase::SubmitDraw(DrawCall& call)
{
    call.program = state_.program;
    FlushDeferredReleases();
    return BackEndDraw(call);
}

HRESULT DeviceBase::DrawPrimitive(D3DPRIMITIVETYPE primitiveType, UINT startVertex, UINT primitiveCount)
{
    if (!DrawArgumentsValid(primitiveType, primitiveCount))
        return D3DERR_INVALIDCALL;
    VertexBuffer* vb = state_.streamSource;
    if (NothingToDraw(primitiveCount) || !vb)
        return D3D_OK; // nothing bound, nothing to draw
    DrawCall call;
    if (FAILED(StartDrawCall(primitiveType, primitiveCount, state_.streamStride, &call)))
        return D3DERR_INVALIDCALL;
    call.vertexBuffer = vb;
    call.vertexOffset = state_.streamOffset;
    call.firstVertex = startVertex;
    call.vertexCount = PrimitiveVertexCount(primitiveType, primitiveCount);
    const uint64_t end = static_cast<uint64_t>(call.vertexOffset) +
                         (static_cast<uint64_t>(startVertex) + call.vertexCount - 1) * call.stride + call.layout.stride;
    if (end > vb->Size())
        return D3DERR_INVALIDCALL;
    return SubmitDraw(call);
}

HRESULT DeviceBase::DrawIndexedPrimitive(D3DPRIMITIVETYPE primitiveType, INT baseVertexIndex, UINT minVertexIndex,
                                         UINT numVertices, UINT startIndex, UINT primCount)
{
    if (!DrawArgumentsValid(primitiveType, primCount))
        return D3DERR_INVALIDCALL;
    VertexBuffer* vb = state_.streamSource;
    IndexBuffer* ib = state_.indices;
    if (NothingToDraw(primCount) || !vb || !ib)
        return D3D_OK;
    DrawCall call;
    if (FAILED(StartDrawCall(primitiveType, primCount, state_.streamStride, &call)))
        return D3DERR_INVALIDCALL;
    call.vertexBuffer = vb;
    call.vertexOffset = state_.streamOffset;
    call.indexed = true;
    call.indexBuffer = ib;
    call.indexFormat = ib->Format();
    call.startIndex = startIndex;
    call.indexCount = PrimitiveVertexCount(primitiveType, primCount);
    call.baseVertexIndex = baseVertexIndex;
    call.minVertexIndex = minVertexIndex;
    call.numVertices = numVertices;

    // Every vertex the indices reach must lie in the buffer: a GPU reading past it could fault.
    UINT lowest = 0;
    UINT highest = 0;
    if (!ib->IndexRange(startIndex, call.indexCount, &lowest, &highest))
        return D3DERR_INVALIDCALL;
    const uint64_t size = vb->Size();
    const uint64_t available = size >= static_cast<uint64_t>(call.vertexOffset) + call.layout.stride
                                   ? (size - call.vertexOffset - call.layout.stride) / call.stride + 1
                                   : 0;
    const int64_t first = static_cast<int64_t>(lowest) + baseVertexIndex;
    const int64_t last = static_cast<int64_t>(highest) + baseVertexIndex;
    if (first < 0 || last >= static_cast<int64_t>(available))
        return D3DERR_INVALIDCALL;
    return SubmitDraw(call);
}

HRESULT DeviceBase::DrawPrimitiveUP(D3DPRIMITIVETYPE primitiveType, UINT primitiveCount,
                                    const void* vertexStreamZeroData, UINT vertexStreamZeroStride)
{
    if (!DrawArgumentsValid(primitiveType, primitiveCount) || !vertexStreamZeroData || vertexStreamZeroStride == 0)
        return D3DERR_INVALIDCALL;
    UnbindStreamZero();
    if (NothingToDraw(primitiveCount))
        return D3D_OK;
    DrawCall call;
    if (FAILED(StartDrawCall(primitiveType, primitiveCount, vertexStreamZeroStride, &call)))
        return D3DERR_INVALIDCALL;
    call.vertexData = vertexStreamZeroData;
    call.firstVertex = 0;
    call.vertexCount = PrimitiveVertexCount(primitiveType, primitiveCount);
    return SubmitDraw(call);
}

HRESULT DeviceBase::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE primitiveType, UINT minVertexIndex, UINT numVertices,
                                           UINT primitiveCount, const void* indexData, D3DFORMAT indexDataFormat,
                                           const void* vertexStreamZeroData, UINT vertexStreamZeroStride)
{
    if (!DrawArgumentsValid(primitiveType, primitiveCount) || !indexData || !vertexStreamZeroData ||
        vertexStreamZeroStride == 0 || (indexDataFormat != D3DFMT_INDEX16 && indexDataFormat != D3DFMT_INDEX32))
        return D3DERR_INVALIDCALL;
    UnbindStreamZero();
    Rebind(state_.indices, static_cast<IndexBuffer*>(nullptr));
    if (NothingToDraw(primitiveCount))
        return D3D_OK;
    DrawCall call;
    if (FAILED(StartDrawCall(primitiveType, primitiveCount, vertexStreamZeroStride, &call)))
        return D3DERR_INVALIDCALL;
    call.vertexData = vertexStreamZeroData;
    call.indexed = true;
    call.indexData = indexData;
    call.indexFormat = indexDataFormat;
    call.indexCount = PrimitiveVertexCount(primitiveType, primitiveCount);
    call.minVertexIndex = minVertexIndex;
    call.numVertices = numVertices;
    // The caller's vertex memory has no size of its own: the declared range is the bound.
    const uint64_t end = static_cast<uint64_t>(minVertexIndex) + numVertices;
    for (UINT i = 0; i < call.indexCount; ++i) {
        const uint32_t index = indexDataFormat == D3DFMT_INDEX32 ? static_cast<const uint32_t*>(indexData)[i]
                                                                 : static_cast<const uint16_t*>(indexData)[i];
        if (index < minVertexIndex || index >= end)
            return D3DERR_INVALIDCALL;
    }
    return SubmitDraw(call);
}

HRESULT DeviceBase::SetFVF(DWORD fvf)
{
    if (state_.fvf != fvf) {
        state_.fvf = fvf;
        ++state_.changeCount;
    }
    return D3D_OK;
}

HRESULT DeviceBase::GetFVF(DWORD* fvf)
{
    if (!fvf)
        return D3DERR_INVALIDCALL;
    *fvf = state_.fvf;
    return D3D_OK;
}

// Only the fixed-function pipeline is offered this way; programs come through SetShaderProgram. A null shader
// selects the fixed pipeline, as it did on Direct3D 9: a program an effect left bound no longer draws what follows.
HRESULT DeviceBase::SetVertexShader(IDirect3DVertexShader9* shader)
{
    return shader ? D3DERR_INVALIDCALL : SetShaderProgram(nullptr);
}

HRESULT DeviceBase::SetPixelShader(IDirect3DPixelShader9* shader)
{
    return shader ? D3DERR_INVALIDCALL : SetShaderProgram(nullptr);
}

HRESULT DeviceBase::SetStreamSource(UINT streamNumber, IDirect3DVertexBuffer9* streamData, UINT offsetInBytes,
                                    UINT stride)
{
    if (streamNumber >= MAX_STREAMS)
        return D3DERR_INVALIDCALL;
    VertexBuffer* vb = nullptr;
    if (!OwnResource(this, streamData, &vb) || (vb && offsetInBytes >= vb->Size()))
        return D3DERR_INVALIDCALL;
    if (streamNumber != 0)
        return vb ? D3DERR_INVALIDCALL : D3D_OK; // the FVF pipeline reads stream 0 only
    Rebind(state_.streamSource, vb);
    state_.streamOffset = vb ? offsetInBytes : 0;
    state_.streamStride = vb ? stride : 0;
    ++state_.changeCount;
    return D3D_OK;
}

HRESULT DeviceBase::GetStreamSource(UINT streamNumber, IDirect3DVertexBuffer9** streamData, UINT* offsetInBytes,
                                    UINT* stride)
{
    if (!streamData || !offsetInBytes || !stride)
        return D3DERR_INVALIDCALL;
    *streamData = nullptr;
    *offsetInBytes = 0;
    *stride = 0;
    if (streamNumber >= MAX_STREAMS)
        return D3DERR_INVALIDCALL;
    if (streamNumber == 0 && state_.streamSource) {
        HandOut(state_.streamSource, streamData);
        *offsetInBytes = state_.streamOffset;
        *stride = state_.streamStride;
    }
    return D3D_OK;
}

HRESULT DeviceBase::SetIndices(IDirect3DIndexBuffer9* indexData)
{
    IndexBuffer* ib = nullptr;
    if (!OwnResource(this, indexData, &ib))
        return D3DERR_INVALIDCALL;
    Rebind(state_.indices, ib);
    ++state_.changeCount;
    return D3D_OK;
}

HRESULT DeviceBase::GetIndices(IDirect3DIndexBuffer9** indexData)
{
    if (!indexData)
        return D3DERR_INVALIDCALL;
    HandOut(state_.indices, indexData);
    return D3D_OK;
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

void DeviceBase::DiscardBackEndData(void* backEndData, ResourceKind kind)
{
    if (!backEndData)
        return;
    if (IsDrawingThread()) {
        BackEndReleaseData(backEndData, kind);
        return;
    }
    std::lock_guard<std::mutex> guard(deferredMutex_);
    deferredReleases_.emplace_back(backEndData, kind);
    hasDeferredReleases_.store(true, std::memory_order_release);
}

void DeviceBase::FlushDeferredReleases()
{
    if (!hasDeferredReleases_.load(std::memory_order_acquire))
        return;
    std::vector<std::pair<void*, ResourceKind>> pending;
    {
        std::lock_guard<std::mutex> guard(deferredMutex_);
        pending.swap(deferredReleases_);
        hasDeferredReleases_.store(false, std::memory_order_release);
    }
    for (const auto& [data, kind] : pending)
        BackEndReleaseData(data, kind);
}

HRESULT DeviceBase::ReadBackSurface(Surface* surface)
{
    if (!surface || !surface->IsRenderTarget() || !IsDrawingThread())
        return D3DERR_INVALIDCALL;
    if (lost_)
        return D3DERR_DEVICELOST;
    return BackEndReadSurface(surface);
}
