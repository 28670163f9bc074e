#include "win32/HandleTable.h"
#include "win32/KernelObject.h"
#include "win32/Log.h"
#include "win32/Win32.h"

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

std::atomic<DWORD> g_nextThreadId{1};
thread_local DWORD t_threadId = 0;

DWORD TakeThreadId()
{
    return g_nextThreadId.fetch_add(1);
}

// Waits on cv until ready() holds or the deadline passes; the lock must be held.
template <typename Ready>
KernelObject::WaitResult WaitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock, bool forever,
                                   Clock::time_point deadline, Ready ready)
{
    if (forever) {
        cv.wait(lock, ready);
        return KernelObject::WaitResult::SIGNALED;
    }
    return cv.wait_until(lock, deadline, ready) ? KernelObject::WaitResult::SIGNALED
                                                : KernelObject::WaitResult::TIMED_OUT;
}

struct ThreadState {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    DWORD exitCode = STILL_ACTIVE;
};

class ThreadObject : public KernelObject
{
public:
    ThreadObject(std::shared_ptr<ThreadState> state, std::thread thread)
        : state_(std::move(state)), thread_(std::move(thread))
    { }

    ~ThreadObject() override { Release(); }

    WaitResult Wait(bool forever, Clock::time_point deadline) override
    {
        std::unique_lock lock(state_->mutex);
        return WaitUntil(state_->finished, lock, forever, deadline, [this] { return state_->done; });
    }

    void OnClose() override { Release(); }

    DWORD ExitCode() const
    {
        std::lock_guard lock(state_->mutex);
        return state_->exitCode;
    }

private:
    // Closing a handle never waits for the thread, as on the original system: a finished thread is joined, a
    // running one is left to finish on its own (its state is shared with it, so nothing dangles).
    void Release()
    {
        if (!thread_.joinable()) {
            return;
        }
        bool done;
        {
            std::lock_guard lock(state_->mutex);
            done = state_->done;
        }
        if (done && thread_.get_id() != std::this_thread::get_id()) {
            thread_.join();
        } else {
            thread_.detach();
        }
    }

    std::shared_ptr<ThreadState> state_;
    std::thread thread_;
};

class EventObject : public KernelObject
{
public:
    EventObject(bool manualReset, bool signaled) : manualReset_(manualReset), signaled_(signaled) { }

    WaitResult Wait(bool forever, Clock::time_point deadline) override
    {
        std::unique_lock lock(mutex_);
        WaitResult result = WaitUntil(cv_, lock, forever, deadline, [this] { return signaled_; });
        if (result == WaitResult::SIGNALED && !manualReset_) {
            signaled_ = false;
        }
        return result;
    }

    void Set()
    {
        {
            std::lock_guard lock(mutex_);
            signaled_ = true;
        }
        cv_.notify_all();
    }

    void Reset()
    {
        std::lock_guard lock(mutex_);
        signaled_ = false;
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    const bool manualReset_;
    bool signaled_;
};

class SemaphoreObject : public KernelObject
{
public:
    SemaphoreObject(LONG initial, LONG maximum) : count_(initial), maximum_(maximum) { }

    WaitResult Wait(bool forever, Clock::time_point deadline) override
    {
        std::unique_lock lock(mutex_);
        WaitResult result = WaitUntil(cv_, lock, forever, deadline, [this] { return count_ > 0; });
        if (result == WaitResult::SIGNALED) {
            --count_;
        }
        return result;
    }

