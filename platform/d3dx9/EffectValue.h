#pragma once
// Platform-internal: the value of one effect parameter. An effect owns the values of its own parameters;
// the values of shared parameters belong to the effect pool, so every effect of the pool sees one value.

#include "d3dx9/EffectFile.h"

#include <cstdint>
#include <vector>

struct IDirect3DBaseTexture9;

class EffectValue
{
public:
    explicit EffectValue(const EffectParameterDecl& decl);
    ~EffectValue();
    EffectValue(const EffectValue&) = delete;
    EffectValue& operator=(const EffectValue&) = delete;

    EffectParamType Type() const { return type_; }
    uint32_t ArraySize() const { return arraySize_; }
    bool Matches(const EffectParameterDecl& decl) const { return decl.type == type_ && decl.arraySize == arraySize_; }

    // Components as 32-bit words: float bits for the float types, int32 for int and bool.
    const std::vector<uint32_t>& Words() const { return words_; }
    // Writes words from the first component on (at most as many as there are) and bumps the version.
    void Write(const uint32_t* words, size_t count);
    IDirect3DBaseTexture9* Texture() const { return texture_; }
    // Keeps a reference to the new texture and drops the one to the old.
    void SetTexture(IDirect3DBaseTexture9* texture);

    // Bumps on every change, so a program uploads only what moved since it last looked.
    uint64_t Version() const { return version_; }

private:
    EffectParamType type_;
    uint32_t arraySize_;
    std::vector<uint32_t> words_;
    IDirect3DBaseTexture9* texture_ = nullptr;
    uint64_t version_ = 1;
};
