#include "app/FlyOver.h"

#include "battle/Hex.h"
#include "battle/HexGrid.h"
#include "scene/Camera.h"

namespace {
constexpr float ZONE_SWITCH_TIME = 3.0f;
constexpr float FLY_OVER_END = 6.5f;
constexpr float FLY_OVER_TURN = 6.2831855f;
constexpr float FLY_OVER_RATE = 0.15f;
} // namespace

void FlyOver::Reset()
{
    m_active = false;
    m_clock = 0.0f;
    m_firstZoneStarted = false;
    m_secondZoneStarted = false;
    m_zoneCentre = nullptr;
}

FlyOver::Frame FlyOver::Advance(float seconds, HexGrid* grid)
{
    Frame frame;
    m_clock += seconds;
    // A frame that lands exactly on the switch shows neither zone.
    const auto shoot = [&](bool& started, int zone, int playerIndex) {
        if (!started) {
            m_zoneCentre = grid ? grid->CentreOfType(zone) : nullptr;
            frame.newZone = zone;
            frame.playerIndex = playerIndex;
        }
        started = true;
        frame.steers = true;
    };
    if (m_clock < ZONE_SWITCH_TIME)
        shoot(m_firstZoneStarted, HEX_DEPLOY_TEAM0, 0);
    else if (m_clock > ZONE_SWITCH_TIME)
        shoot(m_secondZoneStarted, HEX_DEPLOY_TEAM1, 1);
    frame.turnDue = m_clock >= FLY_OVER_END;
    return frame;
}

void FlyOver::Steer(Camera& camera) const
{
    if (m_zoneCentre)
        camera.MoveTo(m_zoneCentre->fan[0], FLY_OVER_TURN, FLY_OVER_RATE);
}

bool FlyOver::IsZoneShotStarted(int zone) const
{
    if (zone == HEX_DEPLOY_TEAM0)
        return m_firstZoneStarted;
    return zone == HEX_DEPLOY_TEAM1 && m_secondZoneStarted;
}
