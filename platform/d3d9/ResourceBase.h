#pragma once
// What every object the device creates has in common: honest reference counts, the pool, a lock for
// the system-memory copy, a change counter and a slot for the back end's GPU object.
//
// Two kinds of reference: external ones are the caller's (AddRef/Release, Get* results); internal ones
// are the device's own (a bound texture, the current render target). A resource dies when both reach
// zero. While a resource has external references it holds one reference on its device, so the device
// outlives everything the caller still holds. Only external references of D3DPOOL_DEFAULT resources
// keep Reset from succeeding: a resource the caller has released but the device still has bound is
// unbound by the Reset itself.

#include "d3d9/D3D9.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

class DeviceBase;

enum class ResourceKind : uint32_t
{
    SURFACE,
    TEXTURE,
    VERTEXBUFFER,
    INDEXBUFFER,
    SHADERPROGRAM,
};

class ResourceBase
{
public:
    ResourceBase(const ResourceBase&) = delete;
    ResourceBase& operator=(const ResourceBase&) = delete;

    DeviceBase* Device() const { return device_; }
    ResourceKind Kind() const { return kind_; }
    D3DPOOL Pool() const { return pool_; }

    // The back end's GPU object for this resource, created lazily on the drawing thread and only ever
    // touched there. When the resource dies the device hands the pointer to
    // DeviceBase::ReleaseBackEndData on the drawing thread (deferred to the next draw, clear, present
    // or reset when the resource dies on another thread).
    void* backEndData = nullptr;
    // What the back end last uploaded; compare with ChangeCount() to know when to upload again.
    uint64_t backEndVersion = 0;

    // Guards the system-memory copy, the lock state and the change counter. The drawing thread holds it
    // while it reads the copy to upload it; creation and Lock/Unlock take it on any thread.
    std::mutex& DataMutex() { return *dataMutex_; }
    // Bumps whenever the system-memory copy changes (an unlock that could have written, a clear in the
    // null back end). Starts at 1 so a fresh resource always differs from backEndVersion 0.
    uint64_t ChangeCount() const { return changeCount_->load(std::memory_order_acquire); }
    void MarkChanged() { changeCount_->fetch_add(1, std::memory_order_acq_rel); }
    // True between Lock and Unlock: the copy may be half written, so the back end should not upload it.
    // Call with DataMutex() held.
    virtual bool IsLocked() const { return false; }

    ULONG AddExternalRef();
    ULONG ReleaseExternalRef();
    void AddInternalRef();
    void ReleaseInternalRef();
    ULONG ExternalRefCount() const;

    // Bytes of system-memory copies that all resources hold right now: what a back end saves by dropping the
    // copies it no longer needs shows here.
    static size_t SystemCopyBytes();

protected:
    // countsTowardReset: a D3DPOOL_DEFAULT resource the caller must release before Reset. The device's
    // own back buffer and depth surface pass false. startWithExternalRef: the creator's reference (the
    // device's own surfaces start with one internal reference instead).
    ResourceBase(DeviceBase* device, ResourceKind kind, D3DPOOL pool, bool countsTowardReset,
                 bool startWithExternalRef);
    virtual ~ResourceBase();

    // Texture levels share their texture's lock, change counter and references: binding a level as the
    // render target keeps the whole texture alive.
    void ShareDataWith(ResourceBase* owner);
    // Keeps SystemCopyBytes() up to date: + when a copy is made, - when it goes.
    static void CountSystemCopy(ptrdiff_t bytes);

private:
    void OnExternalGained();
    void OnExternalLost();
    void DestroyIfUnreferenced(uint64_t previous, uint64_t removed);

    DeviceBase* device_;
    ResourceKind kind_;
    D3DPOOL pool_;
    bool countsTowardReset_;
    // External references in the low 32 bits, internal ones in the high 32 bits, so that "both zero" is
    // decided by one atomic operation whichever thread releases last.
    std::atomic<uint64_t> refs_;
    std::mutex ownMutex_;
    std::atomic<uint64_t> ownChangeCount_{1};
    std::mutex* dataMutex_;
    std::atomic<uint64_t>* changeCount_;
    ResourceBase* refOwner_;
};
