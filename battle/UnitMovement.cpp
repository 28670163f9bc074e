#include "battle/UnitMovement.h"

#include "battle/Hex.h"
#include "battle/HexGrid.h"
#include "battle/PathSearch.h"
#include "battle/Player.h"
#include "battle/Unit.h"
#include "core/DataManager.h"
#include "core/Random.h"
#include "core/SoundQueue.h"

#include <algorithm>
#include <cmath>

namespace {

using Look = UnitPresentation;

} // namespace

int UnitMovement::FindPath(Hex* targetHex, int& count)
{
    count = 0;
    HexGrid* grid = HexGrid::Current();
    if (!grid || !m_unit.GetHex())
        return PathSearch::NO_MOVE;
    PathSearch search(*grid);
    return search.FindPath(m_unit, targetHex, count);
}

bool UnitMovement::StartMove()
{
    if (m_rules.command.path.empty())
        return false;
    m_unit.Presentation().Shout(Look::VOICE_MOVE, 3, RandomInt(5));
    m_host.SpendActionPoints(Unit::MOVE_COST);
    m_host.EnterState(MOVING);
    m_unit.Presentation().OnSetOff();
    return true;
}

void UnitMovement::WalkStep()
{
    if (m_rules.turn.state != MOVING)
        return;
    m_unit.Presentation().MoveShadow(m_unit.GetPosition());
    if (m_rules.command.path.empty())
        return;
    Hex* next = m_rules.command.path.back();
    const float wx = next->anchorX + Object::STAND_OFFSET_X;
    const float wz = next->anchorZ + Object::STAND_OFFSET_Z;
    const float dx = wx - m_unit.GetPosition().x;
    const float dz = wz - m_unit.GetPosition().z;
    const float remaining = std::sqrt(dx * dx + dz * dz);
    const float step = DataManager::Get()->GetFrameTime() * m_rules.attributes.movementSpeed;
    // A long frame would carry the unit past the point and back for ever; it stops on the point instead.
    if (step >= remaining)
        m_unit.SetWorldPosition(wx, m_unit.GetPosition().y, wz);
    else
        m_unit.SetWorldPosition(m_unit.GetPosition().x + dx / remaining * step, m_unit.GetPosition().y,
                                m_unit.GetPosition().z + dz / remaining * step);
    const float ex = wx - m_unit.GetPosition().x;
    const float ez = wz - m_unit.GetPosition().z;
    if (std::sqrt(ex * ex + ez * ez) > Unit::ARRIVAL_DISTANCE) {
        m_unit.Presentation().OnStride(DataManager::Get()->GetFrameTime());
        m_unit.Object::FaceTowards(wx, wz, PathSearch::FACE_RATE);
        return;
    }
    m_rules.command.path.pop_back();
    Player::Credit(m_rules.owner, Statistic::HEXES_MOVED);
    if (!m_rules.command.path.empty())
        return;
    if (next->type == HEX_DEFENDED)
        ZoneOfControl(*next);
    m_unit.SetHex(next);
    m_host.EnterState(IDLE);
    m_unit.PlayAnimation("Idle", true);
}

void UnitMovement::ZoneOfControl(Hex& arrival)
{
    SoundQueue::Get()->Queue("ALL_ZOC.wav", 0, false, 0.0f);
    BoardUnit* guard = nullptr;
    for (BoardUnit* unit : arrival.UnitsWithinRadius()) {
        if (unit && unit->GetOwner() != m_rules.owner && unit->HasActiveEffect(EffectType::PHALANX)) {
            guard = unit;
            break;
        }
    }
    if (!guard)
        return;
    m_unit.Presentation().ShowFloatingText(true);
    const int hurt = 30 + RandomInt(30);
    m_rules.stats.health = std::clamp(m_rules.stats.health - hurt, 0, std::max(0, m_rules.stats.maxHealth));
    // The zone wounds but never kills.
    if (m_rules.stats.health == 0)
        m_rules.stats.health = 1;
    else
        m_unit.Presentation().SetCombatText(std::to_string(hurt) + " Damage Taken");
    m_unit.Presentation().OnWounded();
}
