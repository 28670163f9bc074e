#include "scene/Terrain.h"

#include "core/DataManager.h"
#include "d3dx9/D3DX9.h"
#include "scene/Camera.h"
#include "scene/DecalManager.h"
#include "scene/HexTypeSink.h"
#include "scene/LevelFile.h"
#include "scene/ParticleEmitter.h"
#include "scene/SkyDome.h"
#include "scene/StarField.h"
#include "scene/StaticObjectSet.h"
#include "scene/TerrainOctree.h"
#include "win32/Log.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>

namespace {

Terrain* g_currentTerrain = nullptr;

} // namespace

namespace {
constexpr float FOG_START = 5000.0f;
constexpr float FOG_END = 20000.0f;
constexpr float FOG_FOURTH = 0.66f;
constexpr const char* LIGHT_MAP_NAME = "lightmap.tga";
const D3DXVECTOR3 LIGHT_MAP_POINT(50.0f, -45.0f, 25.0f);
constexpr uint8_t LIGHT_MAP_HEADER[18] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 128, 0, 128, 0, 24, 0x20};

// The terrain effect's techniques for triangles that use fewer of the ground textures, by the weight sets of
// the octree (bit k: weight k + 1), named after the textures they read. A set the effect offers no technique
// for is drawn with the effect's current technique, which reads all four.
constexpr const char* GROUND_TECHNIQUES[TerrainOctree::WEIGHT_SETS] = {
    "GroundNone",      "GroundOne",          "GroundTwo",          "GroundOneTwo",
    "GroundThree",     "GroundOneThree",     "GroundTwoThree",     "GroundOneTwoThree",
    "GroundFour",      "GroundOneFour",      "GroundTwoFour",      "GroundOneTwoFour",
    "GroundThreeFour", "GroundOneThreeFour", "GroundTwoThreeFour", "GroundOneTwoThreeFour",
};

void Warn(const char* event, const std::string& text)
{
    Log(LogLevel::WARNING, event, text);
}

int ClampByte(float value)
{
    if (!(value > 0.0f))
        return 0;
    if (value >= 255.0f)
        return 255;
    return static_cast<int>(value);
}

void GiveBack(TextureRecord*& record)
{
    if (record && record->referenceCount > 0)
        --record->referenceCount;
    record = nullptr;
}
} // namespace

Terrain::Terrain() = default;

Terrain::~Terrain()
{
    if (g_currentTerrain == this)
        g_currentTerrain = nullptr;
    if (DecalManager::Get()->GetGround() == this)
        DecalManager::Get()->SetGround(nullptr);
    ClearEmitters();
    for (TextureRecord*& slot : m_textures)
        GiveBack(slot);
    GiveBack(m_lightTexture);
    if (m_staticObjects)
        m_staticObjects->Clear();
}

void Terrain::Init()
{
    m_level = LevelData();
    m_staticObjects = std::make_unique<StaticObjectSet>();
    DataManager* data = DataManager::Get();
    m_effect = data->GetEffect("terrain.fx");
    m_vertices.assign(VERTEX_COUNT, TerrainVertex{});
    DecalManager::Get()->SetGround(this);
    if (IDirect3DDevice9* device = data->GetDevice())
        device->CreateVertexBuffer(VERTEX_COUNT * sizeof(TerrainVertex), 0, TerrainVertex::FVF, D3DPOOL_MANAGED,
                                   m_vertexBuffer.AddressOf(), nullptr);
}

