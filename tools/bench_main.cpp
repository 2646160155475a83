// mirabel-bench [DEPTH_IN_PLIES]: searches a fixed set of positions one after the other, as the
// "go" command would but to a fixed depth instead of a time limit, and prints per position its
// nodes, best move and time, then the node total (the engine's signature: the same on every
// run, platform and compiler) and the speed.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "bench_positions.h"
#include "search/search.h"

namespace mirabel {
namespace {

constexpr int DefaultPlies = 7;
constexpr int MinPlies = 3;  // the first iteration of the search
constexpr int MaxPlies = 15;

using Clock = std::chrono::steady_clock;

struct BenchResult {
    std::uint64_t nodes;
    Move best;
    long long milliseconds;
};

// The bench prints its own lines only: the search's reports go nowhere.
class SilentSink final : public ReportSink {
  public:
    void Report(const SearchReport&) override {}
};

// Searches `sfen` as the "go" command would, with a time limit that never expires. The
// transposition table and the ordering's random sequence carry over from one position to the
// next, as in one engine process.
bool SearchPosition(Search& search, const char* sfen, int plies, BenchResult& result) {
    Position position{};
    int side = 0;
    std::string error;
    if (!ReadSfen(sfen, position, side, error)) {
        std::fprintf(stderr, "mirabel-bench: bad position \"%s\": %s\n", sfen, error.c_str());
        return false;
    }
    const Clock::time_point start = Clock::now();
    search.Run(position, side, SearchLimits{0xFFFFFFFFu, plies});
    const Clock::time_point end = Clock::now();
    result.nodes = search.Nodes();
    result.best = search.BestMove();
    result.milliseconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(end - start).count();
    return true;
}

// A whole number of plies within [MinPlies, MaxPlies].
bool ParsePlies(const char* text, int& plies) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < MinPlies || value > MaxPlies) return false;
    plies = static_cast<int>(value);
    return true;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: mirabel-bench [DEPTH_IN_PLIES]\n"
                 "  DEPTH_IN_PLIES: a whole number from %d to %d (default %d)\n",
                 MinPlies, MaxPlies, DefaultPlies);
    return 2;
}

int RunBench(int plies) {
    TranspositionTable table;
    SilentSink sink;
    const auto search = std::make_unique<Search>(table, sink);
    std::uint64_t totalNodes = 0;
    long long totalMilliseconds = 0;
    for (int i = 0; i < BenchPositionCount; ++i) {
        BenchResult result{};
        if (!SearchPosition(*search, BenchPositions[i], plies, result)) return 1;
        totalNodes += result.nodes;
        totalMilliseconds += result.milliseconds;
        std::printf("position %2d nodes %12llu move %-8s time %lld ms\n", i + 1,
                    static_cast<unsigned long long>(result.nodes),
                    result.best.from == NoMove ? "none" : MoveNumericText(result.best).c_str(),
                    result.milliseconds);
    }
    const long long elapsed = totalMilliseconds > 0 ? totalMilliseconds : 1;
    std::printf("time %lld ms\n", totalMilliseconds);
    std::printf("nodes %llu\n", static_cast<unsigned long long>(totalNodes));
    std::printf("nps %llu\n", static_cast<unsigned long long>(totalNodes * 1000 /
                                                              static_cast<std::uint64_t>(elapsed)));
    return 0;
}

}  // namespace
}  // namespace mirabel

int main(int argc, char** argv) {
    int plies = mirabel::DefaultPlies;
    if (argc > 2) return mirabel::Usage();
    if (argc == 2 && !mirabel::ParsePlies(argv[1], plies)) {
        std::fprintf(stderr, "mirabel-bench: bad depth \"%s\"\n", argv[1]);
        return mirabel::Usage();
    }
    return mirabel::RunBench(plies);
}
