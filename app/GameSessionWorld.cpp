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

#include <cstring>

namespace {

bool SameCamera(const WorldCache::View& a, const WorldCache::View& b)
{
    return std::memcmp(&a.view, &b.view, sizeof(D3DXMATRIX)) == 0 &&
           std::memcmp(&a.projection, &b.projection, sizeof(D3DXMATRIX)) == 0;
}

} // namespace

void GameSession::SetWorldCacheAllowed(bool allowed)
{
    worldCacheAllowed = allowed;
    if (!allowed && worldCache)
        worldCache->Invalidate();
}

// Units, hex highlights and the battle's decals move or fade from frame to frame; the menu over a battle that has
// begun draws its world every frame as the battle does.
bool GameSession::WorldIsStill() const
{
    if (!worldCacheAllowed || state != GAME_STATE_MAIN_MENU || !flow.GetPlayers().empty())
        return false;
    if (hexGrid) {
        const HexGrid& grid = *hexGrid;
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
    view.skyShown = skyShown && skyDome;
    view.skyValue = skyDome ? skyDome->GetSkyValue() : 0.0f;
    view.level = terrain.get();
    view.levelRevision = terrain ? terrain->GroundRevision() : 0;
    // In the order the decal manager draws them.
    const DecalManager* decals = DecalManager::Get();
    for (const std::vector<Decal*>* list : {&decals->DynamicList(), &decals->FrameList(), &decals->LevelList()})
        for (const Decal* decal : *list)
            view.decals.push_back({decal, decal->Texture(), decal->Layings(), decal->Rotation()});
    return view;
}

bool GameSession::DrawKeptWorld(IDirect3DDevice9* device)
{
    if (!worldCache || !WorldIsStill()) {
        lastWorldViewSet = false;
        if (worldCache && worldCache->IsValid())
            worldCache->Invalidate();
        return false;
    }
    WorldCache::View view = CurrentWorldView();
    // While the camera moves every frame draws another world: keeping it would only add a copy.
    const bool cameraStill = lastWorldViewSet && SameCamera(view, lastWorldView);
    lastWorldViewSet = true;
    if (!cameraStill) {
        worldCache->Invalidate();
        lastWorldView = std::move(view);
        return false;
    }
    const bool kept = worldCache->IsCurrent(view);
    if (!kept) {
        if (!worldCache->BeginPicture(device, view, kSceneClearColour, kOutOfRangeDepth)) {
            lastWorldView = std::move(view);
            return false;
        }
        const size_t submitted = ParticleManager::Get()->Emitters().size();
        RenderScene(false);
        worldCache->EndPicture(device);
        // The ground hands its emitters on when it is drawn (not when it cannot be).
        keptWorldSubmitsEmitters = ParticleManager::Get()->Emitters().size() > submitted;
    } else if (terrain && keptWorldSubmitsEmitters) {
        for (const auto& emitter : terrain->Emitters())
            emitter->Submit();
    }
    lastWorldView = std::move(view);
    if (!worldCache->Show(device, kept)) {
        // The frame draws its world itself, and the ground's emitters with it.
        if (terrain)
            for (const auto& emitter : terrain->Emitters())
                ParticleManager::Withdraw(emitter.get());
        return false;
    }
    if (StaticObjectSet* statics = terrain ? terrain->GetStaticObjects() : nullptr)
        statics->RenderGlows();
    device->SetRenderState(D3DRS_FOGENABLE, FALSE);
    return true;
}
