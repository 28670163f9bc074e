#include "scene/AnimatedMesh.h"

#include "core/DataManager.h"
#include "scene/AnimationFileCache.h"
#include "scene/Camera.h"
#include "scene/MeshContainer.h"
#include "scene/MeshFrame.h"
#include "scene/MeshHierarchyAllocator.h"
#include "scene/MeshOwner.h"
#include "win32/Log.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <utility>

namespace {

constexpr DWORD LOAD_OPTIONS = D3DXMESH_MANAGED;
constexpr UINT TRACKS = 2;
// Keyed changes of one cross-fade: three per track.
constexpr UINT EVENTS = 30;
constexpr DWORD NO_BONE = 0xFFFFFFFFu;
constexpr const char* CRITICAL_ATTACK = "CriticalAttack";
constexpr const char* MELEE_ATTACK = "MeleeAttack";
constexpr const char* LOAD_TECHNIQUE = "AnimationTechnique";

// Until a level sets its light, the sun of every level: (50, 45, 25) normalised.
D3DXVECTOR3 StartLight()
{
    return D3DXVECTOR3(0.6967330f, 0.6270597f, 0.3483665f);
}

D3DXVECTOR3& LightDirectionStore()
{
    static D3DXVECTOR3 towardsLight = StartLight();
    return towardsLight;
}

} // namespace

AnimatedMesh::~AnimatedMesh()
{
    Release();
}

void AnimatedMesh::ReserveBoneMatrices(DWORD count)
{
    if (m_boneMatrices.size() >= count)
        return;
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    m_boneMatrices.assign(count, identity);
}

void AnimatedMesh::LoadWithEffect(MeshOwner* meshOwner, const std::string& fileName, bool)
{
    if (m_loaded)
        Release();
    m_owner = meshOwner;
    DataManager* data = DataManager::Get();
    m_path = data->FindFile(fileName);
    if (m_path == DataManager::NOT_FOUND) {
        data->ReportMissing("model.missing", fileName, "is not found; what uses it is not drawn");
        return;
    }
    MeshHierarchyAllocator allocator(this);
    D3DXFRAME* loadedRoot = nullptr;
    ComPtr<ID3DXAnimationController> loadedController;
    if (FAILED(D3DXLoadMeshHierarchyFromX(m_path.c_str(), LOAD_OPTIONS, data->GetDevice(), &allocator, nullptr,
                                          &loadedRoot, loadedController.AddressOf()))) {
        if (data->GetDevice())
            data->ReportMissing("model.refused", m_path, "cannot be loaded; what uses it is not drawn");
        return;
    }
    m_root = static_cast<MeshFrame*>(loadedRoot);
    // A model without animation still plays: an empty controller has no sets to play.
    if (!loadedController)
        D3DXCreateAnimationController(0, 0, TRACKS, EVENTS, loadedController.AddressOf());
    m_controller = std::move(loadedController);
    // A bone without a frame would leave the palette pointing nowhere: such a model does not load.
    if (FAILED(SetupBoneMatrixPointers(m_root))) {
        Log(LogLevel::WARNING, "model.bones", m_path + ": a bone names no frame of the model");
        Release();
        return;
    }
    RebuildNames();
    m_skinReach = 0.0f;
    MeasureSkinReach(m_root);
    m_effect = data->GetEffect(EFFECT_FILE);
    if (m_effect) {
        m_effect->SetTechnique(LOAD_TECHNIQUE);
        // The level's light; until a level is applied the effect file's own values stand.
    }
    m_loaded = true;
}

void AnimatedMesh::SetLightDirection(const D3DXVECTOR3& towardsLight)
{
    LightDirectionStore() = towardsLight;
}

void AnimatedMesh::ResetForTests()
{
    LightDirectionStore() = StartLight();
}

const D3DXVECTOR3& AnimatedMesh::GetLightDirection()
{
    return LightDirectionStore();
}

void AnimatedMesh::RebuildNames()
{
    m_setCount = m_controller->GetNumAnimationSets();
    m_names.clear();
    for (UINT i = 0; i < m_setCount; ++i) {
        ComPtr<ID3DXAnimationSet> set;
        if (FAILED(m_controller->GetAnimationSet(i, set.AddressOf())))
            continue;
        m_names[set->GetName()] = static_cast<int>(i);
    }
}

