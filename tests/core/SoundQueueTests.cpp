#include "core/SoundQueue.h"

#include "core/DataManager.h"
#include "sound/FSound.h"
#include "support/WavFile.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

constexpr int CHANNELS = 32;

// How many channels are playing the sample right now.
int Playing(FSOUND_SAMPLE* sample)
{
    int count = 0;
    for (int channel = 0; channel < CHANNELS; ++channel)
        if (sample && FSOUND_GetCurrentSample(channel) == sample)
            ++count;
    return count;
}

int ChannelOf(FSOUND_SAMPLE* sample)
{
    for (int channel = 0; channel < CHANNELS; ++channel)
        if (sample && FSOUND_GetCurrentSample(channel) == sample)
            return channel;
    return -1;
}

class SoundQueueTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        InitSound();
        FSOUND_StopSound(FSOUND_ALL);
        SoundQueue::ResetForTests();
        DataManager::ResetForTests();
        home_ = fs::current_path();
    }
    void TearDown() override
    {
        FSOUND_StopSound(FSOUND_ALL);
        SoundQueue::ResetForTests();
        DataManager::ResetForTests();
        fs::current_path(home_);
        if (!tree_.empty()) {
            std::error_code ignored;
            fs::remove_all(tree_, ignored);
        }
    }

    // A data tree of our own with three effects of 2 s (88200 frames) and, unless told otherwise, a default sound
    // of 0.1 s (4410 frames). The data manager is rebuilt on it. Tests that look at what plays queue their sounds
    // looped, so a sound is still playing when the test looks however slow the machine is.
    void UseOwnTree(bool withDefaultSound = true)
    {
        tree_ = fs::temp_directory_path() / ("soundqueue_" + std::to_string(::getpid()) + "_" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        const fs::path effects = tree_ / "Data" / "Sound" / "Sound Effects";
        fs::create_directories(effects);
        WriteWav(effects / "first.wav", 44100, 2, 88200, 8000);
        WriteWav(effects / "second.wav", 44100, 2, 88200, 8000);
        WriteWav(effects / "third.wav", 44100, 2, 88200, 8000);
        if (withDefaultSound)
            WriteWav(effects / "defaultSound.wav", 44100, 2, 4410, 8000);
        fs::current_path(tree_);
        DataManager::ResetForTests();
    }

    FSOUND_SAMPLE* Sample(const std::string& name) { return DataManager::Get()->GetSoundSample(name); }

    void Frames(int count, float rawSeconds)
    {
        for (int i = 0; i < count; ++i) {
            DataManager::Get()->AdvanceTime(rawSeconds);
            SoundQueue::Get()->Update();
        }
    }

    fs::path home_;
    fs::path tree_;
};

TEST_F(SoundQueueTest, RequestsPlayWhenTheirDelayRunsOut)
{
    UseOwnTree();
    SoundQueue::Get()->Queue("first.wav", 1, true, 0.5f);
    SoundQueue::Get()->Queue("second.wav", 2, true, 0.25f);
    ASSERT_EQ(SoundQueue::Get()->GetPendingRequests().size(), 2u);

    Frames(2, 0.1f); // 0.2 s: neither is due
    EXPECT_EQ(Playing(Sample("first.wav")), 0);
    EXPECT_EQ(Playing(Sample("second.wav")), 0);

    Frames(1, 0.1f); // 0.3 s: the 0.25 s request has played, the 0.5 s one waits
    EXPECT_EQ(Playing(Sample("first.wav")), 0);
    EXPECT_EQ(Playing(Sample("second.wav")), 1);
    const std::vector<SoundRequest> pending = SoundQueue::Get()->GetPendingRequests();
    ASSERT_EQ(pending.size(), 1u);
    EXPECT_EQ(pending[0].sample, Sample("first.wav"));
    EXPECT_EQ(pending[0].soundClass, 1);
    EXPECT_NEAR(pending[0].elapsed, 0.3f, 1e-5f);

    Frames(3, 0.1f); // 0.6 s
    EXPECT_EQ(Playing(Sample("first.wav")), 1);
    EXPECT_EQ(Playing(Sample("second.wav")), 1);
    EXPECT_TRUE(SoundQueue::Get()->GetPendingRequests().empty());
}

