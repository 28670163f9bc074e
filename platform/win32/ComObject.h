#pragma once
// The reference counting every COM-style object of the layer shares: the creator holds the first
// reference, the last Release deletes.

#include "win32/Win32.h"

#include <atomic>

template <class Interface>
class ComObject : public Interface
{
public:
    ULONG AddRef() override { return m_references.fetch_add(1, std::memory_order_relaxed) + 1; }

    ULONG Release() override
    {
        const ULONG left = m_references.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (left == 0)
            delete this;
        return left;
    }

protected:
    ComObject() = default;
    ~ComObject() override = default;
    ULONG References() const { return m_references.load(std::memory_order_relaxed); }

private:
    std::atomic<ULONG> m_references{1};
};
