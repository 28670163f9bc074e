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

// D3D's front faces are clockwise on screen. With clip control's upper-left origin GL judges winding as
// the picture shows it, so clockwise stays clockwise; when the vertex code flips y itself instead, GL sees
// the mirror image, in which a triangle clockwise on screen is counter-clockwise.
GLenum FrontFace(bool clipControl)
{
    return clipControl ? GL_CW : GL_CCW;
}

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

// VARNHOLT_REPORT_FIRST_FRAME=1 prints the wall-clock time of the first two Presents on stderr (the game's
// splash picture, then its first frame), so a script that noted when it started the game can tell how long
// the start took.
void ReportEarlyPresent()
{
    constexpr int REPORTED_PRESENTS = 2;
    static int presents = 0;
    if (presents >= REPORTED_PRESENTS)
        return;
    ++presents;
    const char* value = std::getenv("VARNHOLT_REPORT_FIRST_FRAME");
    if (!value || !*value || std::strcmp(value, "0") == 0)
        return;
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    LogFormat(LogLevel::ERROR, "gl.device", "d3d9/gl: present %d at %lld.%09ld", presents,
              static_cast<long long>(now.tv_sec), now.tv_nsec);
}

bool DebugOutputWanted()
{
    const char* value = std::getenv("VARNHOLT_GL_DEBUG");
    return value && *value && std::strcmp(value, "0") != 0;
}

void GLAPIENTRY PrintDebugMessage(GLenum, GLenum type, GLuint, GLenum severity, GLsizei, const GLchar* message,
                                  const void*)
{
    if (type == GL_DEBUG_TYPE_ERROR || severity == GL_DEBUG_SEVERITY_HIGH || severity == GL_DEBUG_SEVERITY_MEDIUM)
        LogFormat(LogLevel::ERROR, "gl.device", "d3d9/gl: %s", message);
}

} // namespace

IDirect3DDevice9* CreateGlDevice(IDirect3D9* d3d, HWND window, DWORD behaviorFlags, D3DPRESENT_PARAMETERS* pp,
                                 HRESULT* result)
{
    return GlDevice::Create(d3d, window, behaviorFlags, pp, result);
}

IDirect3DDevice9* GlDevice::Create(IDirect3D9* d3d, HWND window, DWORD behaviorFlags, D3DPRESENT_PARAMETERS* pp,
                                   HRESULT* result)
{
    HRESULT ignored;
    if (!result)
        result = &ignored;
    *result = D3DERR_NOTAVAILABLE;
    SDL_Window* sdlWindow = WindowBridge::GetSdlWindow(window);
    if (!sdlWindow) {
        LogFormat(LogLevel::ERROR, "gl.device", "d3d9/gl: the device window is not an SDL window; no OpenGL device");
        return nullptr;
    }
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    // VARNHOLT_GL_DEBUG=1 asks for a debug context whose error messages go to stderr.
    const bool debug = DebugOutputWanted();
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_FLAGS, debug ? SDL_GL_CONTEXT_DEBUG_FLAG : 0);
    SDL_GLContext context = SDL_GL_CreateContext(sdlWindow);
    if (!context) {
        LogFormat(LogLevel::ERROR, "gl.device", "d3d9/gl: no OpenGL 3.3 core context: %s", SDL_GetError());
        return nullptr;
    }
    if (SDL_GL_MakeCurrent(sdlWindow, context) != 0 || epoxy_gl_version() < 33) {
        LogFormat(LogLevel::ERROR, "gl.device",
                  "d3d9/gl: the OpenGL context is older than 3.3 or cannot be made current");
        SDL_GL_DeleteContext(context);
        return nullptr;
    }
    auto* device = new GlDevice(d3d, window, behaviorFlags, sdlWindow, context);
    const HRESULT hr = device->Initialize(pp);
    if (FAILED(hr)) {
        device->Release();
        *result = hr;
        return nullptr;
    }
    *result = D3D_OK;
    return device;
}

