// "go": its fields read into one limits record, the search run under the time manager's budget
// while the front end can still stop it or hit its ponder move, and the move found played on the
// game position and sent as "bestmove".
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <memory>

#include "movegen/movegen.h"
#include "search/search.h"
#include "search/threads.h"
#include "usi/usi.h"

namespace mirabel {

bool ReadNumber(std::string_view word, std::int64_t& value) {
    const char* end = word.data() + word.size();
    const auto [stop, error] = std::from_chars(word.data(), end, value);
    return error == std::errc() && stop == end;
}

GoLimits ReadGoCommand(const std::vector<std::string_view>& words, std::string& refusal) {
    GoLimits limits;
    std::vector<std::string> skipped;
    for (std::size_t i = 1; i < words.size(); ++i) {
        const std::string_view field = words[i];
        if (field == "infinite") {
            limits.infinite = true;
            continue;
        }
        if (field == "ponder") {
            limits.ponder = true;
            continue;
        }
        if (field == "mate") {
            limits.mate = true;
            return limits;  // what follows is the mate search's own business
        }
        std::int64_t value = 0;
        const bool numbered = i + 1 < words.size() && ReadNumber(words[i + 1], value);
        std::int64_t* target = field == "btime"       ? &limits.time[0]
                               : field == "wtime"     ? &limits.time[1]
                               : field == "binc"      ? &limits.increment[0]
                               : field == "winc"      ? &limits.increment[1]
                               : field == "byoyomi"   ? &limits.byoyomi
                               : field == "movetime"  ? &limits.movetime
                               : field == "movestogo" ? &limits.movesToGo
                                                      : nullptr;
        const bool counted = field == "depth" || field == "nodes";
        if ((target == nullptr && !counted) || !numbered || (counted && value <= 0)) {
            skipped.push_back(Printable(field));
            continue;
        }
        ++i;
        if (target != nullptr) *target = std::max<std::int64_t>(value, 0);
        if (field == "depth") limits.depth = static_cast<int>(std::min<std::int64_t>(value, 1000));
        if (field == "nodes") limits.nodes = static_cast<std::uint64_t>(value);
    }
    if (!skipped.empty()) {
        refusal = "go: ignored";
        for (const std::string& field : skipped) refusal += " \"" + field + "\"";
    }
    return limits;
}

namespace {

// The USI "info" lines of a running search: depth, score, nodes, time, speed and the variation
// in USI move text, then the same variation in the engine's numeric text on an "info string".
class UsiReportSink final : public ReportSink {
  public:
    explicit UsiReportSink(const LineWriter& write) : write_(write) {}

    // The position the next search starts from: its variations are checked move by move.
    void Begin(const Position& root, int side) {
        root_ = root;
        side_ = side;
        lastPvLength_ = 0;
    }

    void Report(const SearchReport& report) override {
        if (report.score == -ScoreInfinity) return;  // no iteration finished: nothing to show
        char line[1024];
        int length = std::snprintf(
            line, sizeof line, "info depth %d score %s nodes %llu time %u nps %llu", report.depth,
            ScoreText(report.score).c_str(), static_cast<unsigned long long>(report.nodes),
            report.elapsedMs,
            static_cast<unsigned long long>(report.nodes * 1000 / std::max(1u, report.elapsedMs)));
        const int legal = LegalPrefix(report);
        if (legal > 0) length += std::snprintf(line + length, sizeof line - length, " pv");
        for (int i = 0; i < legal; ++i)
            length += std::snprintf(line + length, sizeof line - length, " %s",
                                    MoveToUsi(report.pv[i]).c_str());
        write_(std::string_view(line, static_cast<std::size_t>(length)));
        char variation[NumericVariationSize];
        NumericVariation(report, variation);
        std::snprintf(line, sizeof line, "info string %s", variation);
        write_(line);
        if (legal > 0) {
            std::copy(report.pv, report.pv + legal, lastPv_);
            lastPvLength_ = legal;
        }
    }

    // The opponent's expected reply to `best`, from the last variation that began with it.
    bool PonderMove(const Move& best, Move& ponder) const {
        if (lastPvLength_ < 2 || !SameMove(lastPv_[0], best)) return false;
        ponder = lastPv_[1];
        return true;
    }

  private:
    const LineWriter& write_;
    Position root_{};
    int side_ = 0;
    Move lastPv_[PvShown] = {};
    int lastPvLength_ = 0;