bool Terrain::LoadLevel(const std::string& name)
{
    // The file is read and checked whole before anything of the current level is let go: a level that cannot
    // be used leaves the ground the player sees as it was.
    std::string path = name;
    DataManager* data = DataManager::Get();
    std::vector<uint8_t> bytes;
    // Each fault is said once per file, however often the level is chosen again.
    if (!data->ResolvePath(path)) {
        data->ReportMissing("level.missing", name, "is not found; " + PreviousLevelStays());
        return false;
    }
    if (!LevelFile::ReadWholeFile(path, bytes)) {
        data->ReportMissing("level.unreadable", path, "cannot be read; " + PreviousLevelStays());
        return false;
    }
    LevelFile::Contents contents;
    std::string error;
    std::vector<std::string> warnings;
    if (!LevelFile::Parse(bytes.data(), bytes.size(), contents, error, &warnings)) {
        data->ReportMissing("level.refused", path, "is not a level file (" + error + "); " + PreviousLevelStays());
        return false;
    }
    for (const std::string& warning : warnings)
        Warn("level.corrected", std::string("\"").append(path).append("\": ").append(warning));

    m_octree = std::make_unique<TerrainOctree>();
    m_loaded = false;
    m_level = std::move(contents.data);
    ClearEmitters();
    if (!m_staticObjects)
        m_staticObjects = std::make_unique<StaticObjectSet>();
    m_staticObjects->LoadFromLevel(&contents.staticObjects);
    m_levelDecals = std::move(contents.decals);
    // The decal manager reads its section from a file; it gets the checked records in the file's layout.
    std::vector<uint8_t> decalSection = LevelFile::DecalSection(m_levelDecals);
    if (FILE* section = fmemopen(decalSection.data(), decalSection.size(), "rb")) {
        DecalManager::Get()->LoadLevelDecals(section);
        std::fclose(section);
    }

    for (size_t k = 0; k < 4; ++k) {
        if (m_level.textureNames[k] == LevelData::NO_TEXTURE)
            continue;
        TextureRecord* record = data->GetTexture(m_level.textureNames[k]);
        GiveBack(m_textures[k]);
        m_textures[k] = record;
    }
    if (m_effect) {
        static const char* const kTextureParameters[4] = {"pTexture1", "pTexture2", "pTexture3", "pTexture4"};
        for (size_t k = 0; k < 4; ++k)
            if (m_textures[k])
                m_effect->SetTexture(kTextureParameters[k], m_textures[k]->texture);
    }

    SetFog();
    m_octree->Build(m_level);
    m_vertices = m_octree->Records();
    ComputeNormalsAndWeights();
    ++m_revision;
    ApplyHexTypes();
    m_loaded = true;
    return true;
}

std::string Terrain::PreviousLevelStays() const
{
    return m_loaded ? "the previous level stays" : "no level is shown";
}

void Terrain::ApplyHexTypes()
{
    if (!m_hexSink)
        return;
    m_hexSink->LoadTextures();
    for (int row = 0; row < LevelData::HEX_ROWS; ++row)
        for (int column = 0; column < LevelData::HEX_COLUMNS; ++column)
            m_hexSink->SetHexType(
                row, column,
                m_level.hexTypes[static_cast<size_t>(row) * LevelData::HEX_COLUMNS + static_cast<size_t>(column)]);
    m_hexSink->Update();
}

void Terrain::SetFog()
{
    DataManager* data = DataManager::Get();
    if (SkyDome* sky = SkyDome::Current()) {
        sky->SetSkyValue(m_level.skyValue);
        sky->UpdateVertices();
    }
    const D3DXVECTOR4 fogData(FOG_START, FOG_END, 1.0f / (FOG_END - FOG_START), FOG_FOURTH);
    if (m_effect)
        m_effect->SetVector("FogData", &fogData);
    if (ID3DXEffect* basic = data->GetEffect("basic.fx"))
        basic->SetVector("FogData", &fogData);
    if (ID3DXEffect* skinned = data->GetEffect("SkinnedMesh.fx"))
        skinned->SetVector("FogData", &fogData);
    if (IDirect3DDevice9* device = data->GetDevice()) {
        // Each channel stays within its byte, so a colour beyond 0..255 cannot spill into its neighbour.
        const DWORD colour = static_cast<DWORD>(ClampByte(m_level.fogColour[0])) << 16 |
                             static_cast<DWORD>(ClampByte(m_level.fogColour[1])) << 8 |
                             static_cast<DWORD>(ClampByte(m_level.fogColour[2]));
        device->SetRenderState(D3DRS_FOGCOLOR, colour);
        float start = FOG_START, end = FOG_END;
        DWORD bits = 0;
        std::memcpy(&bits, &start, 4);
        device->SetRenderState(D3DRS_FOGSTART, bits);
        std::memcpy(&bits, &end, 4);
        device->SetRenderState(D3DRS_FOGEND, bits);
    }
}

