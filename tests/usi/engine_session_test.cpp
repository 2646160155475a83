// The built engine driven as a front end drives it, through the test harness's child process.
// Standard error must stay empty: sanitizer reports would land there.
#ifndef __clang__  // GCC 12 sees a false "maybe uninitialized" in <regex> under the sanitizers
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include "support/engine_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <regex>
#include <string>

#include "search/search.h"
#include "usi/usi.h"

namespace mirabel {
namespace {

using std::chrono::seconds;
using test::Clock;
using test::Engine;

std::string Finish(Engine& engine, Clock::duration patience = seconds(10)) {
    return engine.Finish(patience);
}

// Ends a game: "isready" is answered again after "gameover", and the end of input ends the
// engine cleanly.
void EndSession(Engine& engine) {
    engine.Send("gameover\nisready\n");
    EXPECT_EQ(engine.Lines(), "readyok\n");
    engine.CloseInput();
    EXPECT_EQ(Finish(engine), "");
}

// A search report line. The console game never empties its variation table, so its lines may
// end in the empty moves "9191" of untouched entries.
const std::regex ReportLine(
    "info depth \\d+ score cp -?\\d+ nodes \\d+ info string (\\d{4}([A-Z]{2}!?)?-)*\n");

// The lines of one search: report lines in their fixed format, then one "bestmove" with a move
// that is legal in the position `positionLine` sets up; returns the move.
std::string ExpectSearchReply(Engine& engine, const std::string& positionLine) {
    std::string line = engine.Lines();
    for (; line.rfind("bestmove ", 0) != 0 && line != "(none)"; line = engine.Lines())
        EXPECT_TRUE(std::regex_match(line, ReportLine)) << line;
    std::string move = line == "(none)" ? line : line.substr(9, line.size() - 10);
    NewGame();
    ParsePositionCommand(positionLine.c_str(), static_cast<int>(positionLine.size()));
    Move read{};
    EXPECT_TRUE(ParseUsiMove(move.c_str(), GamePly % 2, GamePosition, read))
        << positionLine << " | " << move;
    return move;
}

const std::string UsiReply = "id name mirabel\nid author mirabel\nusiok\n";

TEST(EngineSession, EachPhaseAnswersOnlyItsOwnCommands) {
    Engine engine;
    std::string burst, replies;  // many lines at once arrive whole and in order
    for (int i = 0; i < 150; ++i) burst += "i\nisready\n", replies += "readyok\nreadyok\n";
    // Leading parts of the keywords are answered like the keywords, the empty line like "usi".
    // The game phase ignores "usi" and "isready"; pondering prints nothing and a mate search is
    // declined. A carriage return before the line feed is not part of the command.
    engine.Send(
        "usi\nsetoption name USI_Hash value 256\nsetoptionfoo\nusi extra\nisready now\n"
        "position startpos\ngo\ngo mate 1\ngameover\nstop\nisready\n\nu\nisrea\nisready\r\n" +
        burst +
        "usinew\nisready\nusi\nposition startpos\ngo ponder\nstop\nponderhit\ngo ponder btime 1\n"
        "go mate 1000\ngo mate infinite\nstop\n");
    EXPECT_EQ(engine.Lines(314), UsiReply + "readyok\n" + UsiReply + UsiReply +
                                     "readyok\nreadyok\n" + replies +
                                     "checkmate notimplemented\ncheckmate notimplemented\n");
    EndSession(engine);
}

TEST(EngineSession, ShortGameWithTwoSearchesInARow) {
    Engine engine;
    const std::string opening = "position startpos moves 7g7f 3c3d";
    engine.Send("usinewgame\n" + opening + "\ngo btime 0 wtime 0 byoyomi 1000\n");
    const std::string first = ExpectSearchReply(engine, opening);
    engine.Send("go\n");  // the other side's answer to the engine's own move
    ExpectSearchReply(engine, opening + " " + first);
    EndSession(engine);  // with no second bestmove for either search
}

TEST(EngineSession, QuitAsFirstLineEndsAtOnceWithoutOutput) {
    Engine engine;
    engine.Send("quit\nusi\n");
    EXPECT_EQ(Finish(engine), "");
}

TEST(EngineSession, StopAndQuitDuringASearchStillGetTheBestMove) {
    Engine engine;
    const std::string line = "position sfen " + std::string(StartSfen) + " moves 7g7f";
    engine.Send("usinewgame\n" + line + "\ngo\n");
    // Once the search has reported, stop and quit arrive while it runs.
    ASSERT_TRUE(engine.Pump(Clock::now() + seconds(10)) && !engine.pending.empty());
    engine.Send("stop\nquit\n");
    ExpectSearchReply(engine, line);
    EXPECT_EQ(Finish(engine), "");
}

TEST(EngineSession, GarbageChangesNothingAndCrashesNothing) {
    Engine engine;
    std::string garbage = "\x80";  // random bytes, NUL included, in lines with no command letter
    for (unsigned i = 0, seed = 1; i < 12000; ++i, seed = seed * 1103515245u + 12345u)
        garbage += static_cast<char>(garbage.back() == '\n' ? (seed >> 16) | 0x80 : seed >> 16);
    // The line feed that ends an over-long line is no empty line (which would mean "usi").
    const std::string longLines = std::string(30000, 'x') + "\n" + std::string(9999, 'y') + "\n";
    // The moves from the first token that is not a legal move on are not played.
    const std::string played = "position startpos moves 7g7f 3c3d 2g2f";
    engine.Send(
        garbage + longLines + "\x7fusi\n\x01\x02\nisready\nusinewgame\n" + played + " Z*9z 8c8d\n" +
        garbage + longLines + std::string("\0\0go\n\0position startpos\n", 24) +
        "usi\nisready\nsetoption name x\nusinewgame\npositionstartpos\nposition sfen garbage\n"
        "position sfen 4k4/4R4/9/9/9/9/9/9/4K4 b - 1\nposition sfen " +
        std::string(5000, '9') + " b - 1\n" + std::string(300, 'p') + "\ngo\n");
    EXPECT_EQ(engine.Lines(), "readyok\n");
    ExpectSearchReply(engine, played);
    EndSession(engine);
}

// The engine's report lines are what its text sink makes of the reports of the same search run
// here: the same keys (the engine's second game, after "usinewgame"), a fresh table, and a
// position small enough for all fifteen plies to finish within the time limit.
TEST(EngineSession, ReportLinesAreTheTextSinkOfTheSameSearch) {
    const std::string sfen = "4k4/9/9/9/9/9/9/9/4K4 b - 1";
    Engine engine;
    engine.Send("usinewgame\nposition sfen " + sfen + "\ngo\n");
    std::string printed;
    for (std::string line = engine.Lines(); line.rfind("bestmove", 0) != 0 && line != "(none)";
         line = engine.Lines())
        printed += line;
    EndSession(engine);

    NewGame();
    NewGame();
    Position position{};
    int side = 0;
    std::string error;
    ASSERT_TRUE(ReadSfen(sfen, position, side, error)) << error;
    std::FILE* file = std::tmpfile();
    TextReportSink sink(file);
    const auto table = std::make_unique<TranspositionTable>();
    const auto search = std::make_unique<Search>(*table, sink);
    search->Run(position, side, SearchLimits{UsiTimeLimit, UsiMaxDepth});
    ASSERT_FALSE(search->TimedOut());
    std::string written(static_cast<std::size_t>(std::ftell(file)), '\0');
    std::rewind(file);
    EXPECT_EQ(std::fread(written.data(), 1, written.size(), file), written.size());
    std::fclose(file);
    EXPECT_EQ(printed, written);
    EXPECT_NE(written.find("info depth 15 "), std::string::npos);
}

// With input already at its end the console game plays its first move, shows it and stops.
TEST(ConsoleGame, EndsAfterOneBoardWhenInputHasEnded) {
#ifdef __SANITIZE_THREAD__
    GTEST_SKIP() << "single-threaded, and its ten-ply search takes minutes under the checker";
#endif
    Engine engine({"CUI"});
    engine.CloseInput();
    const std::string out = Finish(engine, seconds(300));
    const std::size_t board = out.find("   9  8  7  6  5  4  3  2  1\n");
    ASSERT_NE(board, std::string::npos) << out;
    EXPECT_EQ(std::count(out.begin() + board, out.end(), '\n'), 12) << "one board, at the end";
    EXPECT_EQ(out.find('\x1b'), std::string::npos) << "no colours in piped output";
    // Every line before the board is a report; the last one is of depth 10.
    std::string last;
    for (std::size_t at = 0, end; (end = out.find('\n', at)) < board; at = end + 1)
        EXPECT_TRUE(std::regex_match(last = out.substr(at, end + 1 - at), ReportLine)) << last;
    EXPECT_EQ(last.rfind("info depth 10 ", 0), 0u) << last;
}

}  // namespace
}  // namespace mirabel
