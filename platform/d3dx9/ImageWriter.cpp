#include "d3dx9/ImageWriter.h"

#include "d3dx9/Image.h"
#include "win32/PathResolver.h"

#include <png.h>

#include <cstdio>
#include <string>

namespace {

constexpr uint32_t BMP_FILE_HEADER_SIZE = 14;
constexpr uint32_t BMP_INFO_HEADER_SIZE = 40;
constexpr uint16_t BMP_BITS_PER_PIXEL = 24;
constexpr uint32_t TGA_HEADER_SIZE = 18;
constexpr uint8_t TGA_TRUE_COLOUR = 2;
constexpr uint8_t TGA_TOP_DOWN = 0x20;

void Put16(std::vector<uint8_t>& out, uint32_t value)
{
    out.push_back(static_cast<uint8_t>(value & 0xFF));
    out.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
}

void Put32(std::vector<uint8_t>& out, uint32_t value)
{
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

} // namespace

std::vector<uint8_t> ImageWriter::EncodeBmp(const Image& image)
{
    const uint32_t width = image.Width();
    const uint32_t height = image.Height();
    // Each row is padded to a multiple of four bytes.
    const uint32_t rowSize = (width * 3 + 3) & ~3u;
    const uint32_t pixelBytes = rowSize * height;
    const uint32_t dataOffset = BMP_FILE_HEADER_SIZE + BMP_INFO_HEADER_SIZE;

    std::vector<uint8_t> out;
    out.reserve(dataOffset + pixelBytes);
    out.push_back('B');
    out.push_back('M');
    Put32(out, dataOffset + pixelBytes);
    Put32(out, 0); // reserved
    Put32(out, dataOffset);
    Put32(out, BMP_INFO_HEADER_SIZE);
    Put32(out, width);
    Put32(out, height); // positive: the rows are stored bottom-up
    Put16(out, 1); // planes
    Put16(out, BMP_BITS_PER_PIXEL);
    Put32(out, 0); // no compression
    Put32(out, pixelBytes);
    Put32(out, 0); // horizontal resolution: unspecified
    Put32(out, 0); // vertical resolution
    Put32(out, 0); // palette colours
    Put32(out, 0); // important colours
    for (uint32_t row = 0; row < height; ++row) {
        const uint32_t y = height - 1 - row;
        for (uint32_t x = 0; x < width; ++x) {
            const uint8_t* p = image.Pixel(x, y);
            out.push_back(p[0]);
            out.push_back(p[1]);
            out.push_back(p[2]);
        }
        for (uint32_t pad = width * 3; pad < rowSize; ++pad)
            out.push_back(0);
    }
    return out;
}

std::vector<uint8_t> ImageWriter::EncodeTga(const Image& image, bool withAlpha)
{
    const uint32_t bytesPerPixel = withAlpha ? 4 : 3;
    std::vector<uint8_t> out;
    out.reserve(TGA_HEADER_SIZE + static_cast<size_t>(image.Width()) * image.Height() * bytesPerPixel);
    out.push_back(0); // no identification field
    out.push_back(0); // no colour map
    out.push_back(TGA_TRUE_COLOUR);
    for (int i = 0; i < 5; ++i)
        out.push_back(0); // colour-map fields: no colour map
    Put16(out, 0); // x origin
    Put16(out, 0); // y origin
    Put16(out, image.Width());
    Put16(out, image.Height());
    out.push_back(static_cast<uint8_t>(bytesPerPixel * 8));
    out.push_back(static_cast<uint8_t>(TGA_TOP_DOWN | (withAlpha ? 8 : 0)));
    for (uint32_t y = 0; y < image.Height(); ++y) {
        const uint8_t* row = image.Row(y);
        for (uint32_t x = 0; x < image.Width(); ++x)
            out.insert(out.end(), row + x * 4, row + x * 4 + bytesPerPixel);
    }
    return out;
}

std::vector<uint8_t> ImageWriter::EncodePng(const Image& image, bool withAlpha)
{
    if (image.Empty())
        return {};
    png_image description{};
    description.version = PNG_IMAGE_VERSION;
    description.width = image.Width();
    description.height = image.Height();
    // The pixels are kept as B, G, R, A bytes; without alpha the fourth byte is skipped as filler.
    description.format = withAlpha ? PNG_FORMAT_BGRA : PNG_FORMAT_BGR;
    std::vector<uint8_t> source;
    const uint8_t* pixels = image.Row(0);
    png_int_32 stride = static_cast<png_int_32>(image.Pitch());
    if (!withAlpha) {
        source.reserve(static_cast<size_t>(image.Width()) * image.Height() * 3);
        for (uint32_t y = 0; y < image.Height(); ++y)
            for (uint32_t x = 0; x < image.Width(); ++x)
                source.insert(source.end(), image.Pixel(x, y), image.Pixel(x, y) + 3);
        pixels = source.data();
        stride = static_cast<png_int_32>(image.Width() * 3);
    }
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&description, nullptr, &size, 0, pixels, stride, nullptr)) {
        png_image_free(&description);
        return {};
    }
    std::vector<uint8_t> out(size);
    if (!png_image_write_to_memory(&description, out.data(), &size, 0, pixels, stride, nullptr)) {
        png_image_free(&description);
        return {};
    }
    out.resize(size);
    return out;
}

bool ImageWriter::WriteFile(std::string_view path, const std::vector<uint8_t>& bytes)
{
    FILE* file = PathResolver::Open(path, "wb");
    if (!file)
        return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const bool closed = std::fclose(file) == 0;
    if (written && closed)
        return true;
    std::remove(PathResolver::Resolve(path).c_str());
    PathResolver::Invalidate(path);
    return false;
}
