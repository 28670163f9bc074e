#include "scene/Decal.h"

#include "core/DataManager.h"
#include "core/Random.h"
#include "scene/AlphaFade.h"
#include "scene/ColourBytes.h"
#include "scene/DecalManager.h"
#include "scene/GroundProvider.h"
#include "scene/TextureReference.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {
bool g_pulseFalling = true;
constexpr float DEGREES_TO_RADIANS = 0.01745329238474369f;
constexpr size_t LEVEL_NAME_BYTES = 260;
} // namespace

void Decal::ResetForTests()
{
    g_pulseFalling = true;
}

Decal::Decal() = default;

Decal::~Decal()
{
    Release();
}

void Decal::Release()
{
    m_vertexBuffer.Reset();
    m_indexBuffer.Reset();
    DropTextureReference(m_texture);
    m_laid = false;
    DecalManager::Forget(this);
}

void Decal::SetTexture(const std::string& name)
{
    TextureRecord* previous = m_texture;
    m_textureName = name;
    m_texture = DataManager::Get()->GetTexture(name, false);
    DropTextureReference(previous);
}

void Decal::SetColour(float red, float green, float blue)
{
    m_colour = D3DXVECTOR3(red, green, blue);
}

void Decal::AddRotation(float degrees)
{
    if (degrees == 0.0f)
        m_rotation = 0.0f;
    else
        m_rotation += degrees;
}

void Decal::Create(int n, float x, float z, bool randomRotation)
{
    m_vertexBuffer.Reset();
    m_indexBuffer.Reset();
    m_laid = false;
    ++m_layings;
    if (randomRotation)
        m_rotation += static_cast<float>(RandomInt(360));
    m_position = D3DXVECTOR3(x, 0.0f, z);
    m_textureName = "No File";
    n = std::clamp(n, 2, MAX_GRID_SIZE);
    m_gridSize = n;
    m_vertexCount = n * n;
    m_triangleCount = (2 * n - 2) * (n - 1);
    m_halfSize = (SPACING * static_cast<float>(n) - SPACING) * 0.5f;

    IDirect3DDevice9* device = DataManager::Get()->GetDevice();
    if (device) {
        device->CreateVertexBuffer(static_cast<UINT>(m_vertexCount) * sizeof(Vertex), 0, FVF, D3DPOOL_MANAGED,
                                   m_vertexBuffer.AddressOf(), nullptr);
        device->CreateIndexBuffer(static_cast<UINT>(m_triangleCount) * 3 * static_cast<UINT>(sizeof(WORD)), 0,
                                  D3DFMT_INDEX16, D3DPOOL_MANAGED, m_indexBuffer.AddressOf(), nullptr);
    }
    void* data = nullptr;
    if (m_indexBuffer && SUCCEEDED(m_indexBuffer->Lock(0, 0, &data, 0)) && data) {
        WORD* out = static_cast<WORD*>(data);
        for (int j = 0; j < n - 1; ++j) {
            for (int i = 0; i < n - 1; ++i) {
                const WORD a = static_cast<WORD>(n * j + i);
                const WORD b = static_cast<WORD>(n * j + i + 1);
                const WORD c = static_cast<WORD>(n * (j + 1) + i + 1);
                const WORD d = static_cast<WORD>(n * (j + 1) + i);
                *out++ = a;
                *out++ = b;
                *out++ = c;
                *out++ = a;
                *out++ = c;
                *out++ = d;
            }
        }
        m_indexBuffer->Unlock();
    }
    UpdatePosition(x, 0.0f, z, false);
}

void Decal::UpdatePosition(float x, float y, float z, bool smooth)
{
    (void)y; // the ground decides the height
    if (smooth) {
        const float step = followRate * DataManager::Get()->GetFrameTime();
        m_position.x += (x - m_position.x) * step;
        m_position.z += (z - m_position.z) * step;
    } else {
        m_position.x = x;
        m_position.z = z;
    }
    UpdateFade();
    Lay();
}

void Decal::Lay()
{
    if (!m_vertexBuffer)
        return;
    const GroundProvider* ground = DecalManager::Get()->GetGround();
    const unsigned revision = ground ? ground->GroundRevision() : 0;
    const D3DCOLOR packed = PackColour(alpha, m_colour.x, m_colour.y, m_colour.z);
    // Decals that stay put (blood lies for the whole battle) cost nothing until something about them changes.
    if (m_laid && m_laidPosition.x == m_position.x && m_laidPosition.z == m_position.z && m_laidColour == packed &&
        m_laidGround == ground && m_laidRevision == revision)
        return;

    void* data = nullptr;
    if (FAILED(m_vertexBuffer->Lock(0, 0, &data, 0)) || !data)
        return;
    auto* out = static_cast<Vertex*>(data);
    const int n = m_gridSize;
    const float last = static_cast<float>(n - 1);
    for (int j = 0; j < n; ++j) {
        const float vz = m_position.z - m_halfSize + SPACING * static_cast<float>(j);
        for (int i = 0; i < n; ++i) {
            const float vx = m_position.x - m_halfSize + SPACING * static_cast<float>(i);
            D3DXVECTOR3 normal(0.0f, 1.0f, 0.0f);
            float height = 0.0f;
            if (ground) {
                normal = ground->GroundNormal(vx, vz);
                height = ground->GroundHeight(vx, vz);
            }
            Vertex& v = out[j * n + i];
            v.x = vx;
            v.y = height + LIFT * normal.y;
            v.z = vz;
            v.nx = normal.x;
            v.ny = normal.y;
            v.nz = normal.z;
            v.colour = packed;
            v.u = (last - static_cast<float>(i)) / last;
            v.v = static_cast<float>(j) / last;
        }
    }
    m_vertexBuffer->Unlock();
    ++m_layings;
    m_laid = true;
    m_laidPosition = m_position;
    m_laidColour = packed;
    m_laidGround = ground;
    m_laidRevision = revision;
}

