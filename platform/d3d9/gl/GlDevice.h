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
// - When the back buffer has the window's size and fills it, the swap effect discards and clip control is
//   there, the back buffer is drawn straight into the window (GL's default framebuffer, flipped to
//   bottom-up by the clip origin) and Present only swaps: no pass copies the picture. The window's own
//   depth-stencil buffer then holds the automatic depth-stencil surface's contents (copied over, and back
//   when another target uses that surface). A draw or clear of the back buffer that needs another
//   depth-stencil surface, a change of size, or a read of the back buffer first copies the window's picture
//   into the back buffer's own texture, and the frame goes on there. A read of the back buffer after Present
//   sees the frame just shown: at the first such read the window system's picture of the window, and for a
//   while after one Present reads each finished frame into memory before the swap (the window's own layout).
// - Otherwise Present draws the back buffer, scaled to fit with black bars, over the window and swaps; the
//   back buffer keeps its pixels.
// - Only the drawing thread calls GL. Resources created on other threads are uploaded at first use.

#include "d3d9/DeviceBase.h"
#include "d3d9/gl/GlBufferCache.h"
#include "d3d9/gl/GlFixedFunction.h"
#include "d3d9/gl/GlFramebufferCache.h"
#include "d3d9/gl/GlStateCache.h"
#include "d3d9/gl/GlTextureCache.h"

#include <memory>
#include <vector>

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
    // Whether the back buffer's picture is being drawn in the window itself (see above).
    bool BackBufferInWindow() const { return backBufferInWindow_; }
    // Frames that Present has read back from the window to keep them for a read after it.
    unsigned KeptFrameCount() const { return keptFrameCount_; }

protected:
    HRESULT BackEndClear(const ClearRequest& request) override;
    HRESULT BackEndDraw(const DrawCall& call) override;
    HRESULT BackEndPresent() override;
    void BackEndEndScene() override;
    HRESULT BackEndReset(const D3DPRESENT_PARAMETERS& presentationParameters, bool first) override;
    HRESULT BackEndReadSurface(Surface* surface) override;
    HRESULT BackEndRestoreCopy(ResourceBase* resource) override;
    HRESULT BackEndCopySurface(Surface* source, Surface* destination) override;
    void BackEndReleaseData(void* backEndData, ResourceKind kind) override;
    HRESULT BackEndCreateShaderProgram(const char* vertexSource, const char* fragmentSource,
                                       ShaderProgram** program) override;
    void BackEndShutdown() override;

private:
    GlDevice(IDirect3D9* d3d, HWND window, DWORD behaviorFlags, SDL_Window* sdlWindow, void* context);
    ~GlDevice() override;

    void CreateObjects();
    void CreatePresentProgram();
    // Binds the framebuffer that draws into color and depth. needsDepth: the operation reads or writes the
    // depth-stencil surface.
    bool BindTarget(Surface* color, Surface* depth, bool needsDepth);
    // Whether the back buffer may be drawn straight into the window this frame.
    bool WindowCanHoldBackBuffer();
    // Copies the window's picture of the back buffer into the back buffer's texture; later drawing goes there.
    void TakeBackBufferFromWindow();
    // A whole picture copied onto the back buffer, or a depth surface onto the automatic one while the back
    // buffer is in the window, goes straight into the window's buffers. False when it cannot.
    bool CopyIntoWindow(Surface* source, Surface* destination);
    // Keeps the window's finished frame before the swap leaves it undefined.
    void KeepLastFrame(GLint width, GLint height);
    // The kept frame into the back buffer's memory, when that is what a read after Present asks for.
    bool ReadLastFrame(Surface* surface);
    // Whether the window's depth-stencil buffer can stand for the automatic depth-stencil surface.
    bool WindowCanHoldAutoDepth() const;
    // Moves the automatic depth-stencil surface's contents into the window's buffer or back.
    void MoveAutoDepth(bool toWindow);
    // Sets the clip origin and front face for drawing into the window (bottom-up) or our framebuffers.
    void SetWindowOrigin(bool window);
    // A rectangle of the current target, rows from the top, in GL window coordinates.
    GLint TargetY(GLint top, GLsizei height) const;
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
    // Present draws the back buffer's texture over the window with this program and sampler when the window
    // shows it at another size (at its own size it is copied, see BackEndPresent).
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

    // The back buffer's picture is in the window: in its back buffer while drawing, its front buffer after
    // the swap (windowSwapped_).
    bool backBufferInWindow_ = false;
    bool windowSwapped_ = false;
    // The last frame shown from the window, rows bottom-up as the window has them: what a read of the back
    // buffer after Present sees.
    std::vector<uint8_t> lastFrame_;
    GLint lastFrameWidth_ = 0;
    GLint lastFrameHeight_ = 0;
    // Reading every frame back costs a copy of the whole picture per Present, so frames are kept only for a
    // while after something has read one (a held screenshot key reads every frame); the first read after a
    // quiet spell takes the frame from the window system. lastFrameKept_: the kept frame is the one shown.
    static constexpr int KEEP_FRAMES_AFTER_READ = 600;
    int keepFrames_ = 0;
    bool lastFrameKept_ = false;
    unsigned keptFrameCount_ = 0;
    // The back buffer has been bound since the last Present (the window's fitness is judged at the first).
    bool backBufferBoundThisFrame_ = false;
    bool targetIsWindow_ = false;
    // The window has a 24-bit depth and 8-bit stencil buffer, and the automatic depth-stencil surface's
    // contents are in it (while the back buffer is drawn in the window, draws that test depth use it).
    bool windowDepthStencil_ = false;
    bool autoDepthInWindow_ = false;
    // Only a discarding swap may leave the back buffer's pixels to the window's swap.
    bool discardingSwap_ = false;

    FixedFunctionUniforms uniforms_{};
    uint32_t serial_ = 0;
};
