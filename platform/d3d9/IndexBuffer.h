#pragma once
// An index buffer of 16- or 32-bit indices kept in system memory, like VertexBuffer.

#include "d3d9/ResourceBase.h"

#include <vector>

class IndexBuffer : public IDirect3DIndexBuffer9, public ResourceBase {
public:
    IndexBuffer(DeviceBase* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool);

    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetDevice(IDirect3DDevice9** device) override;
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_INDEXBUFFER; }
    HRESULT Lock(UINT offsetToLock, UINT sizeToLock, void** data, DWORD flags) override;
    HRESULT Unlock() override;
    HRESULT GetDesc(D3DINDEXBUFFER_DESC* desc) override;

    UINT Size() const { return static_cast<UINT>(data_.size()); }
    DWORD Usage() const { return usage_; }
    D3DFORMAT Format() const { return format_; }
    UINT IndexSize() const { return format_ == D3DFMT_INDEX32 ? 4u : 2u; }
    UINT IndexCount() const { return Size() / IndexSize(); }
    const uint8_t* Data() const { return data_.data(); }
    bool IsLocked() const override { return lockCount_ > 0; }

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

    DWORD usage_;
    D3DFORMAT format_;
    UINT lockCount_ = 0;
    bool lockMayWrite_ = false;
    std::vector<uint8_t> data_;
    RangeAnswer answers_[REMEMBERED_RANGES];
    int nextAnswer_ = 0;
};
