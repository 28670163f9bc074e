#include "d3dx9/AnimationController.h"

#include "d3dx9/AnimationSet.h"
#include "d3dx9/XFileParser.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr D3DXEVENTHANDLE NO_EVENT = 0xFFFFFFFFu;

double Ease(double s, D3DXTRANSITION_TYPE transition)
{
    if (transition == D3DXTRANSITION_EASEINEASEOUT)
        return s * s * (3.0 - 2.0 * s);
    return s;
}

} // namespace

AnimationController::AnimationController(UINT maxOutputs, UINT maxSets, UINT maxTracks, UINT maxEvents)
    : maxOutputs_(maxOutputs), maxSets_(maxSets), maxEvents_(maxEvents), tracks_(maxTracks)
{ }

AnimationController::~AnimationController()
{
    for (ID3DXAnimationSet* set : sets_)
        set->Release();
    for (Track& track : tracks_)
        if (track.set)
            track.set->Release();
}

HRESULT AnimationController::RegisterAnimationOutput(LPCSTR name, D3DXMATRIX* matrix, D3DXVECTOR3*, D3DXQUATERNION*,
                                                     D3DXVECTOR3*)
{
    if (!name || !matrix || outputs_.size() >= maxOutputs_)
        return D3DERR_INVALIDCALL;
    bindings_.clear();
    Output output{name, matrix, {}, {}, {}};
    DecomposeMatrix(*matrix, output.scale, output.rotation, output.translation);
    outputs_.push_back(std::move(output));
    return D3D_OK;
}

HRESULT AnimationController::RegisterAnimationSet(ID3DXAnimationSet* animSet)
{
    if (!animSet || sets_.size() >= maxSets_ || std::find(sets_.begin(), sets_.end(), animSet) != sets_.end())
        return D3DERR_INVALIDCALL;
    animSet->AddRef();
    sets_.push_back(animSet);
    return D3D_OK;
}

HRESULT AnimationController::UnregisterAnimationSet(ID3DXAnimationSet* animSet)
{
    const auto found = std::find(sets_.begin(), sets_.end(), animSet);
    if (!animSet || found == sets_.end())
        return D3DERR_INVALIDCALL;
    for (Track& track : tracks_)
        if (track.set == animSet) {
            track.set->Release();
            track.set = nullptr;
        }
    sets_.erase(found);
    bindings_.clear();
    animSet->Release();
    return D3D_OK;
}

HRESULT AnimationController::GetAnimationSet(UINT index, ID3DXAnimationSet** animationSet)
{
    if (!animationSet)
        return D3DERR_INVALIDCALL;
    *animationSet = nullptr;
    if (index >= sets_.size())
        return D3DERR_INVALIDCALL;
    *animationSet = sets_[index];
    sets_[index]->AddRef();
    return D3D_OK;
}

HRESULT AnimationController::GetAnimationSetByName(LPCSTR name, ID3DXAnimationSet** animationSet)
{
    if (!animationSet || !name)
        return D3DERR_INVALIDCALL;
    *animationSet = nullptr;
    for (ID3DXAnimationSet* set : sets_)
        if (std::strcmp(set->GetName(), name) == 0) {
            *animationSet = set;
            set->AddRef();
            return D3D_OK;
        }
    return D3DERR_INVALIDCALL;
}

HRESULT AnimationController::AdvanceTime(DOUBLE timeDelta, ID3DXAnimationCallbackHandler*)
{
    if (!std::isfinite(timeDelta))
        return D3DERR_INVALIDCALL;
    time_ += timeDelta;
    ApplyEvents();
    for (Track& track : tracks_)
        if (track.enabled && track.set)
            track.position += timeDelta * track.speed;
    PoseOutputs();
    return D3D_OK;
}

void AnimationController::ApplyEvents()
{
    // Events run in the order they were keyed; a later one on the same value wins.
    for (auto it = events_.begin(); it != events_.end();) {
        Event& e = *it;
        if (time_ < e.start) {
            ++it;
            continue;
        }
        Track& track = tracks_[e.track];
        bool done = true;
        switch (e.kind) {
        case EventKind::ENABLE:
            track.enabled = e.target != 0.0 ? TRUE : FALSE;
            break;
        case EventKind::POSITION:
            track.position = e.target;
            break;
        case EventKind::SPEED:
        case EventKind::WEIGHT: {
            float& value = e.kind == EventKind::SPEED ? track.speed : track.weight;
            if (!e.running) {
                e.running = true;
                e.from = value;
            }
            const double s = e.duration > 0.0 ? std::min(1.0, (time_ - e.start) / e.duration) : 1.0;
            value = static_cast<float>(e.from + (e.target - e.from) * Ease(s, e.transition));
            done = s >= 1.0;
            break;
        }
        }
        it = done ? events_.erase(it) : it + 1;
    }
}

