// What a picture's alpha lets through, read from textures whose alpha is laid out by hand.
#include "ui/TextureCoverage.h"
#include "UiDeviceFixture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using TextureCoverageTest = UiDeviceTest;

// Texels from rows of characters: '.' clear, 's' the faintest alpha (1), 'h' half, '#' opaque.
IDirect3DTexture9* Picture(IDirect3DDevice9* device, const std::vector<const char*>& rows,
                           D3DFORMAT format = D3DFMT_A8R8G8B8)
{
    const UINT width = static_cast<UINT>(std::strlen(rows[0]));
    const UINT height = static_cast<UINT>(rows.size());
    IDirect3DTexture9* texture = nullptr;
    EXPECT_EQ(device->CreateTexture(width, height, 1, 0, format, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
    D3DLOCKED_RECT locked{};
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    for (UINT y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.pBits) + locked.Pitch * y);
        for (UINT x = 0; x < width; ++x) {
            const char c = rows[y][x];
            const uint32_t alpha = c == '#' ? 0xFF : c == 'h' ? 0x80 : c == 's' ? 0x01 : 0x00;
            row[x] = (alpha << 24) | 0x00336699;
        }
    }
    texture->UnlockRect(0);
    return texture;
}

TEST_F(TextureCoverageTest, ShownTexelsAndTheOpaqueRowsBeneathABand)
{
    IDirect3DTexture9* texture = Picture(device, {
                                                     "........",
                                                     "...hh...",
                                                     "..####..",
                                                     ".h######",
                                                     ".#######",
                                                     ".#######",
                                                 });
    const TextureCoverage coverage(texture);
    EXPECT_EQ(coverage.GetTexture(), texture);
    EXPECT_EQ(coverage.GetWidth(), 8u);
    EXPECT_EQ(coverage.GetHeight(), 6u);
    const RECT& shown = coverage.GetShown();
    EXPECT_EQ(shown.left, 1);
    EXPECT_EQ(shown.top, 1);
    EXPECT_EQ(shown.right, 8);
    EXPECT_EQ(shown.bottom, 6);

    struct Case {
        LONG left, right, rowEnd;
        LONG expected;
    };
    const Case cases[] = {
        // Columns 2 and 3 are opaque from row 2 down.
        {2, 4, 6, 2},
        // Column 1 is half clear in row 3.
        {1, 4, 6, 4},
        // Column 0 is clear everywhere: no opaque row above the end.
        {0, 8, 6, 6},
        // Counting only to row 4: rows 2 and 3 of columns 2 to 7 are opaque except row 2's last two.
        {2, 8, 4, 3},
        // A band outside the picture, an empty band or an end past the bottom hides nothing.
        {6, 9, 6, 6},
        {-1, 3, 6, 6},
        {3, 3, 6, 6},
        {2, 4, 7, 7},
    };
    for (const Case& c : cases)
        EXPECT_EQ(coverage.OpaqueFrom(c.left, c.right, c.rowEnd), c.expected)
            << "columns " << c.left << ".." << c.right << " to row " << c.rowEnd;
    texture->Release();
}

TEST_F(TextureCoverageTest, APictureThatCannotBeReadShowsEverywhereAndHidesNothing)
{
    // Clear all over: nothing shows.
    IDirect3DTexture9* clear = Picture(device, {"....", "...."});
    const TextureCoverage none(clear);
    EXPECT_EQ(none.GetShown().right - none.GetShown().left, 0);
    clear->Release();

    // Without alpha: the whole picture shows and no row is known to be opaque.
    IDirect3DTexture9* solid = Picture(device, {"####", "####"}, D3DFMT_X8R8G8B8);
    const TextureCoverage unread(solid);
    EXPECT_EQ(unread.GetShown().right, 4);
    EXPECT_EQ(unread.GetShown().bottom, 2);
    EXPECT_EQ(unread.OpaqueFrom(0, 4, 2), 2);
    solid->Release();

    const TextureCoverage nothing(nullptr);
    EXPECT_EQ(nothing.GetTexture(), nullptr);
    EXPECT_EQ(nothing.OpaqueFrom(0, 1, 1), 1);
}

