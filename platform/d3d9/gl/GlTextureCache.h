#pragma once
// Platform-internal: GL textures for the device's textures, made and refreshed from their system-memory
// copies on the drawing thread, and one sampler object per texture stage carrying that stage's sampler
// states. Rows are uploaded in memory order, so texture coordinate v = 0 is the first row of the copy,
// the top of the image, as in Direct3D.

#include "d3d9/D3D9.h"

#include <epoxy/gl.h>

#include <cstdint>
#include <vector>

class Texture;
class GlStateCache;

// How one D3D format travels to and from GL.
struct GlPixelFormat {
    GLenum internalFormat = 0;
    GLenum format = 0;
    GLenum type = 0;
    GLint swizzle[4] = {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA};
    UINT bytesPerPixel = 0;
    bool supported = false;
};

// What the device keeps for a texture in its backEndData.
struct GlTexture {
    GLuint name = 0;
    UINT width = 0;
    UINT height = 0;
    UINT levels = 0;
    D3DFORMAT format = D3DFMT_UNKNOWN;
    bool renderTarget = false;
    bool storageMade = false;
};

class GlTextureCache
{
public:
    static constexpr int STAGES = 8;

    static GlPixelFormat FormatFor(D3DFORMAT format);
    // Whether GL gives a texture of this format back byte for byte as it was uploaded, so that the system
    // copy can go once uploaded.
    static bool ReadsBackExactly(D3DFORMAT format);
    // Reads a level of an uploaded texture back into bytes (Pitch() x Height() of them). Context current.
    static bool ReadLevel(Texture* texture, UINT level, GlStateCache& state, std::vector<uint8_t>* bytes);

    // Makes the samplers and the 1x1 white texture that stands in for a missing one. Context current.
    void Create();
    void Release();

    // The GL texture of a device texture, uploaded first when its copy changed since the last upload (a
    // texture being locked right now keeps its previous contents until it is unlocked). Render targets get
    // storage once and are never uploaded: their pixels are made on the GPU. An upload binds the texture
    // to the given unit, and drops the copy of a texture that may lose it when GL can give it back
    // (Texture::DropCopy): the game's pictures then live once, in GL.
    GLuint Prepare(Texture* texture, GlStateCache& state, int unit = 0);
    GLuint WhiteTexture() const { return white_; }

    // Binds a stage: its texture (or the white one) and its sampler with the stage's sampler states.
    void BindStage(int stage, Texture* texture, const DWORD* samplerStates, GlStateCache& state);

    // Frees a texture's GL object (backEndData of a dead texture).
    static void Destroy(GlTexture* texture, GlStateCache& state);

    void SetMirrorClampAvailable(bool available) { mirrorClamp_ = available; }

private:
    struct SamplerShadow {
        GLuint name = 0;
        bool known = false;
        DWORD addressU = 0, addressV = 0, border = 0, mag = 0, min = 0, mip = 0, lodBias = 0, maxLevel = 0;
    };

    void Upload(Texture* texture, GlTexture* gl, GlStateCache& state, int unit);
    GLenum AddressMode(DWORD address) const;

    SamplerShadow samplers_[STAGES];
    GLuint white_ = 0;
    bool mirrorClamp_ = false;
};
