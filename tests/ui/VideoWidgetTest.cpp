#include "ui/VideoWidget.h"

#include "support/AviFile.h"
#include "support/ScratchDirectory.h"
#include "ui/UiDeviceFixture.h"
#include "win32/Log.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Frame f of the test videos: top row (8 (f + 1), 128, 0), bottom row (0, 64, 8 (f + 1)). Every channel is a
// multiple of 8, so its X1R5G5B5 texel is exact: red and blue keep value / 8 in five bits, green 128 -> 16
// and 64 -> 8.
uint16_t TopTexel(int frame)
{
    return uint16_t(((frame + 1) << 10) | (16 << 5));
}
uint16_t BottomTexel(int frame)
{
    return uint16_t((8 << 5) | (frame + 1));
}

class VideoWidgetTest : public UiDeviceTest
{
protected:
    // A 4 x 2 video of the given frames at rate / scale frames a second.
    std::string WriteVideo(const std::string& name, int frames, uint32_t rate, uint32_t scale,
                           std::vector<int> damaged = {})
    {
        TestAvi::Layout layout;
        layout.width = 4;
        layout.height = 2;
        layout.rate = rate;
        layout.scale = scale;
        layout.frames = frames;
        layout.damaged = std::move(damaged);
        layout.colour = [](int f, int, int y) {
            return y == 0 ? TestAvi::Colour{uint8_t(8 * (f + 1)), 128, 0}
                          : TestAvi::Colour{0, 64, uint8_t(8 * (f + 1))};
        };
        const std::string path = scratch.Path(name);
        TestAvi::Write(path, TestAvi::Build(layout));
        return path;
    }

    // Texel (x, row) of the video texture, rows as stored.
    static uint16_t Texel(VideoWidget& video, int x, int row)
    {
        IDirect3DTexture9* texture = video.GetTexture();
        D3DLOCKED_RECT locked{};
        if (!texture || FAILED(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY)))
            return 0xFFFF;
        const auto* p = static_cast<const uint8_t*>(locked.pBits) + row * locked.Pitch + x * 2;
        const uint16_t value = uint16_t(p[0] | (p[1] << 8));
        texture->UnlockRect(0);
        return value;
    }

    // The texture holds the DIB's rows as stored, bottom row first: the picture's bottom half fills the first
    // 384 rows, its top half the last 384.
    static void ExpectShows(VideoWidget& video, int frame)
    {
        SCOPED_TRACE("frame " + std::to_string(frame));
        EXPECT_EQ(Texel(video, 0, 0), BottomTexel(frame));
        EXPECT_EQ(Texel(video, 1023, 383), BottomTexel(frame));
        EXPECT_EQ(Texel(video, 0, 384), TopTexel(frame));
        EXPECT_EQ(Texel(video, 1023, 767), TopTexel(frame));
    }

    static void Step(float seconds) { DataManager::Get()->AdvanceTime(seconds); }

    ScratchDirectory scratch{"video-widget"};
};

TEST_F(VideoWidgetTest, OpeningReadsTheStreamAndShowsItsFirstFrameAtOnce)
{
    VideoWidget video;
    video.SetRect(0, 0, 1024, 768);
    ASSERT_TRUE(video.Open(WriteVideo("ten.avi", 10, 30000, 1001)));
    EXPECT_EQ(video.frameCount, 10);
    EXPECT_EQ(video.currentFrame, 0);
    EXPECT_FALSE(video.finished);
    ASSERT_NE(video.GetTexture(), nullptr);
    D3DSURFACE_DESC desc{};
    video.GetTexture()->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Width, 1024u);
    EXPECT_EQ(desc.Height, 768u);
    EXPECT_EQ(desc.Format, D3DFMT_X1R5G5B5);
    EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
    // One level only: lower levels would never be written.
    EXPECT_EQ(video.GetTexture()->GetLevelCount(), 1u);
    ExpectShows(video, 0);

    const UINT before = Null()->DrawCount();
    video.Render();
    EXPECT_EQ(Null()->DrawCount(), before + 1);
    EXPECT_EQ(video.GetTextureRecord()->texture, video.GetTexture());
    video.Close();
    EXPECT_EQ(video.GetTexture(), nullptr);
}

