#pragma once
// One configurable particle effect: a fixed pool of particles emitted in bursts, steered, tinted and sized by
// key lists over their lives, optionally travelling to a target as a projectile, and drawn as camera-facing
// quads from one vertex buffer. Owners update it once per frame and submit it for the particle pass.

#include "d3d9/D3D9.h"
#include "scene/EmitterFile.h"
#include "scene/Particle.h"
#include "win32/ComPtr.h"

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

    EmitterSettings& Settings() { return m_settings; }
    const EmitterSettings& Settings() const { return m_settings; }
    const std::vector<DirectionKey>& DirectionKeys() const { return m_directionKeys; }
    const std::vector<ColourKey>& ColourKeys() const { return m_colourKeys; }
    const std::vector<ScalarKey>& SpeedKeys() const { return m_speedKeys; }
    const std::vector<ScalarKey>& SizeKeys() const { return m_sizeKeys; }
    const std::vector<Particle*>& LiveParticles() const { return m_live; }
    size_t FreeCount() const { return m_free.size(); }
    UINT LiveCount() const { return m_liveCount; }
    // The live particles whose colour shows: under an adding or reverse-subtracting blend those come first in the
    // buffer, and a black particle (which would add or take away nothing) after them.
    UINT ShownCount() const { return m_shownCount; }
    IDirect3DVertexBuffer9* VertexBuffer() const { return m_vertexBuffer.Get(); }
    IDirect3DIndexBuffer9* IndexBuffer() const { return m_indexBuffer.Get(); }
    TextureRecord* Texture() const { return m_texture; }
    const std::string& TextureName() const { return m_settings.textureName; }

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
    // Whether the device's states let a black particle leave every pixel as it was: the colour reaches the
    // blend as the texture times the vertex colour, unfogged, and the blend keeps the destination whole.
    static bool BlackShowsNothing(IDirect3DDevice9* device);
    D3DXVECTOR3 Centre() const { return m_settings.origin + position; }

    ComPtr<IDirect3DVertexBuffer9> m_vertexBuffer;
    ComPtr<IDirect3DIndexBuffer9> m_indexBuffer;
    TextureRecord* m_texture = nullptr;
    UINT m_liveCount = 0;
    UINT m_shownCount = 0;
    EmitterSettings m_settings;
    std::vector<Particle> m_pool;
    std::vector<Particle*> m_live;
    std::vector<Particle*> m_free;
    std::vector<DirectionKey> m_directionKeys;
    std::vector<ColourKey> m_colourKeys;
    std::vector<ScalarKey> m_speedKeys;
    std::vector<ScalarKey> m_sizeKeys;
};
