#include "SimulatedSession.h"

#include "SimulatedHud.h"

#include "battle/Unit.h"
#include "core/DataManager.h"

SimulatedSession::SimulatedSession(TurnFlow& flow, SimulatedHud& hud) : flow(flow), hud(hud)
{
    BattleSession::Register(this);
    BoardView::Register(this);
    flow.SetListener(this);
}

SimulatedSession::~SimulatedSession()
{
    flow.SetListener(nullptr);
    if (BattleSession::Get() == this)
        BattleSession::Register(nullptr);
    if (BoardView::Get() == this)
        BoardView::Register(nullptr);
}

void SimulatedSession::Begin()
{
    gameOver = false;
    areaCasts = 0;
}

void SimulatedSession::ApplyAreaEffect(BoardUnit* caster, const SpellDefinition& ability)
{
    if (flow.ApplyAreaEffect(caster, ability) > 0)
        ++areaCasts;
}

void SimulatedSession::RequestNextTurn()
{
    flow.RequestNextTurn(DataManager::Get()->GetGameTime());
}

void SimulatedSession::OnTurnBegun(BoardUnit*)
{
    hud.EnableActions();
}

Unit* SimulatedSession::GetActiveUnit() const
{
    return dynamic_cast<Unit*>(flow.GetActiveUnit());
}
