#pragma once
// Paints textures cell by cell with cairo: a colour image and, beside it, a height field from which the
// matching DOT3 normal map is derived (tangent-space normal in RGB, flat being (128, 128, 255)).

#include "DataWriter.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

enum class Pattern
{
    FLAT,
    FACE,
    HAIR,
    WEAVE,
    STRIPE,
    LEATHER,
    BRUSHED,
    RINGS,
    GRAIN,
    GLOW,
    TWIST,
    PLATES,
    EMBLEM,
    BARK,
    LEAVES,
    NEEDLES,
    STONE,
    BRICKS,
    PLASTER,
    THATCH,
    STRAW,
    ICE,
    PLANKS
};

class AtlasPainter
{
public:
    AtlasPainter(int size, int cells);
    ~AtlasPainter();
    AtlasPainter(const AtlasPainter&) = delete;
    AtlasPainter& operator=(const AtlasPainter&) = delete;

    // Paints cell `index` (row-major) in the pattern; `second` is the pattern's contrasting colour (0xRRGGBB).
    void Paint(int index, Pattern pattern, uint32_t colour, uint32_t second);
    // Writes name + ".tga" and name + "DOT3.tga".
    void Write(const std::filesystem::path& directory, const std::string& name) const;

    Image Colour() const;
    Image NormalMap() const;

private:
    struct Surfaces;
    std::unique_ptr<Surfaces> surfaces;
    int size;
    int cells;
};
