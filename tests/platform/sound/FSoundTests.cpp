#include "sound/FSound.h"
#include "support/WavFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

bool WaitFor(bool (*condition)(int), int channel, double seconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        if (condition(channel))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return condition(channel);
}

bool Stopped(int channel)
{
    return FSOUND_IsPlaying(channel) == 0;
}

class FSoundTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("fsound_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override
    {
        FSOUND_Close();
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }
    std::string Path(const char* name) const { return (dir_ / name).string(); }

    fs::path dir_;
};

TEST_F(FSoundTest, SamplesDecodeToTheirFullLengthAtTheMixerRate)
{
    // Both tunes are 3 s long: 3 x 44100 frames. The names go through the path resolver, as the game's do.
    FSOUND_SAMPLE* wav = FSOUND_Sample_Load(FSOUND_FREE, "Data\\Sound\\Music\\varnholt_menumusictemp.WAV",
                                            FSOUND_HW2D | FSOUND_STEREO, 0, 0);
    ASSERT_NE(wav, nullptr);
    EXPECT_EQ(FSOUND_Sample_GetLength(wav), 132300u);
    EXPECT_EQ(FSOUND_Sample_GetMode(wav), 0x80040u);

    FSOUND_SAMPLE* mp3 = FSOUND_Sample_Load(FSOUND_FREE, "Data\\Sound\\Music\\timberwolf.mp3", 0x80040, 0, 0);
    ASSERT_NE(mp3, nullptr);
    // A decoder that ignores the encoder's delay and padding note gives back up to two MP3 frames more.
    const long length = static_cast<long>(FSOUND_Sample_GetLength(mp3));
    EXPECT_GE(length, 132300);
    EXPECT_LE(length, 132300 + 2 * 1152);

    // 11025 frames at 22050 Hz mono last 0.5 s: 22050 frames at the mixer's 44100 Hz.
    WriteWav(dir_ / "half.wav", 22050, 1, 11025);
    FSOUND_SAMPLE* half = FSOUND_Sample_Load(FSOUND_FREE, Path("half.wav").c_str(), 0, 0, 0);
    EXPECT_EQ(FSOUND_Sample_GetLength(half), 22050u);

    FSOUND_Sample_Free(wav);
    FSOUND_Sample_Free(mp3);
    FSOUND_Sample_Free(half);
}

TEST_F(FSoundTest, UnreadableFilesAndBadArgumentsLoadNothing)
{
    std::ofstream(dir_ / "junk.wav", std::ios::binary) << "RIFF this is not a sound at all";
    std::ofstream(dir_ / "empty.mp3", std::ios::binary).close();
    WriteWav(dir_ / "good.wav", 44100, 2, 100);
    EXPECT_EQ(FSOUND_Sample_Load(FSOUND_FREE, Path("missing.wav").c_str(), 0, 0, 0), nullptr);
    EXPECT_EQ(FSOUND_Sample_Load(FSOUND_FREE, Path("junk.wav").c_str(), 0, 0, 0), nullptr);
    EXPECT_EQ(FSOUND_Sample_Load(FSOUND_FREE, Path("empty.mp3").c_str(), 0, 0, 0), nullptr);
    EXPECT_EQ(FSOUND_Sample_Load(FSOUND_FREE, nullptr, 0, 0, 0), nullptr);
    EXPECT_EQ(FSOUND_Sample_Load(FSOUND_FREE, Path("good.wav").c_str(), 0, 4, 0), nullptr);
    EXPECT_EQ(FSOUND_Sample_Load(-7, Path("good.wav").c_str(), 0, 0, 0), nullptr);

    // Null samples are ignored everywhere.
    EXPECT_EQ(FSOUND_Sample_GetLength(nullptr), 0u);
    EXPECT_EQ(FSOUND_Sample_SetMode(nullptr, FSOUND_LOOP_NORMAL), 0);
    FSOUND_Sample_Free(nullptr);
    ASSERT_EQ(FSOUND_Init(44100, 32, 0), 1);
    EXPECT_EQ(FSOUND_PlaySound(FSOUND_FREE, nullptr), -1);
}

