#include "win32/TestHooks.h"
#include "win32/Win32.h"

#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

namespace {

struct CounterOverride {
    bool active = false;
    std::optional<LONGLONG> frequency;
    LONGLONG counter = 0;
};

std::mutex& OverrideMutex()
{
    static std::mutex mutex;
    return mutex;
}

CounterOverride& Override()
{
    static CounterOverride value;
    return value;
}

using Clock = std::chrono::steady_clock;
// The counter counts the steady clock's own ticks, so the frequency is exact.
constexpr LONGLONG CLOCK_FREQUENCY = static_cast<LONGLONG>(Clock::period::den / Clock::period::num);

} // namespace

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency)
{
    if (!frequency) {
        return FALSE;
    }
    frequency->QuadPart = 0;
    {
        std::lock_guard lock(OverrideMutex());
        const CounterOverride& o = Override();
        if (o.active) {
            if (!o.frequency) {
                return FALSE;
            }
            frequency->QuadPart = *o.frequency;
            return TRUE;
        }
    }
    frequency->QuadPart = CLOCK_FREQUENCY;
    return TRUE;
}

BOOL QueryPerformanceCounter(LARGE_INTEGER* count)
{
    if (!count) {
        return FALSE;
    }
    count->QuadPart = 0;
    {
        std::lock_guard lock(OverrideMutex());
        const CounterOverride& o = Override();
        if (o.active) {
            if (!o.frequency) {
                return FALSE;
            }
            count->QuadPart = o.counter;
            return TRUE;
        }
    }
    count->QuadPart = static_cast<LONGLONG>(Clock::now().time_since_epoch().count());
    return TRUE;
}

DWORD GetTickCount()
{
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch());
    // Wraps after 49.7 days, as the original does.
    return static_cast<DWORD>(static_cast<uint64_t>(ms.count()));
}

void Sleep(DWORD milliseconds)
{
    if (milliseconds == 0) {
        std::this_thread::yield();
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void OutputDebugStringA(LPCSTR text)
{
    if (!text) {
        return;
    }
    std::fputs(text, stderr);
    std::fflush(stderr);
}

namespace Win32TestHooks {

void SetPerformanceCounter(std::optional<LONGLONG> frequency, LONGLONG counter)
{
    std::lock_guard lock(OverrideMutex());
    CounterOverride& o = Override();
    o.active = true;
    o.frequency = frequency;
    o.counter = counter;
}

void SetPerformanceCounterValue(LONGLONG counter)
{
    std::lock_guard lock(OverrideMutex());
    CounterOverride& o = Override();
    if (o.active) {
        o.counter = counter;
    }
}

void UseRealPerformanceCounter()
{
    std::lock_guard lock(OverrideMutex());
    Override() = CounterOverride{};
}

} // namespace Win32TestHooks
