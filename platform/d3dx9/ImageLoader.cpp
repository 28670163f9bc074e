#include "d3dx9/ImageLoader.h"

#include "d3dx9/BmpReader.h"
#include "d3dx9/JpegReader.h"
#include "d3dx9/PngReader.h"
#include "win32/PathResolver.h"

#include <cctype>
#include <cstdio>
#include <cstring>

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

} // namespace

bool ImageLoader::Result::Fail(std::string why)
{
    image = Image();
    info = D3DXIMAGE_INFO{};
    error = std::move(why);
    return false;
}

bool ImageLoader::Result::Succeed(Image decoded, D3DFORMAT format, D3DXIMAGE_FILEFORMAT fileFormat)
{
    info = D3DXIMAGE_INFO{};
    info.Width = decoded.Width();
    info.Height = decoded.Height();
    info.Depth = 1;
    info.MipLevels = 1;
    info.Format = format;
    info.ResourceType = D3DRTYPE_TEXTURE;
    info.ImageFileFormat = fileFormat;
    image = std::move(decoded);
    error.clear();
    return true;
}

bool ImageLoader::SizeAllowed(uint64_t width, uint64_t height)
{
    return width > 0 && height > 0 && width <= MAX_DIMENSION && height <= MAX_DIMENSION &&
           width * height * Image::BYTES_PER_PIXEL <= MAX_IMAGE_BYTES;
}

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

namespace {

// A file named for a format that has a signature, whose bytes do not begin with it. Its bytes are still tried
// as what they hold (a TGA saved under another name loads), but when they fail, the fault to report is that
// the file is not what its name says, not what the TGA reader (the format without a signature) found.
const char* MissingSignature(std::string_view path, const uint8_t* data, size_t size)
{
    const size_t dot = path.find_last_of('.');
    if (dot == std::string_view::npos)
        return nullptr;
    std::string extension(path.substr(dot + 1));
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension == "bmp" && !(size >= 2 && data[0] == 'B' && data[1] == 'M'))
        return "not a BMP image (it does not begin with \"BM\")";
    if (extension == "png" && !(size >= 4 && data[0] == 0x89 && data[1] == 'P' && data[2] == 'N' && data[3] == 'G'))
        return "not a PNG image (it does not begin with the PNG signature)";
    if ((extension == "jpg" || extension == "jpeg") && !(size >= 3 && data[0] == 0xFF && data[1] == 0xD8))
        return "not a JPEG image (it does not begin with the JPEG signature)";
    return nullptr;
}

} // namespace

bool ImageLoader::Load(std::string_view path, Result& result)
{
    std::vector<uint8_t> bytes;
    if (!ReadFile(path, bytes, result.error)) {
        result.image = Image();
        return false;
    }
    if (Decode(bytes.data(), bytes.size(), result))
        return true;
    if (const char* fault = bytes.empty() ? nullptr : MissingSignature(path, bytes.data(), bytes.size())) {
        result = Result();
        return result.Fail(fault);
    }
    return false;
}

bool ImageLoader::Decode(const uint8_t* data, size_t size, Result& result)
{
    result = Result();
    if (!data || size == 0)
        return result.Fail("empty file");
    static const uint8_t pngSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (size >= sizeof(pngSignature) && std::memcmp(data, pngSignature, sizeof(pngSignature)) == 0)
        return PngReader::Decode(data, size, result);
    if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF)
        return JpegReader::Decode(data, size, result);
    if (size >= 2 && data[0] == 'B' && data[1] == 'M')
        return BmpReader::Decode(data, size, result);
    return DecodeTga(data, size, result);
}

bool ImageLoader::DecodeTga(const uint8_t* data, size_t size, Result& result)
{
    if (size < TGA_HEADER_SIZE)
        return result.Fail("not a readable image");
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
        return result.Fail("not a readable image (unsupported TGA type)");
    if ((grey && bitsPerPixel != 8) || (trueColour && bitsPerPixel != 24 && bitsPerPixel != 32))
        return result.Fail("unsupported TGA pixel depth");
    if (!SizeAllowed(width, height))
        return result.Fail("image size out of range");

    // A colour map is allowed beside true-colour data, and skipped.
    size_t offset = TGA_HEADER_SIZE + idLength;
    if (colourMapType == 1)
        offset += static_cast<size_t>(colourMapLength) * ((colourMapEntryBits + 7u) / 8u);
    if (offset > size)
        return result.Fail("truncated TGA");

    const uint32_t bytesPerPixel = bitsPerPixel / 8u;
    const size_t pixelCount = static_cast<size_t>(width) * height;
    const bool rle = (imageType & TGA_RLE_FLAG) != 0;
    const size_t available = size - offset;
    // The least data that can describe the image: every pixel, or one run packet per 128 pixels.
    const size_t needed =
        rle ? (pixelCount + TGA_PACKET_MAX - 1) / TGA_PACKET_MAX * (1 + bytesPerPixel) : pixelCount * bytesPerPixel;
    if (available < needed)
        return result.Fail("truncated TGA");

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
                return result.Fail("truncated TGA");
            const uint8_t packet = *source++;
            const size_t count = (packet & 0x7F) + 1u;
            if (count > pixelCount - done)
                return result.Fail("TGA packet runs past the image");
            if (packet & TGA_PACKET_RUN) {
                if (static_cast<size_t>(end - source) < bytesPerPixel)
                    return result.Fail("truncated TGA");
                for (size_t i = 0; i < count; ++i)
                    StorePixel(source, bytesPerPixel, &stored[(done + i) * Image::BYTES_PER_PIXEL]);
                source += bytesPerPixel;
            } else {
                if (static_cast<size_t>(end - source) < count * bytesPerPixel)
                    return result.Fail("truncated TGA");
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

    return result.Succeed(std::move(image),
                          grey                 ? D3DFMT_L8
                          : bytesPerPixel == 3 ? D3DFMT_R8G8B8
                                               : D3DFMT_A8R8G8B8,
                          D3DXIFF_TGA);
}
