#include "d3dx9/Image.h"
#include "d3dx9/ImageLoader.h"
#include "d3dx9/ImageWriter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes TgaHeader(uint8_t type, uint16_t width, uint16_t height, uint8_t bits, uint8_t descriptor, uint8_t idLength = 0)
{
    Bytes header(18, 0);
    header[0] = idLength;
    header[2] = type;
    header[12] = width & 0xFF;
    header[13] = width >> 8;
    header[14] = height & 0xFF;
    header[15] = height >> 8;
    header[16] = bits;
    header[17] = descriptor;
    return header;
}

Bytes Cat(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

bool Decode(const Bytes& bytes, ImageLoader::Result& result)
{
    return ImageLoader::Decode(bytes.data(), bytes.size(), result);
}

// Pixels of a 2 x 2 picture as stored in a 24-bit TGA (blue, green, red): blue, green / red, white.
const Bytes kBlueGreen = {255, 0, 0, 0, 255, 0};
const Bytes kRedWhite = {0, 0, 255, 255, 255, 255};

std::string FixturePath(const char* name)
{
    return std::string(VARNHOLT_FIXTURES) + "/d3dx9/" + name;
}

} // namespace

TEST(ImageLoader, TgaOriginBitChoosesTheRowOrder)
{
    ImageLoader::Result result;
    // Without the top-down bit the first stored row is the bottom one.
    ASSERT_TRUE(Decode(Cat(Cat(TgaHeader(2, 2, 2, 24, 0), kBlueGreen), kRedWhite), result)) << result.error;
    EXPECT_EQ(result.image.Width(), 2u);
    EXPECT_EQ(result.image.Height(), 2u);
    EXPECT_EQ(result.image.Argb(0, 0), 0xFFFF0000u); // red, top left
    EXPECT_EQ(result.image.Argb(1, 0), 0xFFFFFFFFu);
    EXPECT_EQ(result.image.Argb(0, 1), 0xFF0000FFu); // blue, bottom left
    EXPECT_EQ(result.image.Argb(1, 1), 0xFF00FF00u);
    EXPECT_EQ(result.info.Width, 2u);
    EXPECT_EQ(result.info.Format, D3DFMT_R8G8B8);
    EXPECT_EQ(result.info.ImageFileFormat, D3DXIFF_TGA);

    // Bit 5 of the descriptor: the same bytes, top row first.
    ASSERT_TRUE(Decode(Cat(Cat(TgaHeader(2, 2, 2, 24, 0x20), kBlueGreen), kRedWhite), result)) << result.error;
    EXPECT_EQ(result.image.Argb(0, 0), 0xFF0000FFu);
    EXPECT_EQ(result.image.Argb(1, 0), 0xFF00FF00u);
    EXPECT_EQ(result.image.Argb(0, 1), 0xFFFF0000u);
    EXPECT_EQ(result.image.Argb(1, 1), 0xFFFFFFFFu);

    // Bit 4: columns right to left.
    ASSERT_TRUE(Decode(Cat(TgaHeader(2, 2, 1, 24, 0x30), kBlueGreen), result)) << result.error;
    EXPECT_EQ(result.image.Argb(0, 0), 0xFF00FF00u);
    EXPECT_EQ(result.image.Argb(1, 0), 0xFF0000FFu);
}

TEST(ImageLoader, TgaPixelDepthsAndSkippedFields)
{
    ImageLoader::Result result;
    // 32-bit keeps its alpha: B 10, G 20, R 30, A 40.
    ASSERT_TRUE(Decode(Cat(TgaHeader(2, 1, 1, 32, 0x28), {10, 20, 30, 40}), result)) << result.error;
    EXPECT_EQ(result.image.Argb(0, 0), 0x281E140Au);
    EXPECT_EQ(result.info.Format, D3DFMT_A8R8G8B8);

    // 8-bit grey spreads to all three colours, opaque.
    ASSERT_TRUE(Decode(Cat(TgaHeader(3, 2, 1, 8, 0x20), {0x00, 0x80}), result)) << result.error;
    EXPECT_EQ(result.image.Argb(0, 0), 0xFF000000u);
    EXPECT_EQ(result.image.Argb(1, 0), 0xFF808080u);
    EXPECT_EQ(result.info.Format, D3DFMT_L8);

    // An identification field of 3 bytes and a 2-entry 24-bit colour map come before the pixels.
    Bytes withFields = TgaHeader(2, 1, 1, 24, 0x20, 3);
    withFields[1] = 1; // colour map present
    withFields[5] = 2; // two entries
    withFields[7] = 24; // of 24 bits
    withFields = Cat(withFields, {'a', 'b', 'c', 9, 9, 9, 9, 9, 9, 7, 8, 9});
    ASSERT_TRUE(Decode(withFields, result)) << result.error;
    EXPECT_EQ(result.image.Argb(0, 0), 0xFF090807u);
}

