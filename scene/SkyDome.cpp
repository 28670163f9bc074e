#include "scene/SkyDome.h"

#include "core/DataManager.h"
#include "d3dx9/D3DX9Math.h"
#include "scene/DrawBindings.h"
#include "scene/StarField.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

SkyDome* g_currentSkyDome = nullptr;

} // namespace

namespace {
constexpr float DAY_LENGTH = 0.041666668f;
constexpr float STEP_SECONDS = 0.25f;
constexpr float STEP_VALUE = 0.005f;
constexpr double DEGREES = 0.017453292519943295;
// Columns on either side of the one a vertex names that a read of it may reach: the bilinear neighbour, and
// the texels a coarser mip level averages into it (three levels down).
constexpr int COLUMN_REACH = 9;

float g_skyClock = 0.0f;

// What the dome's draw depends on besides what Render sets itself.
constexpr D3DRENDERSTATETYPE DRAW_STATES[] = {D3DRS_ZENABLE,
                                              D3DRS_ZWRITEENABLE,
                                              D3DRS_ZFUNC,
                                              D3DRS_ALPHATESTENABLE,
                                              D3DRS_ALPHAFUNC,
                                              D3DRS_ALPHAREF,
                                              D3DRS_ALPHABLENDENABLE,
                                              D3DRS_SRCBLEND,
                                              D3DRS_DESTBLEND,
                                              D3DRS_BLENDOP,
                                              D3DRS_CULLMODE,
                                              D3DRS_FOGENABLE,
                                              D3DRS_FOGCOLOR,
                                              D3DRS_FOGSTART,
                                              D3DRS_FOGEND,
                                              D3DRS_FOGVERTEXMODE,
                                              D3DRS_FOGTABLEMODE,
                                              D3DRS_RANGEFOGENABLE,
                                              D3DRS_COLORWRITEENABLE,
                                              D3DRS_STENCILENABLE,
                                              D3DRS_TEXTUREFACTOR,
                                              D3DRS_SEPARATEALPHABLENDENABLE};
// The states the stencil marking changes besides those.
constexpr D3DRENDERSTATETYPE STENCIL_STATES[] = {D3DRS_STENCILFUNC,      D3DRS_STENCILREF,  D3DRS_STENCILMASK,
                                                 D3DRS_STENCILWRITEMASK, D3DRS_STENCILFAIL, D3DRS_STENCILZFAIL,
                                                 D3DRS_STENCILPASS};
} // namespace

SkyDome::~SkyDome()
{
    if (g_currentSkyDome == this)
        g_currentSkyDome = nullptr;
    if (m_texture && m_texture->referenceCount > 0)
        --m_texture->referenceCount;
}

void SkyDome::ResetForTests()
{
    g_skyClock = 0.0f;
}

void SkyDome::Init(float x, float z)
{
    m_centreX = x;
    m_centreZ = z;
    m_texture = DataManager::Get()->GetTexture("clearSky2.tga");
    Build();
}

void SkyDome::Build()
{
    m_vertexCount = static_cast<int>(90.0f / m_latitudeStep) * static_cast<int>(360.0f / m_longitudeStep) * 4;
    IDirect3DDevice9* device = DataManager::Get()->GetDevice();
    if (!device)
        return;
    if (FAILED(device->CreateVertexBuffer(static_cast<UINT>(m_vertexCount) * sizeof(Vertex), 0, FVF, D3DPOOL_MANAGED,
                                          m_vertexBuffer.AddressOf(), nullptr)))
        return;
    void* data = nullptr;
    if (FAILED(m_vertexBuffer->Lock(0, 0, &data, 0)) || !data)
        return;
    auto* out = static_cast<Vertex*>(data);
    MakeStrip(out, m_vertexCount);
    m_vertexBuffer->Unlock();
}

int SkyDome::MakeStrip(Vertex* out, int capacity) const
{
    const float u = m_skyValue * DAY_LENGTH;
    const int latStep = static_cast<int>(m_latitudeStep);
    const int lonStep = static_cast<int>(m_longitudeStep);
    const float rimCos = std::cos(static_cast<float>(m_latitudeStep * DEGREES));
    auto vertex = [&](int a, int b) {
        const float fa = static_cast<float>(a * DEGREES), fb = static_cast<float>(b * DEGREES);
        Vertex v{};
        v.x = m_radius * std::sin(fa) * std::cos(fb);
        v.y = m_radius * std::cos(fa);
        v.z = m_radius * std::sin(fa) * std::sin(fb);
        v.colour = 0xFFFFFFFF;
        v.u = u;
        D3DXVECTOR3 dir(v.y, m_radius * rimCos, 0.0f);
        D3DXVec3Normalize(&dir, &dir);
        v.v = dir.x;
        return v;
    };
    int written = 0;
    for (int phi = 0; phi <= 90 - latStep; phi += latStep) {
        for (int theta = 0; theta <= 360 - lonStep; theta += lonStep) {
            if (written + 4 > capacity)
                break;
            out[written++] = vertex(phi, theta);
            out[written++] = vertex(phi + latStep, theta);
            out[written++] = vertex(phi, theta + lonStep);
            if (phi > -90 && phi < 90)
                out[written++] = vertex(phi + latStep, theta + lonStep);
        }
    }
    return written;
}

