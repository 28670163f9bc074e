// Turning the device's states into GL state, and clears and draw calls into GL commands.
#include "d3d9/gl/GlDevice.h"

#include "d3d9/BackEnds.h"
#include "d3d9/FvfLayout.h"
#include "d3d9/HalCaps.h"
#include "d3d9/IndexBuffer.h"
#include "d3d9/Surface.h"
#include "d3d9/Texture.h"
#include "d3d9/VertexBuffer.h"
#include "d3d9/gl/GlProgram.h"
#include "d3d9/gl/GlShaderCompiler.h"
#include "win32/Log.h"
#include "win32/WindowBridge.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <time.h>

namespace {

GLenum CompareFunc(DWORD func)
{
    switch (func) {
    case D3DCMP_NEVER:
        return GL_NEVER;
    case D3DCMP_LESS:
        return GL_LESS;
    case D3DCMP_EQUAL:
        return GL_EQUAL;
    case D3DCMP_LESSEQUAL:
        return GL_LEQUAL;
    case D3DCMP_GREATER:
        return GL_GREATER;
    case D3DCMP_NOTEQUAL:
        return GL_NOTEQUAL;
    case D3DCMP_GREATEREQUAL:
        return GL_GEQUAL;
    default:
        return GL_ALWAYS;
    }
}

GLenum BlendFactor(DWORD blend)
{
    switch (blend) {
    case D3DBLEND_ZERO:
        return GL_ZERO;
    case D3DBLEND_ONE:
        return GL_ONE;
    case D3DBLEND_SRCCOLOR:
        return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR:
        return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA:
        return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA:
        return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA:
        return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA:
        return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR:
        return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR:
        return GL_ONE_MINUS_DST_COLOR;
    case D3DBLEND_SRCALPHASAT:
        return GL_SRC_ALPHA_SATURATE;
    case D3DBLEND_BLENDFACTOR:
        return GL_CONSTANT_COLOR;
    case D3DBLEND_INVBLENDFACTOR:
        return GL_ONE_MINUS_CONSTANT_COLOR;
    default:
        return GL_ONE;
    }
}

// D3DBLEND_BOTHSRCALPHA and BOTHINVSRCALPHA (12, 13) set both factors from the source one.
constexpr DWORD BLEND_BOTHSRCALPHA = 12;
constexpr DWORD BLEND_BOTHINVSRCALPHA = 13;

void BlendFactors(DWORD src, DWORD dst, GLenum* glSrc, GLenum* glDst)
{
    if (src == BLEND_BOTHSRCALPHA) {
        *glSrc = GL_SRC_ALPHA;
        *glDst = GL_ONE_MINUS_SRC_ALPHA;
    } else if (src == BLEND_BOTHINVSRCALPHA) {
        *glSrc = GL_ONE_MINUS_SRC_ALPHA;
        *glDst = GL_SRC_ALPHA;
    } else {
        *glSrc = BlendFactor(src);
        *glDst = BlendFactor(dst);
    }
}

GLenum BlendOp(DWORD op)
{
    switch (op) {
    case D3DBLENDOP_SUBTRACT:
        return GL_FUNC_SUBTRACT;
    case D3DBLENDOP_REVSUBTRACT:
        return GL_FUNC_REVERSE_SUBTRACT;
    case D3DBLENDOP_MIN:
        return GL_MIN;
    case D3DBLENDOP_MAX:
        return GL_MAX;
    default:
        return GL_FUNC_ADD;
    }
}

// D3DSTENCILOP values.
GLenum StencilOp(DWORD op)
{
    switch (op) {
    case 2:
        return GL_ZERO;
    case 3:
        return GL_REPLACE;
    case 4:
        return GL_INCR;
    case 5:
        return GL_DECR;
    case 6:
        return GL_INVERT;
    case 7:
        return GL_INCR_WRAP;
    case 8:
        return GL_DECR_WRAP;
    default:
        return GL_KEEP;
    }
}

GLenum PrimitiveMode(D3DPRIMITIVETYPE type)
{
    switch (type) {
    case D3DPT_POINTLIST:
        return GL_POINTS;
    case D3DPT_LINELIST:
        return GL_LINES;
    case D3DPT_LINESTRIP:
        return GL_LINE_STRIP;
    case D3DPT_TRIANGLESTRIP:
        return GL_TRIANGLE_STRIP;
    case D3DPT_TRIANGLEFAN:
        return GL_TRIANGLE_FAN;
    case D3DPT_TRIANGLELIST:
    default:
        return GL_TRIANGLES;
    }
}

void ColorToFloats(D3DCOLOR color, float* rgba)
{
    rgba[0] = static_cast<float>((color >> 16) & 0xFF) / 255.0f;
    rgba[1] = static_cast<float>((color >> 8) & 0xFF) / 255.0f;
    rgba[2] = static_cast<float>(color & 0xFF) / 255.0f;
    rgba[3] = static_cast<float>((color >> 24) & 0xFF) / 255.0f;
}

// a * b of row-major D3D matrices into out (16 floats, row-major).
void Multiply(const D3DMATRIX& a, const D3DMATRIX& b, float* out)
{
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 4; ++col) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k)
                sum += a.m[row][k] * b.m[k][col];
            out[row * 4 + col] = sum;
        }
    }
}

