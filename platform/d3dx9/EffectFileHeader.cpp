// Reading the header of an effect file: its parameters, varyings and techniques.
#include "d3dx9/EffectFile.h"

#include "d3d9/D3D9.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

struct Token {
    enum Kind
    {
        END,
        IDENT,
        NUMBER,
        PUNCT
    } kind = END;
    std::string text;
    int line = 0;
};

// Splits the header into identifiers, numbers and single-character punctuation, skipping comments.
class Tokenizer
{
public:
    Tokenizer(std::string_view text, int firstLine) : text_(text), line_(firstLine) { }

    // False (with the line of the fault) on an unterminated comment or a stray character.
    bool Next(Token& token, std::string& error)
    {
        SkipSpaceAndComments();
        token = Token{};
        token.line = line_;
        if (unterminatedComment_) {
            error = "unterminated comment";
            return false;
        }
        if (pos_ >= text_.size())
            return true;
        const char c = text_[pos_];
        if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            const size_t start = pos_;
            while (pos_ < text_.size() && (std::isalnum(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == '_'))
                ++pos_;
            token.kind = Token::IDENT;
            token.text.assign(text_.substr(start, pos_ - start));
            return true;
        }
        if (std::isdigit(static_cast<unsigned char>(c)) || c == '-' || c == '+' || c == '.') {
            const size_t start = pos_;
            ++pos_;
            while (pos_ < text_.size()) {
                const char d = text_[pos_];
                const bool exponentSign = (d == '-' || d == '+') &&
                                          (text_[pos_ - 1] == 'e' || text_[pos_ - 1] == 'E') &&
                                          !(text_.substr(start, 2) == "0x" || text_.substr(start, 2) == "0X");
                if (std::isalnum(static_cast<unsigned char>(d)) || d == '.' || exponentSign)
                    ++pos_;
                else
                    break;
            }
            token.kind = Token::NUMBER;
            token.text.assign(text_.substr(start, pos_ - start));
            return true;
        }
        if (std::strchr("{}[]=;,", c)) {
            ++pos_;
            token.kind = Token::PUNCT;
            token.text.assign(1, c);
            return true;
        }
        error = std::string("unexpected character '") +
                (std::isprint(static_cast<unsigned char>(c)) ? std::string(1, c) : "?") + "'";
        return false;
    }

private:
    void SkipSpaceAndComments()
    {
        while (pos_ < text_.size()) {
            const char c = text_[pos_];
            if (c == '\n') {
                ++line_;
                ++pos_;
            } else if (std::isspace(static_cast<unsigned char>(c))) {
                ++pos_;
            } else if (text_.substr(pos_, 2) == "//") {
                while (pos_ < text_.size() && text_[pos_] != '\n')
                    ++pos_;
            } else if (text_.substr(pos_, 2) == "/*") {
                const size_t end = text_.find("*/", pos_ + 2);
                const size_t stop = end == std::string_view::npos ? text_.size() : end + 2;
                for (size_t i = pos_; i < stop; ++i)
                    if (text_[i] == '\n')
                        ++line_;
                pos_ = stop;
                if (end == std::string_view::npos)
                    unterminatedComment_ = true;
            } else {
                break;
            }
        }
    }

    std::string_view text_;
    size_t pos_ = 0;
    int line_;
    bool unterminatedComment_ = false;
};

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

struct NamedValue {
    const char* name;
    uint32_t value;
};

