#include "scene/BoltEffect.h"

#include "core/DataManager.h"
#include "core/Random.h"
#include "scene/Camera.h"
#include "scene/TextureReference.h"

#include <cstring>

namespace {
float g_jitterClock = 0.0f;

// The pale blue-white of the beam's core and its transparent ends.
constexpr D3DCOLOR CORE_COLOUR = 0xFFE5E5FF;
constexpr D3DCOLOR END_EDGE_COLOUR = 0x00E5E5FF;
} // namespace

void BoltEffect::ResetForTests()
{
    g_jitterClock = 0.0f;
}

BoltEffect::BoltEffect(const std::string& textureName, const D3DXVECTOR3* startPoint, const D3DXVECTOR3* endPoint,
                       const D3DXVECTOR3* beamColour, float delaySeconds, float lifeSeconds, float interval,
                       float jitterYRange, float jitterXRange, bool fades)
    : start(startPoint ? *startPoint : D3DXVECTOR3()), end(endPoint ? *endPoint : D3DXVECTOR3()),
      colour(beamColour ? *beamColour : D3DXVECTOR3(1.0f, 1.0f, 1.0f)), delay(delaySeconds), life(lifeSeconds),
      jitterInterval(interval), jitterY(jitterYRange), jitterX(jitterXRange), fade(fades)
{
    DataManager* data = DataManager::Get();
    m_texture = data->GetTexture(textureName, false);
    if (IDirect3DDevice9* device = data->GetDevice())
        device->CreateVertexBuffer(VERTEX_COUNT * sizeof(ColouredVertex), 0, COLOURED_VERTEX_FVF, D3DPOOL_MANAGED,
                                   m_vertexBuffer.AddressOf(), nullptr);
    BuildGeometry();
}

BoltEffect::~BoltEffect()
{
    Release();
}

void BoltEffect::Release()
{
    m_vertexBuffer.Reset();
    DropTextureReference(m_texture);
}

void BoltEffect::PlacePair(int i, const D3DXVECTOR3& p, const D3DXVECTOR3& eye)
{
    D3DXVECTOR3 toCamera = eye - p;
    D3DXVec3Normalize(&toCamera, &toCamera);
    D3DXVECTOR3 along;
    if (i == 0)
        along = m_points[1] - m_points[0];
    else if (i == POINT_COUNT - 1)
        along = m_points[i] - m_points[i - 1];
    else
        along = m_points[i + 1] - m_points[i - 1];
    D3DXVECTOR3 tangent;
    D3DXVec3Normalize(&tangent, &along);
    D3DXVECTOR3 side;
    D3DXVec3Cross(&side, &tangent, &toCamera);
    const D3DXVECTOR3 a = p + side * halfWidth;
    const D3DXVECTOR3 b = p - side * halfWidth;
    ColouredVertex& va = m_vertices[static_cast<size_t>(i) * 2];
    ColouredVertex& vb = m_vertices[static_cast<size_t>(i) * 2 + 1];
    va.x = a.x;
    va.y = a.y;
    va.z = a.z;
    vb.x = b.x;
    vb.y = b.y;
    vb.z = b.z;
}

void BoltEffect::BuildGeometry()
{
    // Every point is placed before any tangent is taken, so each tangent sees both of its neighbours.
    const D3DXVECTOR3 step = (end - start) * (1.0f / static_cast<float>(POINT_COUNT - 1));
    D3DXVECTOR3 p = start;
    for (int i = 0; i < POINT_COUNT; ++i) {
        m_points[static_cast<size_t>(i)] = p;
        p += step;
    }
    const D3DXVECTOR3 eye = Camera::Get()->GetEye();
    for (int i = 0; i < POINT_COUNT; ++i) {
        PlacePair(i, m_points[static_cast<size_t>(i)], eye);
        ColouredVertex& a = m_vertices[static_cast<size_t>(i) * 2];
        ColouredVertex& b = m_vertices[static_cast<size_t>(i) * 2 + 1];
        const float v = i == 0 ? 0.0f : static_cast<float>(i % 2);
        a.u = 0.0f;
        b.u = 1.0f;
        a.v = b.v = v;
        if (i == 0 || i == POINT_COUNT - 1) {
            a.colour = PackColour(0.0f, colour.x, colour.y, colour.z);
            b.colour = END_EDGE_COLOUR;
        } else if (!fade) {
            a.colour = CORE_COLOUR;
            b.colour = PackColour(1.0f, colour.x, colour.y, colour.z);
        } else {
            a.colour = b.colour = PackColour(static_cast<float>(i) / POINT_COUNT, colour.x, colour.y, colour.z);
        }
    }
    Upload();
}

void BoltEffect::Upload()
{
    if (!m_vertexBuffer)
        return;
    void* data = nullptr;
    if (SUCCEEDED(m_vertexBuffer->Lock(0, 0, &data, 0)) && data) {
        std::memcpy(data, m_vertices.data(), sizeof(m_vertices));
        m_vertexBuffer->Unlock();
    }
}

void BoltEffect::Update()
{
    const float dt = DataManager::Get()->GetFrameTime();
    age += dt;
    g_jitterClock += dt;
    if (age < delay || !(g_jitterClock > jitterInterval))
        return;
    const D3DXVECTOR3 eye = Camera::Get()->GetEye();
    float y = 0.0f;
    float x = 0.0f;
    for (int i = 0; i < POINT_COUNT; ++i) {
        PlacePair(i, m_points[static_cast<size_t>(i)], eye);
        if (i > 0 && i < POINT_COUNT - 1) {
            y = RandomFloat(-jitterY, jitterY);
            x = RandomFloat(-jitterX, jitterX);
        }
        ColouredVertex& a = m_vertices[static_cast<size_t>(i) * 2];
        ColouredVertex& b = m_vertices[static_cast<size_t>(i) * 2 + 1];
        a.y += y;
        b.y += y;
        a.x += x;
        b.x += x;
        if (fade) {
            // A bolt without a life has nothing left to show.
            const float remaining = life > 0.0f ? 1.0f - age / life : 0.0f;
            alpha = static_cast<float>(i) / POINT_COUNT * remaining;
            a.colour = b.colour = PackColour(alpha, colour.x, colour.y, colour.z);
        }
    }
    Upload();
    g_jitterClock = 0.0f;
}

void BoltEffect::Draw(IDirect3DDevice9* device)
{
    if (!device || age < delay || !m_vertexBuffer)
        return;
    device->SetTexture(0, m_texture ? m_texture->texture : nullptr);
    device->SetFVF(COLOURED_VERTEX_FVF);
    device->SetStreamSource(0, m_vertexBuffer.Get(), 0, sizeof(ColouredVertex));
    // The whole strip, up to the target: the last pair carries the beam's transparent end.
    device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, static_cast<UINT>(m_primitiveCount));
}
