#include "ui/TextureCoverage.h"

#include <algorithm>
#include <cstring>

namespace {
// An opaque rectangle smaller than this is not worth the draws it adds.
constexpr LONG kMinOpaqueArea = 32 * 32;
} // namespace

TextureCoverage::TextureCoverage(IDirect3DTexture9* picture) : texture(picture)
{
    if (!picture)
        return;
    D3DSURFACE_DESC desc{};
    if (FAILED(picture->GetLevelDesc(0, &desc)) || desc.Width == 0 || desc.Height == 0)
        return;
    width = desc.Width;
    height = desc.Height;
    // Unknown until read: the whole picture shows, and none of it is known to be opaque.
    shown = RECT{0, 0, static_cast<LONG>(width), static_cast<LONG>(height)};
    pieces = {{shown, false}};
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
    CutIntoPieces();
}

void TextureCoverage::CutIntoPieces()
{
    pieces.clear();
    if (shown.right <= shown.left)
        return;
    // The largest rectangle of opaque texels, from the heights of the opaque columns standing on each row.
    const LONG w = static_cast<LONG>(width);
    std::vector<LONG> heights(width + 1, 0);
    std::vector<LONG> stack;
    RECT best{0, 0, 0, 0};
    LONG bestArea = 0;
    for (LONG y = shown.top; y < shown.bottom; ++y) {
        for (LONG x = 0; x < w; ++x)
            heights[static_cast<size_t>(x)] =
                alpha[static_cast<size_t>(y * w + x)] == 0xFF ? heights[static_cast<size_t>(x)] + 1 : 0;
        stack.clear();
        for (LONG x = 0; x <= w; ++x) {
            const LONG h = heights[static_cast<size_t>(x)];
            while (!stack.empty() && heights[static_cast<size_t>(stack.back())] >= h) {
                const LONG top = heights[static_cast<size_t>(stack.back())];
                stack.pop_back();
                const LONG left = stack.empty() ? 0 : stack.back() + 1;
                if (top * (x - left) > bestArea) {
                    bestArea = top * (x - left);
                    best = RECT{left, y + 1 - top, x, y + 1};
                }
            }
            stack.push_back(x);
        }
    }
    if (bestArea < kMinOpaqueArea) {
        pieces.push_back({shown, false});
        return;
    }
    // The rest of the shown rectangle around it: the full-width bands above and below, and the sides.
    const RECT around[4] = {
        {shown.left, shown.top, shown.right, best.top},
        {shown.left, best.bottom, shown.right, shown.bottom},
        {shown.left, best.top, best.left, best.bottom},
        {best.right, best.top, shown.right, best.bottom},
    };
    pieces.push_back({best, true});
    for (const RECT& part : around)
        if (part.right > part.left && part.bottom > part.top)
            pieces.push_back({part, false});
}

LONG TextureCoverage::OpaqueFrom(LONG left, LONG right, LONG rowEnd) const
{
    if (alpha.empty() || left < 0 || right <= left || right > static_cast<LONG>(width) || rowEnd <= 0 ||
        rowEnd > static_cast<LONG>(height))
        return rowEnd;
    if (left == askedLeft && right == askedRight && rowEnd == askedEnd)
        return answer;
    LONG row = rowEnd;
    while (row > 0) {
        const uint8_t* texel = alpha.data() + static_cast<size_t>(width) * static_cast<size_t>(row - 1);
        if (!std::all_of(texel + left, texel + right, [](uint8_t a) { return a == 0xFF; }))
            break;
        --row;
    }
    askedLeft = left;
    askedRight = right;
    askedEnd = rowEnd;
    answer = row;
    return row;
}
