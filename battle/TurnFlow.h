#pragma once
// The turn flow of a battle: the two players (by team: index 0 is Player 1 whichever side deployed first),
// the order in which their units wait, and the passing of the turn from unit to unit. A request ends the turn
// of the unit that holds it (at most once every 1.5 s of game time, never while it walks, strikes or casts);
// each step of the initiative countdown then lowers every waiting unit's initiative until the head of the
// order stands at 0 and takes the turn. The game and the battle simulator both drive it; what a player sees of
// it (the banner, the camera, the HUD) hangs on its listener.

#include "battle/TurnOrder.h"

#include <memory>
#include <vector>

struct SpellDefinition;
class BoardUnit;
class Player;

class TurnFlowListener
{
public:
    virtual ~TurnFlowListener() = default;

    // A unit joined the order.
    virtual void OnUnitEnlisted(BoardUnit* unit) { (void)unit; }
    // A step of the countdown ran and the order is sorted; a unit may take the turn next.
    virtual void OnCountdownStep(const TurnOrder& order) { (void)order; }
    // The unit now holds the turn; its own turn has not begun yet.
    virtual void OnTurnHandedTo(BoardUnit* unit, Player* owner)
    {
        (void)unit;
        (void)owner;
    }
    // The unit's turn has begun.
    virtual void OnTurnBegun(BoardUnit* unit) { (void)unit; }
};

class TurnFlow
{
public:
    static constexpr int TEAMS = 2;
    // End Turn presses closer together than this (game seconds) count once.
    static constexpr float TURN_REQUEST_GAP = 1.5f;
    // Game seconds a unit that died in its own turn lies before the turn passes on: its fall plays out first.
    static constexpr float DEATH_PAUSE = 2.0f;
    // An area ability shares its amount among at most this many units.
    static constexpr int AREA_SHARE_LIMIT = 3;

    TurnFlow();
    ~TurnFlow();
    TurnFlow(const TurnFlow&) = delete;
    TurnFlow& operator=(const TurnFlow&) = delete;

    void SetListener(TurnFlowListener* listener) { this->m_listener = listener; }

    // The player of that team, made on the first call; null for a team that is neither 0 nor 1.
    Player* AddPlayer(int team);
    // The player of that team, or null.
    Player* GetPlayer(int team) const;
    // In team order.
    const std::vector<std::unique_ptr<Player>>& GetPlayers() const { return m_players; }
    int GetPlayerCount() const { return static_cast<int>(m_players.size()); }
    // Every unit of every player that is still alive, in team order.
    std::vector<BoardUnit*> GetLivingUnits() const;

    // A new battle: every player and its units deleted, the order emptied, no unit holding the turn, the
    // guard clock back to its start.
    void Reset();
    void Enlist(BoardUnit* unit);
    const TurnOrder& GetOrder() const { return m_order; }
    // Drops every reference to a unit about to be deleted.
    void ForgetUnit(BoardUnit* gone);

    // The unit whose turn it is asks for the next turn (End Turn, a stance taken, the opening fly-over).
    void RequestNextTurn(float now);
    // A unit gives up its turn from inside its own rules (it focuses): the turn passes at the next update,
    // never inside the unit's own call, and without the guard.
    void AdvanceTurn() { m_turnActive = false; }
    // One frame of the flow: a unit that died in its own turn hands it on once its fall has played out, and
    // while no unit holds the turn one step of the countdown runs.
    void Update(float now);
    // Ends the current unit's turn, runs one step of the countdown and hands the turn to the head of the order
    // when it stands at 0.
    void Step();

    // Deals an area ability out: the units inside the square around its centre share its amount (at most
    // three shares), and every unit hears of it. The number of living units inside.
    int ApplyAreaEffect(BoardUnit* caster, const SpellDefinition& ability);

    BoardUnit* GetActiveUnit() const { return m_activeUnit; }
    Player* GetActivePlayer() const { return m_activePlayer; }
    bool IsTurnActive() const { return m_turnActive; }
    // Turns begun since the last reset.
    int GetTurns() const { return m_turns; }

private:
    void CountDownInitiatives();
    void HandTurnTo(BoardUnit* unit, Player* owner);
    bool BothSidesStand() const;

    TurnFlowListener* m_listener = nullptr;
    std::vector<std::unique_ptr<Player>> m_players;
    TurnOrder m_order;
    BoardUnit* m_activeUnit = nullptr;
    Player* m_activePlayer = nullptr;
    bool m_turnActive = true;
    float m_lastTurnRequest = 0.0f;
    // The game time at which the unit holding the turn was first seen dead, while it lies there.
    bool m_deathSeen = false;
    float m_deathSeenAt = 0.0f;
    int m_turns = 0;
};
