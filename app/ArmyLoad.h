#pragma once

#include <atomic>
#include <vector>

class BoardUnit;

// The armies' load before a battle: how many deployed units still wait for their models, whether the loading job
// has ended, the units whose turn-order entries wait for the drawing thread, and the loading bar's progress. The
// job works on the worker thread while the drawing thread reads the counters; the queue is handed over once the
// job has ended.
class ArmyLoad
{
public:
    // A unit deployed: its model waits for the job.
    void AddUnit() { m_unitsToLoad += 1; }
    // No job run and nothing waiting: a new level, a new deployment.
    void Clear();

    // On the worker: a unit whose model has loaded and whose turn-order entry waits; then every model loaded;
    // then the job's end.
    void Queue(BoardUnit* unit) { m_turnOrderQueue.push_back(unit); }
    void AllModelsLoaded() { m_unitsToLoad = 0; }
    void Finish() { m_done.store(true); }

    // One frame of the bar: fast once the job has ended, else slower the more units wait. Returns whether the
    // job had ended, as this frame saw it.
    bool Advance(float frameTime);
    // The bar starts from empty for the next battle's load.
    void EmptyBar() { m_progress = 0.0f; }
    // Hands the waiting turn-order entries over; call once the job has ended.
    std::vector<BoardUnit*> TakeQueue();
    // A unit that leaves the board before the hand-over gets no entry.
    void Forget(const BoardUnit* gone);

    int GetUnitsToLoad() const { return m_unitsToLoad.load(); }
    bool IsDone() const { return m_done.load(); }
    float GetProgress() const { return m_progress; }
    // What the loading bar shows: the progress x 0.1, full at 1.
    float GetBar() const { return m_bar; }
    const std::vector<BoardUnit*>& GetQueue() const { return m_turnOrderQueue; }

    static constexpr float BAR_SCALE = 0.1f;

private:
    std::atomic<int> m_unitsToLoad{0};
    std::atomic<bool> m_done{false};
    float m_progress = 0.0f;
    float m_bar = 0.0f;
    std::vector<BoardUnit*> m_turnOrderQueue;
};
