#include "d3d9/gl/GlStateCache.h"

#include <cstring>

void GlStateCache::Invalidate()
{
    known_ = 0;
}

void GlStateCache::UseProgram(GLuint program)
{
    if ((known_ & KNOWN_BINDINGS) && program_ == program)
        return;
    if (!(known_ & KNOWN_BINDINGS)) {
        // Bindings are invalidated together: reset the shadows to values no real object has.
        std::memset(textures_, 0xFF, sizeof textures_);
        std::memset(samplers_, 0xFF, sizeof samplers_);
        arrayBuffer_ = ~0u;
        drawFramebuffer_ = ~0u;
        activeUnit_ = -1;
        known_ |= KNOWN_BINDINGS;
    }
    program_ = program;
    glUseProgram(program);
}

void GlStateCache::BindTexture(int unit, GLuint texture)
{
    if (unit < 0 || unit >= TEXTURE_UNITS)
        return;
    if (!(known_ & KNOWN_BINDINGS))
        UseProgram(0);
    if (textures_[unit] == texture)
        return;
    if (activeUnit_ != unit) {
        glActiveTexture(GL_TEXTURE0 + unit);
        activeUnit_ = unit;
    }
    glBindTexture(GL_TEXTURE_2D, texture);
    textures_[unit] = texture;
}

void GlStateCache::BindTextureForUpdate(int unit, GLuint texture)
{
    BindTexture(unit, texture);
    if (unit >= 0 && unit < TEXTURE_UNITS && activeUnit_ != unit) {
        glActiveTexture(GL_TEXTURE0 + unit);
        activeUnit_ = unit;
    }
}

void GlStateCache::BindSampler(int unit, GLuint sampler)
{
    if (unit < 0 || unit >= TEXTURE_UNITS)
        return;
    if (!(known_ & KNOWN_BINDINGS))
        UseProgram(0);
    if (samplers_[unit] == sampler)
        return;
    glBindSampler(unit, sampler);
    samplers_[unit] = sampler;
}

void GlStateCache::BindArrayBuffer(GLuint buffer)
{
    if (!(known_ & KNOWN_BINDINGS))
        UseProgram(0);
    if (arrayBuffer_ == buffer)
        return;
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    arrayBuffer_ = buffer;
}

void GlStateCache::BindDrawFramebuffer(GLuint framebuffer)
{
    if (!(known_ & KNOWN_BINDINGS))
        UseProgram(0);
    if (drawFramebuffer_ == framebuffer)
        return;
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffer);
    drawFramebuffer_ = framebuffer;
}

void GlStateCache::SetViewport(GLint x, GLint y, GLsizei w, GLsizei h)
{
    if ((known_ & KNOWN_VIEWPORT) && viewport_[0] == x && viewport_[1] == y && viewport_[2] == w && viewport_[3] == h)
        return;
    glViewport(x, y, w, h);
    viewport_[0] = x;
    viewport_[1] = y;
    viewport_[2] = w;
    viewport_[3] = h;
    known_ |= KNOWN_VIEWPORT;
}

void GlStateCache::SetDepthRange(float minZ, float maxZ)
{
    if ((known_ & KNOWN_DEPTHRANGE) && depthRange_[0] == minZ && depthRange_[1] == maxZ)
        return;
    glDepthRangef(minZ, maxZ);
    depthRange_[0] = minZ;
    depthRange_[1] = maxZ;
    known_ |= KNOWN_DEPTHRANGE;
}

void GlStateCache::SetScissor(bool enable, GLint x, GLint y, GLsizei w, GLsizei h)
{
    if (!(known_ & KNOWN_SCISSOR) || scissorEnable_ != enable) {
        if (enable)
            glEnable(GL_SCISSOR_TEST);
        else
            glDisable(GL_SCISSOR_TEST);
        scissorEnable_ = enable;
        if (!(known_ & KNOWN_SCISSOR)) {
            scissor_[2] = -1; // forces the rectangle below
            known_ |= KNOWN_SCISSOR;
        }
    }
    if (!enable)
        return;
    if (scissor_[0] == x && scissor_[1] == y && scissor_[2] == w && scissor_[3] == h)
        return;
    glScissor(x, y, w, h);
    scissor_[0] = x;
    scissor_[1] = y;
    scissor_[2] = w;
    scissor_[3] = h;
}

void GlStateCache::SetBlend(bool enable, GLenum srcColor, GLenum dstColor, GLenum srcAlpha, GLenum dstAlpha,
                            GLenum opColor, GLenum opAlpha)
{
    bool known = known_ & KNOWN_BLEND;
    if (!known || blendEnable_ != enable) {
        if (enable)
            glEnable(GL_BLEND);
        else
            glDisable(GL_BLEND);
        blendEnable_ = enable;
    }
    if (!enable) {
        if (!known)
            std::memset(blend_, 0xFF, sizeof blend_); // no real factor: the first enable sets them all
        known_ |= KNOWN_BLEND;
        return;
    }
    const GLenum wanted[6] = {srcColor, dstColor, srcAlpha, dstAlpha, opColor, opAlpha};
    if (!known || wanted[0] != blend_[0] || wanted[1] != blend_[1] || wanted[2] != blend_[2] || wanted[3] != blend_[3])
        glBlendFuncSeparate(srcColor, dstColor, srcAlpha, dstAlpha);
    if (!known || wanted[4] != blend_[4] || wanted[5] != blend_[5])
        glBlendEquationSeparate(opColor, opAlpha);
    std::memcpy(blend_, wanted, sizeof blend_);
    known_ |= KNOWN_BLEND;
}