void AnimationController::PoseOutputs()
{
    struct Blend {
        float weight = 0.0f;
        D3DXVECTOR3 scale{0.0f, 0.0f, 0.0f};
        D3DXQUATERNION rotation;
        D3DXVECTOR3 translation{0.0f, 0.0f, 0.0f};
    };
    std::vector<Blend> blends(outputs_.size());
    for (const Track& track : tracks_) {
        if (!track.enabled || !track.set || !(track.weight > 0.0f))
            continue;
        const double position = track.set->GetPeriodicPosition(track.position);
        auto* keyed = dynamic_cast<AnimationSet*>(track.set);
        const std::vector<int>& binding = Binding(track.set);
        for (UINT a = 0; a < binding.size(); ++a) {
            if (binding[a] < 0)
                continue;
            const size_t o = static_cast<size_t>(binding[a]);
            const Output& output = outputs_[o];
            D3DXVECTOR3 scale = output.scale, translation = output.translation;
            D3DXQUATERNION rotation = output.rotation;
            if (keyed)
                keyed->Sample(position, a, scale, rotation, translation);
            else
                track.set->GetSRT(position, a, &scale, &rotation, &translation);
            Blend& blend = blends[o];
            const float total = blend.weight + track.weight;
            const float share = track.weight / total;
            if (blend.weight == 0.0f)
                blend.rotation = rotation;
            else
                D3DXQuaternionSlerp(&blend.rotation, &blend.rotation, &rotation, share);
            blend.scale += (scale - blend.scale) * share;
            blend.translation += (translation - blend.translation) * share;
            blend.weight = total;
        }
    }
    for (size_t o = 0; o < outputs_.size(); ++o) {
        const Blend& blend = blends[o];
        if (blend.weight == 0.0f)
            continue;
        D3DXQUATERNION rotation;
        D3DXQuaternionNormalize(&rotation, &blend.rotation);
        D3DXMATRIX s, r, t;
        D3DXMatrixScaling(&s, blend.scale.x, blend.scale.y, blend.scale.z);
        D3DXMatrixRotationQuaternion(&r, &rotation);
        D3DXMatrixTranslation(&t, blend.translation.x, blend.translation.y, blend.translation.z);
        D3DXMatrixMultiply(outputs_[o].matrix, &s, &r);
        D3DXMatrixMultiply(outputs_[o].matrix, outputs_[o].matrix, &t);
    }
}

const std::vector<int>& AnimationController::Binding(ID3DXAnimationSet* set)
{
    for (const auto& [bound, binding] : bindings_)
        if (bound == set)
            return binding;
    std::vector<int> binding(set->GetNumAnimations(), -1);
    for (UINT a = 0; a < binding.size(); ++a) {
        LPCSTR name = nullptr;
        if (FAILED(set->GetAnimationNameByIndex(a, &name)) || !name)
            continue;
        for (size_t o = 0; o < outputs_.size(); ++o)
            if (outputs_[o].name == name) {
                binding[a] = static_cast<int>(o);
                break;
            }
    }
    bindings_.emplace_back(set, std::move(binding));
    return bindings_.back().second;
}

HRESULT AnimationController::ResetTime()
{
    // Keyed times move back with the global time, so pending changes stay as far ahead as they were.
    for (Event& e : events_)
        e.start -= time_;
    time_ = 0.0;
    return D3D_OK;
}

HRESULT AnimationController::SetTrackAnimationSet(UINT track, ID3DXAnimationSet* animSet)
{
    if (track >= tracks_.size())
        return D3DERR_INVALIDCALL;
    // A set let go of may be freed and its address reused by another.
    bindings_.clear();
    if (animSet)
        animSet->AddRef();
    if (tracks_[track].set)
        tracks_[track].set->Release();
    tracks_[track].set = animSet;
    return D3D_OK;
}

HRESULT AnimationController::GetTrackAnimationSet(UINT track, ID3DXAnimationSet** animSet)
{
    if (!animSet)
        return D3DERR_INVALIDCALL;
    *animSet = nullptr;
    if (track >= tracks_.size())
        return D3DERR_INVALIDCALL;
    *animSet = tracks_[track].set;
    if (*animSet)
        (*animSet)->AddRef();
    return D3D_OK;
}

HRESULT AnimationController::SetTrackPosition(UINT track, DOUBLE position)
{
    if (track >= tracks_.size() || !std::isfinite(position))
        return D3DERR_INVALIDCALL;
    tracks_[track].position = position;
    return D3D_OK;
}

HRESULT AnimationController::SetTrackEnable(UINT track, BOOL enable)
{
    if (track >= tracks_.size())
        return D3DERR_INVALIDCALL;
    tracks_[track].enabled = enable ? TRUE : FALSE;
    return D3D_OK;
}

