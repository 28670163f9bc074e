#include "app/FrameClock.h"

#include "win32/Win32.h"

bool FrameClock::s_available = false;
int64_t FrameClock::s_frequency = 0;
int64_t FrameClock::s_last = 0;
float FrameClock::s_fixedStep = 0.0f;

void FrameClock::Start()
{
    LARGE_INTEGER frequency{};
    // A counter that claims a frequency of zero would turn every tick into a division by zero.
    s_available = QueryPerformanceFrequency(&frequency) != FALSE && frequency.QuadPart > 0;
    if (!s_available) {
        return;
    }
    s_frequency = frequency.QuadPart;
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    s_last = counter.QuadPart;
}

float FrameClock::Tick()
{
    if (s_fixedStep > 0.0f) {
        return s_fixedStep;
    }
    if (!s_available) {
        return 0.0f;
    }
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    const double seconds = static_cast<double>(counter.QuadPart - s_last) / static_cast<double>(s_frequency);
    s_last = counter.QuadPart;
    return static_cast<float>(seconds);
}

void FrameClock::Restart()
{
    if (!s_available) {
        return;
    }
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    s_last = counter.QuadPart;
}

void FrameClock::SetFixedStep(float seconds)
{
    s_fixedStep = seconds > 0.0f ? seconds : 0.0f;
}

void FrameClock::ResetForTests()
{
    s_fixedStep = 0.0f;
    s_available = false;
    s_frequency = 0;
    s_last = 0;
}
