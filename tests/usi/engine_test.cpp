// The USI engine in-process, as its main thread runs it: input text cut into lines and queued,
// commands handled in order, replies collected. The session's clock moves on by a step each time
// the search reads it, and input arrives when the clock reaches its time, so budgets, "stop",
// "ponderhit" and "isready" during a search are tested without waiting.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "usi/usi.h"
// Where the address space can be capped (Linux, and no sanitizer reserving a large one), a hash
// table the memory cannot hold is asked for.
#if defined(__linux__) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#include <sys/resource.h>
#define MIRABEL_MEMORY_LIMIT 1
#endif

namespace mirabel {
namespace {

// Input with the times it arrives at, and the engine's command loop over it on a clock of its own.
class Session {
  public:
    explicit Session(std::uint32_t step = 5) : step_(step) {}
    // `text` arrives when the clock reaches `at` ms (Send: at once).
    Session& At(std::uint32_t at, std::string text) {
        script_.emplace_back(at, std::move(text));
        return *this;
    }
    Session& Send(std::string text) { return At(0, std::move(text)); }

    // The engine's command loop until the end of input or "quit"; the replies, one a line.
    std::vector<std::string> Run() {
        UsiEngine engine([this](std::string_view line) { replies_.emplace_back(line); }, &queue_,
                         [this] { return Tick(); });
        for (;;) {
            std::size_t queued = 0;
            queue_.TakeWhere([&](const InputEvent&) { return ++queued, false; });
            if (queued == 0 && !script_.empty())
                now = std::max(now, script_.front().first);  // idle until input
            Deliver();
            const InputEvent event = queue_.Pop();
            if (event.kind == InputEvent::EndOfInput) break;
            if (event.kind == InputEvent::OverlongLine) engine.RefuseOverlongLine();
            if (event.kind == InputEvent::Line && !engine.Handle(event.text)) break;
        }
        return replies_;
    }

    std::uint32_t now = 0;

  private:
    std::uint32_t step_;
    std::deque<std::pair<std::uint32_t, std::string>> script_;
    CommandQueue queue_;
    LineSplitter splitter_;
    std::vector<std::string> replies_;
    bool ended_ = false;