// Copies src over dst when they differ; true when it did.
bool Update(float* dst, const float* src, size_t count)
{
    if (std::memcmp(dst, src, count * sizeof(float)) == 0)
        return false;
    std::memcpy(dst, src, count * sizeof(float));
    return true;
}

// Whether a stage gives the colour it receives unchanged: it has no texture (so the texture reads as opaque
// white) and modulates that white with the current colour, or selects the current colour, in colour and alpha.
bool PassesCurrentOn(const FixedFunctionStage& stage)
{
    if (stage.textured)
        return false;
    auto keeps = [](uint8_t op, uint8_t arg1, uint8_t arg2) {
        switch (op) {
        case D3DTOP_MODULATE:
            return (arg1 == D3DTA_TEXTURE && arg2 == D3DTA_CURRENT) || (arg1 == D3DTA_CURRENT && arg2 == D3DTA_TEXTURE);
        case D3DTOP_SELECTARG1:
            return arg1 == D3DTA_CURRENT;
        case D3DTOP_SELECTARG2:
            return arg2 == D3DTA_CURRENT;
        default:
            return false;
        }
    };
    return keeps(stage.colorOp, stage.colorArg1, stage.colorArg2) &&
           (stage.alphaOp == D3DTOP_DISABLE || keeps(stage.alphaOp, stage.alphaArg1, stage.alphaArg2));
}

} // namespace

HRESULT GlDevice::BackEndClear(const ClearRequest& request)
{
    MakeCurrent();
    const bool needsDepth = request.depthStencil && (request.flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL));
    if (!BindTarget(request.renderTarget, request.depthStencil, needsDepth))
        return D3D_OK;
    glState_.OpenWriteMasksForClear();
    GLbitfield mask = 0;
    if (request.flags & D3DCLEAR_TARGET) {
        float rgba[4];
        ColorToFloats(request.color, rgba);
        glClearColor(rgba[0], rgba[1], rgba[2], rgba[3]);
        mask |= GL_COLOR_BUFFER_BIT;
    }
    if (request.depthStencil && (request.flags & D3DCLEAR_ZBUFFER)) {
        glClearDepthf(request.z);
        mask |= GL_DEPTH_BUFFER_BIT;
    }
    if (request.depthStencil && (request.flags & D3DCLEAR_STENCIL)) {
        glClearStencil(static_cast<GLint>(request.stencil));
        mask |= GL_STENCIL_BUFFER_BIT;
    }
    if (mask) {
        if (request.wholeTarget) {
            glState_.SetScissor(false);
            glClear(mask);
        } else {
            for (UINT i = 0; i < request.rectCount; ++i) {
                const RECT& r = request.rects[i];
                // Rows count from the top in our framebuffers, so there the rectangle needs no flipping.
                glState_.SetScissor(true, r.left, TargetY(r.top, r.bottom - r.top), r.right - r.left, r.bottom - r.top);
                glClear(mask);
            }
        }
    }
    appliedChangeCount_ = ~0ull; // the masks and scissor are restored by the next draw
    return D3D_OK;
}

