#include "d3d9/gl/GlTextureCache.h"

#include "d3d9/DeviceState.h"
#include "d3d9/Surface.h"
#include "d3d9/Texture.h"
#include "d3d9/gl/GlStateCache.h"

#include <mutex>

namespace {

GlPixelFormat Make(GLenum internalFormat, GLenum format, GLenum type, UINT bytes)
{
    GlPixelFormat f;
    f.internalFormat = internalFormat;
    f.format = format;
    f.type = type;
    f.bytesPerPixel = bytes;
    f.supported = true;
    return f;
}

GlPixelFormat WithSwizzle(GlPixelFormat f, GLint r, GLint g, GLint b, GLint a)
{
    f.swizzle[0] = r;
    f.swizzle[1] = g;
    f.swizzle[2] = b;
    f.swizzle[3] = a;
    return f;
}

} // namespace

GlPixelFormat GlTextureCache::FormatFor(D3DFORMAT format)
{
    // D3D names formats from the most significant bit of a little-endian pixel: A8R8G8B8 is the bytes
    // B, G, R, A, which GL calls BGRA of unsigned bytes; the 16-bit formats are GL's reversed packings.
    // The bytes B, G, R, A are also the window's own layout. Left unsized, the driver may keep them as they
    // come (llvmpipe does): a copy between such a target and the window is then a copy of memory, not a
    // full-screen draw, and an upload needs no conversion.
    switch (format) {
    case D3DFMT_A8R8G8B8:
        return Make(GL_RGBA, GL_BGRA, GL_UNSIGNED_BYTE, 4);
    case D3DFMT_X8R8G8B8:
        return WithSwizzle(Make(GL_RGBA, GL_BGRA, GL_UNSIGNED_BYTE, 4), GL_RED, GL_GREEN, GL_BLUE, GL_ONE);
    case D3DFMT_A8B8G8R8:
        return Make(GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, 4);
    case D3DFMT_X8B8G8R8:
        return WithSwizzle(Make(GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, 4), GL_RED, GL_GREEN, GL_BLUE, GL_ONE);
    case D3DFMT_R8G8B8:
        return Make(GL_RGB8, GL_BGR, GL_UNSIGNED_BYTE, 3);
    case D3DFMT_R5G6B5:
        return Make(GL_RGB565, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, 2);
    case D3DFMT_A1R5G5B5:
        return Make(GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, 2);
    case D3DFMT_X1R5G5B5:
        return WithSwizzle(Make(GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, 2), GL_RED, GL_GREEN, GL_BLUE,
                           GL_ONE);
    case D3DFMT_A4R4G4B4:
        return Make(GL_RGBA4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, 2);
    case D3DFMT_A2R10G10B10:
        return Make(GL_RGB10_A2, GL_BGRA, GL_UNSIGNED_INT_2_10_10_10_REV, 4);
    // Luminance fills the colour channels with alpha 1; an alpha-only texture reads black with its alpha,
    // as Direct3D 9 samples it.
    case D3DFMT_L8:
        return WithSwizzle(Make(GL_R8, GL_RED, GL_UNSIGNED_BYTE, 1), GL_RED, GL_RED, GL_RED, GL_ONE);
    case D3DFMT_A8:
        return WithSwizzle(Make(GL_R8, GL_RED, GL_UNSIGNED_BYTE, 1), GL_ZERO, GL_ZERO, GL_ZERO, GL_RED);
    case D3DFMT_R32F:
        return WithSwizzle(Make(GL_R32F, GL_RED, GL_FLOAT, 4), GL_RED, GL_ONE, GL_ONE, GL_ONE);
    case D3DFMT_A32B32G32R32F:
        return Make(GL_RGBA32F, GL_RGBA, GL_FLOAT, 16);
    default:
        return GlPixelFormat{};
    }
}

void GlTextureCache::Create()
{
    for (auto& sampler : samplers_) {
        glGenSamplers(1, &sampler.name);
        sampler.known = false;
    }
    const unsigned char white[4] = {255, 255, 255, 255};
    glGenTextures(1, &white_);
    glBindTexture(GL_TEXTURE_2D, white_);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, white);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glBindTexture(GL_TEXTURE_2D, 0);
}

void GlTextureCache::Release()
{
    for (auto& sampler : samplers_) {
        if (sampler.name)
            glDeleteSamplers(1, &sampler.name);
        sampler = SamplerShadow{};
    }
    if (white_)
        glDeleteTextures(1, &white_);
    // Every other object of the context goes with it; nothing is bound any more.
    white_ = 0;
}

