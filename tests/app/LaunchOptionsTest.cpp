#include "app/LaunchOptions.h"
#include "win32/Log.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

LaunchOptions ReadFrom(const std::map<std::string, std::string>& environment)
{
    return LaunchOptions::Read([&](const char* name) -> const char* {
        const auto found = environment.find(name);
        return found == environment.end() ? nullptr : found->second.c_str();
    });
}

} // namespace

TEST(LaunchOptionsTest, NothingSetKeepsTheGameAsItIs)
{
    LogCapture log;
    const LaunchOptions options = ReadFrom({});
    EXPECT_FALSE(options.seed.has_value());
    EXPECT_FALSE(options.frameTime.has_value());
    // Set but empty is the same as unset, and no mistake.
    const LaunchOptions empty = ReadFrom({{"VARNHOLT_SEED", ""}, {"VARNHOLT_FRAME_TIME", ""}});
    EXPECT_FALSE(empty.seed.has_value());
    EXPECT_FALSE(empty.frameTime.has_value());
    EXPECT_EQ(log.Count("options.invalid"), 0);
}

TEST(LaunchOptionsTest, SeedsAreWholeNumbersThatFitTheGenerator)
{
    const struct {
        const char* text;
        bool valid;
        unsigned int value;
    } cases[] = {
        {"0", true, 0u},
        {"42", true, 42u},
        {"4294967295", true, 4294967295u},
        {"4294967296", false, 0u},
        {"99999999999999999999999", false, 0u},
        {"-1", false, 0u},
        {"+7", false, 0u},
        {" 7", false, 0u},
        {"7 ", false, 0u},
        {"12abc", false, 0u},
        {"0x10", false, 0u},
        {"seed", false, 0u},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        LogCapture log;
        const LaunchOptions options = ReadFrom({{"VARNHOLT_SEED", c.text}});
        EXPECT_EQ(options.seed.has_value(), c.valid);
        if (c.valid && options.seed) {
            EXPECT_EQ(*options.seed, c.value);
        }
        EXPECT_EQ(log.Count("options.invalid"), c.valid ? 0 : 1);
        EXPECT_FALSE(options.frameTime.has_value());
    }
}

TEST(LaunchOptionsTest, FrameTimesAreSecondsAboveZeroUpToOne)
{
    const struct {
        const char* text;
        bool valid;
        float value;
    } cases[] = {
        {"0.05", true, 0.05f},  {"1", true, 1.0f},     {"1e-3", true, 0.001f}, {"0", false, 0.0f},
        {"-0.1", false, 0.0f},  {"1.01", false, 0.0f}, {"nan", false, 0.0f},   {"inf", false, 0.0f},
        {"0.05s", false, 0.0f}, {"fast", false, 0.0f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        LogCapture log;
        const LaunchOptions options = ReadFrom({{"VARNHOLT_FRAME_TIME", c.text}});
        EXPECT_EQ(options.frameTime.has_value(), c.valid);
        if (c.valid && options.frameTime) {
            EXPECT_FLOAT_EQ(*options.frameTime, c.value);
        }
        EXPECT_EQ(log.Count("options.invalid"), c.valid ? 0 : 1);
    }
}

TEST(LaunchOptionsTest, OneBadValueDoesNotSpoilTheOther)
{
    LogCapture log;
    const LaunchOptions options = ReadFrom({{"VARNHOLT_SEED", "x"}, {"VARNHOLT_FRAME_TIME", "0.25"}});
    EXPECT_FALSE(options.seed.has_value());
    ASSERT_TRUE(options.frameTime.has_value());
    EXPECT_FLOAT_EQ(*options.frameTime, 0.25f);
    EXPECT_EQ(log.Count("options.invalid"), 1);
}
