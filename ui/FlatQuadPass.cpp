#include "ui/FlatQuadPass.h"

#include "core/DataManager.h"
#include "core/ScreenVertex.h"
#include "ui/GuiButton.h"
#include "ui/GuiElement.h"
#include "ui/TextureCoverage.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {
constexpr float TOLERANCE = 0.01f;

bool Whole(float value)
{
    return std::fabs(value - std::round(value)) < TOLERANCE;
}

using Span = FlatQuadPass::Span;

// The span shows its texels one to one, from a whole pixel and a whole texel.
bool Exact(const Span& span, float texels)
{
    const float first = span.texLow * texels;
    const float last = span.texHigh * texels;
    return span.high > span.low && Whole(span.low) && Whole(first) && Whole(last) &&
           std::fabs(span.high - span.low - std::fabs(last - first)) < TOLERANCE;
}

// Where texel edge t of an exact span falls on the screen, and the other way round.
float ScreenAt(const Span& span, float texels, float t)
{
    const float first = span.texLow * texels;
    return span.low + (span.texHigh >= span.texLow ? t - first : first - t);
}

float TexelAt(const Span& span, float texels, float p)
{
    const float first = span.texLow * texels;
    return span.texHigh >= span.texLow ? first + (p - span.low) : first - (p - span.low);
}

// Cuts the span to the texels [shownLow, shownHigh) and to the screen before cutAt, when it is exact. False
// when nothing of it is left.
bool CutSpan(Span& span, float texels, float shownLow, float shownHigh, float cutAt)
{
    if (!Exact(span, texels))
        return true;
    const float first = span.texLow * texels;
    const float last = span.texHigh * texels;
    const float direction = last >= first ? 1.0f : -1.0f;
    // Screen edges of the shown texels: texel t lies at low + direction * (t - first).
    float from = span.low + direction * (shownLow - first);
    float to = span.low + direction * (shownHigh - first);
    if (from > to)
        std::swap(from, to);
    // Edges that need no cut stay exactly where they were.
    const float limit = std::min(to, std::floor(cutAt));
    const float low = from > span.low ? std::round(from) : span.low;
    const float high = limit < span.high ? std::round(limit) : span.high;
    if (high <= low)
        return false;
    if (low != span.low)
        span.texLow = (first + direction * (low - span.low)) / texels;
    if (high != span.high)
        span.texHigh = (first + direction * (high - span.low)) / texels;
    span.low = low;
    span.high = high;
    return true;
}

// The stages after the first give on the alpha they receive, so that an opaque texel of a wholly opaque quad
// comes out opaque and replaces what lies beneath, whatever they do to its colour. Each is off, keeps alpha
// as it came, selects it, or modulates it with a texture that is not bound and reads as opaque white. The game
// leaves the terrain's second stage modulating, with nothing bound there, when it draws the interface.
bool LaterStagesKeepAlpha(IDirect3DDevice9* device)
{
    constexpr DWORD STAGES = 8;
    for (DWORD stage = 1; stage < STAGES; ++stage) {
        DWORD colourOp = D3DTOP_DISABLE;
        DWORD alphaOp = D3DTOP_DISABLE;
        DWORD arg1 = 0;
        DWORD arg2 = 0;
        device->GetTextureStageState(stage, D3DTSS_COLOROP, &colourOp);
        if (colourOp == D3DTOP_DISABLE)
            return true;
        device->GetTextureStageState(stage, D3DTSS_ALPHAOP, &alphaOp);
        device->GetTextureStageState(stage, D3DTSS_ALPHAARG1, &arg1);
        device->GetTextureStageState(stage, D3DTSS_ALPHAARG2, &arg2);
        bool keeps = alphaOp == D3DTOP_DISABLE || (alphaOp == D3DTOP_SELECTARG1 && arg1 == D3DTA_CURRENT) ||
                     (alphaOp == D3DTOP_SELECTARG2 && arg2 == D3DTA_CURRENT);
        if (!keeps && alphaOp == D3DTOP_MODULATE &&
            ((arg1 == D3DTA_TEXTURE && arg2 == D3DTA_CURRENT) || (arg1 == D3DTA_CURRENT && arg2 == D3DTA_TEXTURE))) {
            IDirect3DBaseTexture9* bound = nullptr;
            keeps = SUCCEEDED(device->GetTexture(stage, &bound)) && !bound;
            if (bound)
                bound->Release();
        }
        if (!keeps)
            return false;
    }
    return true;
}

