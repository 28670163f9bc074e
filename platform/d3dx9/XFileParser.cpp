#include "d3dx9/XFileParser.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <stdexcept>

namespace {

constexpr size_t HEADER_SIZE = 16;
// Frames nest; deeper than this is no model of ours and would only exhaust the stack.
constexpr int MAX_NESTING = 200;

enum class TokenKind : uint8_t
{
    WORD, // names and numbers
    STRING,
    OPEN,
    CLOSE,
};

struct Token {
    TokenKind kind;
    std::string_view text;
};

struct ParseError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

bool IsWordChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
           c == '.' || c == '+' || c == '[' || c == ']';
}

// Commas and semicolons only separate values in the text form; reading the values in template order
// needs nothing more from them, so they are dropped with the blanks. GUIDs (<...>) are dropped too.
std::vector<Token> Tokenize(std::string_view text)
{
    std::vector<Token> tokens;
    tokens.reserve(text.size() / 4);
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        const char c = text[i];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ',' || c == ';') {
            ++i;
        } else if (c == '#' || (c == '/' && i + 1 < n && text[i + 1] == '/')) {
            while (i < n && text[i] != '\n')
                ++i;
        } else if (c == '{') {
            tokens.push_back({TokenKind::OPEN, text.substr(i, 1)});
            ++i;
        } else if (c == '}') {
            tokens.push_back({TokenKind::CLOSE, text.substr(i, 1)});
            ++i;
        } else if (c == '<') {
            const size_t end = text.find('>', i);
            if (end == std::string_view::npos)
                throw ParseError("unterminated GUID");
            i = end + 1;
        } else if (c == '"') {
            const size_t end = text.find('"', i + 1);
            if (end == std::string_view::npos)
                throw ParseError("unterminated string");
            tokens.push_back({TokenKind::STRING, text.substr(i + 1, end - i - 1)});
            i = end + 1;
        } else if (IsWordChar(c)) {
            const size_t start = i;
            while (i < n && IsWordChar(text[i]))
                ++i;
            tokens.push_back({TokenKind::WORD, text.substr(start, i - start)});
        } else if (c < ' ' || c > '~') {
            char byte[8];
            std::snprintf(byte, sizeof byte, "0x%02X", static_cast<unsigned char>(c));
            throw ParseError(std::string("unexpected byte ") + byte);
        } else {
            throw ParseError(std::string("unexpected character '") + c + "'");
        }
    }
    return tokens;
}

D3DXMATRIX Identity()
{
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    return m;
}

class Parser
{
public:
    explicit Parser(std::vector<Token> tokens) : tokens_(std::move(tokens)) { }

    std::unique_ptr<XFileData> Run()
    {
        auto data = std::make_unique<XFileData>();
        while (!AtEnd()) {
            const std::string_view type = Word("a template or data object");
            if (type == "template") {
                SkipObjectAfterType();
                continue;
            }
            const std::string name = OptionalName();
            if (type == "Frame") {
                data->frames.push_back(ParseFrame(name, 0));
            } else if (type == "Mesh") {
                XFrame wrapper;
                wrapper.transform = Identity();
                wrapper.meshes.push_back(ParseMesh(name, 0));
                data->frames.push_back(std::move(wrapper));
            } else if (type == "Material") {
                XMaterial material = ParseMaterial(name, 0);
                if (!name.empty())
                    materials_[name] = material;
            } else if (type == "AnimTicksPerSecond") {
                Open();
                const uint32_t ticks = Count("ticks per second", UINT32_MAX);
                Close();
                if (ticks == 0)
                    throw ParseError("AnimTicksPerSecond is 0");
                data->ticksPerSecond = ticks;
            } else if (type == "AnimationSet") {
                data->animationSets.push_back(ParseAnimationSet(name, 0));
            } else {
                SkipBody();
            }
        }
        return data;
    }

private:
    bool AtEnd() const { return pos_ >= tokens_.size(); }
    size_t Remaining() const { return tokens_.size() - pos_; }

    const Token& Next(const char* what)
    {
        if (AtEnd())
            throw ParseError(std::string("file ends where ") + what + " should be");
        return tokens_[pos_++];
    }

    std::string_view Word(const char* what)
    {
        const Token& token = Next(what);
        if (token.kind != TokenKind::WORD)
            throw ParseError(std::string("expected ") + what);
        return token.text;
    }

    void Open()
    {
        if (Next("'{'").kind != TokenKind::OPEN)
            throw ParseError("expected '{'");
    }