bool SkyDome::ScreenRect(const D3DXMATRIX& viewProjection, UINT width, UINT height, RECT* rect) const
{
    if (!rect || m_vertexCount < 3 || width == 0 || height == 0)
        return false;
    // The whole buffer is drawn; a vertex the strip leaves unwritten stays as created, at the centre.
    std::vector<Vertex> strip(static_cast<size_t>(m_vertexCount));
    MakeStrip(strip.data(), m_vertexCount);
    const int count = m_vertexCount;
    D3DXMATRIX world, worldViewProjection;
    D3DXMatrixTranslation(&world, m_centreX, m_heightOffset, m_centreZ);
    D3DXMatrixMultiply(&worldViewProjection, &world, &viewProjection);
    std::vector<D3DXVECTOR4> clip(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const D3DXVECTOR3 position(strip[static_cast<size_t>(i)].x, strip[static_cast<size_t>(i)].y,
                                   strip[static_cast<size_t>(i)].z);
        D3DXVec3Transform(&clip[static_cast<size_t>(i)], &position, &worldViewProjection);
    }
    // Every triangle the strip draws, cut to the view (the near plane and the four sides; what lies beyond the
    // far plane is kept): what is left of it projects onto the screen.
    float left = 2.0f, right = -2.0f, bottom = 2.0f, top = -2.0f;
    // Distances to the planes x = -w, x = w, y = -w, y = w and z = 0, inside where not negative.
    const auto distance = [](const D3DXVECTOR4& p, int plane) {
        switch (plane) {
        case 0:
            return p.w + p.x;
        case 1:
            return p.w - p.x;
        case 2:
            return p.w + p.y;
        case 3:
            return p.w - p.y;
        default:
            return p.z;
        }
    };
    constexpr int PLANES = 5;
    constexpr int MOST = 3 + PLANES;
    for (int i = 0; i + 2 < count; ++i) {
        D3DXVECTOR4 polygon[MOST] = {clip[static_cast<size_t>(i)], clip[static_cast<size_t>(i) + 1],
                                     clip[static_cast<size_t>(i) + 2]};
        int corners = 3;
        for (int plane = 0; plane < PLANES && corners > 0; ++plane) {
            D3DXVECTOR4 cut[MOST];
            int kept = 0;
            for (int k = 0; k < corners; ++k) {
                const D3DXVECTOR4& a = polygon[k];
                const D3DXVECTOR4& b = polygon[(k + 1) % corners];
                const float da = distance(a, plane);
                const float db = distance(b, plane);
                if (da >= 0.0f && kept < MOST)
                    cut[kept++] = a;
                if ((da >= 0.0f) != (db >= 0.0f) && kept < MOST)
                    cut[kept++] = a + (b - a) * (da / (da - db));
            }
            corners = kept;
            std::copy(cut, cut + kept, polygon);
        }
        for (int k = 0; k < corners; ++k) {
            const D3DXVECTOR4& p = polygon[k];
            if (!(p.w > 0.0f))
                continue;
            const float x = std::clamp(p.x / p.w, -1.0f, 1.0f);
            const float y = std::clamp(p.y / p.w, -1.0f, 1.0f);
            left = std::min(left, x);
            right = std::max(right, x);
            bottom = std::min(bottom, y);
            top = std::max(top, y);
        }
    }
    if (left > right || bottom > top)
        return false;
    // A pixel's centre inside the triangle is drawn: one pixel more on every side for the edges' rounding.
    const auto column = [&](float x) { return (x + 1.0f) * 0.5f * static_cast<float>(width); };
    const auto row = [&](float y) { return (1.0f - y) * 0.5f * static_cast<float>(height); };
    const LONG w = static_cast<LONG>(width), h = static_cast<LONG>(height);
    rect->left = std::clamp(static_cast<LONG>(std::floor(column(left))) - 1, LONG{0}, w);
    rect->right = std::clamp(static_cast<LONG>(std::ceil(column(right))) + 1, LONG{0}, w);
    rect->top = std::clamp(static_cast<LONG>(std::floor(row(top))) - 1, LONG{0}, h);
    rect->bottom = std::clamp(static_cast<LONG>(std::ceil(row(bottom))) + 1, LONG{0}, h);
    return rect->left < rect->right && rect->top < rect->bottom;
}

