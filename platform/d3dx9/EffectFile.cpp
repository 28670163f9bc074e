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

bool EffectFile::ParseHeader(std::string_view header)
{
    std::vector<Token> tokens;
    {
        Tokenizer tokenizer(header, 1);
        std::string error;
        for (;;) {
            Token token;
            if (!tokenizer.Next(token, error))
                return Fail(token.line, error);
            tokens.push_back(token);
            if (token.kind == Token::END)
                break;
        }
    }
    size_t at = 0;
    auto peek = [&]() -> const Token& { return tokens[at]; };
    auto take = [&]() -> const Token& { return tokens[at < tokens.size() - 1 ? at++ : at]; };
    auto isPunct = [](const Token& t, char c) { return t.kind == Token::PUNCT && t.text[0] == c; };
    auto describe = [](const Token& t) -> std::string {
        return t.kind == Token::END ? std::string("the end of the header") : "'" + t.text + "'";
    };
    auto expectPunct = [&](char c, const std::string& context) -> bool {
        const Token& t = take();
        if (!isPunct(t, c))
            return Fail(t.line, std::string("expected '") + c + "' " + context + ", found " + describe(t));
        return true;
    };
    auto expectIdent = [&](std::string& out, const std::string& what) -> bool {
        const Token& t = take();
        if (t.kind != Token::IDENT)
            return Fail(t.line, "expected " + what + ", found " + describe(t));
        out = t.text;
        return true;
    };
    // Reads `Name = Value;` lines up to the closing brace, against one table of state names.
    auto parseStateBlock = [&](const StateName* table, size_t tableSize, const char* what,
                               std::vector<EffectStateAssignment>& out, EffectPassDecl* pass) -> bool {
        for (;;) {
            const Token& t = take();
            if (isPunct(t, '}'))
                return true;
            if (t.kind != Token::IDENT)
                return Fail(t.line, std::string("expected a ") + what + " or '}', found " + describe(t));
            const std::string name = t.text;
            const int line = t.line;
            if (!expectPunct('=', "after '" + name + "'"))
                return false;
            const Token& value = take();
            if (pass != nullptr && (EqualsNoCase(name, "VertexShader") || EqualsNoCase(name, "PixelShader") ||
                                    EqualsNoCase(name, "FragmentShader"))) {
                if (value.kind != Token::IDENT)
                    return Fail(value.line, "expected a GLSL function name after '" + name + " ='");
                (EqualsNoCase(name, "VertexShader") ? pass->vertexEntry : pass->fragmentEntry) = value.text;
            } else {
                const StateName* state = nullptr;
                for (size_t i = 0; i < tableSize; ++i)
                    if (EqualsNoCase(table[i].name, name))
                        state = &table[i];
                if (state == nullptr)
                    return Fail(line, std::string("unknown ") + what + " '" + name + "'");
                uint32_t parsed = 0;
                if (!ParseStateValue(state->kind, value, parsed))
                    return Fail(value.line, "invalid value " + describe(value) + " for '" + name + "'");
                bool replaced = false;
                for (EffectStateAssignment& existing : out)
                    if (existing.state == state->state) {
                        existing.value = parsed;
                        replaced = true;
                    }
                if (!replaced)
                    out.push_back({state->state, parsed});
            }
            if (!expectPunct(';', "after the value of '" + name + "'"))
                return false;
        }
    };
    auto nameTaken = [&](const std::string& name) {
        for (const EffectParameterDecl& p : parameters_)
            if (p.name == name)
                return true;
        for (const EffectVaryingDecl& v : varyings_)
            if (v.name == name)
                return true;
        return false;
    };

    while (peek().kind != Token::END) {
        const Token& first = take();
        if (first.kind != Token::IDENT)
            return Fail(first.line, "expected a declaration, found " + describe(first));

        if (first.text == "technique") {
            EffectTechniqueDecl technique;
            technique.line = first.line;
            if (!expectIdent(technique.name, "a technique name"))
                return false;
            for (const EffectTechniqueDecl& other : techniques_)
                if (other.name == technique.name)
                    return Fail(first.line, "technique '" + technique.name + "' declared twice");
            if (!expectPunct('{', "after the technique name"))
                return false;
            for (;;) {
                const Token& t = take();
                if (isPunct(t, '}'))
                    break;
                if (t.kind != Token::IDENT || t.text != "pass")
                    return Fail(t.line,
                                "expected 'pass' or '}' in technique '" + technique.name + "', found " + describe(t));
                EffectPassDecl pass;
                pass.line = t.line;
                if (!expectIdent(pass.name, "a pass name") || !expectPunct('{', "after the pass name"))
                    return false;
                if (!parseStateBlock(RENDER_STATES, std::size(RENDER_STATES), "render state", pass.renderStates, &pass))
                    return false;
                if (pass.vertexEntry.empty() || pass.fragmentEntry.empty())
                    return Fail(pass.line, "pass '" + pass.name + "' of technique '" + technique.name +
                                               "' needs both VertexShader and PixelShader");
                technique.passes.push_back(std::move(pass));
            }
            if (technique.passes.empty())
                return Fail(technique.line, "technique '" + technique.name + "' has no pass");
            if (isPunct(peek(), ';'))
                take();
            techniques_.push_back(std::move(technique));
            continue;
        }

        if (first.text == "varying") {
            EffectVaryingDecl varying;
            std::string typeName;
            if (!expectIdent(typeName, "a varying type"))
                return false;
            if (!ParseType(typeName, varying.type) || varying.type == EffectParamType::TEXTURE ||
                varying.type == EffectParamType::BOOL || varying.type == EffectParamType::FLOAT4X3)
                return Fail(first.line, "a varying cannot have the type '" + typeName + "'");
            if (!expectIdent(varying.name, "a varying name"))
                return false;
            if (nameTaken(varying.name) || IsReservedName(varying.name))
                return Fail(first.line, "the name '" + varying.name + "' is already taken");
            if (!expectPunct(';', "after the varying"))
                return false;
            varyings_.push_back(std::move(varying));
            continue;
        }

        EffectParameterDecl param;
        param.line = first.line;
        std::string typeName = first.text;
        if (typeName == "shared") {
            param.shared = true;
            if (!expectIdent(typeName, "a parameter type after 'shared'"))
                return false;
        }
        if (!ParseType(typeName, param.type))
            return Fail(first.line, "unknown parameter type '" + typeName + "'");
        if (!expectIdent(param.name, "a parameter name"))
            return false;
        if (nameTaken(param.name))
            return Fail(first.line, "parameter '" + param.name + "' declared twice");
        if (IsReservedName(param.name))
            return Fail(first.line, "the name '" + param.name + "' is reserved");
        if (isPunct(peek(), '[')) {
            take();
            const Token& size = take();
            uint32_t count = 0;
            if (size.kind != Token::NUMBER || !ParseInteger(size.text, count) || count == 0 || count > 1024)
                return Fail(size.line, "expected an array size from 1 to 1024, found " + describe(size));
            if (param.type == EffectParamType::TEXTURE)
                return Fail(size.line, "texture arrays are not supported");
            param.arraySize = count;
            if (!expectPunct(']', "after the array size"))
                return false;
        }
        if (isPunct(peek(), '=')) {
            take();
            if (param.type == EffectParamType::TEXTURE)
                return Fail(param.line, "a texture parameter has no default value");
            std::vector<Token> values;
            if (isPunct(peek(), '{')) {
                take();
                for (;;) {
                    values.push_back(take());
                    const Token& separator = take();
                    if (isPunct(separator, '}'))
                        break;
                    if (!isPunct(separator, ','))
                        return Fail(separator.line, "expected ',' or '}' in the default of '" + param.name +
                                                        "', found " + describe(separator));
                }
            } else {
                values.push_back(take());
            }
            if (values.size() > param.ComponentCount())
                return Fail(param.line, "the default of '" + param.name + "' has " + std::to_string(values.size()) +
                                            " values, more than its " + std::to_string(param.ComponentCount()));
            for (const Token& v : values) {
                uint32_t word = 0;
                if (param.type == EffectParamType::BOOL || param.type == EffectParamType::INT) {
                    uint32_t flag = 0;
                    if (v.kind == Token::IDENT && LookUp(BOOL_VALUES, v.text, flag))
                        word = flag;
                    else if (v.kind != Token::NUMBER || !ParseInteger(v.text, word))
                        return Fail(v.line, "invalid value " + describe(v) + " in the default of '" + param.name + "'");
                    if (param.type == EffectParamType::BOOL)
                        word = word != 0 ? 1 : 0;
                } else {
                    float f = 0.0f;
                    if (v.kind != Token::NUMBER || !ParseFloat(v.text, f))
                        return Fail(v.line, "invalid value " + describe(v) + " in the default of '" + param.name + "'");
                    std::memcpy(&word, &f, sizeof(word));
                }
                param.defaultValue.push_back(word);
            }
        }
        if (isPunct(peek(), '{')) {
            take();
            if (param.type != EffectParamType::TEXTURE)
                return Fail(param.line, "only a texture parameter takes sampler states");
            if (!parseStateBlock(SAMPLER_STATES, std::size(SAMPLER_STATES), "sampler state", param.samplerStates,
                                 nullptr))
                return false;
        }
        if (!expectPunct(';', "after the declaration of '" + param.name + "'"))
            return false;
        parameters_.push_back(std::move(param));
    }
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
               "}\n";
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
