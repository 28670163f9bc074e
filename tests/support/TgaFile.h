#pragma once
// Reads an uncompressed 32-bit TGA of the default data straight from its file, for tests that check what a
// picture of the data shows (rows come out top first whichever way the file stores them), and writes the bytes
// of one, for tests that put pictures of their own into a data tree.

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

struct TgaPicture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> argb; // row-major, top row first; empty when the file could not be read

    uint32_t At(int x, int y) const { return argb[static_cast<size_t>(y) * static_cast<size_t>(width) + x]; }
};

inline TgaPicture ReadTga32(const std::string& path)
{
    TgaPicture picture;
    std::ifstream in(path, std::ios::binary);
    unsigned char header[18] = {};
    if (!in.read(reinterpret_cast<char*>(header), sizeof(header)) || header[2] != 2 || header[16] != 32)
        return picture;
    const int width = header[12] | header[13] << 8, height = header[14] | header[15] << 8;
    const bool topFirst = (header[17] & 0x20) != 0;
    in.ignore(header[0]);
    std::vector<unsigned char> bgra(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    if (width <= 0 || height <= 0 ||
        !in.read(reinterpret_cast<char*>(bgra.data()), static_cast<std::streamsize>(bgra.size())))
        return picture;
    picture.width = width;
    picture.height = height;
    picture.argb.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) {
        const int row = topFirst ? y : height - 1 - y;
        for (int x = 0; x < width; ++x) {
            const unsigned char* p = &bgra[(static_cast<size_t>(row) * width + x) * 4];
            picture.argb[static_cast<size_t>(y) * width + x] = static_cast<uint32_t>(p[3]) << 24 |
                                                               static_cast<uint32_t>(p[2]) << 16 |
                                                               static_cast<uint32_t>(p[1]) << 8 | p[0];
        }
    }
    return picture;
}

// An uncompressed 32-bit TGA of width x height ARGB texels, given row by row from the top.
inline std::string Tga32Bytes(int width, int height, const std::vector<uint32_t>& argb)
{
    std::string bytes(18, '\0');
    bytes[2] = 2; // uncompressed true colour
    bytes[12] = static_cast<char>(width & 0xFF);
    bytes[13] = static_cast<char>(width >> 8);
    bytes[14] = static_cast<char>(height & 0xFF);
    bytes[15] = static_cast<char>(height >> 8);
    bytes[16] = 32;
    bytes[17] = 0x28; // top-left origin, 8 alpha bits
    for (const uint32_t texel : argb)
        for (int shift : {0, 8, 16, 24})
            bytes += static_cast<char>((texel >> shift) & 0xFF);
    return bytes;
}
