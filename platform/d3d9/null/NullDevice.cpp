#include "d3d9/null/NullDevice.h"

#include "d3d9/BackEnds.h"
#include "d3d9/HalCaps.h"
#include "d3d9/PixelFormat.h"
#include "d3d9/ShaderProgram.h"
#include "d3d9/Surface.h"
#include "d3d9/Texture.h"
#include "win32/WindowBridge.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>

namespace {

std::mutex& ConfigMutex()
{
    static std::mutex mutex;
    return mutex;
}

NullDeviceConfig& ConfigStore()
{
    static NullDeviceConfig config;
    return config;
}

} // namespace

void NullDevice::SetConfig(const NullDeviceConfig& config)
{
    std::lock_guard<std::mutex> guard(ConfigMutex());
    ConfigStore() = config;
}

void NullDevice::ResetForTests()
{
    SetConfig(NullDeviceConfig{});
}

NullDeviceConfig NullDevice::Config()
{
    std::lock_guard<std::mutex> guard(ConfigMutex());
    return ConfigStore();
}

void NullDevice::FillCaps(D3DCAPS9* caps)
{
    FillHalCaps(D3DADAPTER_DEFAULT, caps);
    ApplyNullDeviceCaps(caps);
}

void ApplyNullDeviceCaps(D3DCAPS9* caps)
{
    if (!caps)
        return;
    const NullDeviceConfig config = NullDevice::Config();
    caps->PixelShaderVersion = config.pixelShaderVersion;
    caps->VertexShaderVersion = config.vertexShaderVersion;
    caps->MaxTextureWidth = config.maxTextureWidth;
    caps->MaxTextureHeight = config.maxTextureHeight;
    caps->DevCaps = config.devCaps;
}

IDirect3DDevice9* CreateNullDevice(IDirect3D9* d3d, HWND window, DWORD behaviorFlags, D3DPRESENT_PARAMETERS* pp,
                                   HRESULT* result)
{
    HRESULT ignored;
    if (!result)
        result = &ignored;
    const NullDeviceConfig config = NullDevice::Config();
    if (config.failCreateDevice) {
        *result = config.createDeviceResult;
        return nullptr;
    }
    NullDevice* device = nullptr;
    try {
        device = new NullDevice(d3d, window, behaviorFlags);
    } catch (const std::bad_alloc&) {
        *result = E_OUTOFMEMORY;
        return nullptr;
    }
    *result = device->Initialize(pp);
    if (FAILED(*result)) {
        device->Release();
        return nullptr;
    }
    return device;
}

NullDevice::NullDevice(IDirect3D9* d3d, HWND window, DWORD behaviorFlags)
    : DeviceBase(d3d, D3DADAPTER_DEFAULT, window, behaviorFlags)
{
    D3DCAPS9 caps;
    FillCaps(&caps);
    SetCaps(caps);
    SetAvailableTextureMem(Config().availableTextureMem);
}

UINT NullDevice::DrawCountOf(D3DPRIMITIVETYPE type) const
{
    return type < PRIMITIVE_TYPES ? drawsByType_[type] : 0;
}

void NullDevice::ResetCounters()
{
    drawCount_ = 0;
    primitiveTotal_ = 0;
    for (UINT& count : drawsByType_)
        count = 0;
    lastDraw_ = DrawRecord{};
    draws_.clear();
    clearCount_ = 0;
    lastClear_ = ClearRecord{};
    presentCount_ = 0;
    copyCount_ = 0;
    resetCount_ = 0;
    scenesEnded_ = 0;
}

HRESULT NullDevice::BackEndClear(const ClearRequest& request)
{
    ++clearCount_;
    lastClear_.flags = request.flags;
    lastClear_.color = request.color;
    lastClear_.z = request.z;
    lastClear_.stencil = request.stencil;
    lastClear_.rectCount = request.rectCount;
    lastClear_.firstRect = request.rects[0];
    Surface* target = request.renderTarget;
    if ((request.flags & D3DCLEAR_TARGET) && target) {
        std::lock_guard<std::mutex> guard(target->DataMutex());
        // Without a GPU the memory copy is where a clear lands.
        if (!target->MakeBits())
            return D3D_OK;
        for (UINT i = 0; i < request.rectCount; ++i)
            PixelFormat::FillRect(target->Bits(), target->Pitch(), target->Format(), request.rects[i], request.color);
        target->MarkChanged();
    }
    return D3D_OK;
}