    void Close()
    {
        if (Next("'}'").kind != TokenKind::CLOSE)
            throw ParseError("expected '}' (more values than the template holds)");
    }

    bool PeekClose() const { return !AtEnd() && tokens_[pos_].kind == TokenKind::CLOSE; }

    // The optional name between a template's name and its '{'.
    std::string OptionalName()
    {
        if (!AtEnd() && tokens_[pos_].kind == TokenKind::WORD)
            return std::string(tokens_[pos_++].text);
        return {};
    }

    void SkipBody()
    {
        Open();
        int depth = 1;
        while (depth > 0) {
            const Token& token = Next("'}'");
            if (token.kind == TokenKind::OPEN)
                ++depth;
            else if (token.kind == TokenKind::CLOSE)
                --depth;
        }
    }

    void SkipObjectAfterType()
    {
        OptionalName();
        SkipBody();
    }

    float Float(const char* what)
    {
        const std::string_view text = Word(what);
        float value = 0.0f;
        const char* first = text.data();
        const char* last = text.data() + text.size();
        if (*first == '+')
            ++first;
        const auto result = std::from_chars(first, last, value);
        if (result.ec != std::errc() || result.ptr != last || !std::isfinite(value))
            throw ParseError(std::string("bad number '") + std::string(text) + "' for " + what);
        return value;
    }

    uint32_t Uint(const char* what)
    {
        const std::string_view text = Word(what);
        uint32_t value = 0;
        const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
        if (result.ec != std::errc() || result.ptr != text.data() + text.size())
            throw ParseError(std::string("bad count or index '") + std::string(text) + "' for " + what);
        return value;
    }

    // A count of items that each take at least tokensPerItem further tokens: a count the rest of the file
    // cannot hold fails here, before anything is allocated for it.
    uint32_t Count(const char* what, uint32_t tokensPerItem)
    {
        const uint32_t count = Uint(what);
        if (tokensPerItem != UINT32_MAX && static_cast<uint64_t>(count) * tokensPerItem > Remaining())
            throw ParseError(std::string(what) + " " + std::to_string(count) + " is more than the file holds");
        return count;
    }

    uint32_t Index(const char* what, uint32_t limit)
    {
        const uint32_t index = Uint(what);
        if (index >= limit)
            throw ParseError(std::string(what) + " " + std::to_string(index) + " is out of range (" +
                             std::to_string(limit) + ")");
        return index;
    }

    D3DXVECTOR3 Vector3(const char* what)
    {
        const float x = Float(what);
        const float y = Float(what);
        const float z = Float(what);
        return {x, y, z};
    }

    D3DXMATRIX Matrix(const char* what)
    {
        D3DXMATRIX m;
        for (float& f : m.m[0])
            f = Float(what);
        for (float& f : m.m[1])
            f = Float(what);
        for (float& f : m.m[2])
            f = Float(what);
        for (float& f : m.m[3])
            f = Float(what);
        return m;
    }

    void CheckDepth(int depth) const
    {
        if (depth > MAX_NESTING)
            throw ParseError("data objects nest too deeply");
    }

    // Nested objects of a body: calls handle(type, name) for each, skips references and the unknown.
    template <class Handler>
    void Children(Handler&& handle)
    {
        while (true) {
            const Token& token = Next("'}'");
            if (token.kind == TokenKind::CLOSE)
                return;
            if (token.kind == TokenKind::OPEN) {
                // A reference by name: { Name } (its GUID, if any, is already gone).
                references_.clear();
                while (!PeekClose())
                    references_ = std::string(Word("a reference"));
                Close();
                handle(std::string_view{}, references_);
                continue;
            }
            if (token.kind != TokenKind::WORD)
                throw ParseError("expected a data object");
            const std::string_view type = token.text;
            const std::string name = OptionalName();
            if (!handle(type, name))
                SkipBody();
        }
    }

    XFrame ParseFrame(const std::string& name, int depth)
    {
        CheckDepth(depth);
        XFrame frame;
        frame.name = name;
        frame.transform = Identity();
        Open();
        Children([&](std::string_view type, const std::string& childName) {
            if (type == "FrameTransformMatrix") {
                Open();
                frame.transform = Matrix("a frame matrix");
                Close();
            } else if (type == "Frame") {
                frame.children.push_back(ParseFrame(childName, depth + 1));
            } else if (type == "Mesh") {
                frame.meshes.push_back(ParseMesh(childName, depth + 1));
            } else {
                return type.empty(); // references to meshes elsewhere are not followed
            }
            return true;
        });
        return frame;
    }

