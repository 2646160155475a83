// A front end's control of a running search, end to end under real clocks: the budget each
// clock gives, "stop", analysis with "go infinite", pondering, "isready" during a search and
// "quit". Every bound is generous for a loaded two-core machine; each case stays short.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "support/engine_session.h"

namespace mirabel {
namespace {

using std::chrono::milliseconds;
using test::Clock;
using test::Engine;

// A middle-game position that no search finishes quickly: every "go" below runs on its clock.
const std::string Middle =
    "position sfen l4s1n1/1k6l/ns1p1g1pp/ppr1p1g2/2b3pP1/PP1PP4/N1K2PP1P/6G1B/L1SGS2NL b 2Prp 99";

// Reads lines until "bestmove"; the time it took from `since`, or a minute when none came.
Clock::duration BestMoveAfter(Engine& engine, Clock::time_point since,
                              Clock::duration patience = std::chrono::seconds(10)) {
    for (std::string line; (line = engine.Lines(1, patience)) != "(none)";)
        if (line.rfind("bestmove ", 0) == 0) return Clock::now() - since;
    return std::chrono::minutes(1);
}

// True when no "bestmove" arrives within `wait`.
bool NoBestMoveWithin(Engine& engine, Clock::duration wait) {
    const auto deadline = Clock::now() + wait;
    while (engine.Pump(deadline)) {
        if (engine.pending.find("bestmove") != std::string::npos) return false;
    }
    return engine.pending.find("bestmove") == std::string::npos;
}

// Starts a game and a search once the engine is ready, so that its start-up (slow under the
// sanitizers) does not count against the search's time.
void Start(Engine& engine, const std::string& go) {
    engine.Send("usinewgame\nisready\n");
    EXPECT_EQ(engine.Lines(), "readyok\n");
    engine.Send(Middle + "\n" + go + "\n");
}

void End(Engine& engine) {
    engine.CloseInput();
    EXPECT_EQ(engine.Finish(), "");
}

TEST(SearchControl, ByoyomiAndMovetimeAreKept) {
    for (const char* go : {"go btime 0 wtime 0 byoyomi 1000", "go movetime 500"}) {
        Engine engine;
        Start(engine, go);
        const auto sent = Clock::now();  // a moment after the "go" was sent
        const auto limit = std::string(go).find("500") != std::string::npos ? milliseconds(500)
                                                                            : milliseconds(1000);
        EXPECT_LT(BestMoveAfter(engine, sent), limit) << go;
        End(engine);
    }
}

TEST(SearchControl, SuddenDeathIsUsedSparingly) {
    Engine engine;
    Start(engine, "go btime 2000 wtime 2000");
    // A thirtieth of the time, twice that at most: far from the two seconds left.
    EXPECT_LT(BestMoveAfter(engine, Clock::now()), milliseconds(400));
    End(engine);
}

TEST(SearchControl, StopCutsALongSearch) {
    Engine engine;
    Start(engine, "go");
    EXPECT_EQ(engine.Lines().rfind("info depth", 0), 0u);  // it is searching
    engine.Send("stop\n");
    EXPECT_LT(BestMoveAfter(engine, Clock::now()), milliseconds(300));
    End(engine);
}

TEST(SearchControl, AnalysisHoldsItsAnswerUntilStop) {
    Engine engine;
    Start(engine, "go infinite");
    EXPECT_TRUE(NoBestMoveWithin(engine, milliseconds(3200)));  // past the fixed budget
    // "isready" is answered during the search, which goes on.
    const auto asked = Clock::now();
    engine.Send("isready\n");
    for (std::string line; (line = engine.Lines()) != "readyok\n" && line != "(none)";)
        EXPECT_EQ(line.rfind("info ", 0), 0u) << line;
    EXPECT_LT(Clock::now() - asked, milliseconds(100));
    EXPECT_TRUE(NoBestMoveWithin(engine, milliseconds(200)));
    engine.Send("stop\n");
    EXPECT_LT(BestMoveAfter(engine, Clock::now()), milliseconds(300));
    EXPECT_TRUE(NoBestMoveWithin(engine, milliseconds(300))) << "exactly one bestmove";
    End(engine);
}

TEST(SearchControl, PonderHitAndPonderStop) {
    Engine engine;
    Start(engine, "go ponder btime 0 wtime 0 byoyomi 1000");
    EXPECT_TRUE(NoBestMoveWithin(engine, milliseconds(1500)));
    const auto hit = Clock::now();
    engine.Send("ponderhit\n");
    // The byoyomi counts from the ponderhit.
    const auto answered = BestMoveAfter(engine, hit);
    EXPECT_GT(answered, milliseconds(500));
    EXPECT_LT(answered, milliseconds(1000));

    engine.Send(Middle + " moves 4g4f\ngo ponder btime 0 wtime 0 byoyomi 1000\n");
    EXPECT_TRUE(NoBestMoveWithin(engine, milliseconds(300)));
    engine.Send("stop\n");
    EXPECT_LT(BestMoveAfter(engine, Clock::now()), milliseconds(300));
    End(engine);
}

TEST(SearchControl, QuitAndEndOfInputDuringASearch) {
    {
        Engine engine;
        Start(engine, "go infinite");
        EXPECT_EQ(engine.Lines().rfind("info depth", 0), 0u);
        engine.Send("quit\n");
        EXPECT_LT(BestMoveAfter(engine, Clock::now()), milliseconds(300));
        EXPECT_EQ(engine.Finish(std::chrono::seconds(2)), "");
    }
    {
        // Nobody can stop an analysis once the input has ended: it answers and ends, and so
        // does the analysis queued behind it.
        Engine engine;
        Start(engine, "go infinite\ngo infinite");
        engine.CloseInput();
        EXPECT_LT(BestMoveAfter(engine, Clock::now()), milliseconds(500));
        EXPECT_LT(BestMoveAfter(engine, Clock::now()), milliseconds(500));
        EXPECT_EQ(engine.Finish(std::chrono::seconds(2)), "");
    }
}

TEST(SearchControl, FixedDepthAndNodes) {
    Engine engine;
    Start(engine, "go depth 2");
    std::string line, last;
    while ((line = engine.Lines()).rfind("bestmove", 0) != 0 && line != "(none)")
        if (line.rfind("info depth", 0) == 0) last = line;
    EXPECT_EQ(last.rfind("info depth 2 ", 0), 0u) << last;
    engine.Send(Middle + " moves 4g4f\ngo nodes 5000\n");
    while ((line = engine.Lines()).rfind("bestmove", 0) != 0 && line != "(none)")
        if (line.rfind("info depth", 0) == 0) last = line;
    const std::size_t nodes = last.find(" nodes ");
    ASSERT_NE(nodes, std::string::npos) << last;
    EXPECT_LE(std::stoull(last.substr(nodes + 7)), 5000u + 256u)
        << last;  // counted every 256 nodes
    End(engine);
}

}  // namespace
}  // namespace mirabel
