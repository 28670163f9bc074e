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

// Our framebuffers' rows run top-down, as the window keeps its own in memory (GL counts the window's rows from the
// bottom): a copy between them of one size and format is a plain copy of memory for llvmpipe, the copy into the
// window included when it is asked for upside down in GL's terms. Anything else is a full-screen draw.
HRESULT GlDevice::BackEndCopySurface(Surface* source, Surface* destination)
{
    MakeCurrent();
    const bool depth = source->IsDepthStencil();
    if (CopyIntoWindow(source, destination))
        return D3D_OK;
    if (destination == BackBufferSurface()) {
        // The frame goes on in the back buffer's own texture, which Present then draws over the window.
        backBufferBoundThisFrame_ = true;
        TakeBackBufferFromWindow();
    } else if (source == BackBufferSurface()) {
        TakeBackBufferFromWindow();
    }
    if (depth && destination == AutoDepthSurface()) {
        // Every pixel is replaced: what the window's buffer held for it need not come back.
        autoDepthInWindow_ = false;
    } else if (depth && source == AutoDepthSurface()) {
        MoveAutoDepth(false);
    }
    const GLuint read = depth ? framebuffers_.DepthFramebufferFor(source, textures_, glState_)
                              : framebuffers_.FramebufferFor(source, nullptr, textures_, glState_);
    const GLuint draw = depth ? framebuffers_.DepthFramebufferFor(destination, textures_, glState_)
                              : framebuffers_.FramebufferFor(destination, nullptr, textures_, glState_);
    if (!read || !draw)
        return D3DERR_INVALIDCALL;
    const GLint width = static_cast<GLint>(source->Width());
    const GLint height = static_cast<GLint>(source->Height());
    glState_.BindDrawFramebuffer(draw);
    SetWindowOrigin(false);
    glState_.SetScissor(false);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, read);
    glBlitFramebuffer(0, 0, width, height, 0, 0, width, height,
                      depth ? GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT : GL_COLOR_BUFFER_BIT, GL_NEAREST);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    appliedChangeCount_ = ~0ull;
    return D3D_OK;
}

bool GlDevice::CopyIntoWindow(Surface* source, Surface* destination)
{
    const bool depth = source->IsDepthStencil();
    if (source == BackBufferSurface() || source == AutoDepthSurface())
        return false;
    if (!depth) {
        // Every pixel of the back buffer is replaced: it may as well be the window's from here on.
        if (destination != BackBufferSurface() || !WindowCanHoldBackBuffer())
            return false;
    } else if (destination != AutoDepthSurface() || !backBufferInWindow_ || !WindowCanHoldAutoDepth()) {
        // The window's depth serves the back buffer only where that is in the window.
        return false;
    }
    // Found before the window's framebuffer is bound: finding one may bind it.
    const GLuint read = depth ? framebuffers_.DepthFramebufferFor(source, textures_, glState_)
                              : framebuffers_.FramebufferFor(source, nullptr, textures_, glState_);
    if (!read)
        return false;
    if (depth) {
        autoDepthInWindow_ = true;
    } else {
        backBufferBoundThisFrame_ = true;
        backBufferInWindow_ = true;
        // The window's back buffer holds the frame being drawn again, not whatever a swap left there.
        windowSwapped_ = false;
    }
    const GLint width = static_cast<GLint>(source->Width());
    const GLint height = static_cast<GLint>(source->Height());
    glState_.BindDrawFramebuffer(0);
    SetWindowOrigin(true);
    glState_.SetScissor(false);
    glState_.OpenWriteMasksForClear();
    glBindFramebuffer(GL_READ_FRAMEBUFFER, read);
    glBlitFramebuffer(0, 0, width, height, 0, height, width, 0,
                      depth ? GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT : GL_COLOR_BUFFER_BIT, GL_NEAREST);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    appliedChangeCount_ = ~0ull;
    return true;
}

void GlDevice::BackEndEndScene()
{
    // A software rasterizer draws nothing until it is flushed. Flushed here, it draws the scene on its own threads
    // while this one goes on building the next (the Present then only waits for what is left).
    MakeCurrent();
    glFlush();
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

    // Shown at its own size, the picture is copied by memory rows (see BackEndCopySurface), where the draw below
    // would shade every pixel. Its framebuffer is found before the window's is bound: finding one may bind it.
    const GLuint copyFrom =
        w == width && h == height ? framebuffers_.FramebufferFor(backBuffer, nullptr, textures_, glState_) : 0;
    glState_.BindDrawFramebuffer(0);
    SetWindowOrigin(false);
    glState_.SetScissor(false);
    glState_.SetColorMask(true, true, true, true);
    if (w < drawableWidth || h < drawableHeight) {
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f); // the bars beside or above and below the picture
        glClear(GL_COLOR_BUFFER_BIT);
    }
    if (copyFrom) {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, copyFrom);
        glBlitFramebuffer(0, 0, width, height, x, drawableHeight - y, x + w, drawableHeight - y - h,
                          GL_COLOR_BUFFER_BIT, GL_NEAREST);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
        SDL_GL_SwapWindow(sdlWindow_);
        ReportEarlyPresent();
        appliedChangeCount_ = ~0ull;
        return D3D_OK;
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

HRESULT GlDevice::BackEndRestoreCopy(ResourceBase* resource)
{
    MakeCurrent();
    std::vector<uint8_t> bytes;
    switch (resource->Kind()) {
    case ResourceKind::SURFACE: {
        auto* level = static_cast<Surface*>(resource);
        Texture* texture = level->Container();
        if (!texture)
            return D3DERR_INVALIDCALL;
        {
            std::lock_guard<std::mutex> guard(texture->DataMutex());
            texture->KeepCopy();
            if (!level->IsCopyDropped())
                return D3D_OK;
        }
        if (!GlTextureCache::ReadLevel(texture, level->Level(), glState_, &bytes))
            break;
        std::lock_guard<std::mutex> guard(texture->DataMutex());
        if (level->IsCopyDropped() && !level->AdoptCopy(std::move(bytes)))
            break;
        return D3D_OK;
    }
    case ResourceKind::VERTEXBUFFER:
    case ResourceKind::INDEXBUFFER: {
        auto* buffer = static_cast<BufferBase*>(resource);
        {
            std::lock_guard<std::mutex> guard(buffer->DataMutex());
            if (!buffer->IsCopyDropped())
                return D3D_OK;
        }
        if (!GlBufferCache::ReadBack(buffer, &bytes))
            break;
        std::lock_guard<std::mutex> guard(buffer->DataMutex());
        if (buffer->IsCopyDropped() && !buffer->AdoptCopy(std::move(bytes)))
            break;
        return D3D_OK;
    }
    default:
        break;
    }
    LogFormat(LogLevel::ERROR, "gl.device", "d3d9/gl: a resource's bytes could not be read back for a lock");
    return D3DERR_INVALIDCALL;
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
