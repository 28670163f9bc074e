#pragma once
// Platform-internal: the effect pool. It holds the values of the parameters that effects created with it
// declare `shared`, one value per name. Effects may be created on the loading thread while the main
// thread draws with others of the same pool, so finding or adding a value is locked; the values
// themselves are set and read by the drawing thread only.

#include "d3dx9/D3DX9Core.h"
#include "d3dx9/EffectValue.h"
#include "win32/ComObject.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>

class EffectPool : public ComObject<ID3DXEffectPool>
{
public:
    EffectPool() = default;

    // The pool's value for a shared declaration, created with the declaration's default when it is the
    // first; null with a message when an earlier effect declared the name with another type or size.
    EffectValue* Acquire(const EffectParameterDecl& decl, std::string& error);

protected:
    ~EffectPool() override = default;

private:
    std::mutex mutex_;
    std::map<std::string, std::unique_ptr<EffectValue>, std::less<>> values_;
};
