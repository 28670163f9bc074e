#pragma once

#include "core/DataManager.h"
#include "d3dx9/D3DX9Math.h"
#include "scene/GroundProvider.h"
#include "scene/LevelData.h"
#include "scene/TerrainVertex.h"
#include "win32/ComPtr.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct IDirect3DVertexBuffer9;
struct ID3DXEffect;
struct TextureRecord;
class TerrainOctree;
class StaticObjectSet;
class HexTypeSink;
class ParticleEmitter;

// The ground of the battle: a 128 x 128 height grid 256 units apart, drawn through the octree with four
// blended textures and a light map; it answers height and normal queries, sets the scene's fog and owns the
// level's static objects.
class Terrain : public GroundProvider
{
public:
    static constexpr int GRID = 128;
    static constexpr int VERTEX_COUNT = GRID * GRID;

    // The terrain of the level on show, which the camera and the stars follow; null when none is. A terrain that
    // goes stops being it.
    static Terrain* Current();
    static void SetCurrent(Terrain* terrain);

    Terrain();
    ~Terrain() override;
    Terrain(const Terrain&) = delete;
    Terrain& operator=(const Terrain&) = delete;

    void Init();
    bool LoadLevel(const std::string& name);
    void ApplyHexTypes();
    void SetFog();
    void OnResetDevice() { SetFog(); }
    void ComputeNormalsAndWeights();
    bool WriteLightMap();
    void LoadLightMap();
    void Update();
    void Render();
    void DrawStaticObjects();

    float HeightAt(float x, float z) const;
    void NormalAt(float* out, float x, float z) const;
    TerrainVertex VertexAt(int i, int j) const;
    void Centre(float* out) const;

    // The level's ambient emitters: the terrain owns them, updates them and submits them for drawing.
    void AddEmitter(ParticleEmitter* emitter);
    void ClearEmitters();
    void FreeEmitterList();
    const std::vector<std::unique_ptr<ParticleEmitter>>& Emitters() const { return m_emitters; }

    // What the decals lie on.
    float GroundHeight(float x, float z) const override { return HeightAt(x, z); }
    D3DXVECTOR3 GroundNormal(float x, float z) const override;
    unsigned GroundRevision() const override { return m_revision; }

    void SetHexTypeSink(HexTypeSink* sink) { m_hexSink = sink; }

    bool IsLoaded() const { return m_loaded; }
    const LevelData& GetLevelData() const { return m_level; }
    const D3DXVECTOR3& GetLightPosition() const { return m_lightPosition; }
    StaticObjectSet* GetStaticObjects() const { return m_staticObjects.get(); }
    TerrainOctree* GetOctree() const { return m_octree.get(); }
    const std::vector<LevelDecal>& GetLevelDecals() const { return m_levelDecals; }
    TextureRecord* GetLightTexture() const { return m_lightTexture; }
    TextureRecord* GetTextureSlot(int slot) const { return m_textures[static_cast<size_t>(slot)]; }
    // The light map as last worked out: 128 x 128 pixels of blue, green, red, top row first.
    const std::vector<uint8_t>& GetLightMapPixels() const { return m_lightPixels; }
    static std::string LightMapPath();

private:
    // What a refused level leaves on screen, for its message.
    std::string PreviousLevelStays() const;
    // The light map's texture when the cache has none: the file could neither be written nor read back.
    TextureRecord* OwnLightTexture();
    void ComputeLightMapPixels();
    void UploadLightMap();
    TerrainVertex* LockVertices();
    void UnlockVertices();

    std::unique_ptr<TerrainOctree> m_octree;
    LevelData m_level;
    std::unique_ptr<StaticObjectSet> m_staticObjects;
    bool m_loaded = false;
    D3DXVECTOR3 m_lightPosition{1280.0f, 10000.0f, 1280.0f};
    ComPtr<IDirect3DVertexBuffer9> m_vertexBuffer;
    // A copy of the vertex buffer's records, so that queries never read back from the device.
    std::vector<TerrainVertex> m_vertices;
    std::array<TextureRecord*, 4> m_textures{};
    TextureRecord* m_lightTexture = nullptr;
    // The light map's texture when the cache has none for it, lent to the record that stands in for the cache's.
    ComPtr<IDirect3DTexture9> m_ownLight;
    TextureRecord m_ownLightTexture;
    bool m_lightMapWarned = false;
    ID3DXEffect* m_effect = nullptr;
    std::vector<uint8_t> m_lightPixels;
    std::vector<LevelDecal> m_levelDecals;
    HexTypeSink* m_hexSink = nullptr;
    std::vector<std::unique_ptr<ParticleEmitter>> m_emitters;
    unsigned m_revision = 0;
};
