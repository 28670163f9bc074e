#include "scene/ParticleManager.h"

#include "core/DataManager.h"
#include "scene/BoltEffect.h"
#include "scene/ColourBytes.h"
#include "scene/ParticleEmitter.h"
#include "scene/WorldQuad.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {
std::unique_ptr<ParticleManager>& Instance()
{
    static std::unique_ptr<ParticleManager> instance;
    return instance;
}

// Quads closer than this in distance are ordered by their order numbers instead.
constexpr float SAME_DISTANCE = 5.0f;
// Screen rectangles are compared with this much room (in the -1..1 range across the view, about four pixels at
// 1024 wide), so that neither rounding nor a pixel's reach at an edge can hide an overlap.
constexpr float SCREEN_MARGIN = 0.008f;
// Where a quad may land on screen: its corners' bounding rectangle in the -1..1 range, or everywhere when a
// corner lies at or behind the eye (its projection would wrap round).
struct ScreenRect {
    float left, bottom, right, top;
    bool everywhere;
};

ScreenRect ProjectQuad(const WorldQuad& quad, const D3DXMATRIX& viewProjection)
{
    ScreenRect rect{1.0e30f, 1.0e30f, -1.0e30f, -1.0e30f, false};
    for (const ColouredVertex& corner : quad.Vertices()) {
        const D3DXVECTOR3 at(corner.x, corner.y, corner.z);
        D3DXVECTOR4 clip;
        D3DXVec3Transform(&clip, &at, &viewProjection);
        if (!(clip.w > 1.0e-4f)) {
            rect.everywhere = true;
            return rect;
        }
        const float x = clip.x / clip.w;
        const float y = clip.y / clip.w;
        rect.left = std::min(rect.left, x);
        rect.right = std::max(rect.right, x);
        rect.bottom = std::min(rect.bottom, y);
        rect.top = std::max(rect.top, y);
    }
    return rect;
}

bool Overlap(const ScreenRect& a, const ScreenRect& b)
{
    if (a.everywhere || b.everywhere)
        return true;
    return a.left <= b.right + SCREEN_MARGIN && b.left <= a.right + SCREEN_MARGIN &&
           a.bottom <= b.top + SCREEN_MARGIN && b.bottom <= a.top + SCREEN_MARGIN;
}
} // namespace

ParticleManager* ParticleManager::Get()
{
    std::unique_ptr<ParticleManager>& instance = Instance();
    if (!instance)
        instance.reset(new ParticleManager);
    return instance.get();
}

void ParticleManager::ResetForTests()
{
    Instance().reset();
}

void ParticleManager::Withdraw(const ParticleEmitter* emitter)
{
    if (ParticleManager* manager = Instance().get())
        std::erase(manager->m_emitters, emitter);
}

void ParticleManager::Withdraw(const WorldQuad* quad)
{
    if (ParticleManager* manager = Instance().get())
        std::erase(manager->m_worldQuads, quad);
}

D3DXVECTOR2 ParticleManager::ScreenPixels()
{
    DataManager* data = DataManager::Get();
    D3DXVECTOR2 size(static_cast<float>(data->GetBackBufferWidth()), static_cast<float>(data->GetBackBufferHeight()));
    D3DVIEWPORT9 viewport{};
    if ((size.x == 0.0f || size.y == 0.0f) && data->GetDevice() && SUCCEEDED(data->GetDevice()->GetViewport(&viewport)))
        size = D3DXVECTOR2(static_cast<float>(viewport.Width), static_cast<float>(viewport.Height));
    return size;
}

void ParticleManager::SubmitEmitter(ParticleEmitter* emitter)
{
    if (emitter)
        m_emitters.push_back(emitter);
}

void ParticleManager::SubmitWorldQuad(WorldQuad* quad)
{
    if (quad)
        m_worldQuads.push_back(quad);
}

