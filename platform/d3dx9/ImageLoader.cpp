#include "d3dx9/ImageLoader.h"

#include "win32/PathResolver.h"

#include <cstdio>
#include <cstring>

namespace {

// stb_image copies zero bytes to a null buffer when a PNG has an empty data chunk; harmless, but undefined.
inline void* StbCopy(void* destination, const void* source, size_t count)
{
    return count ? std::memcpy(destination, source, count) : destination;
}

} // namespace

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_NO_STDIO
#define STBI_ONLY_PNG
#define STBI_ONLY_BMP
#define STBI_ONLY_JPEG
#define STBI_MAX_DIMENSIONS 8192
#define memcpy StbCopy
#include <stb/stb_image.h>
#undef memcpy
#pragma GCC diagnostic pop

namespace {

constexpr size_t TGA_HEADER_SIZE = 18;
constexpr uint8_t TGA_TRUE_COLOUR = 2;
constexpr uint8_t TGA_GREY = 3;
constexpr uint8_t TGA_RLE_TRUE_COLOUR = 10;
constexpr uint8_t TGA_RLE_GREY = 11;
constexpr uint8_t TGA_RLE_FLAG = 8; // image types 9 to 11 are the run-length forms of 1 to 3
constexpr uint8_t TGA_TOP_DOWN = 0x20;
constexpr uint8_t TGA_RIGHT_TO_LEFT = 0x10;
constexpr uint8_t TGA_PACKET_RUN = 0x80;
constexpr uint32_t TGA_PACKET_MAX = 128;

uint16_t ReadLe16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

bool Fail(ImageLoader::Result& result, const char* why)
{
    result.image = Image();
    result.error = why;
    return false;
}

// Writes one file pixel (BGR, BGRA or grey) as BGRA.
void StorePixel(const uint8_t* source, uint32_t bytesPerPixel, uint8_t* out)
{
    if (bytesPerPixel == 1) {
        out[0] = out[1] = out[2] = source[0];
        out[3] = 0xFF;
        return;
    }
    out[0] = source[0];
    out[1] = source[1];
    out[2] = source[2];
    out[3] = bytesPerPixel == 4 ? source[3] : 0xFF;
}

constexpr uint8_t JPEG_MARKER = 0xFF;
constexpr uint8_t JPEG_DHT = 0xC4;
constexpr uint8_t JPEG_SOF_PROGRESSIVE = 0xC2;
constexpr size_t JPEG_HUFFMAN_COUNTS = 16;
constexpr size_t JPEG_HUFFMAN_MAX_SYMBOLS = 256;

// The stb_image we build against trusts the counts of a Huffman table and writes past its tables when they
// add up to more than 256 symbols; its progressive decoder has known faults too, and the game ships no
// progressive pictures. Every place stb could take for such a segment begins with the bytes FF C4 or FF C2
// (compressed data never holds them), so all of them are checked, reading past the end as zeros as stb does.
bool JpegIsSafeForStb(const uint8_t* data, size_t size)
{
    auto byteAt = [&](size_t i) -> uint32_t { return i < size ? data[i] : 0u; };
    for (size_t i = 0; i + 1 < size; ++i) {
        if (data[i] != JPEG_MARKER)
            continue;
        if (data[i + 1] == JPEG_SOF_PROGRESSIVE)
            return false;
        if (data[i + 1] != JPEG_DHT)
            continue;
        long remaining = static_cast<long>((byteAt(i + 2) << 8) | byteAt(i + 3)) - 2;
        size_t at = i + 4;
        while (remaining > 0 && at < size) {
            size_t symbols = 0;
            for (size_t k = 1; k <= JPEG_HUFFMAN_COUNTS; ++k)
                symbols += byteAt(at + k);
            if (symbols > JPEG_HUFFMAN_MAX_SYMBOLS)
                return false;
            at += 1 + JPEG_HUFFMAN_COUNTS + symbols;
            remaining -= static_cast<long>(1 + JPEG_HUFFMAN_COUNTS + symbols);
        }
    }
    return true;
}

} // namespace

bool ImageLoader::ReadFile(std::string_view path, std::vector<uint8_t>& bytes, std::string& error)
{
    bytes.clear();
    FILE* file = PathResolver::Open(path, "rb");
    if (!file) {
        error = "cannot open the file";
        return false;
    }
    bool ok = std::fseek(file, 0, SEEK_END) == 0;
    const long length = ok ? std::ftell(file) : -1;
    ok = ok && length >= 0 && static_cast<unsigned long>(length) <= MAX_FILE_SIZE && std::fseek(file, 0, SEEK_SET) == 0;
    if (ok) {
        bytes.resize(static_cast<size_t>(length));
        ok = bytes.empty() || std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
    }
    std::fclose(file);
    if (!ok) {
        bytes.clear();
        error = length > 0 && static_cast<unsigned long>(length) > MAX_FILE_SIZE ? "file too large" : "read error";
    }
    return ok;
}

