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

    const bool core = headerSize == CORE_HEADER_SIZE;
    int64_t width, height;
    uint32_t planes, bits, compression = COMPRESSION_NONE, paletteCount = 0;
    if (core) {
        width = Le16(header + 4);
        height = Le16(header + 6);
        planes = Le16(header + 8);
        bits = Le16(header + 10);
    } else {
        width = static_cast<int32_t>(Le32(header + 4));
        height = static_cast<int32_t>(Le32(header + 8));
        planes = Le16(header + 12);
        bits = Le16(header + 14);
        compression = Le32(header + 16);
        paletteCount = Le32(header + 32);
    }
    // A negative height stores the top row first.
    const bool topDown = height < 0;
    if (topDown)
        height = -height;
    if (planes != 1)
        return result.Fail("unsupported BMP plane count");
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return result.Fail("unsupported BMP pixel depth");
    if (!ImageLoader::SizeAllowed(static_cast<uint64_t>(width < 0 ? 0 : width), static_cast<uint64_t>(height)))
        return result.Fail("image size out of range");

    const bool masked = compression == COMPRESSION_BITFIELDS || compression == COMPRESSION_ALPHA_BITFIELDS;
    if (compression != COMPRESSION_NONE && !(masked && (bits == 16 || bits == 32)))
        return result.Fail("unsupported BMP compression");

    // Colour masks: inside a longer header, or right after the 40-byte one.
    size_t afterHeader = FILE_HEADER_SIZE + headerSize;
    Channel red, green, blue, alpha;
    bool hasAlpha = false;
    if (masked) {
        const uint8_t* masks = header + INFO_HEADER_SIZE;
        const size_t maskCount = compression == COMPRESSION_ALPHA_BITFIELDS ? 4 : 3;
        if (headerSize == INFO_HEADER_SIZE) {
            if (size - afterHeader < maskCount * 4)
                return result.Fail("truncated BMP header");
            afterHeader += maskCount * 4;
        } else if (headerSize < INFO_HEADER_SIZE + maskCount * 4) {
            return result.Fail("unsupported BMP header");
        }
        const bool alphaMask = maskCount == 4 || headerSize >= INFO_HEADER_WITH_ALPHA;
        if (!red.Set(Le32(masks)) || !green.Set(Le32(masks + 4)) || !blue.Set(Le32(masks + 8)) ||
            !alpha.Set(alphaMask ? Le32(masks + 12) : 0))
            return result.Fail("BMP colour mask is not one run of bits");
        hasAlpha = alpha.mask != 0;
    } else if (bits == 16) {
        // Five bits each of red, green and blue.
        red.Set(0x7C00);
        green.Set(0x03E0);
        blue.Set(0x001F);
    }

    // The palette of a picture of up to 8 bits a pixel follows the header.
    std::vector<uint32_t> palette;
    if (bits <= 8) {
        const uint32_t most = 1u << bits;
        if (core || paletteCount == 0)
            paletteCount = most;
        if (paletteCount > most)
            return result.Fail("BMP palette larger than its pixels can index");
        const size_t entrySize = core ? 3 : 4;
        if ((size - afterHeader) / entrySize < paletteCount)
            return result.Fail("truncated BMP palette");
        palette.resize(most, 0xFF000000u); // indices past the stored entries are black
        for (uint32_t i = 0; i < paletteCount; ++i) {
            const uint8_t* entry = data + afterHeader + i * entrySize;
            palette[i] = 0xFF000000u | (entry[2] << 16) | (entry[1] << 8) | entry[0];
        }
    }

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
            uint32_t argb;
            if (bits <= 8) {
                const uint32_t perByte = 8 / bits;
                const uint32_t shift = 8 - bits * (1 + x % perByte);
                argb = palette[(in[x / perByte] >> shift) & ((1u << bits) - 1)];
            } else if (bits == 24) {
                const uint8_t* p = in + x * 3;
                argb = 0xFF000000u | (p[2] << 16) | (p[1] << 8) | p[0];
            } else {
                const uint32_t pixel = bits == 16 ? Le16(in + x * 2) : Le32(in + x * 4);
                if (bits == 32 && !masked) {
                    // The fourth byte of an uncompressed 32-bit pixel is unused.
                    argb = 0xFF000000u | (pixel & 0xFFFFFF);
                } else {
                    argb = (static_cast<uint32_t>(alpha.Read(pixel, 0xFF)) << 24) | (red.Read(pixel, 0) << 16) |
                           (green.Read(pixel, 0) << 8) | blue.Read(pixel, 0);
                }
            }
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