void GlTextureCache::Destroy(GlTexture* texture, GlStateCache& state)
{
    if (!texture)
        return;
    if (texture->name) {
        glDeleteTextures(1, &texture->name);
        state.OnTextureDeleted(texture->name);
    }
    delete texture;
}

GLuint GlTextureCache::Prepare(Texture* texture, GlStateCache& state, int unit)
{
    if (!texture)
        return 0;
    auto* gl = static_cast<GlTexture*>(texture->backEndData);
    if (!gl) {
        gl = new GlTexture;
        gl->width = texture->Width();
        gl->height = texture->Height();
        gl->levels = texture->LevelCount();
        gl->format = texture->Format();
        gl->renderTarget = texture->IsRenderTarget();
        glGenTextures(1, &gl->name);
        texture->backEndData = gl;
    }
    if (gl->renderTarget) {
        if (!gl->storageMade)
            Upload(texture, gl, state, unit);
        return gl->name;
    }
    if (texture->backEndVersion != texture->ChangeCount())
        Upload(texture, gl, state, unit);
    return gl->name;
}

void GlTextureCache::Upload(Texture* texture, GlTexture* gl, GlStateCache& state, int unit)
{
    const GlPixelFormat format = FormatFor(gl->format);
    if (!format.supported)
        return; // sampled as the texture's empty storage: black, never a crash
    state.BindTextureForUpdate(unit, gl->name);
    if (!gl->storageMade) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(gl->levels) - 1);
        glTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_RGBA, format.swizzle);
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    if (gl->renderTarget) {
        for (UINT level = 0; level < gl->levels; ++level) {
            Surface* surface = texture->Level(level);
            glTexImage2D(GL_TEXTURE_2D, static_cast<GLint>(level), static_cast<GLint>(format.internalFormat),
                         static_cast<GLsizei>(surface->Width()), static_cast<GLsizei>(surface->Height()), 0,
                         format.format, format.type, nullptr);
        }
        gl->storageMade = true;
        return;
    }

    std::lock_guard<std::mutex> lock(texture->DataMutex());
    if (texture->IsLocked())
        return; // half written: try again at the next draw that uses it
    const uint64_t version = texture->ChangeCount();
    for (UINT level = 0; level < gl->levels; ++level) {
        Surface* surface = texture->Level(level);
        if (surface && surface->IsCopyDropped())
            continue; // GL has it already; only a level locked since has its copy back
        if (!surface || !surface->Bits())
            break;
        glPixelStorei(GL_UNPACK_ROW_LENGTH, surface->Pitch() / static_cast<GLint>(format.bytesPerPixel));
        const GLsizei w = static_cast<GLsizei>(surface->Width());
        const GLsizei h = static_cast<GLsizei>(surface->Height());
        if (gl->storageMade)
            glTexSubImage2D(GL_TEXTURE_2D, static_cast<GLint>(level), 0, 0, w, h, format.format, format.type,
                            surface->Bits());
        else
            glTexImage2D(GL_TEXTURE_2D, static_cast<GLint>(level), static_cast<GLint>(format.internalFormat), w, h, 0,
                         format.format, format.type, surface->Bits());
    }
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    if ((texture->Usage() & D3DUSAGE_AUTOGENMIPMAP) && gl->levels == 1) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 1000);
        glGenerateMipmap(GL_TEXTURE_2D);
    }
    gl->storageMade = true;
    texture->backEndVersion = version;
    if (ReadsBackExactly(gl->format))
        texture->DropCopy();
}

bool GlTextureCache::ReadsBackExactly(D3DFORMAT format)
{
    // Formats GL stores as they are given: whole bytes or floats a channel. The packed 16-bit ones may be
    // widened by the driver and keep their copies.
    switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_A8B8G8R8:
    case D3DFMT_X8B8G8R8:
    case D3DFMT_R8G8B8:
    case D3DFMT_L8:
    case D3DFMT_A8:
    case D3DFMT_R32F:
    case D3DFMT_A32B32G32R32F:
        return true;
    default:
        return false;
    }
}

