// The path search that runs every frame while a move is chosen, against a plain breadth-first search over the
// same board in the same run. The board is open ground with a blocked band across its middle that has one gap.
#include "battle/BoardPointer.h"
#include "battle/BoardUnit.h"
#include "battle/Hex.h"
#include "battle/HexGrid.h"
#include "battle/PathSearch.h"
#include "core/DataManager.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <deque>
#include <vector>

namespace {

// Only what the search asks of a unit does anything.
class StandingUnit : public BoardUnit
{
public:
    explicit StandingUnit(Hex* hex) : hex(hex) { }
    Object* AsObject() override { return nullptr; }
    Hex* GetHex() const override { return hex; }
    void SetPosition(int, int) override { }
    void FaceTowards(float, float, float) override { }
    void Update() override { }
    void Render() override { }
    void Release() override { }
    void OnLostDevice() override { }
    void OnResetDevice() override { }
    bool InitPresentation(Player*) override { return true; }
    void Load(const std::string&) override { }
    void LoadModel(bool) override { }
    void QueueVoice(int) override { }
    Player* GetOwner() const override { return nullptr; }
    UnitState GetState() const override { return SELECTING_MOVE; }
    void SetState(UnitState) override { }
    bool CanMove() const override { return true; }
    bool HasActiveEffect(EffectType) const override { return false; }
    int GetMovementRadius() const override { return 6; }
    int GetMeleeRange() const override { return 1; }
    int GetRangedRange() const override { return 0; }
    int GetDefendRadius() const override { return 2; }
    std::vector<Hex*>& GetPath() override { return path; }
    int FindPath(Hex*, int&) override { return 0; }
    bool StartMove() override { return false; }
    BoardUnit* GetTarget() const override { return nullptr; }
    void SetTarget(BoardUnit*) override { }
    void ClearTarget() override { }
    bool AttackCommand() override { return false; }
    bool AttackWindUp() override { return false; }
    TargetCheck CheckTarget() override { return OUT_OF_RANGE; }
    TargetCheck GetTargetCheck() const override { return OUT_OF_RANGE; }
    void CastSpell(BoardUnit*) override { }
    void UseAbility(Hex*) override { }
    bool AbilityReady() override { return false; }
    const SpellDefinition* GetSelectedAbility() const override { return nullptr; }
    void DeselectAbility() override { }
    void ApplySpellEffect(BoardUnit*, const SpellDefinition&) override { }
    void QueueTexts() override { }
    void SetTextVisible(bool) override { }
    void ClaimDefendedHexes() override { }
    void AdjustInitiative() override { }
    void ForgetUnit(BoardUnit*) override { }

private:
    Hex* hex;
    std::vector<Hex*> path;
};

struct Board {
    Board()
    {
        DataManager::ResetForTests();
        grid.LoadTextures();
        for (int r = 0; r < HexGrid::ROWS; ++r) {
            for (int c = 0; c < HexGrid::COLUMNS; ++c) {
                const bool band = r == 18 && c != 30;
                grid.GetHex(r, c)->defaultType = band ? HEX_BLOCKED : HEX_OPEN;
                grid.GetHex(r, c)->SetType(grid.GetHex(r, c)->defaultType);
            }
        }
        grid.GetHex(2, 2)->SetType(HEX_OCCUPIED);
    }
    ~Board() { DataManager::ResetForTests(); }
    HexGrid grid;
};

void Stats(benchmark::internal::Benchmark* b)
{
    b->Repetitions(15)
        ->ReportAggregatesOnly(true)
        ->ComputeStatistics("min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); })
        ->ComputeStatistics("max", [](const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); })
        ->Unit(benchmark::kMicrosecond);
}

void Search(benchmark::State& state, int row, int col)
{
    Board board;
    StandingUnit unit(board.grid.GetHex(2, 2));
    PathSearch search(board.grid);
    Hex* target = board.grid.GetHex(row, col);
    for (auto _ : state) {
        int count = 0;
        benchmark::DoNotOptimize(search.FindPath(unit, target, count));
        // The render empties the highlight lists every frame.
        board.grid.Render();
    }
}

// From one corner towards the far one, beyond the band: the search spends all of its expansions.
void PathSearchAcrossTheBoard(benchmark::State& state)
{
    Search(state, 33, 39);
}
BENCHMARK(PathSearchAcrossTheBoard)->Apply(Stats);

// A destination just out of range, as while the pointer rests near the unit.
void PathSearchNearby(benchmark::State& state)
{
    Search(state, 10, 5);
}
BENCHMARK(PathSearchNearby)->Apply(Stats);

// Reference: every hex reached from the same start by breadth-first search, through the same neighbour rule.
void BreadthFirstAcrossTheBoard(benchmark::State& state)
{
    Board board;
    Hex* start = board.grid.GetHex(2, 2);
    Hex* target = board.grid.GetHex(33, 39);
    std::vector<int> seen(HexGrid::HEX_COUNT);
    std::deque<Hex*> queue;
    for (auto _ : state) {
        std::fill(seen.begin(), seen.end(), 0);
        queue.assign(1, start);
        seen[start->row * HexGrid::COLUMNS + start->column] = 1;
        int steps = 0;
        while (!queue.empty()) {
            Hex* hex = queue.front();
            queue.pop_front();
            if (hex == target)
                break;
            Hex* neighbours[6];
            const int n = board.grid.GetNeighbours(*hex, neighbours);
            for (int i = 0; i < n; ++i) {
                int& mark = seen[neighbours[i]->row * HexGrid::COLUMNS + neighbours[i]->column];
                if (!mark && neighbours[i]->pickable) {
                    mark = 1;
                    queue.push_back(neighbours[i]);
                }
            }
            ++steps;
        }
        benchmark::DoNotOptimize(steps);
    }
}
BENCHMARK(BreadthFirstAcrossTheBoard)->Apply(Stats);

// The pointer of a move-choosing frame, aimed off the board so that both picks test every hex.
class OffBoardPointer : public BoardPointer
{
public:
    OffBoardPointer() { Register(this); }
    ~OffBoardPointer() override { Register(nullptr); }
    const D3DXVECTOR3& GetPickRayOrigin() const override { return origin; }
    const D3DXVECTOR3& GetPickRayDirection() const override { return direction; }
    Hex* GetHovered() const override { return hovered; }
    void SetHovered(Hex* hex) override { hovered = hex; }
    bool IsShowingText() const override { return false; }
    bool IsBoardClick() const override { return false; }
    void ForgetUnit(BoardUnit*) override { }

private:
    D3DXVECTOR3 origin{-9000.0f, 1000.0f, -9000.0f};
    D3DXVECTOR3 direction{0.0f, -1.0f, 0.0f};
    Hex* hovered = nullptr;
};

void PickHoveredHexBothWays(benchmark::State& state)
{
    Board board;
    OffBoardPointer pointer;
    for (auto _ : state) {
        board.grid.PickHoveredHex(true);
        board.grid.PickHoveredHex(false);
        benchmark::DoNotOptimize(pointer.GetHovered());
    }
}
BENCHMARK(PickHoveredHexBothWays)->Apply(Stats);

} // namespace
