#include "d3d9/BufferBase.h"

#include "d3d9/DeviceBase.h"

#include <algorithm>

BufferBase::BufferBase(DeviceBase* device, ResourceKind kind, UINT length, DWORD usage, D3DPOOL pool)
    : ResourceBase(device, kind, pool, pool == D3DPOOL_DEFAULT, true), usage_(usage), size_(length), data_(length, 0)
{
    CountSystemCopy(static_cast<ptrdiff_t>(data_.size()));
}

BufferBase::~BufferBase()
{
    CountSystemCopy(-static_cast<ptrdiff_t>(data_.size()));
}

bool BufferBase::DropCopy()
{
    if (lockCount_ > 0 || keepsCopy_ || (usage_ & D3DUSAGE_DYNAMIC) || data_.empty())
        return false;
    BeforeCopyDropped();
    CountSystemCopy(-static_cast<ptrdiff_t>(data_.size()));
    std::vector<uint8_t>().swap(data_);
    copyDropped_ = true;
    return true;
}

bool BufferBase::AdoptCopy(std::vector<uint8_t>&& bytes)
{
    if (!copyDropped_ || bytes.size() != size_)
        return false;
    data_ = std::move(bytes);
    CountSystemCopy(static_cast<ptrdiff_t>(data_.size()));
    copyDropped_ = false;
    keepsCopy_ = true;
    return true;
}

HRESULT BufferBase::GetDeviceRef(IDirect3DDevice9** device)
{
    if (!device)
        return D3DERR_INVALIDCALL;
    *device = Device();
    Device()->AddRef();
    return D3D_OK;
}

HRESULT BufferBase::LockBytes(UINT offsetToLock, UINT sizeToLock, void** data, DWORD flags)
{
    if (!data)
        return D3DERR_INVALIDCALL;
    *data = nullptr;
    const uint64_t size = size_;
    // A size of 0 locks everything from the offset on.
    if (offsetToLock > size || static_cast<uint64_t>(offsetToLock) + sizeToLock > size)
        return D3DERR_INVALIDCALL;
    // A buffer whose copy the back end dropped gets its bytes back first, whatever the flags: a lock of
    // part of it must not leave the rest of the copy blank. It keeps the copy from then on, so the second
    // pass finds it (unless the read failed).
    for (int pass = 0;; ++pass) {
        {
            std::lock_guard<std::mutex> guard(DataMutex());
            if (!copyDropped_) {
                ++lockCount_;
                if (!(flags & D3DLOCK_READONLY)) {
                    lockMayWrite_ = true;
                    const UINT end = sizeToLock ? offsetToLock + sizeToLock : static_cast<UINT>(size);
                    if (dirtyBegin_ >= dirtyEnd_) {
                        dirtyBegin_ = offsetToLock;
                        dirtyEnd_ = end;
                    } else {
                        dirtyBegin_ = std::min(dirtyBegin_, offsetToLock);
                        dirtyEnd_ = std::max(dirtyEnd_, end);
                    }
                }
                *data = data_.data() + offsetToLock;
                return D3D_OK;
            }
        }
        if (pass > 0)
            return D3DERR_INVALIDCALL;
        const HRESULT hr = Device()->RestoreSystemCopy(this);
        if (FAILED(hr))
            return hr;
    }
}

HRESULT BufferBase::UnlockBytes()
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

bool BufferBase::TakeDirtyRange(UINT* begin, UINT* end)
{
    const bool any = dirtyBegin_ < dirtyEnd_;
    if (begin)
        *begin = dirtyBegin_;
    if (end)
        *end = dirtyEnd_;
    dirtyBegin_ = dirtyEnd_ = 0;
    return any;
}