void GlStateCache::SetBlendColor(float r, float g, float b, float a)
{
    if ((known_ & KNOWN_BLENDCOLOR) && blendColor_[0] == r && blendColor_[1] == g && blendColor_[2] == b &&
        blendColor_[3] == a)
        return;
    glBlendColor(r, g, b, a);
    blendColor_[0] = r;
    blendColor_[1] = g;
    blendColor_[2] = b;
    blendColor_[3] = a;
    known_ |= KNOWN_BLENDCOLOR;
}

void GlStateCache::SetDepth(bool test, bool write, GLenum func)
{
    bool known = known_ & KNOWN_DEPTH;
    if (!known || depthTest_ != test) {
        if (test)
            glEnable(GL_DEPTH_TEST);
        else
            glDisable(GL_DEPTH_TEST);
        depthTest_ = test;
    }
    if (!known || depthWrite_ != write) {
        glDepthMask(write ? GL_TRUE : GL_FALSE);
        depthWrite_ = write;
    }
    if (!known || depthFunc_ != func) {
        glDepthFunc(func);
        depthFunc_ = func;
    }
    known_ |= KNOWN_DEPTH;
}

void GlStateCache::SetCull(GLenum face)
{
    if ((known_ & KNOWN_CULL) && cullFace_ == face)
        return;
    if (face == GL_NONE) {
        glDisable(GL_CULL_FACE);
    } else {
        if (!(known_ & KNOWN_CULL) || cullFace_ == GL_NONE)
            glEnable(GL_CULL_FACE);
        glCullFace(face);
    }
    cullFace_ = face;
    known_ |= KNOWN_CULL;
}

void GlStateCache::SetColorMask(bool r, bool g, bool b, bool a)
{
    if ((known_ & KNOWN_COLORMASK) && colorMask_[0] == r && colorMask_[1] == g && colorMask_[2] == b &&
        colorMask_[3] == a)
        return;
    glColorMask(r, g, b, a);
    colorMask_[0] = r;
    colorMask_[1] = g;
    colorMask_[2] = b;
    colorMask_[3] = a;
    known_ |= KNOWN_COLORMASK;
}

void GlStateCache::SetPolygonMode(GLenum mode)
{
    if ((known_ & KNOWN_POLYGONMODE) && polygonMode_ == mode)
        return;
    glPolygonMode(GL_FRONT_AND_BACK, mode);
    polygonMode_ = mode;
    known_ |= KNOWN_POLYGONMODE;
}

void GlStateCache::SetStencil(bool enable, GLenum func, GLint ref, GLuint mask, GLuint writeMask, GLenum fail,
                              GLenum zFail, GLenum pass)
{
    bool known = known_ & KNOWN_STENCIL;
    if (!known || stencilEnable_ != enable) {
        if (enable)
            glEnable(GL_STENCIL_TEST);
        else
            glDisable(GL_STENCIL_TEST);
        stencilEnable_ = enable;
    }
    known_ |= KNOWN_STENCIL;
    if (!known)
        stencilParamsKnown_ = false;
    if (!enable)
        return;
    known = stencilParamsKnown_;
    stencilParamsKnown_ = true;
    if (!known || stencilFunc_ != func || stencilRef_ != ref || stencilMask_ != mask) {
        glStencilFunc(func, ref, mask);
        stencilFunc_ = func;
        stencilRef_ = ref;
        stencilMask_ = mask;
    }
    if (!known || stencilWriteMask_ != writeMask) {
        glStencilMask(writeMask);
        stencilWriteMask_ = writeMask;
    }
    if (!known || stencilOps_[0] != fail || stencilOps_[1] != zFail || stencilOps_[2] != pass) {
        glStencilOp(fail, zFail, pass);
        stencilOps_[0] = fail;
        stencilOps_[1] = zFail;
        stencilOps_[2] = pass;
    }
}

void GlStateCache::SetDepthBias(float slope, float constant)
{
    if ((known_ & KNOWN_DEPTHBIAS) && depthBias_[0] == slope && depthBias_[1] == constant)
        return;
    if (slope == 0.0f && constant == 0.0f) {
        glDisable(GL_POLYGON_OFFSET_FILL);
    } else {
        glEnable(GL_POLYGON_OFFSET_FILL);
        glPolygonOffset(slope, constant);
    }
    depthBias_[0] = slope;
    depthBias_[1] = constant;
    known_ |= KNOWN_DEPTHBIAS;
}

void GlStateCache::OpenWriteMasksForClear()
{
    SetColorMask(true, true, true, true);
    glDepthMask(GL_TRUE);
    glStencilMask(0xFFFFFFFFu);
    // Depth and stencil masks are part of larger groups: forget those so the next draw sets them again.
    known_ &= ~(KNOWN_DEPTH | KNOWN_STENCIL);
}

void GlStateCache::OnTextureDeleted(GLuint texture)
{
    for (GLuint& bound : textures_) {
        if (bound == texture)
            bound = ~0u;
    }
}

void GlStateCache::OnBufferDeleted(GLuint buffer)
{
    if (arrayBuffer_ == buffer)
        arrayBuffer_ = ~0u;
}

void GlStateCache::OnFramebufferDeleted(GLuint framebuffer)
{
    if (drawFramebuffer_ == framebuffer)
        drawFramebuffer_ = ~0u;
}

void GlStateCache::OnProgramDeleted(GLuint program)
{
    if (program_ == program)
        known_ &= ~KNOWN_BINDINGS;
}