constexpr NamedValue BLEND_VALUES[] = {
    {"Zero", D3DBLEND_ZERO},
    {"One", D3DBLEND_ONE},
    {"SrcColor", D3DBLEND_SRCCOLOR},
    {"InvSrcColor", D3DBLEND_INVSRCCOLOR},
    {"SrcAlpha", D3DBLEND_SRCALPHA},
    {"InvSrcAlpha", D3DBLEND_INVSRCALPHA},
    {"DestAlpha", D3DBLEND_DESTALPHA},
    {"InvDestAlpha", D3DBLEND_INVDESTALPHA},
    {"DestColor", D3DBLEND_DESTCOLOR},
    {"InvDestColor", D3DBLEND_INVDESTCOLOR},
    {"SrcAlphaSat", D3DBLEND_SRCALPHASAT},
};
constexpr NamedValue BLENDOP_VALUES[] = {
    {"Add", D3DBLENDOP_ADD}, {"Subtract", D3DBLENDOP_SUBTRACT}, {"RevSubtract", D3DBLENDOP_REVSUBTRACT},
    {"Min", D3DBLENDOP_MIN}, {"Max", D3DBLENDOP_MAX},
};
constexpr NamedValue CMP_VALUES[] = {
    {"Never", D3DCMP_NEVER},
    {"Less", D3DCMP_LESS},
    {"Equal", D3DCMP_EQUAL},
    {"LessEqual", D3DCMP_LESSEQUAL},
    {"Greater", D3DCMP_GREATER},
    {"NotEqual", D3DCMP_NOTEQUAL},
    {"GreaterEqual", D3DCMP_GREATEREQUAL},
    {"Always", D3DCMP_ALWAYS},
};
constexpr NamedValue CULL_VALUES[] = {{"None", D3DCULL_NONE}, {"CW", D3DCULL_CW}, {"CCW", D3DCULL_CCW}};
constexpr NamedValue FILL_VALUES[] = {
    {"Point", D3DFILL_POINT}, {"Wireframe", D3DFILL_WIREFRAME}, {"Solid", D3DFILL_SOLID}};
constexpr NamedValue ADDRESS_VALUES[] = {
    {"Wrap", D3DTADDRESS_WRAP},     {"Mirror", D3DTADDRESS_MIRROR},         {"Clamp", D3DTADDRESS_CLAMP},
    {"Border", D3DTADDRESS_BORDER}, {"MirrorOnce", D3DTADDRESS_MIRRORONCE},
};
constexpr NamedValue FILTER_VALUES[] = {
    {"None", D3DTEXF_NONE},
    {"Point", D3DTEXF_POINT},
    {"Linear", D3DTEXF_LINEAR},
    {"Anisotropic", D3DTEXF_ANISOTROPIC},
};
constexpr NamedValue BOOL_VALUES[] = {{"true", 1}, {"false", 0}};

enum class ValueKind
{
    BOOL,
    NUMBER,
    BLEND,
    BLENDOP,
    CMP,
    CULL,
    FILL,
    ADDRESS,
    FILTER
};

struct StateName {
    const char* name;
    uint32_t state;
    ValueKind kind;
};

constexpr StateName RENDER_STATES[] = {
    {"ZEnable", D3DRS_ZENABLE, ValueKind::BOOL},
    {"ZWriteEnable", D3DRS_ZWRITEENABLE, ValueKind::BOOL},
    {"ZFunc", D3DRS_ZFUNC, ValueKind::CMP},
    {"AlphaBlendEnable", D3DRS_ALPHABLENDENABLE, ValueKind::BOOL},
    {"SrcBlend", D3DRS_SRCBLEND, ValueKind::BLEND},
    {"DestBlend", D3DRS_DESTBLEND, ValueKind::BLEND},
    {"BlendOp", D3DRS_BLENDOP, ValueKind::BLENDOP},
    {"SeparateAlphaBlendEnable", D3DRS_SEPARATEALPHABLENDENABLE, ValueKind::BOOL},
    {"SrcBlendAlpha", D3DRS_SRCBLENDALPHA, ValueKind::BLEND},
    {"DestBlendAlpha", D3DRS_DESTBLENDALPHA, ValueKind::BLEND},
    {"BlendOpAlpha", D3DRS_BLENDOPALPHA, ValueKind::BLENDOP},
    {"AlphaTestEnable", D3DRS_ALPHATESTENABLE, ValueKind::BOOL},
    {"AlphaRef", D3DRS_ALPHAREF, ValueKind::NUMBER},
    {"AlphaFunc", D3DRS_ALPHAFUNC, ValueKind::CMP},
    {"CullMode", D3DRS_CULLMODE, ValueKind::CULL},
    {"FillMode", D3DRS_FILLMODE, ValueKind::FILL},
    {"FogEnable", D3DRS_FOGENABLE, ValueKind::BOOL},
    {"ColorWriteEnable", D3DRS_COLORWRITEENABLE, ValueKind::NUMBER},
    {"StencilEnable", D3DRS_STENCILENABLE, ValueKind::BOOL},
    {"DepthBias", D3DRS_DEPTHBIAS, ValueKind::NUMBER},
    {"SlopeScaleDepthBias", D3DRS_SLOPESCALEDEPTHBIAS, ValueKind::NUMBER},
};

