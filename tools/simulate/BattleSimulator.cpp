#include "BattleSimulator.h"

#include "DeviceKit.h"

#include "battle/ClassUnit.h"
#include "battle/Hex.h"
#include "battle/Player.h"
#include "battle/Unit.h"
#include "core/DataManager.h"
#include "core/Random.h"
#include "core/SoundQueue.h"
#include "d3d9/D3D9.h"
#include "scene/DecalManager.h"
#include "scene/LevelFile.h"
#include "scene/ParticleManager.h"

#include <algorithm>
#include <random>
#include <set>

namespace {

// The clock starts again at 0 for every battle, so that a seed meets the same rounding whenever it is played.
void RewindClock()
{
    DataManager* data = DataManager::Get();
    data->SetGameSpeed(1.0f);
    data->AdvanceTime(-data->GetGameTime());
}

} // namespace

BattleSimulator::BattleSimulator(BattleOptions chosen) : options(std::move(chosen))
{
    if (FAILED(DeviceKit::Make(D3D9_BACKEND_NULL, nullptr, 1024, 768, D3DCREATE_MULTITHREADED, &d3d, &device))) {
        error = "the null device could not be made";
        return;
    }
    DataManager::ResetForTests();
    DataManager::Get()->SetDevice(device);
    grid->LoadTextures();
    HexGrid::SetCurrent(grid.get());
    if (!LoadRequisition())
        return;
    for (const std::string& level : options.levels) {
        if (!LoadLevel(level))
            return;
    }
    if (levelTypes.empty())
        error = "no level to fight on";
}

BattleSimulator::~BattleSimulator()
{
    Clear();
    if (HexGrid::Current() == grid.get())
        HexGrid::SetCurrent(nullptr);
    grid->ReleaseBuffers();
    DecalManager::ResetForTests();
    ParticleManager::ResetForTests();
    SoundQueue::ResetForTests();
    DataManager::ResetForTests();
    DeviceKit::Release(d3d, device);
}

bool BattleSimulator::LoadRequisition()
{
    std::vector<Requisition::Entry> entries;
    std::set<int> classes;
    for (const std::string& file : Requisition::ClassFiles()) {
        ClassUnit unit;
        UnitDefinition definition;
        if (!definition.Read(file)) {
            error = "the unit file " + file + " cannot be read";
            return false;
        }
        unit.Load(file);
        // Each file must make a class of its own, or the balance tables would merge two classes.
        if (!classes.insert(static_cast<int>(unit.GetClass())).second) {
            error = "the unit file " + file + " makes a class that another file already makes";
            return false;
        }
        entries.push_back({file, unit.Rules().name, unit.GetCost()});
    }
    requisition = Requisition(std::move(entries));
    return true;
}

bool BattleSimulator::LoadLevel(const std::string& name)
{
    std::string path = name;
    std::vector<uint8_t> bytes;
    LevelFile::Contents contents;
    std::string why;
    if (!DataManager::Get()->ResolvePath(path) || !LevelFile::ReadWholeFile(path, bytes) ||
        !LevelFile::Parse(bytes.data(), bytes.size(), contents, why)) {
        error = "the level " + name + " cannot be read" + (why.empty() ? "" : ": " + why);
        return false;
    }
    const auto& types = contents.data.hexTypes;
    if (std::count(types.begin(), types.end(), HEX_DEPLOY_TEAM0) == 0 ||
        std::count(types.begin(), types.end(), HEX_DEPLOY_TEAM1) == 0) {
        error = "the level " + name + " lacks a deployment zone";
        return false;
    }
    levelTypes.push_back(types);
    return true;
}

void BattleSimulator::ApplyLevel(size_t index)
{
    const std::vector<int32_t>& types = levelTypes[index];
    for (int r = 0; r < HexGrid::ROWS; ++r) {
        for (int c = 0; c < HexGrid::COLUMNS; ++c) {
            Hex* hex = grid->GetHex(r, c);
            hex->defaultType = types[static_cast<size_t>(r * HexGrid::COLUMNS + c)];
            hex->SetType(hex->defaultType);
            hex->occupant = nullptr;
            hex->defendedByTeam0 = hex->defendedByTeam1 = 0;
            hex->pathParent = nullptr;
        }
    }
}

