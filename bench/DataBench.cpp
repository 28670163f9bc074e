// Costs of the data lookups the game makes while it loads and plays: finding a file by its bare name, and
// reading every unit and spell definition of the default data.
#include "battle/UnitDefinition.h"
#include "core/DataManager.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

// A scratch copy of the data directory table, with one file in the first data directory and one in the last,
// made the working directory for the duration of a benchmark.
class ScratchTable
{
public:
    ScratchTable()
    {
        m_previous = std::filesystem::current_path();
        std::string pattern = (std::filesystem::temp_directory_path() / "varnholt-bench-XXXXXX").string();
        m_root = mkdtemp(pattern.data());
        std::filesystem::current_path(m_root);
        DataManager::ResetForTests();
        // The table itself names the directories; make every one of them, as the default data does.
        for (const std::string& prefix : DataManager::Get()->GetSearchPaths()) {
            std::string path = prefix;
            for (char& c : path)
                if (c == '\\')
                    c = '/';
            if (!path.empty())
                std::filesystem::create_directories(path);
        }
        std::ofstream(m_root / "Data/Config Files/Particle Files/lastDirectory.txt") << "x";
        std::ofstream(m_root / "Data/firstDirectory.txt") << "x";
    }
    ~ScratchTable()
    {
        DataManager::ResetForTests();
        std::filesystem::current_path(m_previous);
        std::error_code ignored;
        std::filesystem::remove_all(m_root, ignored);
    }

private:
    std::filesystem::path m_previous;
    std::filesystem::path m_root;
};

// A name in the last directory of the table, found by walking the whole table: before each lookup another
// lookup moves the last hit to the first data directory.
void FindFileLastDirectory(benchmark::State& state)
{
    ScratchTable table;
    DataManager* data = DataManager::Get();
    if (data->FindFile("lastDirectory.txt") == DataManager::NOT_FOUND)
        state.SkipWithError("scratch file not found");
    for (auto _ : state) {
        state.PauseTiming();
        benchmark::DoNotOptimize(data->FindFile("firstDirectory.txt"));
        state.ResumeTiming();
        benchmark::DoNotOptimize(data->FindFile("lastDirectory.txt"));
    }
}
BENCHMARK(FindFileLastDirectory)->Unit(benchmark::kMicrosecond);

// The same name again: the directory that found it last is asked first.
void FindFileLastHit(benchmark::State& state)
{
    ScratchTable table;
    DataManager* data = DataManager::Get();
    data->FindFile("lastDirectory.txt");
    for (auto _ : state)
        benchmark::DoNotOptimize(data->FindFile("lastDirectory.txt"));
}
BENCHMARK(FindFileLastHit)->Unit(benchmark::kMicrosecond);

// A name that exists nowhere: every prefix of the table is tried.
void FindFileMissing(benchmark::State& state)
{
    ScratchTable table;
    DataManager* data = DataManager::Get();
    for (auto _ : state)
        benchmark::DoNotOptimize(data->FindFile("noSuchFile.tga"));
}
BENCHMARK(FindFileMissing)->Unit(benchmark::kMicrosecond);

// Every spell file and every unit definition of the default data, as the game reads them at device creation
// and when units are made.
void ReadAllDefinitions(benchmark::State& state)
{
    static const char* const units[] = {"Pikeman.txt",    "Militia.txt", "Paladin.txt", "Mage.txt",
                                        "CombatMage.txt", "Healer.txt",  "Rogue.txt",   "Assassin.txt",
                                        "Scout.txt",      "Knight.txt",  "Archer.txt"};
    DataManager::ResetForTests();
    for (auto _ : state) {
        DataManager* data = DataManager::Get();
        data->LoadSpells();
        for (const char* file : units) {
            UnitDefinition unit;
            if (!unit.Read(file))
                state.SkipWithError("a unit definition is missing: run from the build directory");
            benchmark::DoNotOptimize(unit.strength);
        }
        if (data->GetSpellNames().empty())
            state.SkipWithError("no spell files: run from the build directory");
        state.PauseTiming();
        DataManager::ResetForTests();
        state.ResumeTiming();
    }
}
BENCHMARK(ReadAllDefinitions)->Unit(benchmark::kMillisecond);

} // namespace
