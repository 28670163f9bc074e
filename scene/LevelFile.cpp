#include "scene/LevelFile.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// Reads little-endian fields from a bounded byte range; every read is checked against what is left.
class ByteReader
{
public:
    ByteReader(const uint8_t* bytes, size_t size) : m_bytes(bytes), m_size(size) { }

    size_t Left() const { return m_size - m_offset; }
    size_t Offset() const { return m_offset; }

    bool Raw(void* out, size_t count)
    {
        if (count > Left())
            return false;
        std::memcpy(out, m_bytes + m_offset, count);
        m_offset += count;
        return true;
    }
    bool Int(int32_t& out)
    {
        uint8_t b[4];
        if (!Raw(b, 4))
            return false;
        out = static_cast<int32_t>(static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
                                   static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24);
        return true;
    }
    bool Float(float& out)
    {
        int32_t bits = 0;
        if (!Int(bits))
            return false;
        std::memcpy(&out, &bits, 4);
        return true;
    }
    bool Floats(float* out, size_t count)
    {
        // The file is little-endian, as this machine is: the whole array is one copy.
        if constexpr (std::endian::native == std::endian::little)
            return Raw(out, count * sizeof(float));
        for (size_t i = 0; i < count; ++i)
            if (!Float(out[i]))
                return false;
        return true;
    }
    // A fixed-width text field: the text ends at its first NUL or at the field's end, whichever comes first.
    bool Name(std::string& out)
    {
        char field[LevelFile::NAME_LENGTH];
        if (!Raw(field, sizeof(field)))
            return false;
        const char* end = static_cast<const char*>(std::memchr(field, '\0', sizeof(field)));
        out.assign(field, end ? static_cast<size_t>(end - field) : sizeof(field));
        return true;
    }

private:
    const uint8_t* m_bytes;
    size_t m_size;
    size_t m_offset = 0;
};

// A count is trusted only when that many records of the given size fit in what is left; otherwise the list
// is read as empty.
int32_t CheckedCount(int32_t count, size_t recordSize, size_t left, const char* what,
                     std::vector<std::string>* warnings)
{
    if (count <= 0)
        return 0;
    if (static_cast<uint64_t>(count) * recordSize > left) {
        if (warnings)
            warnings->push_back(std::string(what) + " count " + std::to_string(count) + " needs more bytes than the " +
                                std::to_string(left) + " left; the list is read as empty");
        return 0;
    }
    return count;
}

// Heights, colours and placements are used in sums, square roots and matrix products; one number that is
// not finite, or so large that its square is not, turns the camera and every unit on the ground into NaN.
constexpr float LARGEST_NUMBER = 1.0e6f;

bool Sane(float value)
{
    return std::isfinite(value) && std::fabs(value) <= LARGEST_NUMBER;
}

// The first of count numbers that is not sane, or count when all are.
size_t FirstInsane(const float* values, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        if (!Sane(values[i]))
            return i;
    return count;
}

std::string Number(float value)
{
    char text[32];
    std::snprintf(text, sizeof(text), "%g", static_cast<double>(value));
    return text;
}

// The checks on a fixed part that has been read whole: every number usable, and both players' deployment
// zones present (without them deployment cannot be finished).
bool CheckFixedPart(const LevelData& d, std::string& error)
{
    if (const size_t i = FirstInsane(d.heights.data(), d.heights.size()); i < d.heights.size()) {
        error = "the height of sample (" + std::to_string(i / LevelData::GRID_SIZE) + ", " +
                std::to_string(i % LevelData::GRID_SIZE) + ") is " + Number(d.heights[i]);
        return false;
    }
    const struct {
        const float* values;
        size_t count;
        const char* what;
    } fields[] = {{d.fogColour.data(), 3, "fog colour"},
                  {&d.skyValue, 1, "sky value"},
                  {d.lightColour.data(), 3, "light colour"},
                  {&d.slopeFactor, 1, "slope factor"},
                  {d.blendWeights.data(), d.blendWeights.size(), "blend weights"}};
    for (const auto& field : fields)
        if (const size_t i = FirstInsane(field.values, field.count); i < field.count) {
            error = std::string("the ") + field.what + " holds " + Number(field.values[i]);
            return false;
        }
    // A type the board does not name is open ground, so any value may stand; only the zones are needed.
    bool zones[2] = {false, false};
    for (const int32_t type : d.hexTypes)
        if (type == LevelFile::FIRST_ZONE || type == LevelFile::SECOND_ZONE)
            zones[type - LevelFile::FIRST_ZONE] = true;
    if (!zones[0] || !zones[1]) {
        error = std::string("no hex belongs to the ") + (zones[0] ? "second" : "first") + " player's deployment zone";
        return false;
    }
    return true;
}

} // namespace