BoltEffect* ParticleManager::SpawnBolt(const std::string& textureName, const D3DXVECTOR3* start, const D3DXVECTOR3* end,
                                       const D3DXVECTOR3* colour, float delay, float life, float jitterInterval,
                                       float jitterY, float jitterX, bool fade)
{
    m_bolts.push_back(std::make_unique<BoltEffect>(textureName, start, end, colour, delay, life, jitterInterval,
                                                   jitterY, jitterX, fade));
    return m_bolts.back().get();
}

void ParticleManager::Update()
{
    for (size_t i = 0; i < m_bolts.size();) {
        BoltEffect* bolt = m_bolts[i].get();
        bolt->Update();
        if (bolt->age - bolt->delay >= bolt->life) {
            bolt->Release();
            m_bolts.erase(m_bolts.begin() + static_cast<std::ptrdiff_t>(i));
        } else {
            ++i;
        }
    }
}

bool ParticleManager::DrawnBefore(const WorldQuad& a, const WorldQuad& b)
{
    if (std::fabs(a.cameraDistance - b.cameraDistance) >= SAME_DISTANCE)
        return a.cameraDistance > b.cameraDistance;
    return a.order < b.order;
}

void ParticleManager::SortWorldQuads(std::vector<WorldQuad*>& quads)
{
    // An insertion sort never leaves the range, whatever the rule says of three quads within 5 units.
    for (size_t i = 1; i < quads.size(); ++i) {
        WorldQuad* quad = quads[i];
        size_t j = i;
        while (j > 0 && DrawnBefore(*quad, *quads[j - 1])) {
            quads[j] = quads[j - 1];
            --j;
        }
        quads[j] = quad;
    }
}

size_t ParticleManager::GroupWorldQuads(const std::vector<WorldQuad*>& sorted, const D3DXMATRIX& viewProjection,
                                        std::vector<size_t>& runOf)
{
    std::vector<ScreenRect> rects;
    rects.reserve(sorted.size());
    for (const WorldQuad* quad : sorted)
        rects.push_back(ProjectQuad(*quad, viewProjection));
    std::vector<IDirect3DBaseTexture9*> runPicture;
    runOf.assign(sorted.size(), 0);
    for (size_t i = 0; i < sorted.size(); ++i) {
        // The latest run that an earlier quad overlapping this one is drawn in: the quad may not move before it.
        size_t earliest = 0;
        for (size_t j = 0; j < i; ++j) {
            if (runOf[j] > earliest && Overlap(rects[i], rects[j]))
                earliest = runOf[j];
        }
        const IDirect3DBaseTexture9* picture = sorted[i]->Picture();
        size_t run = runPicture.size();
        for (size_t r = runPicture.size(); r-- > earliest;) {
            if (runPicture[r] == picture) {
                run = r;
                break;
            }
        }
        if (run == runPicture.size())
            runPicture.push_back(sorted[i]->Picture());
        runOf[i] = run;
    }
    return runPicture.size();
}

