#include "win32/Win32.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

TEST(ThreadsTest, WaitTimesOutAfterAboutTheTimeAsked)
{
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    const auto start = Clock::now();
    EXPECT_EQ(WaitForSingleObject(event, 50), WAIT_TIMEOUT);
    const double waited = MillisecondsSince(start);
    // The wait must not end early; how late it ends depends on the machine's load, so the upper bound only catches a
    // time-out read in the wrong unit.
    EXPECT_GE(waited, 49.0);
    EXPECT_LT(waited, 10000.0);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(CloseHandle(event));
}

TEST(ThreadsTest, ManualEventStaysSetAutoEventWakesOneWait)
{
    HANDLE manual = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE automatic = CreateEventA(nullptr, FALSE, TRUE, nullptr);
    ASSERT_TRUE(SetEvent(manual));
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
    ASSERT_TRUE(ResetEvent(manual));
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);

    // Created signalled: the first wait takes the signal.
    EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_TIMEOUT);
    CloseHandle(manual);
    CloseHandle(automatic);
}

TEST(ThreadsTest, SemaphoreCountsWaitsAndRefusesToPassItsMaximum)
{
    HANDLE semaphore = CreateSemaphoreA(nullptr, 1, 2, nullptr);
    ASSERT_NE(semaphore, nullptr);
    LONG previous = -1;
    EXPECT_TRUE(ReleaseSemaphore(semaphore, 1, &previous));
    EXPECT_EQ(previous, 1);
    // Count is at the maximum of 2: one more fails and changes nothing.
    previous = -1;
    EXPECT_FALSE(ReleaseSemaphore(semaphore, 1, &previous));
    EXPECT_EQ(previous, -1);
    EXPECT_FALSE(ReleaseSemaphore(semaphore, 0, nullptr));
    EXPECT_EQ(WaitForSingleObject(semaphore, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(semaphore, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(semaphore, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(ReleaseSemaphore(semaphore, 2, &previous));
    EXPECT_EQ(previous, 0);
    CloseHandle(semaphore);

    EXPECT_EQ(CreateSemaphoreA(nullptr, 3, 2, nullptr), nullptr);
    EXPECT_EQ(CreateSemaphoreA(nullptr, 0, 0, nullptr), nullptr);
}

TEST(ThreadsTest, BadHandlesFail)
{
    HANDLE bogus = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x12345));
    EXPECT_EQ(WaitForSingleObject(nullptr, 0), WAIT_FAILED);
    EXPECT_EQ(WaitForSingleObject(INVALID_HANDLE_VALUE, INFINITE), WAIT_FAILED);
    EXPECT_EQ(WaitForSingleObject(bogus, 10), WAIT_FAILED);
    EXPECT_FALSE(CloseHandle(bogus));
    EXPECT_FALSE(SetEvent(bogus));
    EXPECT_FALSE(ReleaseSemaphore(bogus, 1, nullptr));
    // An event is not a semaphore, nor the other way round.
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_FALSE(ReleaseSemaphore(event, 1, nullptr));
    EXPECT_TRUE(CloseHandle(event));
    EXPECT_FALSE(CloseHandle(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_FAILED);
    DWORD code = 5;
    EXPECT_FALSE(GetExitCodeThread(bogus, &code));
    EXPECT_EQ(code, 0u);
}

struct Job {
    HANDLE go;
    HANDLE done;
    std::atomic<DWORD> threadId{0};
};

DWORD WINAPI Worker(LPVOID param)
{
    Job* job = static_cast<Job*>(param);
    job->threadId = GetCurrentThreadId();
    WaitForSingleObject(job->go, INFINITE);
    ReleaseSemaphore(job->done, 1, nullptr);
    return 42;
}

TEST(ThreadsTest, ThreadHandleSignalsAtItsEndWithTheExitCode)
{
    Job job;
    job.go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    job.done = CreateSemaphoreA(nullptr, 0, 1, nullptr);
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, Worker, &job, 0, &id);
    ASSERT_NE(thread, nullptr);
    EXPECT_NE(id, 0u);
    EXPECT_EQ(WaitForSingleObject(thread, 20), WAIT_TIMEOUT);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, STILL_ACTIVE);

    SetEvent(job.go);
    EXPECT_EQ(WaitForSingleObject(job.done, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 42u);
    EXPECT_EQ(job.threadId.load(), id);
    EXPECT_NE(GetCurrentThreadId(), id);
    EXPECT_TRUE(CloseHandle(thread));
    CloseHandle(job.go);
    CloseHandle(job.done);
}

TEST(ThreadsTest, ClosingTheHandleOfARunningThreadDoesNotWaitForIt)
{
    static HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = CreateThread(
        nullptr, 0, [](LPVOID) -> DWORD { return WaitForSingleObject(go, INFINITE); }, nullptr, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    const auto start = Clock::now();
    EXPECT_TRUE(CloseHandle(thread));
    // The thread waits for ever; a close that joined it would never return. Slow machines may take a while anyway.
    EXPECT_LT(MillisecondsSince(start), 5000.0);
    // The thread still ends normally once released.
    SetEvent(go);
    EXPECT_EQ(CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr), nullptr);
}

TEST(ThreadsTest, CriticalSectionIsReentrantAndExcludesOtherThreads)
{
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    EnterCriticalSection(&section);
    EnterCriticalSection(&section);
    std::atomic<bool> entered{false};
    std::thread other([&] {
        EnterCriticalSection(&section);
        entered = true;
        LeaveCriticalSection(&section);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_FALSE(entered.load());
    LeaveCriticalSection(&section);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(entered.load());
    LeaveCriticalSection(&section);
    other.join();
    EXPECT_TRUE(entered.load());
    DeleteCriticalSection(&section);
    EXPECT_EQ(section.impl, nullptr);
}

} // namespace