TEST_F(TextureCoverageTest, PiecesHoldEveryShownTexelOnceAndTheLargestOpaqueRectangleApart)
{
    constexpr int kWidth = 64;
    constexpr int kHeight = 40;
    // An opaque body (rows 3 to 37, columns 2 to 59) inside a half-clear rim, with a clear hole at columns 20 to
    // 26 of rows 8 to 14; a picture opaque all over; one half clear all over; one whose opaque part is too small
    // to be drawn apart (a 31 x 32 block).
    std::vector<std::string> framed(kHeight, std::string(kWidth, '.'));
    for (int y = 2; y < 38; ++y)
        for (int x = 1; x < 60; ++x)
            framed[y][x] = (y == 2 || y == 37 || x == 1 || x == 59) ? 'h' : '#';
    for (int y = 8; y < 14; ++y)
        for (int x = 20; x < 26; ++x)
            framed[y][x] = '.';
    const std::vector<std::string> solid(kHeight, std::string(kWidth, '#'));
    const std::vector<std::string> half(kHeight, std::string(kWidth, 'h'));
    std::vector<std::string> small(half);
    for (int y = 4; y < 36; ++y)
        for (int x = 10; x < 41; ++x)
            small[y][x] = '#';
    struct Case {
        const char* name;
        const std::vector<std::string>* rows;
        // The opaque piece, or none.
        RECT opaque;
    };
    const Case cases[] = {
        // Beside the hole: 33 x 34 = 1122 texels; above it 57 x 5; below it 57 x 23 = 1311, the largest.
        {"framed", &framed, {2, 14, 59, 37}},
        {"solid", &solid, {0, 0, kWidth, kHeight}},
        {"half", &half, {0, 0, 0, 0}},
        {"small", &small, {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        std::vector<const char*> lines;
        for (const std::string& row : *c.rows)
            lines.push_back(row.c_str());
        IDirect3DTexture9* texture = Picture(device, lines);
        const TextureCoverage coverage(texture);
        std::vector<int> hits(kWidth * kHeight, 0);
        RECT opaque{0, 0, 0, 0};
        for (const TextureCoverage::Piece& piece : coverage.GetPieces()) {
            if (piece.opaque) {
                EXPECT_EQ(opaque.right, 0) << c.name << ": a second opaque piece";
                opaque = piece.texels;
            }
            for (LONG y = piece.texels.top; y < piece.texels.bottom; ++y)
                for (LONG x = piece.texels.left; x < piece.texels.right; ++x)
                    ++hits[static_cast<size_t>(y * kWidth + x)];
        }
        EXPECT_EQ(opaque.left, c.opaque.left) << c.name;
        EXPECT_EQ(opaque.top, c.opaque.top) << c.name;
        EXPECT_EQ(opaque.right, c.opaque.right) << c.name;
        EXPECT_EQ(opaque.bottom, c.opaque.bottom) << c.name;
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const int hit = hits[static_cast<size_t>(y * kWidth + x)];
                EXPECT_LE(hit, 1) << c.name << " " << x << "," << y << " lies in two pieces";
                if ((*c.rows)[static_cast<size_t>(y)][static_cast<size_t>(x)] != '.') {
                    EXPECT_EQ(hit, 1) << c.name << " " << x << "," << y << " shows but lies in no piece";
                }
            }
        }
        EXPECT_LE(coverage.GetPieces().size(), 5u) << c.name;
        texture->Release();
    }
}

