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
    if (!grid || !m_unit.m_hex)
        return PathSearch::NO_MOVE;
    PathSearch search(*grid);
    return search.FindPath(m_unit, targetHex, count);
}

bool UnitMovement::StartMove()
{
    if (m_unit.path.empty())
        return false;
    const int shout = RandomInt(5);
    if (shout < 3)
        m_unit.Presentation().QueueVoice(Look::VOICE_MOVE + shout);
    else if (shout == 3)
        m_unit.Presentation().QueueGeneralShout();
    m_unit.SpendActionPoints(Unit::MOVE_COST);
    m_unit.ResetStateDirect(MOVING);
    StartFootsteps();
    return true;
}

void UnitMovement::StartFootsteps()
{
    m_unit.footstepTimers[0] = 0.0f;
    m_unit.footstepTimers[1] = Unit::SECOND_FOOTSTEP_START;
    m_unit.Presentation().QueueSound(Look::SOUND_FOOTSTEP);
    m_unit.Presentation().QueueSound(Look::SOUND_FOOTSTEP + 1);
}

void UnitMovement::UpdateFootsteps()
{
    const float dt = DataManager::Get()->GetFrameTime();
    for (int i = 0; i < 2; ++i) {
        m_unit.footstepTimers[i] += dt;
        if (m_unit.footstepTimers[i] >= Unit::FOOTSTEP_PERIOD) {
            m_unit.Presentation().QueueSound(Look::SOUND_FOOTSTEP + i);
            m_unit.footstepTimers[i] = 0.0f;
        }
    }
}

void UnitMovement::WalkStep()
{
    if (m_unit.state != MOVING)
        return;
    m_unit.Presentation().MoveShadow(m_unit.m_position);
    if (m_unit.path.empty())
        return;
    Hex* next = m_unit.path.back();
    const float wx = next->anchorX + Object::STAND_OFFSET_X;
    const float wz = next->anchorZ + Object::STAND_OFFSET_Z;
    const float dx = wx - m_unit.m_position.x;
    const float dz = wz - m_unit.m_position.z;
    const float remaining = std::sqrt(dx * dx + dz * dz);
    const float step = DataManager::Get()->GetFrameTime() * m_unit.movementSpeed;
    // A long frame would carry the unit past the point and back for ever; it stops on the point instead.
    if (step >= remaining)
        m_unit.SetWorldPosition(wx, m_unit.m_position.y, wz);
    else
        m_unit.SetWorldPosition(m_unit.m_position.x + dx / remaining * step, m_unit.m_position.y,
                                m_unit.m_position.z + dz / remaining * step);
    const float ex = wx - m_unit.m_position.x;
    const float ez = wz - m_unit.m_position.z;
    if (std::sqrt(ex * ex + ez * ez) > Unit::ARRIVAL_DISTANCE) {
        UpdateFootsteps();
        m_unit.Object::FaceTowards(wx, wz, PathSearch::FACE_RATE);
        return;
    }
    m_unit.path.pop_back();
    Unit::Count(m_unit.owner, Statistic::HEXES_MOVED);
    if (!m_unit.path.empty())
        return;
    if (next->type == HEX_DEFENDED)
        ZoneOfControl(*next);
    m_unit.SetHex(next);
    m_unit.ResetStateDirect(IDLE);
    m_unit.PlayAnimation("Idle", true);
}

void UnitMovement::ZoneOfControl(Hex& arrival)
{
    SoundQueue::Get()->Queue("ALL_ZOC.wav", 0, false, 0.0f);
    BoardUnit* guard = nullptr;
    for (BoardUnit* unit : arrival.UnitsWithinRadius()) {
        if (unit && unit->GetOwner() != m_unit.owner && unit->HasActiveEffect(EffectType::PHALANX)) {
            guard = unit;
            break;
        }
    }
    if (!guard)
        return;
    m_unit.ShowFloatingText(true);
    const int hurt = 30 + RandomInt(30);
    m_unit.stats.health = std::clamp(m_unit.stats.health - hurt, 0, std::max(0, m_unit.stats.maxHealth));
    // The zone wounds but never kills.
    if (m_unit.stats.health == 0)
        m_unit.stats.health = 1;
    else
        m_unit.SetCombatText(std::to_string(hurt) + " Damage Taken");
    m_unit.Presentation().StartEmitter("bloodEmitter.txt", Look::EMITTER_BLOOD);
}
