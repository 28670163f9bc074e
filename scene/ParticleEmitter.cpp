#include "scene/ParticleEmitter.h"

#include "core/DataManager.h"
#include "core/Random.h"
#include "scene/Camera.h"
#include "scene/ColourBytes.h"
#include "scene/EmitterFileCache.h"
#include "scene/ParticleManager.h"
#include "scene/TextureReference.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr UINT VERTICES_PER_QUAD = 4;
constexpr UINT INDICES_PER_QUAD = 6;

// Quad i is the two triangles (4i, 4i+1, 4i+2) and (4i+2, 4i+1, 4i+3); every emitter copies its first quads.
const WORD* SharedQuadIndices()
{
    static const std::vector<WORD> table = [] {
        std::vector<WORD> indices(static_cast<size_t>(MAX_PARTICLE_POOL) * INDICES_PER_QUAD);
        for (int quad = 0; quad < MAX_PARTICLE_POOL; ++quad) {
            const WORD first = static_cast<WORD>(quad * VERTICES_PER_QUAD);
            WORD* out = &indices[static_cast<size_t>(quad) * INDICES_PER_QUAD];
            out[0] = first;
            out[1] = first + 1;
            out[2] = first + 2;
            out[3] = first + 2;
            out[4] = first + 1;
            out[5] = first + 3;
        }
        return indices;
    }();
    return table.data();
}

float FrameTime()
{
    return DataManager::Get()->GetFrameTime();
}

} // namespace

ParticleEmitter::ParticleEmitter()
{
    Reset();
    SharedQuadIndices();
}

ParticleEmitter::~ParticleEmitter()
{
    Release();
}

void ParticleEmitter::Reset()
{
    m_settings = EmitterSettings{};
    emitting = true;
    arrived = false;
    finished = false;
    age = 0.0f;
    emissionTimer = 0.0f;
    travelTime = 0.0f;
    alpha = 255;
    position = target = oscillationOffset = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    D3DXMatrixIdentity(&world);
    m_liveCount = 0;
    for (Particle* p : m_live)
        m_free.push_back(p);
    m_live.clear();
}

void ParticleEmitter::LoadFile(const std::string& fileName)
{
    std::shared_ptr<const EmitterFile> file = EmitterFileCache::Get(fileName);
    if (!file) {
        m_directionKeys.clear();
        m_colourKeys.clear();
        m_speedKeys.clear();
        m_sizeKeys.clear();
        Reset();
        return;
    }
    Load(*file);
}

void ParticleEmitter::Load(const EmitterFile& file)
{
    m_directionKeys = file.directionKeys;
    m_colourKeys = file.colourKeys;
    m_speedKeys = file.speedKeys;
    m_sizeKeys = file.sizeKeys;
    Reset();
    m_settings = file.settings;
    m_settings.poolSize = std::clamp(m_settings.poolSize, 0, MAX_PARTICLE_POOL);
    SetTextureName(m_settings.textureName);
    position = m_settings.origin;
    age = 0.0f;
    emissionTimer = 0.0f;
    m_liveCount = 0;
    Start();
}

void ParticleEmitter::ReleaseBuffers()
{
    m_vertexBuffer.Reset();
    m_indexBuffer.Reset();
}

void ParticleEmitter::Start()
{
    FreeParticles();
    // A reload of the same emitter must not leave the previous buffers behind.
    ReleaseBuffers();
    const UINT count = static_cast<UINT>(std::clamp(m_settings.poolSize, 0, MAX_PARTICLE_POOL));
    IDirect3DDevice9* device = DataManager::Get()->GetDevice();
    if (count > 0 && device) {
        device->CreateVertexBuffer(count * VERTICES_PER_QUAD * static_cast<UINT>(sizeof(ColouredVertex)),
                                   D3DUSAGE_WRITEONLY, COLOURED_VERTEX_FVF, D3DPOOL_MANAGED, m_vertexBuffer.AddressOf(),
                                   nullptr);
        const UINT indexBytes = count * INDICES_PER_QUAD * static_cast<UINT>(sizeof(WORD));
        if (SUCCEEDED(device->CreateIndexBuffer(indexBytes, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED,
                                                m_indexBuffer.AddressOf(), nullptr))) {
            void* data = nullptr;
            if (SUCCEEDED(m_indexBuffer->Lock(0, 0, &data, 0)) && data) {
                std::copy_n(SharedQuadIndices(), count * INDICES_PER_QUAD, static_cast<WORD*>(data));
                m_indexBuffer->Unlock();
            }
        }
    }
    m_pool.assign(count, Particle{});
    m_live.reserve(count);
    m_free.reserve(count);
    for (Particle& p : m_pool)
        m_free.push_back(&p);
}

