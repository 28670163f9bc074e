// varnholt-simulate: plays battles between random armies with the game's rules and prints what came of them.
//
//   varnholt-simulate [--battles N] [--seed FIRST] [--replay K] [--level FILE]... [--data DIR] [--list]
//
// Battle i is played with the seed FIRST + i (FIRST is 1 unless given). --replay plays K of them a second time
// and compares the digests of their events. --level (repeatable) chooses the level files; the default is the
// two levels the front end offers. --data names the directory whose Data tree is read (by default the current
// directory, or the executable's when the current one has none). --list prints one line per battle. The exit
// status is 1 when a battle got stuck, broke a rule or replayed differently.
#include "BalanceTable.h"
#include "BattleSimulator.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

struct Arguments {
    int battles = 100;
    unsigned firstSeed = 1;
    int replays = 0;
    std::vector<std::string> levels;
    std::string data;
    bool list = false;
};

bool ParseArguments(int argc, char** argv, Arguments& out)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--battles" && hasValue) {
            out.battles = std::max(0, std::atoi(argv[++i]));
        } else if (arg == "--seed" && hasValue) {
            out.firstSeed = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 10));
        } else if (arg == "--replay" && hasValue) {
            out.replays = std::max(0, std::atoi(argv[++i]));
        } else if (arg == "--level" && hasValue) {
            out.levels.emplace_back(argv[++i]);
        } else if (arg == "--data" && hasValue) {
            out.data = argv[++i];
        } else if (arg == "--list") {
            out.list = true;
        } else {
            std::cerr << "usage: varnholt-simulate [--battles N] [--seed FIRST] [--replay K] [--level FILE]... "
                         "[--data DIR] [--list]\n";
            return false;
        }
    }
    return true;
}

// Where the Data tree is: the directory given, else the current one, else the executable's.
bool EnterDataDirectory(const std::string& given)
{
    namespace fs = std::filesystem;
    std::error_code ignored;
    if (!given.empty()) {
        fs::current_path(given, ignored);
        return !ignored && fs::is_directory("Data");
    }
    if (fs::is_directory("Data"))
        return true;
    const fs::path self = fs::read_symlink("/proc/self/exe", ignored);
    if (ignored)
        return false;
    fs::current_path(self.parent_path(), ignored);
    return !ignored && fs::is_directory("Data");
}