    XMesh ParseMesh(const std::string& name, int depth)
    {
        CheckDepth(depth);
        XMesh mesh;
        mesh.name = name;
        Open();
        const uint32_t vertexCount = Count("vertex count", 3);
        mesh.positions.resize(vertexCount);
        for (D3DXVECTOR3& p : mesh.positions)
            p = Vector3("a vertex position");
        const uint32_t faceCount = Count("face count", 4);
        mesh.faceStarts.resize(faceCount);
        mesh.faceIndices.reserve(static_cast<size_t>(faceCount) * 3);
        for (uint32_t f = 0; f < faceCount; ++f) {
            const uint32_t corners = Count("face corner count", 1);
            if (corners < 3)
                throw ParseError("a face with fewer than three corners");
            mesh.faceStarts[f] = static_cast<uint32_t>(mesh.faceIndices.size());
            for (uint32_t c = 0; c < corners; ++c)
                mesh.faceIndices.push_back(Index("face index", vertexCount));
        }
        Children([&](std::string_view type, const std::string&) {
            if (type == "MeshNormals")
                ParseNormals(mesh);
            else if (type == "MeshTextureCoords")
                ParseTexCoords(mesh);
            else if (type == "MeshVertexColors")
                ParseColors(mesh);
            else if (type == "MeshMaterialList")
                ParseMaterialList(mesh, depth + 1);
            else if (type == "XSkinMeshHeader") {
                SkipBody();
                mesh.skinned = true;
            } else if (type == "SkinWeights")
                ParseSkinWeights(mesh);
            else
                return type.empty();
            return true;
        });
        return mesh;
    }

    void ParseNormals(XMesh& mesh)
    {
        Open();
        const uint32_t normalCount = Count("normal count", 3);
        mesh.normals.resize(normalCount);
        for (D3DXVECTOR3& n : mesh.normals)
            n = Vector3("a normal");
        const uint32_t faceCount = Count("normal face count", 4);
        if (faceCount != mesh.FaceCount())
            throw ParseError("MeshNormals has " + std::to_string(faceCount) + " faces, the mesh " +
                             std::to_string(mesh.FaceCount()));
        mesh.normalFaceIndices.resize(mesh.faceIndices.size());
        for (uint32_t f = 0; f < faceCount; ++f) {
            const uint32_t corners = Uint("normal face corner count");
            if (corners != mesh.FaceEnd(f) - mesh.faceStarts[f])
                throw ParseError("a normal face's corners differ from its face's");
            for (uint32_t c = 0; c < corners; ++c)
                mesh.normalFaceIndices[mesh.faceStarts[f] + c] = Index("normal index", normalCount);
        }
        Close();
    }

    void ParseTexCoords(XMesh& mesh)
    {
        Open();
        const uint32_t count = Count("texture coordinate count", 2);
        if (count != mesh.positions.size())
            throw ParseError("MeshTextureCoords has " + std::to_string(count) + " entries for " +
                             std::to_string(mesh.positions.size()) + " vertices");
        mesh.texCoords.resize(count);
        for (D3DXVECTOR2& uv : mesh.texCoords) {
            uv.x = Float("a texture coordinate");
            uv.y = Float("a texture coordinate");
        }
        Close();
    }

    static BYTE ColourByte(float value)
    {
        if (value >= 1.0f)
            return 255;
        if (value <= 0.0f)
            return 0;
        return static_cast<BYTE>(value * 255.0f + 0.5f);
    }

    void ParseColors(XMesh& mesh)
    {
        Open();
        const uint32_t count = Count("vertex colour count", 5);
        mesh.colors.assign(mesh.positions.size(), 0xFFFFFFFFu);
        mesh.hasColors = true;
        for (uint32_t i = 0; i < count; ++i) {
            const uint32_t vertex = Index("vertex colour index", static_cast<uint32_t>(mesh.positions.size()));
            const float r = Float("a colour"), g = Float("a colour"), b = Float("a colour"), a = Float("a colour");
            mesh.colors[vertex] = (static_cast<D3DCOLOR>(ColourByte(a)) << 24) |
                                  (static_cast<D3DCOLOR>(ColourByte(r)) << 16) |
                                  (static_cast<D3DCOLOR>(ColourByte(g)) << 8) | ColourByte(b);
        }
        Close();
    }