void ParticleEmitter::FreeParticles()
{
    m_live.clear();
    m_free.clear();
    m_pool.clear();
    m_liveCount = 0;
}

void ParticleEmitter::Release()
{
    FreeParticles();
    ReleaseBuffers();
    DropTextureReference(m_texture);
    // Nothing may draw an emitter that is going away.
    ParticleManager::Withdraw(this);
}

void ParticleEmitter::SetTextureName(const std::string& name)
{
    // The new reference is taken before the old one is handed back, so that reloading the same texture
    // never lets the cache's count reach zero.
    TextureRecord* previous = m_texture;
    m_settings.textureName = name;
    m_texture = DataManager::Get()->GetTexture(name, false);
    DropTextureReference(previous);
}

void ParticleEmitter::SetColourKey(size_t index, float red, float green, float blue)
{
    if (index >= m_colourKeys.size())
        return;
    m_colourKeys[index].red = red;
    m_colourKeys[index].green = green;
    m_colourKeys[index].blue = blue;
}

void ParticleEmitter::Update()
{
    MotionStep();
    UpdateParticles();
    FillVertices();
}

void ParticleEmitter::Submit()
{
    ParticleManager::Get()->SubmitEmitter(this);
}

void ParticleEmitter::MotionStep()
{
    const float s = DataManager::Get()->GetGameTime() * m_settings.oscillationSpeed;
    const D3DXVECTOR3& f = m_settings.oscillationFrequency;
    const D3DXVECTOR3& a = m_settings.oscillationAmplitude;
    oscillationOffset = D3DXVECTOR3(std::cos(s * f.x) * a.x, std::sin(s * f.y) * a.y, std::sin(s * f.z) * a.z);

    if (m_settings.projectileSpeed < 0.0f) {
        m_settings.origin = target;
        arrived = true;
    }
    if (m_settings.type != EMITTER_PROJECTILE || age < m_settings.projectileDelay)
        return;
    D3DXVECTOR3 toTarget = target - Centre();
    D3DXVECTOR3 direction;
    D3DXVec3Normalize(&direction, &toTarget);
    position += direction * (m_settings.projectileSpeed * FrameTime());
    if (travelTime == 0.0f && m_settings.projectileSpeed != 0.0f) {
        // A speed of 0 never travels: it arrives one second after its delay instead of never.
        toTarget = target - Centre();
        travelTime = D3DXVec3Length(&toTarget) / m_settings.projectileSpeed;
    }
    if (travelTime + m_settings.projectileDelay + 1.0f <= age) {
        arrived = true;
        emitting = false;
        travelTime = 0.0f;
    }
}

void ParticleEmitter::UpdateParticles()
{
    const float dt = FrameTime();
    emissionTimer += dt;
    if (emitting) {
        age += dt;
        EmitParticles();
    } else if (m_live.empty()) {
        finished = true;
    }
    if (m_settings.duration >= 0.0f && age > m_settings.duration)
        emitting = false;

    // A particle that has reached no key of a list keeps the value the particle before it left.
    D3DXVECTOR3 keyDirection, keyColour;
    float keySpeed = 0.0f;
    float keySize = 0.0f;
    const D3DXVECTOR3 centre = Centre();
    size_t kept = 0;
    for (size_t i = 0; i < m_live.size(); ++i) {
        Particle* p = m_live[i];
        for (size_t k = 0; k < m_directionKeys.size(); ++k) {
            const DirectionKey& key = m_directionKeys[k];
            if (p->age < key.startTime)
                continue;
            const int code = static_cast<int>(std::clamp(key.scale, -1.0e6f, 1.0e6f));
            if (code == DIRECTION_TO_CENTRE) {
                keyDirection = centre - p->position;
            } else if (code == DIRECTION_RANDOM_KICK) {
                if (p->lastRandomKey < static_cast<int>(k)) {
                    RandomDirection(key.x * 0.1f, keyDirection);
                    p->lastRandomKey = static_cast<int>(k);
                }
            } else {
                keyDirection = D3DXVECTOR3(key.x, key.y, key.z) * key.scale;
            }
        }
        for (const ColourKey& key : m_colourKeys) {
            if (p->age >= key.startTime)
                keyColour = D3DXVECTOR3(key.red, key.green, key.blue) * key.scale;
        }
        for (const ScalarKey& key : m_speedKeys) {
            if (p->age >= key.startTime)
                keySpeed = key.factor * key.value;
        }
        for (const ScalarKey& key : m_sizeKeys) {
            if (p->age >= key.startTime)
                keySize = key.factor * key.value;
        }
        p->Integrate(dt, keyDirection, keyColour, keySpeed, keySize);
        if (p->alive)
            m_live[kept++] = p;
        else
            m_free.push_back(p);
    }
    m_live.resize(kept);
}

