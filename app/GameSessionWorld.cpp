// The start-up view's world kept as a picture while the camera stands still: the main menu shows the same sky,
// ground and scenery frame after frame, and only the emitters and glows over them move.
#include "app/GameSession.h"

#include "battle/BoardPointer.h"
#include "battle/HexGrid.h"
#include "core/DataManager.h"
#include "scene/Camera.h"
#include "scene/Decal.h"
#include "scene/DecalManager.h"
#include "scene/ParticleEmitter.h"
#include "scene/ParticleManager.h"
#include "scene/SkyDome.h"
#include "scene/StaticObjectSet.h"
#include "scene/Terrain.h"

namespace {

bool SameCamera(const WorldCache::View& a, const WorldCache::View& b)
{
    return WorldCache::SameMatrix(a.view, b.view) && WorldCache::SameMatrix(a.projection, b.projection);
}

} // namespace

void GameSession::SetWorldCacheAllowed(bool allowed)
{
    m_keptWorld.allowed = allowed;
    if (!allowed && m_keptWorld.cache)
        m_keptWorld.cache->Invalidate();
}

// Units, hex highlights and the battle's decals move or fade from frame to frame; the menu over a battle that has
// begun draws its world every frame as the battle does.
bool GameSession::WorldIsStill() const
{
    if (!m_keptWorld.allowed || m_state != GAME_STATE_MAIN_MENU || !m_flow.GetPlayers().empty())
        return false;
    if (m_hexGrid) {
        const HexGrid& grid = *m_hexGrid;
        for (const std::vector<Hex*>* list :
             {&grid.GetPathList(), &grid.GetTeam0List(), &grid.GetTeam1List(), &grid.GetZoneList(),
              &grid.GetTeam0DefendedList(), &grid.GetTeam1DefendedList()})
            if (!list->empty())
                return false;
        const BoardPointer* pointer = BoardPointer::Get();
        if (pointer && pointer->GetHovered())
            return false;
    }
    return true;
}

WorldCache::View GameSession::CurrentWorldView() const
{
    WorldCache::View view;
    const Camera* camera = Camera::Get();
    view.view = camera->GetView();
    view.projection = camera->GetProjection();
    const DataManager* data = DataManager::Get();
    view.width = data->GetBackBufferWidth();
    view.height = data->GetBackBufferHeight();
    view.skyShown = m_skyDome != nullptr;
    view.skyValue = m_skyDome ? m_skyDome->GetSkyValue() : 0.0f;
    view.level = m_terrain.get();
    view.levelRevision = m_terrain ? m_terrain->GroundRevision() : 0;
    // In the order the decal manager draws them.
    const DecalManager* decals = DecalManager::Get();
    for (const std::vector<Decal*>* list : {&decals->DynamicList(), &decals->FrameList(), &decals->LevelList()})
        for (const Decal* decal : *list)
            view.decals.push_back({decal, decal->Texture(), decal->Layings(), decal->Rotation()});
    return view;
}

bool GameSession::DrawKeptWorld(IDirect3DDevice9* device)
{
    if (!m_keptWorld.cache || !WorldIsStill()) {
        m_keptWorld.lastViewSet = false;
        if (m_keptWorld.cache && m_keptWorld.cache->IsValid())
            m_keptWorld.cache->Invalidate();
        return false;
    }
    WorldCache::View view = CurrentWorldView();
    // While the camera moves every frame draws another world: keeping it would only add a copy.
    const bool cameraStill = m_keptWorld.lastViewSet && SameCamera(view, m_keptWorld.lastView);
    m_keptWorld.lastViewSet = true;
    if (!cameraStill) {
        m_keptWorld.cache->Invalidate();
        m_keptWorld.lastView = std::move(view);
        return false;
    }
    const bool kept = m_keptWorld.cache->IsCurrent(view);
    if (!kept) {
        if (!m_keptWorld.cache->BeginPicture(device, view, SCENE_CLEAR_COLOUR, OUT_OF_RANGE_DEPTH)) {
            m_keptWorld.lastView = std::move(view);
            return false;
        }
        const size_t submitted = ParticleManager::Get()->Emitters().size();
        RenderScene(false);
        m_keptWorld.cache->EndPicture(device);
        // The ground hands its emitters on when it is drawn (not when it cannot be).
        m_keptWorld.submitsEmitters = ParticleManager::Get()->Emitters().size() > submitted;
    } else if (m_terrain && m_keptWorld.submitsEmitters) {
        for (const auto& emitter : m_terrain->Emitters())
            emitter->Submit();
    }
    m_keptWorld.lastView = std::move(view);
    if (!m_keptWorld.cache->Show(device, kept)) {
        // The frame draws its world itself, and the ground's emitters with it.
        if (m_terrain)
            for (const auto& emitter : m_terrain->Emitters())
                ParticleManager::Withdraw(emitter.get());
        return false;
    }
    if (StaticObjectSet* statics = m_terrain ? m_terrain->GetStaticObjects() : nullptr)
        statics->RenderGlows();
    device->SetRenderState(D3DRS_FOGENABLE, FALSE);
    return true;
}