HRESULT AnimationController::SetTrackSpeed(UINT track, FLOAT speed)
{
    if (track >= tracks_.size())
        return D3DERR_INVALIDCALL;
    tracks_[track].speed = speed;
    return D3D_OK;
}

HRESULT AnimationController::SetTrackWeight(UINT track, FLOAT weight)
{
    if (track >= tracks_.size())
        return D3DERR_INVALIDCALL;
    tracks_[track].weight = weight;
    return D3D_OK;
}

HRESULT AnimationController::GetTrackDesc(UINT track, D3DXTRACK_DESC* desc)
{
    if (track >= tracks_.size() || !desc)
        return D3DERR_INVALIDCALL;
    const Track& t = tracks_[track];
    *desc = {D3DXPRIORITY_LOW, t.weight, t.speed, t.position, t.enabled};
    return D3D_OK;
}

D3DXEVENTHANDLE AnimationController::AddEvent(UINT track, EventKind kind, double start, double duration, double target,
                                              D3DXTRANSITION_TYPE transition)
{
    if (track >= tracks_.size() || events_.size() >= maxEvents_ || !std::isfinite(start) || !std::isfinite(duration) ||
        !std::isfinite(target))
        return NO_EVENT;
    const D3DXEVENTHANDLE handle = nextHandle_++;
    events_.push_back({handle, track, kind, start, std::max(0.0, duration), target, transition});
    return handle;
}

D3DXEVENTHANDLE AnimationController::KeyTrackSpeed(UINT track, FLOAT newSpeed, DOUBLE startTime, DOUBLE duration,
                                                   D3DXTRANSITION_TYPE transition)
{
    return AddEvent(track, EventKind::SPEED, startTime, duration, newSpeed, transition);
}

D3DXEVENTHANDLE AnimationController::KeyTrackWeight(UINT track, FLOAT newWeight, DOUBLE startTime, DOUBLE duration,
                                                    D3DXTRANSITION_TYPE transition)
{
    return AddEvent(track, EventKind::WEIGHT, startTime, duration, newWeight, transition);
}

D3DXEVENTHANDLE AnimationController::KeyTrackPosition(UINT track, DOUBLE newPosition, DOUBLE startTime)
{
    return AddEvent(track, EventKind::POSITION, startTime, 0.0, newPosition, D3DXTRANSITION_LINEAR);
}

D3DXEVENTHANDLE AnimationController::KeyTrackEnable(UINT track, BOOL newEnable, DOUBLE startTime)
{
    return AddEvent(track, EventKind::ENABLE, startTime, 0.0, newEnable ? 1.0 : 0.0, D3DXTRANSITION_LINEAR);
}

HRESULT AnimationController::UnkeyAllTrackEvents(UINT track)
{
    if (track >= tracks_.size())
        return D3DERR_INVALIDCALL;
    std::erase_if(events_, [track](const Event& e) { return e.track == track; });
    return D3D_OK;
}

HRESULT AnimationController::CloneAnimationController(UINT maxNumAnimationOutputs, UINT maxNumAnimationSets,
                                                      UINT maxNumTracks, UINT maxNumEvents,
                                                      ID3DXAnimationController** animController)
{
    if (!animController)
        return D3DERR_INVALIDCALL;
    *animController = nullptr;
    if (maxNumAnimationOutputs < outputs_.size() || maxNumAnimationSets < sets_.size())
        return D3DERR_INVALIDCALL;
    auto* clone = new AnimationController(maxNumAnimationOutputs, maxNumAnimationSets, maxNumTracks, maxNumEvents);
    clone->time_ = time_;
    clone->outputs_ = outputs_;
    for (ID3DXAnimationSet* set : sets_)
        clone->RegisterAnimationSet(set);
    for (UINT t = 0; t < std::min<size_t>(maxNumTracks, tracks_.size()); ++t) {
        clone->tracks_[t] = tracks_[t];
        if (clone->tracks_[t].set)
            clone->tracks_[t].set->AddRef();
    }
    for (const Event& e : events_)
        if (e.track < maxNumTracks && clone->events_.size() < maxNumEvents)
            clone->events_.push_back(e);
    clone->nextHandle_ = nextHandle_;
    *animController = clone;
    return D3D_OK;
}

HRESULT D3DXCreateAnimationController(UINT maxNumAnimationOutputs, UINT maxNumAnimationSets, UINT maxNumTracks,
                                      UINT maxNumEvents, ID3DXAnimationController** animController)
{
    if (!animController)
        return D3DERR_INVALIDCALL;
    *animController = nullptr;
    if (maxNumTracks == 0)
        return D3DERR_INVALIDCALL;
    *animController = new AnimationController(maxNumAnimationOutputs, maxNumAnimationSets, maxNumTracks, maxNumEvents);
    return D3D_OK;
}
