#include "d3dx9/EffectPool.h"

EffectValue* EffectPool::Acquire(const EffectParameterDecl& decl, std::string& error)
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = values_.find(decl.name);
    if (found != values_.end()) {
        if (!found->second->Matches(decl)) {
            error = "shared parameter '" + decl.name + "' is declared " + EffectParamTypeName(decl.type) +
                    (decl.arraySize ? "[" + std::to_string(decl.arraySize) + "]" : std::string()) +
                    " here but differently by another effect of the pool";
            return nullptr;
        }
        return found->second.get();
    }
    auto value = std::make_unique<EffectValue>(decl);
    EffectValue* result = value.get();
    values_.emplace(decl.name, std::move(value));
    return result;
}

HRESULT D3DXCreateEffectPool(ID3DXEffectPool** pool)
{
    if (pool == nullptr)
        return D3DERR_INVALIDCALL;
    *pool = new EffectPool();
    return D3D_OK;
}