TEST_F(VideoWidgetTest, FramesAdvanceByTheStreamsWholeFrameRate)
{
    struct Case {
        const char* name;
        uint32_t rate, scale;
        float step;
        std::vector<int> framesAfterEachUpdate;
    };
    const Case cases[] = {
        // 30000 / 1001 counts as 29 a second: 1/29 s = 0.03448 s per frame. 0.0335 s (which is more than the
        // true 1/29.97 = 0.03337 s) is not yet enough; a second step is.
        {"ntsc short steps", 30000, 1001, 0.0335f, {0, 1, 1, 2, 2, 3}},
        {"ntsc long steps", 30000, 1001, 0.0345f, {1, 2, 3, 4}},
        // The timer restarts at 0 on each advance, whatever it had beyond the frame time.
        {"pal", 25, 1, 0.03f, {0, 1, 1, 2, 2}},
        // Half a frame a second: one frame every 2 s.
        {"slow", 1, 2, 1.0f, {0, 1, 1, 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        VideoWidget video;
        ASSERT_TRUE(video.Open(WriteVideo("rate.avi", 10, c.rate, c.scale)));
        Step(c.step);
        for (int expected : c.framesAfterEachUpdate) {
            video.Update();
            EXPECT_EQ(video.currentFrame, expected);
        }
        ExpectShows(video, c.framesAfterEachUpdate.back());
        EXPECT_FALSE(video.finished);
    }
}

TEST_F(VideoWidgetTest, AfterTheLastFrameTheVideoIsFinishedAndStartsOver)
{
    VideoWidget video;
    ASSERT_TRUE(video.Open(WriteVideo("ten.avi", 10, 25, 1)));
    Step(0.05f); // past 1/25 s: one advance per update
    for (int advance = 1; advance <= 9; ++advance) {
        video.Update();
        EXPECT_EQ(video.currentFrame, advance);
        EXPECT_FALSE(video.finished);
    }
    ExpectShows(video, 9);
    // The tenth advance passes the last frame.
    video.Update();
    EXPECT_TRUE(video.finished);
    EXPECT_EQ(video.currentFrame, 0);
    ExpectShows(video, 0);
    // Playback goes on from the start; the flag stays for the owner to see.
    video.Update();
    EXPECT_EQ(video.currentFrame, 1);
    EXPECT_TRUE(video.finished);
    ExpectShows(video, 1);
}

TEST_F(VideoWidgetTest, AFrameThatCannotBeDecodedLeavesTheLastOneShowing)
{
    VideoWidget video;
    LogCapture log;
    ASSERT_TRUE(video.Open(WriteVideo("damaged.avi", 6, 25, 1, {5})));
    Step(0.05f);
    for (int i = 0; i < 5; ++i)
        video.Update();
    EXPECT_EQ(video.currentFrame, 5);
    ExpectShows(video, 4);
    EXPECT_EQ(log.Count("video.frame"), 1);
    video.Update();
    EXPECT_TRUE(video.finished);
    ExpectShows(video, 0);
}

TEST_F(VideoWidgetTest, FrameTimeComesFromWholeFramesASecondAndIsZeroWithoutAUsableRate)
{
    struct Case {
        DWORD rate, scale;
        float seconds;
    };
    const Case cases[] = {
        {30000, 1001, 1.0f / 29.0f},
        {25, 1, 0.04f},
        {2997, 100, 1.0f / 29.0f},
        {15, 1, 1.0f / 15.0f},
        {1, 2, 2.0f},
        {1, 1, 1.0f},
        {25, 0, 0.0f},
        {0, 1, 0.0f},
    };
    for (const Case& c : cases)
        EXPECT_FLOAT_EQ(VideoWidget::FrameSeconds(c.rate, c.scale), c.seconds) << c.rate << "/" << c.scale;
}

TEST_F(VideoWidgetTest, AFailedOpenLeavesAStoppedElementThatStillDraws)
{
    const std::string garbage = scratch.Path("garbage.avi");
    TestAvi::Write(garbage, "RIFF....AVI LIST not really a video at all");
    struct Case {
        const char* name;
        std::string file;
        const char* event;
    };
    const Case cases[] = {
        {"missing", "NoSuchIntro.avi", "video.missing"},
        {"garbage", garbage, "video.open"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LogCapture log;
        VideoWidget video;
        video.SetRect(0, 0, 1024, 768);
        EXPECT_FALSE(video.Open(c.file));
        EXPECT_EQ(log.Count(c.event), 1);
        EXPECT_EQ(video.GetTexture(), nullptr);
        EXPECT_EQ(video.currentFrame, -1);
        // Nothing plays and nothing finishes: the title waits for its keys.
        Step(0.5f);
        for (int i = 0; i < 10; ++i)
            video.Update();
        EXPECT_FALSE(video.finished);
        EXPECT_EQ(video.currentFrame, -1);
        const UINT before = Null()->DrawCount();
        video.Render();
        EXPECT_EQ(Null()->DrawCount(), before + 1);
        EXPECT_EQ(Null()->LastDraw().texture0, nullptr);
        video.Close();
        video.Close();
    }
}

TEST_F(VideoWidgetTest, ReopeningPlaysTheNewVideoFromItsStart)
{
    VideoWidget video;
    ASSERT_TRUE(video.Open(WriteVideo("first.avi", 10, 25, 1)));
    Step(0.05f);
    for (int i = 0; i < 10; ++i)
        video.Update();
    EXPECT_TRUE(video.finished);
    ASSERT_TRUE(video.Open(WriteVideo("second.avi", 3, 25, 1)));
    EXPECT_FALSE(video.finished);
    EXPECT_EQ(video.currentFrame, 0);
    EXPECT_EQ(video.frameCount, 3);
    ExpectShows(video, 0);
}

} // namespace
