#include "vfw/Vfw.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// X1R5G5B5 values worked out by hand: each channel keeps its top five bits.
constexpr uint16_t RED16 = 0x7C00; // 31 << 10
constexpr uint16_t GREEN16 = 0x03E0; // 31 << 5
constexpr uint16_t BLUE16 = 0x001F;
constexpr uint16_t WHITE16 = 0x7FFF;
constexpr uint16_t GREY16 = (16 << 10) | (16 << 5) | 16; // 128 >> 3 = 16

// A 2 x 2 24-bit source: red, green on top; blue, white below. Rows padded from 6 to 8 bytes.
struct Source {
    BITMAPINFOHEADER header{};
    std::vector<uint8_t> bits;

    explicit Source(bool bottomUp)
    {
        header.biSize = 40;
        header.biWidth = 2;
        header.biHeight = bottomUp ? 2 : -2;
        header.biPlanes = 1;
        header.biBitCount = 24;
        header.biCompression = BI_RGB;
        const std::vector<uint8_t> top = {0, 0, 255, 0, 255, 0, 0xEE, 0xEE};
        const std::vector<uint8_t> bottom = {255, 0, 0, 255, 255, 255, 0xEE, 0xEE};
        bits = bottomUp ? bottom : top;
        const std::vector<uint8_t>& second = bottomUp ? top : bottom;
        bits.insert(bits.end(), second.begin(), second.end());
    }
};

// A memory DC holding a 16-bit DIB section of the given size, rows read back from the top.
struct Target {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
    uint8_t* bits = nullptr;
    int width, height, stride;
    bool bottomUp;

    Target(int w, int h, bool bottomUp = true)
        : width(w), height(h), stride(((w * 16 + 31) / 32) * 4), bottomUp(bottomUp)
    {
        BITMAPINFO info{};
        info.bmiHeader = {40, w, bottomUp ? h : -h, 1, 16, BI_RGB, 0, 0, 0, 0, 0};
        void* p = nullptr;
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &p, nullptr, 0);
        bits = static_cast<uint8_t*>(p);
        previous = SelectObject(dc, bitmap);
    }
    ~Target()
    {
        SelectObject(dc, previous);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    uint16_t At(int x, int y) const
    {
        const uint8_t* p = bits + (bottomUp ? height - 1 - y : y) * stride + x * 2;
        return uint16_t(p[0] | (p[1] << 8));
    }
    void Fill(uint16_t v)
    {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                uint8_t* p = bits + y * stride + x * 2;
                p[0] = uint8_t(v);
                p[1] = uint8_t(v >> 8);
            }
    }
};

TEST(DrawDibTest, StretchesEachSourcePixelOverItsShareOfTheTarget)
{
    HDRAWDIB drawDib = DrawDibOpen();
    ASSERT_NE(drawDib, nullptr);
    for (bool sourceBottomUp : {true, false}) {
        for (bool targetBottomUp : {true, false}) {
            SCOPED_TRACE(::testing::Message()
                         << "source bottom-up " << sourceBottomUp << ", target bottom-up " << targetBottomUp);
            Source source(sourceBottomUp);
            Target target(4, 4, targetBottomUp);
            ASSERT_NE(target.bits, nullptr);
            ASSERT_TRUE(DrawDibDraw(drawDib, target.dc, 0, 0, 4, 4, &source.header, source.bits.data(), 0, 0, 2, 2, 0));
            const uint16_t expected[4][4] = {{RED16, RED16, GREEN16, GREEN16},
                                             {RED16, RED16, GREEN16, GREEN16},
                                             {BLUE16, BLUE16, WHITE16, WHITE16},
                                             {BLUE16, BLUE16, WHITE16, WHITE16}};
            for (int y = 0; y < 4; ++y)
                for (int x = 0; x < 4; ++x)
                    EXPECT_EQ(target.At(x, y), expected[y][x]) << x << "," << y;
        }
    }
    EXPECT_TRUE(DrawDibClose(drawDib));
}