bool ImageLoader::Load(std::string_view path, Result& result)
{
    std::vector<uint8_t> bytes;
    if (!ReadFile(path, bytes, result.error)) {
        result.image = Image();
        return false;
    }
    return Decode(bytes.data(), bytes.size(), result);
}

bool ImageLoader::Decode(const uint8_t* data, size_t size, Result& result)
{
    result = Result();
    if (!data || size == 0)
        return Fail(result, "empty file");
    static const uint8_t pngSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (size >= sizeof(pngSignature) && std::memcmp(data, pngSignature, sizeof(pngSignature)) == 0)
        return DecodeWithStb(data, size, D3DXIFF_PNG, result);
    if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF)
        return DecodeWithStb(data, size, D3DXIFF_JPG, result);
    if (size >= 2 && data[0] == 'B' && data[1] == 'M')
        return DecodeWithStb(data, size, D3DXIFF_BMP, result);
    return DecodeTga(data, size, result);
}

bool ImageLoader::DecodeWithStb(const uint8_t* data, size_t size, D3DXIMAGE_FILEFORMAT format, Result& result)
{
    if (size > static_cast<size_t>(INT32_MAX))
        return Fail(result, "file too large");
    const int length = static_cast<int>(size);
    if (format == D3DXIFF_JPG && !JpegIsSafeForStb(data, size))
        return Fail(result, "unsupported or corrupt JPEG (progressive, or bad Huffman table)");
    int width = 0, height = 0, channels = 0;
    if (!stbi_info_from_memory(data, length, &width, &height, &channels))
        return Fail(result, "not a readable image");
    if (width <= 0 || height <= 0 || static_cast<uint32_t>(width) > MAX_DIMENSION ||
        static_cast<uint32_t>(height) > MAX_DIMENSION)
        return Fail(result, "image size out of range");

    stbi_uc* rgba = stbi_load_from_memory(data, length, &width, &height, &channels, 4);
    if (!rgba)
        return Fail(result, "corrupt image data");
    if (width <= 0 || height <= 0 || static_cast<uint32_t>(width) > MAX_DIMENSION ||
        static_cast<uint32_t>(height) > MAX_DIMENSION) {
        stbi_image_free(rgba);
        return Fail(result, "image size out of range");
    }
    Image image(static_cast<uint32_t>(width), static_cast<uint32_t>(height));
    const size_t pixelCount = static_cast<size_t>(width) * static_cast<size_t>(height);
    uint8_t* out = image.Row(0);
    for (size_t i = 0; i < pixelCount; ++i) {
        out[i * 4 + 0] = rgba[i * 4 + 2];
        out[i * 4 + 1] = rgba[i * 4 + 1];
        out[i * 4 + 2] = rgba[i * 4 + 0];
        out[i * 4 + 3] = rgba[i * 4 + 3];
    }
    stbi_image_free(rgba);

    result.image = std::move(image);
    result.info.Width = static_cast<UINT>(width);
    result.info.Height = static_cast<UINT>(height);
    result.info.Depth = 1;
    result.info.MipLevels = 1;
    result.info.Format = channels == 3 ? D3DFMT_R8G8B8 : channels == 1 ? D3DFMT_L8 : D3DFMT_A8R8G8B8;
    result.info.ResourceType = D3DRTYPE_TEXTURE;
    result.info.ImageFileFormat = format;
    return true;
}

