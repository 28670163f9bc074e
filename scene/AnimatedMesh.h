#pragma once
// A unit's skinned, animated model: the hierarchy of one .x file posed by the animation sets of it and of
// further files, played by name on two tracks that cross-fade over half a second, drawn through the bone
// palette of "SkinnedMesh.fx".

#include "d3dx9/D3DX9.h"
#include "win32/ComPtr.h"

#include <map>
#include <string>
#include <vector>

class MeshOwner;
struct MeshFrame;
struct MeshContainer;

class AnimatedMesh
{
public:
    // Seconds over which a new animation takes over from the last.
    static constexpr double CROSS_FADE = 0.5;
    // Bones one draw can blend: the vertex shader's palette.
    static constexpr DWORD MAX_PALETTE = 35;
    static constexpr const char* EFFECT_FILE = "SkinnedMesh.fx";

    AnimatedMesh() = default;
    ~AnimatedMesh();
    AnimatedMesh(const AnimatedMesh&) = delete;
    AnimatedMesh& operator=(const AnimatedMesh&) = delete;

    // The direction towards the level's light, in the world. The skin leaves the palette in the camera's view,
    // so each draw hands the effect this direction turned into the view ("ViewLightDirection"): without it the
    // light would turn with the camera.
    static void SetLightDirection(const D3DXVECTOR3& towardsLight);
    static const D3DXVECTOR3& GetLightDirection();
    // The light back to the one every level starts with.
    static void ResetForTests();

    void LoadWithEffect(MeshOwner* owner, const std::string& fileName, bool flag);
    void LoadAnimationFile(const std::string& fileName);
    bool PlayAnimation(const std::string& name, bool loop);
    bool PlaySet(UINT index, bool loop);
    void RegisterAnimation(const std::string& name, int index) { m_names[name] = index; }
    void Update(const D3DXMATRIX* world);
    void DrawFrames();
    void Release();
    void OnLostDevice();
    void OnResetDevice();

    bool IsLoaded() const { return m_loaded; }
    bool IsLooping() const { return m_loop; }
    bool IsFinished() const { return m_finished; }
    bool EventReached() const { return m_eventReached; }
    void SetSpeed(float value) { m_speed = value; }
    float GetSpeed() const { return m_speed; }
    void SetEventTime(float seconds) { m_eventTime = seconds; }
    float GetElapsed() const { return m_elapsed; }
    float GetPeriod() const { return m_period; }
    UINT GetSetCount() const { return m_setCount; }
    UINT GetCurrentSet() const { return m_currentSet; }
    UINT GetCurrentTrack() const { return m_currentTrack; }
    const std::map<std::string, int>& GetNames() const { return m_names; }
    MeshFrame* GetRoot() const { return m_root; }
    ID3DXAnimationController* GetController() const { return m_controller.Get(); }
    ID3DXEffect* GetEffect() const { return m_effect; }
    const std::string& GetPath() const { return m_path; }

    // For the allocator: the palette scratch grows to the largest bone count of the mesh's containers.
    void ReserveBoneMatrices(DWORD count);
    DWORD GetBoneMatrixCapacity() const { return static_cast<DWORD>(m_boneMatrices.size()); }

    // How far the skin reaches from the bones that carry it (world units, from the bind pose): every vertex
    // lies within this distance of one of its bones, so of the box round the posed bones.
    float GetSkinReach() const { return m_skinReach; }
    // Whether the posed model lies wholly outside the camera's view, where drawing it would show nothing.
    bool OutsideView() const;

private:
    void DrawFrame(MeshFrame* frame);
    void MeasureSkinReach(MeshFrame* frame);
    void DrawMeshContainer(MeshContainer* container);
    HRESULT SetupBoneMatrixPointers(MeshFrame* frame);
    void UpdateFrameMatrices(MeshFrame* frame, const D3DXMATRIX* parent);
    void RebuildNames();

    MeshOwner* m_owner = nullptr;
    float m_speed = 1.0f;
    float m_elapsed = 0.0f;
    float m_period = 0.0f;
    UINT m_setCount = 0;
    UINT m_currentTrack = 0;
    UINT m_currentSet = 0;
    std::map<std::string, int> m_names;
    bool m_loaded = false;
    bool m_loop = true;
    bool m_finished = false;
    bool m_eventReached = false;
    float m_eventTime = 0.0f;
    ID3DXEffect* m_effect = nullptr; // owned by the data manager's cache
    MeshFrame* m_root = nullptr;
    ComPtr<ID3DXAnimationController> m_controller;
    ComPtr<ID3DXAnimationSet> m_currentSetObject;
    std::string m_path;
    std::vector<D3DXMATRIX> m_boneMatrices;
    int m_skinningMethod = 4;
    float m_skinReach = 0.0f;
};
