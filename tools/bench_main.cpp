// mirabel-bench [DEPTH_IN_PLIES]: searches a fixed set of positions one after the other, as the
// "go" command would but to a fixed depth instead of a time limit, and prints per position its
// nodes, best move and time, then the node total (the engine's signature: the same on every
// run, platform and compiler) and the speed.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench_positions.h"
#include "search/search.h"

#ifdef _WIN32
#include <io.h>
#define BENCH_DUP _dup
#define BENCH_DUP2 _dup2
#define BENCH_CLOSE _close
#define BENCH_FILENO _fileno
constexpr const char* NullDevice = "NUL";
#else
#include <unistd.h>
#define BENCH_DUP dup
#define BENCH_DUP2 dup2
#define BENCH_CLOSE close
#define BENCH_FILENO fileno
constexpr const char* NullDevice = "/dev/null";
#endif

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

// The search writes its "info" report lines to standard output. While it runs, standard output
// is pointed at the null device, so that the bench's own lines are all that stdout shows.
// Returns the descriptor that keeps the real standard output (or -1 when it cannot be saved,
// in which case the report lines are let through).
int SilenceStdout(std::FILE* nullDevice) {
    std::fflush(stdout);
    const int saved = BENCH_DUP(BENCH_FILENO(stdout));
    if (saved >= 0) BENCH_DUP2(BENCH_FILENO(nullDevice), BENCH_FILENO(stdout));
    return saved;
}

void RestoreStdout(int saved) {
    std::fflush(stdout);
    if (saved < 0) return;
    BENCH_DUP2(saved, BENCH_FILENO(stdout));
    BENCH_CLOSE(saved);
}

// Sets the game position from `sfen` and searches it with the resets of "go" and a time limit
// that never expires. The transposition table and the random generator carry over.
bool SearchPosition(const char* sfen, int plies, std::FILE* nullDevice, BenchResult& result) {
    int side = 0;
    std::string error;
    if (!ReadSfen(sfen, GamePosition, side, error)) {
        std::fprintf(stderr, "mirabel-bench: bad position \"%s\": %s\n", sfen, error.c_str());
        return false;
    }
    const int saved = SilenceStdout(nullDevice);
    const Clock::time_point start = Clock::now();
    SearchGamePosition(side, 0xFFFFFFFFu, plies * OnePly);
    const Clock::time_point end = Clock::now();
    RestoreStdout(saved);
    result.nodes = NodeCount;
    result.best = PvTable[0][0];
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
    std::FILE* nullDevice = std::fopen(NullDevice, "w");
    if (nullDevice == nullptr) {
        std::fprintf(stderr, "mirabel-bench: cannot open %s\n", NullDevice);
        return 1;
    }
    NewGame();
    std::uint64_t totalNodes = 0;
    long long totalMilliseconds = 0;
    for (int i = 0; i < BenchPositionCount; ++i) {
        BenchResult result{};
        if (!SearchPosition(BenchPositions[i], plies, nullDevice, result)) {
            std::fclose(nullDevice);
            return 1;
        }
        totalNodes += result.nodes;
        totalMilliseconds += result.milliseconds;
        std::printf("position %2d nodes %12llu move %-8s time %lld ms\n", i + 1,
                    static_cast<unsigned long long>(result.nodes),
                    result.best.from == NoMove ? "none" : MoveNumericText(result.best),
                    result.milliseconds);
    }
    std::fclose(nullDevice);
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
