#include "d3d9/PixelFormat.h"

#include <cstring>

namespace {

uint32_t Scale8(uint32_t value, uint32_t bits)
{
    // Rounds an 8-bit channel to fewer bits.
    const uint32_t max = (1u << bits) - 1u;
    return (value * max + 127u) / 255u;
}

uint32_t Expand(uint32_t value, uint32_t bits)
{
    const uint32_t max = (1u << bits) - 1u;
    return (value * 255u + max / 2u) / max;
}

} // namespace

UINT PixelFormat::BytesPerPixel(D3DFORMAT format)
{
    switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_A8B8G8R8:
    case D3DFMT_X8B8G8R8:
        return 4;
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
        return 2;
    case D3DFMT_L8:
    case D3DFMT_A8:
        return 1;
    default:
        return 0;
    }
}

bool PixelFormat::IsDepthFormat(D3DFORMAT format)
{
    switch (format) {
    case D3DFMT_D16_LOCKABLE:
    case D3DFMT_D32:
    case D3DFMT_D15S1:
    case D3DFMT_D24S8:
    case D3DFMT_D24X8:
    case D3DFMT_D24X4S4:
    case D3DFMT_D16:
        return true;
    default:
        return false;
    }
}

bool PixelFormat::HasStencil(D3DFORMAT format)
{
    return format == D3DFMT_D24S8 || format == D3DFMT_D15S1 || format == D3DFMT_D24X4S4;
}

bool PixelFormat::IsRenderTargetFormat(D3DFORMAT format)
{
    return format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8 || format == D3DFMT_R5G6B5;
}

void PixelFormat::EncodeColor(D3DCOLOR color, D3DFORMAT format, void* out)
{
    const uint32_t a = (color >> 24) & 0xFF;
    const uint32_t r = (color >> 16) & 0xFF;
    const uint32_t g = (color >> 8) & 0xFF;
    const uint32_t b = color & 0xFF;
    uint8_t* bytes = static_cast<uint8_t*>(out);
    uint16_t packed16 = 0;
    switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
        bytes[0] = static_cast<uint8_t>(b);
        bytes[1] = static_cast<uint8_t>(g);
        bytes[2] = static_cast<uint8_t>(r);
        bytes[3] = static_cast<uint8_t>(format == D3DFMT_X8R8G8B8 ? 0xFF : a);
        return;
    case D3DFMT_A8B8G8R8:
    case D3DFMT_X8B8G8R8:
        bytes[0] = static_cast<uint8_t>(r);
        bytes[1] = static_cast<uint8_t>(g);
        bytes[2] = static_cast<uint8_t>(b);
        bytes[3] = static_cast<uint8_t>(format == D3DFMT_X8B8G8R8 ? 0xFF : a);
        return;
    case D3DFMT_R5G6B5:
        packed16 = static_cast<uint16_t>((Scale8(r, 5) << 11) | (Scale8(g, 6) << 5) | Scale8(b, 5));
        break;
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5: {
        const uint32_t alphaBit = (format == D3DFMT_X1R5G5B5 || a >= 128) ? 1u : 0u;
        packed16 = static_cast<uint16_t>((alphaBit << 15) | (Scale8(r, 5) << 10) | (Scale8(g, 5) << 5) | Scale8(b, 5));
        break;
    }
    case D3DFMT_A4R4G4B4:
        packed16 =
            static_cast<uint16_t>((Scale8(a, 4) << 12) | (Scale8(r, 4) << 8) | (Scale8(g, 4) << 4) | Scale8(b, 4));
        break;
    case D3DFMT_L8:
        // Rec. 601 luma, as the format conversions of the era used.
        bytes[0] = static_cast<uint8_t>((r * 299u + g * 587u + b * 114u + 500u) / 1000u);
        return;
    case D3DFMT_A8:
        bytes[0] = static_cast<uint8_t>(a);
        return;
    default:
        return;
    }
    std::memcpy(out, &packed16, sizeof(packed16));
}

D3DCOLOR PixelFormat::DecodeColor(const void* pixel, D3DFORMAT format)
{
    const uint8_t* bytes = static_cast<const uint8_t*>(pixel);
    uint16_t packed16 = 0;
    if (BytesPerPixel(format) == 2)
        std::memcpy(&packed16, pixel, sizeof(packed16));
    switch (format) {
    case D3DFMT_A8R8G8B8:
        return D3DCOLOR_ARGB(bytes[3], bytes[2], bytes[1], bytes[0]);
    case D3DFMT_X8R8G8B8:
        return D3DCOLOR_ARGB(0xFF, bytes[2], bytes[1], bytes[0]);
    case D3DFMT_A8B8G8R8:
        return D3DCOLOR_ARGB(bytes[3], bytes[0], bytes[1], bytes[2]);
    case D3DFMT_X8B8G8R8:
        return D3DCOLOR_ARGB(0xFF, bytes[0], bytes[1], bytes[2]);
    case D3DFMT_R5G6B5:
        return D3DCOLOR_ARGB(0xFF, Expand((packed16 >> 11) & 31u, 5), Expand((packed16 >> 5) & 63u, 6),
                             Expand(packed16 & 31u, 5));
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5: {
        const uint32_t a = (format == D3DFMT_X1R5G5B5 || (packed16 & 0x8000u)) ? 0xFFu : 0u;
        return D3DCOLOR_ARGB(a, Expand((packed16 >> 10) & 31u, 5), Expand((packed16 >> 5) & 31u, 5),
                             Expand(packed16 & 31u, 5));
    }
    case D3DFMT_A4R4G4B4:
        return D3DCOLOR_ARGB(Expand((packed16 >> 12) & 15u, 4), Expand((packed16 >> 8) & 15u, 4),
                             Expand((packed16 >> 4) & 15u, 4), Expand(packed16 & 15u, 4));
    case D3DFMT_L8:
        return D3DCOLOR_ARGB(0xFF, bytes[0], bytes[0], bytes[0]);
    case D3DFMT_A8:
        return D3DCOLOR_ARGB(bytes[0], 0, 0, 0);
    default:
        return 0;
    }
}

void PixelFormat::FillRect(void* bits, INT pitch, D3DFORMAT format, const RECT& rect, D3DCOLOR color)
{
    const UINT size = BytesPerPixel(format);
    if (!bits || size == 0 || rect.right <= rect.left || rect.bottom <= rect.top)
        return;
    uint8_t pixel[4];
    EncodeColor(color, format, pixel);
    for (LONG y = rect.top; y < rect.bottom; ++y) {
        uint8_t* row = static_cast<uint8_t*>(bits) + static_cast<size_t>(y) * static_cast<size_t>(pitch) +
                       static_cast<size_t>(rect.left) * size;
        for (LONG x = rect.left; x < rect.right; ++x, row += size)
            std::memcpy(row, pixel, size);
    }
}
