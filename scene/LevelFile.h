#pragma once

#include "scene/LevelData.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The binary level file: a fixed part of 334829 bytes, then a counted list of static objects and a counted
// list of decals. There is no header or version, so the reader trusts nothing: a file shorter than the fixed
// part and its two counts is refused as a whole, every name is bounded by its 260-byte field, a count is
// taken only when that many records fit in the bytes that are left, and decal grids are kept to what a
// 16-bit index buffer can address. A file is checked whole before anything of it is used: a number that is
// not finite (or beyond a million) or a missing deployment zone refuses it.
class LevelFile
{
public:
    static constexpr size_t NAME_LENGTH = 260;
    static constexpr size_t FIXED_PART_SIZE = 334829;
    static constexpr size_t MINIMUM_SIZE = FIXED_PART_SIZE + 4 + 4;
    static constexpr size_t STATIC_OBJECT_RECORD_SIZE = 341;
    static constexpr size_t DECAL_RECORD_SIZE = 280;
    static constexpr int32_t MIN_DECAL_GRID = 2;
    static constexpr int32_t MAX_DECAL_GRID = 256;
    // The hex types of the two deployment zones, which every level must hold.
    static constexpr int32_t FIRST_ZONE = 3;
    static constexpr int32_t SECOND_ZONE = 4;

    struct Contents {
        LevelData data;
        std::vector<LevelStaticObject> staticObjects;
        std::vector<LevelDecal> decals;
    };

    // The decal section (count and records) of parsed contents, laid out as the file lays it out, for
    // readers that take the section from a file.
    static std::vector<uint8_t> DecalSection(const std::vector<LevelDecal>& decals);

    // Parses a whole file image. On success fills out and returns true; warnings (counts or grids that were
    // corrected) go to warnings. On failure returns false with the reason in error and out untouched.
    static bool Parse(const uint8_t* bytes, size_t size, Contents& out, std::string& error,
                      std::vector<std::string>* warnings = nullptr);
    // Reads the file at path into memory; false when it cannot be opened or read.
    static bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes);
};