void ParticleEmitter::EmitParticles()
{
    if (emissionTimer < m_settings.interval)
        return;
    emissionTimer = 0.0f;
    const int n = std::min<long long>(m_settings.perBurst, static_cast<long long>(m_free.size()));
    if (n <= 0)
        return;
    for (int i = 0; i < n; ++i) {
        D3DXVECTOR3 centre = position + m_settings.origin + oscillationOffset;
        D3DXVECTOR3 spread;
        if (m_settings.shape == EMITTER_SQUARE)
            RandomVector(m_settings.spawnExtents.x, m_settings.spawnExtents.y, m_settings.spawnExtents.z, spread);
        else if (m_settings.shape == EMITTER_CIRCLE)
            RandomDirection(m_settings.spawnExtents.x, spread);
        centre += spread;

        D3DXVECTOR3 direction, colour;
        if (m_settings.directionFromFirstKey && !m_directionKeys.empty())
            direction = D3DXVECTOR3(m_directionKeys[0].x, m_directionKeys[0].y, m_directionKeys[0].z);
        if (m_settings.colourFromFirstKey && !m_colourKeys.empty())
            colour = D3DXVECTOR3(m_colourKeys[0].red, m_colourKeys[0].green, m_colourKeys[0].blue);
        D3DXVECTOR3 drift, colourOffset;
        RandomVector(m_settings.directionVariance.x, m_settings.directionVariance.y, m_settings.directionVariance.z,
                     drift);
        RandomVector(m_settings.colourVariance.x, m_settings.colourVariance.y, m_settings.colourVariance.z,
                     colourOffset);
        const float sizeOffset = RandomFloat(-m_settings.sizeVariance, m_settings.sizeVariance);
        const float speedOffset = RandomFloat(-m_settings.speedVariance, m_settings.speedVariance);
        const float size = m_settings.sizeFromFirstKey && !m_sizeKeys.empty() ? m_sizeKeys[0].value : 0.0f;
        const float speed = m_settings.speedFromFirstKey && !m_speedKeys.empty() ? m_speedKeys[0].value : 0.0f;
        const float life = RandomFloat(-m_settings.lifeVariance, m_settings.lifeVariance) + m_settings.life;

        Particle* p = m_free.front();
        m_free.erase(m_free.begin());
        p->Reset();
        p->position = centre;
        p->direction = direction;
        p->speed = speed;
        p->alive = true;
        p->colour = colour;
        p->size = size;
        p->directionDrift = drift;
        p->colourOffset = colourOffset;
        p->speedOffset = speedOffset;
        p->sizeOffset = sizeOffset;
        p->life = life;
        m_live.push_back(p);
    }
}

