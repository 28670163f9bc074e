// Scenes, clears, draw calls and the vertex input they read.
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
    if (IsDrawingThread())
        BackEndEndScene();
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

    // Everything is clipped to the viewport, which lies inside the render target, and to the scissor rectangle
    // while its test is on.
    const LONG targetWidth = static_cast<LONG>(target->Width());
    const LONG targetHeight = static_cast<LONG>(target->Height());
    const D3DVIEWPORT9& vp = state_.viewport;
    RECT bounds{std::min<LONG>(static_cast<LONG>(vp.X), targetWidth),
                std::min<LONG>(static_cast<LONG>(vp.Y), targetHeight),
                std::min<LONG>(static_cast<LONG>(vp.X + vp.Width), targetWidth),
                std::min<LONG>(static_cast<LONG>(vp.Y + vp.Height), targetHeight)};
    if (state_.renderStates[D3DRS_SCISSORTESTENABLE]) {
        const RECT& s = state_.scissorRect;
        bounds = RECT{std::max(bounds.left, s.left), std::max(bounds.top, s.top), std::min(bounds.right, s.right),
                      std::min(bounds.bottom, s.bottom)};
    }
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
    const uint64_t size = vb->Size();
    const uint64_t available = size >= static_cast<uint64_t>(call.vertexOffset) + call.layout.stride
                                   ? (size - call.vertexOffset - call.layout.stride) / call.stride + 1
                                   : 0;
    const auto reachesOutside = [&](UINT lowest, UINT highest) {
        const int64_t first = static_cast<int64_t>(lowest) + baseVertexIndex;
        const int64_t last = static_cast<int64_t>(highest) + baseVertexIndex;
        return first < 0 || last >= static_cast<int64_t>(available);
    };
    UINT lowest = 0;
    UINT highest = 0;
    bool exact = true;
    if (!ib->IndexRange(startIndex, call.indexCount, &lowest, &highest, &exact))
        return D3DERR_INVALIDCALL;
    if (!exact && reachesOutside(lowest, highest)) {
        // The whole buffer's bounds are too wide to tell: the range itself decides, from the copy.
        if (FAILED(RestoreSystemCopy(ib)) || !ib->IndexRange(startIndex, call.indexCount, &lowest, &highest, &exact))
            return D3DERR_INVALIDCALL;
    }
    if (reachesOutside(lowest, highest))
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
