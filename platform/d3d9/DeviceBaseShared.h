#pragma once
// What the sources of DeviceBase share: binding, handing out and making the device's own resources. Only
// DeviceBase*.cpp include this.

#include "d3d9/DeviceBase.h"

#include <new>
#include <utility>

namespace device_base {

// No back buffer larger than this: far beyond any display, small enough to keep sizes in 32 bits.
inline constexpr UINT MAX_BACK_BUFFER_SIZE = 16384;
inline constexpr UINT MAX_BACK_BUFFER_COUNT = 3;
inline constexpr UINT MAX_STREAMS = 16;

template <typename T>
inline void Rebind(T*& slot, T* resource)
{
    if (slot == resource)
        return;
    if (resource)
        resource->AddInternalRef();
    T* old = slot;
    slot = resource;
    if (old)
        old->ReleaseInternalRef();
}

// The caller's interface as one of this device's own resources. A null interface is fine (it unbinds);
// anything made elsewhere is refused.
template <typename Ours, typename Interface>
inline bool OwnResource(const DeviceBase* device, Interface* resource, Ours** ours)
{
    *ours = nullptr;
    if (!resource)
        return true;
    *ours = dynamic_cast<Ours*>(resource);
    return *ours && (*ours)->Device() == device;
}

// Hands a bound resource out with a reference of the caller's own.
template <typename T, typename Interface>
inline void HandOut(T* bound, Interface** out)
{
    *out = bound;
    if (bound)
        bound->AddRef();
}

// Makes a resource into *out; a failed allocation is the device's out-of-memory answer.
template <typename Resource, typename Interface, typename... Args>
inline HRESULT MakeResource(Interface** out, Args&&... args)
{
    try {
        *out = new Resource(std::forward<Args>(args)...);
    } catch (const std::bad_alloc&) {
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    return D3D_OK;
}

inline bool ValidPrimitiveType(D3DPRIMITIVETYPE type)
{
    return type >= D3DPT_POINTLIST && type <= D3DPT_TRIANGLEFAN;
}

} // namespace device_base
