#pragma once
// Decodes image files into an Image: TGA (uncompressed and run-length, 24 and 32 bit true colour and
// 8-bit grey, either origin) by our own reader; BMP, PNG and JPEG through stb_image. Every header field
// is checked against the data before it is used, so a truncated or hostile file fails cleanly.

#include "d3dx9/D3DX9Core.h"
#include "d3dx9/Image.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class ImageLoader
{
public:
    // Larger images are refused before any pixel memory is allocated.
    static constexpr uint32_t MAX_DIMENSION = 8192;
    // Files larger than this are not read at all.
    static constexpr size_t MAX_FILE_SIZE = 256u << 20;

    struct Result {
        Image image;
        D3DXIMAGE_INFO info{};
        std::string error; // why decoding failed; empty on success
    };

    // Decodes a whole file held in memory. The format is told by its signature; data without a known
    // signature is tried as TGA, which has none.
    static bool Decode(const uint8_t* data, size_t size, Result& result);
    // Reads the file through the path resolver, then decodes it.
    static bool Load(std::string_view path, Result& result);
    static bool ReadFile(std::string_view path, std::vector<uint8_t>& bytes, std::string& error);

private:
    static bool DecodeTga(const uint8_t* data, size_t size, Result& result);
    static bool DecodeWithStb(const uint8_t* data, size_t size, D3DXIMAGE_FILEFORMAT format, Result& result);
};
