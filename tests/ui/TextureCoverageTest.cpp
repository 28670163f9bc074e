// What a picture's alpha lets through, read from textures whose alpha is laid out by hand.
#include "ui/TextureCoverage.h"
#include "UiDeviceFixture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using TextureCoverageTest = UiDeviceTest;

// 8 x 6 texels from rows of characters: '.' clear, 'h' half, '#' opaque.
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
            const uint32_t alpha = c == '#' ? 0xFF : c == 'h' ? 0x80 : 0x00;
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

} // namespace
