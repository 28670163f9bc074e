#include "scene/WorldCache.h"

#include <bit>
#include <cstdint>

namespace {

template <typename T>
void ReleaseAndClear(T*& object)
{
    if (object) {
        object->Release();
        object = nullptr;
    }
}

bool SameBits(float a, float b)
{
    return std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b);
}

constexpr D3DTRANSFORMSTATETYPE TRANSFORM_TYPES[] = {D3DTS_WORLD, D3DTS_VIEW, D3DTS_PROJECTION};

} // namespace

bool WorldCache::SameMatrix(const D3DXMATRIX& a, const D3DXMATRIX& b)
{
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column)
            if (!SameBits(a.m[row][column], b.m[row][column]))
                return false;
    return true;
}

bool WorldCache::View::operator==(const View& other) const
{
    return SameMatrix(view, other.view) && SameMatrix(projection, other.projection) && width == other.width &&
           height == other.height && SameBits(skyValue, other.skyValue) && skyShown == other.skyShown &&
           level == other.level && levelRevision == other.levelRevision && decals == other.decals;
}

bool WorldCache::View::SameButTheSky(const View& other) const
{
    return SameMatrix(view, other.view) && SameMatrix(projection, other.projection) && width == other.width &&
           height == other.height && skyShown == other.skyShown && level == other.level &&
           levelRevision == other.levelRevision && decals == other.decals;
}

WorldCache::~WorldCache()
{
    ReleaseAndClear(m_savedTarget);
    ReleaseAndClear(m_savedDepth);
    ReleaseSurfaces();
    ReleaseStates();
}

void WorldCache::OnLostDevice()
{
    Release();
}

void WorldCache::Release()
{
    ReleaseAndClear(m_savedTarget);
    ReleaseAndClear(m_savedDepth);
    ReleaseSurfaces();
    ReleaseStates();
    m_valid = false;
    m_part = false;
}

void WorldCache::Invalidate()
{
    m_valid = false;
    ReleaseStates();
}

void WorldCache::ReleaseSurfaces()
{
    ReleaseAndClear(m_colour);
    ReleaseAndClear(m_depth);
}

bool WorldCache::MakeSurfaces(IDirect3DDevice9* device, const D3DSURFACE_DESC& colour, const D3DSURFACE_DESC& depth)
{
    D3DSURFACE_DESC own{};
    if (m_colour && SUCCEEDED(m_colour->GetDesc(&own)) && own.Width == colour.Width && own.Height == colour.Height &&
        own.Format == colour.Format && m_depth && SUCCEEDED(m_depth->GetDesc(&own)) && own.Width == depth.Width &&
        own.Height == depth.Height && own.Format == depth.Format)
        return true;
    ReleaseSurfaces();
    if (FAILED(device->CreateRenderTarget(colour.Width, colour.Height, colour.Format, D3DMULTISAMPLE_NONE, 0, FALSE,
                                          &m_colour, nullptr)) ||
        FAILED(device->CreateDepthStencilSurface(depth.Width, depth.Height, depth.Format, D3DMULTISAMPLE_NONE, 0, FALSE,
                                                 &m_depth, nullptr))) {
        ReleaseSurfaces();
        return false;
    }
    return m_colour && m_depth;
}

void WorldCache::DrawIntoPicture(IDirect3DDevice9* device, IDirect3DSurface9* target, IDirect3DSurface9* depth)
{
    // A new target makes the viewport the whole target: the one the frame drew with is kept.
    D3DVIEWPORT9 viewport{};
    device->GetViewport(&viewport);
    m_savedTarget = target;
    m_savedDepth = depth;
    device->SetRenderTarget(0, m_colour);
    device->SetDepthStencilSurface(m_depth);
    device->SetViewport(&viewport);
}

bool WorldCache::BeginPicture(IDirect3DDevice9* device, const View& view, D3DCOLOR clearColour, float clearDepth)
{
    Invalidate();
    if (!device || m_savedTarget)
        return false;
    IDirect3DSurface9* target = nullptr;
    IDirect3DSurface9* depth = nullptr;
    D3DSURFACE_DESC targetDesc{};
    D3DSURFACE_DESC depthDesc{};
    const bool found = SUCCEEDED(device->GetRenderTarget(0, &target)) && target &&
                       SUCCEEDED(device->GetDepthStencilSurface(&depth)) && depth &&
                       SUCCEEDED(target->GetDesc(&targetDesc)) && SUCCEEDED(depth->GetDesc(&depthDesc));
    // The copy back is whole surfaces of one size: a depth surface of another size than the target cannot be kept.
    if (!found || targetDesc.Width != depthDesc.Width || targetDesc.Height != depthDesc.Height ||
        !MakeSurfaces(device, targetDesc, depthDesc)) {
        ReleaseAndClear(target);
        ReleaseAndClear(depth);
        return false;
    }
    DrawIntoPicture(device, target, depth);
    // The stencil too: the ground's marks for the stars start from nothing.
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, clearColour, clearDepth, 0);
    m_view = view;
    return true;
}

