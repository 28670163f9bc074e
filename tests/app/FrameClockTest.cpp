#include "app/FrameClock.h"
#include "win32/TestHooks.h"

#include <gtest/gtest.h>

namespace {

class FrameClockTest : public ::testing::Test
{
protected:
    void SetUp() override { FrameClock::Clear(); }
    void TearDown() override
    {
        FrameClock::Clear();
        Win32TestHooks::UseRealPerformanceCounter();
    }
};

} // namespace

TEST_F(FrameClockTest, TickIsTheCounterDifferenceOverTheFrequency)
{
    Win32TestHooks::SetPerformanceCounter(1000, 1000);
    FrameClock::Start();
    Win32TestHooks::SetPerformanceCounterValue(1250);
    EXPECT_FLOAT_EQ(FrameClock::Tick(), 0.25f);
    // Each tick measures from the one before.
    Win32TestHooks::SetPerformanceCounterValue(1266);
    EXPECT_FLOAT_EQ(FrameClock::Tick(), 0.016f);
    EXPECT_FLOAT_EQ(FrameClock::Tick(), 0.0f);
}

TEST_F(FrameClockTest, WithoutACounterEveryTickIsZero)
{
    Win32TestHooks::SetPerformanceCounter(std::nullopt);
    FrameClock::Start();
    EXPECT_EQ(FrameClock::Tick(), 0.0f);
    FrameClock::Restart();
    EXPECT_EQ(FrameClock::Tick(), 0.0f);
}