constexpr StateName SAMPLER_STATES[] = {
    {"AddressU", D3DSAMP_ADDRESSU, ValueKind::ADDRESS},
    {"AddressV", D3DSAMP_ADDRESSV, ValueKind::ADDRESS},
    {"AddressW", D3DSAMP_ADDRESSW, ValueKind::ADDRESS},
    {"MinFilter", D3DSAMP_MINFILTER, ValueKind::FILTER},
    {"MagFilter", D3DSAMP_MAGFILTER, ValueKind::FILTER},
    {"MipFilter", D3DSAMP_MIPFILTER, ValueKind::FILTER},
    {"MaxAnisotropy", D3DSAMP_MAXANISOTROPY, ValueKind::NUMBER},
    {"BorderColor", D3DSAMP_BORDERCOLOR, ValueKind::NUMBER},
};

template <size_t N>
bool LookUp(const NamedValue (&table)[N], std::string_view name, uint32_t& value)
{
    for (const NamedValue& entry : table)
        if (EqualsNoCase(entry.name, name)) {
            value = entry.value;
            return true;
        }
    return false;
}

bool ParseInteger(const std::string& text, uint32_t& value)
{
    errno = 0;
    char* end = nullptr;
    const long long parsed = std::strtoll(text.c_str(), &end, 0);
    if (errno != 0 || end == text.c_str() || *end != '\0' || parsed < INT32_MIN || parsed > UINT32_MAX)
        return false;
    value = static_cast<uint32_t>(parsed);
    return true;
}

bool ParseFloat(const std::string& text, float& value)
{
    std::string body = text;
    if (!body.empty() && (body.back() == 'f' || body.back() == 'F') && body.find_first_of("xX") == std::string::npos)
        body.pop_back();
    errno = 0;
    char* end = nullptr;
    value = std::strtof(body.c_str(), &end);
    return errno == 0 && end != body.c_str() && *end == '\0';
}

bool ParseStateValue(ValueKind kind, const Token& token, uint32_t& value)
{
    if (token.kind == Token::NUMBER) {
        if (kind == ValueKind::NUMBER || kind == ValueKind::BOOL)
            return ParseInteger(token.text, value);
        // Enumerated states also accept their raw numbers, as the Direct3D constants are.
        return ParseInteger(token.text, value);
    }
    if (token.kind != Token::IDENT)
        return false;
    switch (kind) {
    case ValueKind::BOOL:
        return LookUp(BOOL_VALUES, token.text, value);
    case ValueKind::NUMBER:
        return false;
    case ValueKind::BLEND:
        return LookUp(BLEND_VALUES, token.text, value);
    case ValueKind::BLENDOP:
        return LookUp(BLENDOP_VALUES, token.text, value);
    case ValueKind::CMP:
        return LookUp(CMP_VALUES, token.text, value);
    case ValueKind::CULL:
        return LookUp(CULL_VALUES, token.text, value);
    case ValueKind::FILL:
        return LookUp(FILL_VALUES, token.text, value);
    case ValueKind::ADDRESS:
        return LookUp(ADDRESS_VALUES, token.text, value);
    case ValueKind::FILTER:
        return LookUp(FILTER_VALUES, token.text, value);
    }
    return false;
}

bool ParseType(std::string_view name, EffectParamType& type)
{
    static constexpr struct {
        const char* name;
        EffectParamType type;
    } TYPES[] = {
        {"float", EffectParamType::FLOAT},       {"float2", EffectParamType::FLOAT2},
        {"float3", EffectParamType::FLOAT3},     {"float4", EffectParamType::FLOAT4},
        {"float4x3", EffectParamType::FLOAT4X3}, {"float4x4", EffectParamType::FLOAT4X4},
        {"int", EffectParamType::INT},           {"bool", EffectParamType::BOOL},
        {"texture", EffectParamType::TEXTURE},
    };
    for (const auto& entry : TYPES)
        if (name == entry.name) {
            type = entry.type;
            return true;
        }
    return false;
}