void GlDevice::ApplyRenderStates()
{
    const DeviceState& s = State();
    const DWORD* rs = s.renderStates;
    const D3DVIEWPORT9& vp = s.viewport;
    glState_.SetViewport(static_cast<GLint>(vp.X), TargetY(static_cast<GLint>(vp.Y), static_cast<GLsizei>(vp.Height)),
                         static_cast<GLsizei>(vp.Width), static_cast<GLsizei>(vp.Height));
    glState_.SetDepthRange(std::clamp(vp.MinZ, 0.0f, 1.0f), std::clamp(vp.MaxZ, 0.0f, 1.0f));
    if (rs[D3DRS_SCISSORTESTENABLE]) {
        const RECT& r = s.scissorRect;
        glState_.SetScissor(true, r.left, TargetY(r.top, r.bottom - r.top), r.right - r.left, r.bottom - r.top);
    } else {
        glState_.SetScissor(false);
    }

    GLenum src, dst, srcAlpha, dstAlpha;
    BlendFactors(rs[D3DRS_SRCBLEND], rs[D3DRS_DESTBLEND], &src, &dst);
    GLenum op = BlendOp(rs[D3DRS_BLENDOP]);
    GLenum opAlpha = op;
    if (rs[D3DRS_SEPARATEALPHABLENDENABLE]) {
        BlendFactors(rs[D3DRS_SRCBLENDALPHA], rs[D3DRS_DESTBLENDALPHA], &srcAlpha, &dstAlpha);
        opAlpha = BlendOp(rs[D3DRS_BLENDOPALPHA]);
    } else {
        srcAlpha = src;
        dstAlpha = dst;
    }
    glState_.SetBlend(rs[D3DRS_ALPHABLENDENABLE] != FALSE, src, dst, srcAlpha, dstAlpha, op, opAlpha);
    if (rs[D3DRS_ALPHABLENDENABLE]) {
        float factor[4];
        ColorToFloats(rs[D3DRS_BLENDFACTOR], factor);
        glState_.SetBlendColor(factor[0], factor[1], factor[2], factor[3]);
    }

    const bool depthTest = rs[D3DRS_ZENABLE] != D3DZB_FALSE && s.depthStencil;
    glState_.SetDepth(depthTest, rs[D3DRS_ZWRITEENABLE] != FALSE, CompareFunc(rs[D3DRS_ZFUNC]));

    // CULL_CCW removes what is counter-clockwise on screen, the back faces of Direct3D.
    switch (rs[D3DRS_CULLMODE]) {
    case D3DCULL_CW:
        glState_.SetCull(GL_FRONT);
        break;
    case D3DCULL_CCW:
        glState_.SetCull(GL_BACK);
        break;
    default:
        glState_.SetCull(GL_NONE);
        break;
    }

    const DWORD writeMask = rs[D3DRS_COLORWRITEENABLE];
    glState_.SetColorMask(writeMask & 1, writeMask & 2, writeMask & 4, writeMask & 8);

    switch (rs[D3DRS_FILLMODE]) {
    case D3DFILL_POINT:
        glState_.SetPolygonMode(GL_POINT);
        break;
    case D3DFILL_WIREFRAME:
        glState_.SetPolygonMode(GL_LINE);
        break;
    default:
        glState_.SetPolygonMode(GL_FILL);
        break;
    }

    glState_.SetStencil(rs[D3DRS_STENCILENABLE] != FALSE && s.depthStencil, CompareFunc(rs[D3DRS_STENCILFUNC]),
                        static_cast<GLint>(rs[D3DRS_STENCILREF]), rs[D3DRS_STENCILMASK], rs[D3DRS_STENCILWRITEMASK],
                        StencilOp(rs[D3DRS_STENCILFAIL]), StencilOp(rs[D3DRS_STENCILZFAIL]),
                        StencilOp(rs[D3DRS_STENCILPASS]));

    // Direct3D's bias is in depth units; GL's constant term counts steps of a 24-bit depth buffer.
    constexpr float DEPTH_STEPS = 16777215.0f;
    glState_.SetDepthBias(BitsFloat(rs[D3DRS_SLOPESCALEDEPTHBIAS]), BitsFloat(rs[D3DRS_DEPTHBIAS]) * DEPTH_STEPS);
}

