#include "d3dx9/Sprite.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr DWORD SPRITE_FVF = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;
// 16-bit indices reach 65536 vertices: four per quad.
constexpr size_t MAX_QUADS_PER_DRAW = 65536 / 4;

constexpr D3DRENDERSTATETYPE MODIFIED_RENDER_STATES[] = {
    D3DRS_ALPHABLENDENABLE, D3DRS_SRCBLEND,  D3DRS_DESTBLEND, D3DRS_BLENDOP,  D3DRS_SEPARATEALPHABLENDENABLE,
    D3DRS_ALPHATESTENABLE,  D3DRS_ALPHAFUNC, D3DRS_ALPHAREF,  D3DRS_CULLMODE, D3DRS_ZENABLE,
    D3DRS_FOGENABLE,        D3DRS_FILLMODE,
};
constexpr D3DTEXTURESTAGESTATETYPE MODIFIED_STAGE0_STATES[] = {
    D3DTSS_COLOROP,   D3DTSS_COLORARG1, D3DTSS_COLORARG2,     D3DTSS_ALPHAOP,
    D3DTSS_ALPHAARG1, D3DTSS_ALPHAARG2, D3DTSS_TEXCOORDINDEX, D3DTSS_TEXTURETRANSFORMFLAGS,
};
constexpr D3DSAMPLERSTATETYPE MODIFIED_SAMPLER_STATES[] = {
    D3DSAMP_ADDRESSU, D3DSAMP_ADDRESSV, D3DSAMP_MAGFILTER, D3DSAMP_MINFILTER, D3DSAMP_MIPFILTER,
};

void Identity(float* m)
{
    std::fill(m, m + 16, 0.0f);
    m[0] = m[5] = m[10] = m[15] = 1.0f;
}

} // namespace

Sprite::Sprite(IDirect3DDevice9* device) : device_(device)
{
    device_->AddRef();
    Identity(transform_);
}

Sprite::~Sprite()
{
    for (Quad& quad : quads_)
        quad.texture->Release();
    saved_.Discard();
    device_->Release();
}

HRESULT Sprite::GetDevice(IDirect3DDevice9** device)
{
    if (device == nullptr)
        return D3DERR_INVALIDCALL;
    device_->AddRef();
    *device = device_;
    return D3D_OK;
}

HRESULT Sprite::GetTransform(D3DXMATRIX* transform)
{
    if (transform == nullptr)
        return D3DERR_INVALIDCALL;
    // D3DXMATRIX is the sixteen floats of D3DMATRIX, row by row.
    std::memcpy(reinterpret_cast<float*>(transform), transform_, sizeof(transform_));
    return D3D_OK;
}

HRESULT Sprite::SetTransform(const D3DXMATRIX* transform)
{
    if (transform == nullptr)
        return D3DERR_INVALIDCALL;
    std::memcpy(transform_, reinterpret_cast<const float*>(transform), sizeof(transform_));
    return D3D_OK;
}

HRESULT Sprite::Begin(DWORD flags)
{
    // Between OnLostDevice and OnResetDevice the sprite may not draw: an owner that forgets the reset finds out.
    if (begun_ || lost_)
        return D3DERR_INVALIDCALL;
    begun_ = true;
    flags_ = flags;
    if (!(flags & D3DXSPRITE_DONOTSAVESTATE)) {
        saved_.CaptureFVF(device_);
        saved_.CaptureShaderProgram(device_);
        saved_.CaptureTexture(device_, 0);
        if (!(flags & D3DXSPRITE_DONOTMODIFY_RENDERSTATE)) {
            for (D3DRENDERSTATETYPE state : MODIFIED_RENDER_STATES)
                saved_.CaptureRenderState(device_, state);
            for (D3DTEXTURESTAGESTATETYPE state : MODIFIED_STAGE0_STATES)
                saved_.CaptureStageState(device_, 0, state);
            saved_.CaptureStageState(device_, 1, D3DTSS_COLOROP);
            saved_.CaptureStageState(device_, 1, D3DTSS_ALPHAOP);
            for (D3DSAMPLERSTATETYPE state : MODIFIED_SAMPLER_STATES)
                saved_.CaptureSamplerState(device_, 0, state);
        }
    }
    return D3D_OK;
}

HRESULT Sprite::Draw(IDirect3DTexture9* texture, const RECT* srcRect, const D3DXVECTOR3* center,
                     const D3DXVECTOR3* position, D3DCOLOR color)
{
    if (!begun_ || texture == nullptr)
        return D3DERR_INVALIDCALL;
    RECT source{};
    if (srcRect != nullptr) {
        source = *srcRect;
    } else {
        D3DSURFACE_DESC desc{};
        if (FAILED(texture->GetLevelDesc(0, &desc)))
            return D3DERR_INVALIDCALL;
        source = RECT{0, 0, static_cast<LONG>(desc.Width), static_cast<LONG>(desc.Height)};
    }
    // D3DXVECTOR3 is the three floats x, y, z.
    const float* c = reinterpret_cast<const float*>(center);
    const float* p = reinterpret_cast<const float*>(position);
    const float x = (p ? p[0] : 0.0f) - (c ? c[0] : 0.0f);
    const float y = (p ? p[1] : 0.0f) - (c ? c[1] : 0.0f);
    const HRESULT hr = DrawRect(texture, source, x, y, color);
    if (SUCCEEDED(hr) && ((p && p[2] != 0.0f) || (c && c[2] != 0.0f))) {
        const float z = (p ? p[2] : 0.0f) - (c ? c[2] : 0.0f);
        for (Vertex& v : quads_.back().corners) {
            v.x += z * transform_[8];
            v.y += z * transform_[9];
            v.z += z * transform_[10];
        }
    }
    return hr;
}