void AnimatedMesh::LoadAnimationFile(const std::string& fileName)
{
    if (!m_controller)
        return;
    DataManager* data = DataManager::Get();
    const std::string found = data->FindFile(fileName);
    if (found == DataManager::NOT_FOUND)
        return;
    // The file's hierarchy serves only as the source of its sets, which every unit of the class shares.
    MeshHierarchyAllocator allocator(this);
    const std::shared_ptr<const AnimationFileCache::Sets> file = AnimationFileCache::Get(found, &allocator);
    const std::vector<ComPtr<ID3DXAnimationSet>>& sets = file->Get();
    const UINT added = static_cast<UINT>(sets.size());
    if (added == 0)
        return;
    const UINT current = m_controller->GetNumAnimationSets();
    if (m_controller->GetMaxNumAnimationSets() - current < added) {
        ComPtr<ID3DXAnimationController> grown;
        if (SUCCEEDED(m_controller->CloneAnimationController(m_controller->GetMaxNumAnimationOutputs(), current + added,
                                                             TRACKS, m_controller->GetMaxNumEvents(),
                                                             grown.AddressOf())))
            m_controller = std::move(grown);
    }
    for (const ComPtr<ID3DXAnimationSet>& set : sets)
        m_controller->RegisterAnimationSet(set.Get());
    RebuildNames();
}

bool AnimatedMesh::PlayAnimation(const std::string& name, bool playLoop)
{
    auto found = m_names.find(name);
    if (found == m_names.end()) {
        if (name != CRITICAL_ATTACK)
            return false;
        // The map's default entry for a model without the set: set 0.
        found = m_names.try_emplace(MELEE_ATTACK, 0).first;
    }
    return PlaySet(static_cast<UINT>(found->second), playLoop);
}

bool AnimatedMesh::PlaySet(UINT index, bool playLoop)
{
    if (index >= m_setCount || index == m_currentSet || !m_controller)
        return false;
    m_loop = playLoop;
    const UINT newTrack = m_currentTrack == 0 ? 1 : 0;
    m_elapsed = 0.0f;
    m_finished = false;
    m_eventReached = false;
    const double now = m_controller->GetTime();

    m_controller->GetAnimationSet(index, m_currentSetObject.AddressOf());
    m_controller->SetTrackAnimationSet(newTrack, m_currentSetObject.Get());
    m_controller->UnkeyAllTrackEvents(m_currentTrack);
    m_controller->UnkeyAllTrackEvents(newTrack);
    m_controller->SetTrackPosition(newTrack, 0.0);
    m_period = m_currentSetObject ? static_cast<float>(m_currentSetObject->GetPeriod()) : 0.0f;

    m_controller->KeyTrackEnable(m_currentTrack, FALSE, now + CROSS_FADE);
    m_controller->KeyTrackSpeed(m_currentTrack, 0.0f, now, CROSS_FADE, D3DXTRANSITION_EASEINEASEOUT);
    m_controller->KeyTrackWeight(m_currentTrack, 0.0f, now, CROSS_FADE, D3DXTRANSITION_EASEINEASEOUT);
    m_controller->KeyTrackEnable(newTrack, TRUE, now);
    m_controller->KeyTrackSpeed(newTrack, 1.0f, now, CROSS_FADE, D3DXTRANSITION_EASEINEASEOUT);
    m_controller->KeyTrackWeight(newTrack, 1.0f, now, CROSS_FADE, D3DXTRANSITION_EASEINEASEOUT);

    m_currentTrack = newTrack;
    m_currentSet = index;
    return true;
}

