#include "battle/TurnOrder.h"

#include "battle/Unit.h"

#include <algorithm>
#include <climits>

int TurnOrder::InitiativeOf(const BoardUnit* unit)
{
    const Unit* body = dynamic_cast<const Unit*>(unit);
    return body ? body->Rules().turn.initiative : INT_MAX;
}

float TurnOrder::WaitOf(const BoardUnit* unit)
{
    const Unit* body = dynamic_cast<const Unit*>(unit);
    return body ? body->Rules().turn.waitTimer : 0.0f;
}

void TurnOrder::Add(BoardUnit* unit)
{
    if (unit && !Contains(unit))
        m_entries.push_back(unit);
}

bool TurnOrder::Remove(BoardUnit* unit)
{
    return std::erase(m_entries, unit) > 0;
}

void TurnOrder::Clear()
{
    m_entries.clear();
}

void TurnOrder::Sort()
{
    std::stable_sort(m_entries.begin(), m_entries.end(), [](const BoardUnit* a, const BoardUnit* b) {
        const int ia = InitiativeOf(a);
        const int ib = InitiativeOf(b);
        if (ia != ib)
            return ia < ib;
        return WaitOf(a) > WaitOf(b);
    });
}

void TurnOrder::DropTheDead()
{
    std::erase_if(m_entries, [](const BoardUnit* unit) { return unit->GetState() == DEAD; });
}

bool TurnOrder::Contains(const BoardUnit* unit) const
{
    return std::find(m_entries.begin(), m_entries.end(), unit) != m_entries.end();
}
