#include "d3dx9/AnimationSet.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// The key pair around time t (in ticks) and how far t lies between them; before the first key or
// after the last the nearest key holds.
template <class Value, class Mix>
Value SampleKeys(const std::vector<float>& times, const std::vector<Value>& values, float t, Mix mix)
{
    if (t <= times.front())
        return values.front();
    if (t >= times.back())
        return values.back();
    const size_t next = static_cast<size_t>(std::upper_bound(times.begin(), times.end(), t) - times.begin());
    const size_t prev = next - 1;
    const float span = times[next] - times[prev];
    const float s = span > 0.0f ? (t - times[prev]) / span : 0.0f;
    return mix(values[prev], values[next], s);
}

} // namespace

AnimationSet::AnimationSet(XAnimationSetData data, uint32_t ticksPerSecond)
    : data_(std::move(data)), ticksPerSecond_(ticksPerSecond > 0 ? ticksPerSecond : 4800)
{
    float last = 0.0f;
    for (const XAnimation& a : data_.animations) {
        if (!a.rotationTimes.empty())
            last = std::max(last, a.rotationTimes.back());
        if (!a.scaleTimes.empty())
            last = std::max(last, a.scaleTimes.back());
        if (!a.positionTimes.empty())
            last = std::max(last, a.positionTimes.back());
    }
    period_ = last / ticksPerSecond_;
}

DOUBLE AnimationSet::GetPeriodicPosition(DOUBLE position)
{
    if (period_ <= 0.0 || !std::isfinite(position))
        return 0.0;
    const double p = std::fmod(position, period_);
    return p < 0.0 ? p + period_ : p;
}

HRESULT AnimationSet::GetAnimationNameByIndex(UINT index, LPCSTR* name)
{
    if (!name || index >= data_.animations.size())
        return D3DERR_INVALIDCALL;
    *name = data_.animations[index].frame.c_str();
    return D3D_OK;
}

HRESULT AnimationSet::GetAnimationIndexByName(LPCSTR name, UINT* index)
{
    if (!name || !index)
        return D3DERR_INVALIDCALL;
    for (UINT i = 0; i < data_.animations.size(); ++i)
        if (data_.animations[i].frame == name) {
            *index = i;
            return D3D_OK;
        }
    return D3DERR_INVALIDCALL;
}

HRESULT AnimationSet::GetSRT(DOUBLE periodicPosition, UINT animation, D3DXVECTOR3* scale, D3DXQUATERNION* rotation,
                             D3DXVECTOR3* translation)
{
    if (animation >= data_.animations.size() || !scale || !rotation || !translation)
        return D3DERR_INVALIDCALL;
    *scale = D3DXVECTOR3(1.0f, 1.0f, 1.0f);
    *translation = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    D3DXQuaternionIdentity(rotation);
    Sample(periodicPosition, animation, *scale, *rotation, *translation);
    return D3D_OK;
}

void AnimationSet::Sample(double periodicPosition, UINT animation, D3DXVECTOR3& scale, D3DXQUATERNION& rotation,
                          D3DXVECTOR3& translation) const
{
    const XAnimation& a = data_.animations[animation];
    const float t = static_cast<float>(periodicPosition * ticksPerSecond_);
    auto lerp = [](const D3DXVECTOR3& p, const D3DXVECTOR3& q, float s) {
        D3DXVECTOR3 out;
        D3DXVec3Lerp(&out, &p, &q, s);
        return out;
    };
    if (!a.scaleTimes.empty())
        scale = SampleKeys(a.scaleTimes, a.scales, t, lerp);
    if (!a.positionTimes.empty())
        translation = SampleKeys(a.positionTimes, a.positions, t, lerp);
    if (!a.rotationTimes.empty())
        rotation =
            SampleKeys(a.rotationTimes, a.rotations, t, [](const D3DXQUATERNION& p, const D3DXQUATERNION& q, float s) {
                D3DXQUATERNION out;
                D3DXQuaternionSlerp(&out, &p, &q, s);
                return out;
            });
}
