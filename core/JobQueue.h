#pragma once
// Runs work off the main thread while the main thread keeps drawing frames: the loading of a battle. Each
// Start runs the jobs listed so far on a worker thread; a completion thread takes every finished job, counts
// and deletes it, and then signals that all jobs are done.
//
// The queue owns the jobs given to it. Its threads are joined at the next Start, by Join, and when the queue
// is destroyed.

#include "win32/Win32.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class Job;

class JobQueue
{
public:
    JobQueue();
    virtual ~JobQueue();

    JobQueue(const JobQueue&) = delete;
    JobQueue& operator=(const JobQueue&) = delete;

    // Takes ownership of the job; it runs at the next Start.
    void Enqueue(Job* job);
    // Runs every job listed so far. The threads of an earlier start are joined first. When a thread cannot
    // be started its work runs on the calling thread, so that nobody waits for a thread that never came.
    void Start();
    // WAIT_OBJECT_0 once all jobs of the last start are done (and from then until the next start),
    // WAIT_TIMEOUT when the time-out passes first.
    DWORD WaitUntilDone(DWORD milliseconds);
    // Waits until a run job is waiting for completion or the worker has finished; true with the oldest run
    // job, false when the worker finished and nothing is left.
    bool PopCompleted(Job*& job);

    // Waits until the jobs of the last start have run and been completed, and joins the queue's threads.
    // Not from a job.
    void Join();

    // Jobs completed since construction.
    int GetDoneCount() const;
    size_t GetListedCount() const;

protected:
    // Starts one of the queue's threads. May throw std::system_error like std::thread does.
    virtual std::thread StartThread(std::function<void()> body);

private:
    // A Win32-style manual-reset event: stays signalled until reset.
    class Event
    {
    public:
        void Set();
        void Reset();
        bool IsSet() const;
        bool Wait(DWORD milliseconds);

    private:
        mutable std::mutex m_mutex;
        std::condition_variable m_changed;
        bool m_signalled = false;
    };

    void WorkerLoop();
    void CompletionLoop();
    void SignalStop();

    static constexpr int MAX_FINISHED = 15;

    int m_doneCount = 0;
    // Jobs waiting for the next start.
    std::vector<Job*> m_jobs;
    // The jobs of the current start, fixed when it began, so that jobs enqueued meanwhile wait for the next.
    std::vector<Job*> m_running;
    mutable std::mutex m_listLock;

    Event m_allDone;
    // Guards the completion queue, the count of finished jobs (at most MAX_FINISHED wait untaken) and the stop
    // flag; the completion thread waits on it for either.
    mutable std::mutex m_queueLock;
    std::condition_variable m_queueChanged;
    std::deque<Job*> m_completed;
    int m_finished = 0;
    bool m_stopped = false;

    std::thread m_worker;
    std::thread m_completion;
};