TEST_F(FSoundTest, ChannelsPlayStopAndReportTheirSample)
{
    // Looped, so it still plays whenever the test looks, however slow the machine.
    WriteWav(dir_ / "tone.wav", 44100, 2, 4410);
    FSOUND_SAMPLE* sample =
        FSOUND_Sample_Load(FSOUND_FREE, Path("tone.wav").c_str(), 0x80040 | FSOUND_LOOP_NORMAL, 0, 0);
    ASSERT_NE(sample, nullptr);

    // Nothing plays before the library is initialised.
    EXPECT_EQ(FSOUND_PlaySound(FSOUND_FREE, sample), -1);

    ASSERT_EQ(FSOUND_Init(44100, 32, 0), 1);
    FSOUND_3D_SetDistanceFactor(100.0f);
    EXPECT_EQ(FSOUND_3D_SetMinMaxDistance(FSOUND_ALL, 100.0f, 10000.0f), 1);
    int hw2d = -1, hw3d = -1, total = -1;
    EXPECT_EQ(FSOUND_GetNumHWChannels(&hw2d, &hw3d, &total), 1);
    EXPECT_EQ(total, 0);

    const int first = FSOUND_PlaySound(FSOUND_FREE, sample);
    const int second = FSOUND_PlaySound(FSOUND_FREE, sample);
    ASSERT_GE(first, 0);
    ASSERT_LT(first, 32);
    ASSERT_GE(second, 0);
    EXPECT_NE(first, second);
    EXPECT_EQ(FSOUND_IsPlaying(first), 1);
    EXPECT_EQ(FSOUND_GetCurrentSample(first), sample);

    EXPECT_EQ(FSOUND_StopSound(first), 1);
    EXPECT_EQ(FSOUND_IsPlaying(first), 0);
    EXPECT_EQ(FSOUND_GetCurrentSample(first), nullptr);
    EXPECT_EQ(FSOUND_IsPlaying(second), 1);

    // Starting the library again keeps what plays on the channels that stay.
    ASSERT_EQ(FSOUND_Init(44100, 32, 0), 1);
    EXPECT_EQ(FSOUND_GetCurrentSample(second), sample);

    // Channels outside the 32 asked for do not exist.
    EXPECT_EQ(FSOUND_PlaySound(32, sample), -1);
    EXPECT_EQ(FSOUND_IsPlaying(32), 0);
    EXPECT_EQ(FSOUND_IsPlaying(-5), 0);

    // Freeing a sample silences the channels that play it.
    FSOUND_Sample_Free(sample);
    EXPECT_EQ(FSOUND_IsPlaying(second), 0);
    EXPECT_EQ(FSOUND_GetCurrentSample(second), nullptr);

    EXPECT_EQ(FSOUND_StopSound(FSOUND_ALL), 1);
}

TEST_F(FSoundTest, LoopModeDecidesWhetherASoundEnds)
{
    // 2205 frames: 50 ms.
    WriteWav(dir_ / "blip.wav", 44100, 2, 2205);
    FSOUND_SAMPLE* sample = FSOUND_Sample_Load(FSOUND_FREE, Path("blip.wav").c_str(), 0x80040, 0, 0);
    ASSERT_NE(sample, nullptr);
    ASSERT_EQ(FSOUND_Init(44100, 32, 0), 1);

    EXPECT_EQ(FSOUND_Sample_SetMode(sample, FSOUND_LOOP_NORMAL), 1);
    EXPECT_EQ(FSOUND_Sample_GetMode(sample), 0x80040u | FSOUND_LOOP_NORMAL);
    const int looped = FSOUND_PlaySound(FSOUND_FREE, sample);
    ASSERT_GE(looped, 0);

    EXPECT_EQ(FSOUND_Sample_SetMode(sample, 0), 1);
    EXPECT_EQ(FSOUND_Sample_GetMode(sample), 0x80040u);
    const int once = FSOUND_PlaySound(FSOUND_FREE, sample);
    ASSERT_GE(once, 0);

    // The single shot ends (within 50 ms on an idle machine); the looped one is still going afterwards.
    EXPECT_TRUE(WaitFor(Stopped, once, 30.0));
    EXPECT_EQ(FSOUND_IsPlaying(looped), 1);
    FSOUND_Sample_Free(sample);
}

