#include "vfw/FrameDecoder.h"
#include "vfw/Vfw.h"
#include "win32/Log.h"

#include "support/AviFile.h"
#include "support/ScratchDirectory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// Frame f is filled with red 20 f, green 100, blue 200 - 10 f; its top-left pixel is white and its bottom-right
// pixel black, so order and orientation both show.
TestAvi::Colour Pattern(int frame, int x, int y, int width, int height)
{
    if (x == 0 && y == 0)
        return {255, 255, 255};
    if (x == width - 1 && y == height - 1)
        return {0, 0, 0};
    return {uint8_t(20 * frame), 100, uint8_t(200 - 10 * frame)};
}

struct Pixel {
    int b, g, r;
    bool operator==(const Pixel&) const = default;
};

class FrameDecoderTest : public ::testing::Test
{
protected:
    static constexpr int WIDTH = 5; // rows of 15 bytes padded to 16
    static constexpr int HEIGHT = 3;
    static constexpr int FRAMES = 10;

    void SetUp() override
    {
        AVIFileInit();
        TestAvi::Layout layout;
        layout.width = WIDTH;
        layout.height = HEIGHT;
        layout.scale = 1001;
        layout.rate = 30000;
        layout.frames = FRAMES;
        layout.colour = [](int f, int x, int y) { return Pattern(f, x, y, WIDTH, HEIGHT); };
        path = scratch.Path("pattern.avi");
        TestAvi::Write(path, TestAvi::Build(layout));
        ASSERT_EQ(AVIStreamOpenFromFileA(&stream, path.c_str(), streamtypeVIDEO, 0, OF_READ, nullptr), S_OK);
    }
    void TearDown() override
    {
        if (stream)
            AVIStreamRelease(stream);
        AVIFileExit();
    }

    // The pixel at (x, y) from the top-left of a packed bottom-up 24-bit DIB.
    static Pixel At(const void* dib, int x, int y)
    {
        const auto* header = static_cast<const BITMAPINFOHEADER*>(dib);
        const auto* bits = static_cast<const uint8_t*>(dib) + header->biSize + header->biClrUsed * 4;
        const int stride = ((header->biWidth * 24 + 31) / 32) * 4;
        const uint8_t* p = bits + (header->biHeight - 1 - y) * stride + x * 3;
        return {p[0], p[1], p[2]};
    }

    static void ExpectFrame(const void* dib, int frame)
    {
        SCOPED_TRACE("frame " + std::to_string(frame));
        ASSERT_NE(dib, nullptr);
        EXPECT_EQ(At(dib, 0, 0), (Pixel{255, 255, 255}));
        EXPECT_EQ(At(dib, WIDTH - 1, HEIGHT - 1), (Pixel{0, 0, 0}));
        EXPECT_EQ(At(dib, 2, 1), (Pixel{200 - 10 * frame, 100, 20 * frame}));
        EXPECT_EQ(At(dib, 0, HEIGHT - 1), (Pixel{200 - 10 * frame, 100, 20 * frame}));
    }

    ScratchDirectory scratch{"vfw-frames"};
    std::string path;
    PAVISTREAM stream = nullptr;
};

TEST_F(FrameDecoderTest, FramesArePackedBottomUpBgrDibsOfTheStreamSize)
{
    PGETFRAME decoder = AVIStreamGetFrameOpen(stream, nullptr);
    ASSERT_NE(decoder, nullptr);
    const void* dib = AVIStreamGetFrame(decoder, 0);
    ASSERT_NE(dib, nullptr);
    const auto* header = static_cast<const BITMAPINFOHEADER*>(dib);
    EXPECT_EQ(header->biSize, 40u);
    EXPECT_EQ(header->biWidth, WIDTH);
    EXPECT_EQ(header->biHeight, HEIGHT); // positive: bottom row first
    EXPECT_EQ(header->biPlanes, 1);
    EXPECT_EQ(header->biBitCount, 24);
    EXPECT_EQ(header->biCompression, BI_RGB);
    EXPECT_EQ(header->biClrUsed, 0u);
    EXPECT_EQ(header->biSizeImage, 16u * HEIGHT);
    // Read bottom row first: the white marker of the top-left corner lies in the last stored row.
    ExpectFrame(dib, 0);
    EXPECT_EQ(AVIStreamGetFrameClose(decoder), S_OK);
}