TerrainVertex* Terrain::LockVertices()
{
    return m_vertices.empty() ? nullptr : m_vertices.data();
}

// The device buffer mirrors the records; the leaves that are drawn get the same records, so what the pass
// below works out is what the player sees.
void Terrain::UnlockVertices()
{
    void* data = nullptr;
    if (m_vertexBuffer && SUCCEEDED(m_vertexBuffer->Lock(0, 0, &data, 0)) && data) {
        std::memcpy(data, m_vertices.data(), m_vertices.size() * sizeof(TerrainVertex));
        m_vertexBuffer->Unlock();
    }
    if (m_octree)
        m_octree->RefreshLeaves(m_vertices.data());
}

void Terrain::ComputeNormalsAndWeights()
{
    TerrainVertex* v = LockVertices();
    if (!v)
        return;
    auto position = [&](int r, int c) {
        const float* p = v[r * GRID + c].position;
        return D3DXVECTOR3(p[0], p[1], p[2]);
    };
    for (int c = 1; c < GRID; ++c) {
        for (int r = 1; r < GRID - 1; ++r) {
            const D3DXVECTOR3 p0 = position(r, c);
            const D3DXVECTOR3 p1 = position(r + 1, c);
            // The last column has no neighbour beyond it: its edge continues the one before.
            const D3DXVECTOR3 p2 = c < GRID - 1 ? position(r, c + 1) : p0 + (p0 - position(r, c - 1));
            D3DXVECTOR3 e1 = p1 - p0, e2 = p2 - p0, n;
            D3DXVec3Cross(&n, &e1, &e2);
            D3DXVec3Normalize(&n, &n);
            TerrainVertex& vertex = v[r * GRID + c];
            vertex.normal[0] = n.x;
            vertex.normal[1] = n.y;
            vertex.normal[2] = n.z;
            float* w = &m_level.blendWeights[(static_cast<size_t>(c) * GRID + static_cast<size_t>(r)) * 4];
            w[1] = (1.0f - n.y) * m_level.slopeFactor;
            w[0] = 1.0f - w[1];
            vertex.colour = PackWeights(w);
        }
    }
    UnlockVertices();
    LoadLightMap();
}

std::string Terrain::LightMapPath()
{
    return DataManager::Get()->GetBaseDirectory() + "/Data/Textures/World Textures/" + LIGHT_MAP_NAME;
}

void Terrain::ComputeLightMapPixels()
{
    m_lightPixels.assign(static_cast<size_t>(VERTEX_COUNT) * 3, 0);
    const float scale = 1.0f / 255.0f;
    for (int k = 0; k < VERTEX_COUNT && k < static_cast<int>(m_vertices.size()); ++k) {
        const TerrainVertex& vertex = m_vertices[static_cast<size_t>(k)];
        D3DXVECTOR3 d = LIGHT_MAP_POINT - D3DXVECTOR3(vertex.position[0], vertex.position[1], vertex.position[2]);
        D3DXVec3Normalize(&d, &d);
        const D3DXVECTOR3 n(vertex.normal[0], vertex.normal[1], vertex.normal[2]);
        int light = static_cast<int>(std::sin(D3DXVec3Dot(&n, &d)) * static_cast<float>(m_level.lightIntensity));
        light = std::max(light, m_level.lightMapMinimum);
        light = std::min(light, 255);
        const float l = static_cast<float>(light);
        uint8_t* pixel = &m_lightPixels[static_cast<size_t>(k) * 3];
        pixel[0] = static_cast<uint8_t>(ClampByte(m_level.lightColour[2] * scale * l));
        pixel[1] = static_cast<uint8_t>(ClampByte(m_level.lightColour[1] * scale * l));
        pixel[2] = static_cast<uint8_t>(ClampByte(m_level.lightColour[0] * scale * l));
    }
}