bool WorldCache::BeginPart(IDirect3DDevice9* device, const View& view, const RECT& rect, D3DCOLOR clearColour,
                           float clearDepth)
{
    if (!device || m_savedTarget || !m_valid || !m_colour || !m_depth || rect.left >= rect.right ||
        rect.top >= rect.bottom)
        return false;
    IDirect3DSurface9* target = nullptr;
    IDirect3DSurface9* depth = nullptr;
    if (FAILED(device->GetRenderTarget(0, &target)) || !target || FAILED(device->GetDepthStencilSurface(&depth)) ||
        !depth) {
        ReleaseAndClear(target);
        ReleaseAndClear(depth);
        return false;
    }
    Invalidate();
    DrawIntoPicture(device, target, depth);
    const D3DRECT part{rect.left, rect.top, rect.right, rect.bottom};
    device->Clear(1, &part, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, clearColour, clearDepth, 0);
    device->GetRenderState(D3DRS_SCISSORTESTENABLE, &m_savedScissorTest);
    device->GetScissorRect(&m_savedScissor);
    device->SetScissorRect(&rect);
    device->SetRenderState(D3DRS_SCISSORTESTENABLE, TRUE);
    m_part = true;
    m_view = view;
    return true;
}

void WorldCache::TakeView(const View& view)
{
    if (m_valid)
        m_view = view;
}

void WorldCache::EndPicture(IDirect3DDevice9* device)
{
    if (!device || !m_savedTarget)
        return;
    if (m_part) {
        // The states kept with the picture are those a whole drawing leaves.
        device->SetRenderState(D3DRS_SCISSORTESTENABLE, m_savedScissorTest);
        device->SetScissorRect(&m_savedScissor);
        m_part = false;
    }
    CaptureStates(device);
    D3DVIEWPORT9 viewport{};
    device->GetViewport(&viewport);
    device->SetRenderTarget(0, m_savedTarget);
    device->SetDepthStencilSurface(m_savedDepth);
    device->SetViewport(&viewport);
    ReleaseAndClear(m_savedTarget);
    ReleaseAndClear(m_savedDepth);
    m_valid = true;
    ++m_pictures;
}

bool WorldCache::Show(IDirect3DDevice9* device, bool restoreStates)
{
    if (!device || !m_valid || !m_colour || !m_depth)
        return false;
    IDirect3DSurface9* target = nullptr;
    IDirect3DSurface9* depth = nullptr;
    bool shown = SUCCEEDED(device->GetRenderTarget(0, &target)) && target &&
                 SUCCEEDED(device->GetDepthStencilSurface(&depth)) && depth;
    shown = shown && SUCCEEDED(device->StretchRect(m_colour, nullptr, target, nullptr, D3DTEXF_NONE)) &&
            SUCCEEDED(device->StretchRect(m_depth, nullptr, depth, nullptr, D3DTEXF_NONE));
    ReleaseAndClear(target);
    ReleaseAndClear(depth);
    if (!shown) {
        Invalidate();
        return false;
    }
    if (restoreStates)
        ApplyStates(device);
    return true;
}

void WorldCache::CaptureStates(IDirect3DDevice9* device)
{
    ReleaseStates();
    DWORD value = 0;
    for (uint32_t state = 0; state < D3DRS_COUNT; ++state)
        if (SUCCEEDED(device->GetRenderState(static_cast<D3DRENDERSTATETYPE>(state), &value)))
            m_renderStates.emplace_back(static_cast<D3DRENDERSTATETYPE>(state), value);
    for (DWORD stage = 0; stage < STAGES; ++stage) {
        for (uint32_t type = 0; type < D3DTSS_COUNT; ++type) {
            const auto stageType = static_cast<D3DTEXTURESTAGESTATETYPE>(type);
            if (SUCCEEDED(device->GetTextureStageState(stage, stageType, &value)))
                m_stageStates.push_back({{stage, stageType}, value});
        }
        for (uint32_t type = 0; type < D3DSAMP_COUNT; ++type) {
            const auto samplerType = static_cast<D3DSAMPLERSTATETYPE>(type);
            if (SUCCEEDED(device->GetSamplerState(stage, samplerType, &value)))
                m_samplerStates.push_back({{stage, samplerType}, value});
        }
        device->GetTexture(stage, &m_textures[stage]);
    }
    for (int i = 0; i < TRANSFORMS; ++i)
        device->GetTransform(TRANSFORM_TYPES[i], &m_transforms[static_cast<size_t>(i)]);
    device->GetViewport(&m_viewport);
    device->GetFVF(&m_fvf);
    device->GetShaderProgram(&m_program);
    device->GetStreamSource(0, &m_stream, &m_streamOffset, &m_streamStride);
    device->GetIndices(&m_indices);
}

void WorldCache::ApplyStates(IDirect3DDevice9* device) const
{
    for (const auto& [state, value] : m_renderStates)
        device->SetRenderState(state, value);
    for (const auto& [where, value] : m_stageStates)
        device->SetTextureStageState(where.first, where.second, value);
    for (const auto& [where, value] : m_samplerStates)
        device->SetSamplerState(where.first, where.second, value);
    for (DWORD stage = 0; stage < STAGES; ++stage)
        device->SetTexture(stage, m_textures[stage]);
    for (int i = 0; i < TRANSFORMS; ++i)
        device->SetTransform(TRANSFORM_TYPES[i], &m_transforms[static_cast<size_t>(i)]);
    device->SetViewport(&m_viewport);
    device->SetFVF(m_fvf);
    device->SetShaderProgram(m_program);
    device->SetStreamSource(0, m_stream, m_streamOffset, m_streamStride);
    device->SetIndices(m_indices);
}

void WorldCache::ReleaseStates()
{
    m_renderStates.clear();
    m_stageStates.clear();
    m_samplerStates.clear();
    for (IDirect3DBaseTexture9*& texture : m_textures)
        ReleaseAndClear(texture);
    ReleaseAndClear(m_program);
    ReleaseAndClear(m_stream);
    ReleaseAndClear(m_indices);
}