void AnimatedMesh::Update(const D3DXMATRIX* world)
{
    const float dt = DataManager::Get()->GetFrameTime() * m_speed;
    m_elapsed += dt;
    if (!m_loop) {
        if (m_elapsed >= m_period) {
            m_finished = true;
            m_eventReached = true;
        }
        if (m_elapsed >= m_eventTime)
            m_eventReached = true;
    }
    if (m_finished || !m_controller || !m_root)
        return;
    m_controller->AdvanceTime(dt, nullptr);
    if (!m_loop) {
        // The controller loops every set, and its track time is kept in double while the elapsed time is a
        // float: at 60 frames a second the track reaches the end of a one-second set a frame before the elapsed
        // time does, and the pose would wrap round to the first frame and be held there. A one-shot set is
        // kept just short of its end instead.
        D3DXTRACK_DESC track{};
        if (m_period > 0.0f && SUCCEEDED(m_controller->GetTrackDesc(m_currentTrack, &track)) &&
            track.Position >= m_period) {
            m_controller->SetTrackPosition(m_currentTrack, std::nextafter(static_cast<double>(m_period), 0.0));
            m_controller->AdvanceTime(0.0, nullptr);
        }
    }
    if (m_effect)
        m_effect->SetMatrix("projectionMatrix", &Camera::Get()->GetProjection());
    UpdateFrameMatrices(m_root, world);
}

void AnimatedMesh::UpdateFrameMatrices(MeshFrame* frame, const D3DXMATRIX* parent)
{
    for (; frame; frame = static_cast<MeshFrame*>(frame->pFrameSibling)) {
        if (parent)
            D3DXMatrixMultiply(&frame->combinedTransform, &frame->TransformationMatrix, parent);
        else
            frame->combinedTransform = frame->TransformationMatrix;
        UpdateFrameMatrices(static_cast<MeshFrame*>(frame->pFrameFirstChild), &frame->combinedTransform);
    }
}

