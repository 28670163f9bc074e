#pragma once
// One piece of work for the job queue. The game lists one job per load, whose target is the game session.

#include <atomic>

// What a job runs. The game session is one.
class JobTarget
{
public:
    virtual void Execute() = 0;

protected:
    ~JobTarget() = default;
};

enum JobState : int
{
    JOB_QUEUED = 0,
    // The worker thread has run it.
    JOB_RUN = 1,
    // The completion thread has taken it.
    JOB_DONE = 2,
};

class Job
{
public:
    explicit Job(JobTarget* target = nullptr) : m_target(target) { }
    virtual ~Job() = default;

    // Runs the target's work; a job without a target does nothing.
    virtual void Run();

    JobTarget* GetTarget() const { return m_target; }
    JobState GetState() const { return m_state.load(); }
    void SetState(JobState state) { m_state.store(state); }

private:
    JobTarget* m_target;
    std::atomic<JobState> m_state{JOB_QUEUED};
};
