#include "SimulatedSession.h"

#include "TurnOrder.h"

#include "battle/Hex.h"
#include "battle/Player.h"
#include "battle/Unit.h"
#include "core/DataManager.h"

#include <cstdlib>

SimulatedSession::SimulatedSession(TurnOrder& order) : order(order)
{
    BattleSession::Register(this);
    BoardView::Register(this);
}

SimulatedSession::~SimulatedSession()
{
    if (BattleSession::Get() == this)
        BattleSession::Register(nullptr);
    if (BoardView::Get() == this)
        BoardView::Register(nullptr);
}

void SimulatedSession::Begin(Player* first, Player* second)
{
    players[0] = first;
    players[1] = second;
    activeUnit = nullptr;
    activePlayer = nullptr;
    gameOver = false;
    anyTurnRequest = false;
    lastTurnRequest = 0.0f;
    turns = 0;
    areaCasts = 0;
    // What the opening fly-over asks for once it has shown both zones.
    turnActive = true;
    RequestNextTurn();
}

void SimulatedSession::End()
{
    players[0] = players[1] = nullptr;
    activeUnit = nullptr;
    activePlayer = nullptr;
}

Player* SimulatedSession::GetPlayer(int index) const
{
    return index == 0 || index == 1 ? players[index] : nullptr;
}

void SimulatedSession::RequestNextTurn()
{
    if (!players[0] && !players[1])
        return;
    const float now = DataManager::Get()->GetGameTime();
    if (anyTurnRequest && now - lastTurnRequest < kTurnRequestGuard)
        return;
    anyTurnRequest = true;
    lastTurnRequest = now;
    turnActive = false;
}

void SimulatedSession::AdvanceTurn()
{
    if (activeUnit) {
        activeUnit->EndTurn();
        activeUnit = nullptr;
    }
    for (Player* player : players) {
        if (player)
            player->AdjustInitiatives();
    }
    order.Sort();
    Unit* first = order.GetFirstUnit();
    if (!first || first->initiative > 0)
        return;
    activeUnit = first;
    activePlayer = first->GetOwner();
    turnActive = true;
    if (!activePlayer)
        return;
    ++turns;
    activePlayer->SelectUnit(first);
    first->SetTextVisible(true);
    first->BeginTurn();
    order.EnableActions();
}

void SimulatedSession::ApplyAreaEffect(BoardUnit* caster, const SpellDefinition& ability)
{
    auto* source = dynamic_cast<Unit*>(caster);
    if (!source)
        return;
    const Hex* centre = source->abilityTarget ? source->abilityTarget : source->GetHex();
    if (!centre)
        return;
    std::vector<Unit*> everyone;
    for (Player* player : players) {
        if (!player)
            continue;
        for (BoardUnit* unit : player->GetUnits()) {
            if (auto* body = dynamic_cast<Unit*>(unit))
                everyone.push_back(body);
        }
    }
    int reached = 0;
    for (const Unit* unit : everyone) {
        const Hex* hex = unit->GetHex();
        if (unit->alive && hex && std::abs(hex->row - centre->row) < ability.areaRadius &&
            std::abs(hex->column - centre->column) < ability.areaRadius)
            ++reached;
    }
    source->StartAreaEmitters();
    if (reached == 0)
        return;
    ++areaCasts;
    // The share of each is taken from a copy: the caster's own ability keeps its amount.
    SpellDefinition share = ability;
    share.amount = ability.amount / (reached > 3 ? 3 : reached);
    for (Unit* unit : everyone)
        unit->ReceiveAreaAbility(source, share);
}

void SimulatedSession::ForgetUnit(BoardUnit* gone)
{
    if (activeUnit && static_cast<BoardUnit*>(activeUnit) == gone)
        activeUnit = nullptr;
}
