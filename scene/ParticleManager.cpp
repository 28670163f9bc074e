#include "scene/ParticleManager.h"

#include "core/DataManager.h"
#include "scene/BoltEffect.h"
#include "scene/ColourBytes.h"
#include "scene/ParticleEmitter.h"
#include "scene/WorldQuad.h"

#include <algorithm>
#include <cmath>

namespace {
std::unique_ptr<ParticleManager>& Instance()
{
    static std::unique_ptr<ParticleManager> instance;
    return instance;
}

// Quads closer than this in distance are ordered by their order numbers instead.
constexpr float SAME_DISTANCE = 5.0f;
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

void ParticleManager::Render()
{
    IDirect3DDevice9* device = DataManager::Get()->GetDevice();
    if (!device) {
        m_emitters.clear();
        m_worldQuads.clear();
        return;
    }
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    device->SetFVF(COLOURED_VERTEX_FVF);

    for (ParticleEmitter* emitter : m_emitters)
        emitter->Draw(device);
    m_emitters.clear();
    // An emitter that subtracts must not turn the bolts and the bars after it into subtractions.
    device->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);

    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    device->SetTransform(D3DTS_WORLD, &identity);
    for (const std::unique_ptr<BoltEffect>& bolt : m_bolts)
        bolt->Draw(device);

    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    SortWorldQuads(m_worldQuads);
    for (WorldQuad* quad : m_worldQuads)
        quad->Draw(device);
    m_worldQuads.clear();

    device->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
    device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
}

void ParticleManager::ReleaseAll()
{
    for (const std::unique_ptr<BoltEffect>& bolt : m_bolts)
        bolt->Release();
    m_bolts.clear();
    m_emitters.clear();
    m_worldQuads.clear();
}
