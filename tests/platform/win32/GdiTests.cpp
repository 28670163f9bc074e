#include "win32/GdiObjects.h"
#include "win32/Win32.h"

#include <gtest/gtest.h>

namespace {

BITMAPINFO Header(LONG width, LONG height, WORD bits, DWORD compression = BI_RGB)
{
    BITMAPINFO info{};
    info.bmiHeader = {40, width, height, 1, bits, compression, 0, 0, 0, 0, 0};
    return info;
}

TEST(GdiTest, DibSectionsHaveRowsPaddedToFourBytesAndStartBlack)
{
    struct Case {
        LONG width, height;
        WORD bits;
        int stride;
    };
    // Strides worked out as width x bytes per pixel rounded up to a multiple of four.
    const Case cases[] = {{1024, 768, 16, 2048}, {3, 2, 16, 8}, {5, 3, 24, 16}, {4, -2, 24, 12}, {3, 1, 32, 12}};
    HDC dc = CreateCompatibleDC(nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height << "x" << c.bits);
        BITMAPINFO info = Header(c.width, c.height, c.bits);
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        ASSERT_NE(bitmap, nullptr);
        ASSERT_NE(bits, nullptr);
        HGDIOBJ previous = SelectObject(dc, bitmap);
        ASSERT_NE(previous, nullptr);
        DibPixels pixels;
        ASSERT_TRUE(GetSelectedDib(dc, &pixels));
        EXPECT_EQ(pixels.bits, bits);
        EXPECT_EQ(pixels.stride, c.stride);
        EXPECT_EQ(pixels.height, c.height < 0 ? -c.height : c.height);
        EXPECT_EQ(pixels.bottomUp, c.height > 0);
        const auto* bytes = static_cast<const uint8_t*>(bits);
        int nonZero = 0;
        for (int i = 0; i < c.stride * pixels.height; ++i)
            nonZero += bytes[i] != 0;
        EXPECT_EQ(nonZero, 0);
        EXPECT_EQ(SelectObject(dc, previous), bitmap);
        EXPECT_TRUE(DeleteObject(bitmap));
    }
    EXPECT_TRUE(DeleteDC(dc));
}

TEST(GdiTest, DibSectionsGdiCannotMakeAreRefused)
{
    const BITMAPINFO cases[] = {
        Header(4, 4, 8), // needs a palette
        Header(4, 4, 1),  Header(4, 4, 16, 3), // bit fields
        Header(0, 4, 16), Header(-4, 4, 16),
        Header(4, 0, 16), Header(100000, 100000, 32), // far past any memory we would hand out
    };
    for (const BITMAPINFO& info : cases) {
        void* bits = reinterpret_cast<void*>(1);
        EXPECT_EQ(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
        EXPECT_EQ(bits, nullptr);
    }
    BITMAPINFO good = Header(2, 2, 16);
    void* bits = nullptr;
    EXPECT_EQ(CreateDIBSection(nullptr, nullptr, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
    EXPECT_EQ(CreateDIBSection(nullptr, &good, 1, &bits, nullptr, 0), nullptr); // palette indices
    EXPECT_EQ(CreateDIBSection(nullptr, &good, DIB_RGB_COLORS, &bits, reinterpret_cast<HANDLE>(8), 0), nullptr);
}

TEST(GdiTest, ASelectedBitmapOutlivesDeletionAttemptsUntilItsDcIsGone)
{
    HDC dc = CreateCompatibleDC(nullptr);
    HDC other = CreateCompatibleDC(nullptr);
    BITMAPINFO info = Header(2, 2, 16);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(SelectObject(dc, bitmap), nullptr);
    // One DC at a time.
    EXPECT_EQ(SelectObject(other, bitmap), nullptr);
    EXPECT_FALSE(DeleteObject(bitmap));
    DibPixels pixels;
    EXPECT_TRUE(GetSelectedDib(dc, &pixels));
    EXPECT_FALSE(GetSelectedDib(other, &pixels));
    // The order the game uses: the DC first, then the bitmap.
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_FALSE(DeleteDC(dc));
    EXPECT_FALSE(GetSelectedDib(dc, &pixels));
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_FALSE(DeleteObject(bitmap));
    EXPECT_EQ(SelectObject(other, bitmap), nullptr);
    EXPECT_FALSE(DeleteObject(GetStockObject(0)));
    EXPECT_TRUE(DeleteDC(other));
}

} // namespace
