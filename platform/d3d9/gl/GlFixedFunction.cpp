#include "d3d9/gl/GlFixedFunction.h"

#include "d3d9/D3D9.h"
#include "d3d9/gl/GlShaderCompiler.h"
#include "d3d9/gl/GlStateCache.h"
#include "win32/Log.h"

#include <cstdio>
#include <cstring>

FixedFunctionKey::FixedFunctionKey()
{
    std::memset(this, 0, sizeof *this);
}

bool FixedFunctionKey::operator==(const FixedFunctionKey& other) const
{
    return std::memcmp(this, &other, sizeof *this) == 0;
}

size_t FixedFunctionKeyHash::operator()(const FixedFunctionKey& key) const
{
    // FNV-1a over the bytes; the key is zero-filled so padding never differs.
    const auto* bytes = reinterpret_cast<const unsigned char*>(&key);
    uint64_t hash = 1469598103934665603ull;
    for (size_t i = 0; i < sizeof key; ++i) {
        hash ^= bytes[i];
        hash *= 1099511628211ull;
    }
    return static_cast<size_t>(hash);
}

struct GlFixedFunction::Program {
    GLuint program = 0;
    bool failed = false;
    GLint worldView = -1;
    GLint projection = -1;
    GLint viewport = -1;
    GLint textureMatrix[FIXED_FUNCTION_STAGES] = {-1, -1, -1, -1, -1, -1, -1, -1};
    GLint textureFactor = -1;
    GLint alphaRef = -1;
    GLint fogColor = -1;
    GLint fogParams = -1;
    GLint pointSize = -1;
    // Serials of the values last uploaded; 0 is never a live serial, so a new program uploads everything.
    uint32_t transformSerial = 0;
    uint32_t viewportSerial = 0;
    uint32_t textureMatrixSerial = 0;
    uint32_t valuesSerial = 0;
};

GlFixedFunction::GlFixedFunction(bool clipControl) : clipControl_(clipControl)
{ }

GlFixedFunction::~GlFixedFunction() = default;

void GlFixedFunction::Release()
{
    for (auto& entry : programs_) {
        if (entry.second->program)
            glDeleteProgram(entry.second->program);
    }
    programs_.clear();
    lastKey_ = nullptr;
    lastProgram_ = nullptr;
}

