// The world kept as a picture while the camera stands still: sky, stars, ground, the blood on it and the level's
// objects do not change while a player looks at the same view (the main menu, a turn being thought over), and
// only what moves is drawn over the picture every frame: this frame's and the level's decals, the hex
// highlights, the units, the objects' glows and the emitters. The world is drawn in the same two parts when it is
// drawn anew, so that the kept picture and the fresh one are the same to the last pixel.
#include "app/GameSession.h"

#include "app/BattleMarkers.h"
#include "battle/HexGrid.h"
#include "battle/Player.h"
#include "core/DataManager.h"
#include "scene/Camera.h"
#include "scene/Decal.h"
#include "scene/DecalManager.h"
#include "scene/ParticleEmitter.h"
#include "scene/ParticleManager.h"
#include "scene/SkyDome.h"
#include "scene/StarField.h"
#include "scene/StaticObjectSet.h"
#include "scene/Terrain.h"

#include <iterator>

namespace {

// The stencil bit the level's objects set where they are drawn. The decals and hex highlights go on the ground
// without a depth test, under the objects: drawn after them, they keep off the marked pixels. The stars' marks of
// the ground are made and read before the objects are drawn.
constexpr DWORD OBJECTS_MARK = 0x80;

constexpr D3DRENDERSTATETYPE STENCIL_STATES[] = {D3DRS_STENCILENABLE, D3DRS_STENCILFUNC,      D3DRS_STENCILREF,
                                                 D3DRS_STENCILMASK,   D3DRS_STENCILWRITEMASK, D3DRS_STENCILFAIL,
                                                 D3DRS_STENCILZFAIL,  D3DRS_STENCILPASS};

// Sets the stencil for one step of the world's drawing and puts back what it found.
class StencilStep
{
public:
    StencilStep(IDirect3DDevice9* device, const DWORD (&values)[std::size(STENCIL_STATES)]) : m_device(device)
    {
        for (size_t i = 0; i < std::size(STENCIL_STATES); ++i) {
            m_device->GetRenderState(STENCIL_STATES[i], &m_saved[i]);
            m_device->SetRenderState(STENCIL_STATES[i], values[i]);
        }
    }
    ~StencilStep()
    {
        for (size_t i = 0; i < std::size(STENCIL_STATES); ++i)
            m_device->SetRenderState(STENCIL_STATES[i], m_saved[i]);
    }
    StencilStep(const StencilStep&) = delete;
    StencilStep& operator=(const StencilStep&) = delete;

private:
    IDirect3DDevice9* m_device;
    DWORD m_saved[std::size(STENCIL_STATES)] = {};
};

// A fragment of an object that passes its alpha and depth tests marks its pixel.
constexpr DWORD MARK_OBJECTS[] = {TRUE,         D3DCMP_ALWAYS,     OBJECTS_MARK,      0xFFFFFFFF,
                                  OBJECTS_MARK, D3DSTENCILOP_KEEP, D3DSTENCILOP_KEEP, D3DSTENCILOP_REPLACE};
// Only where no object was drawn; nothing is written.
constexpr DWORD UNDER_OBJECTS[] = {
    TRUE, D3DCMP_EQUAL, 0, OBJECTS_MARK, 0, D3DSTENCILOP_KEEP, D3DSTENCILOP_KEEP, D3DSTENCILOP_KEEP};

// The camera culls to a rectangle of the picture for as long as this lives (a null rectangle: to all of it).
class CullingKeptTo
{
public:
    CullingKeptTo(const RECT* rect, UINT width, UINT height) : m_narrowed(rect != nullptr)
    {
        if (rect)
            Camera::Get()->NarrowCulling(*rect, width, height);
    }
    ~CullingKeptTo()
    {
        if (m_narrowed)
            Camera::Get()->WidenCulling();
    }
    CullingKeptTo(const CullingKeptTo&) = delete;
    CullingKeptTo& operator=(const CullingKeptTo&) = delete;

private:
    bool m_narrowed;
};

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

bool GameSession::DrawsWorld(GameState state)
{
    return state == GAME_STATE_DEPLOYMENT || state == GAME_STATE_MAIN_MENU || state == GAME_STATE_BATTLE ||
           state == GAME_STATE_GAME_OVER;
}

// Whatever moves in the world is drawn over the kept picture, so any state that shows the world may keep it.
bool GameSession::WorldIsStill() const
{
    return m_keptWorld.allowed && DrawsWorld(m_state);
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
    // The sky's hour steps on four times a second. A view that looks down on the ground cannot show the dome and
    // draws its stars behind the ground at any hour: its picture is the same at every hour, and is kept.
    view.skyValue =
        m_skyDome && !m_skyDome->IsOutsideView(camera->GetViewProjection()) ? m_skyDome->GetSkyValue() : 0.0f;
    view.level = m_terrain.get();
    view.levelRevision = m_terrain ? m_terrain->GroundRevision() : 0;
    // The decals the picture holds (a blow's blood laid or fading changes them), in their drawing order.
    for (const Decal* decal : DecalManager::Get()->DynamicList())
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
    // So does a world that changes two frames running (blood fading in): its picture would be drawn and copied in
    // every frame. The picture is kept again once the world has stood still for a frame.
    const bool changed = !cameraStill || view != m_keptWorld.lastView;
    const bool changing = changed && m_keptWorld.lastViewChanged;
    m_keptWorld.lastViewChanged = changed;
    if (!cameraStill || changing) {
        m_keptWorld.cache->Invalidate();
        m_keptWorld.lastView = std::move(view);
        return false;
    }
    bool kept = m_keptWorld.cache->IsCurrent(view);
    RECT sky{};
    const SkyChange skyChange = kept ? SkyChange::WHOLE_PICTURE : SkyStepOnly(view, &sky);
    if (skyChange == SkyChange::NO_PIXEL) {
        m_keptWorld.cache->TakeView(view);
        kept = true;
    }
    if (!kept) {
        const bool begun = skyChange == SkyChange::INSIDE_RECT
                               ? m_keptWorld.cache->BeginPart(device, view, sky, SCENE_CLEAR_COLOUR, OUT_OF_RANGE_DEPTH)
                               : m_keptWorld.cache->BeginPicture(device, view, SCENE_CLEAR_COLOUR, OUT_OF_RANGE_DEPTH);
        if (!begun) {
            m_keptWorld.lastView = std::move(view);
            return false;
        }
        const size_t submitted = ParticleManager::Get()->Emitters().size();
        {
            // What lies wholly outside the part drawn could only be clipped away: it is culled instead.
            const CullingKeptTo culling(skyChange == SkyChange::INSIDE_RECT ? &sky : nullptr, view.width, view.height);
            RenderStillWorld();
        }
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
    return true;
}

// When the sky has stepped on and nothing else changed, only the pixels the dome draws can change, as long as the
// stars show (or stay hidden) at both hours: drawn first under the dome, or into what nothing else covers,
// they do not depend on the hour anywhere else.
GameSession::SkyChange GameSession::SkyStepOnly(const WorldCache::View& view, RECT* rect) const
{
    const WorldCache& cache = *m_keptWorld.cache;
    if (!m_skyDome || !cache.IsValid() || !cache.KeptView().SameButTheSky(view))
        return SkyChange::WHOLE_PICTURE;
    const float before = cache.KeptView().skyValue;
    if (m_skyDome->LetsStarsThroughAt(before) != m_skyDome->LetsStarsThroughAt(view.skyValue))
        return SkyChange::WHOLE_PICTURE;
    D3DXMATRIX viewProjection;
    D3DXMatrixMultiply(&viewProjection, &view.view, &view.projection);
    return m_skyDome->ScreenRect(viewProjection, view.width, view.height, rect) ? SkyChange::INSIDE_RECT
                                                                                : SkyChange::NO_PIXEL;
}

void GameSession::HandSceneToDevice(IDirect3DDevice9* device)
{
    if (SUCCEEDED(device->EndScene()))
        device->BeginScene();
}

void GameSession::RenderStillWorld()
{
    IDirect3DDevice9* device = DataManager::Get()->GetDevice();
    if (m_starField)
        m_starField->Render();
    if (m_terrain)
        device->SetRenderState(D3DRS_FOGENABLE, m_terrain->GetLevelData().fogEnable);
    if (m_skyDome)
        m_skyDome->Render();
    if (m_terrain) {
        m_terrain->Render();
        // The ground is most of a picture drawn anew: the device draws it while the objects are laid.
        HandSceneToDevice(device);
        m_groundHandedOver = true;
    }
    DecalManager::Get()->RenderDynamic();
    // The objects stand over the decals and highlights drawn after them (see OBJECTS_MARK), and hide the units
    // behind them by their depth. Drawn before those, an object's blended edge shows the ground through it rather
    // than a unit or a highlight: its alpha test keeps that edge to a pixel.
    if (StaticObjectSet* statics = m_terrain ? m_terrain->GetStaticObjects() : nullptr) {
        // The objects set their own alpha reference; what is drawn after them keeps the one it had before them.
        DWORD alphaReference = 0;
        device->GetRenderState(D3DRS_ALPHAREF, &alphaReference);
        {
            const StencilStep marking(device, MARK_OBJECTS);
            statics->RenderObjects();
        }
        device->SetRenderState(D3DRS_ALPHAREF, alphaReference);
    }
}

// The fog stays as the still part left it (the level's own) until the glows are drawn.
void GameSession::RenderMovingWorld()
{
    IDirect3DDevice9* device = DataManager::Get()->GetDevice();
    {
        const StencilStep underObjects(device, UNDER_OBJECTS);
        DecalManager::Get()->RenderFrameAndLevel();
        if (m_hexGrid)
            m_hexGrid->Render();
    }
    // Over a kept picture the rasterizer lays the decals and highlights while the units' vertices are worked out
    // here. With a world drawn anew its ground is still being drawn, and another hand-over only held this thread
    // up (the frame took a millisecond longer); without units it only costs the scene's own upkeep.
    if (!m_groundHandedOver && m_unitCount > 0)
        HandSceneToDevice(device);
    DataManager::Get()->SetTechnique("SkinnedCharacterBump");
    for (const std::unique_ptr<Player>& player : m_flow.GetPlayers())
        player->Render();
    if (m_markers)
        m_markers->SubmitDecals();
    if (StaticObjectSet* statics = m_terrain ? m_terrain->GetStaticObjects() : nullptr)
        statics->RenderGlows();
    device->SetRenderState(D3DRS_FOGENABLE, FALSE);
}
