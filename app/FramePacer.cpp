#include "app/FramePacer.h"

#include <chrono>
#include <cmath>
#include <utility>

FramePacer::FramePacer(Clock clock) : clock_(std::move(clock))
{ }

double FramePacer::SteadySeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void FramePacer::SetRefreshRate(unsigned int hertz)
{
    period_ = 1.0 / static_cast<double>(hertz ? hertz : DEFAULT_REFRESH_RATE);
}

unsigned int FramePacer::MillisecondsUntilDue() const
{
    if (!started_)
        return 0;
    const double left = next_ - clock_();
    return left > 0.0 ? static_cast<unsigned int>(std::ceil(left * 1000.0)) : 0u;
}

void FramePacer::FrameStarted()
{
    const double now = clock_();
    if (!started_ || now - next_ >= period_)
        next_ = now + period_;
    else
        next_ += period_;
    started_ = true;
}