    std::uint32_t Tick() {
        now += step_;
        Deliver();
        return now;
    }
    // Queues the input due by now, and the end of input after the last of it.
    void Deliver() {
        std::vector<InputLine> lines;
        for (; !script_.empty() && script_.front().first <= now; script_.pop_front())
            splitter_.Feed(script_.front().second.data(), script_.front().second.size(), lines);
        if (script_.empty() && !ended_) splitter_.Finish(lines);
        for (InputLine& line : lines)
            queue_.Push({line.overlong ? InputEvent::OverlongLine : InputEvent::Line,
                         std::move(line.text)});
        if (script_.empty() && !ended_) queue_.Push({InputEvent::EndOfInput, {}});
        ended_ = script_.empty();
    }
};

// Plays USI moves on `game`, each of which must be legal in turn.
void Play(PositionOutcome& game, std::string_view moves) {
    Move move{};
    for (const std::string_view word : SplitWords(moves)) {
        ASSERT_TRUE(ParseUsiMove(word, game.side, game.position, move)) << word;
        MakeMove(game.side, game.position, move);
        game.side = 1 - game.side;
    }
}

// A middle game that no search finishes quickly: each search below ends on its clock or its
// front end.
const std::string Middle =
    "position sfen l4s1n1/1k6l/ns1p1g1pp/ppr1p1g2/2b3pP1/PP1PP4/N1K2PP1P/6G1B/L1SGS2NL b 2Prp 99\n";

// The replies cut after each "bestmove": for each search its last report line, its "bestmove"
// and the other lines before it (the variation line after a report is none); then the rest.
struct Answer {
    std::string last, bestmove, others;
    std::uint64_t Field(const std::string& name) const {
        const std::size_t at = last.find(" " + name + " ");
        return at == std::string::npos ? 0 : std::stoull(last.substr(at + name.size() + 2));
    }
};
std::vector<Answer> Answers(const std::vector<std::string>& replies) {
    std::vector<Answer> answers(1);
    for (std::size_t i = 0; i < replies.size(); ++i) {
        const std::string& line = replies[i];
        if (line.rfind("info depth ", 0) == 0) {
            answers.back().last = line;
        } else if (line.rfind("bestmove ", 0) == 0) {
            answers.back().bestmove = line;
            answers.emplace_back();
        } else if (i == 0 || replies[i - 1].rfind("info depth ", 0) != 0) {
            answers.back().others += line + "\n";
        }
    }
    return answers;
}
// The answer of a session of one search, after which nothing more is written.
Answer Only(Session& session) {
    const std::vector<Answer> answers = Answers(session.Run());
    EXPECT_TRUE(answers.size() == 2 && answers[1].others.empty());
    return answers[0];
}

const std::string UsiReply =
    "id name mirabel\nid author mirabel\n"
    "option name USI_Hash type spin default 25 min 1 max 16384\n"
    "option name NetworkDelay type spin default 120 min 0 max 10000\n"
    "option name Threads type spin default 1 min 1 max 256\n"
    "option name USI_Ponder type check default false\nusiok\n";

std::string Info(const std::string& text) {
    return "info string " + text + "\n";
}

TEST(UsiEngine, CommandsAreWholeWordsAndEveryRefusalIsOneLine) {
    // Nothing inside a long line is a command of its own; a CRLF line end is no part of its last
    // move; a line over the bound is refused whole.
    std::string crlf = "position startpos moves 7g7f 3c3d";
    while (crlf.size() < 9990) crlf += " 5i4h 5a4b 4h5i 4b5a";
    // A refusal is one line however much it quotes: 400 characters of it at most.
    std::string go = "go nodes 0 fast", ignored = "go: ignored \"nodes\" \"0\" \"fast\"";
    for (int i = 0; i < 100; ++i) go += " x", ignored += " \"x\"";
    Session session;
    session
        .Send("usi\n\n \t\nusi\textra\r\n \tisready\r\nu\nusin\nquitter\ngox\n" +
              std::string(1, '\0') + "\nisrea\nposition startposition moves 7g7f\n")
        .Send("position startpos 7g7f\nposition sfen 4k4/4R4/9/9/9/9/9/9/4K4 b - 1\n")
        .Send("position startpos moves 7g7f 3c3d 9z9z\n" + go + "\nstop\n")
        .Send("setoption name x value" + std::string(9973, ' ') + "quit\n")
        .Send("position startpos moves 7g7f" + std::string(9971, ' ') + "go\n")
        .Send("go" + std::string(MaxLineLength, ' ') + "\n" + crlf + " 2g2f\r\ngo depth 1\n")
        .At(1000, "quit\nusi");
    const std::vector<Answer> answers = Answers(session.Run());
    ASSERT_EQ(answers.size(), 3u);
    const auto unknown = [](const std::string& word) {
        return Info("unknown command \"" + word + "\"");
    };
    EXPECT_EQ(answers[0].others,
              UsiReply + UsiReply + "readyok\n" + unknown("u") + unknown("usin") +
                  unknown("quitter") + unknown("gox") + unknown("\\x00") + unknown("isrea") +
                  Info("position refused: expected startpos or sfen after position") +
                  Info("position refused: expected moves, not \"7g7f\"") +
                  Info("position refused, the previous position is kept: the side not to move "
                       "is in check") +
                  Info("move 3 \"9z9z\" is not legal here; the moves before it are played") +
                  Info(ignored.substr(0, 400) + "..."));
    EXPECT_EQ(answers[0].bestmove, "bestmove 7f7e");  // stopped at once: the first legal move
    EXPECT_EQ(answers[1].others,
              Info("unknown option \"x\"") +
                  Info("move 2 \"go\" is not legal here; the moves before it are played") +
                  Info("refused an input line longer than 1048576 bytes; none of it was "
                       "executed"));
    // Side 1 answers 2g2f; "quit" ends the engine.
    EXPECT_EQ(answers[1].last, "info depth 1 score cp 0 nodes 43 time 20 nps 2150 pv 2b8h+");
    EXPECT_EQ(answers[1].bestmove, "bestmove 2b8h+");
    EXPECT_EQ(answers[2].others, "");
}

TEST(UsiEngine, OptionsAreCheckedAndTakenAfterIsready) {
    Session session;
    session.Send(
        "setoption name USI_Hash value 0\nsetoption name USI_Hash value 16385\n"
        "setoption name NetworkDelay value -1\nsetoption name USI_Ponder value yes\n"
        "setoption name USI_Hash\nsetoption USI_Hash value 1\nisready\n"
        "setoption name USI_Hash value 1\nsetoption name NetworkDelay value 0\n"
        "setoption name USI_Ponder value true\n" +
        Middle + "go movetime 1000\n");
    const Answer answer = Only(session);
    EXPECT_EQ(answer.others,
              Info("setoption refused: USI_Hash takes a whole number from 1 to 16384") +
                  Info("setoption refused: USI_Hash takes a whole number from 1 to 16384") +
                  Info("setoption refused: NetworkDelay takes a whole number from 0 to 10000") +
                  Info("setoption refused: USI_Ponder takes true or false") +
                  Info("setoption refused: USI_Hash takes a whole number from 1 to 16384") +
                  Info("setoption refused: expected setoption name <id> value <x>") + "readyok\n");
    EXPECT_EQ(answer.Field("time"), 1010u) << answer.last;  // no delay kept back
    EXPECT_NE(answer.bestmove.find(" ponder "), std::string::npos) << answer.bestmove;
#ifdef MIRABEL_MEMORY_LIMIT
    // A table the memory cannot hold is refused, when the table is made and later, and the old
    // one kept.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_AS, &saved), 0);
    const rlimit limited{rlim_t{4} << 30, saved.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_AS, &limited), 0);
    Session refused;
    refused.Send("setoption name USI_Hash value 16000\nisready\nsetoption name USI_Hash value " +
                 std::to_string(MaxHashMegabytes) + "\n" + Middle + "go depth 3\n");
    const Answer kept = Only(refused);
    EXPECT_EQ(setrlimit(RLIMIT_AS, &saved), 0);
    const auto refusal = [](const char* size) {
        return Info(std::string("USI_Hash: ") + size +
                    " MB cannot be had; the table keeps its size");
    };
    EXPECT_EQ(kept.others, refusal("16000") + "readyok\n" + refusal("16384"));
    EXPECT_EQ(kept.last.rfind("info depth 3 ", 0), 0u) << kept.last;
#endif
}

// The search's budget reaches it whole: it stops at the first clock reading past its hard limit
// (the report after that reads the clock once more). Readings are 5 ms apart.
TEST(UsiEngine, BudgetsDepthAndNodes) {
    const std::pair<const char*, std::uint32_t> clocks[] = {
        {"go btime 0 wtime 0 byoyomi 1000", 890},
        {"go btime 4000 wtime 0 byoyomi 1000 movestogo 4", 2010},
        {"go movetime 1000", 890},
        {"go", 2810},
        // Sudden death: an iteration started before 1000 ms may run on up to 2000.
        {"go btime 30000 wtime 0", 2010}};
    for (const auto& [go, time] : clocks) {
        Session session;
        EXPECT_EQ(Only(session.Send(Middle + go + "\n")).Field("time"), time) << go;
    }
    Session depth;
    EXPECT_EQ(Only(depth.Send(Middle + "go depth 4\n")).last.rfind("info depth 4 ", 0), 0u);
    Session nodes;
    EXPECT_LE(Only(nodes.Send(Middle + "go nodes 5000\n")).Field("nodes"), 5000u + 256u);
}

TEST(UsiEngine, StopPonderhitIsreadyAndQuitDuringASearch) {
    // Analysis answers only after "stop", far past the fixed budget; "isready" is answered while
    // it goes on.
    Session analysis;
    analysis.Send(Middle + "go infinite\n").At(500, "isready\n").At(6000, "stop\n");
    Answer answer = Only(analysis);
    EXPECT_EQ(answer.others, "readyok\n");
    EXPECT_GE(answer.Field("time"), 5990u) << answer.last;
    // The byoyomi counts from the "ponderhit"; "stop" ends a ponder search at once.
    Session hit;
    hit.Send(Middle + "go ponder btime 0 wtime 0 byoyomi 1000\n").At(1500, "ponderhit\n");
    EXPECT_EQ(Only(hit).Field("time"), 2385u);
    Session ponderStop;
    ponderStop.Send(Middle + "go ponder btime 0 wtime 0 byoyomi 1000\n").At(1000, "stop\n");
    EXPECT_EQ(Only(ponderStop).Field("time"), 1000u);
    // "gameover" ends a search; "quit" too, and nothing after it is read.
    Session gameover;
    gameover.Send(Middle + "go infinite\n").At(1000, "gameover lose\n");
    EXPECT_EQ(Only(gameover).Field("time"), 1000u);
    Session quit;
    quit.Send(Middle + "go infinite\n").At(1000, "quit\nusi\n");
    EXPECT_EQ(Only(quit).others, "");
    EXPECT_EQ(quit.now, 1005u);
}

TEST(UsiEngine, CommandsBehindASecondGoWaitForItsSearch) {
    Session session;
    session.Send(Middle + "go btime 0 wtime 0 byoyomi 1000\ngo infinite\nstop\nisready\n");
    // The "stop" and the "isready" are the second search's.
    const std::vector<Answer> answers = Answers(session.Run());
    const Answer &first = answers[0], &second = answers[1];
    EXPECT_EQ(first.Field("time"), 890u) << first.last;
    EXPECT_EQ(second.last, "");  // stopped before its first iteration ended
    EXPECT_EQ(first.others + second.others, "readyok\n");
}

// Nobody can stop an analysis once the input has ended: it answers, and so does the one queued
// behind it. Each plays a move: the second answers for the other side.
TEST(UsiEngine, EndOfInputEndsAnalysisWithItsAnswer) {
    Session session;
    session.Send(Middle + "go infinite\ngo infinite\n");
    const std::vector<Answer> answers = Answers(session.Run());
    const Answer &first = answers[0], &second = answers[1];
    EXPECT_EQ(first.last + second.last, "");  // both stopped before their first iteration ended
    PositionOutcome game = ReadPositionCommand(SplitWords(Middle));
    Play(game, first.bestmove.substr(9) + " " + second.bestmove.substr(9));
}

// Scores of a side that has no move left, seen from the side to move; every variation shown is
// legal move after move.
TEST(UsiEngine, MateScoresAndLegalVariations) {
    const std::pair<const char*, const char*> cases[] = {
        {"4k4/9/4P4/9/9/9/9/9/4K4 b G 1", "score mate + "},
        {"4k4/4G4/4P4/9/9/9/9/9/4K4 w - 1", "score mate - "}};
    for (const auto& [sfen, score] : cases) {
        Session session;
        const std::string position = std::string("position sfen ") + sfen + "\n";
        const std::vector<std::string> replies = session.Send(position + "go depth 3\n").Run();
        for (const std::string& line : replies) {
            const std::size_t pv = line.find(" pv ");
            if (pv == std::string::npos) continue;
            PositionOutcome game = ReadPositionCommand(SplitWords(position));
            Play(game, std::string_view(line).substr(pv + 4));
        }
        const Answer answer = Answers(replies)[0];
        EXPECT_NE(answer.last.find(score), std::string::npos) << answer.last;
        EXPECT_EQ(answer.bestmove, score[11] == '+' ? "bestmove G*5b" : "bestmove resign");
    }
}

}  // namespace
}  // namespace mirabel
