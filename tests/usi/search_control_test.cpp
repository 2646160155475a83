// A front end's control of a running search under real clocks. Every bound is generous for a
// loaded two-core machine; each case stays short.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <utility>

#include "support/engine_session.h"

namespace mirabel {
namespace {

using std::chrono::milliseconds;
using test::Clock;
using test::Engine;

// A middle-game position that no search finishes quickly: every "go" below runs on its clock.
const std::string Middle =
    "position sfen l4s1n1/1k6l/ns1p1g1pp/ppr1p1g2/2b3pP1/PP1PP4/N1K2PP1P/6G1B/L1SGS2NL b 2Prp 99";

// The time from `since` until "bestmove", or a minute when none came.
Clock::duration BestMoveAfter(Engine& engine, Clock::time_point since,
                              Clock::duration patience = std::chrono::seconds(10)) {
    for (std::string line; (line = engine.Lines(1, patience)) != "(none)";)
        if (line.rfind("bestmove ", 0) == 0) return Clock::now() - since;
    return std::chrono::minutes(1);
}

bool NoBestMoveWithin(Engine& engine, Clock::duration wait) {
    for (const auto deadline = Clock::now() + wait; engine.Pump(deadline);) {
    }
    return engine.pending.find("bestmove") == std::string::npos;
}

// Starts a search once the engine is ready: its start-up (slow under the sanitizers) does not
// count against the search's time.
void Start(Engine& engine, const std::string& go) {
    engine.Send("usinewgame\nisready\n");
    EXPECT_EQ(engine.Lines(), "readyok\n");
    engine.Send(Middle + "\n" + go + "\n");
}

void End(Engine& engine) {
    engine.CloseInput();
    EXPECT_EQ(engine.Finish(), "");
}

TEST(SearchControl, ClocksAreKeptAndStopCutsALongSearch) {
    // Sudden death: a thirtieth of the time, twice that at most, far from the two seconds left.
    const std::pair<const char*, int> clocks[] = {{"go btime 0 wtime 0 byoyomi 1000", 1000},
                                                  {"go movetime 500", 500},
                                                  {"go btime 2000 wtime 2000", 400},
                                                  {"go", 300}};
    for (const auto& [go, limit] : clocks) {
        Engine engine;
        Start(engine, go);
        auto since = Clock::now();  // a moment after the "go" was sent
        if (std::string(go) == "go") {
            EXPECT_EQ(engine.Lines().rfind("info depth", 0), 0u);  // it is searching
            engine.Send("stop\n");
            since = Clock::now();
        }
        EXPECT_LT(BestMoveAfter(engine, since), milliseconds(limit)) << go;
        End(engine);
    }
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

// The last report line before "bestmove".
std::string LastReport(Engine& engine) {
    std::string line, last;
    while ((line = engine.Lines()).rfind("bestmove", 0) != 0 && line != "(none)")
        if (line.rfind("info depth", 0) == 0) last = line;
    return last;
}

TEST(SearchControl, FixedDepthAndNodes) {
    Engine engine;
    Start(engine, "go depth 2");
    const std::string depth = LastReport(engine);
    EXPECT_EQ(depth.rfind("info depth 2 ", 0), 0u) << depth;
    engine.Send(Middle + " moves 4g4f\ngo nodes 5000\n");
    const std::string last = LastReport(engine);
    const std::size_t nodes = last.find(" nodes ");
    ASSERT_NE(nodes, std::string::npos) << last;
    // The limit is tested every 256 nodes.
    EXPECT_LE(std::stoull(last.substr(nodes + 7)), 5000u + 256u) << last;
    End(engine);
}

}  // namespace
}  // namespace mirabel