bool GlTextureCache::ReadLevel(Texture* texture, UINT level, GlStateCache& state, std::vector<uint8_t>* bytes)
{
    auto* gl = texture ? static_cast<GlTexture*>(texture->backEndData) : nullptr;
    Surface* surface = texture ? texture->Level(level) : nullptr;
    const GlPixelFormat format = FormatFor(texture ? texture->Format() : D3DFMT_UNKNOWN);
    if (!gl || !gl->storageMade || !surface || !format.supported)
        return false;
    bytes->assign(surface->ByteCount(), 0);
    // Only this read's own error may fail it (a lost context repeats its error: a few reads are enough).
    for (int stale = 0; stale < 8 && glGetError() != GL_NO_ERROR; ++stale) { }
    state.BindTextureForUpdate(0, gl->name);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ROW_LENGTH, surface->Pitch() / static_cast<GLint>(format.bytesPerPixel));
    // Rows were uploaded in memory order, so they come back the same way: row 0 first.
    glGetTexImage(GL_TEXTURE_2D, static_cast<GLint>(level), format.format, format.type, bytes->data());
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    return glGetError() == GL_NO_ERROR;
}

GLenum GlTextureCache::AddressMode(DWORD address) const
{
    switch (address) {
    case D3DTADDRESS_MIRROR:
        return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP:
        return GL_CLAMP_TO_EDGE;
    case D3DTADDRESS_BORDER:
        return GL_CLAMP_TO_BORDER;
    case D3DTADDRESS_MIRRORONCE:
        return mirrorClamp_ ? GL_MIRROR_CLAMP_TO_EDGE : GL_CLAMP_TO_EDGE;
    case D3DTADDRESS_WRAP:
    default:
        return GL_REPEAT;
    }
}

void GlTextureCache::BindStage(int stage, Texture* texture, const DWORD* states, GlStateCache& state)
{
    if (stage < 0 || stage >= STAGES)
        return;
    GLuint name = texture ? Prepare(texture, state, stage) : 0;
    if (!name)
        name = white_;
    state.BindTexture(stage, name);

    SamplerShadow& s = samplers_[stage];
    const GLuint sampler = s.name;
    const DWORD addressU = states[D3DSAMP_ADDRESSU];
    const DWORD addressV = states[D3DSAMP_ADDRESSV];
    if (!s.known || s.addressU != addressU)
        glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, static_cast<GLint>(AddressMode(addressU)));
    if (!s.known || s.addressV != addressV)
        glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, static_cast<GLint>(AddressMode(addressV)));
    const DWORD border = states[D3DSAMP_BORDERCOLOR];
    if (!s.known || s.border != border) {
        const float color[4] = {((border >> 16) & 0xFF) / 255.0f, ((border >> 8) & 0xFF) / 255.0f,
                                (border & 0xFF) / 255.0f, ((border >> 24) & 0xFF) / 255.0f};
        glSamplerParameterfv(sampler, GL_TEXTURE_BORDER_COLOR, color);
    }
    const DWORD mag = states[D3DSAMP_MAGFILTER];
    if (!s.known || s.mag != mag)
        glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, mag == D3DTEXF_POINT ? GL_NEAREST : GL_LINEAR);
    const DWORD min = states[D3DSAMP_MINFILTER];
    const DWORD mip = states[D3DSAMP_MIPFILTER];
    if (!s.known || s.min != min || s.mip != mip) {
        const bool linear = min != D3DTEXF_POINT;
        GLenum filter;
        if (mip == D3DTEXF_NONE)
            filter = linear ? GL_LINEAR : GL_NEAREST;
        else if (mip == D3DTEXF_POINT)
            filter = linear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
        else
            filter = linear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
        glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, static_cast<GLint>(filter));
    }
    const DWORD lodBias = states[D3DSAMP_MIPMAPLODBIAS];
    if (!s.known || s.lodBias != lodBias)
        glSamplerParameterf(sampler, GL_TEXTURE_LOD_BIAS, BitsFloat(lodBias));
    const DWORD maxLevel = states[D3DSAMP_MAXMIPLEVEL];
    if (!s.known || s.maxLevel != maxLevel)
        glSamplerParameterf(sampler, GL_TEXTURE_MIN_LOD, static_cast<float>(maxLevel));
    s.addressU = addressU;
    s.addressV = addressV;
    s.border = border;
    s.mag = mag;
    s.min = min;
    s.mip = mip;
    s.lodBias = lodBias;
    s.maxLevel = maxLevel;
    s.known = true;
    state.BindSampler(stage, sampler);
}
