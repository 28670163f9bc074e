#pragma once
// The game session of a battle without a screen: it holds the two players, passes the turn by the initiative
// countdown, deals out area abilities and notices the end of the game. The camera, the glows, the ring
// emitters and the slow-motion shots have nothing to show, so they do nothing.

#include "battle/BattleSession.h"
#include "battle/BoardView.h"

class Player;
class TurnOrder;
class Unit;

class SimulatedSession : public BattleSession, public BoardView
{
public:
    // End Turn presses closer together than this (game seconds) count once.
    static constexpr float kTurnRequestGuard = 1.5f;

    explicit SimulatedSession(TurnOrder& order);
    ~SimulatedSession() override;
    SimulatedSession(const SimulatedSession&) = delete;
    SimulatedSession& operator=(const SimulatedSession&) = delete;

    // A new battle between the two players: no unit has the turn, and the first countdown is asked for.
    void Begin(Player* first, Player* second);
    // Lets go of the players (before they are deleted).
    void End();

    bool IsInBattle() const override { return players[0] && !gameOver; }
    bool IsGameOver() const override { return gameOver; }
    void SetGameOver() override { gameOver = true; }
    void SetRingEmittersActive(bool) override { }
    void ApplyAreaEffect(BoardUnit* caster, const SpellDefinition& ability) override;
    Player* GetPlayer(int index) const override;
    void RequestNextTurn() override;
    void AdvanceTurn() override;

    void FollowUnit(BoardUnit*) override { }
    void ResetGlows() override { }
    void ForgetUnit(BoardUnit* gone) override;

    bool IsTurnActive() const { return turnActive; }
    Unit* GetActiveUnit() const { return activeUnit; }
    Player* GetActivePlayer() const { return activePlayer; }
    // Turns begun in this battle.
    int GetTurns() const { return turns; }
    // Area abilities dealt out, and the units they reached.
    int GetAreaCasts() const { return areaCasts; }

private:
    TurnOrder& order;
    Player* players[2] = {nullptr, nullptr};
    Unit* activeUnit = nullptr;
    Player* activePlayer = nullptr;
    bool turnActive = true;
    bool gameOver = false;
    float lastTurnRequest = 0.0f;
    bool anyTurnRequest = false;
    int turns = 0;
    int areaCasts = 0;
};
