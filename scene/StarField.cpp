#include "scene/StarField.h"

#include "core/DataManager.h"
#include "d3dx9/D3DX9Math.h"
#include "scene/Camera.h"
#include "scene/DrawBindings.h"
#include "scene/OpaqueDraw.h"
#include "scene/SkyDome.h"
#include "scene/Terrain.h"
#include "win32/ComPtr.h"

#include <iterator>
#include <utility>

namespace {
// The star field waiting to be drawn behind the ground this frame; whether it goes under the sky dome, and
// the dome that waits to be drawn over it.
StarField* g_waiting = nullptr;
bool g_underSky = false;
SkyDome* g_waitingSky = nullptr;

bool HasStencil(D3DFORMAT format)
{
    return format == D3DFMT_D24S8 || format == D3DFMT_D24X4S4 || format == D3DFMT_D15S1;
}

// Whether the first stage hands on the texture's alpha untouched: alone, or modulated with the white of
// vertices that bring no colour.
bool KeepsTextureAlpha(IDirect3DDevice9* device)
{
    DWORD op = 0, first = 0, second = 0;
    device->GetTextureStageState(0, D3DTSS_ALPHAOP, &op);
    device->GetTextureStageState(0, D3DTSS_ALPHAARG1, &first);
    device->GetTextureStageState(0, D3DTSS_ALPHAARG2, &second);
    const auto whiteOr = [](DWORD arg) { return arg == D3DTA_CURRENT || arg == D3DTA_DIFFUSE; };
    if (op == D3DTOP_SELECTARG1)
        return first == D3DTA_TEXTURE;
    if (op == D3DTOP_SELECTARG2)
        return second == D3DTA_TEXTURE;
    return op == D3DTOP_MODULATE &&
           ((first == D3DTA_TEXTURE && whiteOr(second)) || (second == D3DTA_TEXTURE && whiteOr(first)));
}
} // namespace

StarField::~StarField()
{
    if (g_waiting == this)
        g_waiting = nullptr;
}

void StarField::Init()
{
    DataManager* data = DataManager::Get();
    m_texture = data->GetTexture("stars.tga");
    m_opaque = m_texture && OpaqueDraw::IsOpaqueTexture(m_texture->texture);
    IDirect3DDevice9* device = data->GetDevice();
    if (!device || m_vertexBuffer)
        return;
    if (FAILED(device->CreateVertexBuffer(VERTEX_COUNT * sizeof(Vertex), 0, FVF, D3DPOOL_MANAGED,
                                          m_vertexBuffer.AddressOf(), nullptr)))
        return;
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
        g_waitingSky = nullptr;
        m_mayWait = false;
    }
    m_eye = Camera::Get()->GetEye();
    const Wait wait = m_mayWait ? ChooseWait(device) : Wait::NONE;
    if (wait != Wait::NONE) {
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
        g_underSky = wait == Wait::UNDER_SKY;
        if (g_underSky)
            device->Clear(0, nullptr, D3DCLEAR_STENCIL, 0, 1.0f, 0);
        device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
        return;
    }
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    Draw(device);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
}

bool StarField::TakeWaitingSky(SkyDome* sky)
{
    if (!g_waiting || !g_underSky || g_waitingSky)
        return false;
    g_waitingSky = sky;
    return true;
}

void StarField::Draw(IDirect3DDevice9* device)
{
    D3DXMATRIX world;
    D3DXMatrixTranslation(&world, m_eye.x, m_eye.y, m_eye.z);
    device->SetTransform(D3DTS_WORLD, &world);
    device->SetFVF(FVF);
    device->SetTexture(0, m_texture ? m_texture->texture : nullptr);
    device->SetStreamSource(0, m_vertexBuffer.Get(), 0, sizeof(Vertex));
    const OpaqueDraw opaque(device, m_opaque && KeepsTextureAlpha(device));
    device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 12);
}

// The stars may wait for the ground when a terrain follows to draw them and a depth surface tells where the
// ground was drawn. When the dome draws nothing in this view (the camera looks down on the ground), nothing
// blends over them before the ground and they go behind it. When the dome shows, it waits with them if the
// depth surface has a stencil to mark where the dome lies nearer than the ground, and its depth test would
// have kept the ground nearer than it.
StarField::Wait StarField::ChooseWait(IDirect3DDevice9* device) const
{
    const SkyDome* sky = SkyDome::Current();
    if (!sky || !Terrain::Current())
        return Wait::NONE;
    ComPtr<IDirect3DSurface9> depth;
    if (FAILED(device->GetDepthStencilSurface(depth.AddressOf())) || !depth)
        return Wait::NONE;
    D3DSURFACE_DESC desc{};
    const bool stencil = SUCCEEDED(depth->GetDesc(&desc)) && HasStencil(desc.Format);
    D3DXMATRIX view, projection, viewProjection;
    if (FAILED(device->GetTransform(D3DTS_VIEW, &view)) || FAILED(device->GetTransform(D3DTS_PROJECTION, &projection)))
        return Wait::NONE;
    D3DXMatrixMultiply(&viewProjection, &view, &projection);
    if (sky->IsOutsideView(viewProjection))
        return Wait::BEHIND_GROUND;
    DWORD depthTest = 0;
    device->GetRenderState(D3DRS_ZFUNC, &depthTest);
    return stencil && (depthTest == D3DCMP_LESSEQUAL || depthTest == D3DCMP_LESS) ? Wait::UNDER_SKY : Wait::NONE;
}

