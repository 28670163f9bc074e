#include "scene/OpaqueDraw.h"

#include <cstddef>
#include <cstdint>

OpaqueDraw::OpaqueDraw(IDirect3DDevice9* device, bool opaque) : m_device(opaque ? device : nullptr)
{
    if (!m_device)
        return;
    DWORD blend = FALSE, source = 0, destination = 0, op = 0, separate = FALSE;
    m_device->GetRenderState(D3DRS_ALPHABLENDENABLE, &blend);
    m_device->GetRenderState(D3DRS_SRCBLEND, &source);
    m_device->GetRenderState(D3DRS_DESTBLEND, &destination);
    m_device->GetRenderState(D3DRS_BLENDOP, &op);
    m_device->GetRenderState(D3DRS_SEPARATEALPHABLENDENABLE, &separate);
    if (blend && BlendKeepsOpaque(source, destination, op, separate)) {
        m_device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        m_restoreBlend = true;
    }
    DWORD test = FALSE, func = 0, ref = 0;
    m_device->GetRenderState(D3DRS_ALPHATESTENABLE, &test);
    m_device->GetRenderState(D3DRS_ALPHAFUNC, &func);
    m_device->GetRenderState(D3DRS_ALPHAREF, &ref);
    if (test && AlphaTestKeepsOpaque(func, ref)) {
        m_device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
        m_restoreTest = true;
    }
}

OpaqueDraw::~OpaqueDraw()
{
    if (m_restoreBlend)
        m_device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    if (m_restoreTest)
        m_device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
}

bool OpaqueDraw::BlendKeepsOpaque(DWORD source, DWORD destination, DWORD op, DWORD separateAlpha)
{
    // The alpha of the target may differ when its alpha blends apart from the colour.
    if (separateAlpha)
        return false;
    const bool sourceWhole = source == D3DBLEND_ONE || source == D3DBLEND_SRCALPHA;
    const bool destinationNone = destination == D3DBLEND_ZERO || destination == D3DBLEND_INVSRCALPHA;
    return sourceWhole && destinationNone && (op == D3DBLENDOP_ADD || op == D3DBLENDOP_SUBTRACT);
}

bool OpaqueDraw::AlphaTestKeepsOpaque(DWORD func, DWORD ref)
{
    ref &= 0xFF;
    switch (func) {
    case D3DCMP_ALWAYS:
    case D3DCMP_GREATEREQUAL:
        return true;
    case D3DCMP_GREATER:
    case D3DCMP_NOTEQUAL:
        return ref < 255;
    case D3DCMP_EQUAL:
    case D3DCMP_LESSEQUAL:
        return ref == 255;
    default:
        return false;
    }
}

bool OpaqueDraw::IsOpaqueTexture(IDirect3DTexture9* texture)
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
