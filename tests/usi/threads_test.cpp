// The USI engine with Threads above 1, driven in process: the option, legal answers, and every
// way a search ends reaching all the threads in time, oversubscribed ones too. The suites are
// named Threads* and run under ThreadSanitizer in CI; time bounds are generous for it.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "usi/usi.h"

namespace mirabel {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

const std::string Middle =
    "position sfen l4s1n1/1k6l/ns1p1g1pp/ppr1p1g2/2b3pP1/PP1PP4/N1K2PP1P/6G1B/L1SGS2NL b 2Prp 99";

// An engine on a thread of its own, fed through its command queue as the input reader feeds it.
class Session {
  public:
    Session()
        : engine_([this](std::string_view line) { Take(line); }, &queue_),
          loop_([this] { Loop(); }) {}
    ~Session() {
        queue_.Push({InputEvent::EndOfInput, ""});
        loop_.join();
    }

    void Send(const std::string& text) {
        std::size_t at = 0;
        for (std::size_t end; (end = text.find('\n', at)) != std::string::npos; at = end + 1)
            queue_.Push({InputEvent::Line, text.substr(at, end - at)});
    }
    // The next line that starts with `prefix`, the lines before it dropped; "" when none comes.
    std::string Await(const std::string& prefix,
                      Clock::duration patience = std::chrono::seconds(30)) {
        std::unique_lock<std::mutex> lock(mutex_);
        for (const auto deadline = Clock::now() + patience;;) {
            while (!lines_.empty()) {
                std::string line = std::move(lines_.front());
                lines_.erase(lines_.begin());
                if (line.rfind(prefix, 0) == 0) return line;
            }
            if (arrived_.wait_until(lock, deadline) == std::cv_status::timeout && lines_.empty())
                return "";
        }
    }
    void Ready() {
        Send("isready\n");
        EXPECT_EQ(Await("readyok"), "readyok");
    }

  private:
    CommandQueue queue_;
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<std::string> lines_;
    UsiEngine engine_;
    std::thread loop_;