void GlDevice::UpdateFixedFunctionUniforms()
{
    const DeviceState& s = State();
    const DWORD* rs = s.renderStates;

    float worldView[16];
    Multiply(s.world[0], s.view, worldView);
    const bool transform =
        Update(uniforms_.worldView, worldView, 16) | Update(uniforms_.projection, &s.projection.m[0][0], 16);
    if (transform)
        uniforms_.transformSerial = ++serial_;

    const D3DVIEWPORT9& vp = s.viewport;
    const float viewport[4] = {static_cast<float>(vp.X), static_cast<float>(vp.Y),
                               vp.Width ? 2.0f / static_cast<float>(vp.Width) : 0.0f,
                               vp.Height ? 2.0f / static_cast<float>(vp.Height) : 0.0f};
    if (Update(uniforms_.viewport, viewport, 4))
        uniforms_.viewportSerial = ++serial_;

    bool textureMatrices = false;
    for (UINT i = 0; i < FIXED_FUNCTION_STAGES && i < DEVICE_TEXTURE_STAGES; ++i)
        textureMatrices |= Update(uniforms_.textureMatrix[i], &s.textureTransforms[i].m[0][0], 16);
    if (textureMatrices)
        uniforms_.textureMatrixSerial = ++serial_;

    float values[11];
    ColorToFloats(rs[D3DRS_TEXTUREFACTOR], values);
    values[4] = static_cast<float>(rs[D3DRS_ALPHAREF] & 0xFF);
    float fog[4];
    ColorToFloats(rs[D3DRS_FOGCOLOR], fog);
    values[5] = fog[0];
    values[6] = fog[1];
    values[7] = fog[2];
    const float fogStart = BitsFloat(rs[D3DRS_FOGSTART]);
    const float fogEnd = BitsFloat(rs[D3DRS_FOGEND]);
    values[8] = fogEnd;
    // Start and end together fog everything past them and nothing before.
    values[9] = fogEnd != fogStart ? 1.0f / (fogEnd - fogStart) : 1.0e30f;
    values[10] = BitsFloat(rs[D3DRS_POINTSIZE]);
    float current[11];
    std::memcpy(current, uniforms_.textureFactor, sizeof(float) * 4);
    current[4] = uniforms_.alphaRef;
    std::memcpy(current + 5, uniforms_.fogColor, sizeof(float) * 3);
    current[8] = uniforms_.fogEnd;
    current[9] = uniforms_.fogScale;
    current[10] = uniforms_.pointSize;
    if (std::memcmp(current, values, sizeof values) != 0) {
        std::memcpy(uniforms_.textureFactor, values, sizeof(float) * 4);
        uniforms_.alphaRef = values[4];
        std::memcpy(uniforms_.fogColor, values + 5, sizeof(float) * 3);
        uniforms_.fogEnd = values[8];
        uniforms_.fogScale = values[9];
        uniforms_.pointSize = values[10];
        uniforms_.valuesSerial = ++serial_;
    }
}