namespace {

bool StageReadsTexture(const FixedFunctionStage& stage)
{
    auto reads = [](uint8_t arg) { return (arg & D3DTA_SELECTMASK) == D3DTA_TEXTURE; };
    if (reads(stage.colorArg1) || reads(stage.colorArg2))
        return true;
    if (stage.alphaOp != D3DTOP_DISABLE && (reads(stage.alphaArg1) || reads(stage.alphaArg2)))
        return true;
    return stage.colorOp == D3DTOP_BLENDTEXTUREALPHA || stage.alphaOp == D3DTOP_BLENDTEXTUREALPHA;
}

std::string Argument(uint8_t arg)
{
    std::string value;
    switch (arg & D3DTA_SELECTMASK) {
    case D3DTA_DIFFUSE:
        value = "diffuse";
        break;
    case D3DTA_CURRENT:
        value = "current";
        break;
    case D3DTA_TEXTURE:
        value = "tex";
        break;
    case D3DTA_TFACTOR:
        value = "uTextureFactor";
        break;
    case D3DTA_SPECULAR:
        value = "specular";
        break;
    case D3DTA_TEMP:
        value = "temp";
        break;
    default:
        value = "vec4(1.0)";
        break; // per-stage constants are not used by the game
    }
    if (arg & D3DTA_ALPHAREPLICATE)
        value = "vec4(" + value + ".a)";
    if (arg & D3DTA_COMPLEMENT)
        value = "(vec4(1.0) - " + value + ")";
    return value;
}

// One operation on two arguments; swizzle selects ".rgb" or ".a" of each argument.
std::string Operation(uint8_t op, const std::string& a1, const std::string& a2, const char* swizzle)
{
    const std::string x = "(" + a1 + ")" + swizzle;
    const std::string y = "(" + a2 + ")" + swizzle;
    auto blend = [&](const std::string& factor) { return "mix(" + y + ", " + x + ", " + factor + ")"; };
    switch (op) {
    case D3DTOP_SELECTARG2:
        return y;
    case D3DTOP_MODULATE:
        return x + " * " + y;
    case D3DTOP_MODULATE2X:
        return x + " * " + y + " * 2.0";
    case D3DTOP_MODULATE4X:
        return x + " * " + y + " * 4.0";
    case D3DTOP_ADD:
        return x + " + " + y;
    case D3DTOP_ADDSIGNED:
        return x + " + " + y + " - 0.5";
    case D3DTOP_ADDSIGNED2X:
        return "(" + x + " + " + y + " - 0.5) * 2.0";
    case D3DTOP_SUBTRACT:
        return x + " - " + y;
    case D3DTOP_ADDSMOOTH:
        return x + " + " + y + " - " + x + " * " + y;
    case D3DTOP_BLENDDIFFUSEALPHA:
        return blend("diffuse.a");
    case D3DTOP_BLENDTEXTUREALPHA:
        return blend("tex.a");
    case D3DTOP_BLENDFACTORALPHA:
        return blend("uTextureFactor.a");
    case D3DTOP_BLENDCURRENTALPHA:
        return blend("current.a");
    case D3DTOP_SELECTARG1:
    default:
        return x; // operations the game never sets fall back to the first argument
    }
}

const char* Comparison(uint8_t func)
{
    switch (func) {
    case D3DCMP_LESS:
        return "<";
    case D3DCMP_EQUAL:
        return "==";
    case D3DCMP_LESSEQUAL:
        return "<=";
    case D3DCMP_GREATER:
        return ">";
    case D3DCMP_NOTEQUAL:
        return "!=";
    case D3DCMP_GREATEREQUAL:
        return ">=";
    default:
        return nullptr;
    }
}

// The vertex shader's inputs, uniforms and outputs for the state in key.
std::string VertexDeclarations(const FixedFunctionKey& key)
{
    std::string s = "#version 330 core\n";
    s += "layout(location = 0) in vec4 inPosition;\n";
    s += "layout(location = 2) in vec4 inDiffuse;\n";
    s += "layout(location = 3) in vec4 inSpecular;\n";
    bool setUsed[8] = {};
    for (int i = 0; i < key.stageCount; ++i) {
        if (key.stages[i].texCoordSet < 8)
            setUsed[key.stages[i].texCoordSet] = true;
    }
    for (int set = 0; set < 8; ++set) {
        if (setUsed[set])
            s += "layout(location = " + std::to_string(SHADER_ATTRIB_TEXCOORD0 + set) + ") in vec4 inTexCoord" +
                 std::to_string(set) + ";\n";
    }
    if (key.pretransformed)
        s += "uniform vec4 uViewport;\n";
    else
        s += "uniform mat4 uWorldView;\nuniform mat4 uProjection;\n";
    for (int i = 0; i < key.stageCount; ++i) {
        if (key.stages[i].transform & 0x7F)
            s += "uniform mat4 uTextureMatrix" + std::to_string(i) + ";\n";
    }
    s += "uniform float uPointSize;\n";
    if (key.fog == FIXED_FOG_LINEAR_DEPTH || key.fog == FIXED_FOG_LINEAR_RANGE)
        s += "uniform vec2 uFogParams;\n";
    s += "out vec4 vDiffuse;\nout vec4 vSpecular;\nout float vFog;\n";
    for (int i = 0; i < key.stageCount; ++i)
        s += "out vec2 vTexCoord" + std::to_string(i) + ";\n";
    return s;
}

// The line of the vertex shader that writes texture coordinate i for its stage.
std::string TexCoordLine(const FixedFunctionStage& stage, int i)
{
    const std::string out = "    vTexCoord" + std::to_string(i) + " = ";
    if (stage.texCoordSet >= 8)
        return out + "vec2(0.0);\n";
    const std::string in = "inTexCoord" + std::to_string(stage.texCoordSet);
    const int count = stage.transform & 0x7F;
    if (count == 0)
        return out + in + ".xy;\n";
    // The texture matrix sees the coordinates padded with a 1 after the last one the vertex holds,
    // so a two-component set moves by the matrix's third row (_31, _32), as Direct3D does.
    std::string padded;
    switch (stage.texCoordSize) {
    case 1:
        padded = "vec4(" + in + ".x, 1.0, 0.0, 0.0)";
        break;
    case 2:
        padded = "vec4(" + in + ".xy, 1.0, 0.0)";
        break;
    case 3:
        padded = "vec4(" + in + ".xyz, 1.0)";
        break;
    default:
        padded = in;
        break;
    }
    const std::string transformed = "(uTextureMatrix" + std::to_string(i) + " * " + padded + ")";
    if ((stage.transform & FixedFunctionKey::TRANSFORM_PROJECTED) && count >= 2) {
        static const char* last[] = {"x", "x", "y", "z", "w"};
        return out + transformed + ".xy / " + transformed + "." + last[count] + ";\n";
    }
    return out + transformed + ".xy;\n";
}

} // namespace