// Faded out altogether, or parked wholly above or left of the screen.
bool Shows(const GuiElement& element)
{
    return element.visible && (PackColour(element.colour) >> 24) != 0 && element.right > 0.0f && element.bottom > 0.0f;
}
} // namespace

FlatQuadPass::FlatQuadPass(IDirect3DDevice9* target) : m_device(target)
{
    if (!m_device)
        return;
    // Under the usual blend a texel of full alpha on a vertex of full alpha simply replaces what lies beneath,
    // which drawing it without blending does more cheaply; and the rasteriser drops whatever was drawn before
    // in a tile that an unblended quad covers whole.
    DWORD blend = FALSE;
    DWORD source = 0;
    DWORD destination = 0;
    DWORD operation = 0;
    DWORD separate = FALSE;
    DWORD alphaOp = 0;
    DWORD alpha1 = 0;
    DWORD alpha2 = 0;
    m_device->GetRenderState(D3DRS_ALPHABLENDENABLE, &blend);
    m_device->GetRenderState(D3DRS_SRCBLEND, &source);
    m_device->GetRenderState(D3DRS_DESTBLEND, &destination);
    m_device->GetRenderState(D3DRS_BLENDOP, &operation);
    m_device->GetRenderState(D3DRS_SEPARATEALPHABLENDENABLE, &separate);
    m_device->GetTextureStageState(0, D3DTSS_ALPHAOP, &alphaOp);
    m_device->GetTextureStageState(0, D3DTSS_ALPHAARG1, &alpha1);
    m_device->GetTextureStageState(0, D3DTSS_ALPHAARG2, &alpha2);
    // On the first stage the current colour is the vertex colour.
    const auto vertexAlpha = [](DWORD arg) { return arg == D3DTA_DIFFUSE || arg == D3DTA_CURRENT; };
    const bool textureAlpha = (alphaOp == D3DTOP_MODULATE && ((alpha1 == D3DTA_TEXTURE && vertexAlpha(alpha2)) ||
                                                              (vertexAlpha(alpha1) && alpha2 == D3DTA_TEXTURE))) ||
                              (alphaOp == D3DTOP_SELECTARG1 && alpha1 == D3DTA_TEXTURE);
    m_opaqueUnblended = blend && source == D3DBLEND_SRCALPHA && destination == D3DBLEND_INVSRCALPHA &&
                        operation == D3DBLENDOP_ADD && !separate && textureAlpha && LaterStagesKeepAlpha(m_device);
    m_device->GetRenderState(D3DRS_ZENABLE, &m_depth);
    m_device->GetSamplerState(0, D3DSAMP_MIPFILTER, &m_mip);
    m_device->GetSamplerState(0, D3DSAMP_ADDRESSU, &m_addressU);
    m_device->GetSamplerState(0, D3DSAMP_ADDRESSV, &m_addressV);
    m_device->GetSamplerState(0, D3DSAMP_MINFILTER, &m_minFilter);
    m_device->GetSamplerState(0, D3DSAMP_MAGFILTER, &m_magFilter);
    m_device->SetRenderState(D3DRS_ZENABLE, FALSE);
    m_device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
    m_device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    m_device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
}

FlatQuadPass::~FlatQuadPass()
{
    if (!m_device)
        return;
    m_device->SetRenderState(D3DRS_ZENABLE, m_depth);
    m_device->SetSamplerState(0, D3DSAMP_MIPFILTER, m_mip);
    m_device->SetSamplerState(0, D3DSAMP_ADDRESSU, m_addressU);
    m_device->SetSamplerState(0, D3DSAMP_ADDRESSV, m_addressV);
    m_device->SetSamplerState(0, D3DSAMP_MINFILTER, m_minFilter);
    m_device->SetSamplerState(0, D3DSAMP_MAGFILTER, m_magFilter);
}

