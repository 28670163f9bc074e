#pragma once
// Collects, once per frame, what the scene's blended pass draws after the opaque scene: the particle emitters
// and world quads submitted this frame (not owned) and the live bolts (owned, expired here).

#include "d3dx9/D3DX9Math.h"

#include <memory>
#include <string>
#include <vector>

class BoltEffect;
class ParticleEmitter;
class WorldQuad;
struct IDirect3DDevice9;

class ParticleManager
{
public:
    static ParticleManager* Get();
    // Drops every submission and bolt and forgets the manager (tests, and shutdown before the device goes).
    static void ResetForTests();
    // Takes an emitter or a quad out of this frame's lists (it is going away); does nothing without a manager.
    static void Withdraw(const ParticleEmitter* emitter);
    static void Withdraw(const WorldQuad* quad);

    void SubmitEmitter(ParticleEmitter* emitter);
    void SubmitWorldQuad(WorldQuad* quad);
    BoltEffect* SpawnBolt(const std::string& textureName, const D3DXVECTOR3* start, const D3DXVECTOR3* end,
                          const D3DXVECTOR3* colour, float delay, float life, float jitterInterval, float jitterY,
                          float jitterX, bool fade);
    void Update();
    void Render();
    // Releases the bolts (at shutdown, before the device is released).
    void ReleaseAll();

    // Back to front by camera distance, ties within 5 units broken by the order number; stable, and safe for
    // lists in which that rule is not a strict ordering.
    static void SortWorldQuads(std::vector<WorldQuad*>& quads);
    static bool DrawnBefore(const WorldQuad& a, const WorldQuad& b);

    const std::vector<ParticleEmitter*>& Emitters() const { return m_emitters; }
    const std::vector<WorldQuad*>& WorldQuads() const { return m_worldQuads; }
    size_t BoltCount() const { return m_bolts.size(); }
    BoltEffect* Bolt(size_t index) const { return m_bolts[index].get(); }

private:
    ParticleManager() = default;

    std::vector<ParticleEmitter*> m_emitters;
    std::vector<WorldQuad*> m_worldQuads;
    std::vector<std::unique_ptr<BoltEffect>> m_bolts;
};
