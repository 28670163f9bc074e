#pragma once
// Collects, once per frame, what the scene's blended pass draws after the opaque scene: the particle emitters
// and world quads submitted this frame (not owned) and the live bolts (owned, expired here).

#include "d3d9/D3D9.h"
#include "d3dx9/D3DX9Math.h"
#include "scene/ColourBytes.h"

#include <memory>
#include <string>
#include <vector>

class BoltEffect;
class ParticleEmitter;
class WorldQuad;

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
    // Groups the sorted quads into runs of one texture each, drawn in the order of the runs; a quad joins an
    // earlier run of its texture only where no quad of the runs after that one overlaps it on screen (the
    // projected rectangles under viewProjection), so every pixel sees its quads in the sorted order still.
    // Fills runOf with the run of each quad and returns the number of runs.
    static size_t GroupWorldQuads(const std::vector<WorldQuad*>& sorted, const D3DXMATRIX& viewProjection,
                                  std::vector<size_t>& runOf);

    // The size in pixels of the picture the pass draws into: the back buffer's, or the device's viewport where
    // no application gives one. What the quads' cutting takes for the size of a texel on screen.
    static D3DXVECTOR2 ScreenPixels();

    const std::vector<ParticleEmitter*>& Emitters() const { return m_emitters; }
    const std::vector<WorldQuad*>& WorldQuads() const { return m_worldQuads; }
    // The corners of the last frame's quads as they were drawn: run after run, each run one strip.
    const std::vector<ColouredVertex>& QuadVertices() const { return m_quadVertices; }
    size_t BoltCount() const { return m_bolts.size(); }
    BoltEffect* Bolt(size_t index) const { return m_bolts[index].get(); }

private:
    ParticleManager() = default;
    // Draws the sorted quads, a draw for each run of one texture.
    void DrawWorldQuads(IDirect3DDevice9* device);

    std::vector<ParticleEmitter*> m_emitters;
    std::vector<WorldQuad*> m_worldQuads;
    // Kept from frame to frame so that the pass allocates nothing once it has seen its largest frame.
    std::vector<WorldQuad*> m_visibleQuads;
    std::vector<size_t> m_runOf;
    struct RunSpan {
        IDirect3DBaseTexture9* picture;
        UINT firstVertex;
        UINT vertexCount;
    };
    std::vector<RunSpan> m_runSpans;
    std::vector<ColouredVertex> m_quadVertices;
    std::vector<std::unique_ptr<BoltEffect>> m_bolts;
};
