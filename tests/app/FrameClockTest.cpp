#include "app/FrameClock.h"
#include "win32/TestHooks.h"

#include <gtest/gtest.h>

namespace {

class FrameClockTest : public ::testing::Test
{
protected:
    void SetUp() override { FrameClock::ResetForTests(); }
    void TearDown() override
    {
        FrameClock::ResetForTests();
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

TEST_F(FrameClockTest, AFixedStepIsEveryTickWhateverTheCounterSays)
{
    Win32TestHooks::SetPerformanceCounter(1000, 1000);
    FrameClock::Start();
    FrameClock::SetFixedStep(0.05f);
    Win32TestHooks::SetPerformanceCounterValue(3000); // two seconds of a stalled frame
    EXPECT_FLOAT_EQ(FrameClock::Tick(), 0.05f);
    EXPECT_FLOAT_EQ(FrameClock::Tick(), 0.05f); // no time at all
    // Back to the counter: the next tick measures from the last reading.
    FrameClock::SetFixedStep(0.0f);
    FrameClock::Restart();
    Win32TestHooks::SetPerformanceCounterValue(3100);
    EXPECT_FLOAT_EQ(FrameClock::Tick(), 0.1f);
    // A negative step is no step.
    FrameClock::SetFixedStep(-1.0f);
    Win32TestHooks::SetPerformanceCounterValue(3150);
    EXPECT_FLOAT_EQ(FrameClock::Tick(), 0.05f);
}
