#pragma once
// Platform-internal: render targets as GL framebuffers. Standalone colour surfaces (the back buffer,
// CreateRenderTarget) are textures of their own, so Present can draw the back buffer; depth surfaces are
// renderbuffers; a texture level is attached as itself. One framebuffer object is kept per pair of colour
// and depth attachments.
//
// Every framebuffer is drawn "upside down" by GL's measure (see GlDevice): row 0 of its memory is the
// top of the picture, as in Direct3D, so window-space y, viewports, scissors and read-backs all count
// rows from the top.

#include "d3d9/D3D9.h"

#include <epoxy/gl.h>

#include <vector>

class Surface;
class GlStateCache;
class GlTextureCache;

// What the device keeps in a standalone surface's backEndData.
struct GlSurface {
    GLuint renderbuffer = 0; // depth surfaces
    GLuint texture = 0; // colour surfaces
};

class GlFramebufferCache
{
public:
    // The framebuffer that draws into color (and depth, which may be null); 0 when color has no GL
    // storage that can be rendered to. Storage is made on first use.
    GLuint FramebufferFor(Surface* color, Surface* depth, GlTextureCache& textures, GlStateCache& state);

    // A framebuffer with a depth-stencil surface alone (no colour), for copies; 0 when it has no GL storage.
    GLuint DepthFramebufferFor(Surface* depth, GlTextureCache& textures, GlStateCache& state);

    // The GL texture holding a standalone colour surface's pixels (made on first use); 0 for others.
    GLuint ColorTexture(Surface* surface, GlTextureCache& textures, GlStateCache& state);

    // Frees what a dead surface or texture held, with every framebuffer that used it.
    void DestroySurface(GlSurface* surface, GlStateCache& state);
    void OnTextureDestroyed(GLuint texture, GlStateCache& state);
    void Release(GlStateCache& state);

private:
    struct Attachment {
        GLenum kind = GL_NONE; // GL_TEXTURE_2D or GL_RENDERBUFFER; GL_NONE for no attachment
        GLuint name = 0;
        GLint level = 0;
        bool operator==(const Attachment& other) const
        {
            return kind == other.kind && name == other.name && level == other.level;
        }
    };
    struct Entry {
        Attachment color;
        Attachment depth;
        GLuint framebuffer = 0;
    };

    bool AttachmentFor(Surface* surface, GlTextureCache& textures, GlStateCache& state, Attachment* out);
    void DropUsing(GLenum kind, GLuint name, GlStateCache& state);

    std::vector<Entry> entries_;
    size_t last_ = 0;
};