    bool Release(LONG releaseCount, LONG* previousCount)
    {
        {
            std::lock_guard lock(mutex_);
            if (releaseCount <= 0 || releaseCount > maximum_ - count_) {
                return false;
            }
            if (previousCount) {
                *previousCount = count_;
            }
            count_ += releaseCount;
        }
        cv_.notify_all();
        return true;
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    LONG count_;
    const LONG maximum_;
};

template <typename T>
std::shared_ptr<T> FindObject(HANDLE handle)
{
    return std::dynamic_pointer_cast<T>(HandleTable::Get().Find(handle));
}

} // namespace

void InitializeCriticalSection(LPCRITICAL_SECTION section)
{
    if (!section) {
        return;
    }
    section->impl = new std::recursive_mutex;
}

void DeleteCriticalSection(LPCRITICAL_SECTION section)
{
    if (!section) {
        return;
    }
    delete static_cast<std::recursive_mutex*>(section->impl);
    section->impl = nullptr;
}

void EnterCriticalSection(LPCRITICAL_SECTION section)
{
    if (!section || !section->impl) {
        std::fputs("EnterCriticalSection: the section was never initialised\n", stderr);
        return;
    }
    static_cast<std::recursive_mutex*>(section->impl)->lock();
}

void LeaveCriticalSection(LPCRITICAL_SECTION section)
{
    if (!section || !section->impl) {
        return;
    }
    static_cast<std::recursive_mutex*>(section->impl)->unlock();
}

HANDLE CreateThread(LPSECURITY_ATTRIBUTES attributes, size_t stackSize, LPTHREAD_START_ROUTINE start, LPVOID param,
                    DWORD creationFlags, LPDWORD threadId)
{
    (void)attributes;
    (void)stackSize;
    (void)creationFlags;
    if (threadId) {
        *threadId = 0;
    }
    if (!start) {
        return nullptr;
    }
    auto state = std::make_shared<ThreadState>();
    const DWORD id = TakeThreadId();
    std::thread thread;
    try {
        thread = std::thread([state, start, param, id] {
            t_threadId = id;
            const DWORD code = start(param);
            {
                std::lock_guard lock(state->mutex);
                state->exitCode = code;
                state->done = true;
            }
            state->finished.notify_all();
        });
    } catch (const std::system_error& error) {
        LogFormat(LogLevel::ERROR, "thread.create", "CreateThread: %s", error.what());
        return nullptr;
    }
    if (threadId) {
        *threadId = id;
    }
    return HandleTable::Get().Add(std::make_shared<ThreadObject>(state, std::move(thread)));
}

HANDLE CreateEventA(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset, BOOL initialState, LPCSTR name)
{
    (void)attributes;
    (void)name;
    return HandleTable::Get().Add(std::make_shared<EventObject>(manualReset != FALSE, initialState != FALSE));
}

BOOL SetEvent(HANDLE event)
{
    auto object = FindObject<EventObject>(event);
    if (!object) {
        return FALSE;
    }
    object->Set();
    return TRUE;
}

BOOL ResetEvent(HANDLE event)
{
    auto object = FindObject<EventObject>(event);
    if (!object) {
        return FALSE;
    }
    object->Reset();
    return TRUE;
}

HANDLE CreateSemaphoreA(LPSECURITY_ATTRIBUTES attributes, LONG initialCount, LONG maximumCount, LPCSTR name)
{
    (void)attributes;
    (void)name;
    if (maximumCount <= 0 || initialCount < 0 || initialCount > maximumCount) {
        return nullptr;
    }
    return HandleTable::Get().Add(std::make_shared<SemaphoreObject>(initialCount, maximumCount));
}

BOOL ReleaseSemaphore(HANDLE semaphore, LONG releaseCount, LONG* previousCount)
{
    auto object = FindObject<SemaphoreObject>(semaphore);
    if (!object) {
        return FALSE;
    }
    return object->Release(releaseCount, previousCount) ? TRUE : FALSE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds)
{
    std::shared_ptr<KernelObject> object = HandleTable::Get().Find(handle);
    if (!object) {
        return WAIT_FAILED;
    }
    const bool forever = milliseconds == INFINITE;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(forever ? 0 : milliseconds);
    switch (object->Wait(forever, deadline)) {
    case KernelObject::WaitResult::SIGNALED:
        return WAIT_OBJECT_0;
    case KernelObject::WaitResult::TIMED_OUT:
        return WAIT_TIMEOUT;
    case KernelObject::WaitResult::NOT_WAITABLE:
        break;
    }
    return WAIT_FAILED;
}

BOOL CloseHandle(HANDLE handle)
{
    std::shared_ptr<KernelObject> object = HandleTable::Get().Remove(handle);
    if (!object) {
        return FALSE;
    }
    object->OnClose();
    return TRUE;
}

BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode)
{
    if (exitCode) {
        *exitCode = 0;
    }
    auto object = FindObject<ThreadObject>(thread);
    if (!object || !exitCode) {
        return FALSE;
    }
    *exitCode = object->ExitCode();
    return TRUE;
}

DWORD GetCurrentThreadId()
{
    if (t_threadId == 0) {
        t_threadId = TakeThreadId();
    }
    return t_threadId;
}
