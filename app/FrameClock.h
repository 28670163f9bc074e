#pragma once
// The frame clock: seconds between frames from the high-resolution counter. Process-wide, like the counter it
// reads; used by the main thread only.

#include <cstdint>

class FrameClock
{
public:
    // Reads the counter's frequency and the counter. Without a counter every later tick gives 0.
    static void Start();
    // Seconds since the previous tick, start or restart. No bounds are applied. With a fixed step, the step.
    static float Tick();
    // Every tick gives this many seconds, however long the frame took (repeatable runs); 0 measures again.
    static void SetFixedStep(float seconds);
    // Forgets the time that passed since the last tick, so the next tick measures from now.
    static void Restart();
    // Back to the state before Start. For tests.
    static void ResetForTests();

private:
    static bool s_available;
    static int64_t s_frequency;
    static int64_t s_last;
    static float s_fixedStep;
};
