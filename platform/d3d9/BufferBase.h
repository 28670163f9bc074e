#pragma once
// What vertex and index buffers share: a system-memory copy of their bytes, the usage they were made
// with, and Lock/Unlock on that copy. Locks with 0 or D3DLOCK_DISCARD both write through to the copy,
// so the contents read back after Unlock are what was written; the back end uploads the copy when
// ChangeCount() has moved on.

#include "d3d9/ResourceBase.h"

#include <vector>

class BufferBase : public ResourceBase
{
public:
    UINT Size() const { return static_cast<UINT>(data_.size()); }
    DWORD Usage() const { return usage_; }
    // The contents; read with DataMutex() held (or on the drawing thread while nothing else locks).
    const uint8_t* Data() const { return data_.data(); }
    bool IsLocked() const override { return lockCount_ > 0; }
    // The bytes written through locks since the range was last taken, as [*begin, *end); false when none
    // were. The back end takes it (with DataMutex() held) to send only what changed.
    bool TakeDirtyRange(UINT* begin, UINT* end);

protected:
    BufferBase(DeviceBase* device, ResourceKind kind, UINT length, DWORD usage, D3DPOOL pool);

    // The interfaces' GetDevice, Lock and Unlock.
    HRESULT GetDeviceRef(IDirect3DDevice9** device);
    HRESULT LockBytes(UINT offsetToLock, UINT sizeToLock, void** data, DWORD flags);
    HRESULT UnlockBytes();

private:
    DWORD usage_;
    UINT lockCount_ = 0;
    bool lockMayWrite_ = false;
    UINT dirtyBegin_ = 0;
    UINT dirtyEnd_ = 0;
    std::vector<uint8_t> data_;
};