bool Terrain::WriteLightMap()
{
    ComputeLightMapPixels();
    FILE* file = std::fopen(LightMapPath().c_str(), "wb");
    if (!file)
        return false;
    std::fwrite(LIGHT_MAP_HEADER, 1, sizeof(LIGHT_MAP_HEADER), file);
    std::fwrite(m_lightPixels.data(), 1, m_lightPixels.size(), file);
    std::fclose(file);
    return true;
}

void Terrain::LoadLightMap()
{
    const bool written = WriteLightMap();
    DataManager* data = DataManager::Get();
    // Without substitution: the pixels are uploaded into whatever record comes back, and the cache's default
    // texture is shared by every texture that could not be found.
    TextureRecord* record = data->GetTexture(LIGHT_MAP_NAME, true);
    GiveBack(m_lightTexture);
    if (!record) {
        if (!m_lightMapWarned)
            Warn("lightmap.missing", "\"" + LightMapPath() + "\" can " +
                                         (written ? "be written but not loaded" : "neither be written nor found") +
                                         "; the light map is kept in a texture of the terrain's own");
        m_lightMapWarned = true;
        record = OwnLightTexture();
    }
    m_lightTexture = record;
    // The cache hands back the texture it already holds for this name, which still shows the previous
    // level's light; it gets the new pixels here.
    UploadLightMap();
    if (m_effect && m_lightTexture)
        m_effect->SetTexture("pLightTexture", m_lightTexture->texture);
}

TextureRecord* Terrain::OwnLightTexture()
{
    if (!m_ownLight) {
        IDirect3DDevice9* device = DataManager::Get()->GetDevice();
        if (!device || FAILED(device->CreateTexture(GRID, GRID, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED,
                                                    m_ownLight.AddressOf(), nullptr)))
            return nullptr;
        m_ownLightTexture.texture = m_ownLight.Get();
        m_ownLightTexture.fileName = LIGHT_MAP_NAME;
    }
    m_ownLightTexture.referenceCount = 1;
    return &m_ownLightTexture;
}

void Terrain::UploadLightMap()
{
    if (!m_lightTexture || !m_lightTexture->texture || m_lightPixels.empty())
        return;
    IDirect3DTexture9* texture = m_lightTexture->texture;
    const DWORD levels = texture->GetLevelCount();
    for (UINT level = 0; level < levels; ++level) {
        D3DSURFACE_DESC desc{};
        if (FAILED(texture->GetLevelDesc(level, &desc)))
            return;
        if (desc.Format != D3DFMT_A8R8G8B8 && desc.Format != D3DFMT_X8R8G8B8)
            return;
        if (desc.Width == 0 || desc.Height == 0 || GRID % desc.Width != 0 || GRID % desc.Height != 0)
            return;
        D3DLOCKED_RECT locked{};
        if (FAILED(texture->LockRect(level, &locked, nullptr, 0)) || !locked.pBits)
            return;
        const UINT bw = GRID / desc.Width, bh = GRID / desc.Height;
        for (UINT y = 0; y < desc.Height; ++y) {
            auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.pBits) +
                                                    static_cast<size_t>(y) * locked.Pitch);
            for (UINT x = 0; x < desc.Width; ++x) {
                unsigned sum[3] = {0, 0, 0};
                for (UINT dy = 0; dy < bh; ++dy)
                    for (UINT dx = 0; dx < bw; ++dx) {
                        const uint8_t* p = &m_lightPixels[static_cast<size_t>((y * bh + dy) * GRID + x * bw + dx) * 3];
                        sum[0] += p[0];
                        sum[1] += p[1];
                        sum[2] += p[2];
                    }
                const unsigned count = bw * bh;
                row[x] = 0xFF000000u | (sum[2] / count) << 16 | (sum[1] / count) << 8 | (sum[0] / count);
            }
        }
        texture->UnlockRect(level);
    }
}

