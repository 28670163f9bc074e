#include "d3dx9/EffectFile.h"

#include "d3d9/D3D9.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

const char* GlslType(EffectParamType type)
{
    switch (type) {
    case EffectParamType::FLOAT:
        return "float";
    case EffectParamType::FLOAT2:
        return "vec2";
    case EffectParamType::FLOAT3:
        return "vec3";
    case EffectParamType::FLOAT4:
    case EffectParamType::FLOAT4X3: // three of them a matrix
        return "vec4";
    case EffectParamType::FLOAT4X4:
        return "mat4";
    case EffectParamType::INT:
        return "int";
    case EffectParamType::BOOL:
        return "bool";
    case EffectParamType::TEXTURE:
        return "sampler2D";
    }
    return "float";
}

bool IsGlslIdentifierChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// True when text holds a definition `void name(`, allowing any spacing.
bool DefinesFunction(const std::string& text, const std::string& name)
{
    size_t pos = 0;
    while ((pos = text.find(name, pos)) != std::string::npos) {
        const size_t end = pos + name.size();
        const bool startOk = pos == 0 || !IsGlslIdentifierChar(text[pos - 1]);
        const bool endOk = end >= text.size() || !IsGlslIdentifierChar(text[end]);
        if (startOk && endOk) {
            size_t after = end;
            while (after < text.size() && std::isspace(static_cast<unsigned char>(text[after])))
                ++after;
            size_t before = pos;
            while (before > 0 && std::isspace(static_cast<unsigned char>(text[before - 1])))
                --before;
            if (after < text.size() && text[after] == '(' && before >= 4 && text.compare(before - 4, 4, "void") == 0 &&
                (before == 4 || !IsGlslIdentifierChar(text[before - 5])))
                return true;
        }
        pos = end;
    }
    return false;
}

} // namespace

uint32_t EffectParamComponents(EffectParamType type)
{
    switch (type) {
    case EffectParamType::FLOAT:
        return 1;
    case EffectParamType::FLOAT2:
        return 2;
    case EffectParamType::FLOAT3:
        return 3;
    case EffectParamType::FLOAT4:
        return 4;
    case EffectParamType::FLOAT4X3:
        return 12;
    case EffectParamType::FLOAT4X4:
        return 16;
    case EffectParamType::INT:
        return 1;
    case EffectParamType::BOOL:
        return 1;
    case EffectParamType::TEXTURE:
        return 0;
    }
    return 0;
}

const char* EffectParamTypeName(EffectParamType type)
{
    switch (type) {
    case EffectParamType::FLOAT:
        return "float";
    case EffectParamType::FLOAT2:
        return "float2";
    case EffectParamType::FLOAT3:
        return "float3";
    case EffectParamType::FLOAT4:
        return "float4";
    case EffectParamType::FLOAT4X3:
        return "float4x3";
    case EffectParamType::FLOAT4X4:
        return "float4x4";
    case EffectParamType::INT:
        return "int";
    case EffectParamType::BOOL:
        return "bool";
    case EffectParamType::TEXTURE:
        return "texture";
    }
    return "?";
}

bool EffectFile::Fail(int line, const std::string& message)
{
    error_ = "line " + std::to_string(line) + ": " + message;
    return false;
}

bool EffectFile::Parse(std::string_view text)
{
    error_.clear();
    parameters_.clear();
    varyings_.clear();
    techniques_.clear();
    common_ = vertex_ = fragment_ = Section{};

    if (text.find('\0') != std::string_view::npos)
        return Fail(1, "the file holds a NUL byte (not a text file)");
    std::string_view header;
    if (!SplitSections(text, header))
        return false;
    if (!ParseHeader(header))
        return false;
    if (techniques_.empty())
        return Fail(1, "no technique declared");
    return CheckEntries();
}

bool EffectFile::SplitSections(std::string_view text, std::string_view& header)
{
    Section* current = nullptr;
    size_t headerEnd = text.size();
    int line = 1;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        const size_t next = end == std::string_view::npos ? text.size() : end + 1;
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view content = text.substr(pos, end - pos);
        while (!content.empty() && std::isspace(static_cast<unsigned char>(content.back())))
            content.remove_suffix(1);
        while (!content.empty() && std::isspace(static_cast<unsigned char>(content.front())))
            content.remove_prefix(1);
        if (!content.empty() && content.front() == '@') {
            Section* section = nullptr;
            if (content == "@common")
                section = &common_;
            else if (content == "@vertex")
                section = &vertex_;
            else if (content == "@fragment")
                section = &fragment_;
            else
                return Fail(line, "unknown section marker '" + std::string(content) +
                                      "' (expected @common, @vertex or @fragment)");
            if (section->firstLine != 0)
                return Fail(line, "section " + std::string(content) + " appears twice");
            if (current == nullptr)
                headerEnd = pos;
            current = section;
            current->firstLine = line + 1;
        } else if (current != nullptr) {
            current->text.append(text.substr(pos, end - pos));
            current->text.push_back('\n');
        }
        pos = next;
        ++line;
    }
    header = text.substr(0, headerEnd);
    return true;
}

