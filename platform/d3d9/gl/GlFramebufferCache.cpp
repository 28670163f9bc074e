#include "d3d9/gl/GlFramebufferCache.h"

#include "d3d9/Surface.h"
#include "d3d9/Texture.h"
#include "d3d9/gl/GlStateCache.h"
#include "d3d9/gl/GlTextureCache.h"
#include "win32/Log.h"

#include <cstdio>

bool GlFramebufferCache::AttachmentFor(Surface* surface, GlTextureCache& textures, GlStateCache& state, Attachment* out)
{
    *out = Attachment{};
    if (!surface)
        return true;
    if (Texture* texture = surface->Container()) {
        GLuint name = textures.Prepare(texture, state);
        if (!name)
            return false;
        *out = Attachment{GL_TEXTURE_2D, name, static_cast<GLint>(surface->Level())};
        return true;
    }
    auto* gl = static_cast<GlSurface*>(surface->backEndData);
    if (!gl) {
        const GLsizei width = static_cast<GLsizei>(surface->Width());
        const GLsizei height = static_cast<GLsizei>(surface->Height());
        if (surface->IsDepthStencil()) {
            gl = new GlSurface;
            glGenRenderbuffers(1, &gl->renderbuffer);
            glBindRenderbuffer(GL_RENDERBUFFER, gl->renderbuffer);
            glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, width, height);
            glBindRenderbuffer(GL_RENDERBUFFER, 0);
        } else {
            const GlPixelFormat format = GlTextureCache::FormatFor(surface->Format());
            if (!format.supported)
                return false;
            gl = new GlSurface;
            glGenTextures(1, &gl->texture);
            state.BindTextureForUpdate(0, gl->texture);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
            glTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_RGBA, format.swizzle);
            glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(format.internalFormat), width, height, 0, format.format,
                         format.type, nullptr);
        }
        surface->backEndData = gl;
    }
    if (gl->texture)
        *out = Attachment{GL_TEXTURE_2D, gl->texture, 0};
    else
        *out = Attachment{GL_RENDERBUFFER, gl->renderbuffer, 0};
    return true;
}

GLuint GlFramebufferCache::ColorTexture(Surface* surface, GlTextureCache& textures, GlStateCache& state)
{
    Attachment attachment;
    if (!surface || surface->Container() || surface->IsDepthStencil() ||
        !AttachmentFor(surface, textures, state, &attachment))
        return 0;
    return attachment.kind == GL_TEXTURE_2D ? attachment.name : 0;
}

GLuint GlFramebufferCache::FramebufferFor(Surface* color, Surface* depth, GlTextureCache& textures, GlStateCache& state)
{
    Attachment colorAttachment;
    Attachment depthAttachment;
    if (!color || !AttachmentFor(color, textures, state, &colorAttachment))
        return 0;
    if (depth && depth->IsDepthStencil() && !AttachmentFor(depth, textures, state, &depthAttachment))
        depthAttachment = Attachment{};
    if (last_ < entries_.size() && entries_[last_].color == colorAttachment && entries_[last_].depth == depthAttachment)
        return entries_[last_].framebuffer;
    for (size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].color == colorAttachment && entries_[i].depth == depthAttachment) {
            last_ = i;
            return entries_[i].framebuffer;
        }
    }

    Entry entry;
    entry.color = colorAttachment;
    entry.depth = depthAttachment;
    glGenFramebuffers(1, &entry.framebuffer);
    state.BindDrawFramebuffer(entry.framebuffer);
    if (colorAttachment.kind == GL_TEXTURE_2D)
        glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colorAttachment.name,
                               colorAttachment.level);
    else
        glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colorAttachment.name);
    if (depthAttachment.kind == GL_RENDERBUFFER)
        glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER,
                                  depthAttachment.name);
    const GLenum status = glCheckFramebufferStatus(GL_DRAW_FRAMEBUFFER);
    if (status != GL_FRAMEBUFFER_COMPLETE) {
        LogFormat(LogLevel::ERROR, "gl.framebuffer",
                  "d3d9/gl: render target of format %u cannot be drawn to (framebuffer status 0x%x)",
                  static_cast<unsigned>(color->Format()), status);
        state.BindDrawFramebuffer(0);
        glDeleteFramebuffers(1, &entry.framebuffer);
        state.OnFramebufferDeleted(entry.framebuffer);
        return 0;
    }
    entries_.push_back(entry);
    last_ = entries_.size() - 1;
    return entry.framebuffer;
}

GLuint GlFramebufferCache::DepthFramebufferFor(Surface* depth, GlTextureCache& textures, GlStateCache& state)
{
    Attachment depthAttachment;
    if (!depth || !depth->IsDepthStencil() || !AttachmentFor(depth, textures, state, &depthAttachment) ||
        depthAttachment.kind != GL_RENDERBUFFER)
        return 0;
    for (const Entry& entry : entries_)
        if (entry.color.kind == GL_NONE && entry.depth == depthAttachment)
            return entry.framebuffer;
    Entry entry;
    entry.depth = depthAttachment;
    glGenFramebuffers(1, &entry.framebuffer);
    state.BindDrawFramebuffer(entry.framebuffer);
    glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depthAttachment.name);
    // Without a colour attachment the framebuffer is complete only when it names no colour buffer either.
    glDrawBuffer(GL_NONE);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, entry.framebuffer);
    glReadBuffer(GL_NONE);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    const GLenum status = glCheckFramebufferStatus(GL_DRAW_FRAMEBUFFER);
    if (status != GL_FRAMEBUFFER_COMPLETE) {
        LogFormat(LogLevel::ERROR, "gl.framebuffer",
                  "d3d9/gl: depth surface cannot be copied (framebuffer status 0x%x)", status);
        state.BindDrawFramebuffer(0);
        glDeleteFramebuffers(1, &entry.framebuffer);
        state.OnFramebufferDeleted(entry.framebuffer);
        return 0;
    }
    entries_.push_back(entry);
    return entry.framebuffer;
}

void GlFramebufferCache::DropUsing(GLenum kind, GLuint name, GlStateCache& state)
{
    for (size_t i = 0; i < entries_.size();) {
        const Entry& entry = entries_[i];
        const bool uses = (entry.color.kind == kind && entry.color.name == name) ||
                          (entry.depth.kind == kind && entry.depth.name == name);
        if (uses) {
            glDeleteFramebuffers(1, &entry.framebuffer);
            state.OnFramebufferDeleted(entry.framebuffer);
            entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
        } else {
            ++i;
        }
    }
    last_ = 0;
}

void GlFramebufferCache::DestroySurface(GlSurface* surface, GlStateCache& state)
{
    if (!surface)
        return;
    if (surface->renderbuffer) {
        DropUsing(GL_RENDERBUFFER, surface->renderbuffer, state);
        glDeleteRenderbuffers(1, &surface->renderbuffer);
    }
    if (surface->texture) {
        DropUsing(GL_TEXTURE_2D, surface->texture, state);
        glDeleteTextures(1, &surface->texture);
        state.OnTextureDeleted(surface->texture);
    }
    delete surface;
}

void GlFramebufferCache::OnTextureDestroyed(GLuint texture, GlStateCache& state)
{
    DropUsing(GL_TEXTURE_2D, texture, state);
}

void GlFramebufferCache::Release(GlStateCache& state)
{
    for (const Entry& entry : entries_) {
        glDeleteFramebuffers(1, &entry.framebuffer);
        state.OnFramebufferDeleted(entry.framebuffer);
    }
    entries_.clear();
    last_ = 0;
}
