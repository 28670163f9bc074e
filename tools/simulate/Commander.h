#pragma once
// The two players at the controls: each frame, what a player would do through the battle HUD and the mouse
// for the unit whose turn it is. It presses the HUD's buttons by the HUD's own tests, aims the pointer at a
// hex and clicks in the next frame, so that every command goes through the players' dispatch and the units'
// own checks. The choice among the commands the unit may take is random, weighted towards fighting: an enemy
// in reach is attacked more often than not, an ability is cast where it reaches an enemy (or, for a helping
// one, a friend who needs it), a move goes towards an enemy most of the time.

#include "EventDigest.h"

#include <random>
#include <vector>

class Hex;
class HexGrid;
class SimulatedPointer;
class SimulatedSession;
class Unit;
struct SpellDefinition;

class Commander
{
public:
    // Commands in one turn before the turn is ended whatever is left.
    static constexpr int kMaxCommands = 8;
    // Clicks the rules refused in one turn before the turn is ended.
    static constexpr int kMaxRefusals = 3;
    // Destinations tried with the path search before a move is given up.
    static constexpr int kMoveProbes = 10;

    enum Kind
    {
        ATTACK,
        CAST,
        AREA_CAST,
        MOVE,
        DEFEND,
        FOCUS,
        END_TURN,
        KIND_COUNT
    };

    struct Counters {
        int commands[KIND_COUNT] = {};
        // Clicks that the rules turned down (the unit stayed choosing).
        int refusals = 0;
    };

    Commander(SimulatedSession& session, SimulatedPointer& pointer, HexGrid& grid, EventDigest& digest);

    // A new battle between these units (the first army's, then the second's); the choices come from seed.
    void Begin(const std::vector<Unit*>& units, unsigned seed);
    // The HUD and the pointer of one frame, before the players are updated.
    void Step();

    const Counters& GetCounters() const { return counters; }

    // Steps on foot from the hex to every hex of the board, around walls and units (kUnreachable where no walk
    // leads); moves towards a foe go to the hex nearest to it by this count.
    std::vector<int> WalkingSteps(Hex& from);
    static int Index(const Hex& hex);
    static constexpr int kUnreachable = 1 << 20;

private:
    struct Option {
        Kind kind = END_TURN;
        int weight = 0;
        Unit* target = nullptr;
        Hex* hex = nullptr;
        int ability = -1;
    };

    int Pick(int n) { return n > 0 ? static_cast<int>(random() % static_cast<unsigned>(n)) : 0; }
    int IdOf(const Unit* unit) const;
    void StartTurn(Unit* unit);
    void Decide(Unit& unit);
    void Issue(Unit& unit, const Option& option);
    void EndTurn(Unit& unit, int pending);
    void Cancel(Unit& unit);
    void AddAbilityOptions(Unit& unit, std::vector<Option>& options);
    Hex* ChooseDestination(Unit& unit);
    // How much an area centred on centre does for the caster's side: foes it harms less friends it harms, or
    // friends it helps less foes it helps.
    int AreaValue(const Unit& caster, const SpellDefinition& ability, const Hex& centre) const;
    std::vector<Unit*> Living(const Unit& unit, bool enemies) const;

    SimulatedSession& session;
    SimulatedPointer& pointer;
    HexGrid& grid;
    EventDigest& digest;
    std::mt19937 random;
    std::vector<Unit*> units;
    Counters counters;

    Unit* current = nullptr;
    int turn = -1;
    int commands = 0;
    int refusals = 0;
    bool ending = false;
    bool armed = false;
    bool cannotMove = false;
};
