#pragma once
// Reference counting shared by our COM-style classes: a count that starts at 1 and deletes the object
// when it reaches 0.

#include "win32/Win32.h"

#include <atomic>

template <class Interface>
class ComObject : public Interface
{
public:
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override
    {
        const ULONG left = --refs_;
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT QueryInterface(REFIID, void** object) override
    {
        if (!object)
            return E_INVALIDARG;
        *object = nullptr;
        return E_NOINTERFACE;
    }

protected:
    virtual ~ComObject() = default;

private:
    std::atomic<ULONG> refs_{1};
};