    XMaterial ParseMaterial(const std::string& name, int depth)
    {
        CheckDepth(depth);
        XMaterial material;
        material.name = name;
        Open();
        material.faceColor = {Float("a colour"), Float("a colour"), Float("a colour"), Float("a colour")};
        material.power = Float("a specular power");
        material.specular = {Float("a colour"), Float("a colour"), Float("a colour"), 1.0f};
        material.emissive = {Float("a colour"), Float("a colour"), Float("a colour"), 1.0f};
        Children([&](std::string_view type, const std::string&) {
            if (type != "TextureFilename" && type != "TextureFileName")
                return type.empty();
            Open();
            const Token& token = Next("a texture file name");
            if (token.kind != TokenKind::STRING && token.kind != TokenKind::WORD)
                throw ParseError("expected a texture file name");
            material.textureFile = std::string(token.text);
            Close();
            return true;
        });
        return material;
    }

    void ParseMaterialList(XMesh& mesh, int depth)
    {
        // A second list would leave its face indices pointing into the first list's materials.
        if (mesh.hasMaterialList)
            throw ParseError("a mesh holds a second MeshMaterialList; a mesh has one");
        mesh.hasMaterialList = true;
        Open();
        const uint32_t materialCount = Count("material count", 0);
        const uint32_t indexCount = Count("face material count", 1);
        if (indexCount > mesh.FaceCount())
            throw ParseError("MeshMaterialList has more face entries than the mesh has faces");
        if (materialCount == 0 && indexCount > 0)
            throw ParseError("face materials without materials");
        mesh.faceMaterials.resize(mesh.FaceCount());
        for (uint32_t f = 0; f < indexCount; ++f)
            mesh.faceMaterials[f] = Index("face material index", materialCount);
        // A shorter list repeats its last entry for the remaining faces.
        for (uint32_t f = indexCount; f < mesh.FaceCount(); ++f)
            mesh.faceMaterials[f] = indexCount > 0 ? mesh.faceMaterials[indexCount - 1] : 0;
        Children([&](std::string_view type, const std::string& name) {
            if (type.empty()) {
                const auto found = materials_.find(name);
                if (found == materials_.end())
                    throw ParseError("material '" + name + "' is not defined");
                mesh.materials.push_back(found->second);
                return true;
            }
            if (type != "Material")
                return false;
            mesh.materials.push_back(ParseMaterial(name, depth + 1));
            return true;
        });
        if (mesh.materials.size() < materialCount)
            throw ParseError("MeshMaterialList names " + std::to_string(materialCount) + " materials and holds " +
                             std::to_string(mesh.materials.size()));
        mesh.materials.resize(materialCount);
    }

    void ParseSkinWeights(XMesh& mesh)
    {
        Open();
        XSkinWeights skin;
        const Token& bone = Next("a bone name");
        if (bone.kind != TokenKind::STRING && bone.kind != TokenKind::WORD)
            throw ParseError("expected a bone name");
        skin.bone = std::string(bone.text);
        const uint32_t count = Count("bone weight count", 2);
        skin.vertices.resize(count);
        for (uint32_t& v : skin.vertices)
            v = Index("bone weight vertex index", static_cast<uint32_t>(mesh.positions.size()));
        skin.weights.resize(count);
        for (float& w : skin.weights)
            w = Float("a bone weight");
        skin.offset = Matrix("a bone offset matrix");
        Close();
        mesh.skin.push_back(std::move(skin));
        mesh.skinned = true;
    }

    XAnimationSetData ParseAnimationSet(const std::string& name, int depth)
    {
        CheckDepth(depth);
        XAnimationSetData set;
        set.name = name;
        Open();
        Children([&](std::string_view type, const std::string&) {
            if (type != "Animation")
                return type.empty();
            set.animations.push_back(ParseAnimation());
            return true;
        });
        return set;
    }

    template <class Value>
    void ReadKeys(std::vector<float>& times, std::vector<Value>& values, uint32_t width, uint32_t count,
                  void (*read)(Parser&, Value&))
    {
        times.resize(count);
        values.resize(count);
        for (uint32_t k = 0; k < count; ++k) {
            times[k] = static_cast<float>(Uint("a key time"));
            if (k > 0 && times[k] < times[k - 1])
                throw ParseError("animation key times go backwards");
            if (Uint("a key value count") != width)
                throw ParseError("an animation key holds the wrong number of values");
            read(*this, values[k]);
        }
    }

