#include "d3d9/BufferBase.h"

#include "d3d9/DeviceBase.h"

#include <algorithm>

BufferBase::BufferBase(DeviceBase* device, ResourceKind kind, UINT length, DWORD usage, D3DPOOL pool)
    : ResourceBase(device, kind, pool, pool == D3DPOOL_DEFAULT, true), usage_(usage), data_(length, 0)
{ }

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
    const uint64_t size = data_.size();
    // A size of 0 locks everything from the offset on.
    if (offsetToLock > size || static_cast<uint64_t>(offsetToLock) + sizeToLock > size)
        return D3DERR_INVALIDCALL;
    std::lock_guard<std::mutex> guard(DataMutex());
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
