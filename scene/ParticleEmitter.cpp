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
    settings = EmitterSettings{};
    emitting = true;
    arrived = false;
    finished = false;
    age = 0.0f;
    emissionTimer = 0.0f;
    travelTime = 0.0f;
    alpha = 255;
    position = target = oscillationOffset = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    D3DXMatrixIdentity(&world);
    liveCount = 0;
    for (Particle* p : live)
        free.push_back(p);
    live.clear();
}

void ParticleEmitter::LoadFile(const std::string& fileName)
{
    std::shared_ptr<const EmitterFile> file = EmitterFileCache::Get(fileName);
    if (!file) {
        directionKeys.clear();
        colourKeys.clear();
        speedKeys.clear();
        sizeKeys.clear();
        Reset();
        return;
    }
    Load(*file);
}

void ParticleEmitter::Load(const EmitterFile& file)
{
    directionKeys = file.directionKeys;
    colourKeys = file.colourKeys;
    speedKeys = file.speedKeys;
    sizeKeys = file.sizeKeys;
    Reset();
    settings = file.settings;
    settings.poolSize = std::clamp(settings.poolSize, 0, MAX_PARTICLE_POOL);
    SetTextureName(settings.textureName);
    position = settings.origin;
    age = 0.0f;
    emissionTimer = 0.0f;
    liveCount = 0;
    Start();
}

void ParticleEmitter::ReleaseBuffers()
{
    ReleaseInterface(vertexBuffer);
    ReleaseInterface(indexBuffer);
}

void ParticleEmitter::Start()
{
    FreeParticles();
    // A reload of the same emitter must not leave the previous buffers behind.
    ReleaseBuffers();
    const UINT count = static_cast<UINT>(std::clamp(settings.poolSize, 0, MAX_PARTICLE_POOL));
    IDirect3DDevice9* device = DataManager::Get()->GetDevice();
    if (count > 0 && device) {
        device->CreateVertexBuffer(count * VERTICES_PER_QUAD * sizeof(ColouredVertex), D3DUSAGE_WRITEONLY,
                                   COLOURED_VERTEX_FVF, D3DPOOL_MANAGED, &vertexBuffer, nullptr);
        const UINT indexBytes = count * INDICES_PER_QUAD * sizeof(WORD);
        if (SUCCEEDED(device->CreateIndexBuffer(indexBytes, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED,
                                                &indexBuffer, nullptr))) {
            void* data = nullptr;
            if (SUCCEEDED(indexBuffer->Lock(0, 0, &data, 0)) && data) {
                std::copy_n(SharedQuadIndices(), count * INDICES_PER_QUAD, static_cast<WORD*>(data));
                indexBuffer->Unlock();
            }
        }
    }
    pool.assign(count, Particle{});
    live.reserve(count);
    free.reserve(count);
    for (Particle& p : pool)
        free.push_back(&p);
}

void ParticleEmitter::FreeParticles()
{
    live.clear();
    free.clear();
    pool.clear();
    liveCount = 0;
}

void ParticleEmitter::Release()
{
    FreeParticles();
    ReleaseBuffers();
    DropTextureReference(texture);
    // Nothing may draw an emitter that is going away.
    ParticleManager::Withdraw(this);
}

void ParticleEmitter::SetTextureName(const std::string& name)
{
    // The new reference is taken before the old one is handed back, so that reloading the same texture
    // never lets the cache's count reach zero.
    TextureRecord* previous = texture;
    settings.textureName = name;
    texture = DataManager::Get()->GetTexture(name, false);
    DropTextureReference(previous);
}