bool EffectFile::CheckEntries()
{
    const std::string vertexText = common_.text + vertex_.text;
    const std::string fragmentText = common_.text + fragment_.text;
    for (const EffectTechniqueDecl& technique : techniques_)
        for (const EffectPassDecl& pass : technique.passes) {
            const std::string where = " of pass '" + pass.name + "' in technique '" + technique.name + "'";
            if (!DefinesFunction(vertexText, pass.vertexEntry))
                return Fail(pass.line, "vertex entry 'void " + pass.vertexEntry + "()'" + where +
                                           " is not defined in @vertex or @common");
            if (!DefinesFunction(fragmentText, pass.fragmentEntry))
                return Fail(pass.line, "fragment entry 'void " + pass.fragmentEntry + "()'" + where +
                                           " is not defined in @fragment or @common");
        }
    return true;
}

std::string EffectFile::Prologue(bool vertexStage) const
{
    std::string out = "#version 330 core\n";
    out += vertexStage ? "#define VERTEX_SHADER 1\n" : "#define FRAGMENT_SHADER 1\n";
    if (vertexStage) {
        out += "layout(location = " + std::to_string(SHADER_ATTRIB_POSITION) + ") in vec4 inPosition;\n";
        out += "layout(location = " + std::to_string(SHADER_ATTRIB_NORMAL) + ") in vec3 inNormal;\n";
        out += "layout(location = " + std::to_string(SHADER_ATTRIB_DIFFUSE) + ") in vec4 inDiffuse;\n";
        out += "layout(location = " + std::to_string(SHADER_ATTRIB_SPECULAR) + ") in vec4 inSpecular;\n";
        out += "layout(location = " + std::to_string(SHADER_ATTRIB_BLENDWEIGHT) + ") in vec4 inBlendWeight;\n";
        out += "layout(location = " + std::to_string(SHADER_ATTRIB_BLENDINDICES) + ") in vec4 inBlendIndices;\n";
        out += "layout(location = " + std::to_string(SHADER_ATTRIB_PSIZE) + ") in float inPSize;\n";
        for (int i = 0; i < 8; ++i)
            out += "layout(location = " + std::to_string(SHADER_ATTRIB_TEXCOORD0 + i) + ") in vec4 inTexCoord" +
                   std::to_string(i) + ";\n";
        out += "uniform vec4 fxViewport;\n"
               "vec4 fxPixelToClip(vec4 p)\n"
               "{\n"
               "    float w = p.w != 0.0 ? 1.0 / p.w : 1.0;\n"
               "    vec2 ndc = vec2((p.x - fxViewport.x) / fxViewport.z * 2.0 - 1.0,\n"
               "                    1.0 - (p.y - fxViewport.y) / fxViewport.w * 2.0);\n"
               "    return vec4(ndc * w, p.z * w, w);\n"
               "}\n"
               "uniform vec4 fxFog;\n";
    } else {
        out += "layout(location = 0) out vec4 fragColor;\n"
               "uniform vec4 fxAlphaTest;\n"
               "uniform vec4 fxFog;\n"
               "float fxFogFactor = 1.0;\n"
               "bool fxAlphaPasses(float alpha)\n"
               "{\n"
               "    float a = floor(clamp(alpha, 0.0, 1.0) * 255.0 + 0.5);\n"
               "    float ref = fxAlphaTest.z;\n"
               "    int func = int(fxAlphaTest.y);\n"
               "    if (func == 1) return false;\n"
               "    if (func == 2) return a < ref;\n"
               "    if (func == 3) return a == ref;\n"
               "    if (func == 4) return a <= ref;\n"
               "    if (func == 5) return a > ref;\n"
               "    if (func == 6) return a != ref;\n"
               "    if (func == 7) return a >= ref;\n"
               "    return true;\n"
               "}\n";
    }
    for (const EffectParameterDecl& p : parameters_) {
        out += "uniform ";
        out += GlslType(p.type);
        out += ' ';
        out += p.name;
        if (p.type == EffectParamType::FLOAT4X3)
            out += "[" + std::to_string(3 * p.ElementCount()) + "]";
        else if (p.arraySize != 0)
            out += "[" + std::to_string(p.arraySize) + "]";
        out += ";\n";
    }
    for (const EffectVaryingDecl& v : varyings_) {
        out += vertexStage ? "out " : "in ";
        out += GlslType(v.type);
        out += ' ';
        out += v.name;
        out += ";\n";
    }
    return out;
}

void EffectFile::AppendSection(std::string& out, const Section& section)
{
    if (section.firstLine == 0)
        return;
    out += "#line " + std::to_string(section.firstLine) + "\n";
    out += section.text;
}

std::string EffectFile::VertexSource(const EffectPassDecl& pass) const
{
    std::string out = Prologue(true);
    AppendSection(out, common_);
    AppendSection(out, vertex_);
    out += "void main() { " + pass.vertexEntry + "(); }\n";
    return out;
}

std::string EffectFile::FragmentSource(const EffectPassDecl& pass, bool alphaTest) const
{
    std::string out = Prologue(false);
    AppendSection(out, common_);
    AppendSection(out, fragment_);
    out += "void main()\n{\n    " + pass.fragmentEntry + "();\n";
    if (alphaTest)
        out += "    if (fxAlphaTest.x != 0.0 && !fxAlphaPasses(fragColor.a))\n        discard;\n";
    out += "    if (fxFog.x != 0.0)\n        fragColor.rgb = mix(fxFog.yzw, fragColor.rgb, clamp(fxFogFactor, 0.0, "
           "1.0));\n}\n";
    return out;
}
