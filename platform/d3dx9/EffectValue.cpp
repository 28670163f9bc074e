#include "d3dx9/EffectValue.h"

#include "d3d9/D3D9.h"

#include <algorithm>

EffectValue::EffectValue(const EffectParameterDecl& decl)
    : type_(decl.type), arraySize_(decl.arraySize), words_(decl.ComponentCount(), 0u)
{
    std::copy_n(decl.defaultValue.begin(), std::min(decl.defaultValue.size(), words_.size()), words_.begin());
}

EffectValue::~EffectValue()
{
    if (texture_ != nullptr)
        texture_->Release();
}

void EffectValue::Write(const uint32_t* words, size_t count)
{
    std::copy_n(words, std::min(count, words_.size()), words_.begin());
    ++version_;
}

void EffectValue::SetTexture(IDirect3DBaseTexture9* texture)
{
    if (texture == texture_)
        return;
    if (texture != nullptr)
        texture->AddRef();
    if (texture_ != nullptr)
        texture_->Release();
    texture_ = texture;
    ++version_;
}
