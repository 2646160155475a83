// mirabel-bench: its positions are sound, its node total (the engine's signature) is pinned,
// its output is its own lines only, and a bad depth is refused.
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "../../tools/bench_positions.h"
#include "search_test_support.h"
#include "usi/usi.h"

namespace mirabel::test {
namespace {

// The node total of `mirabel-bench 5`. A change of this number means the search now walks a
// different tree: a speed-up must leave it alone, a change of behaviour must update it.
constexpr unsigned long long PinnedNodesAtFivePlies = 697445;

TEST(BenchPositions, AreReadableLegalAndCoverTheKindsOfPosition) {
    EnsureGameTables();
    ASSERT_GE(BenchPositionCount, 12);
    EXPECT_STREQ(BenchPositions[0], StartSfen);
    int inCheck = 0;
    int richHands = 0;
    for (const char* sfen : BenchPositions) {
        Position position{};
        int side = 0;
        int moveNumber = 0;
        std::string error;
        ASSERT_TRUE(ReadSfen(sfen, position, side, moveNumber, error)) << sfen << ": " << error;
        EXPECT_EQ(WriteSfen(position, side, moveNumber), sfen);
        // The side that has just moved never stands in check, and the side to move can move.
        EXPECT_FALSE(InCheckNow(1 - side, position)) << sfen;
        EXPECT_TRUE(HasLegalMove(side, position)) << sfen;
        inCheck += InCheckNow(side, position) ? 1 : 0;
        int inHand = 0;
        for (const auto& hand : position.hand)
            for (const std::int8_t count : hand) inHand += count;
        richHands += inHand >= 8 ? 1 : 0;
    }
    EXPECT_GE(inCheck, 2);
    EXPECT_GE(richHands, 3);
    // The last one is the console game's start position, gote to move.
    Position console{};
    int side = 0;
    std::string error;
    ASSERT_TRUE(ReadSfen(BenchPositions[BenchPositionCount - 1], console, side, error));
    EXPECT_EQ(side, 1);
    EXPECT_EQ(std::memcmp(console.board, ConsoleStartPosition.board, sizeof console.board), 0);
    EXPECT_EQ(std::memcmp(console.hand, ConsoleStartPosition.hand, sizeof console.hand), 0);
}

struct RunResult {
    int status;
    std::vector<std::string> lines;
};

RunResult RunBench(const std::string& arguments) {
    const std::string command =
        std::string(MIRABEL_BENCH_BINARY) + " " + arguments + " 2>/dev/null";
    RunResult result{-1, {}};
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return result;
    std::array<char, 512> buffer{};
    while (std::fgets(buffer.data(), static_cast<int>(buffer.size()), pipe) != nullptr)
        result.lines.emplace_back(buffer.data());
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

TEST(BenchTool, PrintsOneLinePerPositionThenTheTotalsWithThePinnedNodeCount) {
    const RunResult run = RunBench("5");
    ASSERT_EQ(run.status, 0);
    ASSERT_EQ(run.lines.size(), static_cast<std::size_t>(BenchPositionCount) + 3);
    unsigned long long sum = 0;
    for (int i = 0; i < BenchPositionCount; ++i) {
        int number = 0;
        unsigned long long nodes = 0;
        char move[16] = {};
        long long milliseconds = -1;
        ASSERT_EQ(std::sscanf(run.lines[i].c_str(), "position %d nodes %llu move %15s time %lld ms",
                              &number, &nodes, move, &milliseconds),
                  4)
            << run.lines[i];
        EXPECT_EQ(number, i + 1);
        EXPECT_GT(nodes, 0u);
        EXPECT_STRNE(move, "none") << run.lines[i];
        EXPECT_GE(milliseconds, 0);
        sum += nodes;
    }
    const std::size_t totals = static_cast<std::size_t>(BenchPositionCount);
    EXPECT_EQ(run.lines[totals].rfind("time ", 0), 0u) << run.lines[totals];
    EXPECT_EQ(run.lines[totals + 1], "nodes " + std::to_string(PinnedNodesAtFivePlies) + "\n");
    EXPECT_EQ(sum, PinnedNodesAtFivePlies);
    unsigned long long nps = 0;
    EXPECT_EQ(std::sscanf(run.lines[totals + 2].c_str(), "nps %llu", &nps), 1);
}

TEST(BenchTool, RefusesABadDepthWithoutSearching) {
    for (const char* arguments : {"2", "16", "-5", "five", "5x", "\"\"", "5 6"}) {
        const RunResult run = RunBench(arguments);
        EXPECT_NE(run.status, 0) << arguments;
        EXPECT_TRUE(run.lines.empty()) << arguments;
    }
}

}  // namespace
}  // namespace mirabel::test