    // A side with no move left scores the same at any distance: a mate without a count.
    static std::string ScoreText(int score) {
        if (score == -ScoreNoMove) return "mate +";
        if (score == ScoreNoMove) return "mate -";
        return "cp " + std::to_string(score);
    }

    // How many moves of the variation are legal one after the other from the root: a variation
    // pieced together from the table may hold moves of another line, which are not shown.
    int LegalPrefix(const SearchReport& report) const {
        Position position = root_;
        int side = side_;
        MoveList legal;
        for (int i = 0; i < report.pvLength; ++i) {
            const int count = GenerateLegalMoves(side, position, legal);
            if (std::none_of(legal, legal + count,
                             [&](const Move& m) { return SameMove(m, report.pv[i]); }))
                return i;
            MakeMove(side, position, report.pv[i]);
            side = 1 - side;
        }
        return report.pvLength;
    }
};

// What a running search hears from the front end: "stop", "ponderhit", "isready" and "quit" are
// taken from the queue while it runs; everything else waits there for its turn.
class UsiSearchControl final : public SearchControl {
  public:
    UsiSearchControl(CommandQueue* queue, const LineWriter& write, const UsiClock& clock,
                     const GoLimits& limits, int side, std::uint32_t networkDelay)
        : queue_(queue),
          write_(write),
          clock_(clock),
          limits_(limits),
          side_(side),
          networkDelay_(networkDelay),
          pondering_(limits.ponder) {}

    bool KeepSearching(std::uint32_t elapsedMs, TimeLimits& limits) override {
        if (queue_ != nullptr && queue_->Arrivals() != seen_) Listen(elapsedMs, limits);
        return !stop_;
    }

    std::uint32_t Now() override { return clock_ ? clock_() : TickCount(); }

    // An analysis search, or a ponder search that has not been hit, holds its answer until the
    // front end releases it, even when it has reached its last iteration.
    void WaitForRelease() {
        TimeLimits unused{};
        while (queue_ != nullptr && !stop_ && (limits_.infinite || pondering_)) {
            queue_->WaitForArrivalAfter(seen_);
            Listen(0, unused);
        }
    }

  private:
    CommandQueue* queue_;
    const LineWriter& write_;
    const UsiClock& clock_;
    GoLimits limits_;
    int side_;
    std::uint32_t networkDelay_;
    bool pondering_;
    bool stop_ = false;
    std::uint64_t seen_ = 0;

    void Listen(std::uint32_t elapsedMs, TimeLimits& limits) {
        seen_ = queue_->Arrivals();
        bool laterSearch = false;  // commands behind another "go" belong to that search
        queue_->TakeWhere([&](const InputEvent& event) {
            if (event.kind == InputEvent::EndOfInput) {
                // Nobody can stop an analysis any more: it ends here.
                if (limits_.infinite || pondering_) stop_ = true;
                return false;
            }
            if (event.kind != InputEvent::Line) return false;
            const std::vector<std::string_view> words = SplitWords(event.text);
            if (words.empty()) return false;
            if (words[0] == "quit") {
                stop_ = true;  // the command loop ends at the "quit" itself
                return false;
            }
            if (words[0] == "go") laterSearch = true;
            if (laterSearch) return false;
            if (words[0] == "isready") {
                write_("readyok");
                return true;
            }
            if (words[0] == "stop") {
                stop_ = true;
                return true;
            }
            if (words[0] == "ponderhit") {
                PonderHit(elapsedMs, limits);
                return true;
            }
            if (words[0] == "gameover") stop_ = true;  // taken by the loop once the search ends
            return false;
        });
    }

