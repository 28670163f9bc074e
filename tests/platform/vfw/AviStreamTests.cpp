#include "vfw/Vfw.h"
#include "win32/Log.h"

#include "support/AviFile.h"
#include "support/ScratchDirectory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct StreamCase {
    const char* name;
    int width;
    int height;
    uint32_t scale;
    uint32_t rate;
    int frames;
    bool withIndex;
};

class AviStreamTest : public ::testing::Test
{
protected:
    void SetUp() override { AVIFileInit(); }
    void TearDown() override { AVIFileExit(); }
    ScratchDirectory scratch{"vfw-stream"};
};

TEST_F(AviStreamTest, DescribesTheVideoStreamFromItsHeaders)
{
    const std::vector<StreamCase> cases = {
        {"ntsc", 4, 2, 1001, 30000, 10, true},
        {"pal", 6, 3, 1, 25, 3, true},
        // Without an index the frames are found by walking the data.
        {"noindex", 5, 5, 1, 15, 7, false},
        {"slow", 2, 2, 2, 1, 2, true},
    };
    for (const StreamCase& c : cases) {
        SCOPED_TRACE(c.name);
        TestAvi::Layout layout;
        layout.width = c.width;
        layout.height = c.height;
        layout.scale = c.scale;
        layout.rate = c.rate;
        layout.frames = c.frames;
        layout.withIndex = c.withIndex;
        const std::string path = scratch.Path(std::string(c.name) + ".avi");
        TestAvi::Write(path, TestAvi::Build(layout));

        PAVISTREAM stream = nullptr;
        ASSERT_EQ(AVIStreamOpenFromFileA(&stream, path.c_str(), streamtypeVIDEO, 0, OF_READ, nullptr), S_OK);
        ASSERT_NE(stream, nullptr);
        AVISTREAMINFOA info{};
        ASSERT_EQ(AVIStreamInfoA(stream, &info, sizeof info), S_OK);
        EXPECT_EQ(info.fccType, mmioFOURCC('v', 'i', 'd', 's'));
        EXPECT_EQ(info.rcFrame.left, 0);
        EXPECT_EQ(info.rcFrame.top, 0);
        EXPECT_EQ(info.rcFrame.right, c.width);
        EXPECT_EQ(info.rcFrame.bottom, c.height);
        EXPECT_EQ(info.dwRate, c.rate);
        EXPECT_EQ(info.dwScale, c.scale);
        EXPECT_EQ(info.dwLength, DWORD(c.frames));
        EXPECT_EQ(AVIStreamLength(stream), c.frames);
        EXPECT_EQ(AVIStreamRelease(stream), 0u);
    }
}

TEST_F(AviStreamTest, StreamInfoCopiesOnlyWhatIsAskedFor)
{
    TestAvi::Layout layout;
    layout.rate = 30;
    const std::string path = scratch.Path("short.avi");
    TestAvi::Write(path, TestAvi::Build(layout));
    PAVISTREAM stream = nullptr;
    ASSERT_EQ(AVIStreamOpenFromFileA(&stream, path.c_str(), streamtypeVIDEO, 0, OF_READ, nullptr), S_OK);
    AVISTREAMINFOA info;
    std::memset(&info, 0xAB, sizeof info);
    // Eight bytes: the type and the handler, nothing more.
    ASSERT_EQ(AVIStreamInfoA(stream, &info, 8), S_OK);
    EXPECT_EQ(info.fccType, streamtypeVIDEO);
    EXPECT_EQ(info.dwFlags, 0xABABABABu);
    EXPECT_EQ(AVIStreamInfoA(stream, nullptr, sizeof info), AVIERR_BADPARAM);
    EXPECT_EQ(AVIStreamInfoA(stream, &info, 0), AVIERR_BADPARAM);
    AVIStreamRelease(stream);
}

TEST_F(AviStreamTest, FilesThatAreNotPlayableAviVideoFailTheOpenWithNoStream)
{
    TestAvi::Layout layout;
    layout.frames = 4;
    const std::string good = TestAvi::Build(layout);
    struct BadCase {
        const char* name;
        std::string bytes; // empty name: the file is not written at all
        bool written;
        HRESULT expected;
    };
    const std::vector<BadCase> cases = {
        {"missing.avi", "", false, AVIERR_FILEOPEN},
        {"empty.avi", "", true, AVIERR_FILEREAD},
        {"text.avi", "This is not a video, only a line of text.\n", true, AVIERR_FILEREAD},
        {"wave.avi", std::string("RIFF\x24\0\0\0WAVEfmt ", 16) + std::string(28, '\0'), true, AVIERR_FILEREAD},
        {"truncated.avi", good.substr(0, 40), true, AVIERR_FILEREAD},
    };
    for (const BadCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = scratch.Path(c.name);
        if (c.written)
            TestAvi::Write(path, c.bytes);
        LogCapture log;
        PAVISTREAM stream = reinterpret_cast<PAVISTREAM>(&layout); // must be cleared
        const HRESULT result = AVIStreamOpenFromFileA(&stream, path.c_str(), streamtypeVIDEO, 0, OF_READ, nullptr);
        EXPECT_EQ(log.Count("video.open"), 1);
        EXPECT_TRUE(FAILED(result));
        EXPECT_EQ(result, c.expected);
        EXPECT_EQ(stream, nullptr);
    }
}

TEST_F(AviStreamTest, OnlyTheVideoStreamsOfAFileCanBeOpenedForReading)
{
    TestAvi::Layout layout;
    const std::string path = scratch.Path("one.avi");
    TestAvi::Write(path, TestAvi::Build(layout));
    PAVISTREAM stream = nullptr;
    EXPECT_EQ(AVIStreamOpenFromFileA(&stream, path.c_str(), mmioFOURCC('a', 'u', 'd', 's'), 0, OF_READ, nullptr),
              AVIERR_UNSUPPORTED);
    EXPECT_EQ(AVIStreamOpenFromFileA(&stream, path.c_str(), streamtypeVIDEO, 1, OF_READ, nullptr), AVIERR_NODATA);
    EXPECT_EQ(stream, nullptr);
    EXPECT_EQ(AVIStreamOpenFromFileA(nullptr, path.c_str(), streamtypeVIDEO, 0, OF_READ, nullptr), AVIERR_BADPARAM);
    EXPECT_EQ(AVIStreamLength(nullptr), -1);
    EXPECT_EQ(AVIStreamRelease(nullptr), 0u);
    EXPECT_EQ(AVIStreamGetFrameOpen(nullptr, nullptr), nullptr);
}

} // namespace
