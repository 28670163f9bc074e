#include "win32/HandleTable.h"

#include "win32/KernelObject.h"

HandleTable& HandleTable::Get()
{
    // Never destroyed: a thread whose handle is still open at exit must not be destroyed while it runs.
    static HandleTable* table = new HandleTable;
    return *table;
}

HANDLE HandleTable::Add(std::shared_ptr<KernelObject> object)
{
    if (!object) {
        return nullptr;
    }
    std::lock_guard lock(mutex_);
    // Multiples of 4 as on the original system; values are never reused.
    const uintptr_t id = next_;
    next_ += 4;
    objects_.emplace(id, std::move(object));
    return reinterpret_cast<HANDLE>(id);
}

std::shared_ptr<KernelObject> HandleTable::Find(HANDLE handle) const
{
    std::lock_guard lock(mutex_);
    auto it = objects_.find(reinterpret_cast<uintptr_t>(handle));
    return it == objects_.end() ? nullptr : it->second;
}

std::shared_ptr<KernelObject> HandleTable::Remove(HANDLE handle)
{
    std::lock_guard lock(mutex_);
    auto it = objects_.find(reinterpret_cast<uintptr_t>(handle));
    if (it == objects_.end()) {
        return nullptr;
    }
    std::shared_ptr<KernelObject> object = std::move(it->second);
    objects_.erase(it);
    return object;
}
