// USI module: the engine's face to front ends. It owns the USI engine's entry, the input reader
// thread with its line splitter and command queue, the command handling (exact command words,
// refusals reported as "info string"), USI move text and the "position" command, the options,
// and the "go" command with its time manager.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "position/position.h"

namespace mirabel {

// Runs the USI engine on standard input and output until "quit" or the end of input; returns
// only when its input thread cannot be started.
int UsiEngineMain();

// ---------------------------------------------------------------------------------------------
// Input: bytes to lines to a queue of commands
// ---------------------------------------------------------------------------------------------

// The longest input line taken, line end not counted. A longer line is refused whole.
constexpr std::size_t MaxLineLength = std::size_t{1} << 20;

struct InputLine {
    std::string text;       // without its line feed and a carriage return before it
    bool overlong = false;  // longer than MaxLineLength: refused, its text is dropped
};

// Cuts a byte stream into lines at line feeds, whatever the size of the pieces it arrives in.
class LineSplitter {
  public:
    void Feed(const char* data, std::size_t size, std::vector<InputLine>& lines);
    // At the end of input: a last line without a line feed still counts.
    void Finish(std::vector<InputLine>& lines);

  private:
    std::string current_;
    bool overlong_ = false;
    bool started_ = false;  // bytes of a line have arrived since the last line feed
    void Append(const char* data, std::size_t size);
    void EndLine(std::vector<InputLine>& lines);
};

// What the input reader hands to the main thread, in the order it was read.
struct InputEvent {
    enum Kind { Line, OverlongLine, EndOfInput } kind = Line;
    std::string text;
};

// First-in first-out queue between the reader thread (the only producer) and the main thread
// (the only consumer). Taking a command never polls: the consumer sleeps until one arrives.
class CommandQueue {
  public:
    void Push(InputEvent event);
    InputEvent Pop();  // waits while the queue is empty
    // Waits until something has arrived since Arrivals() returned `seen`.
    void WaitForArrivalAfter(std::uint64_t seen);
    // How many events were ever pushed: a cheap test for "something new arrived".
    std::uint64_t Arrivals() const { return arrivals_.load(std::memory_order_acquire); }
    // Calls `visit` on each queued event in order; events for which it returns true are removed.
    void TakeWhere(const std::function<bool(const InputEvent&)>& visit);

  private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<InputEvent> events_;
    std::atomic<std::uint64_t> arrivals_{0};
};

// Reads standard input until its end, queueing every line (and the end itself).
void ReadInput(CommandQueue& queue);

// The words of a command line, the command first (none for a blank line); words are separated
// by blanks, tabs and carriage returns.
std::vector<std::string_view> SplitWords(std::string_view line);

// ---------------------------------------------------------------------------------------------
// The USI engine
// ---------------------------------------------------------------------------------------------

// The options a front end can set. The hash table's default is the size it always had.
constexpr int DefaultHashMegabytes = 25;
constexpr int MaxHashMegabytes = 16384;
constexpr int DefaultNetworkDelay = 120;  // ms kept back from the clock for pipes and front end
constexpr int MaxThreadCount = 256;       // searches run at once, each on a thread of its own
struct EngineOptions {
    int hashMegabytes = DefaultHashMegabytes;
    int networkDelay = DefaultNetworkDelay;
    int threads = 1;
    bool ponder = false;
};
std::vector<std::string> OptionLines();  // the "option" lines of the reply to "usi"
// Applies one "setoption" line; what was refused and why, or "" when it was taken.
std::string ApplySetOption(const std::vector<std::string_view>& words, EngineOptions& options);

// Every reply leaves the engine through one function that writes one whole line (without its
// line feed), so that lines never mix.
using LineWriter = std::function<void(std::string_view line)>;
void WriteStdoutLine(std::string_view line);

// The millisecond tick a search keeps its time by; empty for the platform's clock. Tests give
// one of their own, so that budgets and commands during a search need no waiting.
using UsiClock = std::function<std::uint32_t()>;

// The nodes a ply of a capped engine's mate search may take (see CapSearchDepth).
constexpr std::uint64_t MateNodesPerCappedPly = 2000;

class UsiEngine {
  public:
    // `queue`, when given, is where a running search hears "stop", "ponderhit", "isready" and
    // "quit" from; without one a search runs to its own limits.
    explicit UsiEngine(LineWriter writer = WriteStdoutLine, CommandQueue* queue = nullptr,
                       UsiClock clock = {});
    ~UsiEngine();
    UsiEngine(const UsiEngine&) = delete;
    UsiEngine& operator=(const UsiEngine&) = delete;
    // Handles one command line; false once the engine is to end ("quit").
    bool Handle(const std::string& line);
    // Tells the front end that an input line was refused for being too long.
    void RefuseOverlongLine();
    // Caps every later search at `plies` plies, whatever "go" asks (for fuzzing and tools), and
    // every "go mate" at MateNodesPerCappedPly nodes a ply, with a table of just USI_Hash MiB.
    void CapSearchDepth(int plies) { depthCap_ = plies; }

