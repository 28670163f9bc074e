#pragma once
// An index buffer of 16- or 32-bit indices kept in system memory (see BufferBase).

#include "d3d9/BufferBase.h"

class IndexBuffer : public IDirect3DIndexBuffer9, public BufferBase
{
public:
    IndexBuffer(DeviceBase* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool);

    ULONG AddRef() override { return AddExternalRef(); }
    ULONG Release() override { return ReleaseExternalRef(); }
    HRESULT GetDevice(IDirect3DDevice9** device) override { return GetDeviceRef(device); }
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_INDEXBUFFER; }
    HRESULT Lock(UINT offsetToLock, UINT sizeToLock, void** data, DWORD flags) override
    {
        return LockBytes(offsetToLock, sizeToLock, data, flags);
    }
    HRESULT Unlock() override { return UnlockBytes(); }
    HRESULT GetDesc(D3DINDEXBUFFER_DESC* desc) override;

    D3DFORMAT Format() const { return format_; }
    UINT IndexSize() const { return format_ == D3DFMT_INDEX32 ? 4u : 2u; }
    UINT IndexCount() const { return Size() / IndexSize(); }

    // The smallest and largest of count indices from start; false when the range passes the end. Draws
    // check them so that no index reaches outside the vertex buffer. The last answers are remembered
    // until the contents change, so a buffer drawn the same way every frame is scanned once.
    bool IndexRange(UINT start, UINT count, UINT* minIndex, UINT* maxIndex);

private:
    struct RangeAnswer {
        uint64_t changeCount = 0;
        UINT start = 0;
        UINT count = 0;
        UINT minIndex = 0;
        UINT maxIndex = 0;
    };
    static constexpr int REMEMBERED_RANGES = 8;

    D3DFORMAT format_;
    RangeAnswer answers_[REMEMBERED_RANGES];
    int nextAnswer_ = 0;
};