HRESULT Sprite::DrawRect(IDirect3DTexture9* texture, const RECT& srcRect, float x, float y, D3DCOLOR color)
{
    if (!begun_ || texture == nullptr)
        return D3DERR_INVALIDCALL;
    D3DSURFACE_DESC desc{};
    if (FAILED(texture->GetLevelDesc(0, &desc)) || desc.Width == 0 || desc.Height == 0)
        return D3DERR_INVALIDCALL;
    const float invWidth = 1.0f / static_cast<float>(desc.Width);
    const float invHeight = 1.0f / static_cast<float>(desc.Height);
    const float width = static_cast<float>(srcRect.right - srcRect.left);
    const float height = static_cast<float>(srcRect.bottom - srcRect.top);
    const float u0 = static_cast<float>(srcRect.left) * invWidth;
    const float v0 = static_cast<float>(srcRect.top) * invHeight;
    const float u1 = static_cast<float>(srcRect.right) * invWidth;
    const float v1 = static_cast<float>(srcRect.bottom) * invHeight;

    Quad quad;
    quad.texture = texture;
    const float local[4][4] = {
        {x, y, u0, v0},
        {x + width, y, u1, v0},
        {x, y + height, u0, v1},
        {x + width, y + height, u1, v1},
    };
    const float* m = transform_;
    for (int i = 0; i < 4; ++i) {
        const float lx = local[i][0];
        const float ly = local[i][1];
        Vertex& v = quad.corners[i];
        v.x = lx * m[0] + ly * m[4] + m[12];
        v.y = lx * m[1] + ly * m[5] + m[13];
        v.z = lx * m[2] + ly * m[6] + m[14];
        v.rhw = 1.0f;
        v.color = color;
        v.u = local[i][2];
        v.v = local[i][3];
    }
    texture->AddRef();
    quads_.push_back(quad);
    return D3D_OK;
}

void Sprite::ApplyStates()
{
    device_->SetShaderProgram(nullptr);
    device_->SetFVF(SPRITE_FVF);
    if (flags_ & D3DXSPRITE_DONOTMODIFY_RENDERSTATE)
        return;
    const bool blend = (flags_ & D3DXSPRITE_ALPHABLEND) != 0;
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, blend ? TRUE : FALSE);
    device_->SetRenderState(D3DRS_SEPARATEALPHABLENDENABLE, FALSE);
    if (blend) {
        device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        device_->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
        // Fully transparent texels are skipped rather than blended, as the original sprite did.
        device_->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
        device_->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
        device_->SetRenderState(D3DRS_ALPHAREF, 0);
    } else {
        device_->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    }
    device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device_->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    device_->SetRenderState(D3DRS_FOGENABLE, FALSE);
    device_->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
    device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device_->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device_->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    device_->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    device_->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    device_->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    device_->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    device_->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    device_->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    device_->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
    device_->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    device_->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    device_->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR);
}

void Sprite::DrawRun(size_t first, size_t count)
{
    while (count > 0) {
        const size_t n = std::min(count, MAX_QUADS_PER_DRAW);
        vertices_.clear();
        indices_.clear();
        for (size_t i = 0; i < n; ++i) {
            const Quad& quad = quads_[first + i];
            const uint16_t base = static_cast<uint16_t>(vertices_.size());
            vertices_.insert(vertices_.end(), quad.corners, quad.corners + 4);
            const uint16_t corners[6] = {base,
                                         static_cast<uint16_t>(base + 1),
                                         static_cast<uint16_t>(base + 2),
                                         static_cast<uint16_t>(base + 2),
                                         static_cast<uint16_t>(base + 1),
                                         static_cast<uint16_t>(base + 3)};
            indices_.insert(indices_.end(), corners, corners + 6);
        }
        device_->SetTexture(0, quads_[first].texture);
        device_->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, static_cast<UINT>(vertices_.size()),
                                        static_cast<UINT>(n * 2), indices_.data(), D3DFMT_INDEX16, vertices_.data(),
                                        sizeof(Vertex));
        first += n;
        count -= n;
    }
}

HRESULT Sprite::Flush()
{
    if (!begun_)
        return D3DERR_INVALIDCALL;
    if (quads_.empty())
        return D3D_OK;
    ApplyStates();
    if (flags_ & D3DXSPRITE_SORT_TEXTURE)
        std::stable_sort(quads_.begin(), quads_.end(),
                         [](const Quad& a, const Quad& b) { return a.texture < b.texture; });
    size_t runStart = 0;
    for (size_t i = 1; i <= quads_.size(); ++i)
        if (i == quads_.size() || quads_[i].texture != quads_[runStart].texture) {
            DrawRun(runStart, i - runStart);
            runStart = i;
        }
    for (Quad& quad : quads_)
        quad.texture->Release();
    quads_.clear();
    return D3D_OK;
}

HRESULT Sprite::End()
{
    if (!begun_)
        return D3DERR_INVALIDCALL;
    Flush();
    begun_ = false;
    saved_.Restore(device_);
    return D3D_OK;
}

HRESULT Sprite::OnLostDevice()
{
    // Quads are drawn from memory: nothing lives in the default pool.
    lost_ = true;
    return D3D_OK;
}

HRESULT Sprite::OnResetDevice()
{
    lost_ = false;
    return D3D_OK;
}

HRESULT D3DXCreateSprite(IDirect3DDevice9* device, ID3DXSprite** sprite)
{
    if (sprite == nullptr)
        return D3DERR_INVALIDCALL;
    *sprite = nullptr;
    if (device == nullptr)
        return D3DERR_INVALIDCALL;
    *sprite = new Sprite(device);
    return D3D_OK;
}
