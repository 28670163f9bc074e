#include "d3d9/ResourceBase.h"

#include "d3d9/DeviceBase.h"

namespace {

constexpr uint64_t EXTERNAL_MASK = 0xFFFFFFFFull;
constexpr uint64_t INTERNAL_ONE = 1ull << 32;

std::atomic<ptrdiff_t> systemCopyBytes{0};

} // namespace

ResourceBase::ResourceBase(DeviceBase* device, ResourceKind kind, D3DPOOL pool, bool countsTowardReset,
                           bool startWithExternalRef)
    : device_(device), kind_(kind), pool_(pool), countsTowardReset_(countsTowardReset),
      refs_(startWithExternalRef ? 1ull : INTERNAL_ONE), dataMutex_(&ownMutex_), changeCount_(&ownChangeCount_),
      refOwner_(this)
{
    if (startWithExternalRef)
        OnExternalGained();
}

ResourceBase::~ResourceBase()
{
    if (backEndData && device_)
        device_->DiscardBackEndData(backEndData, kind_);
}

size_t ResourceBase::SystemCopyBytes()
{
    const ptrdiff_t bytes = systemCopyBytes.load(std::memory_order_relaxed);
    return bytes > 0 ? static_cast<size_t>(bytes) : 0;
}

void ResourceBase::CountSystemCopy(ptrdiff_t bytes)
{
    systemCopyBytes.fetch_add(bytes, std::memory_order_relaxed);
}

void ResourceBase::ShareDataWith(ResourceBase* owner)
{
    dataMutex_ = owner->dataMutex_;
    changeCount_ = owner->changeCount_;
    refOwner_ = owner;
}

void ResourceBase::OnExternalGained()
{
    device_->AddRef();
    if (countsTowardReset_)
        device_->OnDefaultResourceGained();
}

ULONG ResourceBase::AddExternalRef()
{
    if (refOwner_ != this)
        return refOwner_->AddExternalRef();
    const uint64_t previous = refs_.fetch_add(1, std::memory_order_acq_rel);
    if ((previous & EXTERNAL_MASK) == 0)
        OnExternalGained();
    return static_cast<ULONG>((previous & EXTERNAL_MASK) + 1);
}

ULONG ResourceBase::ReleaseExternalRef()
{
    if (refOwner_ != this)
        return refOwner_->ReleaseExternalRef();
    // Read before the count drops: once it does, another thread may free this object.
    DeviceBase* device = device_;
    const bool counts = countsTowardReset_;
    uint64_t previous = refs_.load(std::memory_order_acquire);
    do {
        if ((previous & EXTERNAL_MASK) == 0)
            return 0; // an unbalanced Release: refuse rather than free twice
    } while (!refs_.compare_exchange_weak(previous, previous - 1, std::memory_order_acq_rel));
    const uint64_t now = previous - 1;
    if ((now & EXTERNAL_MASK) != 0)
        return static_cast<ULONG>(now & EXTERNAL_MASK);
    if (counts)
        device->OnDefaultResourceLost();
    if (now == 0)
        delete this;
    // Last: this may free the device, which the destruction above still needed.
    device->Release();
    return 0;
}

void ResourceBase::AddInternalRef()
{
    if (refOwner_ != this) {
        refOwner_->AddInternalRef();
        return;
    }
    refs_.fetch_add(INTERNAL_ONE, std::memory_order_acq_rel);
}

void ResourceBase::ReleaseInternalRef()
{
    if (refOwner_ != this) {
        refOwner_->ReleaseInternalRef();
        return;
    }
    const uint64_t previous = refs_.fetch_sub(INTERNAL_ONE, std::memory_order_acq_rel);
    if (previous == INTERNAL_ONE)
        delete this;
}

ULONG ResourceBase::ExternalRefCount() const
{
    if (refOwner_ != this)
        return refOwner_->ExternalRefCount();
    return static_cast<ULONG>(refs_.load(std::memory_order_acquire) & EXTERNAL_MASK);
}
