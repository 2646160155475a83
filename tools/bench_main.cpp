// mirabel-bench [--threads N] [DEPTH_IN_PLIES]: searches a fixed set of positions one after the
// other, as the "go" command would but to a fixed depth instead of a time limit, and prints per
// position its nodes, best move and time, then the node total (with one thread the engine's
// signature: the same on every run, platform and compiler) and the speed.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "bench_positions.h"
#include "search/search.h"
#include "search/threads.h"

namespace mirabel {
namespace {

constexpr int DefaultPlies = 7;
constexpr int MinPlies = 3;  // the first iteration of the search
constexpr int MaxPlies = 15;
constexpr int MaxThreads = SearchThreads::MaxThreads;

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
bool SearchPosition(SearchThreads& search, const char* sfen, int plies, BenchResult& result) {
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
    search.Join();  // every helper's nodes counted
    result.nodes = search.Nodes();
    result.best = search.BestMove();
    result.milliseconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(end - start).count();
    return true;
}

// A whole number within [low, high].
bool ParseWhole(const char* text, int low, int high, int& number) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < low || value > high) return false;
    number = static_cast<int>(value);
    return true;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: mirabel-bench [--threads N] [DEPTH_IN_PLIES]\n"
                 "  DEPTH_IN_PLIES: a whole number from %d to %d (default %d)\n"
                 "  N: searches at once, each on a thread, from 1 to %d (default 1)\n",
                 MinPlies, MaxPlies, DefaultPlies, MaxThreads);
    return 2;
}

int RunBench(int plies, int threads) {
    TranspositionTable table;
    SilentSink sink;
    const auto search = std::make_unique<SearchThreads>(table, sink);
    if (!search->SetCount(threads)) {
        std::fprintf(stderr, "mirabel-bench: only %d threads could be started\n", search->Count());
        return 1;
    }
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
    if (threads > 1)
        std::printf(
            "nodes and nps are summed over %d threads; their searches race, so the count "
            "differs from run to run\n",
            threads);
    return 0;
}

}  // namespace
}  // namespace mirabel

int main(int argc, char** argv) {
    using namespace mirabel;
    int plies = DefaultPlies;
    int threads = 1;
    int first = 1;
    if (argc >= 2 && std::string(argv[1]) == "--threads") {
        if (argc < 3 || !ParseWhole(argv[2], 1, MaxThreads, threads)) {
            std::fprintf(stderr, "mirabel-bench: bad thread count \"%s\"\n",
                         argc < 3 ? "" : argv[2]);
            return Usage();
        }
        first = 3;
    }
    if (argc > first + 1) return Usage();
    if (argc == first + 1 && !ParseWhole(argv[first], MinPlies, MaxPlies, plies)) {
        std::fprintf(stderr, "mirabel-bench: bad depth \"%s\"\n", argv[first]);
        return Usage();
    }
    return RunBench(plies, threads);
}
