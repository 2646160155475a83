// "go mate" as a front end sends it: one "checkmate" line and never a "bestmove", a solve that
// hears "stop", "isready", "quit" and "gameover" while it runs, and time limits kept.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "mate/mate.h"
#include "usi/usi.h"

namespace mirabel {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A long Edo-period problem the solver does not prove in a few seconds.
const std::string Hard = "position sfen n3p4/3k+b4/3g1B3/9/pn+rRN4/5P3/3P5/9/9 b 3g4sn4l14p 1";

struct Session {
    CommandQueue queue;
    std::vector<std::string> lines;
    std::mutex mutex;
    UsiEngine engine{[this](std::string_view line) {
                         const std::lock_guard<std::mutex> lock(mutex);
                         lines.emplace_back(line);
                     },
                     &queue};
    std::vector<std::string> Lines() {
        const std::lock_guard<std::mutex> lock(mutex);
        return lines;
    }
    // Runs "go ..." on this thread, with `commands` pushed to the queue after `delay`; returns
    // how long after the push the command returned.
    Clock::duration GoWith(const std::string& go, const std::vector<std::string>& commands,
                           Clock::duration delay) {
        Clock::time_point pushed;
        std::thread front([&] {
            std::this_thread::sleep_for(delay);
            pushed = Clock::now();
            for (const std::string& command : commands)
                queue.Push(InputEvent{InputEvent::Line, command});
        });
        engine.Handle(go);
        const Clock::time_point done = Clock::now();
        front.join();
        return done - pushed;
    }
};

std::vector<std::string> Replies(const std::vector<std::string>& lines) {
    std::vector<std::string> replies;
    for (const std::string& line : lines)
        if (line.rfind("info", 0) != 0) replies.push_back(line);
    return replies;
}

TEST(GoMate, AnswersTheMateNomateOrTimeoutInOneLine) {
    Session session;
    const std::pair<const char*, const char*> cases[] = {
        {"position sfen 4k4/9/4P4/9/9/9/9/9/9 b G2r2b3g4s4n4l17p 1", "checkmate G*5b"},
        {"position sfen 8k/9/9/7+R1/9/9/9/9/9 b Sr2b4g3s4n4l18p 1", "checkmate S*2b 1a1b 2d1c"},
        {"position sfen 4k4/9/9/9/9/9/9/9/9 b P2r2b4g4s4n4l17p 1", "checkmate nomate"},
        {"position startpos", "checkmate nomate"},
        // The defender has no king: nothing can mate it.
        {"position sfen 9/9/9/9/9/9/9/9/4K4 b 2r2b4g4s4n4l18p 1", "checkmate nomate"},
    };
    for (const char* go : {"go mate 20000", "go mate", "go mate infinite"}) {
        for (const auto& [position, reply] : cases) {
            session.lines.clear();
            session.engine.Handle(position);
            session.engine.Handle(go);
            EXPECT_EQ(Replies(session.Lines()), std::vector<std::string>{reply}) << go << position;
        }
    }
    session.lines.clear();
    session.engine.Handle(Hard);
    session.engine.Handle("go mate 200");
    EXPECT_EQ(Replies(session.Lines()), std::vector<std::string>{"checkmate timeout"});
    // A word that is no time is named and the solve runs without a limit.
    session.lines.clear();
    session.engine.Handle("position sfen 4k4/9/4P4/9/9/9/9/9/9 b G2r2b3g4s4n4l17p 1");
    session.engine.Handle("go mate soon");
    ASSERT_EQ(session.lines.size(), 2u);
    EXPECT_EQ(session.lines[0].rfind("info string go mate: ignored \"soon\"", 0), 0u);
    EXPECT_EQ(session.lines[1], "checkmate G*5b");
}

TEST(GoMate, StopIsAnsweredAtOnceAndIsreadyDuringTheSolve) {
    Session session;
    session.engine.Handle(Hard);
    const Clock::duration afterStop =
        session.GoWith("go mate infinite", {"isready", "stop"}, milliseconds(300));
    EXPECT_LT(afterStop, milliseconds(50 * 4));  // 50 ms, with room for a loaded machine
    EXPECT_EQ(Replies(session.Lines()), (std::vector<std::string>{"readyok", "checkmate timeout"}));
}

TEST(GoMate, QuitGameoverAndEndOfInputEndIt) {
    for (const char* command : {"quit", "gameover lose"}) {
        Session session;
        session.engine.Handle(Hard);
        EXPECT_LT(session.GoWith("go mate", {command}, milliseconds(100)), milliseconds(500));
        EXPECT_EQ(Replies(session.Lines()), std::vector<std::string>{"checkmate timeout"});
        // The command stays for the command loop.
        const InputEvent left = session.queue.Pop();
        EXPECT_EQ(left.text, command);
    }
    Session session;
    session.engine.Handle(Hard);
    std::thread front([&] {
        std::this_thread::sleep_for(milliseconds(100));
        session.queue.Push(InputEvent{InputEvent::EndOfInput, ""});
    });
    session.engine.Handle("go mate");
    front.join();
    EXPECT_EQ(Replies(session.Lines()), std::vector<std::string>{"checkmate timeout"});
}

}  // namespace
}  // namespace mirabel