std::string GlFixedFunction::VertexSource(const FixedFunctionKey& key, bool clipControl)
{
    std::string s = VertexDeclarations(key);
    s += "void main()\n{\n";
    if (key.pretransformed) {
        // Positions are render-target pixels from the top-left corner; rhw keeps perspective-correct
        // interpolation of what the caller projected itself.
        s += "    float w = inPosition.w != 0.0 ? 1.0 / inPosition.w : 1.0;\n";
        s += "    vec2 ndc = vec2((inPosition.x - uViewport.x) * uViewport.z - 1.0,\n"
             "                    1.0 - (inPosition.y - uViewport.y) * uViewport.w);\n";
        s += "    gl_Position = vec4(ndc * w, inPosition.z * w, w);\n";
    } else {
        s += "    vec4 eye = uWorldView * vec4(inPosition.xyz, 1.0);\n";
        s += "    gl_Position = uProjection * eye;\n";
    }
    switch (key.fog) {
    case FIXED_FOG_LINEAR_DEPTH:
        s += "    vFog = clamp((uFogParams.x - abs(eye.z)) * uFogParams.y, 0.0, 1.0);\n";
        break;
    case FIXED_FOG_LINEAR_RANGE:
        s += "    vFog = clamp((uFogParams.x - length(eye.xyz)) * uFogParams.y, 0.0, 1.0);\n";
        break;
    case FIXED_FOG_SPECULAR_ALPHA:
        s += "    vFog = inSpecular.a;\n";
        break;
    default:
        s += "    vFog = 1.0;\n";
        break;
    }
    s += "    vDiffuse = inDiffuse;\n    vSpecular = inSpecular;\n";
    for (int i = 0; i < key.stageCount; ++i)
        s += TexCoordLine(key.stages[i], i);
    s += "    gl_PointSize = uPointSize;\n";
    if (!clipControl) {
        // Without clip control: flip y so that memory row 0 is the top, and map depth 0..1 onto -1..1.
        s += "    gl_Position.y = -gl_Position.y;\n";
        s += "    gl_Position.z = 2.0 * gl_Position.z - gl_Position.w;\n";
    }
    s += "}\n";
    return s;
}

std::string GlFixedFunction::FragmentSource(const FixedFunctionKey& key)
{
    std::string s = "#version 330 core\n";
    s += "in vec4 vDiffuse;\nin vec4 vSpecular;\nin float vFog;\n";
    for (int i = 0; i < key.stageCount; ++i) {
        s += "in vec2 vTexCoord" + std::to_string(i) + ";\n";
        s += "uniform sampler2D uTexture" + std::to_string(i) + ";\n";
    }
    s += "uniform vec4 uTextureFactor;\n";
    if (key.alphaFunc)
        s += "uniform float uAlphaRef;\n";
    if (key.fog)
        s += "uniform vec3 uFogColor;\n";
    s += "out vec4 outColor;\n";
    s += "void main()\n{\n";
    s += "    vec4 diffuse = vDiffuse;\n    vec4 specular = vSpecular;\n";
    s += "    vec4 current = diffuse;\n    vec4 temp = vec4(0.0);\n    vec4 tex;\n";
    for (int i = 0; i < key.stageCount; ++i) {
        const FixedFunctionStage& stage = key.stages[i];
        const std::string n = std::to_string(i);
        if (StageReadsTexture(stage) && stage.textured)
            s += "    tex = texture(uTexture" + n + ", vTexCoord" + n + ");\n";
        else
            s += "    tex = vec4(1.0);\n";
        const std::string rgb = Operation(stage.colorOp, Argument(stage.colorArg1), Argument(stage.colorArg2), ".rgb");
        std::string alpha = "current.a";
        if (stage.alphaOp != D3DTOP_DISABLE)
            alpha = Operation(stage.alphaOp, Argument(stage.alphaArg1), Argument(stage.alphaArg2), ".a");
        s += "    current = clamp(vec4(" + rgb + ", " + alpha + "), 0.0, 1.0);\n";
    }
    if (key.specularAdd)
        s += "    current.rgb = clamp(current.rgb + specular.rgb, 0.0, 1.0);\n";
    if (key.alphaFunc) {
        // Compared as the 8-bit value Direct3D compares, so 127 and 128 are told apart exactly.
        const char* cmp = Comparison(key.alphaFunc);
        if (key.alphaFunc == D3DCMP_NEVER)
            s += "    discard;\n";
        else if (cmp)
            s += std::string("    if (!(floor(current.a * 255.0 + 0.5) ") + cmp + " uAlphaRef))\n        discard;\n";
    }
    if (key.fog)
        s += "    current.rgb = mix(uFogColor, current.rgb, vFog);\n";
    s += "    outColor = current;\n}\n";
    return s;
}

