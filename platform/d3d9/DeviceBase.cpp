// The device's lifetime, its swap chain, reset and present.
#include "d3d9/DeviceBase.h"
#include "d3d9/DeviceBaseShared.h"

#include "d3d9/HalCaps.h"
#include "d3d9/IndexBuffer.h"
#include "d3d9/PixelFormat.h"
#include "d3d9/ShaderProgram.h"
#include "d3d9/Surface.h"
#include "d3d9/Texture.h"
#include "d3d9/VertexBuffer.h"
#include "win32/Log.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <new>
#include <utility>

using namespace device_base;

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
    state_.scissorRect =
        RECT{0, 0, static_cast<LONG>(state_.viewport.Width), static_cast<LONG>(state_.viewport.Height)};
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
    ServeCopyRequests();
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

HRESULT DeviceBase::RestoreSystemCopy(ResourceBase* resource)
{
    if (!resource)
        return D3DERR_INVALIDCALL;
    if (IsDrawingThread())
        return BackEndRestoreCopy(resource);
    // Only the drawing thread may talk to the back end: ask it, and wait a while.
    constexpr auto PATIENCE = std::chrono::seconds(1);
    CopyRequest request{resource, D3DERR_INVALIDCALL, false};
    std::unique_lock<std::mutex> lock(copyRequestMutex_);
    copyRequests_.push_back(&request);
    hasCopyRequests_.store(true, std::memory_order_release);
    if (copyRequestDone_.wait_for(lock, PATIENCE, [&] { return request.done; }))
        return request.result;
    const auto queued = std::find(copyRequests_.begin(), copyRequests_.end(), &request);
    if (queued == copyRequests_.end()) {
        // Taken just now: the drawing thread is reading it.
        copyRequestDone_.wait(lock, [&] { return request.done; });
        return request.result;
    }
    copyRequests_.erase(queued);
    LogFormat(LogLevel::ERROR, "d3d9.lock",
              "d3d9: a lock off the drawing thread waited a second for the drawing thread to read the resource back; "
              "it fails");
    return D3DERR_INVALIDCALL;
}

void DeviceBase::ServeCopyRequests()
{
    if (!hasCopyRequests_.load(std::memory_order_acquire))
        return;
    for (;;) {
        CopyRequest* request = nullptr;
        {
            std::lock_guard<std::mutex> guard(copyRequestMutex_);
            if (copyRequests_.empty()) {
                hasCopyRequests_.store(false, std::memory_order_release);
                return;
            }
            request = copyRequests_.front();
            copyRequests_.erase(copyRequests_.begin());
        }
        const HRESULT result = BackEndRestoreCopy(request->resource);
        {
            std::lock_guard<std::mutex> guard(copyRequestMutex_);
            request->result = result;
            request->done = true;
        }
        copyRequestDone_.notify_all();
    }
}
