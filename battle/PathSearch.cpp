#include "battle/PathSearch.h"

#include "battle/BoardPointer.h"
#include "battle/BoardUnit.h"
#include "battle/Hex.h"
#include "battle/HexGrid.h"
#include "battle/Player.h"

#include <algorithm>
#include <cmath>

namespace {
bool Contains(const std::vector<Hex*>& list, const Hex* hex)
{
    return std::find(list.begin(), list.end(), hex) != list.end();
}

// The hex lies only in a defended zone of the other team.
bool IsEnemyZone(const Hex& hex, int team)
{
    if (hex.type != HEX_DEFENDED)
        return false;
    if (team == 0)
        return hex.defendedByTeam1 && !hex.defendedByTeam0;
    if (team == 1)
        return hex.defendedByTeam0 && !hex.defendedByTeam1;
    return false;
}
} // namespace

int PathSearch::FindPath(BoardUnit& unit, Hex* target, int& count)
{
    m_expansions = 0;
    if (!target)
        return NO_MOVE;
    Hex* start = unit.GetHex();
    // A unit that stands nowhere has nowhere to walk from.
    if (!start) {
        count = 0;
        unit.GetPath().clear();
        m_grid.SetTextureMode(HexGrid::CURSOR_BLOCKED);
        return NO_MOVE;
    }
    const Player* owner = unit.GetOwner();
    const int team = owner ? owner->team : Player::NO_TEAM;
    const bool ignoresZones = unit.HasActiveEffect(EffectType::DEFEND_FREE);

    bool stop = false;
    bool found = false;
    Expand(start, target, team, ignoresZones, found, stop);

    unit.FaceTowards(target->anchorX, target->anchorZ, FACE_RATE);

    std::vector<Hex*>& path = unit.GetPath();
    path.clear();
    count = 0;
    // Walking towards a target the search never met would cross whatever lies between the last hex it reached
    // and the target: no move is offered.
    if (!found && !stop) {
        m_grid.SetTextureMode(HexGrid::CURSOR_BLOCKED);
        return NO_MOVE;
    }
    if (!stop) {
        path.push_back(target);
        count = 1;
    }
    // Every hex expanded in this search got its parent in this search, so the chain ends at the start; the bound
    // only guards against a board changed under the search.
    for (Hex* hex = m_closed.back(); hex && hex != start && count <= HexGrid::HEX_COUNT; hex = hex->pathParent) {
        path.push_back(hex);
        ++count;
    }
    return ShowPath(unit, target, count);
}

void PathSearch::Expand(Hex* start, const Hex* target, int team, bool ignoresZones, bool& found, bool& stop)
{
    m_open.assign(1, start);
    m_closed.assign(1, start);
    for (int iteration = 0; iteration < MAX_EXPANSIONS && !stop && !found; ++iteration) {
        std::stable_sort(m_open.begin(), m_open.end(),
                         [](const Hex* a, const Hex* b) { return a->pathScore < b->pathScore; });
        Hex* current = m_open.front();
        ++m_expansions;
        if (current->pickable && !ignoresZones && IsEnemyZone(*current, team))
            stop = true;
        m_closed.push_back(current);
        if (stop)
            break;
        m_open.erase(m_open.begin());

        Hex* neighbours[6];
        const int neighbourCount = m_grid.GetNeighbours(*current, neighbours);
        for (int i = 0; i < neighbourCount; ++i)
            neighbours[i]->SetCost(STEP_COST);
        for (int i = 0; i < neighbourCount; ++i) {
            Hex* n = neighbours[i];
            if (n == target) {
                found = true;
                break;
            }
            if (!n->pickable || Contains(m_closed, n) || Contains(m_open, n))
                continue;
            n->pathParent = current;
            n->SetCost(current->pathCost + n->pathCost);
            const float dx = n->anchorX - target->anchorX;
            const float dz = n->anchorZ - target->anchorZ;
            n->pathEstimate = static_cast<int>(std::sqrt(dx * dx + dz * dz)) * ESTIMATE_FACTOR + STEP_COST;
            n->pathScore = n->pathCost + n->pathEstimate;
            m_open.push_back(n);
        }
        if (m_open.empty())
            break;
    }
}

int PathSearch::ShowPath(BoardUnit& unit, const Hex* target, int count)
{
    std::vector<Hex*>& path = unit.GetPath();
    const int radius = unit.GetMovementRadius();
    if (count > radius) {
        const int excess = count - radius;
        for (int i = count - 1; i >= excess && i >= 0; --i)
            m_grid.AddToList(path[i]);
        path.erase(path.begin(), path.begin() + std::min(excess, count));
        if (excess > EXCESS_LIMIT || !target->pickable) {
            m_grid.SetTextureMode(HexGrid::CURSOR_BLOCKED);
            return NO_MOVE;
        }
        m_grid.SetTextureMode(HexGrid::CURSOR_OUT_OF_RANGE);
        return CUT_TO_RANGE;
    }
    for (Hex* hex : path)
        m_grid.AddToList(hex);
    const BoardPointer* pointer = BoardPointer::Get();
    const Hex* hovered = pointer ? pointer->GetHovered() : nullptr;
    if (unit.GetState() == SELECTING_MOVE && !(hovered && hovered->pickable)) {
        m_grid.SetTextureMode(HexGrid::CURSOR_BLOCKED);
        return NO_MOVE;
    }
    m_grid.SetTextureMode(HexGrid::CURSOR_MOVEMENT);
    return IN_RANGE;
}
