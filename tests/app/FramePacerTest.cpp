#include "app/FramePacer.h"

#include <gtest/gtest.h>

namespace {

TEST(FramePacerTest, FramesKeepTheRefreshCadenceAndAStallStartsItAgain)
{
    double now = 10.0;
    FramePacer pacer([&now] { return now; });
    // Unknown refresh: 60 Hz, a frame every 16.667 ms.
    pacer.SetRefreshRate(0);
    EXPECT_EQ(pacer.MillisecondsUntilDue(), 0u) << "the first frame is due at once";

    struct Step {
        double at;
        bool frame; // a frame starts at this time
        unsigned int expectedWait; // milliseconds, after the frame if there is one
    };
    const Step steps[] = {
        {10.000, true, 17}, // next at 10.016667
        {10.010, false, 7}, // 6.667 ms left, rounded up
        {10.0167, false, 0}, {10.020, true, 14}, // started 3.3 ms late; the next stays on the cadence: 10.033333
        {10.030, false, 4},  {10.100, true, 17}, // a 67 ms stall: no run of frames to catch up, next at 10.116667
        {10.110, false, 7},
    };
    for (const Step& step : steps) {
        now = step.at;
        if (step.frame)
            pacer.FrameStarted();
        EXPECT_EQ(pacer.MillisecondsUntilDue(), step.expectedWait) << "at " << step.at;
    }

    // 75 Hz: 13.333 ms.
    pacer.SetRefreshRate(75);
    now = 20.0;
    pacer.FrameStarted();
    EXPECT_EQ(pacer.MillisecondsUntilDue(), 14u);
}

} // namespace
