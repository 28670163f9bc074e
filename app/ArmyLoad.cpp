#include "app/ArmyLoad.h"

#include <algorithm>

namespace {
constexpr float LOADED_FILL_RATE = 3.0f;
constexpr float WAITING_FILL_RATE = 0.75f;
} // namespace

void ArmyLoad::Clear()
{
    m_unitsToLoad = 0;
    m_turnOrderQueue.clear();
    m_done.store(false);
}

bool ArmyLoad::Advance(float frameTime)
{
    const bool done = m_done.load();
    if (done)
        m_progress += frameTime * LOADED_FILL_RATE;
    else
        m_progress += frameTime / (static_cast<float>(m_unitsToLoad.load() + 1) * WAITING_FILL_RATE);
    m_bar = std::min(m_progress * BAR_SCALE, 1.0f);
    return done;
}

std::vector<BoardUnit*> ArmyLoad::TakeQueue()
{
    std::vector<BoardUnit*> queue;
    queue.swap(m_turnOrderQueue);
    return queue;
}

void ArmyLoad::Forget(const BoardUnit* gone)
{
    std::erase(m_turnOrderQueue, gone);
}
