#pragma once
// Platform-internal: the process's table of HANDLE values. A handle is a number, never an address, so a stale or
// forged handle is recognised and refused instead of being followed.

#include "win32/Win32.h"

#include <memory>
#include <mutex>
#include <unordered_map>

class KernelObject;

class HandleTable
{
public:
    static HandleTable& Get();

    HANDLE Add(std::shared_ptr<KernelObject> object);
    // The object behind a handle, or null for a handle that is not open.
    std::shared_ptr<KernelObject> Find(HANDLE handle) const;
    // Removes the handle and returns its object (null when it was not open).
    std::shared_ptr<KernelObject> Remove(HANDLE handle);

private:
    HandleTable() = default;

    mutable std::mutex mutex_;
    std::unordered_map<uintptr_t, std::shared_ptr<KernelObject>> objects_;
    uintptr_t next_ = 0x100;
};