void BattleSimulator::Clear()
{
    units.clear();
    flow.Reset();
    hud.Clear();
    pointer.SetHovered(nullptr);
    pointer.AimAway();
    pointer.Release();
    // Blood on the ground and bolts in the air belong to the battle that made them.
    DecalManager::Get()->ClearAll();
    ParticleManager::Get()->ReleaseAll();
    SoundQueue::ResetForTests();
    Player::ResetDefeatTimer();
    UnitSpellcasting::SetCastTimer(0.0f);
    Hex::ResetForTests();
    grid->Render();
    grid->ClearPathList();
}

void BattleSimulator::Deploy(unsigned seed, const std::vector<int>& firstArmy, const std::vector<int>& secondArmy,
                             BattleResult& result)
{
    Clear();
    RewindClock();
    Srand(seed);
    result.seed = seed;
    digest = EventDigest();
    std::mt19937 placing(seed ^ 0x5eed5eedu);
    const size_t level = seed % levelTypes.size();
    result.level = options.levels[level];
    ApplyLevel(level);

    const std::vector<int>* armies[2] = {&firstArmy, &secondArmy};
    BoardUnit::SetFactory(&ClassUnit::Make);
    for (int side = 0; side < 2; ++side) {
        Player* player = flow.AddPlayer(side);
        result.armies[side] = *armies[side];
        std::vector<Hex*> zone;
        const HexType zoneType = side == 0 ? HEX_DEPLOY_TEAM0 : HEX_DEPLOY_TEAM1;
        for (int r = 0; r < HexGrid::ROWS; ++r) {
            for (int c = 0; c < HexGrid::COLUMNS; ++c) {
                if (grid->GetHex(r, c)->type == zoneType)
                    zone.push_back(grid->GetHex(r, c));
            }
        }
        std::shuffle(zone.begin(), zone.end(), placing);
        const size_t count = std::min(zone.size(), armies[side]->size());
        for (size_t i = 0; i < count; ++i) {
            const std::string& file = requisition.GetEntries()[static_cast<size_t>((*armies[side])[i])].file;
            auto* unit = dynamic_cast<Unit*>(player->CreateUnit(file, zone[i]->row, zone[i]->column));
            if (unit)
                units.push_back(unit);
        }
    }
    BoardUnit::SetFactory(nullptr);
    session.Begin();
    for (Unit* unit : units)
        flow.Enlist(unit);
    commander.Begin(units, seed);
}

void BattleSimulator::Frame()
{
    DataManager::Get()->AdvanceTime(options.frameTime);
    commander.Step();
    // The opening fly-over has nothing to show: only its request for the first turn, every frame until one
    // gets through the guard.
    if (flow.GetTurns() == 0 && flow.IsTurnActive())
        session.RequestNextTurn();
    for (const auto& player : flow.GetPlayers())
        player->FlagDefendedHexes();
    for (const auto& player : flow.GetPlayers())
        player->Update();
    // What a unit does each frame while it is shown: its timers, and the walk of a moving unit.
    for (Unit* unit : units) {
        unit->UpdateTimers();
        unit->Movement().WalkStep();
    }
    if (Player* active = session.GetActivePlayer())
        active->DispatchCommand();
    flow.Update(DataManager::Get()->GetGameTime());
    // The board's render empties its lists and the defended flags of the frame.
    grid->Render();
    SoundQueue::Get()->Update();
}

void BattleSimulator::DigestTurn()
{
    digest.Add(session.GetTurns());
    for (const Unit* unit : units) {
        digest.Add(unit->Rules().stats.health);
        digest.Add(unit->Rules().stats.mana);
        digest.Add(unit->Rules().stats.actionPoints);
        digest.Add(unit->Rules().turn.initiative);
        digest.Add(unit->GetState());
        const Hex* hex = unit->GetHex();
        digest.Add(hex ? hex->row * HexGrid::COLUMNS + hex->column : -1);
    }
}

BattleResult BattleSimulator::Play(unsigned seed)
{
    std::mt19937 buying(seed);
    const std::vector<int> first = requisition.Buy(buying, options.budget);
    const std::vector<int> second = requisition.Buy(buying, options.budget);
    return Play(seed, first, second);
}

BattleResult BattleSimulator::Play(unsigned seed, const std::vector<int>& firstArmy, const std::vector<int>& secondArmy)
{
    BattleResult result;
    result.seed = seed;
    if (!IsReady()) {
        result.problem = error;
        return result;
    }
    Deploy(seed, firstArmy, secondArmy, result);
    Run(result);
    return result;
}

