#include "TurnOrder.h"

#include "battle/Unit.h"

#include <algorithm>

TurnOrder::TurnOrder()
{
    Register(this);
}

TurnOrder::~TurnOrder()
{
    if (Get() == this)
        Register(nullptr);
}

void TurnOrder::Add(Unit* unit)
{
    if (unit)
        entries.push_back(unit);
}

void TurnOrder::Clear()
{
    entries.clear();
    current = nullptr;
    removals = 0;
    EnableActions();
}

void TurnOrder::Sort()
{
    std::stable_sort(entries.begin(), entries.end(), [](const Unit* a, const Unit* b) {
        if (a->initiative != b->initiative)
            return a->initiative < b->initiative;
        return a->waitTimer > b->waitTimer;
    });
    current = GetFirstUnit();
}

void TurnOrder::EnableActions()
{
    std::fill(std::begin(enabled), std::end(enabled), true);
}

bool TurnOrder::IsActionEnabled(int index) const
{
    return index >= 0 && index < kActionCount && enabled[index];
}

BoardUnit* TurnOrder::GetCurrentUnit() const
{
    return current;
}

void TurnOrder::ForgetUnit(BoardUnit* gone)
{
    std::erase_if(entries, [gone](const Unit* unit) { return static_cast<const BoardUnit*>(unit) == gone; });
    if (current && static_cast<BoardUnit*>(current) == gone)
        current = nullptr;
}

void TurnOrder::DisableAction(int index)
{
    if (index >= 0 && index < kActionCount)
        enabled[index] = false;
}

void TurnOrder::RemoveUnit(BoardUnit* unit)
{
    const size_t before = entries.size();
    ForgetUnit(unit);
    if (entries.size() != before)
        ++removals;
}
