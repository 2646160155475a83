// The "go" fields and the time manager's budget rule: a table of clock fields and the budget
// each gives, for a network delay of 120 ms.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "usi/usi.h"

namespace mirabel {
namespace {

TEST(TimeManager, BudgetFromTheClockFields) {
    // go line, side to move, soft and hard limit in ms (0, 0: no time limit)
    const std::tuple<const char*, int, unsigned, unsigned> cases[] = {
        // The engine's own budget whenever the clock allows it.
        {"go", 0, 2800, 2800},
        {"go btime 60000 wtime 60000 byoyomi 3000", 0, 2800, 2800},
        {"go btime 600000 wtime 1000 binc 10000 winc 10000", 0, 2800, 2800},
        {"go btime 300000 wtime 300000 movestogo 40", 1, 2800, 2800},
        // Byoyomi: all of it and a share of the main time, less the margin.
        {"go btime 0 wtime 0 byoyomi 1000", 0, 880, 880},
        {"go btime 20000 wtime 0 byoyomi 1000", 0, 2000, 2000},
        {"go btime 20000 wtime 0 byoyomi 1000", 1, 880, 880},
        // Sudden death: a thirtieth of the time left, at most twice that if an iteration runs.
        {"go btime 30000 wtime 30000", 0, 1000, 2000},
        {"go btime 630 wtime 20000", 0, 21, 42},
        {"go btime 100 wtime 20000", 0, 1, 1},  // inside the margin: the least there is
        {"go btime -200 wtime 20000", 0, 1, 1},
        // Increment: the share plus the increment, never past the flag.
        {"go btime 10000 wtime 10000 binc 1000 winc 1000", 0, 1333, 2666},
        {"go btime 500 wtime 10000 binc 1000 winc 1000", 0, 380, 380},
        {"go btime 3000 wtime 3000 movestogo 1", 0, 2800, 2800},
        {"go btime 2000 wtime 3000 movestogo 1", 0, 1880, 1880},
        {"go btime 4000 wtime 0 byoyomi 1000 movestogo 4", 0, 2000, 2000},
        // A fixed time per move, less the margin; a tiny one still gets a millisecond.
        {"go movetime 500", 0, 380, 380},
        {"go movetime 50 btime 100000", 0, 1, 1},
        {"go depth 5 movetime 0", 0, 1, 1},  // a depth with a time is no longer alone
        // No time limit: analysis, pondering (until ponderhit), fixed depth or nodes alone.
        {"go infinite", 0, 0, 0},
        {"go ponder btime 0 wtime 0 byoyomi 1000", 0, 0, 0},
        {"go depth 5", 0, 0, 0},
        {"go nodes 100000", 0, 0, 0}};
    for (const auto& [line, side, soft, hard] : cases) {
        std::string refusal;
        const TimeBudget budget = BudgetFor(ReadGoCommand(SplitWords(line), refusal), side, 120);
        EXPECT_EQ(refusal, "") << line;
        EXPECT_EQ(budget.unlimited, soft == 0) << line;
        if (soft == 0) continue;
        EXPECT_EQ(std::make_pair(budget.soft, budget.hard), std::make_pair(soft, hard))
            << line << " side " << side;
    }
}

// Every field is read by the budgets above and the engine's sessions; here the ones that are not.
// Eight words fill the list of words exactly: a look past the last one is outside it.
TEST(TimeManager, GoFieldsThatCannotBeRead) {
    std::string refusal;
    const GoLimits limits =
        ReadGoCommand(SplitWords("go btime x wtime 99999999999999999999 depth 0 byoyomi"), refusal);
    EXPECT_EQ(refusal,
              "go: ignored \"btime\" \"x\" \"wtime\" \"99999999999999999999\" \"depth\" "
              "\"0\" \"byoyomi\"");
    EXPECT_TRUE(limits.time[0] == -1 && limits.depth == 0);
    EXPECT_TRUE(ReadGoCommand(SplitWords("go mate 5"), refusal).mate);
}

}  // namespace
}  // namespace mirabel