HRESULT NullDevice::BackEndDraw(const DrawCall& call)
{
    ++drawCount_;
    primitiveTotal_ += call.primitiveCount;
    if (call.primitiveType < PRIMITIVE_TYPES)
        ++drawsByType_[call.primitiveType];
    lastDraw_.primitiveType = call.primitiveType;
    lastDraw_.primitiveCount = call.primitiveCount;
    lastDraw_.fvf = call.fvf;
    lastDraw_.indexed = call.indexed;
    lastDraw_.userPointer = call.vertexData != nullptr;
    lastDraw_.vertexCount = call.indexed ? call.indexCount : call.vertexCount;
    lastDraw_.program = call.program;
    lastDraw_.texture0 = State().textures[0];
    lastDraw_.renderTarget = State().renderTarget;
    lastDraw_.blendOp = State().renderStates[D3DRS_BLENDOP];
    lastDraw_.destBlend = State().renderStates[D3DRS_DESTBLEND];
    lastDraw_.zWriteEnable = State().renderStates[D3DRS_ZWRITEENABLE];
    lastDraw_.alphaBlendEnable = State().renderStates[D3DRS_ALPHABLENDENABLE];
    lastDraw_.alphaTestEnable = State().renderStates[D3DRS_ALPHATESTENABLE];
    lastDraw_.zEnable = State().renderStates[D3DRS_ZENABLE];
    lastDraw_.zFunc = State().renderStates[D3DRS_ZFUNC];
    lastDraw_.stencilEnable = State().renderStates[D3DRS_STENCILENABLE];
    lastDraw_.stencilFunc = State().renderStates[D3DRS_STENCILFUNC];
    lastDraw_.stencilRef = State().renderStates[D3DRS_STENCILREF];
    lastDraw_.stencilPass = State().renderStates[D3DRS_STENCILPASS];
    lastDraw_.colorWriteEnable = State().renderStates[D3DRS_COLORWRITEENABLE];
    lastDraw_.fogEnable = State().renderStates[D3DRS_FOGENABLE];
    lastDraw_.mipFilter0 = State().samplerStates[0][D3DSAMP_MIPFILTER];
    lastDraw_.minZ = State().viewport.MinZ;
    lastDraw_.scissor = State().renderStates[D3DRS_SCISSORTESTENABLE] != FALSE;
    lastDraw_.scissorRect = State().scissorRect;
    lastDraw_.maxZ = State().viewport.MaxZ;
    lastDraw_.scenesEnded = scenesEnded_;
    if (keepDraws_)
        draws_.push_back(lastDraw_);
    return D3D_OK;
}

HRESULT NullDevice::BackEndPresent()
{
    ++presentCount_;
    return D3D_OK;
}

HRESULT NullDevice::BackEndReset(const D3DPRESENT_PARAMETERS& presentationParameters, bool first)
{
    if (!first)
        ++resetCount_;
    // Full screen and pointer positions in back-buffer pixels are the window's, whichever device draws.
    if (Window()) {
        WindowBridge::SetSuppressSizeEvents(true);
        WindowBridge::SetFullscreen(Window(), !presentationParameters.Windowed);
        WindowBridge::SetBackBufferSize(Window(), static_cast<int>(presentationParameters.BackBufferWidth),
                                        static_cast<int>(presentationParameters.BackBufferHeight));
        WindowBridge::SetSuppressSizeEvents(false);
    }
    return D3D_OK;
}

HRESULT NullDevice::BackEndCopySurface(Surface* source, Surface* destination)
{
    ++copyCount_;
    // Depth is not kept without a GPU; colour lives in the memory copies, where clears land.
    if (source->IsDepthStencil())
        return D3D_OK;
    std::scoped_lock guard(source->DataMutex(), destination->DataMutex());
    if (!source->MakeBits() || !destination->MakeBits())
        return D3D_OK;
    const size_t rowBytes = static_cast<size_t>(std::min(source->Pitch(), destination->Pitch()));
    for (UINT row = 0; row < source->Height(); ++row)
        std::memcpy(destination->Bits() + static_cast<size_t>(row) * static_cast<size_t>(destination->Pitch()),
                    source->Bits() + static_cast<size_t>(row) * static_cast<size_t>(source->Pitch()), rowBytes);
    destination->MarkChanged();
    return D3D_OK;
}

HRESULT NullDevice::BackEndReadSurface(Surface*)
{
    // The system copy is where the null device draws: there is nothing further to read.
    return D3D_OK;
}

void NullDevice::BackEndReleaseData(void*, ResourceKind)
{
    // The null device never hangs anything on a resource.
}

HRESULT NullDevice::BackEndCreateShaderProgram(const char* vertexSource, const char* fragmentSource,
                                               ShaderProgram** program)
{
    *program = new ShaderProgram(this, vertexSource, fragmentSource);
    return D3D_OK;
}
