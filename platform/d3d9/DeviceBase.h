#pragma once
// The part of IDirect3DDevice9 that does not depend on how pixels are made: reference counts, the
// capability record, present parameters, every state with D3D9's defaults, resource creation, device
// loss rules, validation of clears and draws. A back end derives from it and implements the BackEnd*
// hooks below, all of which the core calls on the drawing thread (the thread that created the device).
//
// Thread rules: resource creation, Lock/Unlock and Release are safe from any thread (the loading thread
// creates textures while the main thread draws). Everything else is for the drawing thread.
//
// Life cycle of a back end, e.g. the null one:
//     auto* device = new NullDevice(d3d, adapter, window, behaviorFlags);   // sets caps via SetCaps()
//     HRESULT hr = device->Initialize(pp);   // validates pp, makes the back buffer, calls BackEndReset
//     if (FAILED(hr)) device->Release();      // runs Shutdown(): hooks still work during it
// The last Release calls Shutdown() (unbinds everything, drops the back buffer and depth surface,
// flushes deferred GPU releases through BackEndReleaseData, then BackEndShutdown) and deletes the
// object, so a derived destructor must not call hooks of its own.

#include "d3d9/ClearRequest.h"
#include "d3d9/DeviceState.h"
#include "d3d9/DrawCall.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

class Surface;
class Texture;
class VertexBuffer;
class IndexBuffer;
class ShaderProgram;
class ResourceBase;
enum class ResourceKind : uint32_t;

class DeviceBase : public IDirect3DDevice9
{
public:
    DeviceBase(const DeviceBase&) = delete;
    DeviceBase& operator=(const DeviceBase&) = delete;

    // Validates the present parameters (filling in what D3D fills in: a zero back-buffer count becomes 1,
    // D3DFMT_UNKNOWN in a window becomes X8R8G8B8, a zero size in a window becomes the window's client
    // size), creates the back buffer and automatic depth surface, sets the default state and calls
    // BackEndReset. Called once by the back end's factory.
    HRESULT Initialize(D3DPRESENT_PARAMETERS* presentationParameters);

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;