TEST_F(FrameDecoderTest, AnyOrderOfIndicesGivesEachFramesOwnPicture)
{
    PGETFRAME decoder = AVIStreamGetFrameOpen(stream, nullptr);
    ASSERT_NE(decoder, nullptr);
    const std::vector<int> orders[] = {
        {0, 1, 2, 3, 4, 5, 6, 7, 8, 9},
        {9, 0, 7, 2, 2, 8, 1},
        {3, 5, 4, 9, 9, 0},
    };
    for (const std::vector<int>& order : orders) {
        for (int index : order)
            ExpectFrame(AVIStreamGetFrame(decoder, index), index);
    }
    AVIStreamGetFrameClose(decoder);
}

TEST_F(FrameDecoderTest, ReadingOnInOrderNeverRepositionsTheFile)
{
    PGETFRAME decoder = AVIStreamGetFrameOpen(stream, nullptr);
    ASSERT_NE(decoder, nullptr);
    ExpectFrame(AVIStreamGetFrame(decoder, 0), 0);
    const long before = FrameDecoder::SeeksDone();
    for (int f = 1; f < FRAMES; ++f)
        ExpectFrame(AVIStreamGetFrame(decoder, f), f);
    // Skipping two frames ahead reads on as well.
    ExpectFrame(AVIStreamGetFrame(decoder, 9), 9);
    EXPECT_EQ(FrameDecoder::SeeksDone(), before);
    // Going back to the start does.
    ExpectFrame(AVIStreamGetFrame(decoder, 0), 0);
    EXPECT_EQ(FrameDecoder::SeeksDone(), before + 1);
    AVIStreamGetFrameClose(decoder);
}

TEST_F(FrameDecoderTest, IndicesOutsideTheStreamGiveNoFrameAndDoNotDisturbTheNext)
{
    PGETFRAME decoder = AVIStreamGetFrameOpen(stream, nullptr);
    ASSERT_NE(decoder, nullptr);
    for (LONG bad : {-1, FRAMES, FRAMES + 1, 1 << 30, -(1 << 30)})
        EXPECT_EQ(AVIStreamGetFrame(decoder, bad), nullptr) << bad;
    ExpectFrame(AVIStreamGetFrame(decoder, 4), 4);
    EXPECT_EQ(AVIStreamGetFrame(decoder, FRAMES), nullptr);
    ExpectFrame(AVIStreamGetFrame(decoder, 5), 5);
    EXPECT_EQ(AVIStreamGetFrame(nullptr, 0), nullptr);
    AVIStreamGetFrameClose(decoder);
    EXPECT_EQ(AVIStreamGetFrameClose(nullptr), AVIERR_BADHANDLE);
}

TEST_F(FrameDecoderTest, TheDecoderKeepsItsStreamAliveUntilItIsClosed)
{
    PGETFRAME decoder = AVIStreamGetFrameOpen(stream, nullptr);
    ASSERT_NE(decoder, nullptr);
    // The game releases the stream after the decoder; the other order must work as well.
    EXPECT_EQ(AVIStreamRelease(stream), 1u);
    stream = nullptr;
    ExpectFrame(AVIStreamGetFrame(decoder, 6), 6);
    EXPECT_EQ(AVIStreamGetFrameClose(decoder), S_OK);
}

