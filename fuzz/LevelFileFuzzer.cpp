// Links: game_scene
// The level file reader on arbitrary bytes: it must refuse or accept without reading outside the input, and
// what it accepts must hold lists and grids within their bounds.
#include "scene/LevelFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    LevelFile::Contents contents;
    std::string error;
    std::vector<std::string> warnings;
    if (!LevelFile::Parse(data, size, contents, error, &warnings))
        return 0;
    const size_t records = contents.staticObjects.size() * LevelFile::kStaticObjectRecordSize +
                           contents.decals.size() * LevelFile::kDecalRecordSize;
    if (records > size || contents.data.cellSize <= 0)
        std::abort();
    for (const LevelDecal& decal : contents.decals)
        if (decal.gridSize < LevelFile::kMinDecalGrid || decal.gridSize > LevelFile::kMaxDecalGrid)
            std::abort();
    for (const LevelStaticObject& object : contents.staticObjects)
        if (object.meshName.size() > LevelFile::kNameLength)
            std::abort();
    return 0;
}