TEST(ImageLoader, TgaRunLengthPacketsMayCrossRows)
{
    // 3 x 2, top-down: a run of 4 (header 0x83) of B1 G2 R3 covers row 0 and the start of row 1,
    // then a raw packet of 2 (header 0x01).
    const Bytes rle = Cat(TgaHeader(10, 3, 2, 24, 0x20), {0x83, 1, 2, 3, 0x01, 4, 5, 6, 7, 8, 9});
    ImageLoader::Result result;
    ASSERT_TRUE(Decode(rle, result)) << result.error;
    for (uint32_t x = 0; x < 3; ++x)
        EXPECT_EQ(result.image.Argb(x, 0), 0xFF030201u);
    EXPECT_EQ(result.image.Argb(0, 1), 0xFF030201u);
    EXPECT_EQ(result.image.Argb(1, 1), 0xFF060504u);
    EXPECT_EQ(result.image.Argb(2, 1), 0xFF090807u);

    // 32-bit run-length, bottom-up: the first packet fills the bottom row.
    const Bytes rle32 = Cat(TgaHeader(10, 2, 2, 32, 0x08), {0x81, 1, 2, 3, 4, 0x81, 5, 6, 7, 8});
    ASSERT_TRUE(Decode(rle32, result)) << result.error;
    EXPECT_EQ(result.image.Argb(1, 1), 0x04030201u);
    EXPECT_EQ(result.image.Argb(0, 0), 0x08070605u);

    // Run-length grey.
    ASSERT_TRUE(Decode(Cat(TgaHeader(11, 4, 1, 8, 0x20), {0x83, 0x40}), result)) << result.error;
    EXPECT_EQ(result.image.Argb(3, 0), 0xFF404040u);
}

TEST(ImageLoader, MalformedTgaFailsCleanly)
{
    ImageLoader::Result result;
    const Bytes good = Cat(Cat(TgaHeader(2, 2, 2, 24, 0), kBlueGreen), kRedWhite);
    Bytes truncated(good.begin(), good.end() - 1);
    EXPECT_FALSE(Decode(truncated, result));
    EXPECT_FALSE(result.error.empty());
    EXPECT_TRUE(result.image.Empty());

    EXPECT_FALSE(Decode(Bytes{}, result));
    EXPECT_FALSE(Decode(Bytes(good.begin(), good.begin() + 10), result)) << "shorter than a header";
    EXPECT_FALSE(Decode(Cat(TgaHeader(2, 0, 2, 24, 0), kBlueGreen), result)) << "zero width";
    EXPECT_FALSE(Decode(Cat(TgaHeader(2, 60000, 60000, 24, 0), kBlueGreen), result)) << "absurd size";
    EXPECT_FALSE(Decode(Cat(TgaHeader(1, 2, 1, 8, 0), {0, 0}), result)) << "colour-mapped";
    EXPECT_FALSE(Decode(Cat(TgaHeader(2, 2, 1, 16, 0), {0, 0, 0, 0}), result)) << "16-bit";
    EXPECT_FALSE(Decode(Cat(TgaHeader(3, 1, 1, 24, 0), {0, 0, 0}), result)) << "grey must be 8-bit";
    Bytes idPastEnd = Cat(TgaHeader(2, 1, 1, 24, 0, 200), {1, 2, 3});
    EXPECT_FALSE(Decode(idPastEnd, result)) << "identification field past the end";

    // A run longer than the pixels left, and a packet cut short.
    EXPECT_FALSE(Decode(Cat(TgaHeader(10, 2, 2, 24, 0), {0x84, 1, 2, 3, 0x00, 1, 2, 3}), result));
    EXPECT_FALSE(Decode(Cat(TgaHeader(10, 2, 1, 24, 0), {0x01, 1, 2, 3, 4, 5}), result));
    EXPECT_FALSE(Decode(Cat(TgaHeader(10, 2, 1, 24, 0), {0x80, 1, 2, 3, 0x80, 4}), result));
}

