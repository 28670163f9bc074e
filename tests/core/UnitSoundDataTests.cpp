// The units' samples in the default data tree: every name the class tables and the combat rules ask for is
// there, decodes through the sound layer, is short and leaves headroom for the mixer.
#include "core/DataManager.h"
#include "sound/FSound.h"

#include "UnitSounds.h"
#include "support/ScratchDirectory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Each class's voice and sound table, then the samples every unit plays (a miss, a heavy blow, the slow-motion
// moment, the wind of a death, entering a defended zone, picking a target).
const std::set<std::string>& NamedSamples()
{
    static const std::set<std::string> names = {
        // Pikeman; entry 10 of its voices has lost its last letter and is kept that way.
        "PMVO_AT_01.wav", "PMVO_AT_02.wav", "PMVO_AT_03.wav", "PMVO_DE_01.wav", "PMVO_DE_02.wav", "PMVO_FO_01.wav",
        "PMVO_FO_02.wav", "PMVO_MO_01.wav", "PMVO_MO_02.wav", "PMVO_MO_03.wav", "PMVO_GA_01.wa", "PMVO_GA_02.wav",
        "PMVO_GA_03.wav", "PMVO_GA_04.wav", "PMVO_GA_05.wav", "PMVO_UG_01.wav", "PMVO_UG_02.wav", "PMVO_UG_03.wav",
        "PMVO_VS_01.wav", "PMVO_VS_02.wav", "PMVO_XX_01.wav", "PMVO_XX_02.wav", "PM_MO_02.wav", "PM_MO_01.wav",
        "PMVO_SP_01_01.wav", "PMVO_SP_02_01.wav", "PMVO_SP_03_01.wav", "PM_AT_01.wav", "PM_AT_02.wav", "PM_XX_01.wav",
        "PM_GD_01.wav", "PM_GD_02.wav",
        // Militia (the rogue walks in the militia's boots).
        "MI_MO_01.wav", "MI_MO_02.wav", "MI_AT_01.wav", "MI_AT_02.wav", "MI_GD_01.wav", "MI_GD_02.wav",
        // Paladin.
        "PA_MO_S_01.wav", "PA_MO_S_02.wav", "ALL_SP_HEAL.wav", "PA_SP_04.wav",
        // Mage.
        "MA_MO_01.wav", "MA_MO_02.wav", "MA_AT_01.wav", "MA_GD_01.wav",
        // Combat mage: spaces in the names, and one with an underscore before a blank.
        "CMVO AT 01.wav", "CMVO AT 02.wav", "CMVO AT 03.wav", "CMVO MO 01.wav", "CMVO MO 02.wav", "CMVO MO 03.wav",
        "CMVO AO 01.wav", "CMVO AO 02.wav", "CMVO AO 03.wav", "CMVO UG 01.wav", "CMVO UG 02.wav", "CMVO DE 01.wav",
        "CM_MO_01.wav", "CM_MO_02.wav", "CM_SP_01.wav", "CMVO SP 02.wav", "CM_SP_03.wav", "CMVO SP_ 4.wav",
        "CM_AT_01.wav", "CM_XX_01.wav", "CM_DE_01.wav", "CM_FO_01.wav",
        // Healer.
        "MA_MO_03.wav", "MA_MO_04.wav",
        // Assassin.
        "ASVO AT 01.wav", "ASVO AT 02.wav", "ASVO AT 03.wav", "ASVO DE 01.wav", "ASVO DE 02.wav", "ASVO FO 01.wav",
        "ASVO FO 02.wav", "ASVO MO 01.wav", "ASVO MO 02.wav", "ASVO MO 03.wav", "ASVO GA 01.wav", "ASVO GA 02.wav",
        "ASVO GA 03.wav", "ASVO GA 04.wav", "ASVO GA 05.wav", "ASVO UG 01.wav", "ASVO UG 02.wav", "ASVO UG 03.wav",
        "AS_MO_R1.wav", "AS_MO_L1.wav", "AS_SP_01.wav", "ASVO SP 02.wav", "AS_SP_03.wav", "AS_SP_04.wav",
        "AS_AT_01.wav", "AS_AT_02.wav", "AS_XX_01.wav", "AS_DE_01.wav", "AS_FO.wav", "AS_TD_01.wav", "AS_TD_02.wav",
        // Scout.
        "SC_MO_01.wav", "SC_MO_03.wav", "SC_AT_1.wav", "SC_GD_01.wav",
        // Knight.
        "KNVO_AT_01.wav", "KNVO_AT_02.wav", "KNVO_AT_03.wav", "KNVO_DE_01.wav", "KNVO_DE_02.wav", "KNVO_FO_01.wav",
        "KNVO_FO_02.wav", "KNVO_MO_01.wav", "KNVO_MO_02.wav", "KNVO_MO_03.wav", "KNVO_GA_01.wav", "KNVO_GA_02.wav",
        "KNVO_GA_03.wav", "KNVO_GA_04.wav", "KNVO_GA_05.wav", "KNVO_UG_01.wav", "KNVO_US_01.wav", "KNVO_US_02.wav",
        "KN_MO_S_01.wav", "KN_MO_S_02.wav", "KN_SP_02.wav", "KN_GD_01.wav", "KN_GD_02.wav",
        // Archer.
        "AR_MO_01.wav", "AR_MO_02.wav", "ALL_TD_LIGHT.wav",
        // Every unit.
        "ALL_CritSlowdown.wav", "ALL_MISS.wav", "ALL_TD_HEAVY.WAV", "ALL_DEATHWIND.wav", "ALL_ZOC.wav",
        "UI_LIGHTBEAM.wav"};
    return names;
}

// 131 distinct names in the class tables, plus the six shared ones.
constexpr size_t NamedCount = 137;