TEST_F(FSoundTest, BusyChannelsAndUsedSlotsAreRefusedOrReplaced)
{
    WriteWav(dir_ / "a.wav", 44100, 2, 441);
    WriteWav(dir_ / "b.wav", 44100, 2, 882);
    ASSERT_EQ(FSOUND_Init(44100, 4, 0), 1);
    FSOUND_SAMPLE* a = FSOUND_Sample_Load(5, Path("a.wav").c_str(), FSOUND_LOOP_NORMAL, 0, 0);
    ASSERT_NE(a, nullptr);
    for (int i = 0; i < 4; ++i)
        EXPECT_GE(FSOUND_PlaySound(FSOUND_FREE, a), 0);
    EXPECT_EQ(FSOUND_PlaySound(FSOUND_FREE, a), -1);
    // An explicit channel replaces what plays there.
    EXPECT_EQ(FSOUND_PlaySound(2, a), 2);

    // Loading into a used slot frees the sample there, and silences its channels.
    FSOUND_SAMPLE* b = FSOUND_Sample_Load(5, Path("b.wav").c_str(), 0, 0, 0);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(FSOUND_Sample_GetLength(b), 882u);
    EXPECT_EQ(FSOUND_IsPlaying(2), 0);
    FSOUND_Sample_Free(b);
}

// What the device was given while one sample played once, through SDL's disk driver (which writes what a device
// would play to a file: 16-bit stereo at 44100 Hz, as the mixer asks).
struct DeviceOutput {
    bool started = false;
    bool loaded = false;
    bool played = false;
    bool ended = false;
    std::vector<int16_t> samples; // interleaved left, right
};

DeviceOutput PlayThroughTheDiskDriver(const std::string& file, const std::string& output)
{
    ::setenv("SDL_AUDIODRIVER", "disk", 1);
    ::setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);
    // Faster than real time: a millisecond between buffers.
    ::setenv("SDL_DISKAUDIODELAY", "1", 1);
    DeviceOutput result;
    result.started = FSOUND_Init(44100, 32, 0) == 1;
    FSOUND_SAMPLE* sample = FSOUND_Sample_Load(FSOUND_FREE, file.c_str(), FSOUND_HW2D | FSOUND_STEREO, 0, 0);
    result.loaded = sample != nullptr;
    const int channel = result.started && sample ? FSOUND_PlaySound(FSOUND_FREE, sample) : -1;
    result.played = channel >= 0;
    result.ended = result.played && WaitFor(Stopped, channel, 60.0);
    FSOUND_Close();
    FSOUND_Sample_Free(sample);
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    ::unsetenv("SDL_DISKAUDIOFILE");
    ::unsetenv("SDL_DISKAUDIODELAY");

    std::ifstream in(output, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        result.samples.push_back(
            static_cast<int16_t>(static_cast<uint8_t>(bytes[i]) | (static_cast<uint8_t>(bytes[i + 1]) << 8)));
    return result;
}

// Frames from the first to the last in which either channel is louder than the threshold; 0 when none is.
long AudibleFrames(const std::vector<int16_t>& samples, int threshold)
{
    long first = -1;
    long last = -1;
    for (size_t i = 0; i < samples.size(); ++i) {
        if (std::abs(samples[i]) > threshold) {
            const long frame = static_cast<long>(i / 2);
            if (first < 0)
                first = frame;
            last = frame;
        }
    }
    return first < 0 ? 0 : last - first + 1;
}

TEST_F(FSoundTest, ASampleReachesTheDeviceWhole)
{
    // 4410 stereo frames of +-20000, mixed at full volume onto silence: exactly 8820 values of +-20000 reach the
    // device, once (not looped), and nothing else but silence.
    WriteWav(dir_ / "tone.wav", 44100, 2, 4410);
    const DeviceOutput out = PlayThroughTheDiskDriver(Path("tone.wav"), Path("device.raw"));
    ASSERT_TRUE(out.started && out.loaded && out.played);
    EXPECT_TRUE(out.ended);
    long full = 0;
    long other = 0;
    for (int16_t value : out.samples) {
        if (value == 20000 || value == -20000)
            ++full;
        else if (value != 0)
            ++other;
    }
    EXPECT_EQ(full, 8820);
    EXPECT_EQ(other, 0);
    EXPECT_EQ(AudibleFrames(out.samples, 10000), 4410);
}