bool ImageLoader::DecodeTga(const uint8_t* data, size_t size, Result& result)
{
    if (size < TGA_HEADER_SIZE)
        return Fail(result, "not a readable image");
    const uint8_t idLength = data[0];
    const uint8_t colourMapType = data[1];
    const uint8_t imageType = data[2];
    const uint16_t colourMapLength = ReadLe16(data + 5);
    const uint8_t colourMapEntryBits = data[7];
    const uint32_t width = ReadLe16(data + 12);
    const uint32_t height = ReadLe16(data + 14);
    const uint8_t bitsPerPixel = data[16];
    const uint8_t descriptor = data[17];

    const bool grey = imageType == TGA_GREY || imageType == TGA_RLE_GREY;
    const bool trueColour = imageType == TGA_TRUE_COLOUR || imageType == TGA_RLE_TRUE_COLOUR;
    if (colourMapType > 1 || (!grey && !trueColour))
        return Fail(result, "not a readable image (unsupported TGA type)");
    if ((grey && bitsPerPixel != 8) || (trueColour && bitsPerPixel != 24 && bitsPerPixel != 32))
        return Fail(result, "unsupported TGA pixel depth");
    if (width == 0 || height == 0 || width > MAX_DIMENSION || height > MAX_DIMENSION)
        return Fail(result, "image size out of range");

    // A colour map is allowed beside true-colour data, and skipped.
    size_t offset = TGA_HEADER_SIZE + idLength;
    if (colourMapType == 1)
        offset += static_cast<size_t>(colourMapLength) * ((colourMapEntryBits + 7u) / 8u);
    if (offset > size)
        return Fail(result, "truncated TGA");

    const uint32_t bytesPerPixel = bitsPerPixel / 8u;
    const size_t pixelCount = static_cast<size_t>(width) * height;
    const bool rle = (imageType & TGA_RLE_FLAG) != 0;
    const size_t available = size - offset;
    // The least data that can describe the image: every pixel, or one run packet per 128 pixels.
    const size_t needed =
        rle ? (pixelCount + TGA_PACKET_MAX - 1) / TGA_PACKET_MAX * (1 + bytesPerPixel) : pixelCount * bytesPerPixel;
    if (available < needed)
        return Fail(result, "truncated TGA");

    // Decode in file order first; rows and columns are placed by the origin bits afterwards.
    std::vector<uint8_t> stored(pixelCount * Image::BYTES_PER_PIXEL);
    const uint8_t* source = data + offset;
    const uint8_t* end = data + size;
    if (!rle) {
        for (size_t i = 0; i < pixelCount; ++i)
            StorePixel(source + i * bytesPerPixel, bytesPerPixel, &stored[i * Image::BYTES_PER_PIXEL]);
    } else {
        size_t done = 0;
        while (done < pixelCount) {
            if (source >= end)
                return Fail(result, "truncated TGA");
            const uint8_t packet = *source++;
            const size_t count = (packet & 0x7F) + 1u;
            if (count > pixelCount - done)
                return Fail(result, "TGA packet runs past the image");
            if (packet & TGA_PACKET_RUN) {
                if (static_cast<size_t>(end - source) < bytesPerPixel)
                    return Fail(result, "truncated TGA");
                for (size_t i = 0; i < count; ++i)
                    StorePixel(source, bytesPerPixel, &stored[(done + i) * Image::BYTES_PER_PIXEL]);
                source += bytesPerPixel;
            } else {
                if (static_cast<size_t>(end - source) < count * bytesPerPixel)
                    return Fail(result, "truncated TGA");
                for (size_t i = 0; i < count; ++i)
                    StorePixel(source + i * bytesPerPixel, bytesPerPixel, &stored[(done + i) * Image::BYTES_PER_PIXEL]);
                source += count * bytesPerPixel;
            }
            done += count;
        }
    }

    // Without the top-down bit the first row in the file is the bottom of the picture.
    const bool topDown = (descriptor & TGA_TOP_DOWN) != 0;
    const bool rightToLeft = (descriptor & TGA_RIGHT_TO_LEFT) != 0;
    Image image(width, height);
    for (uint32_t row = 0; row < height; ++row) {
        const uint8_t* in = &stored[static_cast<size_t>(row) * width * Image::BYTES_PER_PIXEL];
        const uint32_t y = topDown ? row : height - 1 - row;
        if (!rightToLeft) {
            std::memcpy(image.Row(y), in, static_cast<size_t>(width) * Image::BYTES_PER_PIXEL);
            continue;
        }
        for (uint32_t column = 0; column < width; ++column)
            std::memcpy(image.Pixel(width - 1 - column, y), in + static_cast<size_t>(column) * Image::BYTES_PER_PIXEL,
                        Image::BYTES_PER_PIXEL);
    }

    result.image = std::move(image);
    result.info.Width = width;
    result.info.Height = height;
    result.info.Depth = 1;
    result.info.MipLevels = 1;
    result.info.Format = grey ? D3DFMT_L8 : bytesPerPixel == 3 ? D3DFMT_R8G8B8 : D3DFMT_A8R8G8B8;
    result.info.ResourceType = D3DRTYPE_TEXTURE;
    result.info.ImageFileFormat = D3DXIFF_TGA;
    return true;
}
