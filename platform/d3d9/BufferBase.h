#pragma once
// What vertex and index buffers share: a system-memory copy of their bytes, the usage they were made
// with, and Lock/Unlock on that copy. Locks with 0 or D3DLOCK_DISCARD both write through to the copy,
// so the contents read back after Unlock are what was written; the back end uploads the copy when
// ChangeCount() has moved on. Once uploaded, the back end may drop the copy of a buffer that is not
// dynamic; a later lock has the bytes read back first, and the buffer keeps its copy from then on.

#include "d3d9/ResourceBase.h"

#include <vector>

class BufferBase : public ResourceBase
{
public:
    UINT Size() const { return size_; }
    DWORD Usage() const { return usage_; }
    // The contents (null while the back end holds them instead); read with DataMutex() held (or on the
    // drawing thread while nothing else locks).
    const uint8_t* Data() const { return data_.empty() ? nullptr : data_.data(); }
    bool IsLocked() const override { return lockCount_ > 0; }
    // The bytes written through locks since the range was last taken, as [*begin, *end); false when none
    // were. The back end takes it (with DataMutex() held) to send only what changed.
    bool TakeDirtyRange(UINT* begin, UINT* end);

    // The back end's side of dropping the copy, each with DataMutex() held. DropCopy frees the bytes of an
    // unlocked buffer that may lose them (not dynamic, never locked since a drop), which the back end keeps
    // from then on; false when it kept them. AdoptCopy hands back the bytes read from the back end (exactly
    // Size() of them); false when they do not fit.
    bool DropCopy();
    bool IsCopyDropped() const { return copyDropped_; }
    bool AdoptCopy(std::vector<uint8_t>&& bytes);

protected:
    BufferBase(DeviceBase* device, ResourceKind kind, UINT length, DWORD usage, D3DPOOL pool);
    ~BufferBase() override;
    // Called by DropCopy with DataMutex() held, while the copy is still there: what the buffer needs to
    // know of its contents without them.
    virtual void BeforeCopyDropped() { }

    // The interfaces' GetDevice, Lock and Unlock.
    HRESULT GetDeviceRef(IDirect3DDevice9** device);
    HRESULT LockBytes(UINT offsetToLock, UINT sizeToLock, void** data, DWORD flags);
    HRESULT UnlockBytes();

private:
    DWORD usage_;
    UINT size_;
    bool copyDropped_ = false;
    bool keepsCopy_ = false;
    UINT lockCount_ = 0;
    bool lockMayWrite_ = false;
    UINT dirtyBegin_ = 0;
    UINT dirtyEnd_ = 0;
    std::vector<uint8_t> data_;
};