bool IsReservedName(const std::string& name)
{
    static constexpr const char* RESERVED[] = {
        "main",        "fxViewport",  "fxPixelToClip", "fxAlphaTest",    "fxAlphaPasses",
        "fragColor",   "fxFog",       "fxFogFactor",   "inPosition",     "inNormal",
        "inDiffuse",   "inSpecular",  "inBlendWeight", "inBlendIndices", "inPSize",
        "inTexCoord0", "inTexCoord1", "inTexCoord2",   "inTexCoord3",    "inTexCoord4",
        "inTexCoord5", "inTexCoord6", "inTexCoord7",   "VERTEX_SHADER",  "FRAGMENT_SHADER",
    };
    if (name.rfind("gl_", 0) == 0)
        return true;
    for (const char* reserved : RESERVED)
        if (name == reserved)
            return true;
    return false;
}

} // namespace

// Reads the header's declarations into the file's tables, one phase per kind of declaration. The last token is
// always END, and reading past it stays there, so no phase can run off the end of a truncated header.
class EffectFile::HeaderParser
{
public:
    explicit HeaderParser(EffectFile& file) : file_(file) { }

    bool Parse(std::string_view header)
    {
        if (!Tokenize(header))
            return false;
        while (Peek().kind != Token::END) {
            const Token& first = Take();
            if (first.kind != Token::IDENT)
                return file_.Fail(first.line, "expected a declaration, found " + Describe(first));
            if (first.text == "technique") {
                if (!ParseTechnique(first))
                    return false;
            } else if (first.text == "varying") {
                if (!ParseVarying(first))
                    return false;
            } else if (!ParseParameter(first)) {
                return false;
            }
        }
        return true;
    }

private:
    bool Tokenize(std::string_view header)
    {
        Tokenizer tokenizer(header, 1);
        std::string error;
        for (;;) {
            Token token;
            if (!tokenizer.Next(token, error))
                return file_.Fail(token.line, error);
            tokens_.push_back(token);
            if (token.kind == Token::END)
                return true;
        }
    }

    const Token& Peek() const { return tokens_[at_]; }
    const Token& Take() { return tokens_[at_ < tokens_.size() - 1 ? at_++ : at_]; }
    static bool IsPunct(const Token& t, char c) { return t.kind == Token::PUNCT && t.text[0] == c; }
    static std::string Describe(const Token& t)
    {
        return t.kind == Token::END ? std::string("the end of the header") : "'" + t.text + "'";
    }

    bool ExpectPunct(char c, const std::string& context)
    {
        const Token& t = Take();
        if (!IsPunct(t, c))
            return file_.Fail(t.line, std::string("expected '") + c + "' " + context + ", found " + Describe(t));
        return true;
    }

    bool ExpectIdent(std::string& out, const std::string& what)
    {
        const Token& t = Take();
        if (t.kind != Token::IDENT)
            return file_.Fail(t.line, "expected " + what + ", found " + Describe(t));
        out = t.text;
        return true;
    }

    bool NameTaken(const std::string& name) const
    {
        for (const EffectParameterDecl& p : file_.parameters_)
            if (p.name == name)
                return true;
        for (const EffectVaryingDecl& v : file_.varyings_)
            if (v.name == name)
                return true;
        return false;
    }

