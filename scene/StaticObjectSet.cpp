#include "scene/StaticObjectSet.h"

#include "core/DataManager.h"
#include "scene/GlowMesh.h"
#include "scene/LevelObject.h"
#include "scene/OpaqueDraw.h"
#include "scene/StaticMesh.h"

#include <algorithm>
#include <limits>

namespace {
constexpr DWORD OBJECT_ALPHA_REF = 32;
constexpr DWORD GLOW_ALPHA_REF = 4;
} // namespace

StaticObjectSet::StaticObjectSet() = default;
StaticObjectSet::~StaticObjectSet() = default;

void StaticObjectSet::Clear()
{
    for (const auto& object : m_objects)
        if (object->GetMesh())
            object->GetMesh()->ReleaseBoundsBox();
    m_objects.clear();
    m_glows.clear();
}

void StaticObjectSet::LoadFromLevel(const std::vector<LevelStaticObject>* records)
{
    Clear();
    if (!records)
        return;
    for (const LevelStaticObject& record : *records) {
        D3DXMATRIX scale, placed, translation, world;
        D3DXMatrixScaling(&scale, record.scale, record.scale, record.scale);
        placed = D3DXMATRIX(record.matrix);
        D3DXMatrixTranslation(&translation, record.position[0], record.position[1], record.position[2]);
        D3DXMatrixMultiply(&world, &scale, &placed);
        D3DXMatrixMultiply(&world, &world, &translation);
        LevelObject* target = nullptr;
        for (const auto& object : m_objects)
            if (object->GetMeshName() == record.meshName) {
                target = object.get();
                break;
            }
        if (!target) {
            m_objects.push_back(std::make_unique<LevelObject>(record.meshName));
            target = m_objects.back().get();
        }
        target->Matrices().push_back(world);
    }
}

void StaticObjectSet::AddGlow(const std::string& meshName, float delay, float lifetime, const D3DXVECTOR3& position,
                              bool spin)
{
    m_glows.push_back(std::make_unique<GlowMesh>(meshName, delay, lifetime, position, spin));
}

void StaticObjectSet::ResetGlows()
{
    for (const auto& glow : m_glows)
        if (glow->IsStandard())
            glow->SetTimer(glow->GetLifetime());
}

void StaticObjectSet::UpdateGlows()
{
    for (auto it = m_glows.begin(); it != m_glows.end();) {
        (*it)->Update();
        if ((*it)->IsDead())
            it = m_glows.erase(it);
        else
            ++it;
    }
}

void StaticObjectSet::Render()
{
    RenderObjects();
    RenderGlows();
}

void StaticObjectSet::RenderObjects()
{
    DataManager* data = DataManager::Get();
    IDirect3DDevice9* device = data->GetDevice();
    if (!device)
        return;
    data->SetTechnique("StaticObjectTechnique");
    device->SetRenderState(D3DRS_ALPHAREF, OBJECT_ALPHA_REF);
    // The meshes in the order of their nearest placements, so that near ones cover what lies behind them.
    m_drawOrder.clear();
    for (const auto& object : m_objects)
        if (StaticMesh* mesh = object->GetMesh()) {
            const float nearest = mesh->Place(object->Matrices());
            if (nearest != std::numeric_limits<float>::infinity())
                m_drawOrder.emplace_back(nearest, mesh);
        }
    std::stable_sort(m_drawOrder.begin(), m_drawOrder.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [nearest, mesh] : m_drawOrder) {
        const OpaqueDraw opaque(device, mesh->IsOpaque());
        mesh->DrawPlaced();
    }
}

void StaticObjectSet::RenderGlows()
{
    DataManager* data = DataManager::Get();
    IDirect3DDevice9* device = data->GetDevice();
    if (!device)
        return;
    device->SetRenderState(D3DRS_ALPHAREF, GLOW_ALPHA_REF);
    data->SetTechnique("BumpMappingBasic");
    device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    for (const auto& glow : m_glows)
        if (glow->IsShown() && glow->GetMesh())
            glow->GetMesh()->DrawGlow(glow->GetWorld());
    device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
}
