#pragma once

#include <vector>

class BoardUnit;
class Hex;
class HexGrid;

// The search behind a unit's FindPath: a bounded best-first search from the unit's hex to the target hex that
// stops at the first hex of an enemy's defended zone, cuts the path to the unit's movement radius, highlights
// it and sets the cursor texture.
class PathSearch
{
public:
    static constexpr int MAX_EXPANSIONS = 25;
    static constexpr int STEP_COST = 10;
    static constexpr int ESTIMATE_FACTOR = 14;
    // How far beyond the movement radius a destination may lie and still show as just out of range.
    static constexpr int EXCESS_LIMIT = 3;
    static constexpr float FACE_RATE = 0.35f;

    // The result of FindPath.
    enum Result
    {
        NO_MOVE = 0,
        IN_RANGE = 1,
        CUT_TO_RANGE = 2,
    };

    explicit PathSearch(HexGrid& grid) : m_grid(grid) { }

    // Fills the unit's path (destination first) and returns a Result; count receives the number of hexes of
    // the path before any cut. A target that the search cannot reach gives no move.
    int FindPath(BoardUnit& unit, Hex* target, int& count);

    // How many hexes the last search expanded.
    int GetExpansions() const { return m_expansions; }

private:
    // The best-first expansion from start: found when a neighbour of an expanded hex is the target, stop when
    // the search steps onto an enemy's defended zone (that hex is the last of m_closed).
    void Expand(Hex* start, const Hex* target, int team, bool ignoresZones, bool& found, bool& stop);
    // Cuts the unit's path of count hexes to its movement radius, highlights it and sets the cursor texture.
    int ShowPath(BoardUnit& unit, const Hex* target, int count);

    HexGrid& m_grid;
    std::vector<Hex*> m_open;
    std::vector<Hex*> m_closed;
    int m_expansions = 0;
};
