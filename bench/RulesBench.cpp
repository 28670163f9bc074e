// The rules' share of a battle frame on a full board: 22 units (one of each class on either side), every one
// of them under every kind of timed effect, a third of them defending, and the active unit choosing a move
// towards a hex across the board, so that its path search spends all of its expansions every frame. One update
// is what the session does each battle frame for the players (the defended zones, every unit's update, the
// active player's dispatch) and the board's emptying of its highlight lists. The units' models are left out:
// their animation is the scene's cost, measured by ModelBench. Compared in the same run with a fixed piece of
// plain work (sorting 1,000 numbers), so that a busy machine shows as a slower reference too.
#include "BattleSimulator.h"

#include "battle/Hex.h"
#include "battle/HexGrid.h"
#include "battle/Player.h"
#include "battle/Unit.h"
#include "core/DataManager.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <vector>

namespace {

void Stats(benchmark::internal::Benchmark* b)
{
    b->Repetitions(15)
        ->ReportAggregatesOnly(true)
        ->ComputeStatistics("min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); })
        ->ComputeStatistics("max", [](const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); })
        ->Unit(benchmark::kMicrosecond);
}

constexpr EffectType EVERY_EFFECT[] = {EffectType::HEALTH,          EffectType::MANA,          EffectType::INITIATIVE,
                                       EffectType::MOVEMENT_RADIUS, EffectType::STR,           EffectType::AGILLY,
                                       EffectType::INTELLI,         EffectType::MISS_MORE,     EffectType::DEFEND_FREE,
                                       EffectType::PHALANX,         EffectType::CRITICAL_MORE, EffectType::AP_BONUS,
                                       EffectType::INVINCIBLE};

void RulesUpdateFullBoard(benchmark::State& state)
{
    BattleSimulator simulator;
    if (!simulator.IsReady()) {
        state.SkipWithError(simulator.GetError().c_str());
        return;
    }
    std::vector<int> everyClass(simulator.GetRequisition().GetEntries().size());
    std::iota(everyClass.begin(), everyClass.end(), 0);
    BattleResult battle;
    simulator.Deploy(2, everyClass, everyClass, battle);
    const std::vector<Unit*>& units = simulator.GetUnits();
    for (size_t i = 0; i < units.size(); ++i) {
        Unit& unit = *units[i];
        // As a unit is once the loading has made it ready for battle.
        unit.RulesForSetUp().turn.visible = true;
        for (EffectType type : EVERY_EFFECT) {
            TimedEffect effect = UnitTimedEffects::CreateTimedEffect();
            effect.type = type;
            effect.turns = 3;
            unit.TimedEffects().AddTimedEffect(effect);
        }
        if (i % 3 == 1)
            unit.SetState(DEFENDING);
    }
    Unit& mover = *units[0];
    Player* active = simulator.GetPlayer(0);
    active->SelectUnit(&mover);
    mover.SetState(SELECTING_MOVE);
    // Open ground on the far side of the farm: beyond the search's reach from the first zone.
    simulator.GetPointer().AimAt(*simulator.GetGrid()->GetHex(20, 30));
    HexGrid& grid = *simulator.GetGrid();
    auto update = [&] {
        DataManager::Get()->AdvanceTime(1.0f / 60.0f);
        for (int p = 0; p < 2; ++p)
            simulator.GetPlayer(p)->FlagDefendedHexes();
        for (int p = 0; p < 2; ++p)
            simulator.GetPlayer(p)->Update();
        active->DispatchCommand();
        grid.Render();
    };
    for (int warm = 0; warm < 10; ++warm)
        update();
    for (auto _ : state)
        update();
    if (mover.GetState() != SELECTING_MOVE || simulator.GetPointer().GetHovered() != grid.GetHex(20, 30))
        state.SkipWithError("the active unit stopped choosing its move");
    simulator.Clear();
}
BENCHMARK(RulesUpdateFullBoard)->Apply(Stats);

// Reference work for the same run: 1,000 numbers in a fixed shuffled order, sorted.
void ReferenceSortThousand(benchmark::State& state)
{
    std::vector<int> shuffled(1000);
    std::iota(shuffled.begin(), shuffled.end(), 0);
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(12345));
    std::vector<int> work;
    for (auto _ : state) {
        work = shuffled;
        std::sort(work.begin(), work.end());
        benchmark::DoNotOptimize(work.data());
    }
}
BENCHMARK(ReferenceSortThousand)->Apply(Stats);

} // namespace