bool LevelFile::Parse(const uint8_t* bytes, size_t size, Contents& out, std::string& error,
                      std::vector<std::string>* warnings)
{
    if (!bytes || size < MINIMUM_SIZE) {
        error = "the file is " + std::to_string(size) + " bytes, shorter than the " + std::to_string(MINIMUM_SIZE) +
                " bytes of a level's fixed part and its two counts";
        return false;
    }
    ByteReader in(bytes, size);
    Contents result;
    LevelData& d = result.data;
    // The length check above covers the whole fixed part, so these reads cannot run short.
    in.Int(d.cellSize);
    in.Floats(d.heights.data(), d.heights.size());
    for (int32_t& t : d.tiling)
        in.Int(t);
    in.Raw(&d.fogEnable, 1);
    in.Floats(d.fogColour.data(), 3);
    in.Float(d.skyValue);
    in.Int(d.lightMapMinimum);
    in.Int(d.lightIntensity);
    in.Floats(d.lightColour.data(), 3);
    for (std::string& name : d.textureNames)
        in.Name(name);
    in.Float(d.slopeFactor);
    in.Floats(d.blendWeights.data(), d.blendWeights.size());
    for (int32_t& type : d.hexTypes)
        in.Int(type);

    if (d.cellSize <= 0) {
        error = "the cell size is " + std::to_string(d.cellSize) + "; it must be positive";
        return false;
    }
    if (!CheckFixedPart(d, error))
        return false;

    int32_t count = 0;
    in.Int(count);
    count =
        CheckedCount(count, STATIC_OBJECT_RECORD_SIZE, in.Left() >= 4 ? in.Left() - 4 : 0, "static-object", warnings);
    result.staticObjects.resize(static_cast<size_t>(count));
    for (LevelStaticObject& object : result.staticObjects) {
        in.Name(object.meshName);
        in.Floats(object.matrix, 16);
        in.Float(object.scale);
        in.Raw(&object.flag, 1);
        in.Floats(object.position, 3);
        if (FirstInsane(object.matrix, 16) < 16 || !Sane(object.scale) || FirstInsane(object.position, 3) < 3) {
            error = "the placement of static object \"" + object.meshName + "\" holds a number that is not usable";
            return false;
        }
    }

    count = 0;
    if (!in.Int(count)) {
        error = "the file ends before its decal count";
        return false;
    }
    count = CheckedCount(count, DECAL_RECORD_SIZE, in.Left(), "decal", warnings);
    result.decals.resize(static_cast<size_t>(count));
    for (LevelDecal& decal : result.decals) {
        in.Name(decal.textureName);
        in.Float(decal.rotation);
        in.Int(decal.gridSize);
        in.Floats(decal.position, 3);
        if (!Sane(decal.rotation) || FirstInsane(decal.position, 3) < 3) {
            error = "the placement of decal \"" + decal.textureName + "\" holds a number that is not usable";
            return false;
        }
        const int32_t clamped = std::clamp(decal.gridSize, MIN_DECAL_GRID, MAX_DECAL_GRID);
        if (clamped != decal.gridSize && warnings)
            warnings->push_back("decal grid " + std::to_string(decal.gridSize) + " is kept to " +
                                std::to_string(clamped));
        decal.gridSize = clamped;
    }
    out = std::move(result);
    return true;
}

std::vector<uint8_t> LevelFile::DecalSection(const std::vector<LevelDecal>& decals)
{
    std::vector<uint8_t> out;
    auto raw = [&](const void* p, size_t n) {
        const auto* b = static_cast<const uint8_t*>(p);
        out.insert(out.end(), b, b + n);
    };
    auto word = [&](uint32_t v) {
        const uint8_t b[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                              static_cast<uint8_t>(v >> 24)};
        raw(b, 4);
    };
    auto real = [&](float f) {
        uint32_t bits = 0;
        std::memcpy(&bits, &f, 4);
        word(bits);
    };
    word(static_cast<uint32_t>(decals.size()));
    for (const LevelDecal& decal : decals) {
        char field[NAME_LENGTH] = {};
        std::copy_n(decal.textureName.data(), std::min(decal.textureName.size(), NAME_LENGTH), field);
        raw(field, sizeof(field));
        real(decal.rotation);
        word(static_cast<uint32_t>(decal.gridSize));
        for (float p : decal.position)
            real(p);
    }
    return out;
}

bool LevelFile::ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes)
{
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    bytes.clear();
    uint8_t chunk[65536];
    size_t got = 0;
    bool ok = true;
    while ((got = std::fread(chunk, 1, sizeof(chunk), file)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    if (std::ferror(file))
        ok = false;
    std::fclose(file);
    return ok;
}
