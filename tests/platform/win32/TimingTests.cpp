#include "win32/TestHooks.h"
#include "win32/Win32.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

class TimingTest : public ::testing::Test
{
protected:
    void TearDown() override { Win32TestHooks::UseRealPerformanceCounter(); }
};

TEST_F(TimingTest, RealCounterRunsAtItsStatedFrequency)
{
    LARGE_INTEGER frequency{};
    ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
    ASSERT_GT(frequency.QuadPart, 0);
    LARGE_INTEGER before{};
    LARGE_INTEGER after{};
    ASSERT_TRUE(QueryPerformanceCounter(&before));
    Sleep(20);
    ASSERT_TRUE(QueryPerformanceCounter(&after));
    const double seconds = static_cast<double>(after.QuadPart - before.QuadPart) / frequency.QuadPart;
    // A sleep may overrun by far on a loaded machine; the bound above only has to catch a counter in the wrong unit
    // (a thousand times off would read 20 s).
    EXPECT_GE(seconds, 0.019);
    EXPECT_LT(seconds, 10.0);
}

TEST_F(TimingTest, HookReplacesTheCounterOrTakesItAway)
{
    Win32TestHooks::SetPerformanceCounter(1000, 1000);
    LARGE_INTEGER value{};
    ASSERT_TRUE(QueryPerformanceFrequency(&value));
    EXPECT_EQ(value.QuadPart, 1000);
    ASSERT_TRUE(QueryPerformanceCounter(&value));
    EXPECT_EQ(value.QuadPart, 1000);
    Win32TestHooks::SetPerformanceCounterValue(1250);
    ASSERT_TRUE(QueryPerformanceCounter(&value));
    EXPECT_EQ(value.QuadPart, 1250);

    Win32TestHooks::SetPerformanceCounter(std::nullopt);
    value.QuadPart = 7;
    EXPECT_FALSE(QueryPerformanceFrequency(&value));
    EXPECT_EQ(value.QuadPart, 0);
    value.QuadPart = 7;
    EXPECT_FALSE(QueryPerformanceCounter(&value));
    EXPECT_EQ(value.QuadPart, 0);

    Win32TestHooks::UseRealPerformanceCounter();
    // Moving the counter does nothing once the real clock is back.
    Win32TestHooks::SetPerformanceCounterValue(5);
    EXPECT_TRUE(QueryPerformanceFrequency(&value));
    EXPECT_NE(value.QuadPart, 1000);
    EXPECT_FALSE(QueryPerformanceFrequency(nullptr));
}

TEST_F(TimingTest, TickCountAdvancesInMilliseconds)
{
    const DWORD before = GetTickCount();
    Sleep(30);
    const DWORD elapsed = GetTickCount() - before;
    // Whole milliseconds: the 30 ms may read 29 when the sleep starts just before a tick. The upper bound catches a
    // count in the wrong unit, not a slow machine.
    EXPECT_GE(elapsed, 29u);
    EXPECT_LT(elapsed, 10000u);
}

TEST_F(TimingTest, DebugOutputGoesToStandardErrorAsWritten)
{
    ::testing::internal::CaptureStderr();
    OutputDebugStringA("one diagnostic\n");
    OutputDebugStringA(nullptr);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "one diagnostic\n");
}

} // namespace