void ParticleManager::DrawWorldQuads(IDirect3DDevice9* device)
{
    // A quad whose every vertex has no alpha leaves what is under it as it was while blending goes by the
    // source's alpha: it is not drawn (the bars hidden with Tab).
    DWORD blending = FALSE;
    DWORD source = 0;
    device->GetRenderState(D3DRS_ALPHABLENDENABLE, &blending);
    device->GetRenderState(D3DRS_SRCBLEND, &source);
    const bool clearShowsNothing = blending && source == D3DBLEND_SRCALPHA;
    m_visibleQuads.clear();
    for (WorldQuad* quad : m_worldQuads) {
        if (quad->HasSize() && !(clearShowsNothing && (quad->Vertices()[0].colour >> 24) == 0))
            m_visibleQuads.push_back(quad);
    }
    if (m_visibleQuads.empty())
        return;

    D3DXMATRIX view, projection, viewProjection;
    device->GetTransform(D3DTS_VIEW, &view);
    device->GetTransform(D3DTS_PROJECTION, &projection);
    D3DXMatrixMultiply(&viewProjection, &view, &projection);
    const size_t runs = GroupWorldQuads(m_visibleQuads, viewProjection, m_runOf);

    // The runs one after another, each a single joined strip. They go to the device from memory: a buffer of
    // its own, written whole every frame, would have the driver hold on to a fresh copy each time.
    m_quadVertices.clear();
    m_runSpans.clear();
    for (size_t run = 0; run < runs; ++run) {
        const UINT first = static_cast<UINT>(m_quadVertices.size());
        IDirect3DBaseTexture9* picture = nullptr;
        for (size_t i = 0; i < m_visibleQuads.size(); ++i) {
            if (m_runOf[i] != run)
                continue;
            const std::array<ColouredVertex, 4>& corners = m_visibleQuads[i]->Vertices();
            // Each quad is a strip of four vertices; two repeated ones join it to the one before without a visible
            // triangle, and keep every quad starting at an even vertex, so its two triangles are its own.
            if (m_quadVertices.size() > first) {
                m_quadVertices.push_back(m_quadVertices.back());
                m_quadVertices.push_back(corners[0]);
            } else {
                picture = m_visibleQuads[i]->Picture();
            }
            m_quadVertices.insert(m_quadVertices.end(), corners.begin(), corners.end());
        }
        m_runSpans.push_back({picture, first, static_cast<UINT>(m_quadVertices.size()) - first});
    }

    for (const RunSpan& span : m_runSpans) {
        device->SetTexture(0, span.picture);
        device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, span.vertexCount - 2, &m_quadVertices[span.firstVertex],
                                sizeof(ColouredVertex));
    }
}

void ParticleManager::Render()
{
    IDirect3DDevice9* device = DataManager::Get()->GetDevice();
    if (!device) {
        m_emitters.clear();
        m_worldQuads.clear();
        return;
    }
    // The world quads (the units' bars) are cut down to the parts of their textures that show (see VisibleArea),
    // which holds for a source weighed by its alpha and a sampler that does not wrap round to the far edge.
    DWORD addressU = D3DTADDRESS_MIRROR;
    DWORD addressV = D3DTADDRESS_MIRROR;
    device->GetSamplerState(0, D3DSAMP_ADDRESSU, &addressU);
    device->GetSamplerState(0, D3DSAMP_ADDRESSV, &addressV);
    device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_MIRROR);
    device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_MIRROR);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    device->SetFVF(COLOURED_VERTEX_FVF);

    // The emitters' pictures are soft glows and flakes that two neighbouring mip levels hardly tell apart, on
    // particles a few pixels wide, where blending the two levels costs most: they read the nearer level alone, as
    // the units' skins do. The bolts and bars after them keep the blend, which holds the badges' digits legible.
    DWORD mipFilter = D3DTEXF_NONE;
    device->GetSamplerState(0, D3DSAMP_MIPFILTER, &mipFilter);
    if (mipFilter == D3DTEXF_LINEAR)
        device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_POINT);
    for (ParticleEmitter* emitter : m_emitters)
        emitter->Draw(device);
    m_emitters.clear();
    device->SetSamplerState(0, D3DSAMP_MIPFILTER, mipFilter);
    // An emitter that subtracts must not turn the bolts and the bars after it into subtractions.
    device->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);

    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    device->SetTransform(D3DTS_WORLD, &identity);
    for (const std::unique_ptr<BoltEffect>& bolt : m_bolts)
        bolt->Draw(device);

    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    SortWorldQuads(m_worldQuads);
    DrawWorldQuads(device);
    m_worldQuads.clear();

    device->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
    device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    device->SetSamplerState(0, D3DSAMP_ADDRESSU, addressU);
    device->SetSamplerState(0, D3DSAMP_ADDRESSV, addressV);
}

void ParticleManager::ReleaseAll()
{
    for (const std::unique_ptr<BoltEffect>& bolt : m_bolts)
        bolt->Release();
    m_bolts.clear();
    m_emitters.clear();
    m_worldQuads.clear();
}