TEST_F(SoundQueueTest, RequestsDueInOneFramePlayInQueueOrder)
{
    UseOwnTree();
    SoundQueue::Get()->Queue("third.wav", 0, true, 0.0f);
    SoundQueue::Get()->Queue("first.wav", 0, true, 0.0f);
    SoundQueue::Get()->Queue("second.wav", 0, true, 0.0f);
    Frames(1, 0.016f);
    // Each takes the lowest free channel, so the channels tell the order.
    const int third = ChannelOf(Sample("third.wav"));
    const int first = ChannelOf(Sample("first.wav"));
    const int second = ChannelOf(Sample("second.wav"));
    ASSERT_GE(third, 0);
    EXPECT_LT(third, first);
    EXPECT_LT(first, second);
    EXPECT_TRUE(SoundQueue::Get()->GetPendingRequests().empty());
}

TEST_F(SoundQueueTest, DelaysCountGameTimeNotRealTime)
{
    UseOwnTree();
    DataManager::Get()->SetGameSpeed(0.1f);
    SoundQueue::Get()->Queue("first.wav", 0, true, 0.5f);
    // At a tenth of the speed, 0.5 s of game time takes 5 s of real time.
    Frames(49, 0.1f);
    EXPECT_EQ(Playing(Sample("first.wav")), 0);
    EXPECT_EQ(SoundQueue::Get()->GetPendingRequests().size(), 1u);
    Frames(2, 0.1f);
    EXPECT_EQ(Playing(Sample("first.wav")), 1);
    EXPECT_TRUE(SoundQueue::Get()->GetPendingRequests().empty());
}

TEST_F(SoundQueueTest, BlankQueuesNothingAndMissingNamesFallBackToTheDefaultSound)
{
    UseOwnTree();
    SoundQueue::Get()->Queue("blank", 9, false, 0.0f);
    EXPECT_TRUE(SoundQueue::Get()->GetPendingRequests().empty());

    SoundQueue::Get()->Queue("NoSuchSound.wav", 9, true, 0.0f);
    const std::vector<SoundRequest> pending = SoundQueue::Get()->GetPendingRequests();
    ASSERT_EQ(pending.size(), 1u);
    FSOUND_SAMPLE* fallback = Sample("defaultSound.wav");
    ASSERT_NE(fallback, nullptr);
    EXPECT_EQ(pending[0].sample, fallback);
    EXPECT_EQ(FSOUND_Sample_GetLength(fallback), 4410u);
    EXPECT_TRUE(pending[0].loop);

    Frames(1, 0.016f);
    EXPECT_EQ(Playing(fallback), 1);
    // Queued with the loop flag, it plays looped.
    EXPECT_NE(FSOUND_Sample_GetMode(fallback) & FSOUND_LOOP_NORMAL, 0u);

    // Without the flag the same sample plays once.
    SoundQueue::Get()->Queue("NoSuchSound.wav", 9, false, 0.0f);
    Frames(1, 0.016f);
    EXPECT_EQ(FSOUND_Sample_GetMode(fallback) & (FSOUND_LOOP_NORMAL | FSOUND_LOOP_BIDI), 0u);
    EXPECT_TRUE(SoundQueue::Get()->GetPendingRequests().empty());
}

TEST_F(SoundQueueTest, WithoutADefaultSoundAMissingNameDoesNothing)
{
    UseOwnTree(false);
    SoundQueue::Get()->Queue("NoSuchSound.wav", 0, false, 0.0f);
    EXPECT_TRUE(SoundQueue::Get()->GetPendingRequests().empty());
    SoundQueue::Get()->PlayNow("NoSuchSound.wav", true);
    for (int channel = 0; channel < CHANNELS; ++channel)
        EXPECT_EQ(FSOUND_IsPlaying(channel), 0) << channel;
}