HRESULT AnimatedMesh::SetupBoneMatrixPointers(MeshFrame* frame)
{
    for (; frame; frame = static_cast<MeshFrame*>(frame->pFrameSibling)) {
        for (auto* c = static_cast<MeshContainer*>(frame->pMeshContainer); c;
             c = static_cast<MeshContainer*>(c->pNextMeshContainer)) {
            if (!c->pSkinInfo)
                continue;
            const DWORD bones = c->pSkinInfo->GetNumBones();
            c->boneMatrixPointers.assign(bones, nullptr);
            for (DWORD b = 0; b < bones; ++b) {
                auto* boneFrame = static_cast<MeshFrame*>(D3DXFrameFind(m_root, c->pSkinInfo->GetBoneName(b)));
                if (!boneFrame)
                    return E_FAIL;
                c->boneMatrixPointers[b] = &boneFrame->combinedTransform;
            }
        }
        const HRESULT hr = SetupBoneMatrixPointers(static_cast<MeshFrame*>(frame->pFrameFirstChild));
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

void AnimatedMesh::MeasureSkinReach(MeshFrame* frame)
{
    for (; frame; frame = static_cast<MeshFrame*>(frame->pFrameSibling)) {
        for (auto* c = static_cast<MeshContainer*>(frame->pMeshContainer); c;
             c = static_cast<MeshContainer*>(c->pNextMeshContainer)) {
            ID3DXMesh* source = c->sourceMesh.Get();
            void* data = nullptr;
            if (!c->pSkinInfo || !source || FAILED(source->LockVertexBuffer(D3DLOCK_READONLY, &data)) || !data)
                continue;
            const DWORD stride = source->GetNumBytesPerVertex();
            const DWORD count = source->GetNumVertices();
            for (DWORD b = 0; b < c->pSkinInfo->GetNumBones() && b < c->boneOffsets.size(); ++b) {
                const DWORD influences = c->pSkinInfo->GetNumBoneInfluences(b);
                std::vector<DWORD> vertices(influences);
                std::vector<FLOAT> weights(influences);
                if (influences == 0 || FAILED(c->pSkinInfo->GetBoneInfluence(b, vertices.data(), weights.data())))
                    continue;
                for (DWORD i = 0; i < influences; ++i) {
                    if (vertices[i] >= count || weights[i] <= 0.0f)
                        continue;
                    // The position comes first in every vertex; in the bone's own space its length is the reach.
                    const auto* position = reinterpret_cast<const D3DXVECTOR3*>(
                        static_cast<const uint8_t*>(data) + static_cast<size_t>(vertices[i]) * stride);
                    D3DXVECTOR3 local;
                    D3DXVec3TransformCoord(&local, position, &c->boneOffsets[b]);
                    m_skinReach = std::max(m_skinReach, D3DXVec3Length(&local));
                }
            }
            source->UnlockVertexBuffer();
        }
        MeasureSkinReach(static_cast<MeshFrame*>(frame->pFrameFirstChild));
    }
}

namespace {

void BoundFrames(const MeshFrame* frame, D3DXVECTOR3& low, D3DXVECTOR3& high)
{
    for (; frame; frame = static_cast<const MeshFrame*>(frame->pFrameSibling)) {
        const D3DXVECTOR3 at(frame->combinedTransform._41, frame->combinedTransform._42, frame->combinedTransform._43);
        D3DXVec3Minimize(&low, &low, &at);
        D3DXVec3Maximize(&high, &high, &at);
        BoundFrames(static_cast<const MeshFrame*>(frame->pFrameFirstChild), low, high);
    }
}

} // namespace

bool AnimatedMesh::OutsideView() const
{
    if (!m_root)
        return false;
    // The box round every frame's posed origin, grown by the skin's reach, as a sphere.
    D3DXVECTOR3 low(FLT_MAX, FLT_MAX, FLT_MAX);
    D3DXVECTOR3 high(-FLT_MAX, -FLT_MAX, -FLT_MAX);
    BoundFrames(m_root, low, high);
    const D3DXVECTOR3 centre = (low + high) * 0.5f;
    const D3DXVECTOR3 half = (high - low) * 0.5f;
    const float radius = D3DXVec3Length(&half) + m_skinReach;
    // The planes of the view volume straight from view x projection (a point p is inside where p x M puts it
    // within -w <= x, y <= w and 0 <= z <= w).
    const Camera* camera = Camera::Get();
    D3DXMATRIX m;
    D3DXMatrixMultiply(&m, &camera->GetView(), &camera->GetProjection());
    const float column[4][4] = {{m._11, m._21, m._31, m._41},
                                {m._12, m._22, m._32, m._42},
                                {m._13, m._23, m._33, m._43},
                                {m._14, m._24, m._34, m._44}};
    const float sides[6][4] = {
        {column[3][0] + column[0][0], column[3][1] + column[0][1], column[3][2] + column[0][2],
         column[3][3] + column[0][3]},
        {column[3][0] - column[0][0], column[3][1] - column[0][1], column[3][2] - column[0][2],
         column[3][3] - column[0][3]},
        {column[3][0] + column[1][0], column[3][1] + column[1][1], column[3][2] + column[1][2],
         column[3][3] + column[1][3]},
        {column[3][0] - column[1][0], column[3][1] - column[1][1], column[3][2] - column[1][2],
         column[3][3] - column[1][3]},
        {column[2][0], column[2][1], column[2][2], column[2][3]},
        {column[3][0] - column[2][0], column[3][1] - column[2][1], column[3][2] - column[2][2],
         column[3][3] - column[2][3]},
    };
    for (const auto& plane : sides) {
        const float length = std::sqrt(plane[0] * plane[0] + plane[1] * plane[1] + plane[2] * plane[2]);
        // A camera without a projection yet has no view volume to leave.
        if (!(length > 0.0f) || !std::isfinite(length))
            return false;
        const float distance = (plane[0] * centre.x + plane[1] * centre.y + plane[2] * centre.z + plane[3]) / length;
        if (distance < -radius)
            return true;
    }
    return false;
}

void AnimatedMesh::DrawFrames()
{
    // A unit off the screen costs the rasterizer its every vertex and triangle all the same.
    if (OutsideView())
        return;
    // The skin's passes change blending and culling for their own draws and do not save the device's state; the
    // statics, decals, particles and interface drawn after the units rely on the frame's own settings.
    IDirect3DDevice9* device = DataManager::Get()->GetDevice();
    DWORD blend = TRUE;
    DWORD cull = D3DCULL_NONE;
    if (device) {
        device->GetRenderState(D3DRS_ALPHABLENDENABLE, &blend);
        device->GetRenderState(D3DRS_CULLMODE, &cull);
    }
    DrawFrame(m_root);
    if (device) {
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, blend);
        device->SetRenderState(D3DRS_CULLMODE, cull);
    }
}

void AnimatedMesh::DrawFrame(MeshFrame* frame)
{
    for (; frame; frame = static_cast<MeshFrame*>(frame->pFrameSibling)) {
        for (auto* c = static_cast<MeshContainer*>(frame->pMeshContainer); c;
             c = static_cast<MeshContainer*>(c->pNextMeshContainer))
            DrawMeshContainer(c);
        DrawFrame(static_cast<MeshFrame*>(frame->pFrameFirstChild));
    }
}

void AnimatedMesh::DrawMeshContainer(MeshContainer* container)
{
    if (!container->pSkinInfo || !container->boneCombinations || !m_effect || !container->MeshData.pMesh)
        return;
    const D3DXMATRIX& view = Camera::Get()->GetView();
    D3DXVECTOR3 lightInView;
    D3DXVec3TransformNormal(&lightInView, &LightDirectionStore(), &view);
    m_effect->SetFloatArray("ViewLightDirection", &lightInView.x, 3);
    ID3DXEffect* ownerEffect = m_owner ? m_owner->GetOwnerEffect() : nullptr;
    auto* combinations = static_cast<D3DXBONECOMBINATION*>(container->boneCombinations->GetBufferPointer());
    const DWORD bones = static_cast<DWORD>(container->boneMatrixPointers.size());
    for (DWORD i = 0; i < container->attributeGroupCount; ++i) {
        for (DWORD k = 0; k < container->paletteSize; ++k) {
            const DWORD bone = combinations[i].BoneId[k];
            if (bone == NO_BONE || bone >= bones || k >= m_boneMatrices.size())
                continue;
            D3DXMATRIX offsetCombined;
            D3DXMatrixMultiply(&offsetCombined, &container->boneOffsets[bone], container->boneMatrixPointers[bone]);
            D3DXMatrixMultiply(&m_boneMatrices[k], &offsetCombined, &view);
        }
        m_effect->SetMatrixArray("mWorldMatrixArray", m_boneMatrices.data(), container->paletteSize);
        // A material id past the materials takes the first material's textures.
        const DWORD material = combinations[i].AttribId < container->baseTextures.size() ? combinations[i].AttribId : 0;
        TextureRecord* base = container->baseTextures[material];
        TextureRecord* normals = container->normalMaps[material];
        IDirect3DBaseTexture9* baseTexture = base ? base->texture : nullptr;
        IDirect3DBaseTexture9* normalTexture = normals ? normals->texture : nullptr;
        // The skin's own effect gets the textures too: the owner's effect may not share them with it.
        for (ID3DXEffect* target : {ownerEffect, m_effect}) {
            if (!target)
                continue;
            target->SetTexture("pBaseTexture", baseTexture);
            target->SetTexture("pNormalMapTexture", normalTexture);
            target->CommitChanges();
        }
        m_effect->SetInt("CurNumBones", static_cast<INT>(container->maxFaceInfluences) - 1);
        UINT passes = 0;
        if (SUCCEEDED(m_effect->Begin(&passes, D3DXFX_DONOTSAVESTATE))) {
            for (UINT pass = 0; pass < passes; ++pass) {
                m_effect->BeginPass(pass);
                container->MeshData.pMesh->DrawSubset(i);
                m_effect->EndPass();
            }
            m_effect->End();
        }
        IDirect3DDevice9* device = DataManager::Get()->GetDevice();
        if (device)
            device->SetVertexShader(nullptr);
    }
}

void AnimatedMesh::Release()
{
    if (m_root) {
        MeshHierarchyAllocator allocator(this);
        D3DXFrameDestroy(m_root, &allocator);
    }
    m_root = nullptr;
    m_controller.Reset();
    m_currentSetObject.Reset();
    m_loaded = false;
}

void AnimatedMesh::OnLostDevice()
{
    if (m_effect)
        m_effect->OnLostDevice();
}

void AnimatedMesh::OnResetDevice()
{
    if (m_effect)
        m_effect->OnResetDevice();
}
