#pragma once
// Every class model is painted from one 256 x 256 texture cut into a 4 x 4 grid of materials, so each model
// draws with a single texture and a single normal map. The class chooses the colours; the grid and the
// surface pattern of each cell are shared.

#include "MeshBuilder.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

enum class Region
{
    SKIN,
    FACE,
    HAIR,
    CLOTH,
    CLOTH_DARK,
    TRIM,
    LEATHER,
    METAL,
    METAL_DARK,
    WOOD,
    GLOW,
    CORD,
    BOOT,
    ACCENT,
    PLATE,
    EMBLEM,
    COUNT
};

constexpr int AtlasSize = 256;
constexpr int AtlasCells = 4;

// The cell of a region, inset by a texel's margin so filtering never reaches a neighbour.
inline UvRect RegionUv(Region region)
{
    const int index = static_cast<int>(region);
    const float cell = 1.0f / AtlasCells;
    const float margin = 2.0f / AtlasSize;
    const float u = static_cast<float>(index % AtlasCells) * cell;
    const float v = static_cast<float>(index / AtlasCells) * cell;
    return {u + margin, v + margin, u + cell - margin, v + cell - margin};
}

// Colours as 0xRRGGBB, one per region.
using Palette = std::array<uint32_t, static_cast<size_t>(Region::COUNT)>;

// Writes name + ".tga" and its normal map name + "DOT3.tga" into the directory.
void WriteAtlasTextures(const std::filesystem::path& directory, const std::string& name, const Palette& palette);
