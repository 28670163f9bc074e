#pragma once
// Platform-internal: the OpenGL back end of the device (OpenGL 3.3 core or later on the window's SDL
// window through libepoxy).
//
// Conventions it keeps (see GlProgram.h for what programs see):
// - Every render target, the back buffer included, is an offscreen framebuffer whose memory row 0 is
//   the top of the picture. With ARB_clip_control the context runs with GL_UPPER_LEFT / GL_ZERO_TO_ONE;
//   without it the vertex code flips y and maps depth itself. Either way viewports, clear rectangles and
//   read-backs count rows from the top, and textures (uploaded or rendered) are sampled with v = 0 at
//   row 0, the top, as in Direct3D.
// - Present blits the back buffer, scaled to fit with black bars, to the window and swaps; the back
//   buffer keeps its pixels, so a screenshot after Present reads the last frame.
// - Only the drawing thread calls GL. Resources created on other threads are uploaded at first use.

#include "d3d9/DeviceBase.h"
#include "d3d9/gl/GlBufferCache.h"
#include "d3d9/gl/GlFixedFunction.h"
#include "d3d9/gl/GlFramebufferCache.h"
#include "d3d9/gl/GlStateCache.h"
#include "d3d9/gl/GlTextureCache.h"

#include <memory>

struct SDL_Window;
struct FvfLayout;

class GlDevice : public DeviceBase
{
public:
    // Makes the context and the device; null with *result set when no GL 3.3 context can be had.
    static IDirect3DDevice9* Create(IDirect3D9* d3d, HWND window, DWORD behaviorFlags, D3DPRESENT_PARAMETERS* pp,
                                    HRESULT* result);

    // Makes this device's context current on the calling (drawing) thread if it is not already.
    void MakeCurrent();
    bool HasClipControl() const { return clipControl_; }
    // Fixed-function programs made so far (each state combination once).
    size_t FixedFunctionProgramCount() const { return fixedFunction_ ? fixedFunction_->ProgramCount() : 0; }

protected:
    HRESULT BackEndClear(const ClearRequest& request) override;
    HRESULT BackEndDraw(const DrawCall& call) override;
    HRESULT BackEndPresent() override;
    HRESULT BackEndReset(const D3DPRESENT_PARAMETERS& presentationParameters, bool first) override;
    HRESULT BackEndReadSurface(Surface* surface) override;
    void BackEndReleaseData(void* backEndData, ResourceKind kind) override;
    HRESULT BackEndCreateShaderProgram(const char* vertexSource, const char* fragmentSource,
                                       ShaderProgram** program) override;
    void BackEndShutdown() override;

private:
    GlDevice(IDirect3D9* d3d, HWND window, DWORD behaviorFlags, SDL_Window* sdlWindow, void* context);
    ~GlDevice() override;

    void CreateObjects();
    void CreatePresentProgram();
    bool BindTarget(Surface* color, Surface* depth);
    void ApplyRenderStates();
    void UpdateFixedFunctionUniforms();
    void BuildFixedFunctionKey(const FvfLayout& layout, FixedFunctionKey* key) const;
    void BindVertexInput(GLuint buffer, UINT baseOffset, UINT stride, const DrawCall& call);
    void InvalidateVertexInput() { vertexInputValid_ = false; }

    SDL_Window* sdlWindow_;
    void* context_; // SDL_GLContext
    bool clipControl_ = false;

    GlStateCache glState_;
    GlTextureCache textures_;
    GlBufferCache buffers_;
    GlFramebufferCache framebuffers_;
    std::unique_ptr<GlFixedFunction> fixedFunction_;
    GLuint vertexArray_ = 0;
    // Present draws the back buffer's texture over the window with this program and sampler; a plain copy
    // that also flips and scales, which llvmpipe does much faster than glBlitFramebuffer.
    GLuint presentProgram_ = 0;
    GLuint presentSamplers_[2] = {}; // nearest for 1:1, linear when scaled

    // What the last draw left in GL, to skip work when nothing moved.
    uint64_t appliedChangeCount_ = ~0ull;
    bool vertexInputValid_ = false;
    GLuint vertexInputBuffer_ = 0;
    UINT vertexInputOffset_ = 0;
    UINT vertexInputStride_ = 0;
    DWORD vertexInputFvf_ = 0;
    unsigned enabledAttributes_ = 0;

    FixedFunctionUniforms uniforms_{};
    uint32_t serial_ = 0;
};
