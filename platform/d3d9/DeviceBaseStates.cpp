// The transforms, viewport, render, stage and sampler states and the bound textures.
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

HRESULT DeviceBase::SetScissorRect(const RECT* rect)
{
    if (!rect || rect->left < 0 || rect->top < 0 || rect->right < rect->left || rect->bottom < rect->top)
        return D3DERR_INVALIDCALL;
    state_.scissorRect = *rect;
    ++state_.changeCount;
    return D3D_OK;
}

HRESULT DeviceBase::GetScissorRect(RECT* rect)
{
    if (!rect)
        return D3DERR_INVALIDCALL;
    *rect = state_.scissorRect;
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