    const Position& GamePositionNow() const;
    int SideToMove() const;

  private:
    struct SearchState;
    struct MateState;

    LineWriter write_;
    CommandQueue* queue_;
    UsiClock clock_;
    EngineOptions options_;
    int depthCap_ = 0;  // plies; 0 for none
    // The game: the position the next search starts from and the side to move in it.
    Position position_{};
    int side_ = 0;
    std::unique_ptr<SearchState> search_;
    std::shared_ptr<MateState> mate_;  // shared: its deleter is made where the type is known

    SearchState& EnsureSearch();
    void StartNewGame();
    void ApplyHashSize();
    void ApplyThreadCount(int before);
    std::string PlayBestMove(SearchState& state);
    void Refuse(const std::string& what);
    void HandlePosition(const std::vector<std::string_view>& words);
    void HandleGo(const std::vector<std::string_view>& words);
    void HandleGoMate(const std::vector<std::string_view>& words);  // go_mate.cpp
    void HandleSetOption(const std::vector<std::string_view>& words);
};

// ---------------------------------------------------------------------------------------------
// USI move text and the "position" command
// ---------------------------------------------------------------------------------------------

std::string MoveToUsi(const Move& move);
// Reads one USI move token for `side` on `position`; true only for a move that is legal under
// the full rules there, with `move` set to the matching record.
bool ParseUsiMove(std::string_view token, int side, const Position& position, Move& move);

// The outcome of a "position" line: the position and side reached, and what was refused (empty
// when nothing was).
struct PositionOutcome {
    bool accepted = false;  // false: nothing of the line applies
    Position position{};
    int side = 0;
    std::string refusal;
};
// `words` is the whole line split into words, "position" first.
PositionOutcome ReadPositionCommand(const std::vector<std::string_view>& words);

// ---------------------------------------------------------------------------------------------
// "go" and the time manager
// ---------------------------------------------------------------------------------------------

// Everything a "go" line can ask for. Times are in milliseconds; -1 where not given.
struct GoLimits {
    std::int64_t time[2] = {-1, -1};  // btime, wtime
    std::int64_t increment[2] = {0, 0};
    std::int64_t byoyomi = 0;
    std::int64_t movetime = -1;
    std::int64_t movesToGo = 0;
    int depth = 0;            // plies; 0 for no limit
    std::uint64_t nodes = 0;  // 0 for no limit
    bool infinite = false;
    bool ponder = false;
    bool mate = false;
};
// A whole number, possibly negative (some front ends send a clock that has run out as one);
// false for anything else, an out-of-range number included.
bool ReadNumber(std::string_view word, std::int64_t& value);

// Reads the words after "go". Fields that cannot be read are skipped and named in `refusal`.
GoLimits ReadGoCommand(const std::vector<std::string_view>& words, std::string& refusal);

// The search's own budget per move, used whenever the clock allows it.
constexpr std::uint32_t FixedBudget = 2800;
constexpr int UsiMaxDepth = 15;  // plies of a timed search

// How long a search may run: no new iteration starts after `soft` ms, and the search stops at
// `hard` ms. `unlimited` searches run until they are stopped (or reach their depth or nodes).
struct TimeBudget {
    std::uint32_t soft;
    std::uint32_t hard;
    bool unlimited;
};
TimeBudget BudgetFor(const GoLimits& limits, int side, std::uint32_t networkDelay);

// Text of arbitrary input safe to echo in one reply line: at most `limit` characters, bytes
// outside printable ASCII written as \xHH.
std::string Printable(std::string_view text, std::size_t limit = 40);

}  // namespace mirabel