    HRESULT TestCooperativeLevel() override;
    UINT GetAvailableTextureMem() override;
    HRESULT GetDirect3D(IDirect3D9** d3d) override;
    HRESULT GetDeviceCaps(D3DCAPS9* caps) override;
    HRESULT GetDisplayMode(UINT swapChain, D3DDISPLAYMODE* mode) override;
    HRESULT Reset(D3DPRESENT_PARAMETERS* presentationParameters) override;
    HRESULT Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                    const void* dirtyRegion) override;
    HRESULT GetBackBuffer(UINT swapChain, UINT backBuffer, D3DBACKBUFFER_TYPE type,
                          IDirect3DSurface9** surface) override;

    HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                          IDirect3DTexture9** texture, HANDLE* sharedHandle) override;
    HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool, IDirect3DVertexBuffer9** vertexBuffer,
                               HANDLE* sharedHandle) override;
    HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DIndexBuffer9** indexBuffer, HANDLE* sharedHandle) override;
    HRESULT CreateRenderTarget(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE multiSample,
                               DWORD multisampleQuality, BOOL lockable, IDirect3DSurface9** surface,
                               HANDLE* sharedHandle) override;
    HRESULT CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE multiSample,
                                      DWORD multisampleQuality, BOOL discard, IDirect3DSurface9** surface,
                                      HANDLE* sharedHandle) override;

    HRESULT SetRenderTarget(DWORD renderTargetIndex, IDirect3DSurface9* renderTarget) override;
    HRESULT GetRenderTarget(DWORD renderTargetIndex, IDirect3DSurface9** renderTarget) override;
    HRESULT SetDepthStencilSurface(IDirect3DSurface9* newZStencil) override;
    HRESULT GetDepthStencilSurface(IDirect3DSurface9** zStencilSurface) override;
    HRESULT StretchRect(IDirect3DSurface9* sourceSurface, const RECT* sourceRect, IDirect3DSurface9* destSurface,
                        const RECT* destRect, D3DTEXTUREFILTERTYPE filter) override;

    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) override;

    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override;
    HRESULT SetViewport(const D3DVIEWPORT9* viewport) override;
    HRESULT GetViewport(D3DVIEWPORT9* viewport) override;
    HRESULT SetScissorRect(const RECT* rect) override;
    HRESULT GetScissorRect(RECT* rect) override;
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override;
    HRESULT GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) override;
    HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) override;
    HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) override;
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
    HRESULT GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) override;
    HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) override;

    HRESULT DrawPrimitive(D3DPRIMITIVETYPE primitiveType, UINT startVertex, UINT primitiveCount) override;
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE primitiveType, INT baseVertexIndex, UINT minVertexIndex,
                                 UINT numVertices, UINT startIndex, UINT primCount) override;
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE primitiveType, UINT primitiveCount, const void* vertexStreamZeroData,
                            UINT vertexStreamZeroStride) override;
    HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE primitiveType, UINT minVertexIndex, UINT numVertices,
                                   UINT primitiveCount, const void* indexData, D3DFORMAT indexDataFormat,
                                   const void* vertexStreamZeroData, UINT vertexStreamZeroStride) override;

    HRESULT SetFVF(DWORD fvf) override;
    HRESULT GetFVF(DWORD* fvf) override;
    HRESULT SetVertexShader(IDirect3DVertexShader9* shader) override;
    HRESULT SetPixelShader(IDirect3DPixelShader9* shader) override;
    HRESULT SetStreamSource(UINT streamNumber, IDirect3DVertexBuffer9* streamData, UINT offsetInBytes,
                            UINT stride) override;
    HRESULT GetStreamSource(UINT streamNumber, IDirect3DVertexBuffer9** streamData, UINT* offsetInBytes,
                            UINT* stride) override;
    HRESULT SetIndices(IDirect3DIndexBuffer9* indexData) override;
    HRESULT GetIndices(IDirect3DIndexBuffer9** indexData) override;

    HRESULT CreateShaderProgram(const char* vertexSource, const char* fragmentSource,
                                IShaderProgram** program) override;
    HRESULT SetShaderProgram(IShaderProgram* program) override;
    HRESULT GetShaderProgram(IShaderProgram** program) override;

    // For the back ends and tests.
    const DeviceState& State() const { return state_; }
    const D3DPRESENT_PARAMETERS& PresentParameters() const { return presentParameters_; }
    const D3DCAPS9& Caps() const { return caps_; }
    Surface* BackBufferSurface() const { return backBuffer_; }
    Surface* AutoDepthSurface() const { return autoDepth_; }
    HWND Window() const { return window_; }
    DWORD BehaviorFlags() const { return behaviorFlags_; }
    bool InScene() const { return inScene_; }
    bool IsDrawingThread() const { return std::this_thread::get_id() == drawingThread_; }
    // D3DPOOL_DEFAULT resources the caller still holds (what makes Reset fail).
    UINT LiveDefaultResources() const { return liveDefaultResources_.load(); }

    // Called by ResourceBase; not for general use.
    void OnDefaultResourceGained() { liveDefaultResources_.fetch_add(1); }
    void OnDefaultResourceLost() { liveDefaultResources_.fetch_sub(1); }
    // A dying resource's back-end object: handed to BackEndReleaseData now on the drawing thread, or
    // kept until the next draw, clear, present or reset there.
    void DiscardBackEndData(void* backEndData, ResourceKind kind);
    // Reads a render target's (or the back buffer's) drawn pixels into its system copy. Drawing thread.
    HRESULT ReadBackSurface(Surface* surface);
    // Gives a texture level or a buffer whose copy the back end dropped its bytes back, read from the back
    // end. Any thread: another thread waits while the drawing thread reads at its next draw, clear or
    // present, and gives up with D3DERR_INVALIDCALL (and a message) if none comes within a second.
    HRESULT RestoreSystemCopy(ResourceBase* resource);