void GlDevice::BuildFixedFunctionKey(const FvfLayout& layout, FixedFunctionKey* key) const
{
    const DeviceState& s = State();
    const DWORD* rs = s.renderStates;
    key->pretransformed = layout.pretransformed ? 1 : 0;
    for (UINT i = 0; i < FIXED_FUNCTION_STAGES && i < DEVICE_TEXTURE_STAGES; ++i) {
        const DWORD* ss = s.stageStates[i];
        const DWORD colorOp = ss[D3DTSS_COLOROP];
        if (colorOp == D3DTOP_DISABLE || colorOp == 0 || colorOp > 0xFF)
            break;
        FixedFunctionStage& stage = key->stages[i];
        stage.colorOp = static_cast<uint8_t>(colorOp);
        stage.colorArg1 = static_cast<uint8_t>(ss[D3DTSS_COLORARG1]);
        stage.colorArg2 = static_cast<uint8_t>(ss[D3DTSS_COLORARG2]);
        const DWORD alphaOp = ss[D3DTSS_ALPHAOP];
        stage.alphaOp = static_cast<uint8_t>(alphaOp == 0 || alphaOp > 0xFF ? D3DTOP_DISABLE : alphaOp);
        stage.alphaArg1 = static_cast<uint8_t>(ss[D3DTSS_ALPHAARG1]);
        stage.alphaArg2 = static_cast<uint8_t>(ss[D3DTSS_ALPHAARG2]);
        const DWORD set = ss[D3DTSS_TEXCOORDINDEX] & 0xFFFF;
        if (set < layout.texCoordCount) {
            stage.texCoordSet = static_cast<uint8_t>(set);
            stage.texCoordSize = static_cast<uint8_t>(layout.texCoordSize[set]);
        } else {
            stage.texCoordSet = FixedFunctionKey::NO_TEXCOORDS;
        }
        const DWORD flags = ss[D3DTSS_TEXTURETRANSFORMFLAGS];
        const DWORD count = flags & 0xFF;
        if (count >= D3DTTFF_COUNT1 && count <= D3DTTFF_COUNT4)
            stage.transform =
                static_cast<uint8_t>(count | ((flags & D3DTTFF_PROJECTED) ? FixedFunctionKey::TRANSFORM_PROJECTED : 0));
        stage.textured = s.textures[i] ? 1 : 0;
        key->stageCount = static_cast<uint8_t>(i + 1);
    }
    // The game sets every stage to modulate its texture with the current colour, and most draws bind one
    // texture: the stages after it would each fetch white from a texture that is not there.
    while (key->stageCount > 0 && PassesCurrentOn(key->stages[key->stageCount - 1])) {
        key->stages[key->stageCount - 1] = FixedFunctionStage{};
        --key->stageCount;
    }
    // A test that keeps every alpha (the sky's reference of 0 with GREATEREQUAL) would only cost a discard.
    if (rs[D3DRS_ALPHATESTENABLE] && !AlphaTestKeepsAll(rs[D3DRS_ALPHAFUNC], rs[D3DRS_ALPHAREF]) &&
        rs[D3DRS_ALPHAFUNC] >= D3DCMP_NEVER && rs[D3DRS_ALPHAFUNC] < D3DCMP_ALWAYS)
        key->alphaFunc = static_cast<uint8_t>(rs[D3DRS_ALPHAFUNC]);
    if (rs[D3DRS_FOGENABLE]) {
        const DWORD vertexMode = rs[D3DRS_FOGVERTEXMODE];
        const DWORD tableMode = rs[D3DRS_FOGTABLEMODE];
        if (layout.pretransformed) {
            // Pre-transformed vertices bring their own fog factor, in the specular alpha.
            if (layout.specularOffset >= 0 && (vertexMode != D3DFOG_NONE || tableMode != D3DFOG_NONE))
                key->fog = FIXED_FOG_SPECULAR_ALPHA;
        } else if (tableMode == D3DFOG_LINEAR) {
            key->fog = FIXED_FOG_LINEAR_DEPTH; // pixel fog goes by depth
        } else if (tableMode == D3DFOG_NONE && vertexMode == D3DFOG_LINEAR) {
            key->fog = rs[D3DRS_RANGEFOGENABLE] ? FIXED_FOG_LINEAR_RANGE : FIXED_FOG_LINEAR_DEPTH;
        }
    }
    key->specularAdd = (rs[D3DRS_SPECULARENABLE] && layout.specularOffset >= 0) ? 1 : 0;
}

