#pragma once
// Platform-internal: the fixed-function pipeline as generated GLSL. Every combination of the states that
// change the program's structure (vertex layout, texture stage operations, alpha test, fog) gets one program,
// made on first use and kept; everything that is only a value (matrices, colours, reference values) is a
// uniform uploaded when it changed since the program last saw it.

#include <epoxy/gl.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

class GlStateCache;

constexpr int FIXED_FUNCTION_STAGES = 8;

struct FixedFunctionStage {
    uint8_t colorOp; // D3DTOP_*; D3DTOP_DISABLE ends the cascade
    uint8_t colorArg1; // D3DTA_* with modifiers
    uint8_t colorArg2;
    uint8_t alphaOp;
    uint8_t alphaArg1;
    uint8_t alphaArg2;
    uint8_t texCoordSet; // vertex texture-coordinate set the stage reads; NO_TEXCOORDS when the FVF has none
    uint8_t texCoordSize; // components of that set in the vertex (1..4)
    uint8_t transform; // D3DTTFF count (0 = no transform), with TRANSFORM_PROJECTED
    uint8_t textured; // a texture is bound; without one the stage reads opaque white and fetches nothing
    uint8_t pad[2];
};

enum FixedFunctionFog : uint8_t
{
    FIXED_FOG_NONE = 0,
    FIXED_FOG_LINEAR_DEPTH = 1, // distance = eye-space z
    FIXED_FOG_LINEAR_RANGE = 2, // distance = eye-space distance from the eye
    FIXED_FOG_SPECULAR_ALPHA = 3, // pre-transformed vertices carry their own fog factor in the specular alpha
};

// The structural state of a draw. Built zero-filled so that it can be hashed and compared bytewise.
struct FixedFunctionKey {
    static constexpr uint8_t NO_TEXCOORDS = 0xFF;
    static constexpr uint8_t TRANSFORM_PROJECTED = 0x80;

    // Stages before the first whose colour operation is DISABLE, less the trailing ones that would pass the
    // colour on unchanged (no texture, modulating white with the current colour).
    uint8_t stageCount;
    uint8_t pretransformed; // XYZRHW positions
    uint8_t alphaFunc; // D3DCMP_* of the alpha test; 0 = no test
    uint8_t fog; // FixedFunctionFog
    uint8_t specularAdd; // SPECULARENABLE with specular colours in the vertex
    uint8_t pad[3];
    FixedFunctionStage stages[FIXED_FUNCTION_STAGES];

    FixedFunctionKey();
    bool operator==(const FixedFunctionKey& other) const;
};

struct FixedFunctionKeyHash {
    size_t operator()(const FixedFunctionKey& key) const;
};

// The values the programs read. Each group carries a serial that the owner bumps whenever the group's
// values change; a program uploads a group only when its serial differs from the one it last uploaded.
struct FixedFunctionUniforms {
    // Matrices as the device holds them (row-major, row-vector); uploaded unchanged, multiplied M * v.
    float worldView[16];
    float projection[16];
    uint32_t transformSerial;
    float viewport[4]; // x, y, 2 / width, 2 / height of the current viewport in render-target pixels
    uint32_t viewportSerial;
    float textureMatrix[FIXED_FUNCTION_STAGES][16];
    uint32_t textureMatrixSerial;
    float textureFactor[4]; // TEXTUREFACTOR as RGBA 0..1
    float alphaRef; // ALPHAREF 0..255
    float fogColor[3];
    float fogEnd;
    float fogScale; // 1 / (fog end - fog start)
    float pointSize;
    uint32_t valuesSerial; // texture factor, alpha reference, fog and point size
};

class GlFixedFunction
{
public:
    // clipControl: the context maps clip-space depth 0..1 and the y flip itself (glClipControl);
    // without it the generated vertex code does both.
    explicit GlFixedFunction(bool clipControl);
    ~GlFixedFunction();
    GlFixedFunction(const GlFixedFunction&) = delete;
    GlFixedFunction& operator=(const GlFixedFunction&) = delete;

    // Makes the program for the key current and brings its uniforms up to date. False when the
    // program could not be built (a fault of the generator, reported once on stderr).
    bool Use(const FixedFunctionKey& key, const FixedFunctionUniforms& uniforms, GlStateCache& state);

    size_t ProgramCount() const { return programs_.size(); }

    // The generated sources, for tests and diagnostics.
    static std::string VertexSource(const FixedFunctionKey& key, bool clipControl);
    static std::string FragmentSource(const FixedFunctionKey& key);

    // Deletes the GL programs; the context must be current.
    void Release();

private:
    struct Program;
    Program* Build(const FixedFunctionKey& key);

    bool clipControl_;
    std::unordered_map<FixedFunctionKey, std::unique_ptr<Program>, FixedFunctionKeyHash> programs_;
    const FixedFunctionKey* lastKey_ = nullptr;
    Program* lastProgram_ = nullptr;
};
