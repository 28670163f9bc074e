#pragma once
// Platform-internal: an effect program (IShaderProgram) as a linked GLSL program.
//
// How to write programs for this device (the effect layer relies on all of this):
//
// Sources. "#version 330 core" is put in front of a source that names no version. Compile and link
// messages go to GetLog(); a program that failed is IsValid() == FALSE and a draw with it does nothing.
// Programs are compiled on the drawing thread: one made on another thread (the loading thread) compiles
// at its first use, its first IsValid() or GetLog() on the drawing thread; before that it counts as valid.
//
// Vertex attributes. Each FVF element arrives at its ShaderAttribute location, bound by these names (a
// layout(location = N) qualifier in the source works as well):
//     0 inPosition      vec4: x, y, z, 1 for XYZ; x, y, z, rhw for XYZRHW (as given: pixels, no transform)
//     1 inNormal        vec3
//     2 inDiffuse       vec4: the D3DCOLOR as r, g, b, a in 0..1; (1, 1, 1, 1) when the FVF has none
//     3 inSpecular      vec4: as inDiffuse; (0, 0, 0, 1) when absent
//     4 inBlendWeight   float..vec4: the blend weights of XYZB1..XYZB5
//     5 inBlendIndices  vec4: the four index bytes in memory order as 0..255 (UBYTE4 and D3DCOLOR alike)
//     6 inPSize         float
//     7..14 inTexCoord0..inTexCoord7  vec4 of the set's 1..4 floats, missing components (0, 0, 0, 1)
//
// Matrices. SHADER_UNIFORM_MAT4 values are D3DX matrices (row-major, row-vector convention) and are
// uploaded unchanged, so GLSL sees their transpose: write "M * v" where the HLSL wrote mul(v, M), e.g.
//     gl_Position = worldViewProjMatrix * vec4(inPosition.xyz, 1.0);
// and "A * B" in GLSL where D3DX would compute B * A. Arrays of matrices work the same way (count > 1).
//
// Clip space is Direct3D's: x, y in -1..1 with +y up on screen, depth z/w in 0..1. The device maps it so
// that the top of the picture is row 0 of every render target, and texture coordinate v = 0 is row 0 of
// every texture: a render-target texture sampled at (0, 0) gives its top-left pixel, as in Direct3D.
// Front faces are clockwise on screen, as in Direct3D (CULLMODE applies to programs too).
//
// Samplers. A sampler2D uniform set with SHADER_UNIFORM_SAMPLER to stage n reads the texture of stage n
// (SetTexture(n, ...)) with stage n's sampler states (address modes, filters). Unset samplers read stage 0.
// A stage without a texture reads opaque white.
//
// Uniforms. SetUniform keeps the value; a draw uploads what changed since the program's last draw.
// Names are GLSL names (an array by its bare name); unknown names and names the compiler optimised away
// are ignored; count is clamped to the declared array size. Set from the drawing thread.

#include "d3d9/ShaderProgram.h"

#include <epoxy/gl.h>

#include <atomic>
#include <string>
#include <unordered_map>

class GlStateCache;

// The GL side of a program, kept in its backEndData so that the device deletes it on the drawing thread.
struct GlLinkedProgram {
    struct Location {
        GLint location = -1;
        GLint size = 0; // array elements
    };
    GLuint program = 0;
    std::unordered_map<std::string, Location> uniforms; // active uniforms by bare name
    std::unordered_map<const ShaderUniform*, Location> bound; // the stored values resolved to locations
    uint64_t uploadedVersion = 0;
    unsigned stageMask = 1; // texture stages the program's samplers read
};

class GlProgram : public ShaderProgram
{
public:
    GlProgram(DeviceBase* device, const char* vertexSource, const char* fragmentSource, bool clipControl);

    const char* GetLog() override;
    BOOL IsValid() override;

    // Drawing thread: compiles on first use, makes the program current and uploads the uniforms that
    // changed. False when the program is invalid.
    bool Prepare(GlStateCache& state);
    // The texture stages its samplers read (bit n = stage n). Valid after Prepare.
    unsigned StageMask() const;

private:
    void CompileIfDue();
    void Upload(GlLinkedProgram& linked);

    bool clipControl_;
    bool compileTried_ = false; // drawing thread only
    std::atomic<bool> compiled_{false}; // log and validity are final once set
};
