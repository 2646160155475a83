// mirabel-perft end to end: published start-position counts, the search-walk counts, and counts
// in tactical positions established by the reference rules.
#include <sys/wait.h>

#include <cstdio>
#include <map>
#include <sstream>

#include "movegen/movegen_test_util.h"
#include "movegen/reference_rules.h"

namespace mirabel::testing {
namespace {

struct PerftRun {
    int status = -1;
    std::string output;  // standard output, or standard error with `errorsOnly`
};

PerftRun RunPerft(const std::string& arguments, bool errorsOnly = false) {
    const std::string command = std::string(MIRABEL_PERFT_BINARY) + " " + arguments +
                                (errorsOnly ? " 2>&1 >/dev/null" : " 2>/dev/null");
    PerftRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return run;
    char buffer[4096];
    for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        run.output.append(buffer, n);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// Root lines and the total; the root counts must add up to the total.
struct Divide {
    std::map<std::string, std::uint64_t> perMove;
    std::uint64_t total = 0;
};

Divide Count(const std::string& arguments) {
    const PerftRun run = RunPerft(arguments);
    EXPECT_EQ(run.status, 0) << arguments;
    Divide divide;
    std::istringstream lines(run.output);
    std::uint64_t sum = 0;
    bool sawTotal = false;
    for (std::string line; std::getline(lines, line);) {
        EXPECT_FALSE(sawTotal) << "line after the total: " << line;
        if (line.rfind("total ", 0) == 0) {
            divide.total = std::stoull(line.substr(6));
            sawTotal = true;
            continue;
        }
        const std::size_t colon = line.find(": ");
        EXPECT_NE(colon, std::string::npos) << line;
        if (colon == std::string::npos) continue;
        EXPECT_EQ(divide.perMove.count(line.substr(0, colon)), 0u) << "root move twice: " << line;
        divide.perMove[line.substr(0, colon)] = std::stoull(line.substr(colon + 2));
        sum += divide.perMove[line.substr(0, colon)];
    }
    EXPECT_TRUE(sawTotal) << arguments;
    EXPECT_EQ(sum, divide.total) << arguments;
    return divide;
}

TEST(Perft, StartPositionUnderTheRules) {
    const std::uint64_t published[] = {30, 900, 25470, 719731};
    for (int depth = 1; depth <= 4; ++depth)
        EXPECT_EQ(Count("--rules " + std::to_string(depth)).total, published[depth - 1]) << depth;
    const Divide two = Count("--rules 2");
    ASSERT_EQ(two.perMove.size(), 30u);
    for (const auto& [move, count] : two.perMove) EXPECT_EQ(count, 30u) << move;
    EXPECT_EQ(two.perMove.count("7g7f"), 1u);
    EXPECT_EQ(two.perMove.count("5i4h"), 1u);
}

// The search's walk lists bishops and rooks entering or leaving the zone only promoted. From
// the start that matters from the third ply on: after 7g7f the bishop can take the pawn on 3c
// (or, after 3c3d, reach 3c and 2b), and its 30 unpromoted forms are missing at depth 3. By
// depth 4 no piece is in hand and no check can have been given, so neither pawn-drop mates nor
// the repeated evasions of an adjacent slider play a part: the walk counts exactly the legal
// sequences without such an unpromoted move. The reference rules confirm both counts
// independently (25470 - 30 = 25440 here; 719731 - 1139 = 718592 at depth 4).
TEST(Perft, StartPositionAsTheSearchWalksIt) {
    const std::uint64_t walked[] = {30, 900, 25440, 718592};
    for (int depth = 1; depth <= 4; ++depth)
        EXPECT_EQ(Count(std::to_string(depth)).total, walked[depth - 1]) << depth;
    const reference::Board start = reference::FromPosition(FromSfen(StartSfen).position);
    EXPECT_EQ(reference::Perft(start, 0, 3), 25470u);
    EXPECT_EQ(reference::WalkPerft(start, 0, 3), 25440u);
}

struct Tactical {
    const char* sfen;
    int depth;
    std::uint64_t rules, walked;
};

// Each count is also recomputed here by the reference rules.
TEST(Perft, TacticalPositionsAgreeWithTheReference) {
    const Tactical positions[] = {
        // P*1b would mate (the walk counts it, the rules do not); a huge defending hand.
        {"8k/9/6NG1/9/9/9/9/9/4K4 b PL2r2b3g4s3n3l16p 1", 2, 69183, 69183},
        // The silver on 5c shields its king's file: discovered single and double checks.
        {"4r3k/9/4s4/9/4KG3/9/9/9/9 w G 1", 3, 20560, 19134},
        // Crowded middle game: pins, a dragon in the camp, bishops in hand.
        {"l2g1k1nl/1r1s2g2/p1n1ppsp1/2pp4p/1p5P1/P1PPP1P1P/1PS2PS2/1KG2G1+r1/LN5NL b Bb 1", 2, 6577,
         6577},
        // Pawns, knights and silvers of both sides at the far ranks.
        {"ln2k2nl/1P1sgs1P1/p1N1p1N1p/2B3b2/9/9/P1S1P1S1P/1p1GKG1p1/L7L w RPrp 1", 3, 859833,
         764535},
    };
    for (const Tactical& t : positions) {
        const Game game = FromSfen(t.sfen);
        const reference::Board board = reference::FromPosition(game.position);
        EXPECT_EQ(reference::Perft(board, game.side, t.depth), t.rules) << t.sfen;
        EXPECT_EQ(reference::WalkPerft(board, game.side, t.depth), t.walked) << t.sfen;
        const std::string depth = std::to_string(t.depth) + " ";
        EXPECT_EQ(Count("--rules " + depth + t.sfen).total, t.rules) << t.sfen;
        EXPECT_EQ(Count(depth + "\"" + t.sfen + "\"").total, t.walked) << t.sfen;
    }
}

TEST(Perft, MoveTextAndSfenArguments) {
    // Words as separate arguments or as one give the same run.
    const char* sfen = "8k/9/6NG1/9/9/9/9/9/4K4 b PL2r2b3g4s3n3l16p 1";
    const PerftRun separate = RunPerft(std::string("1 ") + sfen);
    EXPECT_EQ(separate.output, RunPerft(std::string("1 \"") + sfen + "\"").output);
    const Divide root = Count(std::string("--rules 1 ") + sfen);
    EXPECT_EQ(root.perMove.count("3c2a+"), 1u);  // knight onto the last rank
    EXPECT_EQ(root.perMove.count("2c2b"), 1u);
    EXPECT_EQ(root.perMove.count("L*1b"), 1u);
    EXPECT_EQ(root.perMove.count("P*1b"), 0u);
    EXPECT_EQ(Count(std::string("1 ") + sfen).perMove.count("P*1b"), 1u);
    const Divide bishop =
        Count("--rules 1 lnsgkgsnl/1r5b1/pppppp1pp/6p2/9/2P6/PP1PPPPPP/1B5R1/LNSGKGSNL b - 3");
    EXPECT_EQ(bishop.perMove.count("8h2b+"), 1u);
    EXPECT_EQ(bishop.perMove.count("8h2b"), 1u);
}

TEST(Perft, RefusesBadArguments) {
    const char* bad[] = {"",
                         "0",
                         "x",
                         "--rules",
                         "3 junk",
                         "2 4k4/9 b - 1",
                         "1 4k4/9/9/9/9/9/9/9/9 b - 1",  // no first-player king
                         "1 lnsgkgsnl/1r5b1/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL x - 1"};
    for (const char* arguments : bad) {
        const PerftRun run = RunPerft(arguments, true);
        EXPECT_NE(run.status, 0) << arguments;
        EXPECT_NE(run.output.find("mirabel-perft: "), std::string::npos) << arguments;
    }
    EXPECT_NE(RunPerft("1 4k4/9 b - 1", true).output.find("SFEN"), std::string::npos);
}

}  // namespace
}  // namespace mirabel::testing