void BattleSimulator::Run(BattleResult& result)
{
    int turn = -1;
    int turnFrames = 0;
    int countdownFrames = 0;
    int deathTurn = -1;
    while (!session.IsGameOver()) {
        Frame();
        ++result.frames;
        if (const Unit* active = session.GetActiveUnit();
            active && session.IsTurnActive() && active->GetState() == DEAD && deathTurn != session.GetTurns()) {
            deathTurn = session.GetTurns();
            ++result.ownTurnDeaths;
        }
        if (session.GetTurns() != turn) {
            turn = session.GetTurns();
            turnFrames = 0;
            DigestTurn();
            if (result.problem.empty())
                result.problem = CheckInvariants();
            if (!result.problem.empty())
                break;
            if (turn >= options.turnLimit) {
                result.problem = "still going after " + std::to_string(turn) + " turns";
                break;
            }
        }
        if (session.IsTurnActive()) {
            countdownFrames = 0;
            if (++turnFrames > options.turnFrameLimit) {
                const Unit* unit = session.GetActiveUnit();
                result.problem = "turn " + std::to_string(turn) + " never ended (the unit stays in state " +
                                 std::to_string(unit ? unit->GetState() : -1) + ")";
                break;
            }
        } else if (++countdownFrames > options.countdownLimit) {
            result.problem = "no unit took the turn after turn " + std::to_string(turn);
            break;
        }
    }
    if (result.problem.empty())
        result.problem = CheckInvariants();
    result.ended = session.IsGameOver() && result.problem.empty();
    result.turns = session.GetTurns();
    for (int side = 0; side < 2; ++side)
        result.survivors[side] = flow.GetPlayer(side)->AliveCount();
    if (result.ended && (result.survivors[0] > 0) != (result.survivors[1] > 0))
        result.winner = result.survivors[0] > 0 ? 0 : 1;
    result.digest = digest.Value();
    result.events = digest.Events();
    result.counters = commander.GetCounters();
    result.areaCasts = session.GetAreaCasts();
    Clear();
}

std::string BattleSimulator::CheckInvariants() const
{
    std::set<const Hex*> standing;
    int dead = 0;
    for (const Unit* unit : units) {
        const std::string who = unit->Rules().name + " of player " +
                                std::to_string(unit->Rules().owner ? unit->Rules().owner->team + 1 : 0);
        const Hex* hex = unit->GetHex();
        if ((unit->GetState() == DEAD) == unit->Rules().turn.alive)
            return who + " is dead by its state but not by its flag, or the other way round";
        if (!unit->Rules().turn.alive) {
            ++dead;
            if (hex)
                return who + " is dead but still stands on a hex";
            continue;
        }
        const UnitStats& s = unit->Rules().stats;
        if (s.health < 1 || s.health > s.maxHealth)
            return who + " lives with health " + std::to_string(s.health) + " of " + std::to_string(s.maxHealth);
        if (s.mana < 0 || s.mana > s.maxMana)
            return who + " has mana " + std::to_string(s.mana) + " of " + std::to_string(s.maxMana);
        if (s.actionPoints < 0)
            return who + " has negative action points";
        if (!hex)
            return who + " lives but stands on no hex";
        if (hex->occupant != unit || hex->type != HEX_OCCUPIED)
            return who + " stands on a hex that does not know it";
        if (!standing.insert(hex).second)
            return who + " shares its hex";
        if (!flow.GetOrder().Contains(unit))
            return who + " lives but has left the turn order";
    }
    int kills = 0;
    for (const auto& player : flow.GetPlayers())
        kills += player->GetStatistic(Statistic::KILLS);
    if (kills != dead || hud.GetRemovals() != dead)
        return std::to_string(dead) + " units died, but " + std::to_string(kills) + " kills were credited and " +
               std::to_string(hud.GetRemovals()) + " left the turn order";
    // Every hex that names an occupant names a living unit standing there.
    for (int r = 0; r < HexGrid::ROWS; ++r) {
        for (int c = 0; c < HexGrid::COLUMNS; ++c) {
            const Hex* hex = grid->GetHex(r, c);
            if (hex->occupant && !standing.count(hex))
                return "the hex at row " + std::to_string(r) + ", column " + std::to_string(c) +
                       " names an occupant that does not stand there";
            if (!hex->occupant && hex->type == HEX_OCCUPIED)
                return "the hex at row " + std::to_string(r) + ", column " + std::to_string(c) +
                       " is occupied by nobody";
        }
    }
    return {};
}
