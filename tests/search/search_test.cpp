// The search: what it plays (mates, material, the pawn-drop rule, legal moves on random
// positions with the game position untouched), its report text, and its internals: the
// transposition table, the ply bound, the random part of the ordering, history, the sort.
#include "search/search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <vector>

#include "support/child_process.h"

namespace mirabel::test {
namespace {

constexpr int Mate = -ScoreNoMove;  // the root's score once the opponent is mated
constexpr auto At = [](int file, char rank) { return (rank - 'a') * 9 + 9 - file; };

// Sets the game position on an empty table and a reseeded random part; returns the side.
int SetGame(const char* sfen) {
    static const bool built = (NewGame(), true);
    int side = 0;
    std::string error;
    EXPECT_TRUE(built && ReadSfen(sfen, GamePosition, side, error)) << sfen << ": " << error;
    GamePosition.material = MaterialBalance(0, GamePosition);
    ClearTable();
    SeedOrderingRandom(1);
    return side;
}

struct Outcome {
    int score;
    Move move;
    std::string report;
};

// Searches up to `plies` with the resets "go" makes, capturing the report. The game position
// must come back byte-for-byte; the move must be legal by the full rules, or none when there
// is no legal move or no iteration finished.
Outcome Search(int side, int plies, std::uint32_t timeLimit = 0xFFFFFFFFu) {
    const Position before = GamePosition;
    testing::internal::CaptureStdout();
    const int score = SearchGamePosition(side, timeLimit, plies * OnePly);
    Outcome outcome{score, PvTable[0][0], testing::internal::GetCapturedStdout()};
    const std::string where = WriteSfen(before, side) + " " + MoveNumericText(outcome.move);
    // Padding too: the search restores the position by whole-record copies.
    // NOLINTNEXTLINE(bugprone-suspicious-memory-comparison)
    EXPECT_EQ(std::memcmp(&before, &GamePosition, sizeof before), 0) << where;
    static Move legal[MoveListSize];
    const int count = GenerateLegalMoves(side, GamePosition, legal);
    bool listed = outcome.move.from == NoMove && (count == 0 || score == -ScoreInfinity);
    for (int i = 0; i < count; ++i)
        listed |= SameMove(legal[i], outcome.move) &&
                  (outcome.move.from < 0 || legal[i].piece == outcome.move.piece);
    EXPECT_TRUE(listed) << where;
    return outcome;
}

TEST(Tactics, MatesMaterialAndThePawnDropRule) {
    struct Case {
        const char* sfen;
        int plies, from, to, low, high;
        bool played;
    } const cases[] = {
        {"4k4/9/4P4/9/9/9/9/9/4K4 b G 1", 3, -Gold, At(5, 'b'), Mate, Mate, true},
        {"4k4/9/9/9/9/9/4p4/9/4K4 w g 1", 3, -Gold, At(5, 'h'), Mate, Mate, true},
        {"4k4/9/9/9/4r4/9/9/9/B4K3 b - 1", 4, At(9, 'i'), At(5, 'e'), 1, 9999, true},
        // Rook takes pawn loses the rook to the gold; pawn takes pawn wins the gold.
        {"4k4/9/4g4/4p1R2/4P4/9/9/9/4K4 b - 1", 4, At(5, 'e'), At(5, 'd'), 1, 9999, true},
        // P*1b would mate (2a, 2b by the gold, 1b by the knight) but is illegal; with a rook in
        // the opponent's hand no legal line mates within the horizon.
        {"8k/6G2/9/7N1/9/9/9/9/4K4 b Pr 1", 3, -Pawn, At(1, 'b'), -9999, 9999, false},
        {"8k/6G2/9/7N1/9/9/9/9/4K4 b Pr 1", 4, -Pawn, At(1, 'b'), -9999, 9999, false},
        // P*1b checks; the king's only flight, 2a, meets a knight drop mate. The drop's child
        // scores ScoreNoMove later on, which must not be taken for a mate by the drop.
        {"6s1k/9/7G1/9/9/9/9/9/4K4 b PN 1", 3, -Pawn, At(1, 'b'), Mate, Mate, true},
    };
    for (const Case& c : cases) {
        const Outcome outcome = Search(SetGame(c.sfen), c.plies);
        EXPECT_EQ(outcome.move.from == c.from && outcome.move.to == c.to, c.played) << c.sfen;
        EXPECT_TRUE(outcome.score >= c.low && outcome.score <= c.high) << c.sfen;
    }
}

TEST(Tactics, MateInThreeIsPlayedToTheEndAgainstEveryDefence) {
    const int side = SetGame("8k/6G2/9/9/9/9/9/9/4K4 b PB 1");  // no mate in one
    Outcome outcome = Search(side, 3);
    EXPECT_EQ(outcome.score, Mate);
    MakeMove(side, GamePosition, outcome.move);
    const Position afterFirst = GamePosition;
    static Move replies[MoveListSize];
    const int count = GenerateLegalMoves(1 - side, afterFirst, replies);
    for (int i = 0; i < count; ++i) {
        GamePosition = afterFirst;
        MakeMove(1 - side, GamePosition, replies[i]);
        outcome = Search(side, 3);
        MakeMove(side, GamePosition, outcome.move);
        EXPECT_EQ(outcome.score, Mate);
        EXPECT_TRUE(InCheckNow(1 - side, GamePosition) && !HasLegalMove(1 - side, GamePosition));
    }
}

TEST(Search, OnPositionsOfRandomGamesPlaysALegalMoveAndLeavesThePositionAsItWas) {
    std::uint32_t random = 20240601u;
    static Move legal[MoveListSize];
    for (const char* start :
         {StartSfen, "l2k1s3/1Gp5l/ns1p1gn1p/1p2p2p1/9/9/+b3+rP2P/2S1G3B/5K1NL w RN2Pgsl8p 140",
          "2+Ns1g1nl/+B+Rn1k1s2/l1pppp2p/p5pp1/2P6/P4P3/L5PPP/2+l3Sg+r/K4B1N1 w SG3Pgp 1"}) {
        int side = SetGame(start);
        for (int step = 0; step < 150; ++step, side = 1 - side) {
            if (step % 5 == 0) Search(side, 3);  // which checks the move and the position
            const auto count = static_cast<unsigned>(GenerateLegalMoves(side, GamePosition, legal));
            if (count == 0) break;
            random = random * 1103515245u + 12345u;
            MakeMove(side, GamePosition, legal[(random >> 8) % count]);
        }
    }
}

TEST(Report, ExactTextOfTheLine) {
    // Drops "00", "!" for a promotion, gote's codes named alike, "9191" for an all-zero record;
    // of twelve moves ten are shown. The node count is 64-bit.
    ClearMoveTables();
    for (int i = 0; i < 12; ++i) PvTable[0][i] = BoardMove(60 + i % 9, 51 + i % 9, Silver, 0);
    PvTable[0][1] = DropMove(Bishop, 40);
    PvTable[0][2] = BoardMove(64, 16, Bishop, 1);
    PvTable[0][3] = Move{};
    PvTable[0][4] = BoardMove(8, 80, -ProLance, 0);
    IterationDepth = 15;
    NodeCount = 5000000000ull;
    testing::internal::CaptureStdout();
    ReportSearch(-87);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "info depth 15 score cp -87 nodes 5000000000 info string "
              "3736GI-0055KA-8822KA!-9191-1119NA-7877GI-6867GI-5857GI-4847GI-3736GI-\n");
    // A search's final line; below three plies no iteration runs and no move is found.
    const std::string report = Search(SetGame("4k4/9/4P4/9/9/9/9/9/4K4 b G 1"), 4).report;
    EXPECT_EQ(report.substr(report.rfind("info depth")), "info depth 4 score cp 888887 nodes " +
                                                             std::to_string(NodeCount) +
                                                             " info string 0052KI-\n");
    IterationDepth = 7;
    EXPECT_EQ(Search(0, 2).report, "info depth 7 score cp -99999999 nodes 0 info string \n");
}

struct Line {
    int depth = 2;  // as before the first iteration
    int score = -ScoreInfinity;
    std::string variation;
};

TEST(Report, AfterATimeOutTheInterruptedDepthAndVariationWithTheFinishedScore) {
    const int side =
        SetGame("2+Ns1g1nl/+B+Rn1k1s2/l1pppp2p/p5pp1/2P6/P4P3/L5PPP/2+l3Sg+r/K4B1N1 w GS3Pgp 1");
    const Outcome outcome = Search(side, 15, 300);  // far too deep to finish
    ASSERT_TRUE(TimeOver == 1 && !outcome.report.empty());
    Line before, final, lastOfDepth[16];
    std::istringstream stream(outcome.report);
    for (std::string text; std::getline(stream, text); lastOfDepth[final.depth] = final) {
        before = final;
        int at = 0;
        ASSERT_TRUE(std::sscanf(text.c_str(), "info depth %d score cp %d nodes %*u info string %n",
                                &final.depth, &final.score, &at) == 2 &&
                    at > 0 && final.depth <= 15)
            << text;
        final.variation = text.substr(static_cast<std::size_t>(at));
    }
    // Depth: the iteration started last. Variation: the one it left, the last one reported.
    EXPECT_TRUE(final.depth == before.depth || final.depth == before.depth + 1);
    EXPECT_EQ(final.variation, before.variation);
    // Score and move: the last improvement of the last finished iteration, if there is one.
    const Line& finished = lastOfDepth[final.depth - 1];
    EXPECT_EQ(final.score, finished.score);
    const std::string move = outcome.move.from == NoMove ? "" : MoveNumericText(outcome.move);
    EXPECT_EQ((finished.variation + "-").substr(0, move.size() + 1), move + "-");
}

TEST(TranspositionTable, SlotReplacementAndProbeRules) {
    constexpr std::uint32_t Lo = 0x1234ABCDu, Hi = 0x0BADF00Du;
    const Move moves[] = {BoardMove(60, 1, Rook, 0), BoardMove(60, 2, Rook, 0)};
    ClearTable();
    // The slot: key bits 0-15 and 18, in the half of the side; a miss hands it over as well.
    TableEntry* slot = nullptr;
    EXPECT_FALSE(ProbeTable(1, Lo ^ 0xFFFB0000u, 1, -500, 500, 0, slot));
    EXPECT_EQ(slot, &TranspositionTable[TableHalf + (Lo & TableMask)]);
    // A shallower store leaves the entry; an equal or deeper one replaces it whatever key held
    // the slot, and the old best move becomes the previous one.
    StoreTable(0, Lo ^ 0x10000u, Hi + 1, 20, moves[0], 50, BoundExact);
    StoreTable(0, Lo, Hi, 16, moves[1], 60, BoundLower);
    slot = &TranspositionTable[Lo & TableMask];
    EXPECT_TRUE(slot->keyHi == Hi + 1 && slot->depth == 20 && slot->score == 50);
    StoreTable(0, Lo, Hi, 20, moves[1], 100, BoundLower);
    EXPECT_TRUE(slot->keyLo == Lo && slot->keyHi == Hi && slot->bound == BoundLower);
    EXPECT_TRUE(SameMove(slot->best, moves[1]) && SameMove(slot->previous, moves[0]));
    // A probe hits its own full key, deep enough, with a bound that settles the window.
    // Each case: bound, alpha, beta, depth, upper key half changed, hit.
    const int probes[][6] = {{BoundExact, 300, 301, 20, 0, 1},  {BoundExact, -500, -400, 16, 0, 1},
                             {BoundExact, -500, 500, 24, 0, 0}, {BoundExact, -500, 500, 0, 1, 0},
                             {BoundUpper, 100, 200, 20, 0, 1},  {BoundUpper, 99, 200, 20, 0, 0},
                             {BoundLower, 0, 100, 20, 0, 1},    {BoundLower, 0, 101, 20, 0, 0}};
    for (const auto& p : probes) {
        slot->bound = static_cast<std::int8_t>(p[0]);
        TableEntry* found = nullptr;
        EXPECT_EQ(ProbeTable(0, Lo, Hi ^ static_cast<std::uint32_t>(p[4]), p[1], p[2], p[3], found),
                  p[5] == 1)
            << p[1];
        EXPECT_TRUE(found == slot && SameMove(found->best, moves[1]));
    }
}

TEST(PlyBound, PlyThirtyOneGivesTheStaticScoreWithoutANode) {
    const int side = SetGame("4k4/9/9/9/4R4/9/9/9/4K3G w - 1");  // gote in check
    Search(side, 0);  // the resets of a search, without an iteration
    const Position before = GamePosition;
    InCheck[MaxPly - 1] = 1;
    EXPECT_EQ(AlphaBeta(side, -ScoreInfinity, ScoreInfinity, 40, MaxPly - 1, 0), -before.material);
    EXPECT_EQ(NodeCount, 0u);
    // NOLINTNEXTLINE(bugprone-suspicious-memory-comparison)
    EXPECT_EQ(std::memcmp(&before, &GamePosition, sizeof before), 0);
}

TEST(Ordering, PortableRandomHistoryCountersAndAStableSort) {
    SeedOrderingRandom();
    for (const int value : {41, 18467, 6334, 26500, 19169}) EXPECT_EQ(OrderingRandom(), value);
    // The tried counter past 10000 halves both counters of its pair, and no other pair.
    ClearHistory();
    HistoryTried[50][31] = 9996;
    HistoryGood[50][31] = 601;
    HistoryTried[50][32] = 9999;
    AddTried(BoardMove(40, 31, Silver, 0), 4);  // exactly 10000: kept
    EXPECT_EQ(HistoryTried[50][31], 10000);
    AddTried(BoardMove(40, 31, Silver, 0), 4);
    EXPECT_TRUE(HistoryTried[50][31] == 5002 && HistoryGood[50][31] == 300);
    EXPECT_EQ(HistoryTried[50][32], 9999);
    // Drops use the rows of from = -kind. From zero, -4 wraps to 65532 and so halves at once;
    // the good counter wraps too and never halves.
    HistoryGood[10 - Rook][10] = 9;
    AddTried(DropMove(Rook, 10), -4);
    EXPECT_TRUE(HistoryTried[10 - Rook][10] == 32766 && HistoryGood[10 - Rook][10] == 4);
    AddGood(DropMove(Rook, 10), -8);
    EXPECT_EQ(HistoryGood[10 - Rook][10], 65532);
    // The sort against std::stable_sort, over lists with many ties and some far-apart scores.
    static Move sorted[MoveListSize];
    std::uint32_t state = 7;
    for (const int count : {0, 1, 2, 9, 17, 100, MoveListSize}) {
        for (int i = 0; i < count; ++i, state = state * 1103515245u + 12345u) {
            sorted[i] = BoardMove(i / 81, i % 81, 1, 0);
            sorted[i].score = static_cast<int>((state >> 16) % 9) * 20000 - 80000 + (i & 1);
        }
        std::vector<Move> reference(sorted, sorted + count);
        std::stable_sort(reference.begin(), reference.end(),
                         [](const Move& a, const Move& b) { return a.score > b.score; });
        // Whole at once, or picked move by move as a node walks its list: the same order.
        static Move picked[MoveListSize];
        std::copy(sorted, sorted + count, picked);
        SortMoves(sorted, count);
        for (int i = 0; i < count; ++i) {
            PutNextInOrder(picked, count, i);
            ASSERT_TRUE(SameMove(sorted[i], reference[i]) && sorted[i].score == reference[i].score);
            ASSERT_TRUE(SameMove(picked[i], reference[i]));
        }
    }
}

// Runs mirabel-bench with `arguments`, appending its standard output; returns its exit status.
int RunBench(const std::string& arguments, std::string& output) {
    const Completed run = RunToEnd(MIRABEL_BENCH_BINARY, Words(arguments));
    output += run.output;
    return run.status;
}

TEST(Bench, PinnedNodeTotalAtFivePliesAndABadDepthRefused) {
    std::string output;
    ASSERT_EQ(RunBench("5", output), 0);
    // The node total of `mirabel-bench 5` is the engine's signature: a speed-up must leave it
    // alone; a change of the search's behaviour must update it.
    EXPECT_NE(output.find("\nnodes 697445\n"), std::string::npos) << output;
    for (const char* bad : {"2", "16", "-5", "five", "5x", "5 6"}) {
        output.clear();
        EXPECT_NE(RunBench(bad, output), 0) << bad;
        EXPECT_EQ(output, "") << bad;
    }
}

}  // namespace
}  // namespace mirabel::test
