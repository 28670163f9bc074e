#include "ui/TextureCoverage.h"

#include <algorithm>
#include <cstring>

TextureCoverage::TextureCoverage(IDirect3DTexture9* picture) : texture(picture)
{
    if (!picture)
        return;
    D3DSURFACE_DESC desc{};
    if (FAILED(picture->GetLevelDesc(0, &desc)) || desc.Width == 0 || desc.Height == 0)
        return;
    width = desc.Width;
    height = desc.Height;
    // Unknown until read: the whole picture shows.
    shown = RECT{0, 0, static_cast<LONG>(width), static_cast<LONG>(height)};
    if (desc.Format != D3DFMT_A8R8G8B8)
        return;
    D3DLOCKED_RECT locked{};
    if (FAILED(picture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY)) || !locked.pBits)
        return;
    alpha.resize(static_cast<size_t>(width) * height);
    LONG left = static_cast<LONG>(width);
    LONG top = static_cast<LONG>(height);
    LONG right = 0;
    LONG bottom = 0;
    for (UINT y = 0; y < height; ++y) {
        const auto* row = static_cast<const uint8_t*>(locked.pBits) + static_cast<size_t>(locked.Pitch) * y;
        uint8_t* out = alpha.data() + static_cast<size_t>(width) * y;
        for (UINT x = 0; x < width; ++x) {
            // A8R8G8B8 keeps alpha in the fourth byte of each little-endian texel.
            out[x] = row[x * 4 + 3];
            if (out[x] != 0) {
                left = std::min(left, static_cast<LONG>(x));
                right = std::max(right, static_cast<LONG>(x) + 1);
                top = std::min(top, static_cast<LONG>(y));
                bottom = std::max(bottom, static_cast<LONG>(y) + 1);
            }
        }
    }
    picture->UnlockRect(0);
    shown = right > left ? RECT{left, top, right, bottom} : RECT{0, 0, 0, 0};
}

LONG TextureCoverage::OpaqueFrom(LONG left, LONG right, LONG rowEnd) const
{
    if (alpha.empty() || left < 0 || right <= left || right > static_cast<LONG>(width) || rowEnd <= 0 ||
        rowEnd > static_cast<LONG>(height))
        return rowEnd;
    LONG row = rowEnd;
    while (row > 0) {
        const uint8_t* texel = alpha.data() + static_cast<size_t>(width) * static_cast<size_t>(row - 1);
        if (!std::all_of(texel + left, texel + right, [](uint8_t a) { return a == 0xFF; }))
            break;
        --row;
    }
    return row;
}
