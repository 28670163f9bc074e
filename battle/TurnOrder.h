#pragma once
// The order in which the units of a battle wait for their turns: smallest initiative first, and between equal
// initiatives the unit that has waited longer. The head of the order takes the turn once its initiative has
// counted down to 0. The battle HUD shows it; the turn flow decides by it.

#include <vector>

class BoardUnit;

class TurnOrder
{
public:
    void Add(BoardUnit* unit);
    // False when the unit was not in the order.
    bool Remove(BoardUnit* unit);
    void Clear();
    // Stable: units that compare equal keep the order in which they joined.
    void Sort();
    // Takes out every unit that has died: the dead wait for no turn.
    void DropTheDead();
    BoardUnit* GetFirstUnit() const { return m_entries.empty() ? nullptr : m_entries.front(); }
    const std::vector<BoardUnit*>& GetEntries() const { return m_entries; }
    bool Contains(const BoardUnit* unit) const;

    // What the order compares a unit by; a board unit that is not a unit of the rules waits last.
    static int InitiativeOf(const BoardUnit* unit);
    static float WaitOf(const BoardUnit* unit);

private:
    std::vector<BoardUnit*> m_entries;
};
