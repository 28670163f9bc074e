#pragma once
// The game session of a battle without a screen: what the rules ask of the session goes to the shared turn
// flow (the players, turn requests, area abilities), and the end of the game is noticed. The camera, the
// glows, the ring emitters and the slow-motion shots have nothing to show, so they do nothing.

#include "battle/BattleSession.h"
#include "battle/BoardView.h"
#include "battle/TurnFlow.h"

class SimulatedHud;
class Unit;

class SimulatedSession : public BattleSession, public BoardView, public TurnFlowListener
{
public:
    SimulatedSession(TurnFlow& flow, SimulatedHud& hud);
    ~SimulatedSession() override;
    SimulatedSession(const SimulatedSession&) = delete;
    SimulatedSession& operator=(const SimulatedSession&) = delete;

    // A new battle between the flow's players: the game is not over and no area ability has been cast.
    void Begin();

    bool IsInBattle() const override { return flow.GetPlayerCount() > 0 && !gameOver; }
    bool IsGameOver() const override { return gameOver; }
    void SetGameOver() override { gameOver = true; }
    void SetRingEmittersActive(bool) override { }
    void ApplyAreaEffect(BoardUnit* caster, const SpellDefinition& ability) override;
    Player* GetPlayer(int index) const override { return flow.GetPlayer(index); }
    void RequestNextTurn() override;
    void AdvanceTurn() override { flow.AdvanceTurn(); }
    std::vector<BoardUnit*> GetLivingUnits() const override { return flow.GetLivingUnits(); }

    void FollowUnit(BoardUnit*) override { }
    void ResetGlows() override { }
    void ForgetUnit(BoardUnit* gone) override { flow.ForgetUnit(gone); }

    // A new turn lights every action again.
    void OnTurnBegun(BoardUnit* unit) override;

    bool IsTurnActive() const { return flow.IsTurnActive(); }
    Unit* GetActiveUnit() const;
    Player* GetActivePlayer() const { return flow.GetActivePlayer(); }
    // Turns begun in this battle.
    int GetTurns() const { return flow.GetTurns(); }
    // Area abilities dealt out that reached at least one unit.
    int GetAreaCasts() const { return areaCasts; }

private:
    TurnFlow& flow;
    SimulatedHud& hud;
    bool gameOver = false;
    int areaCasts = 0;
};
