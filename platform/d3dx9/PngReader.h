#pragma once
// Decodes a whole PNG file held in memory into 8-bit BGRA.

#include "d3dx9/ImageLoader.h"

#include <cstddef>
#include <cstdint>

class PngReader
{
public:
    static bool Decode(const uint8_t* data, size_t size, ImageLoader::Result& result);
};
