#pragma once
// Decodes image files into an Image: TGA and BMP by our own readers, PNG through libpng and JPEG through
// libjpeg-turbo. Every header field is checked against the data before it is used, and the picture's size
// against fixed limits before any pixel memory is allocated, so a truncated or hostile file fails cleanly.

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
    // Limits on a decoded picture: per side, and in bytes of decoded pixels (4096 x 4096, or a long strip),
    // so that a few bytes of header cannot ask for gigabytes.
    static constexpr uint32_t MAX_DIMENSION = 16384;
    static constexpr size_t MAX_IMAGE_BYTES = size_t{64} << 20;
    // Files larger than this are not read at all.
    static constexpr size_t MAX_FILE_SIZE = 256u << 20;

    struct Result {
        Image image;
        D3DXIMAGE_INFO info{};
        std::string error; // why decoding failed; empty on success

        // Drops any picture and records why; returns false for the caller to pass on.
        bool Fail(std::string why);
        // Takes the decoded picture and fills in its description.
        bool Succeed(Image decoded, D3DFORMAT format, D3DXIMAGE_FILEFORMAT fileFormat);
    };

    // Whether a picture of this size is within the limits above (and not empty).
    static bool SizeAllowed(uint64_t width, uint64_t height);

    // Decodes a whole file held in memory. The format is told by its signature; data without a known
    // signature is tried as TGA, which has none.
    static bool Decode(const uint8_t* data, size_t size, Result& result);
    // Reads the file through the path resolver, then decodes it.
    static bool Load(std::string_view path, Result& result);
    static bool ReadFile(std::string_view path, std::vector<uint8_t>& bytes, std::string& error);

private:
    static bool DecodeTga(const uint8_t* data, size_t size, Result& result);
};