void Terrain::Update()
{
    if (!m_loaded)
        return;
    if (m_staticObjects)
        m_staticObjects->UpdateGlows();
    if (m_effect)
        m_effect->SetMatrix("worldViewProjMatrix", &Camera::Get()->GetViewProjection());
    for (const auto& emitter : m_emitters)
        emitter->Update();
}

void Terrain::AddEmitter(ParticleEmitter* emitter)
{
    if (emitter)
        m_emitters.emplace_back(emitter);
}

void Terrain::ClearEmitters()
{
    for (const auto& emitter : m_emitters)
        emitter->Release();
    m_emitters.clear();
}

void Terrain::FreeEmitterList()
{
    m_emitters.shrink_to_fit();
}

// The normal of the grid vertex whose cell holds the point: cells are one cell size wide.
D3DXVECTOR3 Terrain::GroundNormal(float x, float z) const
{
    const float cell = static_cast<float>(m_level.cellSize);
    const TerrainVertex v = VertexAt(static_cast<int>(x / cell), static_cast<int>(z / cell));
    return D3DXVECTOR3(v.normal[0], v.normal[1], v.normal[2]);
}

void Terrain::Render()
{
    // Stars left waiting behind the ground are drawn when the ground is, whatever this draw does.
    struct StarsAfterGround {
        ~StarsAfterGround() { StarField::DrawWaiting(); }
    } starsAfterGround;
    IDirect3DDevice9* device = DataManager::Get()->GetDevice();
    if (!device || !m_octree || !m_effect)
        return;
    // Culled as it is drawn: a part of the picture drawn alone narrows the camera's culling to that part.
    m_octree->Cull();
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    device->SetFVF(TerrainVertex::FVF);
    // Under a waiting sky the ground marks where it is drawn, so that the stars go only where it is not.
    const D3DRENDERSTATETYPE stencilStates[] = {D3DRS_STENCILENABLE,    D3DRS_STENCILFUNC, D3DRS_STENCILREF,
                                                D3DRS_STENCILWRITEMASK, D3DRS_STENCILFAIL, D3DRS_STENCILZFAIL,
                                                D3DRS_STENCILPASS};
    const DWORD marking[] = {
        TRUE, D3DCMP_ALWAYS, 1, 0xFFFFFFFF, D3DSTENCILOP_KEEP, D3DSTENCILOP_KEEP, D3DSTENCILOP_REPLACE};
    DWORD savedStencil[std::size(stencilStates)] = {};
    const bool markGround = StarField::GroundMarksStencil();
    for (size_t i = 0; i < std::size(stencilStates) && markGround; ++i) {
        device->GetRenderState(stencilStates[i], &savedStencil[i]);
        device->SetRenderState(stencilStates[i], marking[i]);
    }
    // Most of the ground weighs one or two of its four textures: each run of weight sets is drawn by the
    // technique that reads only those (a weight of zero adds nothing to the blend), runs that share a
    // technique in one pass.
    const D3DXHANDLE current = m_effect->GetCurrentTechnique();
    std::array<D3DXHANDLE, TerrainOctree::WEIGHT_SETS> techniques{};
    for (unsigned set = 0; set < TerrainOctree::WEIGHT_SETS; ++set) {
        const D3DXHANDLE technique = m_effect->GetTechniqueByName(GROUND_TECHNIQUES[set]);
        techniques[set] = technique ? technique : current;
    }
    for (unsigned first = 0, last = 0; first < TerrainOctree::WEIGHT_SETS; first = last + 1) {
        last = first;
        while (last + 1 < TerrainOctree::WEIGHT_SETS && techniques[last + 1] == techniques[first])
            ++last;
        if (!m_octree->HasWeightSets(first, last))
            continue;
        m_effect->SetTechnique(techniques[first]);
        UINT passes = 0;
        if (FAILED(m_effect->Begin(&passes, 0)))
            continue;
        for (UINT pass = 0; pass < passes; ++pass) {
            m_effect->BeginPass(pass);
            m_octree->DrawWeightSets(first, last);
            m_effect->EndPass();
        }
        m_effect->End();
    }
    m_effect->SetTechnique(current);
    for (size_t i = 0; i < std::size(stencilStates) && markGround; ++i)
        device->SetRenderState(stencilStates[i], savedStencil[i]);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    for (const auto& emitter : m_emitters)
        emitter->Submit();
}

