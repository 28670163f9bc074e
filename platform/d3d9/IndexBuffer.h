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
    // While the back end holds the indices instead of the copy, the answer is the smallest and largest index
    // of the whole buffer, which bound every range: *exact is then false (a draw they would refuse must have
    // the copy back and ask again). exact may be null.
    bool IndexRange(UINT start, UINT count, UINT* minIndex, UINT* maxIndex, bool* exact = nullptr);

protected:
    void BeforeCopyDropped() override;

private:
    // The smallest and largest of count indices from start in the copy. With DataMutex() held.
    void ScanRange(UINT start, UINT count, UINT* minIndex, UINT* maxIndex) const;

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
    UINT wholeMin_ = 0;
    UINT wholeMax_ = 0;
};