TEST(ImageLoader, CorruptedFilesNeverCrash)
{
    // Every truncation and many random corruptions of valid files must fail or succeed, never crash.
    const Bytes rle = Cat(TgaHeader(10, 3, 2, 24, 0x20), {0x83, 1, 2, 3, 0x01, 4, 5, 6, 7, 8, 9});
    std::vector<Bytes> seeds{rle};
    for (const char* name : {"rgba2x2.png", "rgb3x1.png", "orange16x8.jpg"}) {
        std::vector<uint8_t> bytes;
        std::string error;
        ASSERT_TRUE(ImageLoader::ReadFile(FixturePath(name), bytes, error)) << name << ": " << error;
        seeds.push_back(bytes);
    }
    Bytes bmp = ImageWriter::EncodeBmp(Image(3, 3));
    seeds.push_back(bmp);

    std::mt19937 random(1234);
    ImageLoader::Result result;
    for (const Bytes& seed : seeds) {
        for (size_t length = 0; length < seed.size(); ++length) {
            const Bytes cut(seed.begin(), seed.begin() + static_cast<std::ptrdiff_t>(length));
            Decode(cut, result);
        }
        for (int trial = 0; trial < 300; ++trial) {
            Bytes mutated = seed;
            const int flips = 1 + static_cast<int>(random() % 4);
            for (int i = 0; i < flips; ++i)
                mutated[random() % mutated.size()] = static_cast<uint8_t>(random());
            if (Decode(mutated, result)) {
                EXPECT_GT(result.image.Width(), 0u);
                EXPECT_LE(result.image.Width(), ImageLoader::MAX_DIMENSION);
            }
        }
    }
}

TEST(ImageLoader, PngAndJpegThroughTheirSignatures)
{
    ImageLoader::Result result;
    // RGB without alpha comes out opaque.
    ASSERT_TRUE(ImageLoader::Load(FixturePath("rgb3x1.png"), result)) << result.error;
    EXPECT_EQ(result.info.ImageFileFormat, D3DXIFF_PNG);
    EXPECT_EQ(result.info.Format, D3DFMT_R8G8B8);
    EXPECT_EQ(result.image.Argb(0, 0), 0xFF010203u);
    EXPECT_EQ(result.image.Argb(2, 0), 0xFF070809u);

    // A flat orange (200, 100, 50) JPEG, within the codec's rounding.
    ASSERT_TRUE(ImageLoader::Load(FixturePath("orange16x8.jpg"), result)) << result.error;
    EXPECT_EQ(result.info.ImageFileFormat, D3DXIFF_JPG);
    EXPECT_EQ(result.image.Width(), 16u);
    EXPECT_EQ(result.image.Height(), 8u);
    const uint8_t* p = result.image.Pixel(7, 3);
    EXPECT_NEAR(p[2], 200, 3);
    EXPECT_NEAR(p[1], 100, 3);
    EXPECT_NEAR(p[0], 50, 3);
    EXPECT_EQ(p[3], 255);

    EXPECT_FALSE(ImageLoader::Load(FixturePath("no-such-picture.png"), result));
    EXPECT_FALSE(result.error.empty());
}

TEST(Image, OddMipSizesRoundDownAndNeverReachZero)
{
    // 5 x 3 -> 2 x 1 -> 1 x 1.
    const Image odd(5, 3);
    EXPECT_EQ(odd.HalfSize().Width(), 2u);
    EXPECT_EQ(odd.HalfSize().Height(), 1u);
    EXPECT_EQ(odd.HalfSize().HalfSize().Width(), 1u);
    EXPECT_EQ(odd.HalfSize().HalfSize().Height(), 1u);
}

TEST(ImageWriter, TgaRoundTripKeepsAlpha)
{
    Image image(2, 2);
    const uint32_t colours[4] = {0x80102030u, 0xFF405060u, 0x00708090u, 0x12A0B0C0u};
    for (uint32_t i = 0; i < 4; ++i) {
        uint8_t* p = image.Pixel(i % 2, i / 2);
        p[0] = colours[i] & 0xFF;
        p[1] = (colours[i] >> 8) & 0xFF;
        p[2] = (colours[i] >> 16) & 0xFF;
        p[3] = colours[i] >> 24;
    }
    const Bytes tga = ImageWriter::EncodeTga(image, true);
    ASSERT_EQ(tga.size(), 18u + 16u);
    EXPECT_EQ(tga[2], 2);
    EXPECT_EQ(tga[16], 32);
    EXPECT_EQ(tga[17], 0x28);
    ImageLoader::Result result;
    ASSERT_TRUE(ImageLoader::Decode(tga.data(), tga.size(), result)) << result.error;
    for (uint32_t i = 0; i < 4; ++i)
        EXPECT_EQ(result.image.Argb(i % 2, i / 2), colours[i]);

    const Bytes tga24 = ImageWriter::EncodeTga(image, false);
    ASSERT_EQ(tga24.size(), 18u + 12u);
    ASSERT_TRUE(ImageLoader::Decode(tga24.data(), tga24.size(), result)) << result.error;
    EXPECT_EQ(result.image.Argb(0, 1), 0xFF708090u);
}
