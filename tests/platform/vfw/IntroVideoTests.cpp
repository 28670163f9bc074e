#include "vfw/Vfw.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

// The default data's intro, written by the build next to the tests' working directory.
constexpr const char* INTRO = "Data/GameIntro.avi";

struct Bgr {
    int b, g, r;
};

Bgr At(const void* dib, int x, int y)
{
    const auto* header = static_cast<const BITMAPINFOHEADER*>(dib);
    const auto* bits = static_cast<const uint8_t*>(dib) + header->biSize;
    const int stride = ((header->biWidth * 24 + 31) / 32) * 4;
    const uint8_t* p = bits + (header->biHeight - 1 - y) * stride + x * 3;
    return {p[0], p[1], p[2]};
}

TEST(IntroVideoTest, SevenSecondsOf640By480At25FramesASecond)
{
    PAVISTREAM stream = nullptr;
    ASSERT_EQ(AVIStreamOpenFromFileA(&stream, INTRO, streamtypeVIDEO, 0, OF_READ, nullptr), S_OK);
    AVISTREAMINFOA info{};
    AVIStreamInfoA(stream, &info, sizeof info);
    EXPECT_EQ(info.fccHandler, mmioFOURCC('M', 'J', 'P', 'G'));
    EXPECT_EQ(info.rcFrame.right, 640);
    EXPECT_EQ(info.rcFrame.bottom, 480);
    EXPECT_EQ(info.dwRate / info.dwScale, 25u);
    EXPECT_EQ(AVIStreamLength(stream), 7 * 25);

    PGETFRAME decoder = AVIStreamGetFrameOpen(stream, nullptr);
    ASSERT_NE(decoder, nullptr);
    // It starts from black.
    const void* first = AVIStreamGetFrame(decoder, 0);
    ASSERT_NE(first, nullptr);
    for (const auto& [x, y] : {std::pair{0, 0}, std::pair{320, 240}, std::pair{639, 479}}) {
        const Bgr p = At(first, x, y);
        EXPECT_LE(p.r + p.g + p.b, 12) << x << "," << y;
    }
    // At 4 s the crest stands at full size and strength: between its two upper stars, 45 pixels above its
    // centre (320, 150), the red field lies 0.3 of the way along its gradient from (0.55, 0.08, 0.10) to
    // (0.25, 0.02, 0.05), which is (117, 16, 22) in bytes; JPEG may move it a little.
    const void* crest = AVIStreamGetFrame(decoder, 100);
    ASSERT_NE(crest, nullptr);
    const Bgr field = At(crest, 320, 105);
    EXPECT_NEAR(field.r, 117, 12);
    EXPECT_NEAR(field.g, 16, 12);
    EXPECT_NEAR(field.b, 22, 12);
    AVIStreamGetFrameClose(decoder);
    AVIStreamRelease(stream);
}

} // namespace
