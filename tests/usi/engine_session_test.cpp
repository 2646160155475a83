// The built engine driven as a front end drives it. Standard error must stay empty: sanitizer
// reports would land there.
#ifndef __clang__  // GCC 12 sees a false "maybe uninitialized" in <regex> under the sanitizers
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include "support/engine_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "search/search.h"
#include "usi/usi.h"

namespace mirabel {
namespace {

using std::chrono::seconds;
using test::Clock;
using test::Engine;

// Ends a game: "isready" is answered after "gameover" (and nothing else comes first), and the
// end of input ends the engine cleanly.
void EndSession(Engine& engine) {
    engine.Send("gameover\nisready\n");
    EXPECT_EQ(engine.Lines(), "readyok\n");
    engine.CloseInput();
    EXPECT_EQ(engine.Finish(), "");
}

// The console game never empties its variation table: its lines may end in empty moves "9191".
const std::regex ConsoleReportLine(
    "info depth \\d+ score cp -?\\d+ nodes \\d+ info string (\\d{4}([A-Z]{2}!?)?-)*\n");

// The two lines of a USI report: the standard fields, then the variation in numeric text.
const std::regex ReportLine(
    "info depth \\d+ score (cp -?\\d+|mate [+-]) nodes \\d+ time \\d+ nps \\d+( pv( [1-9PLNSGBR]"
    "[a-i*][1-9][a-i]\\+?)+)?\n");
const std::regex VariationLine("info string (\\d{4}[A-Z]{2}!?-)*\n");

// The lines of one search: report lines in their format, each pv move legal in turn, then a
// "bestmove" legal in the position `positionLine` sets up (and a legal ponder move); returns
// the move.
std::string ExpectSearchReply(Engine& engine, const std::string& positionLine) {
    NewGame();
    const PositionOutcome asked = ReadPositionCommand(SplitWords(positionLine));
    EXPECT_TRUE(asked.accepted) << positionLine.substr(0, 200);
    std::string line = engine.Lines();
    for (; line.rfind("bestmove ", 0) != 0 && line != "(none)"; line = engine.Lines()) {
        EXPECT_TRUE(std::regex_match(line, ReportLine) || std::regex_match(line, VariationLine))
            << line;
        const std::size_t at = line.find(" pv ");
        const std::string pv =
            at == std::string::npos ? "" : line.substr(at + 4, line.size() - at - 5);
        Position position = asked.position;
        int side = asked.side;
        Move move{};
        for (const std::string_view word : SplitWords(pv)) {
            const bool legal = ParseUsiMove(word, side, position, move);
            EXPECT_TRUE(legal) << line;
            if (!legal) break;
            MakeMove(side, position, move);
            side = 1 - side;
        }
    }
    if (!line.empty() && line.back() == '\n') line.pop_back();
    const std::vector<std::string_view> words = SplitWords(line);
    const std::string move(words.size() >= 2 ? words[1] : "(none)");
    Position position = asked.position;
    Move read{};
    EXPECT_TRUE(ParseUsiMove(move, asked.side, position, read))
        << positionLine.substr(0, 200) << " | " << move;
    EXPECT_TRUE(words.size() == 2 || (words.size() == 4 && words[2] == "ponder")) << line;
    if (words.size() == 4) {
        MakeMove(asked.side, position, read);
        EXPECT_TRUE(ParseUsiMove(words[3], 1 - asked.side, position, read)) << line;
    }
    return move;
}

const std::string UsiReply =
    "id name mirabel\nid author mirabel\n"
    "option name USI_Hash type spin default 25 min 1 max 16384\n"
    "option name NetworkDelay type spin default 120 min 0 max 10000\n"
    "option name Threads type spin default 1 min 1 max 256\n"
    "option name USI_Ponder type check default false\nusiok\n";

std::string Unknown(const std::string& word) {
    return "info string unknown command \"" + word + "\"\n";
}

TEST(EngineSession, CommandsAreWholeWordsAndEveryRefusalIsReported) {
    Engine engine;
    std::string burst, replies;  // many lines at once arrive whole and in order
    for (int i = 0; i < 150; ++i) burst += "isready\n", replies += "readyok\n";
    // Only the exact word counts, with blanks, tabs and a CR around it; an empty line does
    // nothing.
    engine.Send("usi\n\n \t\nusi\textra\r\nsetoption name USI_Hash value 256\n \tisready\r\n" +
                burst + "u\nusin\nquitter\ngox\n" + '\0' + "\nisrea\n" +
                "position startposition moves 7g7f\nposition startpos 7g7f\n"
                "position sfen 4k4/4R4/9/9/9/9/9/9/4K4 b - 1\n"
                "position startpos moves 7g7f 3c3d 9z9z\ngo mate 1\nisready\n");
    EXPECT_EQ(engine.Lines(171), UsiReply + UsiReply + "readyok\n" + replies + Unknown("u") +
                                     Unknown("usin") + Unknown("quitter") + Unknown("gox") +
                                     Unknown("\\x00") + Unknown("isrea"));
    EXPECT_EQ(engine.Lines(6),
              "info string position refused: expected startpos or sfen after position\n"
              "info string position refused: expected moves, not \"7g7f\"\n"
              "info string position refused, the previous position is kept: the side not to move "
              "is in check\n"
              "info string move 3 \"9z9z\" is not legal here; the moves before it are played\n"
              "checkmate notimplemented\n"
              "readyok\n");
    EndSession(engine);
}

TEST(EngineSession, LongLinesAreReadWholeAndOverlongOnesRefusedWhole) {
    Engine engine;
    // 10,000 king moves after 7g7f 3c3d: side 0 is to move again.
    std::string walk = "position startpos moves 7g7f 3c3d";
    for (int i = 0; i < 2500; ++i) walk += " 5i4h 5a4b 4h5i 4b5a";
    // Nothing inside a long line is a command of its own, and a CRLF line end is no part of
    // its last move.
    const std::string padded = "position startpos moves 7g7f" + std::string(9971, ' ') + "go";
    const std::string quitInside = "setoption name x value" + std::string(9973, ' ') + "quit";
    std::string crlf = "position startpos moves 7g7f 3c3d";
    while (crlf.size() < 9990) crlf += " 5i4h 5a4b 4h5i 4b5a";
    crlf += " 2g2f\r\n";
    const std::string overlong = "go" + std::string(MaxLineLength, ' ') + "\n";
    engine.Send(padded + "\n" + quitInside + "\n" + overlong + crlf + "isready\n");
    EXPECT_EQ(engine.Lines(4),
              "info string move 2 \"go\" is not legal here; the moves before it are played\n"
              "info string unknown option \"x\"\n"
              "info string refused an input line longer than 1048576 bytes; none of it was "
              "executed\n"
              "readyok\n");
    crlf.resize(crlf.size() - 2);
    engine.Send("go\n");
    ExpectSearchReply(engine, crlf);  // side 1 answers 2g2f
    engine.Send(walk + "\ngo\n");
    ExpectSearchReply(engine, walk);
    EndSession(engine);
}

TEST(EngineSession, OptionsAreCheckedAndASmallTableStillSearches) {
    Engine engine;
    engine.Send(
        "setoption name USI_Hash value 0\nsetoption name USI_Hash value 16385\n"
        "setoption name NetworkDelay value -1\nsetoption name USI_Ponder value yes\n"
        "setoption name USI_Hash\nsetoption USI_Hash value 1\nsetoption name USI_Hash value 1\n"
        "setoption name NetworkDelay value 0\nsetoption name USI_Ponder value true\nisready\n");
    EXPECT_EQ(engine.Lines(7),
              "info string setoption refused: USI_Hash takes a whole number from 1 to 16384\n"
              "info string setoption refused: USI_Hash takes a whole number from 1 to 16384\n"
              "info string setoption refused: NetworkDelay takes a whole number from 0 to 10000\n"
              "info string setoption refused: USI_Ponder takes true or false\n"
              "info string setoption refused: USI_Hash takes a whole number from 1 to 16384\n"
              "info string setoption refused: expected setoption name <id> value <x>\n"
              "readyok\n");
    const std::string line = "position startpos moves 7g7f 3c3d";
    engine.Send(line + "\ngo movetime 300\n");
    ExpectSearchReply(engine, line);
    EndSession(engine);
}

// The engine plays its own move: a second "go" answers for the other side. The end of input
// right after it still gets its best move.
TEST(EngineSession, EndOfInputRightAfterGoStillGetsTheBestMove) {
    Engine engine;
    engine.Send("usinewgame\nposition startpos\ngo btime 0 wtime 0 byoyomi 1000\n");
    const std::string first = ExpectSearchReply(engine, "position startpos");
    engine.Send("go\n");
    engine.CloseInput();
    ExpectSearchReply(engine, "position startpos moves " + first);
    EXPECT_EQ(engine.Finish(), "");
    Engine quitting;
    quitting.Send("quit\nusi\n");
    EXPECT_EQ(quitting.Finish(), "");
}

TEST(EngineSession, IsreadyIsAnsweredAtOnce) {
    Engine engine;
    std::vector<Clock::duration> waits;
    for (int i = 0; i < 9; ++i) {
        const auto sent = Clock::now();
        engine.Send("isready\n");
        EXPECT_EQ(engine.Lines(), "readyok\n");
        waits.push_back(Clock::now() - sent);
    }
    std::sort(waits.begin(), waits.end());
    EXPECT_LT(waits[waits.size() / 2], std::chrono::milliseconds(25));
    engine.CloseInput();
    EXPECT_EQ(engine.Finish(), "");
}

TEST(EngineSession, GarbageChangesNothingAndCrashesNothing) {
    Engine engine;
    std::string garbage = "\x80";  // random bytes, NUL included, in lines with no command word
    for (unsigned i = 0, seed = 1; i < 12000; ++i, seed = seed * 1103515245u + 12345u)
        garbage += static_cast<char>(garbage.back() == '\n' ? (seed >> 16) | 0x80 : seed >> 16);
    const std::string played = "position startpos moves 7g7f 3c3d 2g2f";
    engine.Send(garbage + "\nisready\n" + played + " Z*9z 8c8d\n" + garbage +
                "\nposition sfen garbage\nposition sfen " + std::string(5000, '9') + " b - 1\n" +
                std::string(300, 'p') + "\nisready\n");
    // Every refusal is one line; the first readyok comes after the first garbage's refusals.
    int refusals = 0;
    for (std::string line; (line = engine.Lines()) != "readyok\n" && line != "(none)"; ++refusals)
        EXPECT_EQ(line.rfind("info string ", 0), 0u) << line;
    EXPECT_GT(refusals, 0);
    for (std::string line; (line = engine.Lines()) != "readyok\n" && line != "(none)";)
        EXPECT_EQ(line.rfind("info string ", 0), 0u) << line;
    engine.Send("go\n");
    ExpectSearchReply(engine, played);
    EndSession(engine);
}

// Every report reaches the front end as its two lines. The same search run here (the same keys:
// the engine's second game, after "usinewgame"; a fresh table; all fifteen plies finish in time)
// makes the same reports: the plain "go" walks the same tree, node for node.
class RecordingSink final : public ReportSink {
  public:
    void Report(const SearchReport& report) override { reports.push_back(report); }
    std::vector<SearchReport> reports;
};

TEST(EngineSession, ReportLinesCarryEveryReportOfTheSameSearch) {
#ifdef __SANITIZE_THREAD__
    GTEST_SKIP() << "the same tree needs all fifteen plies inside the fixed budget, which the "
                    "thread checker's slowdown does not leave";
#endif
    const std::string sfen = "4k4/9/9/9/9/9/9/9/4K4 b - 1";
    Engine engine;
    engine.Send("usinewgame\nposition sfen " + sfen + "\ngo\n");
    std::vector<std::string> printed;
    for (std::string line = engine.Lines(); line.rfind("bestmove", 0) != 0 && line != "(none)";
         line = engine.Lines())
        printed.push_back(line);
    EndSession(engine);

    NewGame();
    NewGame();
    Position position{};
    int side = 0;
    std::string error;
    ASSERT_TRUE(ReadSfen(sfen, position, side, error)) << error;
    RecordingSink sink;
    const auto table = std::make_unique<TranspositionTable>();
    const auto search = std::make_unique<Search>(*table, sink);
    search->Run(position, side, SearchLimits{FixedBudget, UsiMaxDepth});
    ASSERT_FALSE(search->TimedOut());
    ASSERT_EQ(printed.size(), 2 * sink.reports.size());
    for (std::size_t i = 0; i < sink.reports.size(); ++i) {
        const SearchReport& report = sink.reports[i];
        char variation[NumericVariationSize];
        NumericVariation(report, variation);
        const std::string fields = "info depth " + std::to_string(report.depth) + " score cp " +
                                   std::to_string(report.score) + " nodes " +
                                   std::to_string(report.nodes) + " time ";
        EXPECT_EQ(printed[2 * i].substr(0, fields.size()), fields);
        EXPECT_EQ(printed[2 * i + 1], "info string " + std::string(variation) + "\n");
    }
    EXPECT_EQ(printed[printed.size() - 2].rfind("info depth 15 ", 0), 0u);
}

// With input already at its end the console game plays its first move, shows it and stops.
TEST(ConsoleGame, EndsAfterOneBoardWhenInputHasEnded) {
#ifdef __SANITIZE_THREAD__
    GTEST_SKIP() << "single-threaded, and its ten-ply search takes minutes under the checker";
#endif
    Engine engine({"CUI"});
    engine.CloseInput();
    const std::string out = engine.Finish(seconds(300));
    const std::size_t board = out.find("   9  8  7  6  5  4  3  2  1\n");
    ASSERT_NE(board, std::string::npos) << out;
    EXPECT_EQ(std::count(out.begin() + board, out.end(), '\n'), 12) << "one board, at the end";
    EXPECT_EQ(out.find('\x1b'), std::string::npos) << "no colours in piped output";
    // Every line before the board is a report; the last one is of depth 10.
    std::string last;
    for (std::size_t at = 0, end; (end = out.find('\n', at)) < board; at = end + 1)
        EXPECT_TRUE(std::regex_match(last = out.substr(at, end + 1 - at), ConsoleReportLine))
            << last;
    EXPECT_EQ(last.rfind("info depth 10 ", 0), 0u) << last;
}

}  // namespace
}  // namespace mirabel
