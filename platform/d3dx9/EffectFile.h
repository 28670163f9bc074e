#pragma once
// Platform-internal: the parsed form of one of our effect files.
//
// An effect file is GLSL with a small declaration header. The header comes first, in a C-like syntax
// (// and /* */ comments, free layout); then come GLSL sections, each opened by a line holding only
// its marker:
//
//     @common     GLSL compiled into both stages (helpers, constants)
//     @vertex     GLSL of the vertex stage
//     @fragment   GLSL of the fragment stage
//
// Header declarations:
//
//     float gameTime = 0.0;                    parameter: type, name, optional default
//     float4 FogData = {5000, 20000, 0, 1};
//     float4x4 mWorldMatrixArray[26];          an array of N elements (no default)
//     float4x3 mBonePalette[26];               four rows of three columns: an affine matrix in 12 floats
//     int CurNumBones = 1;
//     bool useFog = true;
//     shared float4x4 viewProjMatrix;          shared: one value per effect pool (see below)
//     texture pBaseTexture { AddressU = Wrap; AddressV = Wrap; MinFilter = Linear; MagFilter = Linear;
//                            MipFilter = Linear; };
//     varying float2 texCoord;                 passed from the vertex to the fragment stage
//
//     technique Basic
//     {
//         pass P0
//         {
//             VertexShader = BasicVS;          a `void BasicVS()` of the @vertex (or @common) section
//             PixelShader = BasicPS;           a `void BasicPS()` of the @fragment (or @common) section
//             ZEnable = true;                  render states applied by BeginPass
//             SrcBlend = SrcAlpha;
//         }
//     }
//
// Parameter types: float, float2, float3, float4, float4x3, float4x4, int, bool, texture. Each parameter
// becomes a GLSL uniform of the same name (float2..4 -> vec2..4, float4x4 -> mat4, texture -> sampler2D).
// Matrices are the D3DX row-major matrices uploaded unchanged, so a GLSL program multiplies `M * v` where
// the Direct3D source would say mul(v, M). A float4x3 is kept as Direct3D 9 keeps it in constant
// registers: three vec4, the first three columns of the D3DX matrix (its fourth column, 0 0 0 1 for an
// affine matrix, is left out), so `float4x3 m[N]` becomes `vec4 m[3 * N]` and mul(v, m[i]) is
// `vec3(dot(m[3 * i], v), dot(m[3 * i + 1], v), dot(m[3 * i + 2], v))`; SetMatrix and SetMatrixArray
// take D3DX matrices for it. It cannot be a varying. Texture parameters are bound to texture stages in the order of
// their declaration (the first to stage 0); their optional block sets that stage's sampler states
// (AddressU/V/W = Wrap, Mirror, Clamp, Border, MirrorOnce; MinFilter/MagFilter/MipFilter = None, Point,
// Linear, Anisotropic; MaxAnisotropy = n; BorderColor = 0xAARRGGBB).
//
// A `shared` parameter lives once in the effect pool the effect is created with: every effect of that
// pool that declares it (with the same type and array size) sees one value; the first declaration's
// default is the starting value. Without a pool a shared parameter is an ordinary one.
//
// Pass render states (names and values case-insensitive): ZEnable, ZWriteEnable, ZFunc, AlphaBlendEnable,
// SrcBlend, DestBlend, BlendOp, SeparateAlphaBlendEnable, SrcBlendAlpha, DestBlendAlpha, BlendOpAlpha,
// AlphaTestEnable, AlphaRef, AlphaFunc, CullMode, FillMode, FogEnable, ColorWriteEnable, StencilEnable,
// DepthBias, SlopeScaleDepthBias. Values: true/false, numbers (decimal or 0x hex), or the Direct3D names
// without prefix: Zero, One, SrcColor, InvSrcColor, SrcAlpha, InvSrcAlpha, DestAlpha, InvDestAlpha,
// DestColor, InvDestColor, SrcAlphaSat; Add, Subtract, RevSubtract, Min, Max; Never, Less, Equal,
// LessEqual, Greater, NotEqual, GreaterEqual, Always; None, CW, CCW; Point, Wireframe, Solid.
//
// What each stage is compiled from (GLSL 3.30 core), in order: a prologue of our own, the @common
// section, the stage's section and `void main() { Entry(); }`. The prologue declares the uniforms, the
// varyings (`out` in the vertex stage, `in` in the fragment stage), defines VERTEX_SHADER or
// FRAGMENT_SHADER and:
//   vertex stage:   the vertex inputs at the device's fixed locations: vec4 inPosition (xyz, or the
//                   pixel x, y, z, rhw of pre-transformed vertices), vec3 inNormal, vec4 inDiffuse,
//                   vec4 inSpecular, vec4 inBlendWeight, vec4 inBlendIndices, float inPSize,
//                   vec4 inTexCoord0..inTexCoord7;
//                   uniform vec4 fxViewport (x, y, width, height of the device viewport in pixels, set by
//                   the effect at every pass) and vec4 fxPixelToClip(vec4 pretransformed), which turns a
//                   pre-transformed vertex's pixel position into a clip-space position; uniform vec4 fxFog
//                   as the fragment stage has it, for a program that works its fog out per vertex (it
//                   then leaves fxFogFactor at 1 and blends toward fxFog.yzw itself);
//   fragment stage: `out vec4 fragColor` at location 0, and uniform vec4 fxAlphaTest (enabled, D3DCMP
//                   function, reference 0..255) that the effect sets from the device's ALPHATESTENABLE,
//                   ALPHAFUNC and ALPHAREF at every pass and commit: main() discards the fragments whose
//                   fragColor.a fails the test, so the alpha test applies to effects as it did to shaders;
//                   `float fxFogFactor = 1.0`, which the entry may set (1 no fog, 0 all fog), and uniform
//                   vec4 fxFog (enabled, fog red, green, blue) from the device's FOGENABLE and FOGCOLOR:
//                   with fog on, main() then blends fragColor.rgb toward the fog colour by that factor.
// #line directives keep the GLSL compiler's line numbers those of the effect file.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum class EffectParamType : uint8_t
{
    FLOAT,
    FLOAT2,
    FLOAT3,
    FLOAT4,
    FLOAT4X3,
    FLOAT4X4,
    INT,
    BOOL,
    TEXTURE
};

