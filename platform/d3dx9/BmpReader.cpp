#include "d3dx9/BmpReader.h"

#include <bit>
#include <cstring>
#include <vector>

namespace {

constexpr size_t FILE_HEADER_SIZE = 14;
constexpr uint32_t CORE_HEADER_SIZE = 12; // the oldest form: 16-bit sizes, 3-byte palette entries
constexpr uint32_t INFO_HEADER_SIZE = 40;
constexpr uint32_t INFO_HEADER_WITH_ALPHA = 56;
constexpr uint32_t MAX_HEADER_SIZE = 124;
constexpr uint32_t COMPRESSION_NONE = 0;
constexpr uint32_t COMPRESSION_BITFIELDS = 3;
constexpr uint32_t COMPRESSION_ALPHA_BITFIELDS = 6;

uint16_t Le16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t Le32(const uint8_t* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// One colour channel of a packed pixel: where its mask says, scaled to 8 bits.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    uint32_t max = 0; // largest value the mask holds

    // A mask must be one run of set bits; an empty mask is a channel the file does not have.
    bool Set(uint32_t bits)
    {
        mask = bits;
        if (bits == 0)
            return true;
        shift = std::countr_zero(bits);
        const uint32_t run = bits >> shift;
        if ((run & (run + 1)) != 0)
            return false;
        max = run;
        return true;
    }

    uint8_t Read(uint32_t pixel, uint8_t missing) const
    {
        if (mask == 0)
            return missing;
        const uint64_t value = (pixel & mask) >> shift;
        return static_cast<uint8_t>((value * 255 + max / 2) / max);
    }
};

// The fields of either header form the decoder needs.
struct BmpHeader {
    bool core = false;
    int64_t width = 0;
    int64_t height = 0;
    uint32_t planes = 0;
    uint32_t bits = 0;
    uint32_t compression = COMPRESSION_NONE;
    uint32_t paletteCount = 0;
};

BmpHeader ReadHeader(const uint8_t* header, uint32_t headerSize)
{
    BmpHeader h;
    h.core = headerSize == CORE_HEADER_SIZE;
    if (h.core) {
        h.width = Le16(header + 4);
        h.height = Le16(header + 6);
        h.planes = Le16(header + 8);
        h.bits = Le16(header + 10);
    } else {
        h.width = static_cast<int32_t>(Le32(header + 4));
        h.height = static_cast<int32_t>(Le32(header + 8));
        h.planes = Le16(header + 12);
        h.bits = Le16(header + 14);
        h.compression = Le32(header + 16);
        h.paletteCount = Le32(header + 32);
    }
    return h;
}

struct Channels {
    Channel red, green, blue, alpha;
};

// Colour masks: inside a longer header, or right after the 40-byte one (afterHeader then moves past them).
bool ReadMasks(const uint8_t* data, size_t size, uint32_t headerSize, const BmpHeader& h, size_t& afterHeader,
               Channels& c, ImageLoader::Result& result)
{
    const uint8_t* masks = data + FILE_HEADER_SIZE + INFO_HEADER_SIZE;
    const size_t maskCount = h.compression == COMPRESSION_ALPHA_BITFIELDS ? 4 : 3;
    if (headerSize == INFO_HEADER_SIZE) {
        if (size - afterHeader < maskCount * 4)
            return result.Fail("truncated BMP header");
        afterHeader += maskCount * 4;
    } else if (headerSize < INFO_HEADER_SIZE + maskCount * 4) {
        return result.Fail("unsupported BMP header");
    }
    const bool alphaMask = maskCount == 4 || headerSize >= INFO_HEADER_WITH_ALPHA;
    if (!c.red.Set(Le32(masks)) || !c.green.Set(Le32(masks + 4)) || !c.blue.Set(Le32(masks + 8)) ||
        !c.alpha.Set(alphaMask ? Le32(masks + 12) : 0))
        return result.Fail("BMP colour mask is not one run of bits");
    return true;
}

// The palette of a picture of up to 8 bits a pixel follows the header.
bool ReadPalette(const uint8_t* data, size_t size, size_t afterHeader, const BmpHeader& h,
                 std::vector<uint32_t>& palette, ImageLoader::Result& result)
{
    const uint32_t most = 1u << h.bits;
    uint32_t paletteCount = h.paletteCount;
    if (h.core || paletteCount == 0)
        paletteCount = most;
    if (paletteCount > most)
        return result.Fail("BMP palette larger than its pixels can index");
    const size_t entrySize = h.core ? 3 : 4;
    if ((size - afterHeader) / entrySize < paletteCount)
        return result.Fail("truncated BMP palette");
    palette.resize(most, 0xFF000000u); // indices past the stored entries are black
    for (uint32_t i = 0; i < paletteCount; ++i) {
        const uint8_t* entry = data + afterHeader + i * entrySize;
        palette[i] = 0xFF000000u | (entry[2] << 16) | (entry[1] << 8) | entry[0];
    }
    return true;
}

// Pixel x of a stored row as ARGB.
uint32_t ReadPixel(const uint8_t* in, uint32_t x, uint32_t bits, bool masked, const std::vector<uint32_t>& palette,
                   const Channels& c)
{
    if (bits <= 8) {
        const uint32_t perByte = 8 / bits;
        const uint32_t shift = 8 - bits * (1 + x % perByte);
        return palette[(in[x / perByte] >> shift) & ((1u << bits) - 1)];
    }
    if (bits == 24) {
        const uint8_t* p = in + x * 3;
        return 0xFF000000u | (p[2] << 16) | (p[1] << 8) | p[0];
    }
    const uint32_t pixel = bits == 16 ? Le16(in + x * 2) : Le32(in + x * 4);
    // The fourth byte of an uncompressed 32-bit pixel is unused.
    if (bits == 32 && !masked)
        return 0xFF000000u | (pixel & 0xFFFFFF);
    return (static_cast<uint32_t>(c.alpha.Read(pixel, 0xFF)) << 24) | (c.red.Read(pixel, 0) << 16) |
           (c.green.Read(pixel, 0) << 8) | c.blue.Read(pixel, 0);
}

} // namespace

