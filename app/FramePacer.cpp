#include "app/FramePacer.h"

#include <chrono>
#include <cmath>
#include <utility>

FramePacer::FramePacer(Clock clock) : m_clock(std::move(clock))
{ }

double FramePacer::SteadySeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void FramePacer::SetRefreshRate(unsigned int hertz)
{
    m_period = 1.0 / static_cast<double>(hertz ? hertz : DEFAULT_REFRESH_RATE);
}

unsigned int FramePacer::MillisecondsUntilDue() const
{
    if (!m_started)
        return 0;
    const double left = m_next - m_clock();
    return left > 0.0 ? static_cast<unsigned int>(std::ceil(left * 1000.0)) : 0u;
}

void FramePacer::FrameStarted()
{
    const double now = m_clock();
    if (!m_started || now - m_next >= m_period)
        m_next = now + m_period;
    else
        m_next += m_period;
    m_started = true;
}