TEST(DrawDibTest, DrawsPartsOfTheSourceIntoPartsOfTheTargetAndClipsAtItsEdges)
{
    HDRAWDIB drawDib = DrawDibOpen();
    Source source(true);
    struct Case {
        const char* name;
        int xDst, yDst, dxDst, dyDst, xSrc, ySrc, dxSrc, dySrc;
        uint16_t expected[3][3];
    };
    constexpr uint16_t G = GREY16;
    const Case cases[] = {
        // The source's right column (green over white) into the target's middle column. The centre of target
        // row 1 lies at 1.5 / 3 x 2 = 1.0 source rows: on the white pixel's top edge, so it is white.
        {"column", 1, 0, 1, 3, 1, 0, 1, 2, {{G, GREEN16, G}, {G, WHITE16, G}, {G, WHITE16, G}}},
        // The bottom-left pixel, blue, over a rectangle hanging off the top-left corner.
        {"clipped", -2, -2, 4, 4, 0, 1, 1, 1, {{BLUE16, BLUE16, G}, {BLUE16, BLUE16, G}, {G, G, G}}},
        // Shrinking 2 x 2 to 1 x 1 takes the pixel nearest the centre of the target pixel.
        {"shrunk", 2, 2, 1, 1, 0, 0, 2, 2, {{G, G, G}, {G, G, G}, {G, G, WHITE16}}},
        // Entirely outside: nothing drawn.
        {"outside", 3, 0, 2, 2, 0, 0, 2, 2, {{G, G, G}, {G, G, G}, {G, G, G}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Target target(3, 3);
        target.Fill(GREY16);
        EXPECT_TRUE(DrawDibDraw(drawDib, target.dc, c.xDst, c.yDst, c.dxDst, c.dyDst, &source.header,
                                source.bits.data(), c.xSrc, c.ySrc, c.dxSrc, c.dySrc, 0));
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 3; ++x)
                EXPECT_EQ(target.At(x, y), c.expected[y][x]) << x << "," << y;
    }
    DrawDibClose(drawDib);
}

TEST(DrawDibTest, PixelsFollowingTheHeaderAreUsedWhenNoBitsAreGiven)
{
    // A packed DIB: header, no colour table, then one 32-bit pixel of (R 200, G 100, B 8).
    std::vector<uint8_t> packed(44, 0);
    BITMAPINFOHEADER header{40, 1, 1, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    std::memcpy(packed.data(), &header, 40);
    packed[40] = 8;
    packed[41] = 100;
    packed[42] = 200;
    HDRAWDIB drawDib = DrawDibOpen();
    Target target(1, 1);
    ASSERT_TRUE(DrawDibDraw(drawDib, target.dc, 0, 0, 1, 1, reinterpret_cast<BITMAPINFOHEADER*>(packed.data()), nullptr,
                            0, 0, 1, 1, 0));
    EXPECT_EQ(target.At(0, 0), (25 << 10) | (12 << 5) | 1); // 200 >> 3, 100 >> 3, 8 >> 3
    DrawDibClose(drawDib);
}

TEST(DrawDibTest, RefusesWhatItCannotDraw)
{
    HDRAWDIB drawDib = DrawDibOpen();
    Source source(true);
    Target target(2, 2);
    HDC bare = CreateCompatibleDC(nullptr); // holds no DIB section
    BITMAPINFOHEADER paletted = source.header;
    paletted.biBitCount = 8;
    BITMAPINFOHEADER compressed = source.header;
    compressed.biCompression = mmioFOURCC('M', 'J', 'P', 'G');
    uint8_t* bits = source.bits.data();
    EXPECT_FALSE(DrawDibDraw(nullptr, target.dc, 0, 0, 2, 2, &source.header, bits, 0, 0, 2, 2, 0));
    EXPECT_FALSE(DrawDibDraw(drawDib, bare, 0, 0, 2, 2, &source.header, bits, 0, 0, 2, 2, 0));
    EXPECT_FALSE(DrawDibDraw(drawDib, nullptr, 0, 0, 2, 2, &source.header, bits, 0, 0, 2, 2, 0));
    EXPECT_FALSE(DrawDibDraw(drawDib, target.dc, 0, 0, 2, 2, nullptr, bits, 0, 0, 2, 2, 0));
    EXPECT_FALSE(DrawDibDraw(drawDib, target.dc, 0, 0, 2, 2, &paletted, bits, 0, 0, 2, 2, 0));
    EXPECT_FALSE(DrawDibDraw(drawDib, target.dc, 0, 0, 2, 2, &compressed, bits, 0, 0, 2, 2, 0));
    // A source rectangle reaching past the source's pixels.
    EXPECT_FALSE(DrawDibDraw(drawDib, target.dc, 0, 0, 2, 2, &source.header, bits, 1, 0, 2, 2, 0));
    EXPECT_FALSE(DrawDibDraw(drawDib, target.dc, 0, 0, 2, 2, &source.header, bits, 0, -1, 2, 2, 0));
    EXPECT_FALSE(DrawDibDraw(drawDib, target.dc, 0, 0, 0, 2, &source.header, bits, 0, 0, 2, 2, 0));
    DeleteDC(bare);
    EXPECT_TRUE(DrawDibClose(drawDib));
    EXPECT_FALSE(DrawDibClose(drawDib));
    EXPECT_FALSE(DrawDibDraw(drawDib, target.dc, 0, 0, 2, 2, &source.header, bits, 0, 0, 2, 2, 0));
}

} // namespace
