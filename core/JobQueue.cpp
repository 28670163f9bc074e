#include "core/JobQueue.h"

#include "core/Job.h"
#include "win32/Log.h"

#include <chrono>
#include <cstdio>
#include <system_error>

void JobQueue::Event::Set()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_signalled = true;
    }
    m_changed.notify_all();
}

void JobQueue::Event::Reset()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_signalled = false;
}

bool JobQueue::Event::IsSet() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_signalled;
}

bool JobQueue::Event::Wait(DWORD milliseconds)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (milliseconds == INFINITE) {
        m_changed.wait(lock, [this] { return m_signalled; });
        return true;
    }
    return m_changed.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return m_signalled; });
}

JobQueue::JobQueue() = default;

JobQueue::~JobQueue()
{
    Join();
    for (Job* job : m_jobs)
        delete job;
}

void JobQueue::Enqueue(Job* job)
{
    if (!job)
        return;
    std::lock_guard<std::mutex> lock(m_listLock);
    m_jobs.push_back(job);
}

std::thread JobQueue::StartThread(std::function<void()> body)
{
    return std::thread(std::move(body));
}

void JobQueue::Start()
{
    Join();
    {
        std::lock_guard<std::mutex> lock(m_listLock);
        m_running = std::move(m_jobs);
        m_jobs.clear();
    }
    m_allDone.Reset();
    {
        std::lock_guard<std::mutex> lock(m_queueLock);
        m_completed.clear();
        m_finished = 0;
        m_stopped = false;
    }

    bool workerStarted = false;
    bool completionStarted = false;
    try {
        m_worker = StartThread([this] { WorkerLoop(); });
        workerStarted = true;
    } catch (const std::system_error& e) {
        LogFormat(LogLevel::WARNING, "job.thread",
                  "JobQueue: cannot start the worker thread (%s); loading on this thread", e.what());
    }
    try {
        m_completion = StartThread([this] { CompletionLoop(); });
        completionStarted = true;
    } catch (const std::system_error& e) {
        LogFormat(LogLevel::WARNING, "job.thread",
                  "JobQueue: cannot start the completion thread (%s); completing on this thread", e.what());
    }

    if (workerStarted && completionStarted)
        return;
    if (completionStarted) {
        WorkerLoop();
        return;
    }
    if (workerStarted) {
        CompletionLoop();
        return;
    }
    // No thread at all: run and complete each job in turn here.
    for (Job* job : m_running) {
        job->Run();
        job->SetState(JOB_RUN);
        {
            std::lock_guard<std::mutex> lock(m_listLock);
            ++m_doneCount;
        }
        job->SetState(JOB_DONE);
        delete job;
    }
    m_allDone.Set();
}

DWORD JobQueue::WaitUntilDone(DWORD milliseconds)
{
    return m_allDone.Wait(milliseconds) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

bool JobQueue::PopCompleted(Job*& job)
{
    std::unique_lock<std::mutex> lock(m_queueLock);
    // A finished job wins over the stop, so every run job is taken before the stop is seen.
    m_queueChanged.wait(lock, [this] { return m_finished > 0 || m_stopped; });
    if (m_finished == 0 || m_completed.empty())
        return false;
    --m_finished;
    job = m_completed.front();
    m_completed.pop_front();
    lock.unlock();
    m_queueChanged.notify_all();
    return true;
}

int JobQueue::GetDoneCount() const
{
    std::lock_guard<std::mutex> lock(m_listLock);
    return m_doneCount;
}

size_t JobQueue::GetListedCount() const
{
    std::lock_guard<std::mutex> lock(m_listLock);
    return m_jobs.size();
}

void JobQueue::WorkerLoop()
{
    // m_running stays as Start left it until the threads are joined.
    for (Job* job : m_running) {
        job->Run();
        job->SetState(JOB_RUN);
        std::unique_lock<std::mutex> lock(m_queueLock);
        m_queueChanged.wait(lock, [this] { return m_finished < MAX_FINISHED; });
        m_completed.push_back(job);
        ++m_finished;
        lock.unlock();
        m_queueChanged.notify_all();
    }
    SignalStop();
}

void JobQueue::CompletionLoop()
{
    Job* job = nullptr;
    while (PopCompleted(job)) {
        {
            std::lock_guard<std::mutex> lock(m_listLock);
            ++m_doneCount;
        }
        job->SetState(JOB_DONE);
        delete job;
    }
    m_allDone.Set();
}

void JobQueue::SignalStop()
{
    {
        std::lock_guard<std::mutex> lock(m_queueLock);
        m_stopped = true;
    }
    m_queueChanged.notify_all();
}

void JobQueue::Join()
{
    if (m_worker.joinable())
        m_worker.join();
    if (m_completion.joinable())
        m_completion.join();
    m_running.clear();
}
