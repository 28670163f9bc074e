#pragma once
// Platform-internal: ID3DXAnimationController. A global time; tracks that each play one registered set
// at their own position, speed and weight; keyed changes of those values that the time reaches
// (speed and weight move over a duration, linearly or easing in and out); and the frame matrices it
// writes, found by name. Sets loop. Frames that several tracks animate blend by the tracks' weights
// (rotations by slerp); frames that no enabled track animates keep their matrices.

#include "d3dx9/D3DX9Mesh.h"
#include "win32/ComObject.h"

#include <string>
#include <vector>

class AnimationController : public ComObject<ID3DXAnimationController>
{
public:
    AnimationController(UINT maxOutputs, UINT maxSets, UINT maxTracks, UINT maxEvents);

    UINT GetMaxNumAnimationOutputs() override { return maxOutputs_; }
    UINT GetMaxNumAnimationSets() override { return maxSets_; }
    UINT GetMaxNumTracks() override { return static_cast<UINT>(tracks_.size()); }
    UINT GetMaxNumEvents() override { return maxEvents_; }
    HRESULT RegisterAnimationOutput(LPCSTR name, D3DXMATRIX* matrix, D3DXVECTOR3* scale, D3DXQUATERNION* rotation,
                                    D3DXVECTOR3* translation) override;
    HRESULT RegisterAnimationSet(ID3DXAnimationSet* animSet) override;
    HRESULT UnregisterAnimationSet(ID3DXAnimationSet* animSet) override;
    UINT GetNumAnimationSets() override { return static_cast<UINT>(sets_.size()); }
    HRESULT GetAnimationSet(UINT index, ID3DXAnimationSet** animationSet) override;
    HRESULT GetAnimationSetByName(LPCSTR name, ID3DXAnimationSet** animationSet) override;
    HRESULT AdvanceTime(DOUBLE timeDelta, ID3DXAnimationCallbackHandler* callbackHandler) override;
    HRESULT ResetTime() override;
    DOUBLE GetTime() override { return time_; }
    HRESULT SetTrackAnimationSet(UINT track, ID3DXAnimationSet* animSet) override;
    HRESULT GetTrackAnimationSet(UINT track, ID3DXAnimationSet** animSet) override;
    HRESULT SetTrackPosition(UINT track, DOUBLE position) override;
    HRESULT SetTrackEnable(UINT track, BOOL enable) override;
    HRESULT SetTrackSpeed(UINT track, FLOAT speed) override;
    HRESULT SetTrackWeight(UINT track, FLOAT weight) override;
    HRESULT GetTrackDesc(UINT track, D3DXTRACK_DESC* desc) override;
    D3DXEVENTHANDLE KeyTrackSpeed(UINT track, FLOAT newSpeed, DOUBLE startTime, DOUBLE duration,
                                  D3DXTRANSITION_TYPE transition) override;
    D3DXEVENTHANDLE KeyTrackWeight(UINT track, FLOAT newWeight, DOUBLE startTime, DOUBLE duration,
                                   D3DXTRANSITION_TYPE transition) override;
    D3DXEVENTHANDLE KeyTrackPosition(UINT track, DOUBLE newPosition, DOUBLE startTime) override;
    D3DXEVENTHANDLE KeyTrackEnable(UINT track, BOOL newEnable, DOUBLE startTime) override;
    HRESULT UnkeyAllTrackEvents(UINT track) override;
    HRESULT CloneAnimationController(UINT maxNumAnimationOutputs, UINT maxNumAnimationSets, UINT maxNumTracks,
                                     UINT maxNumEvents, ID3DXAnimationController** animController) override;

protected:
    ~AnimationController() override;

private:
    struct Output {
        std::string name;
        D3DXMATRIX* matrix;
        // The pose registered with the output: the parts of it that a set does not key.
        D3DXVECTOR3 scale;
        D3DXQUATERNION rotation;
        D3DXVECTOR3 translation;
    };
    struct Track {
        ID3DXAnimationSet* set = nullptr;
        BOOL enabled = FALSE;
        float speed = 1.0f;
        float weight = 1.0f;
        double position = 0.0;
    };
    enum class EventKind
    {
        ENABLE,
        SPEED,
        WEIGHT,
        POSITION
    };
    struct Event {
        D3DXEVENTHANDLE handle;
        UINT track;
        EventKind kind;
        double start;
        double duration;
        double target;
        D3DXTRANSITION_TYPE transition;
        bool running = false;
        double from = 0.0;
    };

    D3DXEVENTHANDLE AddEvent(UINT track, EventKind kind, double start, double duration, double target,
                             D3DXTRANSITION_TYPE transition);
    void ApplyEvents();
    void PoseOutputs();
    // For each animation of the set, the output it writes (-1 for none); found by name once per set.
    const std::vector<int>& Binding(ID3DXAnimationSet* set);

    UINT maxOutputs_;
    UINT maxSets_;
    UINT maxEvents_;
    double time_ = 0.0;
    std::vector<Output> outputs_;
    std::vector<ID3DXAnimationSet*> sets_;
    std::vector<Track> tracks_;
    std::vector<Event> events_;
    std::vector<std::pair<ID3DXAnimationSet*, std::vector<int>>> bindings_;
    D3DXEVENTHANDLE nextHandle_ = 1;
};