void Terrain::DrawStaticObjects()
{
    if (m_staticObjects)
        m_staticObjects->Render();
}

float Terrain::HeightAt(float x, float z) const
{
    if (x == 0.0f || z == 0.0f)
        return 0.0f;
    const float cell = static_cast<float>(m_level.cellSize);
    const float fx = x / cell, fz = z / cell;
    if (!(fx >= 0.0f && fx <= 128.0f && fz >= 0.0f && fz <= 128.0f))
        return 0.0f;
    const int ix = static_cast<int>(fx), iz = static_cast<int>(fz);
    const float tx = fx - static_cast<float>(ix), tz = fz - static_cast<float>(iz);
    // Samples stop at index 127: the last cell and the far edge read the edge samples.
    const int x0 = std::min(ix, GRID - 1), x1 = std::min(ix + 1, GRID - 1);
    const int z0 = std::min(iz, GRID - 1), z1 = std::min(iz + 1, GRID - 1);
    const auto h = [&](int a, int b) { return m_level.Height(a, b); };
    return (1.0f - tz) * ((1.0f - tx) * h(x0, z0) + tx * h(x1, z0)) + tz * ((1.0f - tx) * h(x0, z1) + tx * h(x1, z1));
}

void Terrain::NormalAt(float* out, float x, float z) const
{
    const float cell = static_cast<float>(m_level.cellSize);
    const float fx = x / cell, fz = z / cell;
    if (!(fx >= 0.0f && fx <= 128.0f && fz >= 0.0f && fz <= 128.0f)) {
        out[0] = 0.0f;
        out[1] = 1.0f;
        out[2] = 0.0f;
        return;
    }
    const int ix = static_cast<int>(fx), iz = static_cast<int>(fz);
    const float tx = fx - static_cast<float>(ix), tz = fz - static_cast<float>(iz);
    const TerrainVertex a = VertexAt(ix, iz), b = VertexAt(ix + 1, iz);
    const TerrainVertex c = VertexAt(ix, iz + 1), d = VertexAt(ix + 1, iz + 1);
    for (int k = 0; k < 3; ++k)
        out[k] = (1.0f - tz) * ((1.0f - tx) * a.normal[k] + tx * b.normal[k]) +
                 tz * ((1.0f - tx) * c.normal[k] + tx * d.normal[k]);
}

TerrainVertex Terrain::VertexAt(int i, int j) const
{
    i = std::clamp(i, 0, GRID - 1);
    j = std::clamp(j, 0, GRID - 1);
    if (m_vertices.empty())
        return TerrainVertex{};
    return m_vertices[static_cast<size_t>(j) * GRID + static_cast<size_t>(i)];
}

void Terrain::Centre(float* out) const
{
    const float m = static_cast<float>(m_level.cellSize) * 128.0f * 0.5f;
    out[0] = m;
    out[1] = HeightAt(m, m);
    out[2] = m;
}

Terrain* Terrain::Current()
{
    return g_currentTerrain;
}

void Terrain::SetCurrent(Terrain* terrain)
{
    g_currentTerrain = terrain;
}
