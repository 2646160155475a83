// The search: what it plays, its reports, its soft limit, and its parts: the transposition
// table's sizes, the ordering's random sequence and sort. The bench signature (a test of its
// own) pins every other decision of the search.
#include "search/search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "console/console.h"
#include "usi/usi.h"

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

// Whether the move is legal under the full rules in `position` (the piece too, if it moves).
bool LegalHere(const Position& position, int side, const Move& move) {
    static Move legal[MoveListSize];
    const int listed = GenerateLegalMoves(side, position, legal);
    return std::any_of(legal, legal + listed, [&](const Move& m) {
        return SameMove(m, move) && (move.from < 0 || m.piece == move.piece);
    });
}

// The position of a test, searched by a fresh search on one table cleared for each test.
Position position{};
RecordingSink sink;
std::unique_ptr<Search> search;

int SetGame(const char* sfen) {  // returns the side to move
    static TranspositionTable table;
    int side = 0;
    std::string error;
    EXPECT_TRUE(ReadSfen(sfen, position, side, error)) << sfen << ": " << error;
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
    EXPECT_TRUE(none || LegalHere(position, side, outcome.move)) << where;
    for (const SearchReport& report : outcome.reports)
        EXPECT_TRUE(report.pvLength == 0 || LegalHere(position, side, report.pv[0]))
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

// Two USI engines of one process, fed command by command in turn: each keeps its own game
// (position and side to move) and its own table, and gives what it gives alone.
TEST(Search, TwoUsiEnginesInTurnGiveWhatEachGivesAlone) {
    const std::vector<std::string> sessions[2] = {
        {"usinewgame", "position startpos moves 7g7f", "go depth 5", "go depth 4",
         "position startpos moves 7g7f 3c3d 8h2b+", "go depth 4"},
        {"usinewgame", std::string("position sfen ") + ConsoleStartSfen, "go depth 5", "usinewgame",
         "go depth 4", "go depth 4"}};
    struct Player {
        std::string log;
        UsiEngine engine{[this](std::string_view line) {
            // The clock's fields, from " time" up to " pv" or the end, differ from run to run.
            const std::size_t time = line.find(" time ");
            const std::size_t pv = std::min(line.find(" pv", time), line.size());
            log += time == std::string_view::npos
                       ? std::string(line)
                       : std::string(line.substr(0, time)) + std::string(line.substr(pv));
            log += '\n';
        }};
    };
    const auto alone = std::make_unique<Player[]>(2), inTurn = std::make_unique<Player[]>(2);
    for (int p = 0; p < 2; ++p)
        for (const std::string& line : sessions[p]) alone[p].engine.Handle(line);
    for (std::size_t i = 0; i < sessions[0].size(); ++i)
        for (int p = 0; p < 2; ++p) inTurn[p].engine.Handle(sessions[p][i]);
    for (int p = 0; p < 2; ++p) EXPECT_EQ(inTurn[p].log, alone[p].log);
    // The second "go" after "usinewgame" answers for the other side.
    EXPECT_NE(alone[1].log.find("bestmove 2h7h\ninfo depth 4 score cp 0 nodes 214 pv 5a4b"),
              std::string::npos)
        << alone[1].log;
    EXPECT_NE(alone[0].log, alone[1].log);
}

// A clock that moves on by a millisecond at each reading.
class SteppingClock final : public SearchControl {
  public:
    std::uint32_t now = 0;
    bool KeepSearching(std::uint32_t, TimeLimits&) override { return true; }
    std::uint32_t Now() override { return ++now; }
};

// No iteration starts once the soft limit has passed: the search ends with the nodes of the
// last iteration it finished.
TEST(Search, NoIterationStartsAfterTheSoftLimit) {
    SteppingClock clock;
    SearchLimits limits{NoTimeLimit, 5};
    limits.control = &clock;
    int side = SetGame(ConsoleStartSfen);
    search->Run(position, side, limits);
    const std::uint64_t nodes = search->Nodes();
    // The same search allowed a sixth ply, the soft limit passed as the fifth ends.
    limits = {NoTimeLimit, 6, false, clock.now - 2, 0, &clock};
    side = SetGame(ConsoleStartSfen);
    clock.now = 0;
    search->Run(position, side, limits);
    EXPECT_EQ(search->Nodes(), nodes);
}

// A position where the side to move could take the king (which no game reaches) ends the search
// at once: no king is ever captured, whichever pieces stand on the board.
TEST(Search, AKingThatCanBeTakenEndsTheSearch) {
    SetGame("G3k4/4R4/9/9/9/9/9/9/4K4 w - 1");
    EXPECT_EQ(search->Run(position, 0, SearchLimits{NoTimeLimit, 3}), ScoreKingCapture);
    EXPECT_EQ(search->BestMove().from, NoMove);
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
        // As many slots as the memory holds.
        EXPECT_TRUE(2 * half * sizeof(TableEntry) <= megabytes << 20 &&
                    2 * (half + 1) * sizeof(TableEntry) > megabytes << 20);
        EXPECT_EQ(&table->SlotOf(0, 0xFFFFFFFF) - first, last) << megabytes;
        EXPECT_EQ(&table->SlotOf(1, 0) - first, static_cast<std::ptrdiff_t>(half));
        EXPECT_EQ(&table->SlotOf(1, 0xFFFFFFFF) - first, static_cast<std::ptrdiff_t>(half) + last);
        // A resized table starts empty and keeps what is stored in it.
        TableEntry entry{};
        EXPECT_FALSE(table->Probe(0, 77, 88, -5, 5, 4, entry));
        table->Store(0, 77, 88, 8, NoMoveRecord, 3, BoundExact);
        EXPECT_TRUE(table->Probe(0, 77, 88, -5, 5, 8, entry) && entry.score == 3);
    }
}

TEST(Ordering, PortableRandomSequenceAndAStableSort) {
    OrderingRandom random;
    for (const int value : {41, 18467, 6334, 26500, 19169}) EXPECT_EQ(random.Next(), value);
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

}  // namespace
}  // namespace mirabel::test