void Decal::UpdateFade()
{
    alpha_fade::Step(DataManager::Get()->GetFrameTime(), fadeDuration, alpha, fadeState, g_pulseFalling);
}

D3DXMATRIX Decal::TextureTransform() const
{
    // Two-component texture coordinates enter the transform as (u, v, 1, 0): the shift to and from the
    // texture's centre sits in the third row.
    D3DXMATRIX toCentre, fromCentre, turn;
    D3DXMatrixIdentity(&toCentre);
    D3DXMatrixIdentity(&fromCentre);
    toCentre._31 = toCentre._32 = -0.5f;
    fromCentre._31 = fromCentre._32 = 0.5f;
    D3DXMatrixRotationZ(&turn, m_rotation * DEGREES_TO_RADIANS);
    D3DXMATRIX result;
    D3DXMatrixMultiply(&result, &toCentre, &turn);
    D3DXMatrixMultiply(&result, &result, &fromCentre);
    return result;
}

IDirect3DBaseTexture9* Decal::Picture() const
{
    return m_texture ? m_texture->texture : nullptr;
}

bool Decal::DrawsLike(const Decal& other) const
{
    return Picture() == other.Picture() && m_rotation == other.m_rotation && m_vertexBuffer && m_indexBuffer &&
           other.m_vertexBuffer && other.m_indexBuffer;
}

bool Decal::AppendTo(std::vector<Vertex>& vertices, std::vector<WORD>& indices) const
{
    const size_t base = vertices.size();
    const auto indexCount = static_cast<size_t>(m_triangleCount) * 3;
    void* vertexData = nullptr;
    void* indexData = nullptr;
    if (FAILED(m_vertexBuffer->Lock(0, 0, &vertexData, D3DLOCK_READONLY)) || !vertexData)
        return false;
    if (FAILED(m_indexBuffer->Lock(0, 0, &indexData, D3DLOCK_READONLY)) || !indexData) {
        m_vertexBuffer->Unlock();
        return false;
    }
    const auto* from = static_cast<const Vertex*>(vertexData);
    vertices.insert(vertices.end(), from, from + m_vertexCount);
    const auto* index = static_cast<const WORD*>(indexData);
    for (size_t i = 0; i < indexCount; ++i)
        indices.push_back(static_cast<WORD>(base + index[i]));
    m_indexBuffer->Unlock();
    m_vertexBuffer->Unlock();
    return true;
}

void Decal::DrawAll(IDirect3DDevice9* device, const std::vector<Decal*>& decals)
{
    if (!device)
        return;
    // Kept from frame to frame: the frame's decals are laid out here each time.
    static std::vector<Vertex> vertices;
    static std::vector<WORD> indices;
    constexpr size_t MOST_VERTICES = 65536; // what 16-bit indices reach
    for (size_t first = 0; first < decals.size();) {
        size_t end = first + 1;
        size_t reach = static_cast<size_t>(decals[first]->m_vertexCount);
        while (end < decals.size() && decals[first]->DrawsLike(*decals[end]) &&
               reach + static_cast<size_t>(decals[end]->m_vertexCount) <= MOST_VERTICES) {
            reach += static_cast<size_t>(decals[end]->m_vertexCount);
            ++end;
        }
        if (end - first == 1) {
            decals[first]->Draw(device);
            first = end;
            continue;
        }
        // The same triangles in the same order as one draw each would give, from one copy of their vertices.
        vertices.clear();
        indices.clear();
        bool copied = true;
        for (size_t i = first; i < end && copied; ++i)
            copied = decals[i]->AppendTo(vertices, indices);
        if (!copied) {
            for (size_t i = first; i < end; ++i)
                decals[i]->Draw(device);
            first = end;
            continue;
        }
        const D3DXMATRIX transform = decals[first]->TextureTransform();
        device->SetTransform(D3DTS_TEXTURE0, &transform);
        device->SetTexture(0, decals[first]->Picture());
        device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, static_cast<UINT>(vertices.size()),
                                       static_cast<UINT>(indices.size() / 3), indices.data(), D3DFMT_INDEX16,
                                       vertices.data(), sizeof(Vertex));
        first = end;
    }
}

void Decal::Draw(IDirect3DDevice9* device)
{
    if (!device || !m_vertexBuffer || !m_indexBuffer)
        return;
    const D3DXMATRIX transform = TextureTransform();
    device->SetTransform(D3DTS_TEXTURE0, &transform);
    device->SetTexture(0, m_texture ? m_texture->texture : nullptr);
    device->SetStreamSource(0, m_vertexBuffer.Get(), 0, sizeof(Vertex));
    device->SetIndices(m_indexBuffer.Get());
    device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, static_cast<UINT>(m_vertexCount), 0,
                                 static_cast<UINT>(m_triangleCount));
}

bool Decal::ReadFromLevel(std::FILE* file)
{
    char name[LEVEL_NAME_BYTES];
    float degrees = 0.0f;
    int32_t size = 0;
    float at[3] = {};
    if (!file || std::fread(name, 1, sizeof(name), file) != sizeof(name) ||
        std::fread(&degrees, sizeof(degrees), 1, file) != 1 || std::fread(&size, sizeof(size), 1, file) != 1 ||
        std::fread(at, sizeof(float), 3, file) != 3)
        return false;
    // The name ends at its terminator or at the end of its field, whichever comes first.
    const std::string textureFile(name, strnlen(name, sizeof(name)));
    m_rotation = degrees;
    SetTexture(textureFile);
    Create(size, at[0], at[2], false);
    return true;
}
