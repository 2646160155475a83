// The search: what it plays, its reports, two searches in one process, and its parts: the
// transposition table, the ordering's random sequence, history and sort; mirabel-bench.
#include "search/search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "console/console.h"
#include "support/child_process.h"

namespace mirabel::test {
namespace {

constexpr int Mate = -ScoreNoMove;  // the root's score once the opponent is mated
constexpr auto At = [](int file, char rank) { return (rank - 'a') * 9 + 9 - file; };

class RecordingSink final : public ReportSink {
  public:
    std::vector<SearchReport> reports;
    void Report(const SearchReport& report) override { reports.push_back(report); }
};

// The reports as the engine writes them.
std::string TextOf(const std::vector<SearchReport>& reports) {
    std::FILE* file = std::tmpfile();
    TextReportSink text(file);
    for (const SearchReport& report : reports) text.Report(report);
    std::string result(static_cast<std::size_t>(std::ftell(file)), '\0');
    std::rewind(file);
    EXPECT_EQ(std::fread(result.data(), 1, result.size(), file), result.size());
    std::fclose(file);
    return result;
}

// Whether the moves are legal under the full rules one after the other from `position`.
bool LegalInTurn(Position position, int side, const Move* moves, int count) {
    static Move legal[MoveListSize];
    for (int m = 0; m < count; ++m, side = 1 - side) {
        const int listed = GenerateLegalMoves(side, position, legal);
        const Move* found = std::find_if(legal, legal + listed, [&](const Move& move) {
            return SameMove(move, moves[m]) && (moves[m].from < 0 || move.piece == moves[m].piece);
        });
        if (found == legal + listed) return false;
        MakeMove(side, position, *found);
    }
    return true;
}

// The position of a test, searched by a fresh search on one table cleared for each test.
Position position{};
RecordingSink sink;
std::unique_ptr<Search> search;

int SetGame(const char* sfen) {  // returns the side to move
    static const bool built = (NewGame(), true);
    static TranspositionTable table;
    int side = 0;
    std::string error;
    EXPECT_TRUE(built && ReadSfen(sfen, position, side, error)) << sfen << ": " << error;
    position.material = MaterialBalance(0, position);
    table.Clear();
    search = std::make_unique<Search>(table, sink);
    return side;
}

struct Outcome {
    int score;
    Move move;
    std::vector<SearchReport> reports;
};

// Searches with the resets "go" makes. The move must be legal (or none when there is no legal
// move or no iteration finished), and so must the first move of every variation reported;
// later moves can be entries left by an earlier line.
Outcome SearchGame(int side, int plies, std::uint32_t timeLimit = 0xFFFFFFFFu) {
    sink.reports.clear();
    const int score = search->Run(position, side, SearchLimits{timeLimit, plies});
    Outcome outcome{score, search->BestMove(), sink.reports};
    const std::string where = WriteSfen(position, side) + " " + MoveNumericText(outcome.move);
    static Move legal[MoveListSize];
    const bool none = outcome.move.from == NoMove &&
                      (GenerateLegalMoves(side, position, legal) == 0 || score == -ScoreInfinity);
    EXPECT_TRUE(none || LegalInTurn(position, side, &outcome.move, 1)) << where;
    for (const SearchReport& report : outcome.reports)
        EXPECT_TRUE(LegalInTurn(position, side, report.pv, std::min(report.pvLength, 1)))
            << where << " " << TextOf({report});
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
        // P*1b would mate but is illegal; with a rook in the opponent's hand no legal line mates
        // within the horizon.
        {"8k/6G2/9/7N1/9/9/9/9/4K4 b Pr 1", 3, -Pawn, At(1, 'b'), -9999, 9999, false},
        {"8k/6G2/9/7N1/9/9/9/9/4K4 b Pr 1", 4, -Pawn, At(1, 'b'), -9999, 9999, false},
        // P*1b checks; the king's only flight meets a knight drop mate. The drop's child scores
        // ScoreNoMove later on, which must not be taken for a mate by the drop.
        {"6s1k/9/7G1/9/9/9/9/9/4K4 b PN 1", 3, -Pawn, At(1, 'b'), Mate, Mate, true},
    };
    for (const Case& c : cases) {
        const Outcome outcome = SearchGame(SetGame(c.sfen), c.plies);
        EXPECT_EQ(outcome.move.from == c.from && outcome.move.to == c.to, c.played) << c.sfen;
        EXPECT_TRUE(outcome.score >= c.low && outcome.score <= c.high) << c.sfen;
    }
}

TEST(Tactics, MateInThreeIsPlayedToTheEndAgainstEveryDefence) {
    const int side = SetGame("8k/6G2/9/9/9/9/9/9/4K4 b PB 1");  // no mate in one
    Outcome outcome = SearchGame(side, 3);
    EXPECT_EQ(outcome.score, Mate);
    MakeMove(side, position, outcome.move);
    const Position afterFirst = position;
    static Move replies[MoveListSize];
    for (int i = 0, count = GenerateLegalMoves(1 - side, afterFirst, replies); i < count; ++i) {
        position = afterFirst;
        MakeMove(1 - side, position, replies[i]);
        outcome = SearchGame(side, 3);
        MakeMove(side, position, outcome.move);
        EXPECT_EQ(outcome.score, Mate);
        EXPECT_TRUE(InCheckNow(1 - side, position) && !HasLegalMove(1 - side, position));
    }
}

TEST(Search, OnPositionsOfRandomGamesPlaysALegalMove) {
    std::uint32_t random = 20240601u;
    static Move legal[MoveListSize];
    for (const char* start :
         {StartSfen, "l2k1s3/1Gp5l/ns1p1gn1p/1p2p2p1/9/9/+b3+rP2P/2S1G3B/5K1NL w RN2Pgsl8p 140",
          ConsoleStartSfen}) {
        int side = SetGame(start);
        for (int step = 0; step < 150; ++step, side = 1 - side) {
            if (step % 5 == 0) SearchGame(side, 3);  // which checks the move and the variations
            const auto count = static_cast<unsigned>(GenerateLegalMoves(side, position, legal));
            if (count == 0) break;
            random = random * 1103515245u + 12345u;
            MakeMove(side, position, legal[(random >> 8) % count]);
        }
    }
}

TEST(Report, ExactTextOfTheLines) {
    // Drops "00", "!" for a promotion, gote's codes named alike, "9191" for an all-zero record;
    // the node count is 64-bit.
    SearchReport report{};
    for (int i = 0; i < PvShown; ++i) report.pv[i] = BoardMove(60 + i % 9, 51 + i % 9, Silver, 0);
    report.pv[1] = DropMove(Bishop, 40);
    report.pv[2] = BoardMove(64, 16, Bishop, 1);
    report.pv[3] = Move{};
    report.pv[4] = BoardMove(8, 80, -ProLance, 0);
    report.pvLength = PvShown;
    report.depth = 15;
    report.score = -87;
    report.nodes = 5000000000ull;
    SearchReport empty{};
    empty.depth = 7;
    empty.score = -ScoreInfinity;
    EXPECT_EQ(TextOf({report, empty}),
              "info depth 15 score cp -87 nodes 5000000000 info string "
              "3736GI-0055KA-8822KA!-9191-1119NA-7877GI-6867GI-5857GI-4847GI-3736GI-\n"
              "info depth 7 score cp -99999999 nodes 0 info string \n");
    // One report per new best root move, then a final one with the score found.
    const Outcome outcome = SearchGame(SetGame("4k4/9/4P4/9/9/9/9/9/4K4 b G 1"), 4);
    ASSERT_GE(outcome.reports.size(), 2u);
    const SearchReport& last = outcome.reports.back();
    EXPECT_TRUE(last.final && last.depth == 4 && last.score == Mate);
    EXPECT_EQ(last.nodes, search->Nodes());
    EXPECT_EQ(TextOf({last}), "info depth 4 score cp 888887 nodes " + std::to_string(last.nodes) +
                                  " info string 0052KI-\n");
    for (std::size_t i = 0; i + 1 < outcome.reports.size(); ++i)
        EXPECT_FALSE(outcome.reports[i].final);
}

TEST(Report, AfterATimeOutTheInterruptedDepthAndVariationWithTheFinishedScore) {
    const Outcome outcome = SearchGame(SetGame(ConsoleStartSfen), 15, 300);  // cannot finish
    ASSERT_TRUE(search->TimedOut() && outcome.reports.size() >= 2);
    const SearchReport& final = outcome.reports.back();
    const SearchReport& before = outcome.reports[outcome.reports.size() - 2];
    EXPECT_TRUE(final.final && final.elapsedMs >= 300 && final.elapsedMs >= before.elapsedMs);
    // Depth: the iteration started last. Variation: the last one reported.
    EXPECT_TRUE(final.depth == before.depth || final.depth == before.depth + 1);
    const auto variation = [](const SearchReport& r) {
        const std::string text = TextOf({r});
        return text.substr(text.find("info string"));
    };
    EXPECT_EQ(variation(final), variation(before));
    // Score and move: the last improvement of the last finished iteration.
    const auto finished =
        std::find_if(outcome.reports.rbegin() + 1, outcome.reports.rend(),
                     [&](const SearchReport& r) { return r.depth < final.depth; });
    ASSERT_NE(finished, outcome.reports.rend());
    EXPECT_EQ(final.score, finished->score);
    EXPECT_TRUE(finished->pvLength > 0 && SameMove(finished->pv[0], outcome.move));
}

// Two searches of one process, each with its own table, searched in turn: each gives what it
// gives when it runs alone.
TEST(Search, TwoSearchesInTurnGiveWhatEachGivesAlone) {
    NewGame();
    const char* sfens[2][2] = {
        {StartSfen,
         "ln1g1g1nl/1ks2rs2/1pppp1bpp/p4pp2/7P1/P1P1P1P2/1P1P1P2P/1BK1GS1R1/LNSG3NL b - 21"},
        {ConsoleStartSfen,
         "l2k1s3/1Gp5l/ns1p1gn1p/1p2p2p1/9/9/+b3+rP2P/2S1G3B/5K1NL w RN2Pgsl8p 140"}};
    struct Player {
        std::unique_ptr<TranspositionTable> table = std::make_unique<TranspositionTable>();
        RecordingSink sink;
        Search search{*table, sink};
        std::string log;
        void Play(const char* sfen) {
            Position at{};
            int side = 0;
            std::string error;
            ASSERT_TRUE(ReadSfen(sfen, at, side, error)) << error;
            const int score = search.Run(at, side, SearchLimits{0xFFFFFFFFu, 5});
            log += std::to_string(score) + " " + std::to_string(search.Nodes()) + " " +
                   MoveNumericText(search.BestMove()) + "\n" + TextOf(sink.reports);
            sink.reports.clear();
        }
    };
    const auto alone = std::make_unique<Player[]>(2), inTurn = std::make_unique<Player[]>(2);
    for (int p = 0; p < 2; ++p)
        for (const char* sfen : sfens[p]) alone[p].Play(sfen);
    for (int round = 0; round < 2; ++round)
        for (int p = 0; p < 2; ++p) inTurn[p].Play(sfens[p][round]);
    for (int p = 0; p < 2; ++p) EXPECT_EQ(inTurn[p].log, alone[p].log);
    EXPECT_NE(alone[0].log, alone[1].log);
}

TEST(TranspositionTable, SlotReplacementAndProbeRules) {
    constexpr std::uint32_t Lo = 0x1234ABCDu, Hi = 0x0BADF00Du;
    const Move moves[] = {BoardMove(60, 1, Rook, 0), BoardMove(60, 2, Rook, 0)};
    const auto owned = std::make_unique<TranspositionTable>();
    TranspositionTable& table = *owned;
    // The slot: key bits 0-15 and 18, in the half of the side.
    EXPECT_EQ(&table.SlotOf(1, Lo ^ 0xFFFB0000u), &table.SlotOf(0, Lo) + TranspositionTable::Half);
    // A shallower store leaves the entry; an equal or deeper one replaces it whatever key held
    // the slot, and the old best move becomes the previous one. A miss hands the entry over.
    table.Store(0, Lo ^ 0x10000u, Hi + 1, 20, moves[0], 50, BoundExact);
    table.Store(0, Lo, Hi, 16, moves[1], 60, BoundLower);
    TableEntry entry{};
    EXPECT_FALSE(table.Probe(0, Lo, Hi, -500, 500, 0, entry));
    EXPECT_TRUE(entry.keyHi == Hi + 1 && entry.depth == 20 && entry.score == 50);
    EXPECT_TRUE(SameMove(entry.best, moves[0]));
    table.Store(0, Lo, Hi, 20, moves[1], 100, BoundLower);
    entry = TranspositionTable::Read(table.SlotOf(0, Lo));
    EXPECT_TRUE(entry.keyLo == Lo && entry.keyHi == Hi && entry.bound == BoundLower);
    EXPECT_TRUE(SameMove(entry.best, moves[1]) && SameMove(entry.previous, moves[0]));
    // A probe hits its own full key, deep enough, with a bound that settles the window.
    // Each case: bound, alpha, beta, depth, upper key half changed, hit.
    const int probes[][6] = {{BoundExact, 300, 301, 20, 0, 1},  {BoundExact, -500, -400, 16, 0, 1},
                             {BoundExact, -500, 500, 24, 0, 0}, {BoundExact, -500, 500, 0, 1, 0},
                             {BoundUpper, 100, 200, 20, 0, 1},  {BoundUpper, 99, 200, 20, 0, 0},
                             {BoundLower, 0, 100, 20, 0, 1},    {BoundLower, 0, 101, 20, 0, 0}};
    for (const auto& p : probes) {
        table.Store(0, Lo, Hi, 20, moves[1], 100, p[0]);
        TableEntry found{};
        const auto hi = Hi ^ static_cast<std::uint32_t>(p[4]);
        EXPECT_EQ(table.Probe(0, Lo, hi, p[1], p[2], p[3], found), p[5] == 1) << p[1];
        EXPECT_TRUE(SameMove(found.best, moves[1]) && found.score == 100);
    }
    // A slot whose words do not agree, as when two threads wrote it at once, never hits: the
    // key check covers score, depth, bound and both moves.
    for (int word = 1; word < TableSlot::Words; ++word) {
        for (const std::uint64_t flip : {std::uint64_t{1}, std::uint64_t{1} << 33}) {
            table.Store(0, Lo, Hi, 20, moves[1], 100, BoundExact);
            TableSlot& slot = table.SlotOf(0, Lo);
            const TableSlot whole = slot;
            slot.word[word] ^= flip;
            EXPECT_FALSE(table.Probe(0, Lo, Hi, -500, 500, 4, entry)) << word;
            slot = whole;
            EXPECT_TRUE(table.Probe(0, Lo, Hi, -500, 500, 4, entry)) << word;
        }
    }
}

// The starting table is exactly the one the engine always had: 2 x 0x50000 slots, indexed by
// key bits 0-15 and 18. A table of any other size uses every one of its slots.
TEST(TranspositionTable, TheStartingSizeAndOthersThatUseEverySlot) {
    const auto table = std::make_unique<TranspositionTable>();
    for (const std::size_t megabytes : {25, 1, 24, 26, 25}) {
        ASSERT_TRUE(table->Resize(megabytes));
        const std::size_t half = table->SlotCount() / 2;
        TableSlot* first = &table->SlotOf(0, 0);
        const auto last = static_cast<std::ptrdiff_t>(megabytes == 25 ? 0x4FFFF : half - 1);
        EXPECT_EQ(half, megabytes == 25 ? 0x50000 : (megabytes << 20) / (2 * sizeof(TableSlot)));
        EXPECT_EQ(&table->SlotOf(0, 0xFFFFFFFF) - first, last) << megabytes;
        EXPECT_EQ(&table->SlotOf(1, 0) - first, static_cast<std::ptrdiff_t>(half));
        EXPECT_EQ(&table->SlotOf(1, 0xFFFFFFFF) - first, static_cast<std::ptrdiff_t>(half) + last);
        // A resized table starts empty and keeps what is stored in it.
        TableEntry entry{};
        EXPECT_FALSE(table->Probe(0, 77, 88, -5, 5, 4, entry));
        table->Store(0, 77, 88, 8, NoMoveRecord, 3, BoundExact);
        EXPECT_TRUE(table->Probe(0, 77, 88, -5, 5, 8, entry) && entry.score == 3);
    }
    EXPECT_EQ(TranspositionTable::DefaultMegabytes, 25u);
}

TEST(Ordering, PortableRandomHistoryCountersAndAStableSort) {
    OrderingRandom random;
    for (const int value : {41, 18467, 6334, 26500, 19169}) EXPECT_EQ(random.Next(), value);
    // The tried counter past 10000 halves both counters of its pair, and no other pair.
    const auto history = std::make_unique<History>();
    const Move move = BoardMove(40, 31, Silver, 0), neighbour = BoardMove(40, 32, Silver, 0);
    history->AddTried(move, 9996);
    history->AddGood(move, 601);
    history->AddTried(neighbour, 9999);
    history->AddTried(move, 4);  // exactly 10000: kept
    EXPECT_EQ(history->Tried(move), 10000);
    history->AddTried(move, 4);
    EXPECT_TRUE(history->Tried(move) == 5002 && history->Good(move) == 300);
    EXPECT_EQ(history->Tried(neighbour), 9999);
    // Drops have rows of their own. From zero, -4 wraps to 65532 and so halves at once; the
    // good counter wraps too and never halves.
    const Move drop = DropMove(Rook, 31);
    history->AddGood(drop, 9);
    history->AddTried(drop, -4);
    EXPECT_TRUE(history->Tried(drop) == 32766 && history->Good(drop) == 4);
    EXPECT_EQ(history->Tried(move), 5002);
    history->AddGood(drop, -8);
    EXPECT_EQ(history->Good(drop), 65532);
    // The sort, whole or move by move as a node walks its list, against std::stable_sort: with
    // many ties among the small scores that carry only the random part, and large scores of
    // both signs around them.
    static Move sorted[MoveListSize], picked[MoveListSize];
    std::uint32_t state = 7;
    for (const int count : {0, 1, 2, 9, 17, 100, MoveListSize}) {
        for (int i = 0; i < count; ++i, state = state * 1103515245u + 12345u) {
            sorted[i] = BoardMove(i / 81, i % 81, 1, 0);
            const int draw = static_cast<int>((state >> 16) % 11);
            sorted[i].score = draw < 5 ? draw : (draw - 8) * 20000 + (i & 1);
        }
        std::vector<Move> reference(sorted, sorted + count);
        std::stable_sort(reference.begin(), reference.end(),
                         [](const Move& a, const Move& b) { return a.score > b.score; });
        std::copy(sorted, sorted + count, picked);
        SortMoves(sorted, count);
        for (int i = 0; i < count; ++i) {
            PutNextInOrder(picked, count, i);
            ASSERT_TRUE(SameMove(sorted[i], reference[i]) && sorted[i].score == reference[i].score);
            ASSERT_TRUE(SameMove(picked[i], reference[i]));
        }
    }
}

// The node total of `mirabel-bench 5` is the engine's signature: a speed-up must leave it alone.
TEST(Bench, PinnedNodeTotalAtFivePliesAndABadDepthRefused) {
    const Completed run = RunToEnd(MIRABEL_BENCH_BINARY, {"5"});
    ASSERT_EQ(run.status, 0);
    EXPECT_NE(run.output.find("\nnodes 697445\n"), std::string::npos) << run.output;
    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"2"}, {"16"}, {"-5"}, {"five"}, {"5x"}, {"5", "6"}}) {
        const Completed refused = RunToEnd(MIRABEL_BENCH_BINARY, bad);
        EXPECT_TRUE(refused.status != 0 && refused.output.empty()) << bad[0];
    }
}

}  // namespace
}  // namespace mirabel::test
