#pragma once
// Reads an uncompressed 32-bit TGA of the default data straight from its file, for tests that check what a
// picture of the data shows. Rows come out top first whichever way the file stores them.

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