TEST_F(TextureCoverageTest, TheShownRectangleHoldsEveryTexelWithAnyAlpha)
{
    struct Case {
        const char* name;
        std::vector<const char*> rows;
        RECT shown;
    };
    const Case cases[] = {
        {"clear all over", {"......", "......", "......"}, {0, 0, 0, 0}},
        {"one opaque texel in the last corner", {"......", "......", ".....#"}, {5, 2, 6, 3}},
        {"one opaque texel in the first corner", {"#.....", "......", "......"}, {0, 0, 1, 1}},
        // The faintest alpha still blends a trace of the texel in.
        {"soft edges", {"......", "..ss..", ".s##s.", "..ss..", "......"}, {1, 1, 5, 4}},
        {"nothing but the faintest", {"......", "...s..", "......"}, {3, 1, 4, 2}},
    };
    for (const Case& c : cases) {
        IDirect3DTexture9* texture = Picture(device, c.rows);
        const TextureCoverage coverage(texture);
        const RECT& shown = coverage.GetShown();
        EXPECT_EQ(shown.left, c.shown.left) << c.name;
        EXPECT_EQ(shown.top, c.shown.top) << c.name;
        EXPECT_EQ(shown.right, c.shown.right) << c.name;
        EXPECT_EQ(shown.bottom, c.shown.bottom) << c.name;
        // The pieces hold the shown texels and nothing is opaque enough to be drawn apart.
        LONG area = 0;
        for (const TextureCoverage::Piece& piece : coverage.GetPieces()) {
            EXPECT_FALSE(piece.opaque) << c.name;
            area += (piece.texels.right - piece.texels.left) * (piece.texels.bottom - piece.texels.top);
        }
        EXPECT_EQ(area, (c.shown.right - c.shown.left) * (c.shown.bottom - c.shown.top)) << c.name;
        texture->Release();
    }
    // A soft edge is not opaque: the band over the opaque middle is hidden only from row 2 to its end at row 3.
    IDirect3DTexture9* soft = Picture(device, {"......", "..ss..", ".s##s.", "..ss.."});
    const TextureCoverage coverage(soft);
    EXPECT_EQ(coverage.OpaqueFrom(2, 4, 3), 2);
    EXPECT_EQ(coverage.OpaqueFrom(1, 4, 3), 3);
    soft->Release();
}

TEST_F(TextureCoverageTest, EveryLargeClearHoleIsLeftOutNotOnlyTheLargest)
{
    // A frame 140 x 60 as the HUD's is built: an opaque middle (columns 60 to 80) raised above half-clear sides.
    // The left side has a clear corner above it (60 x 20 = 1200 texels) and a clear window in it (50 x 22 =
    // 1100, columns 5 to 55 of rows 28 to 50); the right side only its corner.
    constexpr int kWidth = 140;
    constexpr int kHeight = 60;
    std::vector<std::string> rows(kHeight, std::string(kWidth, 'h'));
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            if (x >= 60 && x < 80)
                rows[y][x] = '#';
            else if (y < 20)
                rows[y][x] = '.';
            else if (y >= 28 && y < 50 && x >= 5 && x < 55)
                rows[y][x] = '.';
        }
    std::vector<const char*> lines;
    for (const std::string& row : rows)
        lines.push_back(row.c_str());
    IDirect3DTexture9* texture = Picture(device, lines);
    const TextureCoverage coverage(texture);
    std::vector<int> hits(kWidth * kHeight, 0);
    for (const TextureCoverage::Piece& piece : coverage.GetPieces())
        for (LONG y = piece.texels.top; y < piece.texels.bottom; ++y)
            for (LONG x = piece.texels.left; x < piece.texels.right; ++x)
                ++hits[static_cast<size_t>(y * kWidth + x)];
    int drawnClear = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const int hit = hits[static_cast<size_t>(y * kWidth + x)];
            const bool clear = rows[static_cast<size_t>(y)][static_cast<size_t>(x)] == '.';
            EXPECT_EQ(hit, clear ? 0 : 1) << x << "," << y;
            drawnClear += clear && hit > 0;
        }
    EXPECT_EQ(drawnClear, 0);
    texture->Release();
}

} // namespace
