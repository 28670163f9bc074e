#include "win32/Win32.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

TEST(TimingTest, RealCounterRunsAtItsStatedFrequency)
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

TEST(TimingTest, TickCountAdvancesInMilliseconds)
{
    const DWORD before = GetTickCount();
    Sleep(30);
    const DWORD elapsed = GetTickCount() - before;
    // Whole milliseconds: the 30 ms may read 29 when the sleep starts just before a tick. The upper bound catches a
    // count in the wrong unit, not a slow machine.
    EXPECT_GE(elapsed, 29u);
    EXPECT_LT(elapsed, 10000u);
}

TEST(TimingTest, DebugOutputGoesToStandardErrorAsWritten)
{
    ::testing::internal::CaptureStderr();
    OutputDebugStringA("one diagnostic\n");
    OutputDebugStringA(nullptr);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "one diagnostic\n");
}

} // namespace