bool BmpReader::Decode(const uint8_t* data, size_t size, ImageLoader::Result& result)
{
    if (size < FILE_HEADER_SIZE + 4 || data[0] != 'B' || data[1] != 'M')
        return result.Fail("not a readable image");
    const uint32_t pixelOffset = Le32(data + 10);
    const uint8_t* header = data + FILE_HEADER_SIZE;
    const uint32_t headerSize = Le32(header);
    if (headerSize != CORE_HEADER_SIZE && (headerSize < INFO_HEADER_SIZE || headerSize > MAX_HEADER_SIZE))
        return result.Fail("unsupported BMP header");
    if (size - FILE_HEADER_SIZE < headerSize)
        return result.Fail("truncated BMP header");

    const BmpHeader h = ReadHeader(header, headerSize);
    const uint32_t bits = h.bits;
    int64_t height = h.height;
    const int64_t width = h.width;
    // A negative height stores the top row first.
    const bool topDown = height < 0;
    if (topDown)
        height = -height;
    if (h.planes != 1)
        return result.Fail("unsupported BMP plane count");
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return result.Fail("unsupported BMP pixel depth");
    if (!ImageLoader::SizeAllowed(static_cast<uint64_t>(width < 0 ? 0 : width), static_cast<uint64_t>(height)))
        return result.Fail("image size out of range");

    const bool masked = h.compression == COMPRESSION_BITFIELDS || h.compression == COMPRESSION_ALPHA_BITFIELDS;
    if (h.compression != COMPRESSION_NONE && !(masked && (bits == 16 || bits == 32)))
        return result.Fail("unsupported BMP compression");

    size_t afterHeader = FILE_HEADER_SIZE + headerSize;
    Channels channels;
    if (masked) {
        if (!ReadMasks(data, size, headerSize, h, afterHeader, channels, result))
            return false;
    } else if (bits == 16) {
        // Five bits each of red, green and blue.
        channels.red.Set(0x7C00);
        channels.green.Set(0x03E0);
        channels.blue.Set(0x001F);
    }
    const bool hasAlpha = channels.alpha.mask != 0;

    std::vector<uint32_t> palette;
    if (bits <= 8 && !ReadPalette(data, size, afterHeader, h, palette, result))
        return false;

    // Rows are padded to a multiple of four bytes; all of them must be present.
    const size_t stride = (static_cast<size_t>(width) * bits + 31) / 32 * 4;
    const size_t pixelBytes = stride * static_cast<size_t>(height);
    if (pixelOffset > size || size - pixelOffset < pixelBytes)
        return result.Fail("truncated BMP pixel data");

    Image image(static_cast<uint32_t>(width), static_cast<uint32_t>(height));
    for (uint32_t row = 0; row < image.Height(); ++row) {
        const uint8_t* in = data + pixelOffset + row * stride;
        uint8_t* out = image.Row(topDown ? row : image.Height() - 1 - row);
        for (uint32_t x = 0; x < image.Width(); ++x, out += Image::BYTES_PER_PIXEL) {
            const uint32_t argb = ReadPixel(in, x, bits, masked, palette, channels);
            out[0] = argb & 0xFF;
            out[1] = (argb >> 8) & 0xFF;
            out[2] = (argb >> 16) & 0xFF;
            out[3] = argb >> 24;
        }
    }
    const D3DFORMAT format = hasAlpha     ? D3DFMT_A8R8G8B8
                             : bits == 32 ? D3DFMT_X8R8G8B8
                             : bits == 16 ? D3DFMT_X1R5G5B5
                                          : D3DFMT_R8G8B8;
    return result.Succeed(std::move(image), format, D3DXIFF_BMP);
}