void SkyDome::UpdateVertices()
{
    void* data = nullptr;
    if (!m_vertexBuffer || FAILED(m_vertexBuffer->Lock(0, 0, &data, 0)) || !data)
        return;
    auto* v = static_cast<Vertex*>(data);
    const float u = m_skyValue * DAY_LENGTH;
    for (int i = 0; i < m_vertexCount; ++i)
        v[i].u = u;
    m_vertexBuffer->Unlock();
}

bool SkyDome::Update()
{
    g_skyClock += DataManager::Get()->GetFrameTime();
    if (g_skyClock >= STEP_SECONDS) {
        g_skyClock = 0.0f;
        m_skyValue += STEP_VALUE;
        UpdateVertices();
    }
    return true;
}

void SkyDome::Render()
{
    IDirect3DDevice9* device = DataManager::Get()->GetDevice();
    if (!device || !m_vertexBuffer || m_vertexCount < 3)
        return;
    device->SetRenderState(D3DRS_ALPHAREF, 0);
    D3DXMATRIX world;
    D3DXMatrixTranslation(&world, m_centreX, m_heightOffset, m_centreZ);
    device->SetTransform(D3DTS_WORLD, &world);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_SRCALPHA);
    device->SetTexture(0, m_texture ? m_texture->texture : nullptr);
    device->SetFVF(FVF);
    device->SetStreamSource(0, m_vertexBuffer.Get(), 0, sizeof(Vertex));
    static_assert(std::size(DRAW_STATES) == WAITING_STATES);
    if (StarField::TakeWaitingSky(this)) {
        for (int i = 0; i < WAITING_STATES; ++i)
            device->GetRenderState(DRAW_STATES[i], &m_waitingStates[i]);
    } else {
        Draw(device);
    }
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
}

void SkyDome::Draw(IDirect3DDevice9* device)
{
    device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, static_cast<UINT>(m_vertexCount - 2));
}

// Drawn first, the dome's depth test passed wherever it lay within the view, and the ground drawn after it
// with the test LESSEQUAL kept the pixels where it was no farther than the dome. Drawn after the ground,
// the dome keeps the rest with the test LESS; what it changes is put back.
void SkyDome::DrawWaiting(IDirect3DDevice9* device, bool shownOnly)
{
    if (!device || !m_vertexBuffer || m_vertexCount < 3)
        return;
    DWORD saved[WAITING_STATES];
    for (int i = 0; i < WAITING_STATES; ++i)
        device->GetRenderState(DRAW_STATES[i], &saved[i]);
    DWORD savedStencil[std::size(STENCIL_STATES)];
    for (size_t i = 0; i < std::size(STENCIL_STATES); ++i)
        device->GetRenderState(STENCIL_STATES[i], &savedStencil[i]);
    const DrawBindings bindings(device);

    for (int i = 0; i < WAITING_STATES; ++i)
        device->SetRenderState(DRAW_STATES[i], m_waitingStates[i]);
    device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESS);
    if (shownOnly) {
        device->SetRenderState(D3DRS_COLORWRITEENABLE, 0);
        device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        device->SetRenderState(D3DRS_FOGENABLE, FALSE);
        device->SetRenderState(D3DRS_STENCILENABLE, TRUE);
        device->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_ALWAYS);
        device->SetRenderState(D3DRS_STENCILREF, 0);
        device->SetRenderState(D3DRS_STENCILWRITEMASK, 0xFFFFFFFF);
        device->SetRenderState(D3DRS_STENCILFAIL, D3DSTENCILOP_KEEP);
        device->SetRenderState(D3DRS_STENCILZFAIL, D3DSTENCILOP_KEEP);
        device->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_REPLACE);
    }
    D3DXMATRIX world;
    D3DXMatrixTranslation(&world, m_centreX, m_heightOffset, m_centreZ);
    device->SetTransform(D3DTS_WORLD, &world);
    device->SetFVF(FVF);
    device->SetTexture(0, m_texture ? m_texture->texture : nullptr);
    device->SetStreamSource(0, m_vertexBuffer.Get(), 0, sizeof(Vertex));
    Draw(device);

    for (int i = 0; i < WAITING_STATES; ++i)
        device->SetRenderState(DRAW_STATES[i], saved[i]);
    for (size_t i = 0; i < std::size(STENCIL_STATES); ++i)
        device->SetRenderState(STENCIL_STATES[i], savedStencil[i]);
}