    // Reads `Name = Value;` lines up to the closing brace, against one table of state names.
    bool ParseStateBlock(const StateName* table, size_t tableSize, const char* what,
                         std::vector<EffectStateAssignment>& out, EffectPassDecl* pass)
    {
        for (;;) {
            const Token& t = Take();
            if (IsPunct(t, '}'))
                return true;
            if (t.kind != Token::IDENT)
                return file_.Fail(t.line, std::string("expected a ") + what + " or '}', found " + Describe(t));
            const std::string name = t.text;
            const int line = t.line;
            if (!ExpectPunct('=', "after '" + name + "'"))
                return false;
            const Token& value = Take();
            if (pass != nullptr && (EqualsNoCase(name, "VertexShader") || EqualsNoCase(name, "PixelShader") ||
                                    EqualsNoCase(name, "FragmentShader"))) {
                if (value.kind != Token::IDENT)
                    return file_.Fail(value.line, "expected a GLSL function name after '" + name + " ='");
                (EqualsNoCase(name, "VertexShader") ? pass->vertexEntry : pass->fragmentEntry) = value.text;
            } else if (!AssignState(table, tableSize, what, name, line, value, out)) {
                return false;
            }
            if (!ExpectPunct(';', "after the value of '" + name + "'"))
                return false;
        }
    }

    // A state named twice in one block keeps its last value, as the device would after both assignments.
    bool AssignState(const StateName* table, size_t tableSize, const char* what, const std::string& name, int line,
                     const Token& value, std::vector<EffectStateAssignment>& out)
    {
        const StateName* state = nullptr;
        for (size_t i = 0; i < tableSize; ++i)
            if (EqualsNoCase(table[i].name, name))
                state = &table[i];
        if (state == nullptr)
            return file_.Fail(line, std::string("unknown ") + what + " '" + name + "'");
        uint32_t parsed = 0;
        if (!ParseStateValue(state->kind, value, parsed))
            return file_.Fail(value.line, "invalid value " + Describe(value) + " for '" + name + "'");
        bool replaced = false;
        for (EffectStateAssignment& existing : out)
            if (existing.state == state->state) {
                existing.value = parsed;
                replaced = true;
            }
        if (!replaced)
            out.push_back({state->state, parsed});
        return true;
    }

    bool ParseTechnique(const Token& first)
    {
        EffectTechniqueDecl technique;
        technique.line = first.line;
        if (!ExpectIdent(technique.name, "a technique name"))
            return false;
        for (const EffectTechniqueDecl& other : file_.techniques_)
            if (other.name == technique.name)
                return file_.Fail(first.line, "technique '" + technique.name + "' declared twice");
        if (!ExpectPunct('{', "after the technique name"))
            return false;
        for (;;) {
            const Token& t = Take();
            if (IsPunct(t, '}'))
                break;
            if (t.kind != Token::IDENT || t.text != "pass")
                return file_.Fail(t.line,
                                  "expected 'pass' or '}' in technique '" + technique.name + "', found " + Describe(t));
            EffectPassDecl pass;
            pass.line = t.line;
            if (!ExpectIdent(pass.name, "a pass name") || !ExpectPunct('{', "after the pass name"))
                return false;
            if (!ParseStateBlock(RENDER_STATES, std::size(RENDER_STATES), "render state", pass.renderStates, &pass))
                return false;
            if (pass.vertexEntry.empty() || pass.fragmentEntry.empty())
                return file_.Fail(pass.line, "pass '" + pass.name + "' of technique '" + technique.name +
                                                 "' needs both VertexShader and PixelShader");
            technique.passes.push_back(std::move(pass));
        }
        if (technique.passes.empty())
            return file_.Fail(technique.line, "technique '" + technique.name + "' has no pass");
        if (IsPunct(Peek(), ';'))
            Take();
        file_.techniques_.push_back(std::move(technique));
        return true;
    }

    bool ParseVarying(const Token& first)
    {
        EffectVaryingDecl varying;
        std::string typeName;
        if (!ExpectIdent(typeName, "a varying type"))
            return false;
        if (!ParseType(typeName, varying.type) || varying.type == EffectParamType::TEXTURE ||
            varying.type == EffectParamType::BOOL || varying.type == EffectParamType::FLOAT4X3)
            return file_.Fail(first.line, "a varying cannot have the type '" + typeName + "'");
        if (!ExpectIdent(varying.name, "a varying name"))
            return false;
        if (NameTaken(varying.name) || IsReservedName(varying.name))
            return file_.Fail(first.line, "the name '" + varying.name + "' is already taken");
        if (!ExpectPunct(';', "after the varying"))
            return false;
        file_.varyings_.push_back(std::move(varying));
        return true;
    }