    XAnimation ParseAnimation()
    {
        XAnimation animation;
        Open();
        Children([&](std::string_view type, const std::string& name) {
            if (type.empty()) {
                animation.frame = name;
                return true;
            }
            if (type != "AnimationKey")
                return false; // AnimationOptions and the unknown
            Open();
            const uint32_t keyType = Uint("a key type");
            const uint32_t count = Count("key count", 3);
            switch (keyType) {
            case 0:
                ReadKeys<D3DXQUATERNION>(animation.rotationTimes, animation.rotations, 4, count,
                                         [](Parser& p, D3DXQUATERNION& q) {
                                             q.w = p.Float("a rotation");
                                             q.x = p.Float("a rotation");
                                             q.y = p.Float("a rotation");
                                             q.z = p.Float("a rotation");
                                         });
                break;
            case 1:
                ReadKeys<D3DXVECTOR3>(animation.scaleTimes, animation.scales, 3, count,
                                      [](Parser& p, D3DXVECTOR3& v) { v = p.Vector3("a scale"); });
                break;
            case 2:
                ReadKeys<D3DXVECTOR3>(animation.positionTimes, animation.positions, 3, count,
                                      [](Parser& p, D3DXVECTOR3& v) { v = p.Vector3("a position"); });
                break;
            case 4:
                ReadMatrixKeys(animation, count);
                break;
            default:
                throw ParseError("unknown animation key type " + std::to_string(keyType));
            }
            Close();
            return true;
        });
        return animation;
    }

    // Matrix keys become scale, rotation and translation keys, which blend and interpolate cleanly.
    void ReadMatrixKeys(XAnimation& animation, uint32_t count)
    {
        std::vector<float> times(count);
        std::vector<D3DXMATRIX> matrices(count);
        ReadKeys<D3DXMATRIX>(times, matrices, 16, count,
                             [](Parser& p, D3DXMATRIX& m) { m = p.Matrix("a key matrix"); });
        animation.rotationTimes = times;
        animation.scaleTimes = times;
        animation.positionTimes = times;
        animation.rotations.resize(count);
        animation.scales.resize(count);
        animation.positions.resize(count);
        for (uint32_t k = 0; k < count; ++k)
            DecomposeMatrix(matrices[k], animation.scales[k], animation.rotations[k], animation.positions[k]);
    }

    std::vector<Token> tokens_;
    size_t pos_ = 0;
    std::map<std::string, XMaterial> materials_;
    std::string references_;
};

} // namespace

void DecomposeMatrix(const D3DXMATRIX& m, D3DXVECTOR3& scale, D3DXQUATERNION& rotation, D3DXVECTOR3& translation)
{
    D3DXMATRIX r = m;
    float s[3];
    for (int row = 0; row < 3; ++row) {
        D3DXVECTOR3 axis(r.m[row][0], r.m[row][1], r.m[row][2]);
        s[row] = D3DXVec3Length(&axis);
        if (s[row] > 0.0f)
            for (int col = 0; col < 3; ++col)
                r.m[row][col] /= s[row];
    }
    // A mirroring matrix has a negative determinant, which no rotation has: the mirror goes into the scale
    // (its x, with the x row turned round), or the quaternion would be made of an improper matrix and the key
    // would lose its mirror.
    const float determinant = r._11 * (r._22 * r._33 - r._23 * r._32) - r._12 * (r._21 * r._33 - r._23 * r._31) +
                              r._13 * (r._21 * r._32 - r._22 * r._31);
    if (determinant < 0.0f) {
        s[0] = -s[0];
        for (int col = 0; col < 3; ++col)
            r.m[0][col] = -r.m[0][col];
    }
    scale = {s[0], s[1], s[2]};
    translation = {r._41, r._42, r._43};
    r._41 = r._42 = r._43 = 0.0f;
    D3DXQuaternionRotationMatrix(&rotation, &r);
    D3DXQuaternionNormalize(&rotation, &rotation);
}

std::unique_ptr<XFileData> ParseXFile(std::string_view bytes, std::string& error)
{
    error.clear();
    if (bytes.size() < HEADER_SIZE || bytes.substr(0, 4) != "xof ") {
        error = "not a .x file (no \"xof \" header)";
        return nullptr;
    }
    const std::string_view format = bytes.substr(8, 4);
    if (format == "bin " || format == "tzip" || format == "bzip") {
        error = "binary and compressed .x files are not supported (format \"" + std::string(format) +
                "\"); save it as text";
        return nullptr;
    }
    if (format != "txt ") {
        error = "unknown .x format \"" + std::string(format) + "\"";
        return nullptr;
    }
    try {
        Parser parser(Tokenize(bytes.substr(HEADER_SIZE)));
        return parser.Run();
    } catch (const ParseError& e) {
        error = e.what();
    } catch (const std::bad_alloc&) {
        error = "out of memory";
    } catch (const std::length_error&) {
        error = "out of memory";
    }
    return nullptr;
}
