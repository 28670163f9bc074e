#pragma once
// Whole battles between two random armies of real class units, with the game's own rules on the null device:
// each player buys classes at random with the deployment screen's requisition, places them at random in its
// zone of a real level's board, and then the two play it out through the players' command dispatch, frame by
// frame, until the game is over. One seed decides the level, the armies, the places, every command and every
// roll of the rules, so a seed plays the same battle every time.
//
// The battle's presentation is left out: units are not given their models (an attack lands as its wind-up
// ends), no emitter, decal or label is drawn or updated, and the session shows no camera shots.

#include "BalanceTable.h"
#include "Commander.h"
#include "EventDigest.h"
#include "Requisition.h"
#include "SimulatedHud.h"
#include "SimulatedPointer.h"
#include "SimulatedSession.h"

#include "battle/HexGrid.h"
#include "battle/TurnFlow.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct IDirect3D9;
struct IDirect3DDevice9;
class Player;
class Unit;

struct BattleOptions {
    // Game seconds per frame.
    float frameTime = 0.1f;
    // A battle still going after this many turns is reported as stuck.
    int turnLimit = 1000;
    // A turn still going after this many frames is reported as stuck.
    int turnFrameLimit = 3000;
    // Frames of the initiative countdown without any unit taking the turn before it is reported as stuck.
    int countdownLimit = 5000;
    // The levels the battles are fought on, chosen by the seed.
    std::vector<std::string> levels = {"Farm.txt", "winter_wonderland.txt"};
    int budget = Requisition::kBudget;
};

struct BattleResult {
    unsigned seed = 0;
    std::string level;
    // 0 or 1; -1 for a draw (both sides fell together) or a battle that did not end.
    int winner = -1;
    bool ended = false;
    // Why the battle went wrong: a stuck turn, a stuck countdown, the turn limit, or a broken rule.
    std::string problem;
    int turns = 0;
    int frames = 0;
    // Indices into the requisition's entries.
    std::vector<int> armies[2];
    int survivors[2] = {0, 0};
    uint64_t digest = 0;
    int64_t events = 0;
    Commander::Counters counters;
    int areaCasts = 0;
    // Units that died during their own turn (caught by their own area ability), whose turn the flow handed on.
    int ownTurnDeaths = 0;
};

class BattleSimulator
{
public:
    // Sets up the null device, the data (from the current directory's Data tree) and the board.
    explicit BattleSimulator(BattleOptions options = BattleOptions());
    ~BattleSimulator();
    BattleSimulator(const BattleSimulator&) = delete;
    BattleSimulator& operator=(const BattleSimulator&) = delete;

    // False when the device, the unit classes or a level could not be had; GetError says why.
    bool IsReady() const { return error.empty(); }
    const std::string& GetError() const { return error; }
    const Requisition& GetRequisition() const { return requisition; }
    const BattleOptions& GetOptions() const { return options; }

    BattleResult Play(unsigned seed);
    // The same battle with the armies given (indices into the requisition's entries) instead of bought; the
    // level and the places still come from the seed.
    BattleResult Play(unsigned seed, const std::vector<int>& firstArmy, const std::vector<int>& secondArmy);

    // What a broken rule looks like on the board now, or empty when every unit, hex and count agrees. Checked
    // at every turn of a battle.
    std::string CheckInvariants() const;

    // During a battle (for tests that play one themselves): the board, the players and the units.
    HexGrid* GetGrid() const { return grid.get(); }
    SimulatedSession& GetSession() { return session; }
    TurnFlow& GetTurnFlow() { return flow; }
    SimulatedHud& GetHud() { return hud; }
    SimulatedPointer& GetPointer() { return pointer; }
    Commander& GetCommander() { return commander; }
    Player* GetPlayer(int index) const { return flow.GetPlayer(index); }
    const std::vector<Unit*>& GetUnits() const { return units; }
    // Sets up a battle without playing it: the level, the armies and their places.
    void Deploy(unsigned seed, const std::vector<int>& firstArmy, const std::vector<int>& secondArmy,
                BattleResult& result);
    // Plays the deployed battle to its end (or until it is found stuck or broken), then clears it away.
    void Run(BattleResult& result);
    // One frame of the battle: the controls, the players, the dispatch and the turn flow.
    void Frame();
    // Takes the battle's units and players away and leaves the board as the level made it.
    void Clear();

private:
    bool LoadRequisition();
    bool LoadLevel(const std::string& name);
    void ApplyLevel(size_t index);
    void DigestTurn();

    BattleOptions options;
    std::string error;
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
    // Made first: the controls keep a reference to it.
    std::unique_ptr<HexGrid> grid = std::make_unique<HexGrid>();
    std::vector<std::vector<int32_t>> levelTypes;
    Requisition requisition;
    TurnFlow flow;
    SimulatedHud hud{flow};
    SimulatedSession session{flow, hud};
    SimulatedPointer pointer;
    EventDigest digest;
    Commander commander{session, pointer, *grid, digest};
    std::vector<Unit*> units;
};
