#include "SimulatedHud.h"

#include "battle/TurnFlow.h"

#include <algorithm>

SimulatedHud::SimulatedHud(const TurnFlow& flow) : flow(flow)
{
    Register(this);
}

SimulatedHud::~SimulatedHud()
{
    if (Get() == this)
        Register(nullptr);
}

void SimulatedHud::Clear()
{
    removals = 0;
    removed.clear();
    EnableActions();
}

void SimulatedHud::EnableActions()
{
    std::fill(std::begin(enabled), std::end(enabled), true);
}

bool SimulatedHud::IsActionEnabled(int index) const
{
    return index >= 0 && index < kActionCount && enabled[index];
}

BoardUnit* SimulatedHud::GetCurrentUnit() const
{
    return flow.GetOrder().GetFirstUnit();
}

void SimulatedHud::DisableAction(int index)
{
    if (index >= 0 && index < kActionCount)
        enabled[index] = false;
}

void SimulatedHud::RemoveUnit(BoardUnit* unit)
{
    if (!unit || std::find(removed.begin(), removed.end(), unit) != removed.end())
        return;
    removed.push_back(unit);
    ++removals;
}
