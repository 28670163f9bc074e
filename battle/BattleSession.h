#pragma once
// What the board and the players ask of the game session that holds them. The session registers itself;
// without one, nothing is in battle, no player is known and the session's effects do nothing.

#include <vector>

struct SpellDefinition;
class BoardUnit;
class Player;

class BattleSession
{
public:
    static BattleSession* Get();
    static void Register(BattleSession* session);

    virtual ~BattleSession() = default;

    virtual bool IsInBattle() const = 0;
    virtual bool IsGameOver() const = 0;
    // Enters the game-over state.
    virtual void SetGameOver() = 0;
    virtual void SetRingEmittersActive(bool active) = 0;
    virtual void ApplyAreaEffect(BoardUnit* caster, const SpellDefinition& ability) = 0;
    // The first (0) or second (1) player, or null.
    virtual Player* GetPlayer(int index) const = 0;

    // The calls below are made by the unit rules. A session that does not take part in them ignores them.

    // Arms the slow-motion shot on the target; the attacker is the active unit.
    virtual void RequestSlowMotion(BoardUnit* target, float delay, bool spellShot)
    {
        (void)target;
        (void)delay;
        (void)spellShot;
    }
    // The active unit asks to end its turn.
    virtual void RequestNextTurn() { }
    virtual void AdvanceTurn() { }
    // The screen shake of the game application.
    virtual void SetShakeMagnitude(float magnitude) { (void)magnitude; }
    // Rebuilds the area decal with cells x cells grid cells.
    virtual void SetAreaDecal(int cells) { (void)cells; }
    // Every unit of every player that is still alive.
    virtual std::vector<BoardUnit*> GetLivingUnits() const { return {}; }
};
