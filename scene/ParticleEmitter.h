#pragma once
// One configurable particle effect: a fixed pool of particles emitted in bursts, steered, tinted and sized by
// key lists over their lives, optionally travelling to a target as a projectile, and drawn as camera-facing
// quads from one vertex buffer. Owners update it once per frame and submit it for the particle pass.

#include "d3d9/D3D9.h"
#include "scene/EmitterFile.h"
#include "scene/Particle.h"

#include <string>
#include <vector>

struct TextureRecord;

class ParticleEmitter
{
public:
    ParticleEmitter();
    ~ParticleEmitter();
    ParticleEmitter(const ParticleEmitter&) = delete;
    ParticleEmitter& operator=(const ParticleEmitter&) = delete;

    // Reads the named file (through the emitter-file cache) and starts the emitter. A file that cannot be
    // found leaves a default emitter that emits nothing.
    void LoadFile(const std::string& fileName);
    // Takes a file's contents as if it had been read (LoadFile without the lookup).
    void Load(const EmitterFile& file);
    void Reset();
    // Builds the buffers and the particle pool for the pool size, replacing any earlier ones.
    void Start();
    void Update();
    void Submit();
    void Draw(IDirect3DDevice9* device);
    void SetColourKey(size_t index, float red, float green, float blue);
    void SetTextureName(const std::string& name);
    void FreeParticles();
    void Release();

    // The steps of Update, public for the owners that drive them apart and for tests.
    void MotionStep();
    void UpdateParticles();
    void EmitParticles();
    void FillVertices();

    EmitterSettings& Settings() { return settings; }
    const EmitterSettings& Settings() const { return settings; }
    const std::vector<DirectionKey>& DirectionKeys() const { return directionKeys; }
    const std::vector<ColourKey>& ColourKeys() const { return colourKeys; }
    const std::vector<ScalarKey>& SpeedKeys() const { return speedKeys; }
    const std::vector<ScalarKey>& SizeKeys() const { return sizeKeys; }
    const std::vector<Particle*>& LiveParticles() const { return live; }
    size_t FreeCount() const { return free.size(); }
    UINT LiveCount() const { return liveCount; }
    IDirect3DVertexBuffer9* VertexBuffer() const { return vertexBuffer; }
    IDirect3DIndexBuffer9* IndexBuffer() const { return indexBuffer; }
    TextureRecord* Texture() const { return texture; }
    const std::string& TextureName() const { return settings.textureName; }

    bool emitting = true;
    bool arrived = false;
    bool finished = false;
    float age = 0.0f;
    float emissionTimer = 0.0f;
    float travelTime = 0.0f;
    int alpha = 255;
    D3DXVECTOR3 position;
    D3DXVECTOR3 target;
    D3DXVECTOR3 oscillationOffset;
    D3DXMATRIX world;

private:
    void ReleaseBuffers();
    D3DXVECTOR3 Centre() const { return settings.origin + position; }

    IDirect3DVertexBuffer9* vertexBuffer = nullptr;
    IDirect3DIndexBuffer9* indexBuffer = nullptr;
    TextureRecord* texture = nullptr;
    UINT liveCount = 0;
    EmitterSettings settings;
    std::vector<Particle> pool;
    std::vector<Particle*> live;
    std::vector<Particle*> free;
    std::vector<DirectionKey> directionKeys;
    std::vector<ColourKey> colourKeys;
    std::vector<ScalarKey> speedKeys;
    std::vector<ScalarKey> sizeKeys;
};