GlDevice::GlDevice(IDirect3D9* d3d, HWND window, DWORD behaviorFlags, SDL_Window* sdlWindow, void* context)
    : DeviceBase(d3d, D3DADAPTER_DEFAULT, window, behaviorFlags), sdlWindow_(sdlWindow), context_(context)
{
    D3DCAPS9 caps{};
    FillHalCaps(D3DADAPTER_DEFAULT, &caps);
    SetCaps(caps);
    CreateObjects();
}

GlDevice::~GlDevice() = default;

void GlDevice::MakeCurrent()
{
    if (SDL_GL_GetCurrentContext() != static_cast<SDL_GLContext>(context_))
        SDL_GL_MakeCurrent(sdlWindow_, static_cast<SDL_GLContext>(context_));
}

void GlDevice::CreateObjects()
{
    const int version = epoxy_gl_version();
    // VARNHOLT_GL_NO_CLIP_CONTROL=1 takes the path of drivers without clip control, to check it on one that has it.
    const char* noClipControl = std::getenv("VARNHOLT_GL_NO_CLIP_CONTROL");
    clipControl_ = (version >= 45 || epoxy_has_gl_extension("GL_ARB_clip_control")) &&
                   !(noClipControl && *noClipControl && std::strcmp(noClipControl, "0") != 0);
    if (clipControl_)
        glClipControl(GL_UPPER_LEFT, GL_ZERO_TO_ONE);
    textures_.SetMirrorClampAvailable(version >= 44 || epoxy_has_gl_extension("GL_ARB_texture_mirror_clamp_to_edge") ||
                                      epoxy_has_gl_extension("GL_EXT_texture_mirror_clamp"));
    if (DebugOutputWanted() && (version >= 43 || epoxy_has_gl_extension("GL_KHR_debug"))) {
        glEnable(GL_DEBUG_OUTPUT_SYNCHRONOUS);
        glDebugMessageCallback(PrintDebugMessage, nullptr);
    }
    GLint depthBits = 0;
    GLint stencilBits = 0;
    glGetFramebufferAttachmentParameteriv(GL_DRAW_FRAMEBUFFER, GL_DEPTH, GL_FRAMEBUFFER_ATTACHMENT_DEPTH_SIZE,
                                          &depthBits);
    glGetFramebufferAttachmentParameteriv(GL_DRAW_FRAMEBUFFER, GL_STENCIL, GL_FRAMEBUFFER_ATTACHMENT_STENCIL_SIZE,
                                          &stencilBits);
    windowDepthStencil_ = depthBits == 24 && stencilBits == 8;
    glGenVertexArrays(1, &vertexArray_);
    glBindVertexArray(vertexArray_);
    glEnable(GL_PROGRAM_POINT_SIZE);
    glFrontFace(FrontFace(clipControl_));
    // A vertex without a diffuse colour is white, as Direct3D draws it.
    glVertexAttrib4f(SHADER_ATTRIB_DIFFUSE, 1.0f, 1.0f, 1.0f, 1.0f);
    textures_.Create();
    buffers_.Create();
    CreatePresentProgram();
    fixedFunction_ = std::make_unique<GlFixedFunction>(clipControl_);
    glState_.Invalidate();
    uniforms_.transformSerial = uniforms_.viewportSerial = uniforms_.textureMatrixSerial = uniforms_.valuesSerial =
        serial_ = 1;
}