// Number of 32-bit components of one element (0 for a texture).
uint32_t EffectParamComponents(EffectParamType type);
const char* EffectParamTypeName(EffectParamType type);

struct EffectStateAssignment {
    uint32_t state = 0; // a D3DRENDERSTATETYPE, or a D3DSAMPLERSTATETYPE in a texture's block
    uint32_t value = 0;
};

struct EffectParameterDecl {
    std::string name;
    EffectParamType type = EffectParamType::FLOAT;
    uint32_t arraySize = 0; // 0: not an array
    bool shared = false;
    // Components in order, as 32-bit words: floats for the float types, int32 for int and bool. Empty
    // without a default; shorter than the parameter when the default lists fewer values (rest zero).
    std::vector<uint32_t> defaultValue;
    std::vector<EffectStateAssignment> samplerStates;
    int line = 0;

    uint32_t ElementCount() const { return arraySize == 0 ? 1 : arraySize; }
    uint32_t ComponentCount() const { return EffectParamComponents(type) * ElementCount(); }
};

struct EffectVaryingDecl {
    std::string name;
    EffectParamType type = EffectParamType::FLOAT;
};

struct EffectPassDecl {
    std::string name;
    std::string vertexEntry;
    std::string fragmentEntry;
    std::vector<EffectStateAssignment> renderStates;
    int line = 0;
};

struct EffectTechniqueDecl {
    std::string name;
    std::vector<EffectPassDecl> passes;
    int line = 0;
};

class EffectFile
{
public:
    // Parses a whole file. On failure returns false and Error() says where and what ("line 12: ...").
    bool Parse(std::string_view text);
    const std::string& Error() const { return error_; }

    const std::vector<EffectParameterDecl>& Parameters() const { return parameters_; }
    const std::vector<EffectVaryingDecl>& Varyings() const { return varyings_; }
    const std::vector<EffectTechniqueDecl>& Techniques() const { return techniques_; }

    // The complete GLSL of one stage of a pass (see the format description above). The fragment stage applies
    // the device's alpha test only when asked: a `discard` anywhere in a program slows every fragment of it.
    std::string VertexSource(const EffectPassDecl& pass) const;
    std::string FragmentSource(const EffectPassDecl& pass, bool alphaTest) const;

private:
    struct Section {
        std::string text;
        int firstLine = 0; // file line of the section's first line of text; 0 when the section is absent
    };

    class HeaderParser;

    bool Fail(int line, const std::string& message);
    bool ParseHeader(std::string_view header);
    bool SplitSections(std::string_view text, std::string_view& header);
    bool CheckEntries();
    std::string Prologue(bool vertexStage) const;
    static void AppendSection(std::string& out, const Section& section);

    std::string error_;
    std::vector<EffectParameterDecl> parameters_;
    std::vector<EffectVaryingDecl> varyings_;
    std::vector<EffectTechniqueDecl> techniques_;
    Section common_;
    Section vertex_;
    Section fragment_;
};