// Full scale is 32767; -6 dBFS is half of it. A little either way is allowed for rounding.
constexpr int HalfScale = 16384;

struct Wav {
    bool valid = false;
    int rate = 0;
    std::vector<int16_t> samples;
};

uint32_t Le(const std::vector<unsigned char>& b, size_t at, int bytes)
{
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v |= static_cast<uint32_t>(b[at + i]) << (8 * i);
    return v;
}

// Reads a canonical mono 16-bit PCM WAV: the RIFF header, a "fmt " chunk, then "data".
Wav ReadWav(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::vector<unsigned char> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Wav wav;
    if (b.size() < 44 || std::string(b.begin(), b.begin() + 4) != "RIFF" ||
        std::string(b.begin() + 8, b.begin() + 16) != "WAVEfmt " ||
        std::string(b.begin() + 36, b.begin() + 40) != "data")
        return wav;
    const uint32_t dataBytes = Le(b, 40, 4);
    if (Le(b, 20, 2) != 1 || Le(b, 22, 2) != 1 || Le(b, 34, 2) != 16 || Le(b, 4, 4) != b.size() - 8 ||
        dataBytes != b.size() - 44)
        return wav;
    wav.rate = static_cast<int>(Le(b, 24, 4));
    for (size_t at = 44; at + 1 < b.size(); at += 2)
        wav.samples.push_back(static_cast<int16_t>(Le(b, at, 2)));
    wav.valid = true;
    return wav;
}

int Peak(const std::vector<int16_t>& samples)
{
    int peak = 0;
    for (int16_t s : samples)
        peak = std::max(peak, std::abs(static_cast<int>(s)));
    return peak;
}

std::vector<char> Bytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

TEST(UnitSoundData, NamedSetHoldsEveryTableEntryOnce)
{
    EXPECT_EQ(NamedSamples().size(), NamedCount);
}

TEST(UnitSoundData, EveryNamedSampleIsFoundAndPlayableFromTheDataTree)
{
    DataManager::ResetForTests();
    DataManager* data = DataManager::Get();
    FSOUND_SAMPLE* fallback = data->GetSoundSample("defaultSound.wav");
    ASSERT_NE(fallback, nullptr);
    for (const std::string& name : NamedSamples()) {
        SCOPED_TRACE(name);
        const std::string found = data->FindFile(name);
        const std::string where = "Data/Sound/Sound Effects/" + name;
        ASSERT_GE(found.size(), where.size());
        EXPECT_EQ(found.substr(found.size() - where.size()), where);

        const Wav wav = ReadWav(found);
        ASSERT_TRUE(wav.valid);
        EXPECT_TRUE(wav.rate == 22050 || wav.rate == 44100);
        // Peaks at -6 dBFS: never clipped, and two at once still fit.
        const int peak = Peak(wav.samples);
        EXPECT_LE(peak, HalfScale + 1);
        EXPECT_GE(peak, HalfScale - 1);

        FSOUND_SAMPLE* sample = data->GetSoundSample(name);
        ASSERT_NE(sample, nullptr);
        EXPECT_NE(sample, fallback);
        // The sound layer holds every sample at 44100 Hz.
        const double seconds = FSOUND_Sample_GetLength(sample) / 44100.0;
        EXPECT_GE(seconds, 0.1);
        EXPECT_LE(seconds, 1.5);
        EXPECT_NEAR(seconds, static_cast<double>(wav.samples.size()) / wav.rate, 0.001);
    }
    DataManager::ResetForTests();
}

TEST(UnitSoundData, StandInVoicesGiveTheSameCompleteSetOnEveryRun)
{
    ScratchDirectory scratch("unit-sounds");
    const fs::path first = scratch.Path("first");
    const fs::path second = scratch.Path("second");
    EXPECT_EQ(WriteUnitSounds(first, VoiceSource::StandIn), static_cast<int>(NamedCount));
    EXPECT_EQ(WriteUnitSounds(second, VoiceSource::StandIn), static_cast<int>(NamedCount));

    std::set<std::string> written;
    for (const fs::directory_entry& entry : fs::directory_iterator(first))
        written.insert(entry.path().filename().string());
    EXPECT_EQ(written, NamedSamples());

    for (const std::string& name : NamedSamples()) {
        SCOPED_TRACE(name);
        const Wav wav = ReadWav(first / name);
        ASSERT_TRUE(wav.valid);
        const double seconds = static_cast<double>(wav.samples.size()) / wav.rate;
        EXPECT_GE(seconds, 0.1);
        EXPECT_LE(seconds, 1.5);
        EXPECT_LE(Peak(wav.samples), HalfScale + 1);
        EXPECT_EQ(Bytes(first / name), Bytes(second / name));
    }
}

TEST(UnitSoundData, StandInVoiceFollowsTheLine)
{
    // The stand-in speaks a syllable for each group of vowels ('y' counts as one), at most five, 0.16 s each,
    // with 0.1 s of air: "Yield!" is one group ("yie"), 0.26 s or 5733 frames at 22050 Hz; "Have at thee!" has
    // four ("a", "e", "a", "ee"), 0.74 s or 16317 frames.
    ScratchDirectory scratch("unit-voices");
    const fs::path root = scratch.Path("voices");
    WriteUnitSounds(root, VoiceSource::StandIn);
    const Wav yield = ReadWav(root / "KNVO_AT_02.wav");
    const Wav haveAtThee = ReadWav(root / "KNVO_AT_03.wav");
    ASSERT_TRUE(yield.valid);
    ASSERT_TRUE(haveAtThee.valid);
    EXPECT_EQ(yield.rate, 22050);
    EXPECT_EQ(yield.samples.size(), 5733u);
    EXPECT_EQ(haveAtThee.samples.size(), 16317u);
}