void GlDevice::CreatePresentProgram()
{
    // One triangle over the whole viewport, its corners made from the vertex number. Texture row 0 is the
    // top of the picture; with clip control's upper-left origin clip y = -1 is the window's top row, without
    // it clip y = +1 is.
    std::string vertex = "#version 330 core\nout vec2 uv;\nvoid main()\n{\n"
                         "    vec2 corner = vec2(float(gl_VertexID & 1), float(gl_VertexID >> 1)) * 2.0;\n"
                         "    gl_Position = vec4(corner * 2.0 - 1.0, 0.0, 1.0);\n";
    vertex += clipControl_ ? "    uv = corner;\n" : "    uv = vec2(corner.x, 1.0 - corner.y);\n";
    vertex += "}\n";
    const std::string fragment = "#version 330 core\nuniform sampler2D image;\nin vec2 uv;\nout vec4 colour;\n"
                                 "void main()\n{\n    colour = vec4(texture(image, uv).rgb, 1.0);\n}\n";
    std::string log;
    presentProgram_ = GlShaderCompiler::Link(vertex, fragment, false, &log);
    if (!presentProgram_)
        LogFormat(LogLevel::ERROR, "gl.device", "d3d9/gl: the present program failed to build: %s", log.c_str());
    glGenSamplers(2, presentSamplers_);
    for (int i = 0; i < 2; ++i) {
        const GLint filter = i == 0 ? GL_NEAREST : GL_LINEAR;
        glSamplerParameteri(presentSamplers_[i], GL_TEXTURE_MIN_FILTER, filter);
        glSamplerParameteri(presentSamplers_[i], GL_TEXTURE_MAG_FILTER, filter);
        glSamplerParameteri(presentSamplers_[i], GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glSamplerParameteri(presentSamplers_[i], GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    }
}

void GlDevice::BackEndShutdown()
{
    MakeCurrent();
    if (presentProgram_)
        glDeleteProgram(presentProgram_);
    glDeleteSamplers(2, presentSamplers_);
    if (fixedFunction_)
        fixedFunction_->Release();
    framebuffers_.Release(glState_);
    buffers_.Release(glState_);
    textures_.Release();
    if (vertexArray_)
        glDeleteVertexArrays(1, &vertexArray_);
    vertexArray_ = 0;
    SDL_GL_MakeCurrent(sdlWindow_, nullptr);
    SDL_GL_DeleteContext(static_cast<SDL_GLContext>(context_));
    context_ = nullptr;
}

bool GlDevice::WindowCanHoldBackBuffer()
{
    Surface* backBuffer = BackBufferSurface();
    if (!clipControl_ || !backBuffer || !discardingSwap_)
        return false;
    int drawableWidth = 0;
    int drawableHeight = 0;
    SDL_GL_GetDrawableSize(sdlWindow_, &drawableWidth, &drawableHeight);
    int x = 0, y = 0, w = 0, h = 0;
    WindowBridge::GetPresentRect(Window(), &x, &y, &w, &h);
    return x == 0 && y == 0 && w == drawableWidth && h == drawableHeight &&
           w == static_cast<int>(backBuffer->Width()) && h == static_cast<int>(backBuffer->Height());
}

void GlDevice::SetWindowOrigin(bool window)
{
    if (window == targetIsWindow_)
        return;
    targetIsWindow_ = window;
    // The window's rows run bottom-up: the lower-left clip origin puts the picture's top at its top. Clip
    // control judges winding as the picture shows it under either origin, so the front face stays.
    glClipControl(window ? GL_LOWER_LEFT : GL_UPPER_LEFT, GL_ZERO_TO_ONE);
    appliedChangeCount_ = ~0ull; // the viewport is counted from the other end now
}

GLint GlDevice::TargetY(GLint top, GLsizei height) const
{
    if (!targetIsWindow_ || !BackBufferSurface())
        return top;
    return static_cast<GLint>(BackBufferSurface()->Height()) - top - height;
}

void GlDevice::TakeBackBufferFromWindow()
{
    if (!backBufferInWindow_)
        return;
    backBufferInWindow_ = false;
    // After a discarding Present the back buffer's pixels are undefined: nothing to bring over.
    if (windowSwapped_)
        return;
    Surface* backBuffer = BackBufferSurface();
    const GLuint framebuffer = backBuffer ? framebuffers_.FramebufferFor(backBuffer, nullptr, textures_, glState_) : 0;
    if (!framebuffer)
        return;
    const GLint width = static_cast<GLint>(backBuffer->Width());
    const GLint height = static_cast<GLint>(backBuffer->Height());
    glState_.BindDrawFramebuffer(framebuffer);
    SetWindowOrigin(false);
    glState_.SetScissor(false);
    glState_.SetColorMask(true, true, true, true);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    // Bottom-up rows into top-down ones.
    glBlitFramebuffer(0, 0, width, height, 0, height, width, 0, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    appliedChangeCount_ = ~0ull;
}

void GlDevice::KeepLastFrame(GLint width, GLint height)
{
    lastFrame_.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    lastFrameWidth_ = width;
    lastFrameHeight_ = height;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    // B, G, R, A bytes: the window's own layout, read without conversion, and that of X8R8G8B8.
    glReadPixels(0, 0, width, height, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, lastFrame_.data());
}

bool GlDevice::ReadLastFrame(Surface* surface)
{
    if (!backBufferInWindow_ || !windowSwapped_ || surface != BackBufferSurface() ||
        (surface->Format() != D3DFMT_X8R8G8B8 && surface->Format() != D3DFMT_A8R8G8B8))
        return false;
    // From now on each frame is kept for a while, for the reads that usually follow the first.
    keepFrames_ = KEEP_FRAMES_AFTER_READ;
    if (!lastFrameKept_) {
        // Nothing has read a frame lately: the window system still has the frame just shown.
        const GLint width = static_cast<GLint>(surface->Width());
        const GLint height = static_cast<GLint>(surface->Height());
        lastFrame_.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
        if (!WindowBridge::ReadShownPicture(Window(), width, height, lastFrame_.data()))
            return false;
        lastFrameWidth_ = width;
        lastFrameHeight_ = height;
        lastFrameKept_ = true;
    }
    if (static_cast<GLint>(surface->Width()) != lastFrameWidth_ ||
        static_cast<GLint>(surface->Height()) != lastFrameHeight_)
        return false;
    const size_t rowBytes = static_cast<size_t>(lastFrameWidth_) * 4;
    for (GLint row = 0; row < lastFrameHeight_; ++row) {
        uint8_t* out = surface->Bits() + static_cast<size_t>(row) * static_cast<size_t>(surface->Pitch());
        std::memcpy(out, lastFrame_.data() + static_cast<size_t>(lastFrameHeight_ - 1 - row) * rowBytes, rowBytes);
        for (GLint column = 0; column < lastFrameWidth_; ++column)
            out[column * 4 + 3] = 0xFF; // the window's picture is opaque
    }
    return true;
}

bool GlDevice::BindTarget(Surface* color, Surface* depth, bool needsDepth)
{
    if (color && color == BackBufferSurface()) {
        if (!backBufferBoundThisFrame_) {
            backBufferBoundThisFrame_ = true;
            if (WindowCanHoldBackBuffer()) {
                // Whatever the window showed stays the back buffer's picture until drawn over.
                if (!backBufferInWindow_)
                    windowSwapped_ = false;
                backBufferInWindow_ = true;
            } else {
                TakeBackBufferFromWindow();
            }
        }
        if (backBufferInWindow_ && needsDepth && !(depth == AutoDepthSurface() && WindowCanHoldAutoDepth()))
            TakeBackBufferFromWindow();
        if (backBufferInWindow_) {
            if (needsDepth)
                MoveAutoDepth(true);
            // After a discarding Present the back buffer's pixels are undefined, as the window's back buffer is.
            windowSwapped_ = false;
            glState_.BindDrawFramebuffer(0);
            SetWindowOrigin(true);
            return true;
        }
    }
    if (depth && depth == AutoDepthSurface())
        MoveAutoDepth(false);
    const GLuint framebuffer = framebuffers_.FramebufferFor(color, depth, textures_, glState_);
    if (!framebuffer)
        return false;
    glState_.BindDrawFramebuffer(framebuffer);
    SetWindowOrigin(false);
    return true;
}

bool GlDevice::WindowCanHoldAutoDepth() const
{
    const Surface* depth = AutoDepthSurface();
    return windowDepthStencil_ && depth && depth->Format() == D3DFMT_D24S8;
}

void GlDevice::MoveAutoDepth(bool toWindow)
{
    if (toWindow == autoDepthInWindow_)
        return;
    autoDepthInWindow_ = toWindow;
    Surface* backBuffer = BackBufferSurface();
    const GLuint own =
        backBuffer ? framebuffers_.FramebufferFor(backBuffer, AutoDepthSurface(), textures_, glState_) : 0;
    if (!own)
        return;
    const GLint width = static_cast<GLint>(backBuffer->Width());
    const GLint height = static_cast<GLint>(backBuffer->Height());
    glState_.OpenWriteMasksForClear();
    glState_.SetScissor(false);
    // The window's rows run bottom-up, the surface's top-down.
    if (toWindow) {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, own);
        glState_.BindDrawFramebuffer(0);
    } else {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
        glState_.BindDrawFramebuffer(own);
    }
    glBlitFramebuffer(0, 0, width, height, 0, height, width, 0, GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT,
                      GL_NEAREST);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    appliedChangeCount_ = ~0ull;
}

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
    glState_.SetScissor(false);

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

HRESULT GlDevice::BackEndPresent()
{
    MakeCurrent();
    backBufferBoundThisFrame_ = false;
    if (backBufferInWindow_) {
        // The frame is in the window already.
        lastFrameKept_ = keepFrames_ > 0;
        if (lastFrameKept_) {
            --keepFrames_;
            ++keptFrameCount_;
            KeepLastFrame(static_cast<GLint>(BackBufferSurface()->Width()),
                          static_cast<GLint>(BackBufferSurface()->Height()));
        }
        SDL_GL_SwapWindow(sdlWindow_);
        windowSwapped_ = true;
        ReportEarlyPresent();
        appliedChangeCount_ = ~0ull;
        return D3D_OK;
    }
    Surface* backBuffer = BackBufferSurface();
    const GLuint image = framebuffers_.ColorTexture(backBuffer, textures_, glState_);
    if (!image || !presentProgram_)
        return D3D_OK;
    int drawableWidth = 0;
    int drawableHeight = 0;
    SDL_GL_GetDrawableSize(sdlWindow_, &drawableWidth, &drawableHeight);
    const int width = static_cast<int>(backBuffer->Width());
    const int height = static_cast<int>(backBuffer->Height());
    int x = 0, y = 0, w = 0, h = 0;
    WindowBridge::GetPresentRect(Window(), &x, &y, &w, &h);
    if (w <= 0 || h <= 0) {
        // The window layer knows no better: fit the back buffer into the drawable ourselves.
        w = drawableWidth;
        h = width > 0 ? static_cast<int>(static_cast<long long>(drawableWidth) * height / width) : drawableHeight;
        if (h > drawableHeight) {
            h = drawableHeight;
            w = height > 0 ? static_cast<int>(static_cast<long long>(drawableHeight) * width / height) : drawableWidth;
        }
        x = (drawableWidth - w) / 2;
        y = (drawableHeight - h) / 2;
    }

    glState_.BindDrawFramebuffer(0);
    SetWindowOrigin(false);
    glState_.SetScissor(false);
    glState_.SetColorMask(true, true, true, true);
    if (w < drawableWidth || h < drawableHeight) {
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f); // the bars beside or above and below the picture
        glClear(GL_COLOR_BUFFER_BIT);
    }
    glState_.SetBlend(false, GL_ONE, GL_ZERO, GL_ONE, GL_ZERO, GL_FUNC_ADD, GL_FUNC_ADD);
    glState_.SetDepth(false, false, GL_ALWAYS);
    glState_.SetStencil(false, GL_ALWAYS, 0, 0, 0, GL_KEEP, GL_KEEP, GL_KEEP);
    glState_.SetCull(GL_NONE);
    glState_.SetPolygonMode(GL_FILL);
    glState_.SetDepthBias(0.0f, 0.0f);
    // The window's framebuffer has its bottom row first.
    glState_.SetViewport(x, drawableHeight - y - h, w, h);
    glState_.UseProgram(presentProgram_);
    glState_.BindTexture(0, image);
    glState_.BindSampler(0, presentSamplers_[(w == width && h == height) ? 0 : 1]);
    // The program reads no attributes: leave no array enabled that might point at nothing.
    for (GLuint location = 0; location < GlShaderCompiler::ATTRIBUTE_COUNT; ++location) {
        if (enabledAttributes_ & (1u << location))
            glDisableVertexAttribArray(location);
    }
    enabledAttributes_ = 0;
    vertexInputValid_ = false;
    glDrawArrays(GL_TRIANGLES, 0, 3);
    SDL_GL_SwapWindow(sdlWindow_);
    ReportEarlyPresent();
    appliedChangeCount_ = ~0ull;
    return D3D_OK;
}

HRESULT GlDevice::BackEndReset(const D3DPRESENT_PARAMETERS& pp, bool /*first*/)
{
    MakeCurrent();
    // The window changes below must not come back to the game as size messages in the middle of a reset.
    WindowBridge::SetSuppressSizeEvents(true);
    WindowBridge::SetFullscreen(Window(), !pp.Windowed);
    WindowBridge::SetBackBufferSize(Window(), static_cast<int>(pp.BackBufferWidth),
                                    static_cast<int>(pp.BackBufferHeight));
    WindowBridge::SetSuppressSizeEvents(false);
    SDL_GL_SetSwapInterval(pp.PresentationInterval == D3DPRESENT_INTERVAL_IMMEDIATE ? 0 : 1);
    // The back buffer is made anew; nothing of it is in the window.
    discardingSwap_ = pp.SwapEffect == D3DSWAPEFFECT_DISCARD;
    autoDepthInWindow_ = false;
    backBufferInWindow_ = false;
    windowSwapped_ = false;
    backBufferBoundThisFrame_ = false;
    appliedChangeCount_ = ~0ull;
    vertexInputValid_ = false;
    return D3D_OK;
}

HRESULT GlDevice::BackEndReadSurface(Surface* surface)
{
    MakeCurrent();
    if (!surface || !surface->MakeBits())
        return D3DERR_INVALIDCALL;
    if (ReadLastFrame(surface))
        return D3D_OK;
    if (surface == BackBufferSurface())
        TakeBackBufferFromWindow();
    const GlPixelFormat format = GlTextureCache::FormatFor(surface->Format());
    const GLuint framebuffer = framebuffers_.FramebufferFor(surface, nullptr, textures_, glState_);
    if (!format.supported || !framebuffer)
        return D3DERR_INVALIDCALL;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ROW_LENGTH, surface->Pitch() / static_cast<GLint>(format.bytesPerPixel));
    // Row 0 of our framebuffers is the top: the rows arrive top-down, as a locked surface has them.
    glReadPixels(0, 0, static_cast<GLsizei>(surface->Width()), static_cast<GLsizei>(surface->Height()), format.format,
                 format.type, surface->Bits());
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    if (surface->Format() == D3DFMT_X8R8G8B8 || surface->Format() == D3DFMT_X8B8G8R8) {
        // The unused byte reads as opaque, whatever blending left in it.
        for (UINT row = 0; row < surface->Height(); ++row) {
            uint8_t* pixel = surface->Bits() + static_cast<size_t>(row) * static_cast<size_t>(surface->Pitch());
            for (UINT column = 0; column < surface->Width(); ++column)
                pixel[column * 4 + 3] = 0xFF;
        }
    }
    return D3D_OK;
}