TEST_F(SoundQueueTest, MusicNeverStacks)
{
    // The music of the default data tree.
    SoundQueue* queue = SoundQueue::Get();
    FSOUND_SAMPLE* battle = Sample("timberwolf.mp3");
    FSOUND_SAMPLE* menu = Sample("Varnholt_MenuMusicTemp.wav");
    ASSERT_NE(battle, nullptr);
    ASSERT_NE(menu, nullptr);

    queue->PlayNow("Varnholt_MenuMusicTemp.wav", false);
    EXPECT_EQ(Playing(menu), 1);

    // The battle starts: its music replaces the menu music, looped.
    queue->PlayNow("timberwolf.mp3", true);
    EXPECT_EQ(Playing(menu), 0);
    EXPECT_EQ(Playing(battle), 1);
    EXPECT_NE(FSOUND_Sample_GetMode(battle) & FSOUND_LOOP_NORMAL, 0u);

    // A rematch starts the battle music again: still one copy.
    queue->PlayNow("timberwolf.mp3", true);
    queue->PlayNow("timberwolf.mp3", true);
    EXPECT_EQ(Playing(battle), 1);
}

// The battle's music stops with the battle; stopping it leaves other music alone.
TEST_F(SoundQueueTest, StoppingMusicStopsOnlyTheNamedMusic)
{
    SoundQueue* queue = SoundQueue::Get();
    FSOUND_SAMPLE* battle = Sample("timberwolf.mp3");
    FSOUND_SAMPLE* menu = Sample("Varnholt_MenuMusicTemp.wav");
    queue->PlayNow("Varnholt_MenuMusicTemp.wav", false);
    queue->StopMusic("timberwolf.mp3");
    EXPECT_EQ(Playing(menu), 1);
    queue->PlayNow("timberwolf.mp3", true);
    queue->StopMusic("timberwolf.mp3");
    EXPECT_EQ(Playing(battle), 0);
    queue->StopMusic("timberwolf.mp3");
    queue->PlayNow("timberwolf.mp3", true);
    EXPECT_EQ(Playing(battle), 1) << "it starts again after a stop";
}

TEST_F(SoundQueueTest, MusicChangesLeaveSoundEffectsAlone)
{
    UseOwnTree();
    SoundQueue* queue = SoundQueue::Get();
    queue->PlayNow("first.wav", true);
    queue->Queue("third.wav", 0, true, 0.0f);
    Frames(1, 0.016f);
    ASSERT_EQ(Playing(Sample("third.wav")), 1);

    queue->PlayNow("second.wav", true);
    EXPECT_EQ(Playing(Sample("first.wav")), 0);
    EXPECT_EQ(Playing(Sample("second.wav")), 1);
    EXPECT_EQ(Playing(Sample("third.wav")), 1);

    // Once the music is stopped from outside, its channel is no longer the queue's to stop.
    FSOUND_StopSound(ChannelOf(Sample("second.wav")));
    queue->Queue("first.wav", 0, true, 0.0f);
    Frames(1, 0.016f);
    const int effect = ChannelOf(Sample("first.wav"));
    ASSERT_GE(effect, 0);
    queue->PlayNow("third.wav", false);
    EXPECT_EQ(FSOUND_GetCurrentSample(effect), Sample("first.wav"));
}

TEST_F(SoundQueueTest, InitSoundGivesThirtyTwoChannelsOnce)
{
    UseOwnTree();
    // A looped sample holds its channel: 32 play at once, the 33rd finds no free channel.
    FSOUND_SAMPLE* sample = Sample("first.wav");
    ASSERT_NE(sample, nullptr);
    FSOUND_Sample_SetMode(sample, FSOUND_LOOP_NORMAL);
    for (int i = 0; i < CHANNELS; ++i)
        EXPECT_EQ(FSOUND_PlaySound(FSOUND_FREE, sample), i);
    EXPECT_EQ(FSOUND_PlaySound(FSOUND_FREE, sample), -1);
    FSOUND_StopSound(FSOUND_ALL);

    // Only the first call in a process starts the library: after the library was narrowed to 4 channels, a
    // second InitSound leaves it so.
    ASSERT_EQ(FSOUND_Init(44100, 4, 0), 1);
    InitSound();
    int played = 0;
    while (played <= CHANNELS && FSOUND_PlaySound(FSOUND_FREE, sample) >= 0)
        ++played;
    FSOUND_StopSound(FSOUND_ALL);
    ASSERT_EQ(FSOUND_Init(44100, CHANNELS, 0), 1);
    EXPECT_EQ(played, 4);
}

} // namespace
