#include "scene/StarField.h"

#include "core/DataManager.h"
#include "d3dx9/D3DX9Math.h"
#include "scene/Camera.h"
#include "scene/SkyDome.h"

#include <cstdint>
#include <iterator>
#include <utility>

namespace {
// The star field waiting to be drawn behind the ground this frame.
StarField* g_waiting = nullptr;

bool AlphaPasses(DWORD func, DWORD alpha, DWORD ref)
{
    switch (func) {
    case D3DCMP_NEVER:
        return false;
    case D3DCMP_LESS:
        return alpha < ref;
    case D3DCMP_EQUAL:
        return alpha == ref;
    case D3DCMP_LESSEQUAL:
        return alpha <= ref;
    case D3DCMP_GREATER:
        return alpha > ref;
    case D3DCMP_NOTEQUAL:
        return alpha != ref;
    case D3DCMP_GREATEREQUAL:
        return alpha >= ref;
    default:
        return true;
    }
}

// Whether every texel of the top level has alpha 255 (a texture without alpha reads as opaque).
bool IsOpaqueTexture(IDirect3DTexture9* texture)
{
    D3DSURFACE_DESC desc{};
    if (!texture || FAILED(texture->GetLevelDesc(0, &desc)))
        return false;
    if (desc.Format == D3DFMT_X8R8G8B8 || desc.Format == D3DFMT_R5G6B5 || desc.Format == D3DFMT_X1R5G5B5)
        return true;
    if (desc.Format != D3DFMT_A8R8G8B8)
        return false;
    D3DLOCKED_RECT locked{};
    if (FAILED(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY)) || !locked.pBits)
        return false;
    bool opaque = true;
    for (UINT y = 0; y < desc.Height && opaque; ++y) {
        const auto* row = static_cast<const uint8_t*>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch;
        for (UINT x = 0; x < desc.Width && opaque; ++x)
            opaque = row[x * 4 + 3] == 0xFF;
    }
    texture->UnlockRect(0);
    return opaque;
}
} // namespace

StarField::~StarField()
{
    if (g_waiting == this)
        g_waiting = nullptr;
    if (m_vertexBuffer)
        m_vertexBuffer->Release();
}

void StarField::Init()
{
    DataManager* data = DataManager::Get();
    m_texture = data->GetTexture("stars.tga");
    m_opaque = m_texture && IsOpaqueTexture(m_texture->texture);
    IDirect3DDevice9* device = data->GetDevice();
    if (!device || m_vertexBuffer)
        return;
    if (FAILED(device->CreateVertexBuffer(kVertexCount * sizeof(Vertex), 0, FVF, D3DPOOL_MANAGED, &m_vertexBuffer,
                                          nullptr))) {
        m_vertexBuffer = nullptr;
        return;
    }
    void* locked = nullptr;
    if (FAILED(m_vertexBuffer->Lock(0, 0, &locked, 0)) || !locked)
        return;
    auto* out = static_cast<Vertex*>(locked);
    const float s = m_halfEdge, t = m_repeat;
    // Each face as its four corners seen from inside the cube: bottom-left, top-left, bottom-right, top-right.
    const float faces[6][4][3] = {
        {{-s, -s, -s}, {-s, s, -s}, {s, -s, -s}, {s, s, -s}}, // z = -s
        {{s, -s, s}, {s, s, s}, {-s, -s, s}, {-s, s, s}}, // z = +s
        {{-s, -s, s}, {-s, s, s}, {-s, -s, -s}, {-s, s, -s}}, // x = -s
        {{s, -s, -s}, {s, s, -s}, {s, -s, s}, {s, s, s}}, // x = +s
        {{-s, s, -s}, {-s, s, s}, {s, s, -s}, {s, s, s}}, // y = +s
        {{-s, -s, s}, {-s, -s, -s}, {s, -s, s}, {s, -s, -s}}, // y = -s
    };
    const float uv[4][2] = {{0.0f, t}, {0.0f, 0.0f}, {t, t}, {t, 0.0f}};
    const int order[6] = {0, 1, 2, 2, 1, 3};
    for (const auto& face : faces)
        for (int k : order)
            *out++ = Vertex{face[k][0], face[k][1], face[k][2], uv[k][0], uv[k][1]};
    m_vertexBuffer->Unlock();
}

void StarField::Render()
{
    IDirect3DDevice9* device = DataManager::Get()->GetDevice();
    if (!device || !m_vertexBuffer)
        return;
    if (g_waiting == this) {
        // Left waiting last frame and never drawn: no ground follows the stars here.
        g_waiting = nullptr;
        m_mayWait = false;
    }
    m_eye = Camera::Get()->GetEye();
    if (m_mayWait && CanWaitBehindGround(device)) {
        const std::pair<D3DRENDERSTATETYPE, DWORD*> states[] = {{D3DRS_ALPHATESTENABLE, &m_states.alphaTest},
                                                                {D3DRS_ALPHAFUNC, &m_states.alphaFunc},
                                                                {D3DRS_ALPHAREF, &m_states.alphaRef},
                                                                {D3DRS_ALPHABLENDENABLE, &m_states.blend},
                                                                {D3DRS_SRCBLEND, &m_states.sourceBlend},
                                                                {D3DRS_DESTBLEND, &m_states.destinationBlend},
                                                                {D3DRS_BLENDOP, &m_states.blendOp},
                                                                {D3DRS_CULLMODE, &m_states.cull},
                                                                {D3DRS_FOGENABLE, &m_states.fog}};
        for (const auto& [state, value] : states)
            device->GetRenderState(state, value);
        g_waiting = this;
        device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
        return;
    }
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    Draw(device);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
}

