#pragma once
// Encodes an Image as a file: a 24-bit bottom-up BMP (what screenshots are saved as), an uncompressed
// top-down TGA, 32-bit with alpha or 24-bit without, or a PNG, with or without alpha.

#include <cstdint>
#include <string_view>
#include <vector>

class Image;

class ImageWriter
{
public:
    static std::vector<uint8_t> EncodeBmp(const Image& image);
    static std::vector<uint8_t> EncodeTga(const Image& image, bool withAlpha);
    // Empty when the encoder fails.
    static std::vector<uint8_t> EncodePng(const Image& image, bool withAlpha);
    // Writes the bytes through the path resolver. Nothing is left behind when writing fails part way.
    static bool WriteFile(std::string_view path, const std::vector<uint8_t>& bytes);
};
