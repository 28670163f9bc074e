#include "d3d9/IndexBuffer.h"

#include "d3d9/DeviceBase.h"

#include <cstring>

IndexBuffer::IndexBuffer(DeviceBase* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool)
    : ResourceBase(device, ResourceKind::INDEXBUFFER, pool, pool == D3DPOOL_DEFAULT, true), usage_(usage),
      format_(format), data_(length, 0)
{
}

ULONG IndexBuffer::AddRef()
{
    return AddExternalRef();
}

ULONG IndexBuffer::Release()
{
    return ReleaseExternalRef();
}

HRESULT IndexBuffer::GetDevice(IDirect3DDevice9** device)
{
    if (!device)
        return D3DERR_INVALIDCALL;
    *device = Device();
    Device()->AddRef();
    return D3D_OK;
}

HRESULT IndexBuffer::Lock(UINT offsetToLock, UINT sizeToLock, void** data, DWORD flags)
{
    if (!data)
        return D3DERR_INVALIDCALL;
    *data = nullptr;
    const uint64_t size = data_.size();
    if (offsetToLock > size || static_cast<uint64_t>(offsetToLock) + sizeToLock > size)
        return D3DERR_INVALIDCALL;
    std::lock_guard<std::mutex> guard(DataMutex());
    ++lockCount_;
    if (!(flags & D3DLOCK_READONLY))
        lockMayWrite_ = true;
    *data = data_.data() + offsetToLock;
    return D3D_OK;
}

HRESULT IndexBuffer::Unlock()
{
    std::lock_guard<std::mutex> guard(DataMutex());
    if (lockCount_ == 0)
        return D3DERR_INVALIDCALL;
    if (--lockCount_ == 0 && lockMayWrite_) {
        lockMayWrite_ = false;
        MarkChanged();
    }
    return D3D_OK;
}

HRESULT IndexBuffer::GetDesc(D3DINDEXBUFFER_DESC* desc)
{
    if (!desc)
        return D3DERR_INVALIDCALL;
    desc->Format = format_;
    desc->Type = D3DRTYPE_INDEXBUFFER;
    desc->Usage = usage_;
    desc->Pool = Pool();
    desc->Size = Size();
    return D3D_OK;
}

bool IndexBuffer::IndexRange(UINT start, UINT count, UINT* minIndex, UINT* maxIndex)
{
    if (count == 0 || static_cast<uint64_t>(start) + count > IndexCount())
        return false;
    std::lock_guard<std::mutex> guard(DataMutex());
    const uint64_t changes = ChangeCount();
    for (const RangeAnswer& answer : answers_) {
        if (answer.changeCount == changes && answer.start == start && answer.count == count) {
            *minIndex = answer.minIndex;
            *maxIndex = answer.maxIndex;
            return true;
        }
    }
    UINT lowest = 0xFFFFFFFFu;
    UINT highest = 0;
    if (format_ == D3DFMT_INDEX32) {
        for (UINT i = 0; i < count; ++i) {
            uint32_t index;
            std::memcpy(&index, data_.data() + (static_cast<size_t>(start) + i) * 4, sizeof(index));
            lowest = index < lowest ? index : lowest;
            highest = index > highest ? index : highest;
        }
    } else {
        for (UINT i = 0; i < count; ++i) {
            uint16_t index;
            std::memcpy(&index, data_.data() + (static_cast<size_t>(start) + i) * 2, sizeof(index));
            lowest = index < lowest ? index : lowest;
            highest = index > highest ? index : highest;
        }
    }
    answers_[nextAnswer_] = RangeAnswer{changes, start, count, lowest, highest};
    nextAnswer_ = (nextAnswer_ + 1) % REMEMBERED_RANGES;
    *minIndex = lowest;
    *maxIndex = highest;
    return true;
}