    void Take(std::string_view line) {
        const std::lock_guard<std::mutex> lock(mutex_);
        lines_.emplace_back(line);
        arrived_.notify_all();
    }
    void Loop() {
        for (;;) {
            const InputEvent event = queue_.Pop();
            if (event.kind == InputEvent::EndOfInput || !engine_.Handle(event.text)) return;
        }
    }
};

// Whether "bestmove" names a legal move in the position of `positionLine` (ponder move too).
bool LegalAnswer(const std::string& positionLine, const std::string& answer) {
    const PositionOutcome asked = ReadPositionCommand(SplitWords(positionLine));
    const std::vector<std::string_view> words = SplitWords(answer);
    if (!asked.accepted || words.size() < 2 || words[0] != "bestmove") return false;
    Position position = asked.position;
    Move move{};
    if (!ParseUsiMove(words[1], asked.side, position, move)) return false;
    if (words.size() == 2) return true;
    MakeMove(asked.side, position, move);
    return words.size() == 4 && words[2] == "ponder" &&
           ParseUsiMove(words[3], 1 - asked.side, position, move);
}

// Waits for a report of an iteration of at least `plies` (an iteration a table entry settles at
// once reports nothing).
bool ReachesDepth(Session& session, int plies) {
    for (std::string line; !(line = session.Await("info depth ")).empty();)
        if (std::stoi(line.substr(11)) >= plies) return true;
    return false;
}

std::uint64_t NodesOf(const std::string& report) {
    const std::size_t at = report.find(" nodes ");
    return at == std::string::npos ? 0 : std::stoull(report.substr(at + 7));
}

TEST(ThreadsEngine, TheOptionIsCheckedAndEachCountAnswersLegally) {
    Session session;
    session.Send("setoption name Threads value 0\nsetoption name Threads value 257\n");
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(session.Await("info string"),
                  "info string setoption refused: Threads takes a whole number from 1 to 256");
    // Between games the count changes, down and up; each game's answers are legal.
    for (const char* count : {"2", "4", "1", "3"}) {
        session.Send(std::string("setoption name Threads value ") + count +
                     "\nsetoption name USI_Ponder value true\nusinewgame\n");
        std::string line = "position startpos moves 7g7f 3c3d";
        for (const char* go : {"go depth 6", "go btime 0 wtime 0 byoyomi 300"}) {
            session.Send(line + "\n" + go + "\n");
            const std::string answer = session.Await("bestmove");
            EXPECT_TRUE(LegalAnswer(line, answer)) << count << " " << go << ": " << answer;
            const std::vector<std::string_view> words = SplitWords(answer);
            if (words.size() < 2) break;
            line += ' ';
            line += words[1];
        }
    }
}

TEST(ThreadsEngine, StopQuitAndTheClockReachEveryThread) {
    for (const char* count : {"2", "4"}) {
        Session session;
        session.Send(std::string("setoption name Threads value ") + count + "\n");
        session.Ready();
        // "stop" during an analysis, once it has finished an iteration (its last report then
        // names one); "isready" is answered while it runs.
        session.Send(Middle + "\ngo infinite\n");
        ASSERT_TRUE(ReachesDepth(session, 4));
        session.Send("isready\n");
        EXPECT_EQ(session.Await("readyok"), "readyok");
        auto sent = Clock::now();
        session.Send("stop\n");
        const std::string last = session.Await("info depth");
        EXPECT_TRUE(LegalAnswer(Middle, session.Await("bestmove"))) << count;
        EXPECT_LT(Clock::now() - sent, milliseconds(300)) << count;
        EXPECT_GT(NodesOf(last), 0u);
        // Byoyomi of one second: 880 ms after the delay.
        session.Send(Middle + "\ngo btime 0 wtime 0 byoyomi 1000\n");
        sent = Clock::now();
        EXPECT_TRUE(LegalAnswer(Middle, session.Await("bestmove"))) << count;
        EXPECT_LT(Clock::now() - sent, milliseconds(1000)) << count;
        // "ponderhit" turns a ponder search into a timed one; "gameover" ends one.
        session.Send(Middle + "\ngo ponder btime 0 wtime 0 byoyomi 500\n");
        ASSERT_NE(session.Await("info depth"), "");
        session.Send("ponderhit\n");
        sent = Clock::now();
        EXPECT_TRUE(LegalAnswer(Middle, session.Await("bestmove"))) << count;
        EXPECT_LT(Clock::now() - sent, milliseconds(700)) << count;
        // "gameover" and "quit" each end an analysis at once.
        for (const char* end : {"gameover win\n", "quit\n"}) {
            session.Send(Middle + "\ngo infinite\n");
            ASSERT_NE(session.Await("info depth"), "");
            sent = Clock::now();
            session.Send(end);
            EXPECT_NE(session.Await("bestmove"), "");
            EXPECT_LT(Clock::now() - sent, milliseconds(300)) << count << " " << end;
        }
    }
}

// Far more threads than cores: the main search may wait for a core, and the helpers still
// stop on its time limit.
TEST(ThreadsEngine, SixtyFourThreadsOnTwoCoresStillStopOnTime) {
    Session session;
    session.Send("setoption name Threads value 64\n");
    session.Ready();
    // Each "go" with the moment its "bestmove" is due at the latest, the delay kept back.
    const std::pair<const char*, int> clocks[] = {{"go movetime 500", 500},
                                                  {"go btime 0 wtime 0 byoyomi 1000", 1000}};
    for (const auto& [go, due] : clocks) {
        session.Send(Middle + "\n" + go + "\n");
        const auto sent = Clock::now();
        EXPECT_TRUE(LegalAnswer(Middle, session.Await("bestmove"))) << go;
        EXPECT_LT(Clock::now() - sent, milliseconds(due + 100)) << go;
    }
    session.Send("setoption name Threads value 1\n" + Middle + "\ngo depth 3\n");
    EXPECT_TRUE(LegalAnswer(Middle, session.Await("bestmove")));
}

}  // namespace
}  // namespace mirabel
