// The search report: the numeric move text, the exact report line, the lines a real search
// prints, and the final line after a table hit, a time-out, no iteration or no legal move.
#include <cctype>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "search_test_support.h"

namespace mirabel::test {
namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

struct ReportFields {
    int depth = -1;
    int score = 0;
    unsigned long long nodes = 0;
    std::string variation;
};

// Whether `text` is a run of "7776FU-", "8822KA!-", "0055KA-" moves.
bool IsVariationText(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size()) {
        for (int k = 0; k < 4; ++k)
            if (i >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i++])))
                return false;
        for (int k = 0; k < 2; ++k)
            if (i >= text.size() || !std::isupper(static_cast<unsigned char>(text[i++])))
                return false;
        if (i < text.size() && text[i] == '!') ++i;
        if (i >= text.size() || text[i++] != '-') return false;
    }
    return true;
}

// Reads one report line; fails the test unless the line has exactly the report's form.
ReportFields Parse(const std::string& line) {
    ReportFields fields;
    int consumed = 0;
    if (std::sscanf(line.c_str(), "info depth %d score cp %d nodes %llu info string %n",
                    &fields.depth, &fields.score, &fields.nodes, &consumed) == 3 &&
        consumed > 0)
        fields.variation = line.substr(static_cast<std::size_t>(consumed));
    const std::string rebuilt = "info depth " + std::to_string(fields.depth) + " score cp " +
                                std::to_string(fields.score) + " nodes " +
                                std::to_string(fields.nodes) + " info string " + fields.variation;
    EXPECT_EQ(rebuilt, line);
    EXPECT_TRUE(IsVariationText(fields.variation)) << line;
    return fields;
}

void SetVariation(std::initializer_list<Move> moves) {
    ClearMoveTables();
    int i = 0;
    for (const Move& move : moves) PvTable[0][i++] = move;
}

std::string CapturedReport(int score) {
    testing::internal::CaptureStdout();
    ReportSearch(score);
    return testing::internal::GetCapturedStdout();
}

TEST(MoveNumericText, NamesFilesRanksAndPieces) {
    EXPECT_STREQ(MoveNumericText(BoardMove(56, 47, Pawn, 0)), "7776FU");
    EXPECT_STREQ(MoveNumericText(BoardMove(64, 16, Bishop, 1)), "8822KA!");
    EXPECT_STREQ(MoveNumericText(DropMove(Bishop, 40)), "0055KA");
    // Gote's pieces carry negative codes and the same names; the promoted lance is "NA".
    EXPECT_STREQ(MoveNumericText(BoardMove(8, 80, -ProLance, 0)), "1119NA");
    EXPECT_STREQ(MoveNumericText(BoardMove(72, 0, -Dragon, 0)), "9991RY");
    EXPECT_STREQ(MoveNumericText(DropMove(Rook, 80)), "0019HI");
    // An all-zero record names no piece.
    EXPECT_STREQ(MoveNumericText(Move{}), "9191");
}

TEST(ReportLine, ShowsDepthScoreNodesAndTheFirstTenMovesOfTheVariation) {
    IterationDepth = 5;
    NodeCount = 913;
    SetVariation({BoardMove(56, 47, Pawn, 0), DropMove(Bishop, 40), BoardMove(64, 16, Bishop, 1)});
    EXPECT_EQ(CapturedReport(174),
              "info depth 5 score cp 174 nodes 913 info string 7776FU-0055KA-8822KA!-\n");

    // Twelve moves: only ten are shown. The count is unsigned 64-bit.
    ClearMoveTables();
    for (int i = 0; i < 12; ++i) PvTable[0][i] = BoardMove(60 + i % 9, 51 + i % 9, Silver, 0);
    IterationDepth = 15;
    NodeCount = 5000000000ull;
    EXPECT_EQ(CapturedReport(-87),
              "info depth 15 score cp -87 nodes 5000000000 info string "
              "3736GI-2726GI-1716GI-9897GI-8887GI-7877GI-6867GI-5857GI-4847GI-3736GI-\n");

    SetVariation({});
    NodeCount = 0;
    EXPECT_EQ(CapturedReport(-ScoreInfinity),
              "info depth 15 score cp -99999999 nodes 0 info string \n");
}

TEST(ReportLine, ASearchReportsEachRootImprovementThenItsResult) {
    ResetSearchState();
    const int side = SetGamePosition("4k4/9/4P4/9/9/9/9/9/4K4 b G 1");
    const SearchOutcome outcome = SearchGame(side, 4);
    const std::vector<std::string> lines = Lines(outcome.report);
    ASSERT_GE(lines.size(), 3u);
    unsigned long long previousNodes = 0;
    int previousDepth = 3;
    for (const std::string& line : lines) {
        const ReportFields fields = Parse(line);
        EXPECT_GE(fields.nodes, previousNodes) << line;  // counted over the whole search
        EXPECT_GE(fields.depth, previousDepth) << line;
        EXPECT_LE(fields.depth, 4) << line;
        previousDepth = fields.depth;
        previousNodes = fields.nodes;
    }
    EXPECT_EQ(lines.back(), "info depth 4 score cp 888887 nodes " + std::to_string(NodeCount) +
                                " info string 0052KI-");
}