void ParticleEmitter::FillVertices()
{
    m_liveCount = static_cast<UINT>(m_live.size());
    m_shownCount = m_liveCount;
    if (m_liveCount == 0 || !m_vertexBuffer)
        return;
    D3DXVECTOR3 right(1.0f, 0.0f, 0.0f), up(0.0f, 1.0f, 0.0f);
    const D3DXMATRIX& view = Camera::Get()->GetView();
    if (m_settings.rightFromCamera)
        right = D3DXVECTOR3(view._11, view._21, view._31);
    if (m_settings.upFromCamera)
        up = D3DXVECTOR3(view._12, view._22, view._32);
    const D3DXVECTOR3 r = right * m_settings.rightScale;
    const D3DXVECTOR3 u = up * m_settings.upScale;
    const D3DXVECTOR3 corners[4] = {-r - u, -r + u, r - u, r + u};
    static constexpr float TEX_U[4] = {0.0f, 0.0f, 1.0f, 1.0f};
    static constexpr float TEX_V[4] = {1.0f, 0.0f, 1.0f, 0.0f};

    // Only the live quads are written, and only they are sent to the device.
    const UINT bytes = m_liveCount * VERTICES_PER_QUAD * static_cast<UINT>(sizeof(ColouredVertex));
    void* data = nullptr;
    if (FAILED(m_vertexBuffer->Lock(0, bytes, &data, D3DLOCK_DISCARD)) || !data)
        return;
    auto* out = static_cast<ColouredVertex*>(data);
    const DWORD alphaByte = static_cast<DWORD>(std::clamp(alpha, 0, 255)) << 24;
    const auto rgb = [](const Particle* p) {
        return (ParticleChannel(p->colour.x) << 16) | (ParticleChannel(p->colour.y) << 8) |
               ParticleChannel(p->colour.z);
    };
    const auto write = [&](const Particle* p, D3DCOLOR colour) {
        const D3DXVECTOR3 stretch = m_settings.type == EMITTER_RAY ? p->direction : D3DXVECTOR3();
        for (int c = 0; c < 4; ++c) {
            const D3DXVECTOR3 offset = c < 2 ? corners[c] + stretch : corners[c] - stretch;
            const D3DXVECTOR3 at = p->position + offset * p->size;
            *out++ = ColouredVertex{at.x, at.y, at.z, colour, TEX_U[c], TEX_V[c]};
        }
    };
    // Adding and reverse subtracting saturate each pixel in one direction only, so the order of the particles
    // changes no pixel there, and the black ones (a fire's embers gone out, smoke thinned away) can be put last
    // for the pass to leave out. Any other blend keeps the particles' order.
    const D3DBLENDOP op = static_cast<D3DBLENDOP>(m_settings.blendOp);
    if (op == D3DBLENDOP_ADD || op == D3DBLENDOP_REVSUBTRACT) {
        m_shownCount = 0;
        for (const Particle* p : m_live) {
            if (const DWORD colour = rgb(p)) {
                write(p, alphaByte | colour);
                ++m_shownCount;
            }
        }
        for (const Particle* p : m_live) {
            if (!rgb(p))
                write(p, alphaByte);
        }
    } else {
        for (const Particle* p : m_live)
            write(p, alphaByte | rgb(p));
    }
    m_vertexBuffer->Unlock();
}

bool ParticleEmitter::BlackShowsNothing(IDirect3DDevice9* device)
{
    DWORD fog = TRUE;
    DWORD destination = 0;
    device->GetRenderState(D3DRS_FOGENABLE, &fog);
    device->GetRenderState(D3DRS_DESTBLEND, &destination);
    if (fog || destination != D3DBLEND_ONE)
        return false;
    // Every stage in use must multiply the colour it receives, which keeps black black.
    for (DWORD stage = 0; stage < 8; ++stage) {
        DWORD op = D3DTOP_DISABLE;
        device->GetTextureStageState(stage, D3DTSS_COLOROP, &op);
        if (op == D3DTOP_DISABLE)
            break;
        DWORD first = 0;
        DWORD second = 0;
        device->GetTextureStageState(stage, D3DTSS_COLORARG1, &first);
        device->GetTextureStageState(stage, D3DTSS_COLORARG2, &second);
        const auto carries = [](DWORD arg) { return arg == D3DTA_CURRENT || arg == D3DTA_DIFFUSE; };
        if (op != D3DTOP_MODULATE || !(carries(first) || carries(second)))
            return false;
    }
    return true;
}

void ParticleEmitter::Draw(IDirect3DDevice9* device)
{
    if (!device || m_liveCount == 0 || !m_vertexBuffer || !m_indexBuffer)
        return;
    const auto op = static_cast<D3DBLENDOP>(m_settings.blendOp);
    const bool oneWay = op == D3DBLENDOP_ADD || op == D3DBLENDOP_REVSUBTRACT;
    const UINT quads = oneWay && m_shownCount < m_liveCount && BlackShowsNothing(device) ? m_shownCount : m_liveCount;
    if (quads == 0)
        return;
    device->SetTransform(D3DTS_WORLD, &world);
    device->SetRenderState(D3DRS_BLENDOP, static_cast<DWORD>(m_settings.blendOp));
    if (m_texture && m_texture->texture)
        device->SetTexture(0, m_texture->texture);
    device->SetStreamSource(0, m_vertexBuffer.Get(), 0, sizeof(ColouredVertex));
    device->SetIndices(m_indexBuffer.Get());
    device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, quads * VERTICES_PER_QUAD, 0, quads * 2);
}
