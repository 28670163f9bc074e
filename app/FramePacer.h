#pragma once
// Paces the frames of the message loop to the display's refresh, so a still picture is drawn as often as the
// screen can show it and no more often. It decides only when a frame starts, never what a frame does.

#include <functional>

class FramePacer
{
public:
    // Seconds on a steady clock.
    using Clock = std::function<double()>;

    static constexpr unsigned int DEFAULT_REFRESH_RATE = 60;

    explicit FramePacer(Clock clock = SteadySeconds);

    // The display's refresh rate in hertz; 0 (unknown) stands for DEFAULT_REFRESH_RATE.
    void SetRefreshRate(unsigned int hertz);
    // Whole milliseconds, rounded up, until the next frame is due; 0 when it is due now.
    unsigned int MillisecondsUntilDue() const;
    // A frame starts now. Frames keep the refresh's cadence; after a stall longer than one refresh the cadence
    // starts again from now instead of running the missed frames back to back.
    void FrameStarted();

    static double SteadySeconds();

private:
    Clock m_clock;
    double m_period = 1.0 / DEFAULT_REFRESH_RATE;
    double m_next = 0.0;
    bool m_started = false;
};