bool FlatQuadPass::IsPixelExact(const GuiElement& element)
{
    const TextureRecord* record = element.GetTextureRecord();
    if (!record || !record->texture)
        return false;
    D3DSURFACE_DESC desc{};
    if (FAILED(record->texture->GetLevelDesc(0, &desc)))
        return false;
    const float texelsAcross = std::fabs(element.rightU - element.leftU) * static_cast<float>(desc.Width);
    const float texelsDown = std::fabs(element.bottomV - element.topV) * static_cast<float>(desc.Height);
    return Whole(element.left) && Whole(element.top) &&
           std::fabs(element.right - element.left - texelsAcross) < TOLERANCE &&
           std::fabs(element.bottom - element.top - texelsDown) < TOLERANCE;
}

void FlatQuadPass::Draw(GuiElement& element)
{
    if (!Shows(element))
        return;
    if (m_device) {
        const DWORD wanted = IsPixelExact(element) ? D3DTEXF_POINT : D3DTEXF_LINEAR;
        if (wanted != m_filter) {
            m_device->SetSamplerState(0, D3DSAMP_MINFILTER, wanted);
            m_device->SetSamplerState(0, D3DSAMP_MAGFILTER, wanted);
            m_filter = wanted;
        }
    }
    element.DrawQuad();
}

void FlatQuadPass::DrawShown(GuiElement& element, const TextureCoverage* coverage, float hiddenFrom)
{
    IDirect3DVertexBuffer9* buffer = element.GetVertexBuffer();
    const TextureRecord* record = element.GetTextureRecord();
    IDirect3DTexture9* texture = record ? record->texture : nullptr;
    if (!m_device || !buffer || !texture || !Shows(element)) {
        Draw(element);
        return;
    }
    // The quad as its buffer holds it: the corners the element last wrote, which Draw would show.
    ScreenVertex quad[4];
    void* data = nullptr;
    if (FAILED(buffer->Lock(0, sizeof(quad), &data, D3DLOCK_READONLY)) || !data) {
        Draw(element);
        return;
    }
    std::memcpy(quad, data, sizeof(quad));
    buffer->Unlock();
    D3DSURFACE_DESC desc{};
    if (FAILED(texture->GetLevelDesc(0, &desc)) || desc.Width == 0 || desc.Height == 0) {
        Draw(element);
        return;
    }
    RECT shown{0, 0, static_cast<LONG>(desc.Width), static_cast<LONG>(desc.Height)};
    if (coverage && coverage->GetTexture() == texture)
        shown = coverage->GetShown();
    // Corners 0 and 1 share the left edge, 2 and 3 the right; 1 and 3 are on top, 0 and 2 at the bottom.
    Span across{quad[0].x, quad[2].x, quad[0].u, quad[2].u};
    Span down{quad[1].y, quad[0].y, quad[1].v, quad[0].v};
    const bool rectangle = quad[1].x == across.low && quad[3].x == across.high && quad[2].y == down.high &&
                           quad[3].y == down.low && quad[1].u == across.texLow && quad[3].u == across.texHigh &&
                           quad[2].v == down.texHigh && quad[3].v == down.texLow;
    if (!rectangle) {
        Draw(element);
        return;
    }
    const float width = static_cast<float>(desc.Width);
    const float height = static_cast<float>(desc.Height);
    if (coverage && coverage->GetTexture() == texture && Exact(across, width) && Exact(down, height)) {
        DrawPieces(texture, quad[0], across, down, *coverage, hiddenFrom);
        return;
    }
    if (!CutSpan(across, width, static_cast<float>(shown.left), static_cast<float>(shown.right),
                 std::numeric_limits<float>::max()) ||
        !CutSpan(down, height, static_cast<float>(shown.top), static_cast<float>(shown.bottom), hiddenFrom))
        return;
    const bool whole =
        across.low == quad[0].x && across.high == quad[2].x && down.low == quad[1].y && down.high == quad[0].y;
    if (whole) {
        Draw(element);
        return;
    }
    const DWORD wanted = IsPixelExact(element) ? D3DTEXF_POINT : D3DTEXF_LINEAR;
    if (wanted != m_filter) {
        m_device->SetSamplerState(0, D3DSAMP_MINFILTER, wanted);
        m_device->SetSamplerState(0, D3DSAMP_MAGFILTER, wanted);
        m_filter = wanted;
    }
    const ScreenVertex cut[4] = {
        {across.low, down.high, quad[0].z, quad[0].rhw, quad[0].color, across.texLow, down.texHigh},
        {across.low, down.low, quad[1].z, quad[1].rhw, quad[1].color, across.texLow, down.texLow},
        {across.high, down.high, quad[2].z, quad[2].rhw, quad[2].color, across.texHigh, down.texHigh},
        {across.high, down.low, quad[3].z, quad[3].rhw, quad[3].color, across.texHigh, down.texLow},
    };
    m_device->SetTexture(0, texture);
    m_device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, cut, SCREEN_VERTEX_STRIDE);
}