    // The ponder search becomes a timed one, with its go's clock counted from now.
    void PonderHit(std::uint32_t elapsedMs, TimeLimits& limits) {
        if (!pondering_) return;
        pondering_ = false;
        GoLimits timed = limits_;
        timed.ponder = false;
        const TimeBudget budget = BudgetFor(timed, side_, networkDelay_);
        if (budget.unlimited) return;
        limits.softMs = elapsedMs + budget.soft;
        limits.hardMs = elapsedMs + budget.hard;
    }
};

// Plies of the deepest iteration: the fixed budget's 15, as deep as the tables allow when the
// front end sets no limit of time, and never more than asked.
int MaxPliesFor(const GoLimits& limits, const TimeBudget& budget, int cap) {
    int plies = budget.unlimited || limits.nodes > 0 ? MaxIterationPlies : UsiMaxDepth;
    if (limits.depth > 0) plies = std::min(limits.depth, MaxIterationPlies);
    if (cap > 0) plies = std::min(plies, cap);
    return plies;
}

}  // namespace

// The engine's searches with their one table and the report lines; made at the first "go" (or
// "isready"), so that an engine that never searches never takes the table's memory.
struct UsiEngine::SearchState {
    SearchState(const LineWriter& write, int hashMegabytes)
        : table(static_cast<std::size_t>(hashMegabytes)), sink(write), threads(table, sink) {}
    TranspositionTable table;
    UsiReportSink sink;
    SearchThreads threads;
};

UsiEngine::UsiEngine(LineWriter writer, CommandQueue* queue, UsiClock clock)
    : write_(std::move(writer)), queue_(queue), clock_(std::move(clock)) {
    StartNewGame();
}

UsiEngine::~UsiEngine() = default;

// A new game starts from the start position with an empty table: every game hashes with the
// same keys, and the entries of the last game's positions are not this game's knowledge.
void UsiEngine::StartNewGame() {
    SetStartPosition(position_, EngineKeySet);
    side_ = 0;
    if (search_) search_->table.Clear();
}

UsiEngine::SearchState& UsiEngine::EnsureSearch() {
    if (search_) return *search_;
    // Made at the starting size, then brought to the size asked for: a size that cannot be had
    // is refused here as it is later, rather than silently replaced by the starting one.
    search_ = std::make_unique<SearchState>(write_, DefaultHashMegabytes);
    if (options_.hashMegabytes != DefaultHashMegabytes) ApplyHashSize();
    ApplyThreadCount(1);
    return *search_;
}

// Threads are made or ended here, between searches, and wait for work in between. When not all
// can be started the engine goes on with the count it had.
void UsiEngine::ApplyThreadCount(int before) {
    if (!search_) return;  // the threads are made with the searches
    if (search_->threads.SetCount(options_.threads)) return;
    const int started = search_->threads.Count();
    search_->threads.SetCount(before);
    Refuse("Threads: only " + std::to_string(started) + " of " + std::to_string(options_.threads) +
           " threads could be started; the engine keeps " +
           std::to_string(search_->threads.Count()));
    options_.threads = search_->threads.Count();
}

void UsiEngine::ApplyHashSize() {
    if (!search_) return;  // the size is taken when the table is made
    if (!search_->table.Resize(static_cast<std::size_t>(options_.hashMegabytes)))
        Refuse("USI_Hash: " + std::to_string(options_.hashMegabytes) +
               " MB cannot be had; the table keeps its size");
}

void UsiEngine::HandleGo(const std::vector<std::string_view>& words) {
    std::string refusal;
    const GoLimits limits = ReadGoCommand(words, refusal);
    if (!refusal.empty()) Refuse(refusal);
    if (limits.mate) return HandleGoMate(words);
    SearchState& state = EnsureSearch();
    const int side = SideToMove();
    const std::uint32_t delay = static_cast<std::uint32_t>(options_.networkDelay);
    const TimeBudget budget = BudgetFor(limits, side, delay);
    UsiSearchControl control(queue_, write_, clock_, limits, side, delay);
    SearchLimits searchLimits{budget.unlimited ? NoTimeLimit : budget.hard,
                              MaxPliesFor(limits, budget, depthCap_)};
    searchLimits.softLimitMs = budget.unlimited ? NoTimeLimit : budget.soft;
    searchLimits.nodeLimit = limits.nodes;
    searchLimits.control = &control;
    state.sink.Begin(position_, side);
    state.threads.Run(position_, side, searchLimits);
    control.WaitForRelease();
    write_(PlayBestMove(state));
    state.threads.Join();
}

std::string UsiEngine::PlayBestMove(SearchState& state) {
    const int side = SideToMove();
    Move chosen = state.threads.BestMove();
    // A search stopped before its first iteration ended still plays a legal move: the first
    // one the rules list. Only a side without any legal move resigns. The move found is checked
    // against the rules too: a table entry gone wrong must never reach the front end.
    MoveList legal;
    const int count = GenerateLegalMoves(side, position_, legal);
    if (std::none_of(legal, legal + count, [&](const Move& m) { return SameMove(m, chosen); }))
        chosen = count > 0 ? legal[0] : NoMoveRecord;
    std::string reply = std::string("bestmove ") + MoveToUsi(chosen);
    if (chosen.from == NoMove) return reply;
    Move ponder;
    MakeMove(side, position_, chosen);
    side_ = 1 - side;
    if (options_.ponder && state.sink.PonderMove(chosen, ponder))
        reply += std::string(" ponder ") + MoveToUsi(ponder);
    return reply;
}

}  // namespace mirabel