void GlDevice::BindVertexInput(GLuint buffer, UINT baseOffset, UINT stride, const DrawCall& call)
{
    if (vertexInputValid_ && vertexInputBuffer_ == buffer && vertexInputOffset_ == baseOffset &&
        vertexInputStride_ == stride && vertexInputFvf_ == call.fvf)
        return;
    glState_.BindArrayBuffer(buffer);
    const FvfLayout& layout = call.layout;
    unsigned wanted = 0;
    const GLsizei glStride = static_cast<GLsizei>(stride);
    auto pointer = [&](GLuint location, GLint size, GLenum type, GLboolean normalized, INT offset) {
        const uintptr_t at = static_cast<uintptr_t>(baseOffset) + static_cast<uintptr_t>(offset);
        glVertexAttribPointer(location, size, type, normalized, glStride, reinterpret_cast<const void*>(at));
        wanted |= 1u << location;
    };
    pointer(SHADER_ATTRIB_POSITION, static_cast<GLint>(layout.positionSize), GL_FLOAT, GL_FALSE,
            static_cast<INT>(layout.positionOffset));
    if (layout.normalOffset >= 0)
        pointer(SHADER_ATTRIB_NORMAL, 3, GL_FLOAT, GL_FALSE, layout.normalOffset);
    // D3DCOLOR is B, G, R, A in memory; GL's BGRA size swizzles it to r, g, b, a.
    if (layout.diffuseOffset >= 0)
        pointer(SHADER_ATTRIB_DIFFUSE, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, layout.diffuseOffset);
    if (layout.specularOffset >= 0)
        pointer(SHADER_ATTRIB_SPECULAR, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, layout.specularOffset);
    if (layout.blendWeightCount > 0 && layout.blendWeightOffset >= 0)
        pointer(SHADER_ATTRIB_BLENDWEIGHT, static_cast<GLint>(std::min(layout.blendWeightCount, 4u)), GL_FLOAT,
                GL_FALSE, layout.blendWeightOffset);
    if (layout.blendIndicesOffset >= 0)
        pointer(SHADER_ATTRIB_BLENDINDICES, 4, GL_UNSIGNED_BYTE, GL_FALSE, layout.blendIndicesOffset);
    if (layout.pointSizeOffset >= 0)
        pointer(SHADER_ATTRIB_PSIZE, 1, GL_FLOAT, GL_FALSE, layout.pointSizeOffset);
    for (UINT i = 0; i < layout.texCoordCount && i < FVF_MAX_TEXCOORDS; ++i)
        pointer(SHADER_ATTRIB_TEXCOORD0 + i, static_cast<GLint>(layout.texCoordSize[i]), GL_FLOAT, GL_FALSE,
                layout.texCoordOffset[i]);
    const unsigned changed = vertexInputValid_ ? enabledAttributes_ ^ wanted : ~0u;
    for (GLuint location = 0; location < GlShaderCompiler::ATTRIBUTE_COUNT; ++location) {
        if (!(changed & (1u << location)))
            continue;
        if (wanted & (1u << location))
            glEnableVertexAttribArray(location);
        else
            glDisableVertexAttribArray(location);
    }
    enabledAttributes_ = wanted;
    vertexInputValid_ = true;
    vertexInputBuffer_ = buffer;
    vertexInputOffset_ = baseOffset;
    vertexInputStride_ = stride;
    vertexInputFvf_ = call.fvf;
}