void FlatQuadPass::DrawPieces(IDirect3DTexture9* texture, const ScreenVertex& corner, const Span& across,
                              const Span& down, const TextureCoverage& coverage, float hiddenFrom)
{
    const float width = static_cast<float>(coverage.GetWidth());
    const float height = static_cast<float>(coverage.GetHeight());
    const bool unblended = m_opaqueUnblended && (corner.color >> 24) == 0xFF;
    const float cut = std::floor(hiddenFrom);
    m_blended.clear();
    m_solid.clear();
    for (const TextureCoverage::Piece& piece : coverage.GetPieces()) {
        float x0 = ScreenAt(across, width, static_cast<float>(piece.texels.left));
        float x1 = ScreenAt(across, width, static_cast<float>(piece.texels.right));
        float y0 = ScreenAt(down, height, static_cast<float>(piece.texels.top));
        float y1 = ScreenAt(down, height, static_cast<float>(piece.texels.bottom));
        if (x0 > x1)
            std::swap(x0, x1);
        if (y0 > y1)
            std::swap(y0, y1);
        // Only the part the quad itself shows, above the rows hidden later.
        x0 = std::max(x0, across.low);
        x1 = std::min(x1, across.high);
        y0 = std::max(y0, down.low);
        y1 = std::min({y1, down.high, cut});
        if (x1 <= x0 || y1 <= y0)
            continue;
        const float u0 = TexelAt(across, width, x0) / width;
        const float u1 = TexelAt(across, width, x1) / width;
        const float v0 = TexelAt(down, height, y0) / height;
        const float v1 = TexelAt(down, height, y1) / height;
        const auto at = [&corner](float x, float y, float u, float v) {
            return ScreenVertex{x, y, corner.z, corner.rhw, corner.color, u, v};
        };
        std::vector<ScreenVertex>& list = piece.opaque && unblended ? m_solid : m_blended;
        list.insert(list.end(), {at(x0, y0, u0, v0), at(x1, y0, u1, v0), at(x0, y1, u0, v1), at(x0, y1, u0, v1),
                                 at(x1, y0, u1, v0), at(x1, y1, u1, v1)});
    }
    if (m_blended.empty() && m_solid.empty())
        return;
    // Texel for pixel on both axes.
    if (m_filter != D3DTEXF_POINT) {
        m_device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
        m_device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
        m_filter = D3DTEXF_POINT;
    }
    m_device->SetTexture(0, texture);
    if (!m_blended.empty())
        m_device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<UINT>(m_blended.size() / 3), m_blended.data(),
                                  SCREEN_VERTEX_STRIDE);
    if (!m_solid.empty()) {
        m_device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        m_device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<UINT>(m_solid.size() / 3), m_solid.data(),
                                  SCREEN_VERTEX_STRIDE);
        m_device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    }
}

void FlatQuadPass::DrawIcon(GuiButton& button)
{
    if (button.iconVisible && button.GetIcon())
        Draw(*button.GetIcon());
}