void GlDevice::BackEndReleaseData(void* backEndData, ResourceKind kind)
{
    if (!backEndData)
        return;
    MakeCurrent();
    switch (kind) {
    case ResourceKind::TEXTURE: {
        auto* texture = static_cast<GlTexture*>(backEndData);
        framebuffers_.OnTextureDestroyed(texture->name, glState_);
        GlTextureCache::Destroy(texture, glState_);
        break;
    }
    case ResourceKind::SURFACE:
        framebuffers_.DestroySurface(static_cast<GlSurface*>(backEndData), glState_);
        break;
    case ResourceKind::VERTEXBUFFER:
    case ResourceKind::INDEXBUFFER: {
        auto* buffer = static_cast<GlBuffer*>(backEndData);
        if (buffer->name == vertexInputBuffer_)
            vertexInputValid_ = false;
        buffers_.Destroy(buffer, glState_);
        break;
    }
    case ResourceKind::SHADERPROGRAM: {
        auto* program = static_cast<GlLinkedProgram*>(backEndData);
        if (program->program) {
            glDeleteProgram(program->program);
            glState_.OnProgramDeleted(program->program);
        }
        delete program;
        break;
    }
    }
}

HRESULT GlDevice::BackEndCreateShaderProgram(const char* vertexSource, const char* fragmentSource,
                                             ShaderProgram** program)
{
    if (!program)
        return D3DERR_INVALIDCALL;
    *program = new GlProgram(this, vertexSource, fragmentSource, clipControl_);
    return D3D_OK;
}