HRESULT GlDevice::BackEndDraw(const DrawCall& call)
{
    MakeCurrent();
    const DeviceState& s = State();
    const DWORD* rs = s.renderStates;
    const bool needsDepth = s.depthStencil && (rs[D3DRS_ZENABLE] != D3DZB_FALSE || rs[D3DRS_STENCILENABLE]);
    if (!BindTarget(s.renderTarget, s.depthStencil, needsDepth))
        return D3D_OK;
    if (s.changeCount != appliedChangeCount_) {
        ApplyRenderStates();
        UpdateFixedFunctionUniforms();
        appliedChangeCount_ = s.changeCount;
    }

    if (call.program) {
        auto* program = static_cast<GlProgram*>(call.program);
        if (!program->Prepare(glState_))
            return D3D_OK; // an invalid program draws nothing
        const unsigned stages = program->StageMask();
        for (int stage = 0; stage < GlTextureCache::STAGES; ++stage) {
            if (stages & (1u << stage))
                textures_.BindStage(stage, s.textures[stage], s.samplerStates[stage], glState_);
        }
    } else {
        FixedFunctionKey key;
        BuildFixedFunctionKey(call.layout, &key);
        for (int stage = 0; stage < key.stageCount; ++stage)
            textures_.BindStage(stage, s.textures[stage], s.samplerStates[stage], glState_);
        if (!fixedFunction_->Use(key, uniforms_, glState_))
            return D3D_OK;
    }

    const GLenum mode = PrimitiveMode(call.primitiveType);
    const UINT stride = call.stride;
    if (!call.indexed) {
        if (call.vertexBuffer) {
            const GLuint buffer = buffers_.PrepareVertices(call.vertexBuffer, glState_);
            if (!buffer)
                return D3D_OK;
            BindVertexInput(buffer, call.vertexOffset, stride, call);
            glDrawArrays(mode, static_cast<GLint>(call.firstVertex), static_cast<GLsizei>(call.vertexCount));
        } else if (call.vertexData) {
            const auto* bytes =
                static_cast<const uint8_t*>(call.vertexData) + static_cast<size_t>(call.firstVertex) * stride;
            UINT first = 0;
            const GLuint buffer = buffers_.StreamVertices(bytes, call.vertexCount * stride, stride, &first, glState_);
            BindVertexInput(buffer, 0, stride, call);
            glDrawArrays(mode, static_cast<GLint>(first), static_cast<GLsizei>(call.vertexCount));
        }
        return D3D_OK;
    }

    const bool wide = call.indexFormat == D3DFMT_INDEX32;
    const UINT indexSize = wide ? 4u : 2u;
    const GLenum indexType = wide ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT;
    GLint baseVertex = call.baseVertexIndex;
    if (call.vertexBuffer) {
        const GLuint buffer = buffers_.PrepareVertices(call.vertexBuffer, glState_);
        if (!buffer)
            return D3D_OK;
        BindVertexInput(buffer, call.vertexOffset, stride, call);
    } else if (call.vertexData && call.indexData) {
        // Copy the vertices up to the largest index actually used.
        const uint8_t* indices =
            static_cast<const uint8_t*>(call.indexData) + static_cast<size_t>(call.startIndex) * indexSize;
        UINT maxIndex = 0;
        for (UINT i = 0; i < call.indexCount; ++i) {
            UINT index;
            if (wide) {
                uint32_t value;
                std::memcpy(&value, indices + i * 4, 4);
                index = value;
            } else {
                uint16_t value;
                std::memcpy(&value, indices + i * 2, 2);
                index = value;
            }
            maxIndex = std::max(maxIndex, index);
        }
        UINT first = 0;
        const GLuint buffer =
            buffers_.StreamVertices(call.vertexData, (maxIndex + 1) * stride, stride, &first, glState_);
        BindVertexInput(buffer, 0, stride, call);
        baseVertex = static_cast<GLint>(first);
    } else {
        return D3D_OK;
    }
    uintptr_t indexOffset;
    if (call.indexBuffer) {
        if (!buffers_.PrepareIndices(call.indexBuffer))
            return D3D_OK;
        indexOffset = static_cast<uintptr_t>(call.startIndex) * indexSize;
    } else {
        const uint8_t* indices =
            static_cast<const uint8_t*>(call.indexData) + static_cast<size_t>(call.startIndex) * indexSize;
        indexOffset = buffers_.StreamIndices(indices, call.indexCount * indexSize);
    }
    glDrawElementsBaseVertex(mode, static_cast<GLsizei>(call.indexCount), indexType,
                             reinterpret_cast<const void*>(indexOffset), baseVertex);
    return D3D_OK;
}
