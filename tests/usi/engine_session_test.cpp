// The built engine driven as a front end drives it: a child process on pipes, lines written to
// its standard input, replies read back with time-outs. Every bound here is a liveness bound
// chosen generously, so that sanitizer builds of the engine pass too.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "movegen/movegen.h"
#include "usi/usi.h"

namespace mirabel {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto Patience = std::chrono::seconds(10);

// One engine process with its three standard streams on pipes.
class EngineProcess {
  public:
    EngineProcess() {
        signal(SIGPIPE, SIG_IGN);
        int in[2], out[2], err[2];
        if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(in[0], 0);
            dup2(out[1], 1);
            dup2(err[1], 2);
            for (const int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
            execl(MIRABEL_BINARY, MIRABEL_BINARY, static_cast<char*>(nullptr));
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        close(err[1]);
        input_ = in[1];
        output_ = out[0];
        errors_ = err[0];
        fcntl(output_, F_SETFL, O_NONBLOCK);
        fcntl(errors_, F_SETFL, O_NONBLOCK);
    }

    ~EngineProcess() {
        CloseInput();
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (output_ >= 0) close(output_);
        if (errors_ >= 0) close(errors_);
    }

    bool Started() const { return pid_ > 0; }

    void Send(const std::string& text) {
        std::size_t done = 0;
        while (done < text.size()) {
            const ssize_t n = write(input_, text.data() + done, text.size() - done);
            if (n <= 0) return;  // the engine has gone; the test sees it in the replies
            done += static_cast<std::size_t>(n);
        }
    }

    void CloseInput() {
        if (input_ >= 0) close(input_);
        input_ = -1;
    }

    // The next whole output line, or nothing when none arrives in time or output has ended.
    std::optional<std::string> ReadLine(Clock::duration patience = Patience) {
        const auto deadline = Clock::now() + patience;
        for (;;) {
            const std::size_t end = pending_.find('\n');
            if (end != std::string::npos) {
                std::string line = pending_.substr(0, end);
                pending_.erase(0, end + 1);
                return line;
            }
            if (outputEnded_ || !Pump(deadline)) return std::nullopt;
        }
    }

    // Lines up to and including the first that begins with `prefix`; the last element is
    // missing from the result when it never came.
    std::vector<std::string> ReadThrough(const std::string& prefix) {
        std::vector<std::string> lines;
        while (auto line = ReadLine()) {
            lines.push_back(*line);
            if (line->rfind(prefix, 0) == 0) break;
        }
        return lines;
    }

    // Waits for the process to end, with its output read to the end; -1 on time-out.
    int WaitExit() {
        const auto deadline = Clock::now() + Patience;
        while (!outputEnded_ && Pump(deadline)) {
        }
        int status = 0;
        while (waitpid(pid_, &status, WNOHANG) == 0) {
            if (Clock::now() > deadline) return -1;
            usleep(10000);
        }
        exited_ = true;
        while (ReadSome(errors_, errorText_) > 0) {
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    // Output not yet taken as lines (after WaitExit: everything left).
    const std::string& Unread() const { return pending_; }
    // Standard error: sanitizer reports would land here.
    const std::string& Errors() const { return errorText_; }

  private:
    static ssize_t ReadSome(int fd, std::string& into) {
        char buffer[4096];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n > 0) into.append(buffer, static_cast<std::size_t>(n));
        return n;
    }

    // Takes whatever output arrives before `deadline`; false when the deadline passed.
    bool Pump(Clock::time_point deadline) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return false;
        pollfd fds[2] = {{output_, POLLIN, 0}, {errors_, POLLIN, 0}};
        if (poll(fds, 2, static_cast<int>(left.count())) <= 0) return Clock::now() < deadline;
        if (fds[1].revents) ReadSome(errors_, errorText_);
        if (fds[0].revents && ReadSome(output_, pending_) == 0) outputEnded_ = true;
        return true;
    }

    pid_t pid_ = -1;
    int input_ = -1, output_ = -1, errors_ = -1;
    bool exited_ = false, outputEnded_ = false;
    std::string pending_, errorText_;
};

const std::vector<std::string> UsiReply = {"id name mirabel", "id author mirabel", "usiok"};

// Ends the session by closing standard input and checks a clean end with no further output.
void ExpectCleanEnd(EngineProcess& engine) {
    engine.CloseInput();
    EXPECT_EQ(engine.WaitExit(), 0);
    EXPECT_EQ(engine.Unread(), "");
    EXPECT_EQ(engine.Errors(), "");
}

// Reads the characters of `what` at `at`.
bool Literal(const std::string& text, std::size_t& at, const std::string& what) {
    if (text.compare(at, what.size(), what) != 0) return false;
    at += what.size();
    return true;
}

// Reads one or more characters of the class `test`, at most `most` of them.
template <class Test>
bool Run(const std::string& text, std::size_t& at, Test test, std::size_t most = 20) {
    std::size_t n = 0;
    while (at < text.size() && n < most && test(static_cast<unsigned char>(text[at]))) ++at, ++n;
    return n > 0;
}

bool IsDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}
bool IsUpper(unsigned char c) {
    return c >= 'A' && c <= 'Z';
}

// "info depth D score cp S nodes N info string " and a variation such as "7776FU-8822KA!-".
bool IsReportLine(const std::string& line) {
    std::size_t at = 0;
    if (!Literal(line, at, "info depth ") || !Run(line, at, IsDigit)) return false;
    if (!Literal(line, at, " score cp ")) return false;
    Literal(line, at, "-");
    if (!Run(line, at, IsDigit) || !Literal(line, at, " nodes ") || !Run(line, at, IsDigit))
        return false;
    if (!Literal(line, at, " info string ")) return false;
    while (at < line.size()) {
        const std::size_t start = at;
        if (!Run(line, at, IsDigit, 4) || at - start != 4) return false;
        if (!Run(line, at, IsUpper, 2) || at - start != 6) return false;
        Literal(line, at, "!");
        if (!Literal(line, at, "-")) return false;
    }
    return true;
}

// The lines of one search: report lines in their fixed format, then one "bestmove" line.
// Returns the move text, or "" when the reply was malformed.
std::string ExpectSearchReply(EngineProcess& engine) {
    const std::vector<std::string> lines = engine.ReadThrough("bestmove ");
    if (lines.empty() || lines.back().rfind("bestmove ", 0) != 0) {
        ADD_FAILURE() << "no bestmove within the time bound";
        return "";
    }
    for (std::size_t i = 0; i + 1 < lines.size(); ++i)
        EXPECT_TRUE(IsReportLine(lines[i])) << lines[i];
    return lines.back().substr(9);
}

// Whether `text` is a legal move in the position a "position" line sets up.
bool LegalAfter(const std::string& positionLine, const std::string& text) {
    NewGame();
    ParsePositionCommand(positionLine.c_str(), static_cast<int>(positionLine.size()));
    Move move{};
    return ParseUsiMove(text.c_str(), GamePly % 2, GamePosition, move);
}

TEST(EngineSession, HandshakePhaseAnswersOnlyItsOwnCommands) {
    EngineProcess engine;
    ASSERT_TRUE(engine.Started());
    engine.Send("usi\n");
    for (const std::string& expected : UsiReply) EXPECT_EQ(engine.ReadLine(), expected);
    engine.Send(
        "setoption name USI_Hash value 256\nsetoptionfoo\nusi extra\nisready now\n"
        "position startpos\ngo\ngameover\nstop\nisready\n");
    EXPECT_EQ(engine.ReadLine(), "readyok");
    // Leading parts of the keywords are answered like the keywords, the empty line like "usi".
    engine.Send("\nu\nisrea\n");
    for (int i = 0; i < 2; ++i)
        for (const std::string& expected : UsiReply) EXPECT_EQ(engine.ReadLine(), expected);
    EXPECT_EQ(engine.ReadLine(), "readyok");
    // Many lines at once arrive whole and in order.
    std::string burst;
    for (int i = 0; i < 300; ++i) burst += i % 2 ? "isready\n" : "i\n";
    engine.Send(burst);
    for (int i = 0; i < 300; ++i) ASSERT_EQ(engine.ReadLine(), "readyok") << i;
    // The game phase ignores "isready" until "gameover".
    engine.Send("usinew\nisready\nusi\ngameover win\nisready\n");
    EXPECT_EQ(engine.ReadLine(), "readyok");
    ExpectCleanEnd(engine);
}

TEST(EngineSession, ShortGameWithTwoSearchesInARow) {
    EngineProcess engine;
    ASSERT_TRUE(engine.Started());
    engine.Send("usi\nisready\n");
    EXPECT_EQ(engine.ReadThrough("readyok").size(), 4u);
    const std::string opening = "position startpos moves 7g7f 3c3d";
    engine.Send("usinewgame\n" + opening + "\ngo btime 0 wtime 0 byoyomi 1000\n");
    const std::string first = ExpectSearchReply(engine);
    EXPECT_TRUE(LegalAfter(opening, first)) << first;
    // A second "go" answers for the other side, after the engine's own move.
    engine.Send("go\n");
    const std::string second = ExpectSearchReply(engine);
    EXPECT_TRUE(LegalAfter(opening + " " + first, second)) << first << " " << second;
    engine.Send("gameover lose\nisready\n");
    EXPECT_EQ(engine.ReadLine(), "readyok");
    ExpectCleanEnd(engine);
}

TEST(EngineSession, PonderAndStopPrintNothingAndMateSearchIsDeclined) {
    EngineProcess engine;
    ASSERT_TRUE(engine.Started());
    engine.Send(
        "usinewgame\nposition startpos\ngo ponder\nstop\nponderhit\ngo ponder btime 1\n"
        "go mate 1000\ngo mate infinite\nstop\ngameover\nisready\n");
    EXPECT_EQ(engine.ReadLine(), "checkmate notimplemented");
    EXPECT_EQ(engine.ReadLine(), "checkmate notimplemented");
    EXPECT_EQ(engine.ReadLine(), "readyok");
    ExpectCleanEnd(engine);
}

TEST(EngineSession, QuitAsFirstLineEndsAtOnceWithoutOutput) {
    EngineProcess engine;
    ASSERT_TRUE(engine.Started());
    engine.Send("quit\nusi\n");
    EXPECT_EQ(engine.WaitExit(), 0);
    EXPECT_EQ(engine.Unread(), "");
    EXPECT_EQ(engine.Errors(), "");
}

TEST(EngineSession, QuitAfterStopLetsTheRunningSearchAnswer) {
    EngineProcess engine;
    ASSERT_TRUE(engine.Started());
    engine.Send("usinewgame\nposition startpos\ngo\n");
    // Wait until the search has reported, then stop and quit while it runs.
    const auto report = engine.ReadLine();
    ASSERT_TRUE(report.has_value());
    engine.Send("stop\nquit\n");
    std::vector<std::string> lines = {*report};
    if (report->rfind("bestmove ", 0) != 0) {
        const auto rest = engine.ReadThrough("bestmove ");
        lines.insert(lines.end(), rest.begin(), rest.end());
    }
    ASSERT_EQ(lines.back().rfind("bestmove ", 0), 0u);
    EXPECT_TRUE(LegalAfter("position startpos", lines.back().substr(9))) << lines.back();
    EXPECT_EQ(engine.WaitExit(), 0);
    EXPECT_EQ(engine.Unread(), "");
    EXPECT_EQ(engine.Errors(), "");
}

// Bytes of every kind, none of them a command: random binary lines, NUL bytes, pieces of
// over-long lines, commands of the wrong phase and position lines that cannot be read.
std::string Garbage(unsigned seed) {
    std::string text;
    for (int line = 0; line < 60; ++line) {
        seed = seed * 1103515245u + 12345u;
        // First byte outside the letters that begin a command.
        text += static_cast<char>(0x80 + (seed >> 16) % 0x80);
        const int length = static_cast<int>((seed >> 8) % 200);
        for (int i = 0; i < length; ++i) {
            seed = seed * 1103515245u + 12345u;
            const char c = static_cast<char>((seed >> 16) & 0xFF);
            text += c == '\n' ? ' ' : c;
        }
        text += '\n';
    }
    return text;
}

TEST(EngineSession, GarbageChangesNothingAndCrashesNothing) {
    EngineProcess engine;
    ASSERT_TRUE(engine.Started());
    const std::string longLine = std::string(30000, 'x') + "\n" + std::string(9999, 'y') + "\n";
    engine.Send(Garbage(1) + longLine + "\x7fusi\n\x01\x02\n" + "isready\n");
    EXPECT_EQ(engine.ReadLine(), "readyok");

    // The moves after the first token that is not a legal move are not played.
    const std::string played = "position startpos moves 7g7f 3c3d 2g2f";
    engine.Send("usinewgame\n" + played + " Z*9z 8c8d\n");
    engine.Send(Garbage(2) + longLine);
    engine.Send(std::string("\0\0go\n\0position startpos\n", 24));
    engine.Send(
        "usi\nisready\nsetoption name x\nusinewgame\npositionstartpos\nposition\n"
        "position sfen\nposition sfen garbage\nposition sfen 4k4/4R4/9/9/9/9/9/9/4K4 b - 1\n"
        "position sfen " +
        std::string(5000, '9') + " b - 1\nposition fen 9/9 b\n" + std::string(300, 'p') + "\n");
    engine.Send("go\n");
    const std::string reply = ExpectSearchReply(engine);
    EXPECT_TRUE(LegalAfter(played, reply)) << reply;
    engine.Send("gameover\nisready\n");
    EXPECT_EQ(engine.ReadLine(), "readyok");
    ExpectCleanEnd(engine);
}

}  // namespace
}  // namespace mirabel