void SkyDome::ReadColumnAlpha() const
{
    m_columnAlphaRead = true;
    m_columnAlpha.clear();
    IDirect3DTexture9* texture = m_texture ? m_texture->texture : nullptr;
    D3DSURFACE_DESC desc{};
    if (!texture || FAILED(texture->GetLevelDesc(0, &desc)) || desc.Format != D3DFMT_A8R8G8B8 || desc.Width == 0)
        return;
    D3DLOCKED_RECT locked{};
    if (FAILED(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY)) || !locked.pBits)
        return;
    std::vector<uint8_t> columns(desc.Width, 0);
    for (UINT y = 0; y < desc.Height; ++y) {
        const auto* row = static_cast<const uint8_t*>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch;
        for (UINT x = 0; x < desc.Width; ++x)
            columns[x] = std::max(columns[x], row[x * 4 + 3]);
    }
    texture->UnlockRect(0);
    m_columnAlpha = std::move(columns);
}

bool SkyDome::LetsStarsThrough() const
{
    return LetsStarsThroughAt(m_skyValue);
}

bool SkyDome::LetsStarsThroughAt(float skyValue) const
{
    if (!m_columnAlphaRead)
        ReadColumnAlpha();
    if (m_columnAlpha.empty())
        return true;
    const int width = static_cast<int>(m_columnAlpha.size());
    const float u = skyValue * DAY_LENGTH;
    if (!std::isfinite(u))
        return true;
    // The sampler may repeat the strip or mirror it: both readings of u are looked at.
    const float whole = std::floor(u);
    const float repeated = u - whole;
    const float mirrored = std::fmod(whole, 2.0f) != 0.0f ? 1.0f - repeated : repeated;
    for (const float along : {repeated, mirrored}) {
        const int centre = static_cast<int>(std::floor(along * static_cast<float>(width)));
        for (int x = centre - COLUMN_REACH; x <= centre + COLUMN_REACH; ++x) {
            const int column = ((x % width) + width) % width;
            const int reflected = x < 0 ? -x - 1 : (x >= width ? 2 * width - x - 1 : x);
            if (m_columnAlpha[static_cast<size_t>(column)] ||
                m_columnAlpha[static_cast<size_t>(std::clamp(reflected, 0, width - 1))])
                return true;
        }
    }
    return false;
}

bool SkyDome::IsOutsideView(const D3DXMATRIX& viewProjection) const
{
    D3DXMATRIX inverse;
    if (!D3DXMatrixInverse(&inverse, nullptr, &viewProjection))
        return false;
    // Corner k of the view: clip x from bit 0, y from bit 1, depth (near 0, far 1) from bit 2.
    D3DXVECTOR3 corners[8];
    for (int k = 0; k < 8; ++k) {
        const D3DXVECTOR3 clip(k & 1 ? 1.0f : -1.0f, k & 2 ? 1.0f : -1.0f, k & 4 ? 1.0f : 0.0f);
        D3DXVec3TransformCoord(&corners[k], &clip, &inverse);
    }
    const D3DXVECTOR3 centre(m_centreX, m_heightOffset, m_centreZ);
    // The rim lies at the centre's height (a little below, as the cosine of 90 degrees is not quite 0). A face
    // joins vertices of the sphere at most a latitude and a longitude step apart, so no point of it is nearer
    // the centre than the radius times the cosine of both steps.
    const float rimY = m_heightOffset - 1.0f;
    const float nearest = m_radius * std::cos(static_cast<float>((m_latitudeStep + m_longitudeStep) * DEGREES));
    auto withinDome = [&](const D3DXVECTOR3& point) {
        const D3DXVECTOR3 d = point - centre;
        return D3DXVec3LengthSq(&d) < nearest * nearest;
    };
    // The part of the view above the rim is a convex solid: its farthest point from the centre is one of its
    // corners, a corner of the view above the rim or where an edge of the view crosses the rim's height.
    for (int k = 0; k < 8; ++k) {
        if (corners[k].y >= rimY && !withinDome(corners[k]))
            return false;
        for (int bit : {1, 2, 4}) {
            if (k & bit)
                continue;
            const D3DXVECTOR3& a = corners[k];
            const D3DXVECTOR3& b = corners[k | bit];
            if ((a.y < rimY) == (b.y < rimY))
                continue;
            const float t = (rimY - a.y) / (b.y - a.y);
            if (!withinDome(a + (b - a) * t))
                return false;
        }
    }
    return true;
}

SkyDome* SkyDome::Current()
{
    return g_currentSkyDome;
}

void SkyDome::SetCurrent(SkyDome* sky)
{
    g_currentSkyDome = sky;
}