GlFixedFunction::Program* GlFixedFunction::Build(const FixedFunctionKey& key)
{
    auto program = std::make_unique<Program>();
    std::string log;
    program->program = GlShaderCompiler::Link(VertexSource(key, clipControl_), FragmentSource(key), false, &log);
    if (!program->program) {
        program->failed = true;
        LogFormat(LogLevel::ERROR, "gl.program", "d3d9/gl: a fixed-function program failed to build: %s", log.c_str());
    } else {
        GLuint p = program->program;
        program->worldView = glGetUniformLocation(p, "uWorldView");
        program->projection = glGetUniformLocation(p, "uProjection");
        program->viewport = glGetUniformLocation(p, "uViewport");
        for (int i = 0; i < FIXED_FUNCTION_STAGES; ++i)
            program->textureMatrix[i] = glGetUniformLocation(p, ("uTextureMatrix" + std::to_string(i)).c_str());
        program->textureFactor = glGetUniformLocation(p, "uTextureFactor");
        program->alphaRef = glGetUniformLocation(p, "uAlphaRef");
        program->fogColor = glGetUniformLocation(p, "uFogColor");
        program->fogParams = glGetUniformLocation(p, "uFogParams");
        program->pointSize = glGetUniformLocation(p, "uPointSize");
        glUseProgram(p);
        for (int i = 0; i < key.stageCount; ++i) {
            GLint sampler = glGetUniformLocation(p, ("uTexture" + std::to_string(i)).c_str());
            if (sampler >= 0)
                glUniform1i(sampler, i);
        }
    }
    Program* raw = program.get();
    auto inserted = programs_.emplace(key, std::move(program));
    lastKey_ = &inserted.first->first;
    lastProgram_ = raw;
    return raw;
}

bool GlFixedFunction::Use(const FixedFunctionKey& key, const FixedFunctionUniforms& u, GlStateCache& state)
{
    Program* program = nullptr;
    if (lastKey_ && *lastKey_ == key) {
        program = lastProgram_;
    } else {
        auto found = programs_.find(key);
        if (found != programs_.end()) {
            program = found->second.get();
            lastKey_ = &found->first;
            lastProgram_ = program;
        } else {
            // Build leaves its new program current in GL but not in the cache: forget the cached one.
            program = Build(key);
            state.UseProgram(0);
        }
    }
    if (program->failed)
        return false;
    state.UseProgram(program->program);

    if (program->transformSerial != u.transformSerial) {
        if (program->worldView >= 0)
            glUniformMatrix4fv(program->worldView, 1, GL_FALSE, u.worldView);
        if (program->projection >= 0)
            glUniformMatrix4fv(program->projection, 1, GL_FALSE, u.projection);
        program->transformSerial = u.transformSerial;
    }
    if (program->viewportSerial != u.viewportSerial) {
        if (program->viewport >= 0)
            glUniform4fv(program->viewport, 1, u.viewport);
        program->viewportSerial = u.viewportSerial;
    }
    if (program->textureMatrixSerial != u.textureMatrixSerial) {
        for (int i = 0; i < FIXED_FUNCTION_STAGES; ++i) {
            if (program->textureMatrix[i] >= 0)
                glUniformMatrix4fv(program->textureMatrix[i], 1, GL_FALSE, u.textureMatrix[i]);
        }
        program->textureMatrixSerial = u.textureMatrixSerial;
    }
    if (program->valuesSerial != u.valuesSerial) {
        if (program->textureFactor >= 0)
            glUniform4fv(program->textureFactor, 1, u.textureFactor);
        if (program->alphaRef >= 0)
            glUniform1f(program->alphaRef, u.alphaRef);
        if (program->fogColor >= 0)
            glUniform3fv(program->fogColor, 1, u.fogColor);
        if (program->fogParams >= 0)
            glUniform2f(program->fogParams, u.fogEnd, u.fogScale);
        if (program->pointSize >= 0)
            glUniform1f(program->pointSize, u.pointSize);
        program->valuesSerial = u.valuesSerial;
    }
    return true;
}
