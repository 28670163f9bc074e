#pragma once
// Platform-internal: a shadow of the GL state the device touches, so that a draw only issues the calls
// whose value actually changed. llvmpipe validates state on every call, so redundant calls are not free.

#include <epoxy/gl.h>

class GlStateCache
{
public:
    static constexpr int TEXTURE_UNITS = 8;

    // Forgets every shadowed value: the next call of each setter reaches GL.
    void Invalidate();

    void UseProgram(GLuint program);
    void BindTexture(int unit, GLuint texture);
    // Binds and makes the unit active, so that glTexImage2D and friends reach this texture.
    void BindTextureForUpdate(int unit, GLuint texture);
    void BindSampler(int unit, GLuint sampler);
    void BindArrayBuffer(GLuint buffer);
    void BindDrawFramebuffer(GLuint framebuffer);

    void SetViewport(GLint x, GLint y, GLsizei w, GLsizei h);
    void SetDepthRange(float minZ, float maxZ);
    void SetScissor(bool enable, GLint x = 0, GLint y = 0, GLsizei w = 0, GLsizei h = 0);

    void SetBlend(bool enable, GLenum srcColor, GLenum dstColor, GLenum srcAlpha, GLenum dstAlpha, GLenum opColor,
                  GLenum opAlpha);
    void SetBlendColor(float r, float g, float b, float a);
    void SetDepth(bool test, bool write, GLenum func);
    // face is GL_NONE for no culling, else the face to cull (front faces are set once to GL_CW).
    void SetCull(GLenum face);
    void SetColorMask(bool r, bool g, bool b, bool a);
    void SetPolygonMode(GLenum mode);
    void SetStencil(bool enable, GLenum func, GLint ref, GLuint mask, GLuint writeMask, GLenum fail, GLenum zFail,
                    GLenum pass);
    void SetDepthBias(float slope, float constant);

    // GL unbinds a deleted object; these keep the shadow truthful, since GL may hand the name out again.
    void OnTextureDeleted(GLuint texture);
    void OnBufferDeleted(GLuint buffer);
    void OnFramebufferDeleted(GLuint framebuffer);
    void OnProgramDeleted(GLuint program);

    // Clears bypass the colour, depth and stencil write masks as Direct3D's Clear does; these let the
    // device open the masks and have the cache restore them on the next draw.
    void OpenWriteMasksForClear();

private:
    bool valid_ = false;
    GLuint program_ = 0;
    GLuint textures_[TEXTURE_UNITS] = {};
    GLuint samplers_[TEXTURE_UNITS] = {};
    int activeUnit_ = 0;
    GLuint arrayBuffer_ = 0;
    GLuint drawFramebuffer_ = 0;

    GLint viewport_[4] = {};
    float depthRange_[2] = {};
    bool scissorEnable_ = false;
    GLint scissor_[4] = {};

    bool blendEnable_ = false;
    GLenum blend_[6] = {};
    float blendColor_[4] = {};
    bool depthTest_ = false;
    bool depthWrite_ = false;
    GLenum depthFunc_ = 0;
    GLenum cullFace_ = 0;
    bool colorMask_[4] = {};
    GLenum polygonMode_ = 0;
    bool stencilEnable_ = false;
    bool stencilParamsKnown_ = false;
    GLenum stencilFunc_ = 0;
    GLint stencilRef_ = 0;
    GLuint stencilMask_ = 0;
    GLuint stencilWriteMask_ = 0;
    GLenum stencilOps_[3] = {};
    float depthBias_[2] = {};

    // Each group is known only after its first call following Invalidate.
    enum : unsigned
    {
        KNOWN_VIEWPORT = 1u << 0,
        KNOWN_DEPTHRANGE = 1u << 1,
        KNOWN_SCISSOR = 1u << 2,
        KNOWN_BLEND = 1u << 3,
        KNOWN_BLENDCOLOR = 1u << 4,
        KNOWN_DEPTH = 1u << 5,
        KNOWN_CULL = 1u << 6,
        KNOWN_COLORMASK = 1u << 7,
        KNOWN_POLYGONMODE = 1u << 8,
        KNOWN_STENCIL = 1u << 9,
        KNOWN_DEPTHBIAS = 1u << 10,
        KNOWN_BINDINGS = 1u << 11,
    };
    unsigned known_ = 0;
};