void ParticleEmitter::SetColourKey(size_t index, float red, float green, float blue)
{
    if (index >= colourKeys.size())
        return;
    colourKeys[index].red = red;
    colourKeys[index].green = green;
    colourKeys[index].blue = blue;
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
    const float s = DataManager::Get()->GetGameTime() * settings.oscillationSpeed;
    const D3DXVECTOR3& f = settings.oscillationFrequency;
    const D3DXVECTOR3& a = settings.oscillationAmplitude;
    oscillationOffset = D3DXVECTOR3(std::cos(s * f.x) * a.x, std::sin(s * f.y) * a.y, std::sin(s * f.z) * a.z);

    if (settings.projectileSpeed < 0.0f) {
        settings.origin = target;
        arrived = true;
    }
    if (settings.type != EMITTER_PROJECTILE || age < settings.projectileDelay)
        return;
    D3DXVECTOR3 toTarget = target - Centre();
    D3DXVECTOR3 direction;
    D3DXVec3Normalize(&direction, &toTarget);
    position += direction * (settings.projectileSpeed * FrameTime());
    if (travelTime == 0.0f && settings.projectileSpeed != 0.0f) {
        // A speed of 0 never travels: it arrives one second after its delay instead of never.
        toTarget = target - Centre();
        travelTime = D3DXVec3Length(&toTarget) / settings.projectileSpeed;
    }
    if (travelTime + settings.projectileDelay + 1.0f <= age) {
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
    } else if (live.empty()) {
        finished = true;
    }
    if (settings.duration >= 0.0f && age > settings.duration)
        emitting = false;

    // A particle that has reached no key of a list keeps the value the particle before it left.
    D3DXVECTOR3 keyDirection, keyColour;
    float keySpeed = 0.0f;
    float keySize = 0.0f;
    const D3DXVECTOR3 centre = Centre();
    size_t kept = 0;
    for (size_t i = 0; i < live.size(); ++i) {
        Particle* p = live[i];
        for (size_t k = 0; k < directionKeys.size(); ++k) {
            const DirectionKey& key = directionKeys[k];
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
        for (const ColourKey& key : colourKeys) {
            if (p->age >= key.startTime)
                keyColour = D3DXVECTOR3(key.red, key.green, key.blue) * key.scale;
        }
        for (const ScalarKey& key : speedKeys) {
            if (p->age >= key.startTime)
                keySpeed = key.factor * key.value;
        }
        for (const ScalarKey& key : sizeKeys) {
            if (p->age >= key.startTime)
                keySize = key.factor * key.value;
        }
        p->Integrate(dt, keyDirection, keyColour, keySpeed, keySize);
        if (p->alive)
            live[kept++] = p;
        else
            free.push_back(p);
    }
    live.resize(kept);
}

void ParticleEmitter::EmitParticles()
{
    if (emissionTimer < settings.interval)
        return;
    emissionTimer = 0.0f;
    const int n = std::min<long long>(settings.perBurst, static_cast<long long>(free.size()));
    if (n <= 0)
        return;
    for (int i = 0; i < n; ++i) {
        D3DXVECTOR3 centre = position + settings.origin + oscillationOffset;
        D3DXVECTOR3 spread;
        if (settings.shape == EMITTER_SQUARE)
            RandomVector(settings.spawnExtents.x, settings.spawnExtents.y, settings.spawnExtents.z, spread);
        else if (settings.shape == EMITTER_CIRCLE)
            RandomDirection(settings.spawnExtents.x, spread);
        centre += spread;

        D3DXVECTOR3 direction, colour;
        if (settings.directionFromFirstKey && !directionKeys.empty())
            direction = D3DXVECTOR3(directionKeys[0].x, directionKeys[0].y, directionKeys[0].z);
        if (settings.colourFromFirstKey && !colourKeys.empty())
            colour = D3DXVECTOR3(colourKeys[0].red, colourKeys[0].green, colourKeys[0].blue);
        D3DXVECTOR3 drift, colourOffset;
        RandomVector(settings.directionVariance.x, settings.directionVariance.y, settings.directionVariance.z, drift);
        RandomVector(settings.colourVariance.x, settings.colourVariance.y, settings.colourVariance.z, colourOffset);
        const float sizeOffset = RandomFloat(-settings.sizeVariance, settings.sizeVariance);
        const float speedOffset = RandomFloat(-settings.speedVariance, settings.speedVariance);
        const float size = settings.sizeFromFirstKey && !sizeKeys.empty() ? sizeKeys[0].value : 0.0f;
        const float speed = settings.speedFromFirstKey && !speedKeys.empty() ? speedKeys[0].value : 0.0f;
        const float life = RandomFloat(-settings.lifeVariance, settings.lifeVariance) + settings.life;

        Particle* p = free.front();
        free.erase(free.begin());
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
        live.push_back(p);
    }
}

void ParticleEmitter::FillVertices()
{
    liveCount = static_cast<UINT>(live.size());
    if (liveCount == 0 || !vertexBuffer)
        return;
    D3DXVECTOR3 right(1.0f, 0.0f, 0.0f), up(0.0f, 1.0f, 0.0f);
    const D3DXMATRIX& view = Camera::Get()->GetView();
    if (settings.rightFromCamera)
        right = D3DXVECTOR3(view._11, view._21, view._31);
    if (settings.upFromCamera)
        up = D3DXVECTOR3(view._12, view._22, view._32);
    const D3DXVECTOR3 r = right * settings.rightScale;
    const D3DXVECTOR3 u = up * settings.upScale;
    const D3DXVECTOR3 corners[4] = {-r - u, -r + u, r - u, r + u};
    static constexpr float TEX_U[4] = {0.0f, 0.0f, 1.0f, 1.0f};
    static constexpr float TEX_V[4] = {1.0f, 0.0f, 1.0f, 0.0f};

    // Only the live quads are written, and only they are sent to the device.
    const UINT bytes = liveCount * VERTICES_PER_QUAD * sizeof(ColouredVertex);
    void* data = nullptr;
    if (FAILED(vertexBuffer->Lock(0, bytes, &data, D3DLOCK_DISCARD)) || !data)
        return;
    auto* out = static_cast<ColouredVertex*>(data);
    const DWORD alphaByte = static_cast<DWORD>(std::clamp(alpha, 0, 255)) << 24;
    for (const Particle* p : live) {
        const D3DXVECTOR3 stretch = settings.type == EMITTER_RAY ? p->direction : D3DXVECTOR3();
        const D3DCOLOR colour = alphaByte | (ParticleChannel(p->colour.x) << 16) | (ParticleChannel(p->colour.y) << 8) |
                                ParticleChannel(p->colour.z);
        for (int c = 0; c < 4; ++c) {
            const D3DXVECTOR3 offset = c < 2 ? corners[c] + stretch : corners[c] - stretch;
            const D3DXVECTOR3 at = p->position + offset * p->size;
            *out++ = ColouredVertex{at.x, at.y, at.z, colour, TEX_U[c], TEX_V[c]};
        }
    }
    vertexBuffer->Unlock();
}

void ParticleEmitter::Draw(IDirect3DDevice9* device)
{
    if (!device || liveCount == 0 || !vertexBuffer || !indexBuffer)
        return;
    device->SetTransform(D3DTS_WORLD, &world);
    device->SetRenderState(D3DRS_BLENDOP, static_cast<DWORD>(settings.blendOp));
    if (texture && texture->texture)
        device->SetTexture(0, texture->texture);
    device->SetStreamSource(0, vertexBuffer, 0, sizeof(ColouredVertex));
    device->SetIndices(indexBuffer);
    device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, liveCount * VERTICES_PER_QUAD, 0, liveCount * 2);
}