void StarField::Draw(IDirect3DDevice9* device)
{
    D3DXMATRIX world;
    D3DXMatrixTranslation(&world, m_eye.x, m_eye.y, m_eye.z);
    device->SetTransform(D3DTS_WORLD, &world);
    device->SetFVF(FVF);
    device->SetTexture(0, m_texture ? m_texture->texture : nullptr);
    device->SetStreamSource(0, m_vertexBuffer, 0, sizeof(Vertex));
    device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 12);
}

// The stars may wait for the ground when the dome draws nothing in this view (so nothing blends over them
// before the ground), a terrain follows to draw them and a depth surface tells where the ground was drawn.
bool StarField::CanWaitBehindGround(IDirect3DDevice9* device) const
{
    DataManager* data = DataManager::Get();
    const SkyDome* sky = data->GetSkyDome();
    if (!sky || !data->GetTerrain())
        return false;
    IDirect3DSurface9* depth = nullptr;
    if (FAILED(device->GetDepthStencilSurface(&depth)) || !depth)
        return false;
    depth->Release();
    D3DXMATRIX view, projection, viewProjection;
    if (FAILED(device->GetTransform(D3DTS_VIEW, &view)) || FAILED(device->GetTransform(D3DTS_PROJECTION, &projection)))
        return false;
    D3DXMatrixMultiply(&viewProjection, &view, &projection);
    return sky->IsOutsideView(viewProjection);
}

void StarField::DrawWaiting()
{
    StarField* stars = g_waiting;
    g_waiting = nullptr;
    IDirect3DDevice9* device = DataManager::Get()->GetDevice();
    if (stars && device)
        stars->DrawBehindGround(device);
}

// Drawn at the far plane (a depth range of 1 to 1) where the depth is still the clear's, with the states it
// would have been drawn with first; what it changes is put back.
void StarField::DrawBehindGround(IDirect3DDevice9* device)
{
    const D3DRENDERSTATETYPE touched[] = {D3DRS_ZENABLE,          D3DRS_ZWRITEENABLE, D3DRS_ZFUNC,
                                          D3DRS_ALPHATESTENABLE,  D3DRS_ALPHAFUNC,    D3DRS_ALPHAREF,
                                          D3DRS_ALPHABLENDENABLE, D3DRS_SRCBLEND,     D3DRS_DESTBLEND,
                                          D3DRS_BLENDOP,          D3DRS_CULLMODE,     D3DRS_FOGENABLE};
    DWORD saved[std::size(touched)];
    for (size_t i = 0; i < std::size(touched); ++i)
        device->GetRenderState(touched[i], &saved[i]);
    D3DVIEWPORT9 viewport{};
    device->GetViewport(&viewport);
    D3DXMATRIX world;
    device->GetTransform(D3DTS_WORLD, &world);
    DWORD fvf = 0;
    device->GetFVF(&fvf);
    IDirect3DBaseTexture9* texture = nullptr;
    device->GetTexture(0, &texture);
    IDirect3DVertexBuffer9* stream = nullptr;
    UINT streamOffset = 0, streamStride = 0;
    device->GetStreamSource(0, &stream, &streamOffset, &streamStride);

    // An alpha test that every texel passes would only cost a discard, which keeps the depth test from
    // sparing the covered pixels.
    const bool testPasses = m_opaque && AlphaPasses(m_states.alphaFunc, 255, m_states.alphaRef & 0xFF);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, m_states.alphaTest && !testPasses);
    device->SetRenderState(D3DRS_ALPHAFUNC, m_states.alphaFunc);
    device->SetRenderState(D3DRS_ALPHAREF, m_states.alphaRef);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, m_states.blend);
    device->SetRenderState(D3DRS_SRCBLEND, m_states.sourceBlend);
    device->SetRenderState(D3DRS_DESTBLEND, m_states.destinationBlend);
    device->SetRenderState(D3DRS_BLENDOP, m_states.blendOp);
    device->SetRenderState(D3DRS_CULLMODE, m_states.cull);
    device->SetRenderState(D3DRS_FOGENABLE, m_states.fog);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
    D3DVIEWPORT9 farPlane = viewport;
    farPlane.MinZ = 1.0f;
    farPlane.MaxZ = 1.0f;
    device->SetViewport(&farPlane);
    Draw(device);

    device->SetViewport(&viewport);
    for (size_t i = 0; i < std::size(touched); ++i)
        device->SetRenderState(touched[i], saved[i]);
    device->SetTransform(D3DTS_WORLD, &world);
    device->SetFVF(fvf);
    device->SetTexture(0, texture);
    if (texture)
        texture->Release();
    device->SetStreamSource(0, stream, streamOffset, streamStride);
    if (stream)
        stream->Release();
}

void StarField::Release()
{
    if (g_waiting == this)
        g_waiting = nullptr;
    if (m_vertexBuffer) {
        m_vertexBuffer->Release();
        m_vertexBuffer = nullptr;
    }
    if (m_texture && m_texture->referenceCount > 0)
        --m_texture->referenceCount;
    m_texture = nullptr;
}
