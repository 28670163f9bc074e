#include "core/Job.h"
#include "core/JobQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace {

// A job target of the tests' own: counts its runs, remembers the thread, and can hold the worker until released.
class CountingTarget : public JobTarget
{
public:
    explicit CountingTarget(bool blocks = false) : m_blocks(blocks) { }

    void Execute() override
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_thread = std::this_thread::get_id();
            ++m_runs;
        }
        m_started.set_value();
        if (m_blocks)
            m_release.get_future().wait();
    }

    void Release() { m_release.set_value(); }
    void WaitStarted() { m_startedFuture.wait(); }
    int Runs()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_runs;
    }
    std::thread::id Thread()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_thread;
    }

private:
    bool m_blocks;
    std::mutex m_mutex;
    int m_runs = 0;
    std::thread::id m_thread;
    std::promise<void> m_started;
    std::future<void> m_startedFuture = m_started.get_future();
    std::promise<void> m_release;
};

// Records the state a job had when the queue deleted it.
class RecordingJob : public Job
{
public:
    RecordingJob(JobTarget* target, std::atomic<int>* finalState, std::vector<int>* order = nullptr,
                 std::mutex* orderLock = nullptr, int index = 0)
        : Job(target), m_finalState(finalState), m_order(order), m_orderLock(orderLock), m_index(index)
    { }
    ~RecordingJob() override { m_finalState->store(GetState()); }

    void Run() override
    {
        Job::Run();
        if (m_order) {
            std::lock_guard<std::mutex> lock(*m_orderLock);
            m_order->push_back(m_index);
        }
    }

private:
    std::atomic<int>* m_finalState;
    std::vector<int>* m_order;
    std::mutex* m_orderLock;
    int m_index;
};

// A queue whose threads fail to start: the first failCount starts throw as a thread that cannot be created does.
class FailingQueue : public JobQueue
{
public:
    explicit FailingQueue(int failCount) : m_failCount(failCount) { }

protected:
    std::thread StartThread(std::function<void()> body) override
    {
        if (m_failCount > 0) {
            --m_failCount;
            throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
        }
        return JobQueue::StartThread(std::move(body));
    }

private:
    int m_failCount;
};

} // namespace

TEST(JobQueue, OneJobRunsOnceOnAnotherThreadAndIsDeleted)
{
    JobQueue queue;
    CountingTarget target;
    std::atomic<int> finalState{-1};
    queue.Enqueue(new RecordingJob(&target, &finalState));
    EXPECT_EQ(queue.GetListedCount(), 1u);

    queue.Start();
    EXPECT_EQ(queue.WaitUntilDone(10000), WAIT_OBJECT_0);
    EXPECT_EQ(target.Runs(), 1);
    EXPECT_NE(target.Thread(), std::this_thread::get_id());
    EXPECT_EQ(queue.GetDoneCount(), 1);
    EXPECT_EQ(queue.GetListedCount(), 0u);
    EXPECT_EQ(finalState.load(), JOB_DONE);
    // Done stays signalled until the next start.
    EXPECT_EQ(queue.WaitUntilDone(0), WAIT_OBJECT_0);
}

TEST(JobQueue, SecondLoadWaitsAgainAndDoesNotRerunTheFirstJob)
{
    JobQueue queue;
    CountingTarget first;
    std::atomic<int> firstState{-1};
    queue.Enqueue(new RecordingJob(&first, &firstState));
    queue.Start();
    ASSERT_EQ(queue.WaitUntilDone(10000), WAIT_OBJECT_0);

    CountingTarget second(true);
    std::atomic<int> secondState{-1};
    queue.Enqueue(new RecordingJob(&second, &secondState));
    queue.Start();
    second.WaitStarted();
    // The wait times out while the job runs, and returns at once after.
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(queue.WaitUntilDone(50), WAIT_TIMEOUT);
    EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(45));
    second.Release();
    EXPECT_EQ(queue.WaitUntilDone(10000), WAIT_OBJECT_0);
    const auto after = std::chrono::steady_clock::now();
    EXPECT_EQ(queue.WaitUntilDone(50), WAIT_OBJECT_0);
    EXPECT_LT(std::chrono::steady_clock::now() - after, std::chrono::milliseconds(45));

    EXPECT_EQ(first.Runs(), 1);
    EXPECT_EQ(second.Runs(), 1);
    EXPECT_EQ(queue.GetDoneCount(), 2);
    EXPECT_EQ(secondState.load(), JOB_DONE);
}