    bool ParseParameter(const Token& first)
    {
        EffectParameterDecl param;
        param.line = first.line;
        std::string typeName = first.text;
        if (typeName == "shared") {
            param.shared = true;
            if (!ExpectIdent(typeName, "a parameter type after 'shared'"))
                return false;
        }
        if (!ParseType(typeName, param.type))
            return file_.Fail(first.line, "unknown parameter type '" + typeName + "'");
        if (!ExpectIdent(param.name, "a parameter name"))
            return false;
        if (NameTaken(param.name))
            return file_.Fail(first.line, "parameter '" + param.name + "' declared twice");
        if (IsReservedName(param.name))
            return file_.Fail(first.line, "the name '" + param.name + "' is reserved");
        if (IsPunct(Peek(), '[') && !ParseArraySize(param))
            return false;
        if (IsPunct(Peek(), '=') && !ParseDefault(param))
            return false;
        if (IsPunct(Peek(), '{')) {
            Take();
            if (param.type != EffectParamType::TEXTURE)
                return file_.Fail(param.line, "only a texture parameter takes sampler states");
            if (!ParseStateBlock(SAMPLER_STATES, std::size(SAMPLER_STATES), "sampler state", param.samplerStates,
                                 nullptr))
                return false;
        }
        if (!ExpectPunct(';', "after the declaration of '" + param.name + "'"))
            return false;
        file_.parameters_.push_back(std::move(param));
        return true;
    }

    // `[N]` after a parameter's name.
    bool ParseArraySize(EffectParameterDecl& param)
    {
        Take();
        const Token& size = Take();
        uint32_t count = 0;
        if (size.kind != Token::NUMBER || !ParseInteger(size.text, count) || count == 0 || count > 1024)
            return file_.Fail(size.line, "expected an array size from 1 to 1024, found " + Describe(size));
        if (param.type == EffectParamType::TEXTURE)
            return file_.Fail(size.line, "texture arrays are not supported");
        param.arraySize = count;
        return ExpectPunct(']', "after the array size");
    }

    // `= value` or `= {v, v, ...}` after a parameter's name, stored as the words the device will upload.
    bool ParseDefault(EffectParameterDecl& param)
    {
        Take();
        if (param.type == EffectParamType::TEXTURE)
            return file_.Fail(param.line, "a texture parameter has no default value");
        std::vector<Token> values;
        if (IsPunct(Peek(), '{')) {
            Take();
            for (;;) {
                values.push_back(Take());
                const Token& separator = Take();
                if (IsPunct(separator, '}'))
                    break;
                if (!IsPunct(separator, ','))
                    return file_.Fail(separator.line, "expected ',' or '}' in the default of '" + param.name +
                                                          "', found " + Describe(separator));
            }
        } else {
            values.push_back(Take());
        }
        if (values.size() > param.ComponentCount())
            return file_.Fail(param.line, "the default of '" + param.name + "' has " + std::to_string(values.size()) +
                                              " values, more than its " + std::to_string(param.ComponentCount()));
        for (const Token& v : values) {
            uint32_t word = 0;
            if (param.type == EffectParamType::BOOL || param.type == EffectParamType::INT) {
                uint32_t flag = 0;
                if (v.kind == Token::IDENT && LookUp(BOOL_VALUES, v.text, flag))
                    word = flag;
                else if (v.kind != Token::NUMBER || !ParseInteger(v.text, word))
                    return file_.Fail(v.line,
                                      "invalid value " + Describe(v) + " in the default of '" + param.name + "'");
                if (param.type == EffectParamType::BOOL)
                    word = word != 0 ? 1 : 0;
            } else {
                float f = 0.0f;
                if (v.kind != Token::NUMBER || !ParseFloat(v.text, f))
                    return file_.Fail(v.line,
                                      "invalid value " + Describe(v) + " in the default of '" + param.name + "'");
                std::memcpy(&word, &f, sizeof(word));
            }
            param.defaultValue.push_back(word);
        }
        return true;
    }

    EffectFile& file_;
    std::vector<Token> tokens_;
    size_t at_ = 0;
};

bool EffectFile::ParseHeader(std::string_view header)
{
    return HeaderParser(*this).Parse(header);
}