protected:
    // d3d: the Direct3D object (referenced for the device's life); window: the device window (the
    // present parameters' hDeviceWindow, or the focus window when that is null).
    DeviceBase(IDirect3D9* d3d, UINT adapter, HWND window, DWORD behaviorFlags);
    virtual ~DeviceBase();

    // The capability record GetDeviceCaps reports. Call from the back end's constructor.
    void SetCaps(const D3DCAPS9& caps) { caps_ = caps; }
    void SetAvailableTextureMem(UINT bytes) { availableTextureMem_ = bytes; }

    // Clears the current render target / depth surface as the request says.
    virtual HRESULT BackEndClear(const ClearRequest& request) = 0;
    // Draws with the current state (State()) and the resolved geometry.
    virtual HRESULT BackEndDraw(const DrawCall& call) = 0;
    // Shows the back buffer.
    virtual HRESULT BackEndPresent() = 0;
    // The scene is complete: the back end may start drawing it rather than wait for the Present.
    virtual void BackEndEndScene() { }
    // Called by Initialize (first = true) and by every Reset, after the new back buffer and automatic
    // depth surface exist (BackBufferSurface(), AutoDepthSurface(); the old ones are gone) and with
    // PresentParameters() already the new ones. On failure the device stays lost until a Reset works.
    virtual HRESULT BackEndReset(const D3DPRESENT_PARAMETERS& presentationParameters, bool first) = 0;
    // Copies the drawn pixels of a render target or the back buffer into surface->Bits() (top-down rows
    // of surface->Pitch() bytes in surface->Format()).
    virtual HRESULT BackEndReadSurface(Surface* surface) = 0;
    // Copies source onto destination: two colour surfaces or two depth-stencil surfaces of one size and format,
    // whole (StretchRect has checked them).
    virtual HRESULT BackEndCopySurface(Surface* source, Surface* destination) = 0;
    // Reads the bytes of a texture level (a Surface whose Container() is set) or a buffer whose copy this
    // back end dropped, and hands them back with AdoptCopy. Only a back end that drops copies is asked.
    virtual HRESULT BackEndRestoreCopy(ResourceBase* /*resource*/) { return D3DERR_INVALIDCALL; }
    // Frees what a resource's backEndData points at (the resource is already gone).
    virtual void BackEndReleaseData(void* backEndData, ResourceKind kind) = 0;
    // Makes a program object; the null back end returns a plain ShaderProgram.
    virtual HRESULT BackEndCreateShaderProgram(const char* vertexSource, const char* fragmentSource,
                                               ShaderProgram** program) = 0;
    // Last words before the object is deleted (all resources of the device are gone by then).
    virtual void BackEndShutdown() { }

private:
    void Shutdown();
    HRESULT ValidatePresentParameters(D3DPRESENT_PARAMETERS* pp) const;
    HRESULT CreateSwapChainSurfaces();
    void ReleaseSwapChainSurfaces();
    void UnbindAll();
    void BindDefaults();
    void FlushDeferredReleases();
    // Reads back the copies other threads wait for (see RestoreSystemCopy). Drawing thread.
    void ServeCopyRequests();
    HRESULT SubmitDraw(DrawCall& call);
    // What every draw checks first: the drawing thread, a known primitive type, a count within the caps.
    bool DrawArgumentsValid(D3DPRIMITIVETYPE primitiveType, UINT primitiveCount) const;
    // A draw that does nothing and succeeds: no primitives, a lost device, no FVF or no render target.
    bool NothingToDraw(UINT primitiveCount) const;
    // Decodes the FVF into the call with the fields every draw shares; D3DERR_INVALIDCALL when the FVF
    // is not valid or the stride is shorter than its vertex.
    HRESULT StartDrawCall(D3DPRIMITIVETYPE primitiveType, UINT primitiveCount, UINT stride, DrawCall* call) const;
    void UnbindStreamZero();
    // The state behind a Set/Get pair; null for a state or stage that does not exist.
    D3DMATRIX* TransformSlot(D3DTRANSFORMSTATETYPE state);
    DWORD* RenderStateSlot(D3DRENDERSTATETYPE state);
    DWORD* StageStateSlot(DWORD stage, D3DTEXTURESTAGESTATETYPE type);
    DWORD* SamplerStateSlot(DWORD sampler, D3DSAMPLERSTATETYPE type);
    HRESULT WriteState(DWORD* slot, DWORD value);
    static HRESULT ReadState(const DWORD* slot, DWORD* value);
    HRESULT CreateStandaloneSurface(UINT width, UINT height, D3DFORMAT format, DWORD usage,
                                    D3DMULTISAMPLE_TYPE multiSample, DWORD multisampleQuality,
                                    IDirect3DSurface9** surface, HANDLE* sharedHandle);
    void FullViewport();

    std::atomic<ULONG> refs_{1};
    IDirect3D9* d3d_;
    UINT adapter_;
    HWND window_;
    DWORD behaviorFlags_;
    std::thread::id drawingThread_;
    D3DCAPS9 caps_{};
    UINT availableTextureMem_ = 256u << 20;
    D3DPRESENT_PARAMETERS presentParameters_{};
    bool initialized_ = false;
    bool lost_ = false;
    bool inScene_ = false;
    bool shuttingDown_ = false;
    DeviceState state_{};
    Surface* backBuffer_ = nullptr;
    Surface* autoDepth_ = nullptr;
    std::atomic<UINT> liveDefaultResources_{0};
    std::mutex deferredMutex_;
    std::vector<std::pair<void*, ResourceKind>> deferredReleases_;
    std::atomic<bool> hasDeferredReleases_{false};
    struct CopyRequest {
        ResourceBase* resource;
        HRESULT result;
        bool done;
    };
    std::mutex copyRequestMutex_;
    std::condition_variable copyRequestDone_;
    std::vector<CopyRequest*> copyRequests_;
    std::atomic<bool> hasCopyRequests_{false};
    std::vector<RECT> clearRects_;
};