TEST(JobQueue, EmptyStartAndNullTargetsComplete)
{
    JobQueue queue;
    EXPECT_EQ(queue.WaitUntilDone(0), WAIT_TIMEOUT) << "not done before the first start";
    queue.Start();
    EXPECT_EQ(queue.WaitUntilDone(10000), WAIT_OBJECT_0);
    EXPECT_EQ(queue.GetDoneCount(), 0);

    std::atomic<int> state{-1};
    queue.Enqueue(new RecordingJob(nullptr, &state));
    queue.Enqueue(nullptr); // ignored
    queue.Start();
    EXPECT_EQ(queue.WaitUntilDone(10000), WAIT_OBJECT_0);
    EXPECT_EQ(queue.GetDoneCount(), 1);
    EXPECT_EQ(state.load(), JOB_DONE);
}

TEST(JobQueue, ManyJobsOfOneStartRunOnceEachInOrder)
{
    // More jobs than may wait for completion at once (15).
    constexpr int count = 40;
    JobQueue queue;
    std::vector<int> order;
    std::mutex orderLock;
    std::vector<std::atomic<int>> states(count);
    for (int i = 0; i < count; ++i) {
        states[i] = -1;
        queue.Enqueue(new RecordingJob(nullptr, &states[i], &order, &orderLock, i));
    }
    queue.Start();
    ASSERT_EQ(queue.WaitUntilDone(10000), WAIT_OBJECT_0);
    EXPECT_EQ(queue.GetDoneCount(), count);
    std::lock_guard<std::mutex> lock(orderLock);
    ASSERT_EQ(order.size(), static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(order[i], i);
        EXPECT_EQ(states[i].load(), JOB_DONE);
    }
}

TEST(JobQueue, JobListedDuringALoadWaitsForTheNextStart)
{
    JobQueue queue;
    CountingTarget running(true);
    CountingTarget later;
    std::atomic<int> s1{-1}, s2{-1};
    queue.Enqueue(new RecordingJob(&running, &s1));
    queue.Start();
    running.WaitStarted();
    queue.Enqueue(new RecordingJob(&later, &s2));
    running.Release();
    ASSERT_EQ(queue.WaitUntilDone(10000), WAIT_OBJECT_0);
    EXPECT_EQ(later.Runs(), 0);
    EXPECT_EQ(queue.GetListedCount(), 1u);

    queue.Start();
    ASSERT_EQ(queue.WaitUntilDone(10000), WAIT_OBJECT_0);
    EXPECT_EQ(later.Runs(), 1);
}

TEST(JobQueue, JobsLeftUnstartedAreFreedWithTheQueue)
{
    std::atomic<int> state{-1};
    {
        JobQueue queue;
        queue.Enqueue(new RecordingJob(nullptr, &state));
    }
    EXPECT_EQ(state.load(), JOB_QUEUED);
}

TEST(JobQueue, ThreadsThatCannotStartLeaveTheJobRunHereAndTheLoadComplete)
{
    // One failure: the worker fails, the completion thread starts. A hundred: no thread at all.
    for (int failures : {1, 100}) {
        SCOPED_TRACE(failures);
        FailingQueue queue(failures);
        CountingTarget target;
        std::atomic<int> state{-1};
        queue.Enqueue(new RecordingJob(&target, &state));
        queue.Start();
        EXPECT_EQ(target.Runs(), 1);
        EXPECT_EQ(target.Thread(), std::this_thread::get_id());
        EXPECT_EQ(queue.WaitUntilDone(failures == 1 ? 10000 : 0), WAIT_OBJECT_0);
        EXPECT_EQ(queue.GetDoneCount(), 1);
        EXPECT_EQ(state.load(), JOB_DONE);
    }
}
