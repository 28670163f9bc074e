#include "d3dx9/ImageLoader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& b, uint32_t v)
{
    b.push_back(v & 0xFF);
    b.push_back((v >> 8) & 0xFF);
}

void Put32(Bytes& b, uint32_t v)
{
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

void PutBe32(Bytes& b, uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        b.push_back((v >> shift) & 0xFF);
}

struct BmpSpec {
    uint32_t headerSize = 40;
    int32_t width = 1;
    int32_t height = 1;
    uint32_t bits = 24;
    uint32_t compression = 0;
    uint32_t paletteCount = 0;
    Bytes afterHeader; // masks and palette as stored
    Bytes pixels;
    uint32_t planes = 1;
    std::vector<uint32_t> masksInHeader; // from byte 40 of a longer header
};

BmpSpec Layout(uint32_t headerSize, int32_t width, int32_t height, uint32_t bits, uint32_t compression,
               uint32_t paletteCount, Bytes afterHeader, Bytes pixels, std::vector<uint32_t> masksInHeader = {})
{
    BmpSpec layout;
    layout.headerSize = headerSize;
    layout.width = width;
    layout.height = height;
    layout.bits = bits;
    layout.compression = compression;
    layout.paletteCount = paletteCount;
    layout.afterHeader = std::move(afterHeader);
    layout.pixels = std::move(pixels);
    layout.masksInHeader = std::move(masksInHeader);
    return layout;
}

Bytes Bmp(const BmpSpec& layout)
{
    Bytes b{'B', 'M'};
    const uint32_t offset = 14 + layout.headerSize + static_cast<uint32_t>(layout.afterHeader.size());
    Put32(b, offset + static_cast<uint32_t>(layout.pixels.size()));
    Put32(b, 0);
    Put32(b, offset);
    Put32(b, layout.headerSize);
    if (layout.headerSize == 12) {
        Put16(b, static_cast<uint32_t>(layout.width));
        Put16(b, static_cast<uint32_t>(layout.height));
        Put16(b, layout.planes);
        Put16(b, layout.bits);
    } else {
        Put32(b, static_cast<uint32_t>(layout.width));
        Put32(b, static_cast<uint32_t>(layout.height));
        Put16(b, layout.planes);
        Put16(b, layout.bits);
        Put32(b, layout.compression);
        Put32(b, 0); // pixel bytes, may be zero
        Put32(b, 0);
        Put32(b, 0);
        Put32(b, layout.paletteCount);
        Put32(b, 0);
        for (uint32_t mask : layout.masksInHeader)
            Put32(b, mask);
        b.resize(14 + layout.headerSize, 0);
    }
    b.insert(b.end(), layout.afterHeader.begin(), layout.afterHeader.end());
    b.insert(b.end(), layout.pixels.begin(), layout.pixels.end());
    return b;
}

bool Decode(const Bytes& bytes, ImageLoader::Result& result)
{
    return ImageLoader::Decode(bytes.data(), bytes.size(), result);
}

// A PNG from its raw (filtered) scanlines, compressed as stored deflate blocks so the test needs no zlib.
uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0)
{
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

void PutChunk(Bytes& png, const char* type, const Bytes& body)
{
    PutBe32(png, static_cast<uint32_t>(body.size()));
    Bytes typed(type, type + 4);
    typed.insert(typed.end(), body.begin(), body.end());
    png.insert(png.end(), typed.begin(), typed.end());
    PutBe32(png, Crc32(typed.data(), typed.size()));
}

Bytes Zlib(const Bytes& raw)
{
    Bytes z{0x78, 0x01, 0x01}; // one final stored block
    Put16(z, static_cast<uint32_t>(raw.size()));
    Put16(z, static_cast<uint32_t>(~raw.size() & 0xFFFF));
    z.insert(z.end(), raw.begin(), raw.end());
    uint32_t a = 1, b = 0;
    for (uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    PutBe32(z, (b << 16) | a);
    return z;
}

Bytes Png(uint32_t width, uint32_t height, uint8_t depth, uint8_t colourType, const Bytes& raw,
          const Bytes& palette = {}, const Bytes& transparency = {})
{
    Bytes png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes header;
    PutBe32(header, width);
    PutBe32(header, height);
    header.insert(header.end(), {depth, colourType, 0, 0, 0});
    PutChunk(png, "IHDR", header);
    if (!palette.empty())
        PutChunk(png, "PLTE", palette);
    if (!transparency.empty())
        PutChunk(png, "tRNS", transparency);
    PutChunk(png, "IDAT", Zlib(raw));
    PutChunk(png, "IEND", {});
    return png;
}

struct Expected {
    uint32_t x, y, argb;
};

std::string FixturePath(const char* name)
{
    return std::string(VARNHOLT_FIXTURES) + "/d3dx9/" + name;
}

} // namespace

TEST(ImageLoader, SizeLimitsBoundSidesAndBytes)
{
    struct Case {
        uint64_t width, height;
        bool allowed;
    };
    // 64 MiB of pixels is 16 Mi pixels: 4096 x 4096, or a 16384 x 1024 strip.
    const Case cases[] = {{1, 1, true},          {4096, 4096, true},    {4097, 4096, false}, {16384, 1024, true},
                          {16385, 1, false},     {1, 16385, false},     {0, 5, false},       {5, 0, false},
                          {16384, 16384, false}, {1ull << 33, 1, false}};
    for (const Case& c : cases)
        EXPECT_EQ(ImageLoader::SizeAllowed(c.width, c.height), c.allowed) << c.width << " x " << c.height;
}

TEST(ImageLoader, BmpDepthsHeadersAndMasks)
{
    struct Case {
        const char* name;
        BmpSpec layout;
        D3DFORMAT format;
        std::vector<Expected> pixels;
    };
    const Bytes blueAndTan = {0xFF, 0, 0, 0, 0x10, 0x20, 0x30, 0};
    const Bytes fourColours = {0, 0, 0, 0, 0x11, 0x22, 0x33, 0, 0x44, 0x55, 0x66, 0, 0x77, 0x88, 0x99, 0};
    const Bytes blackWhite = {0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0};
    Bytes rgbMasks;
    for (uint32_t m : {0x00FF0000u, 0x0000FF00u, 0x000000FFu})
        Put32(rgbMasks, m);
    Bytes masks565;
    for (uint32_t m : {0xF800u, 0x07E0u, 0x001Fu})
        Put32(masks565, m);
    const Case cases[] = {
        // 2 x 2 of a 2-colour palette, rows of 2 bytes padded to 4, bottom row first.
        {"8-bit palette",
         Layout(40, 2, 2, 8, 0, 2, blueAndTan, {0, 1, 0, 0, 1, 1, 0, 0}),
         D3DFMT_R8G8B8,
         {{0, 0, 0xFF302010u}, {1, 0, 0xFF302010u}, {0, 1, 0xFF0000FFu}, {1, 1, 0xFF302010u}}},
        // Indices 1, 2, 3 in the high then low nibbles.
        {"4-bit palette",
         Layout(40, 3, 1, 4, 0, 4, fourColours, {0x12, 0x30, 0, 0}),
         D3DFMT_R8G8B8,
         {{0, 0, 0xFF332211u}, {1, 0, 0xFF665544u}, {2, 0, 0xFF998877u}}},
        // A palette count of 0 means all 2 entries; bits run from the most significant.
        {"1-bit palette",
         Layout(40, 10, 1, 1, 0, 0, blackWhite, {0x80, 0x40, 0, 0}),
         D3DFMT_R8G8B8,
         {{0, 0, 0xFFFFFFFFu}, {1, 0, 0xFF000000u}, {8, 0, 0xFF000000u}, {9, 0, 0xFFFFFFFFu}}},
        // 5-5-5: full red, and blue 16 of 31 -> (16 * 255 + 15) / 31 = 132.
        {"16-bit 555",
         Layout(40, 2, 1, 16, 0, 0, {}, {0x00, 0x7C, 0x10, 0x00}),
         D3DFMT_X1R5G5B5,
         {{0, 0, 0xFFFF0000u}, {1, 0, 0xFF000084u}}},
        {"16-bit 565 masks",
         Layout(40, 2, 1, 16, 3, 0, masks565, {0xE0, 0x07, 0x1F, 0xF8}),
         D3DFMT_X1R5G5B5,
         {{0, 0, 0xFF00FF00u}, {1, 0, 0xFFFF00FFu}}},
        // The fourth byte of an uncompressed 32-bit pixel is padding, not alpha.
        {"32-bit plain", Layout(40, 1, 1, 32, 0, 0, {}, {1, 2, 3, 0}), D3DFMT_X8R8G8B8, {{0, 0, 0xFF030201u}}},
        {"32-bit masks after the header",
         Layout(40, 1, 1, 32, 3, 0, rgbMasks, {0x11, 0x22, 0x33, 0x44}),
         D3DFMT_X8R8G8B8,
         {{0, 0, 0xFF332211u}}},
        // A 108-byte header holds all four masks; a negative height stores the top row first.
        {"32-bit alpha mask, top-down",
         Layout(108, 1, -2, 32, 3, 0, {}, {0x80, 0x40, 0x20, 0x10, 0, 0, 0, 0xFF},
                {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u}),
         D3DFMT_A8R8G8B8,
         {{0, 0, 0x10204080u}, {0, 1, 0xFF000000u}}},
        // The oldest header: 16-bit sizes.
        {"core header 24-bit", Layout(12, 1, 1, 24, 0, 0, {}, {1, 2, 3, 0}), D3DFMT_R8G8B8, {{0, 0, 0xFF030201u}}},
    };
    for (const Case& c : cases) {
        ImageLoader::Result result;
        ASSERT_TRUE(Decode(Bmp(c.layout), result)) << c.name << ": " << result.error;
        EXPECT_EQ(result.info.ImageFileFormat, D3DXIFF_BMP) << c.name;
        EXPECT_EQ(result.info.Format, c.format) << c.name;
        EXPECT_EQ(result.image.Width(), static_cast<uint32_t>(c.layout.width)) << c.name;
        for (const Expected& e : c.pixels)
            EXPECT_EQ(result.image.Argb(e.x, e.y), e.argb) << c.name << " at " << e.x << "," << e.y;
    }
}

TEST(ImageLoader, MalformedBmpFailsWithAReason)
{
    const BmpSpec good = Layout(40, 3, 2, 24, 0, 0, {}, Bytes(24, 0x55));
    ImageLoader::Result result;
    ASSERT_TRUE(Decode(Bmp(good), result)) << result.error;

    struct Case {
        const char* name;
        Bytes file;
    };
    auto with = [&](auto change) {
        BmpSpec layout = good;
        change(layout);
        return Bmp(layout);
    };
    const Bytes whole = Bmp(good);
    std::vector<Case> cases = {
        // Headers complete but no pixels, or the last row one byte short: never a black picture.
        {"cut after the headers", Bytes(whole.begin(), whole.begin() + 54)},
        {"last row short", Bytes(whole.begin(), whole.end() - 1)},
        {"cut inside the info header", Bytes(whole.begin(), whole.begin() + 30)},
        {"run-length compressed", with([](BmpSpec& s) { s.compression = 1; })},
        {"two planes", with([](BmpSpec& s) { s.planes = 2; })},
        {"2 bits a pixel", with([](BmpSpec& s) { s.bits = 2; })},
        {"zero width", with([](BmpSpec& s) { s.width = 0; })},
        {"negative width", with([](BmpSpec& s) { s.width = -3; })},
        {"too wide", with([](BmpSpec& s) { s.width = 16385; })},
        {"unknown header size", with([](BmpSpec& s) { s.headerSize = 20; })},
        {"palette larger than 8 bits index", with([](BmpSpec& s) {
             s.bits = 8;
             s.paletteCount = 257;
             s.afterHeader = Bytes(257 * 4, 0);
         })},
        {"palette cut short", with([](BmpSpec& s) {
             s.bits = 8;
             s.paletteCount = 200;
             s.afterHeader = Bytes(10, 0);
             s.pixels.clear();
         })},
        {"mask with a gap", with([](BmpSpec& s) {
             s.bits = 32;
             s.compression = 3;
             s.afterHeader.clear();
             for (uint32_t m : {0x00FF00FFu, 0x0000FF00u, 0x000000FFu})
                 Put32(s.afterHeader, m);
         })},
        {"masks missing", with([](BmpSpec& s) {
             s.bits = 32;
             s.compression = 3;
             s.pixels.clear();
         })},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(Decode(c.file, result)) << c.name;
        EXPECT_FALSE(result.error.empty()) << c.name;
        EXPECT_TRUE(result.image.Empty()) << c.name;
    }
}

TEST(ImageLoader, PngLayoutsComeOutAsBgra)
{
    struct Case {
        const char* name;
        Bytes file;
        D3DFORMAT format;
        std::vector<Expected> pixels;
    };
    const Case cases[] = {
        // 1-bit indices 1, 0, 1 (0b101 in the high bits); entry 0 made transparent by tRNS.
        {"palette with transparency",
         Png(3, 1, 1, 3, {0, 0xA0}, {10, 20, 30, 200, 100, 50}, {0}),
         D3DFMT_A8R8G8B8,
         {{0, 0, 0xFFC86432u}, {1, 0, 0x000A141Eu}, {2, 0, 0xFFC86432u}}},
        // 16-bit grey scaled to 8 bits: 0x8080 -> 0x80.
        {"16-bit grey",
         Png(2, 1, 16, 0, {0, 0x00, 0x00, 0x80, 0x80}),
         D3DFMT_L8,
         {{0, 0, 0xFF000000u}, {1, 0, 0xFF808080u}}},
        {"grey with alpha", Png(1, 1, 8, 4, {0, 0x40, 0x90}), D3DFMT_A8R8G8B8, {{0, 0, 0x90404040u}}},
        // Second row "up"-filtered: each byte adds the one above.
        {"rgb, up filter",
         Png(1, 2, 8, 2, {0, 10, 20, 30, 2, 1, 1, 1}),
         D3DFMT_R8G8B8,
         {{0, 0, 0xFF0A141Eu}, {0, 1, 0xFF0B151Fu}}},
    };
    for (const Case& c : cases) {
        ImageLoader::Result result;
        ASSERT_TRUE(Decode(c.file, result)) << c.name << ": " << result.error;
        EXPECT_EQ(result.info.ImageFileFormat, D3DXIFF_PNG) << c.name;
        EXPECT_EQ(result.info.Format, c.format) << c.name;
        for (const Expected& e : c.pixels)
            EXPECT_EQ(result.image.Argb(e.x, e.y), e.argb) << c.name << " at " << e.x << "," << e.y;
    }
}

TEST(ImageLoader, MalformedPngFailsWithoutLeakOrHugeAllocation)
{
    Bytes rows(2 * (1 + 8), 0x11);
    rows[0] = rows[9] = 0; // no filter
    const Bytes good = Png(2, 2, 8, 6, rows);
    ImageLoader::Result result;
    ASSERT_TRUE(Decode(good, result)) << result.error;

    Bytes badCrc = good;
    badCrc[8 + 8 + 3] ^= 1; // a byte of the header's width
    Bytes cutScan = good;
    cutScan.resize(cutScan.size() - 12 - 4 - 8); // IEND, the checksum and part of the compressed rows
    struct Case {
        const char* name;
        Bytes file;
        const char* error; // expected text, or null for any reason
    };
    const Case cases[] = {
        // A few dozen bytes that claim a gigabyte of pixels are refused before any allocation.
        {"16000 x 16000 RGBA", Png(16000, 16000, 8, 6, {0, 0, 0, 0, 0}), "image size out of range"},
        {"wider than any side allowed", Png(30000, 1, 8, 6, {0}), nullptr},
        {"header checksum wrong", badCrc, nullptr},
        {"rows cut short", cutScan, nullptr},
        {"fewer rows than the header says", Png(2, 3, 8, 6, rows), nullptr},
        {"bad filter type", Png(1, 1, 8, 2, {9, 1, 2, 3}), nullptr},
        {"palette image without palette", Png(1, 1, 8, 3, {0, 0}), nullptr},
        {"signature alone", Bytes(good.begin(), good.begin() + 8), nullptr},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(Decode(c.file, result)) << c.name;
        EXPECT_TRUE(result.image.Empty()) << c.name;
        if (c.error)
            EXPECT_EQ(result.error, c.error) << c.name;
        else
            EXPECT_NE(result.error.find("PNG"), std::string::npos) << c.name << ": " << result.error;
    }
}

TEST(ImageLoader, MalformedJpegFailsCleanly)
{
    Bytes good;
    std::string error;
    ASSERT_TRUE(ImageLoader::ReadFile(FixturePath("orange16x8.jpg"), good, error)) << error;
    ImageLoader::Result result;
    ASSERT_TRUE(Decode(good, result)) << result.error;
    EXPECT_EQ(result.info.Format, D3DFMT_R8G8B8);

    // In the fixture the frame header's fields start at byte 162 (precision, height, width, component count,
    // then id, sampling and quantisation table of each component) and the scan header's at 271.
    auto patched = [&](std::initializer_list<std::pair<size_t, uint8_t>> changes) {
        Bytes bytes = good;
        for (auto [at, value] : changes)
            bytes[at] = value;
        return bytes;
    };
    struct Case {
        const char* name;
        Bytes file;
        const char* error;
    };
    const Case cases[] = {
        {"scan names an undefined Huffman table", patched({{273, 0x33}}), "Huffman"},
        {"component names a missing quantisation table", patched({{170, 0x03}}), "Quantization"},
        {"16000 x 16000 claimed", patched({{163, 0x3E}, {164, 0x80}, {165, 0x3E}, {166, 0x80}}),
         "image size out of range"},
        {"zero height", patched({{163, 0}, {164, 0}}), "JPEG"},
        {"scan cut short", Bytes(good.begin(), good.begin() + 282), "JPEG"},
        {"headers only", Bytes(good.begin(), good.begin() + 158), "JPEG"},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(Decode(c.file, result)) << c.name;
        EXPECT_TRUE(result.image.Empty()) << c.name;
        EXPECT_NE(result.error.find(c.error), std::string::npos) << c.name << ": " << result.error;
    }
}