std::string Percent(double part, double whole)
{
    char text[16];
    std::snprintf(text, sizeof text, "%.1f%%", whole > 0 ? 100.0 * part / whole : 0.0);
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    Arguments args;
    if (!ParseArguments(argc, argv, args))
        return 2;
    if (!EnterDataDirectory(args.data)) {
        std::cerr << "varnholt-simulate: no Data tree found (run it from the build directory or give --data)\n";
        return 2;
    }
    BattleOptions options;
    if (!args.levels.empty())
        options.levels = args.levels;
    BattleSimulator simulator(options);
    if (!simulator.IsReady()) {
        std::cerr << "varnholt-simulate: " << simulator.GetError() << "\n";
        return 2;
    }
    const std::vector<Requisition::Entry>& entries = simulator.GetRequisition().GetEntries();
    std::vector<std::string> names;
    for (const Requisition::Entry& entry : entries)
        names.push_back(entry.name);

    BalanceTable table(entries.size());
    int wins[2] = {0, 0};
    int draws = 0;
    long totalTurns = 0;
    int maxTurns = 0;
    long frames = 0;
    long totalUnits = 0;
    Commander::Counters commands;
    int areaCasts = 0;
    int ownTurnDeaths = 0;
    std::vector<BattleResult> troubled;
    std::vector<BattleResult> played;
    const auto started = std::chrono::steady_clock::now();
    for (int i = 0; i < args.battles; ++i) {
        BattleResult result = simulator.Play(args.firstSeed + static_cast<unsigned>(i));
        if (args.list) {
            std::printf("seed %u  %-22s  %zu v %zu units  winner %d  turns %d  survivors %d/%d  digest %016llx%s%s\n",
                        result.seed, result.level.c_str(), result.armies[0].size(), result.armies[1].size(),
                        result.winner + 1, result.turns, result.survivors[0], result.survivors[1],
                        static_cast<unsigned long long>(result.digest), result.problem.empty() ? "" : "  ",
                        result.problem.c_str());
        }
        totalTurns += result.turns;
        maxTurns = std::max(maxTurns, result.turns);
        frames += result.frames;
        totalUnits += static_cast<long>(result.armies[0].size() + result.armies[1].size());
        for (int k = 0; k < Commander::KIND_COUNT; ++k)
            commands.commands[k] += result.counters.commands[k];
        commands.refusals += result.counters.refusals;
        areaCasts += result.areaCasts;
        ownTurnDeaths += result.ownTurnDeaths;
        if (!result.problem.empty() || !result.ended) {
            troubled.push_back(result);
        } else {
            if (result.winner >= 0)
                ++wins[result.winner];
            else
                ++draws;
            const double firstResult = result.winner == 0 ? 1.0 : result.winner == 1 ? 0.0 : 0.5;
            table.Add(simulator.GetRequisition().Spending(result.armies[0]),
                      simulator.GetRequisition().Spending(result.armies[1]), firstResult);
        }
        played.push_back(std::move(result));
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    int mismatches = 0;
    if (args.replays > 0 && !played.empty()) {
        const int count = std::min(args.replays, static_cast<int>(played.size()));
        for (int k = 0; k < count; ++k) {
            const BattleResult& once = played[static_cast<size_t>(k) * played.size() / static_cast<size_t>(count)];
            const BattleResult again = simulator.Play(once.seed);
            if (again.digest != once.digest || again.events != once.events || again.turns != once.turns) {
                ++mismatches;
                std::printf("REPLAY MISMATCH: seed %u gave digest %016llx (%lld events, %d turns), then %016llx "
                            "(%lld events, %d turns)\n",
                            once.seed, static_cast<unsigned long long>(once.digest),
                            static_cast<long long>(once.events), once.turns,
                            static_cast<unsigned long long>(again.digest), static_cast<long long>(again.events),
                            again.turns);
            }
        }
        std::printf("replayed %d battles: %d differed\n", count, mismatches);
    }

    const int finished = args.battles - static_cast<int>(troubled.size());
    std::printf("battles: %d (seeds %u to %u), %d ended, %d stuck or broken, in %.1f s (%.0f ms a battle, %.0f "
                "frames a battle)\n",
                args.battles, args.firstSeed, args.firstSeed + static_cast<unsigned>(std::max(0, args.battles - 1)),
                finished, static_cast<int>(troubled.size()), seconds,
                args.battles ? 1000.0 * seconds / args.battles : 0.0,
                args.battles ? static_cast<double>(frames) / args.battles : 0.0);
    std::printf("turns: mean %.1f, max %d; units a battle: mean %.1f\n",
                args.battles ? static_cast<double>(totalTurns) / args.battles : 0.0, maxTurns,
                args.battles ? static_cast<double>(totalUnits) / args.battles : 0.0);
    std::printf("wins: player 1 %d (%s), player 2 %d (%s), draws %d\n", wins[0], Percent(wins[0], finished).c_str(),
                wins[1], Percent(wins[1], finished).c_str(), draws);
    const char* const kindNames[] = {"attacks", "casts", "area casts", "moves", "defends", "focuses", "end turns"};
    std::printf("commands:");
    for (int k = 0; k < Commander::KIND_COUNT; ++k)
        std::printf(" %s %d,", kindNames[k], commands.commands[k]);
    std::printf(" refused %d; areas dealt out %d; units killed in their own turn %d\n", commands.refusals, areaCasts,
                ownTurnDeaths);
    for (const BattleResult& result : troubled)
        std::printf("STUCK OR BROKEN: seed %u on %s: %s\n", result.seed, result.level.c_str(),
                    result.problem.empty() ? "did not end" : result.problem.c_str());
    table.Print(std::cout, names);
    std::cout.flush();
    return troubled.empty() && mismatches == 0 ? 0 : 1;
}
