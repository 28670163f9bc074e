#include "ui/TextureCoverage.h"

#include <algorithm>
#include <cstring>

namespace {
// An opaque rectangle or a clear hole smaller than this is not worth the triangles it adds.
constexpr LONG MIN_AREA = 32 * 32;
// How many times over holes are taken out of what is left of a part.
constexpr int HOLE_DEPTH = 3;
} // namespace

TextureCoverage::TextureCoverage(IDirect3DTexture9* picture) : m_texture(picture)
{
    if (!picture)
        return;
    D3DSURFACE_DESC desc{};
    if (FAILED(picture->GetLevelDesc(0, &desc)) || desc.Width == 0 || desc.Height == 0)
        return;
    m_width = desc.Width;
    m_height = desc.Height;
    // Unknown until read: the whole picture shows, and none of it is known to be opaque.
    m_shown = RECT{0, 0, static_cast<LONG>(m_width), static_cast<LONG>(m_height)};
    m_pieces = {{m_shown, false}};
    if (desc.Format != D3DFMT_A8R8G8B8)
        return;
    D3DLOCKED_RECT locked{};
    if (FAILED(picture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY)) || !locked.pBits)
        return;
    m_alpha.resize(static_cast<size_t>(m_width) * m_height);
    LONG left = static_cast<LONG>(m_width);
    LONG top = static_cast<LONG>(m_height);
    LONG right = 0;
    LONG bottom = 0;
    for (UINT y = 0; y < m_height; ++y) {
        const auto* row = static_cast<const uint8_t*>(locked.pBits) + static_cast<size_t>(locked.Pitch) * y;
        uint8_t* out = m_alpha.data() + static_cast<size_t>(m_width) * y;
        for (UINT x = 0; x < m_width; ++x) {
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
    m_shown = right > left ? RECT{left, top, right, bottom} : RECT{0, 0, 0, 0};
    CutIntoPieces();
}

void TextureCoverage::CutIntoPieces()
{
    m_pieces.clear();
    if (m_shown.right <= m_shown.left)
        return;
    const LONG w = static_cast<LONG>(m_width);
    // The largest rectangle within `area` of texels whose alpha is `value`, from the heights of the columns of
    // such texels standing on each row.
    std::vector<LONG> heights;
    std::vector<LONG> stack;
    const auto largest = [&](const RECT& area, uint8_t value) {
        heights.assign(static_cast<size_t>(area.right - area.left) + 1, 0);
        RECT best{0, 0, 0, 0};
        LONG bestArea = 0;
        for (LONG y = area.top; y < area.bottom; ++y) {
            for (LONG x = area.left; x < area.right; ++x) {
                LONG& h = heights[static_cast<size_t>(x - area.left)];
                h = m_alpha[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)] == value ? h + 1
                                                                                                               : 0;
            }
            stack.clear();
            for (LONG i = 0; i <= area.right - area.left; ++i) {
                const LONG h = heights[static_cast<size_t>(i)];
                while (!stack.empty() && heights[static_cast<size_t>(stack.back())] >= h) {
                    const LONG tall = heights[static_cast<size_t>(stack.back())];
                    stack.pop_back();
                    const LONG from = stack.empty() ? 0 : stack.back() + 1;
                    if (tall * (i - from) > bestArea) {
                        bestArea = tall * (i - from);
                        best = RECT{area.left + from, y + 1 - tall, area.left + i, y + 1};
                    }
                }
                stack.push_back(i);
            }
        }
        return bestArea >= MIN_AREA ? best : RECT{0, 0, 0, 0};
    };
    // What of `area` lies around `inner`: the full-width bands above and below it, and its sides.
    const auto around = [](const RECT& area, const RECT& inner, bool opaque, std::vector<Piece>& out) {
        const RECT parts[4] = {
            {area.left, area.top, area.right, inner.top},
            {area.left, inner.bottom, area.right, area.bottom},
            {area.left, inner.top, inner.left, inner.bottom},
            {inner.right, inner.top, area.right, inner.bottom},
        };
        for (const RECT& part : parts)
            if (part.right > part.left && part.bottom > part.top)
                out.push_back({part, opaque});
    };
    std::vector<Piece> rest;
    const RECT solid = largest(m_shown, 0xFF);
    if (solid.right > solid.left) {
        m_pieces.push_back({solid, true});
        around(m_shown, solid, false, rest);
    } else {
        rest.push_back({m_shown, false});
    }
    // Large clear holes in what is left are not drawn either: the largest, then the largest in each part around
    // it, a few times over (a frame's corners beside a raised middle, and the windows cut in its sides).
    const auto carve = [&](const auto& self, const RECT& area, int depth) -> void {
        const RECT hole = depth > 0 ? largest(area, 0x00) : RECT{0, 0, 0, 0};
        if (hole.right <= hole.left) {
            m_pieces.push_back({area, false});
            return;
        }
        std::vector<Piece> parts;
        around(area, hole, false, parts);
        for (const Piece& part : parts)
            self(self, part.texels, depth - 1);
    };
    for (const Piece& piece : rest)
        carve(carve, piece.texels, HOLE_DEPTH);
}

LONG TextureCoverage::OpaqueFrom(LONG left, LONG right, LONG rowEnd) const
{
    if (m_alpha.empty() || left < 0 || right <= left || right > static_cast<LONG>(m_width) || rowEnd <= 0 ||
        rowEnd > static_cast<LONG>(m_height))
        return rowEnd;
    if (left == m_askedLeft && right == m_askedRight && rowEnd == m_askedEnd)
        return m_answer;
    LONG row = rowEnd;
    while (row > 0) {
        const uint8_t* texel = m_alpha.data() + static_cast<size_t>(m_width) * static_cast<size_t>(row - 1);
        if (!std::all_of(texel + left, texel + right, [](uint8_t a) { return a == 0xFF; }))
            break;
        --row;
    }
    m_askedLeft = left;
    m_askedRight = right;
    m_askedEnd = rowEnd;
    m_answer = row;
    return row;
}
