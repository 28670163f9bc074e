#pragma once
// Platform-internal: a keyframed animation set read from a .x file. Immutable once made, so the
// controllers of every unit that plays it share one copy.

#include "d3dx9/D3DX9Mesh.h"
#include "d3dx9/XFileParser.h"
#include "win32/ComObject.h"

class AnimationSet : public ComObject<ID3DXAnimationSet>
{
public:
    AnimationSet(XAnimationSetData data, uint32_t ticksPerSecond);

    LPCSTR GetName() override { return data_.name.c_str(); }
    DOUBLE GetPeriod() override { return period_; }
    DOUBLE GetPeriodicPosition(DOUBLE position) override;
    UINT GetNumAnimations() override { return static_cast<UINT>(data_.animations.size()); }
    HRESULT GetAnimationNameByIndex(UINT index, LPCSTR* name) override;
    HRESULT GetAnimationIndexByName(LPCSTR name, UINT* index) override;
    HRESULT GetSRT(DOUBLE periodicPosition, UINT animation, D3DXVECTOR3* scale, D3DXQUATERNION* rotation,
                   D3DXVECTOR3* translation) override;

    // Overwrites only the parts the animation keys: a frame keyed for rotation alone keeps the scale and
    // translation given in (its bind pose, for the controller).
    void Sample(double periodicPosition, UINT animation, D3DXVECTOR3& scale, D3DXQUATERNION& rotation,
                D3DXVECTOR3& translation) const;

private:
    XAnimationSetData data_;
    double ticksPerSecond_;
    double period_ = 0.0; // seconds: the last key of all the set's animations
};
