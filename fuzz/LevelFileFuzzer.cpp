// Links: game_scene
// The level file reader on arbitrary bytes. The input is read twice: as a whole file, and as the lists that
// follow a well-formed fixed part (the fixed part alone is larger than inputs the fuzzer makes). Either read
// must refuse or accept without reading outside its bytes, and what it accepts must hold its lists and grids
// within their bounds, every number finite and both deployment zones.
#include "scene/LevelFile.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

void Check(const uint8_t* data, size_t size)
{
    LevelFile::Contents contents;
    std::string error;
    std::vector<std::string> warnings;
    if (!LevelFile::Parse(data, size, contents, error, &warnings))
        return;
    const size_t records = contents.staticObjects.size() * LevelFile::STATIC_OBJECT_RECORD_SIZE +
                           contents.decals.size() * LevelFile::DECAL_RECORD_SIZE;
    if (records > size || contents.data.cellSize <= 0)
        std::abort();
    // What is accepted is usable whole: finite numbers and both deployment zones.
    const LevelData& d = contents.data;
    bool zones[2] = {false, false};
    for (int32_t type : d.hexTypes)
        if (type == LevelFile::FIRST_ZONE || type == LevelFile::SECOND_ZONE)
            zones[type - LevelFile::FIRST_ZONE] = true;
    if (!zones[0] || !zones[1])
        std::abort();
    for (float h : d.heights)
        if (!std::isfinite(h))
            std::abort();
    for (const LevelStaticObject& object : contents.staticObjects)
        if (!std::isfinite(object.scale) || !std::isfinite(object.position[0]) || !std::isfinite(object.position[1]) ||
            !std::isfinite(object.position[2]))
            std::abort();
    for (const LevelDecal& decal : contents.decals)
        if (!std::isfinite(decal.rotation) || !std::isfinite(decal.position[0]) || !std::isfinite(decal.position[2]))
            std::abort();
    for (const LevelDecal& decal : contents.decals)
        if (decal.gridSize < LevelFile::MIN_DECAL_GRID || decal.gridSize > LevelFile::MAX_DECAL_GRID)
            std::abort();
    for (const LevelStaticObject& object : contents.staticObjects)
        if (object.meshName.size() > LevelFile::NAME_LENGTH)
            std::abort();
    const std::vector<uint8_t> section = LevelFile::DecalSection(contents.decals);
    if (section.size() != 4 + contents.decals.size() * LevelFile::DECAL_RECORD_SIZE)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Check(data, size);
    static std::vector<uint8_t> file;
    file.assign(LevelFile::FIXED_PART_SIZE, 0);
    const int32_t cell = 256;
    std::memcpy(file.data(), &cell, sizeof(cell));
    // The last two hexes of the board hold one hex of each deployment zone.
    const int32_t zones[2] = {LevelFile::FIRST_ZONE, LevelFile::SECOND_ZONE};
    std::memcpy(file.data() + LevelFile::FIXED_PART_SIZE - sizeof(zones), zones, sizeof(zones));
    file.insert(file.end(), data, data + size);
    Check(file.data(), file.size());
    return 0;
}
