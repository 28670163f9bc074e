#pragma once
// Platform-internal: the object behind a HANDLE (thread, event, semaphore, file search).

#include <chrono>
#include <cstdint>

class KernelObject
{
public:
    enum class WaitResult
    {
        SIGNALED,
        TIMED_OUT,
        NOT_WAITABLE
    };

    virtual ~KernelObject() = default;

    // Waits until the object is signalled (taking the signal where the object's kind consumes it) or, unless
    // forever is set, the deadline passes.
    virtual WaitResult Wait(bool forever, std::chrono::steady_clock::time_point deadline)
    {
        (void)forever;
        (void)deadline;
        return WaitResult::NOT_WAITABLE;
    }
    // Called once when the last handle to the object is closed.
    virtual void OnClose() { }
};