TEST(ReportLine, ARootTableHitFillsTheMoveAndPrintsOnlyTheFinalLine) {
    ResetSearchState();
    const int side = SetGamePosition(StartSfen);
    const Move stored = BoardMove(56, 47, Pawn, 0);  // 7g7f
    const std::uint64_t key = GamePosition.hashKey;
    StoreTable(side, static_cast<std::uint32_t>(key), static_cast<std::uint32_t>(key >> 32), 12,
               stored, 777, BoundExact);
    const SearchOutcome outcome = SearchGame(side, 3);
    EXPECT_EQ(outcome.report, "info depth 3 score cp 777 nodes 1 info string 7776FU-\n");
    EXPECT_EQ(outcome.score, 777);
    EXPECT_TRUE(SameMove(outcome.move, stored));
}

TEST(ReportLine, AShallowTableEntryStillPutsItsMoveFirst) {
    ResetSearchState();
    const int side = SetGamePosition(StartSfen);
    const Move stored = BoardMove(80, 71, Lance, 0);  // 1i1h, a move nobody would search first
    const std::uint64_t key = GamePosition.hashKey;
    StoreTable(side, static_cast<std::uint32_t>(key), static_cast<std::uint32_t>(key >> 32), 8,
               stored, 0, BoundExact);
    const SearchOutcome outcome = SearchGame(side, 3);
    // The probe at depth 12 misses, yet the first root move searched, the first one reported,
    // is the table's.
    const std::vector<std::string> lines = Lines(outcome.report);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(Parse(lines[0]).variation.rfind("1918KY-", 0), 0u) << lines[0];
    EXPECT_GT(NodeCount, 1u);
}

TEST(FinalLine, WithoutAFinishedIterationShowsNoMoveAndTheLowestScore) {
    ResetSearchState();
    const int side = SetGamePosition(StartSfen);
    // A clock that has already run out: the first node of the first iteration stops it.
    SearchTimeLimit = 0;
    NodeCount = 0;
    TimeOver = 0;
    ClearMoveTables();
    testing::internal::CaptureStdout();
    SearchStartTick = TickCount() - 10;
    const int score = IterativeDeepening(side, -ScoreInfinity, ScoreInfinity, 60, 0, 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "info depth 3 score cp -99999999 nodes 0 info string \n");
    EXPECT_EQ(score, -ScoreInfinity);
    EXPECT_EQ(PvTable[0][0].from, NoMove);
    EXPECT_EQ(TimeOver, 1);

    // A depth limit below three plies runs no iteration; the depth shown is the last one set.
    IterationDepth = 7;
    const SearchOutcome none = SearchGame(side, 2);
    EXPECT_EQ(none.report, "info depth 7 score cp -99999999 nodes 0 info string \n");
    EXPECT_EQ(none.move.from, NoMove);
}

TEST(FinalLine, ARootWithoutLegalMoveScoresNoMoveAtEveryIteration) {
    ResetSearchState();
    const int side = SetGamePosition("4k4/4G4/4P4/9/9/9/9/9/4K4 w - 1");
    const SearchOutcome outcome = SearchGame(side, 4);
    EXPECT_EQ(outcome.report, "info depth 4 score cp -888887 nodes 2 info string \n");
    EXPECT_EQ(outcome.score, ScoreNoMove);
    EXPECT_EQ(outcome.move.from, NoMove);
}

TEST(FinalLine, AfterATimeOutKeepsTheLastFinishedIterationAndShowsTheLastVariation) {
    // Far too deep to finish: the clock ends the search inside some iteration. Whatever that
    // iteration is, the final line must agree with the lines before it.
    ResetSearchState();
    const int side = SetGamePosition(
        "2+Ns1g1nl/+B+Rn1k1s2/l1pppp2p/p5pp1/2P6/P4P3/L5PPP/2+l3Sg+r/K4B1N1 w GS3Pgp 1");
    const SearchOutcome outcome = SearchGame(side, 15, 300);
    ASSERT_EQ(TimeOver, 1);
    const std::vector<std::string> lines = Lines(outcome.report);
    ASSERT_FALSE(lines.empty());
    const ReportFields final = Parse(lines.back());
    if (lines.size() == 1) {  // not even the first root move finished
        EXPECT_EQ(final.depth, 3);
        EXPECT_EQ(final.score, -ScoreInfinity);
        EXPECT_EQ(final.variation, "");
        EXPECT_EQ(outcome.move.from, NoMove);
        return;
    }
    const ReportFields last = Parse(lines[lines.size() - 2]);
    // The depth is that of the iteration started last: the one of the last improvement, or
    // the next one when the clock ran out before its first root move was searched.
    EXPECT_TRUE(final.depth == last.depth || final.depth == last.depth + 1) << outcome.report;
    // The variation is the one the interrupted iteration left, i.e. the last one reported.
    EXPECT_EQ(final.variation, last.variation);
    // Score and move are those of the last finished iteration: its last improvement.
    const ReportFields* finished = nullptr;
    std::vector<ReportFields> all;
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) all.push_back(Parse(lines[i]));
    for (const ReportFields& line : all)
        if (line.depth == final.depth - 1) finished = &line;
    if (finished == nullptr) {
        EXPECT_EQ(final.score, -ScoreInfinity);
        EXPECT_EQ(outcome.move.from, NoMove);
    } else {
        EXPECT_EQ(final.score, finished->score);
        EXPECT_EQ(finished->variation.rfind(MoveNumericText(outcome.move), 0), 0u)
            << finished->variation;
    }
}

}  // namespace
}  // namespace mirabel::test