void StarField::DrawWaiting()
{
    StarField* stars = g_waiting;
    SkyDome* sky = g_waitingSky;
    g_waiting = nullptr;
    g_waitingSky = nullptr;
    g_underSky = false;
    IDirect3DDevice9* device = DataManager::Get()->GetDevice();
    if (!stars || !device)
        return;
    if (!sky) {
        stars->DrawBehindGround(device, Where::BEHIND_GROUND);
        return;
    }
    // By day the dome hides the stars wholly: it alone goes where the ground leaves the sky showing.
    if (!sky->LetsStarsThrough()) {
        sky->DrawWaiting(device, false);
        return;
    }
    // Drawn first, the stars lay under every pixel; the ground covered them, and the dome (blending with
    // them) covered the ground where it lay nearer. The ground marked the stencil where it was drawn, the
    // dome clears the mark where it lies nearer, and the stars go where no mark is left, the dome over them.
    sky->DrawWaiting(device, true);
    stars->DrawBehindGround(device, Where::UNMARKED);
    sky->DrawWaiting(device, false);
}

bool StarField::GroundMarksStencil()
{
    return g_waiting && g_underSky;
}

// Drawn at the far plane (a depth range of 1 to 1) where the depth is still the clear's, or where the stencil
// has no mark of the ground, with the states it would have been drawn with first; what it changes is put
// back.
void StarField::DrawBehindGround(IDirect3DDevice9* device, Where where)
{
    const D3DRENDERSTATETYPE touched[] = {
        D3DRS_ZENABLE,     D3DRS_ZWRITEENABLE,     D3DRS_ZFUNC,         D3DRS_ALPHATESTENABLE, D3DRS_ALPHAFUNC,
        D3DRS_ALPHAREF,    D3DRS_ALPHABLENDENABLE, D3DRS_SRCBLEND,      D3DRS_DESTBLEND,       D3DRS_BLENDOP,
        D3DRS_CULLMODE,    D3DRS_FOGENABLE,        D3DRS_STENCILENABLE, D3DRS_STENCILFUNC,     D3DRS_STENCILREF,
        D3DRS_STENCILMASK, D3DRS_STENCILFAIL,      D3DRS_STENCILZFAIL,  D3DRS_STENCILPASS};
    DWORD saved[std::size(touched)];
    for (size_t i = 0; i < std::size(touched); ++i)
        device->GetRenderState(touched[i], &saved[i]);
    D3DVIEWPORT9 viewport{};
    device->GetViewport(&viewport);
    const DrawBindings bindings(device);

    device->SetRenderState(D3DRS_ALPHATESTENABLE, m_states.alphaTest);
    device->SetRenderState(D3DRS_ALPHAFUNC, m_states.alphaFunc);
    device->SetRenderState(D3DRS_ALPHAREF, m_states.alphaRef);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, m_states.blend);
    device->SetRenderState(D3DRS_SRCBLEND, m_states.sourceBlend);
    device->SetRenderState(D3DRS_DESTBLEND, m_states.destinationBlend);
    device->SetRenderState(D3DRS_BLENDOP, m_states.blendOp);
    device->SetRenderState(D3DRS_CULLMODE, m_states.cull);
    device->SetRenderState(D3DRS_FOGENABLE, m_states.fog);
    device->SetRenderState(D3DRS_ZENABLE, where == Where::UNMARKED ? D3DZB_FALSE : D3DZB_TRUE);
    device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
    device->SetRenderState(D3DRS_STENCILENABLE, where != Where::BEHIND_GROUND);
    device->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_EQUAL);
    device->SetRenderState(D3DRS_STENCILREF, 0);
    device->SetRenderState(D3DRS_STENCILMASK, 0xFFFFFFFF);
    device->SetRenderState(D3DRS_STENCILFAIL, D3DSTENCILOP_KEEP);
    device->SetRenderState(D3DRS_STENCILZFAIL, D3DSTENCILOP_KEEP);
    device->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_KEEP);
    D3DVIEWPORT9 farPlane = viewport;
    farPlane.MinZ = 1.0f;
    farPlane.MaxZ = 1.0f;
    device->SetViewport(&farPlane);
    Draw(device);

    device->SetViewport(&viewport);
    for (size_t i = 0; i < std::size(touched); ++i)
        device->SetRenderState(touched[i], saved[i]);
}

void StarField::Release()
{
    if (g_waiting == this)
        g_waiting = nullptr;
    m_vertexBuffer.Reset();
    if (m_texture && m_texture->referenceCount > 0)
        --m_texture->referenceCount;
    m_texture = nullptr;
}