TEST_F(FrameDecoderTest, AWantedFormatOtherThanTheDefaultIsRefused)
{
    struct WantedCase {
        const char* name;
        int width, height, bits;
        DWORD compression;
        bool accepted;
    };
    const WantedCase cases[] = {
        {"default", WIDTH, HEIGHT, 24, BI_RGB, true},
        {"16 bits", WIDTH, HEIGHT, 16, BI_RGB, false},
        {"other size", WIDTH * 2, HEIGHT, 24, BI_RGB, false},
        {"top-down", WIDTH, -HEIGHT, 24, BI_RGB, false},
        {"compressed", WIDTH, HEIGHT, 24, mmioFOURCC('M', 'J', 'P', 'G'), false},
    };
    for (const WantedCase& c : cases) {
        SCOPED_TRACE(c.name);
        BITMAPINFOHEADER wanted{};
        wanted.biSize = 40;
        wanted.biWidth = c.width;
        wanted.biHeight = c.height;
        wanted.biPlanes = 1;
        wanted.biBitCount = WORD(c.bits);
        wanted.biCompression = c.compression;
        PGETFRAME decoder = AVIStreamGetFrameOpen(stream, &wanted);
        EXPECT_EQ(decoder != nullptr, c.accepted);
        if (decoder)
            AVIStreamGetFrameClose(decoder);
    }
}

TEST(FrameDecoderFailureTest, AStreamWithoutAnyDecodableFrameHasNoDecoder)
{
    ScratchDirectory scratch("vfw-nodecoder");
    TestAvi::Layout layout;
    layout.frames = 3;
    std::string bytes = TestAvi::Build(layout);
    struct Case {
        const char* name;
        std::string bytes;
    };
    // The frame chunks cut short: the headers promise 3 frames of 24 bytes.
    std::string cut = bytes;
    const size_t movi = cut.find("movi");
    ASSERT_NE(movi, std::string::npos);
    for (size_t at = cut.find("00db", movi); at != std::string::npos; at = cut.find("00db", at + 4))
        cut[at + 4] = 1; // one byte of pixels where a frame needs 24
    // No frames at all.
    TestAvi::Layout none = layout;
    none.frames = 0;
    const Case cases[] = {{"short frames", cut}, {"no frames", TestAvi::Build(none)}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = scratch.Path("bad.avi");
        TestAvi::Write(path, c.bytes);
        PAVISTREAM stream = nullptr;
        if (AVIStreamOpenFromFileA(&stream, path.c_str(), streamtypeVIDEO, 0, OF_READ, nullptr) != S_OK) {
            EXPECT_EQ(stream, nullptr);
            continue;
        }
        LogCapture log;
        EXPECT_EQ(AVIStreamGetFrameOpen(stream, nullptr), nullptr);
        EXPECT_EQ(log.Count("video.decoder"), 1);
        AVIStreamRelease(stream);
    }
}

} // namespace

namespace {

TEST(FrameDecoderFailureTest, AFrameThatCannotBeDecodedIsNotReadAgainWhenAskedAgain)
{
    ScratchDirectory scratch("vfw-damaged");
    TestAvi::Layout layout;
    layout.frames = 4;
    layout.damaged = {3};
    layout.colour = [](int f, int, int) { return TestAvi::Colour{uint8_t(50 * f), 0, 0}; };
    const std::string path = scratch.Path("damaged.avi");
    TestAvi::Write(path, TestAvi::Build(layout));
    PAVISTREAM stream = nullptr;
    ASSERT_EQ(AVIStreamOpenFromFileA(&stream, path.c_str(), streamtypeVIDEO, 0, OF_READ, nullptr), S_OK);
    PGETFRAME decoder = AVIStreamGetFrameOpen(stream, nullptr);
    ASSERT_NE(decoder, nullptr);
    LogCapture log;
    ASSERT_NE(AVIStreamGetFrame(decoder, 2), nullptr);
    EXPECT_EQ(AVIStreamGetFrame(decoder, 3), nullptr);
    const long seeks = FrameDecoder::SeeksDone();
    for (int again = 0; again < 5; ++again)
        EXPECT_EQ(AVIStreamGetFrame(decoder, 3), nullptr);
    EXPECT_EQ(FrameDecoder::SeeksDone(), seeks);
    EXPECT_EQ(log.Count("video.frame"), 1);
    // The frames before it are still there; frame 1's red is 50.
    const auto* frame = static_cast<const uint8_t*>(AVIStreamGetFrame(decoder, 1));
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame[40 + 2], 50);
    AVIStreamGetFrameClose(decoder);
    AVIStreamRelease(stream);
}

} // namespace