TEST_F(FSoundTest, TheMusicOfTheDataTreeReachesTheDevice)
{
    // Each tune is 3 s (132300 frames) of notes at 0.3 of full scale (9830) that fade in over their first and out
    // over their last 441 frames. So the audible part spans at least 132300 - 2 x 441 = 131418 frames; the MP3
    // may add up to two frames of 1152 of decoder slack.
    for (const char* file : {"Data/Sound/Music/Varnholt_MenuMusicTemp.wav", "Data/Sound/Music/timberwolf.mp3"}) {
        SCOPED_TRACE(file);
        const DeviceOutput out = PlayThroughTheDiskDriver(file, Path("music.raw"));
        ASSERT_TRUE(out.started && out.loaded && out.played);
        EXPECT_TRUE(out.ended);
        const long audible = AudibleFrames(out.samples, 300);
        EXPECT_GE(audible, 131418);
        EXPECT_LE(audible, 132300 + 2 * 1152);
        int peak = 0;
        for (int16_t value : out.samples)
            peak = std::max(peak, std::abs(static_cast<int>(value)));
        EXPECT_GT(peak, 8000);
        EXPECT_LE(peak, 11000);
    }
}

TEST_F(FSoundTest, NoAudioDeviceGoesSilentWithOneLineQuicklyAndKeepsWorking)
{
    WriteWav(dir_ / "tone.wav", 44100, 2, 4410);
    // A driver that does not exist, and one that exists without the device it is asked for. Leaving the
    // second (its device watcher wakes every tenth of a second) must not hold up the start.
    struct Case {
        const char* driver;
        const char* device;
    };
    std::string said;
    for (const Case& c : {Case{"no-such-audio-driver", nullptr}, Case{"alsa", "varnholt-no-such-device"}}) {
        ::setenv("SDL_AUDIODRIVER", c.driver, 1);
        if (c.device)
            ::setenv("AUDIODEV", c.device, 1);
        ::testing::internal::CaptureStderr();
        double initSeconds = 0.0;
        signed char started[5] = {};
        int channel = -1;
        FSOUND_SAMPLE* sample = nullptr;
        for (int round = 0; round < 5; ++round) {
            const auto before = std::chrono::steady_clock::now();
            started[round] = FSOUND_Init(44100, 32, 0);
            initSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - before).count();
            if (round == 0) {
                sample = FSOUND_Sample_Load(FSOUND_FREE, Path("tone.wav").c_str(), 0, 0, 0);
                channel = FSOUND_PlaySound(31, sample);
                EXPECT_EQ(FSOUND_GetCurrentSample(31), sample) << c.driver;
                FSOUND_Sample_Free(sample);
            }
            FSOUND_Close();
        }
        said += ::testing::internal::GetCapturedStderr();
        ::setenv("SDL_AUDIODRIVER", "dummy", 1);
        ::unsetenv("AUDIODEV");

        for (const signed char result : started)
            EXPECT_EQ(result, 1) << c.driver;
        EXPECT_NE(sample, nullptr) << c.driver;
        EXPECT_EQ(channel, 31) << c.driver;
        // Waiting for the old driver's watcher would take 50 ms a start on average, 250 ms for the five.
        EXPECT_LT(initSeconds, 0.12) << c.driver;
    }
    // Said once in the process's life.
    EXPECT_NE(said.find("no audio device"), std::string::npos) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
}

} // namespace

TEST_F(FSoundTest, RefusedFilesKeepNoDescriptorOpen)
{
    auto openDescriptors = [] {
        return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
    };
    // Files of 4 to 11 bytes that are no sound, each refused several times.
    std::vector<std::string> paths;
    for (int length = 4; length <= 11; ++length) {
        const std::string name = "short" + std::to_string(length) + ".wav";
        std::ofstream(dir_ / name, std::ios::binary) << std::string("ABCDEFGHIJK").substr(0, length);
        paths.push_back(Path(name.c_str()));
    }
    // One load first, so that whatever the mixer opens once for good is open before counting.
    EXPECT_EQ(FSOUND_Sample_Load(FSOUND_FREE, paths.front().c_str(), 0, 0, 0), nullptr);
    const auto before = openDescriptors();
    for (int round = 0; round < 3; ++round)
        for (const std::string& path : paths)
            EXPECT_EQ(FSOUND_Sample_Load(FSOUND_FREE, path.c_str(), 0, 0, 0), nullptr) << path;
    EXPECT_EQ(openDescriptors(), before);
}
