// Search module: iterative deepening over a principal-variation alpha-beta search in quarter
// plies with null move, late-move reductions, a check extension and quiescence; the move
// ordering (killers, history, exchange estimate); the transposition table; the search report.
// A search is one object holding all its state in fixed-size tables: nothing allocates while it
// runs, and several searches can live in one process, each with its own table and report sink.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <type_traits>

#include "movegen/movegen.h"
#include "platform/platform.h"
#include "position/position.h"
#include "search/busy.h"
#include "search/ordering.h"
#include "search/picker.h"
#include "search/table.h"

namespace mirabel {

constexpr int OnePly = 4;
constexpr int ScoreTimeOver = -999999;
constexpr int ScoreNoMove = -888887;
constexpr int ScoreKingCapture = 88888;
constexpr int ScoreInfinity = 99999999;

constexpr int MaxPly = 32;   // plies of the per-ply tables
constexpr int PvShown = 10;  // moves of a variation that are kept and reported

// ---------------------------------------------------------------------------------------------
// Limits and reports
// ---------------------------------------------------------------------------------------------

// Time limits of a running search, in ms since it began: no iteration starts after `softMs`,
// and the search stops as soon as more than `hardMs` have passed.
struct TimeLimits {
    std::uint32_t softMs;
    std::uint32_t hardMs;
};
constexpr std::uint32_t NoTimeLimit = 0xFFFFFFFF;

// Someone outside the search who may end it early or move its time limits, asked on the
// searching thread about once a millisecond while it runs.
class SearchControl {
  public:
    virtual ~SearchControl() = default;
    // False to stop the search now. May change `limits` (a pondering search becoming a timed
    // one); they count from the start of the search.
    virtual bool KeepSearching(std::uint32_t elapsedMs, TimeLimits& limits) = 0;
    // The millisecond tick the search keeps its time by: the platform's clock, or one of the
    // control's own (tests drive the time of a search without waiting for it).
    virtual std::uint32_t Now() { return TickCount(); }
};

// The deepest iteration the per-ply tables allow (a line of checks keeps its depth, so plies
// beyond the iteration depth must still fit).
constexpr int MaxIterationPlies = MaxPly - 2;

struct SearchLimits {
    std::uint32_t timeLimitMs;  // the search stops once more time than this has passed
    int maxDepth;               // plies of the deepest iteration, at most MaxIterationPlies
    // The console game's way: the node count, the variation table and the killers go on from
    // the previous search instead of starting afresh as for every "go".
    bool keepTables = false;
    std::uint32_t softLimitMs = NoTimeLimit;  // no iteration starts after this
    std::uint64_t nodeLimit = 0;              // stops once this many nodes are searched; 0: none
    SearchControl* control = nullptr;
};

// One report of a running search: made at every new best root move and once at the end.
struct SearchReport {
    int depth;  // plies of the iteration that made it
    int score;
    std::uint64_t nodes;
    std::uint32_t elapsedMs;  // since the search began
    Move pv[PvShown];         // the root variation
    int pvLength;
    bool final;  // the last report of the search
};
static_assert(std::is_trivially_copyable_v<SearchReport>);

class ReportSink {
  public:
    virtual ~ReportSink() = default;
    virtual void Report(const SearchReport& report) = 0;
};

// Writes each report as the engine's text lines: depth, score and nodes, then the variation in
// numeric move text on an "info string".
class TextReportSink final : public ReportSink {
  public:
    explicit TextReportSink(std::FILE* file) : out(file) {}
    void Report(const SearchReport& report) override;

  private:
    std::FILE* out;
};

// Numeric move text of the report: "7776FU", "8822KA!", "0055KA".
std::string MoveNumericText(const Move& move);
// The report's variation in numeric move text, each move followed by "-".
constexpr int NumericVariationSize = 256;
void NumericVariation(const SearchReport& report, char (&text)[NumericVariationSize]);

// ---------------------------------------------------------------------------------------------
// The search
// ---------------------------------------------------------------------------------------------

// What the searches of one root running on several threads share besides the table: the stop
// flag, and the main search's time and node limits, which the helpers check too.
struct SearchGroupState {
    std::atomic<bool> stop{false};
    std::atomic<std::uint32_t> hardMs{NoTimeLimit};  // ms after `startTick`
    std::uint32_t startTick = 0;                     // set before the searches start
    std::uint64_t nodeLimit = 0;                     // likewise; 0 for none
    std::atomic<std::uint64_t> nodes{0};             // as far as each search has added its own
    std::atomic<int> deepest{0};  // plies of the deepest iteration any search has finished
    std::mutex results;  // guards each search's last finished iteration while the group runs
    BusyPositions busy;  // the positions the searches are in the middle of
};

// The last iteration a search finished: its plies (0 when none finished), score and variation.
struct FinishedIteration {
    int depth;
    int score;
    Move pv[PvShown];
    int pvLength;
};
static_assert(std::is_trivially_copyable_v<FinishedIteration>);

class Search {
  public:
    Search(TranspositionTable& sharedTable, ReportSink& reportSink)
        : table(sharedTable), sink(reportSink) {}

    // Searches `start` for `side` over the full window, one iteration per ply from three plies
    // up to the limits, and returns the score of the last finished iteration. The table and
    // the ordering's random sequence carry over from earlier searches of this object.
    int Run(const Position& start, int side, const SearchLimits& limits);

    // The move of the last finished iteration; the no-move marker when none finished.
    const Move& BestMove() const { return pv[0][0]; }
    std::uint64_t Nodes() const { return nodes; }
    // Whether the last search ended on its clock rather than at its depth.
    bool TimedOut() const { return stopped; }
    const FinishedIteration& Finished() const { return finished; }

    // Makes this search one of a group searching the same root on several threads, or, with
    // nullptr, a search alone again. Search 0 of a group is its main search: it keeps the clock,
    // the control and the reports but for the last one, and raises the group's stop flag. The
    // others, its helpers, stop with the group and skip some iterations. Between searches only.
    void JoinGroup(SearchGroupState* groupState, int index);
    // Starts the ordering's random sequence afresh from `seed`.
    void SeedOrdering(std::uint32_t seed) { random = OrderingRandom(seed); }

  private:
    // Lists of the plies a search reaches: the full-width plies stop before MaxPly - 1, and
    // quiescence lists no moves past its own bound.
    static constexpr int QuiescencePlyLimit = 20;
    static constexpr int MoveListCount = MaxPly - 1;
    static_assert(QuiescencePlyLimit < MoveListCount);

    TranspositionTable& table;
    ReportSink& sink;

    Position position{};  // the position being searched, changed and restored move by move
    std::uint32_t startTick = 0;
    TimeLimits time{0, 0};
    std::uint64_t nodeLimit = 0;
    SearchControl* control = nullptr;
    std::uint32_t lastAsked = 0;  // elapsed ms when the control was last asked
    bool stopped = false;
    // In a group: the iteration under way was left because another search finished it first.
    bool overtaken = false;
    int maxIterationPlies = 0;  // the deepest iteration of the search under way
    static constexpr int ClockReadInterval = 256;
    int untilClockRead = 0;  // clock tests left until the clock is read
    std::uint64_t nodes = 0;
    int iterationDepth = 0;
    FinishedIteration finished{};
    SearchGroupState* group = nullptr;
    int groupIndex = 0;
    std::uint64_t publishedNodes = 0;  // nodes already added to the group's count

    bool inCheck[MaxPly] = {};
    Move pv[MaxPly][MaxPly] = {};
    Move killer1[MaxPly] = {};
    Move killer2[MaxPly] = {};
    History history;
    OrderingRandom random;  // one sequence through every search of this object
    MovePicker pickers[MoveListCount];

    // The stop test made at every node. The clock is read, and the control asked, at every
    // ClockReadInterval-th test only: a read costs more than the rest of a quiescence node's
    // bookkeeping, and so many nodes take far less than a millisecond.
    bool TimeIsUp() {
        if (stopped) return true;
        if (--untilClockRead > 0) return false;
        untilClockRead = ClockReadInterval;
        return ReadClock();
    }
    bool ReadClock();
    std::uint32_t Now() const { return control != nullptr ? control->Now() : TickCount(); }
    bool IsHelper() const { return group != nullptr && groupIndex > 0; }
    bool ReadGroupClock();
    bool Overtaken();
    void PublishNodes();
    std::uint64_t TotalNodes() const;
    bool SkipsIteration(int plies, int maxPlies) const;
    int StaticScore(int side) const { return side == 0 ? position.material : -position.material; }

    int IterativeDeepening(int side, int maxDepth);
    int AlphaBeta(int side, int alpha, int beta, int depth, int ply, bool noNull);
    int Quiescence(int side, int alpha, int beta, int ply);
    int NullMoveScore(int side, int beta, int depth, int ply);
    int Reduction(const Move& move, int childDepth, int ply) const;
    bool IsPawnDropMate(int side, const Move& move, int childScore, int ply) const;
    int SearchAgain(int side, int alpha, int beta, int score, int depth, int childDepth,
                    bool reduced, int ply);
    void RecordCutoff(const Move& move, int depth, int ply);
    void UpdateVariation(int ply, const Move& move);
    void ClearMoveTables();
    void Report(int score, bool final);
    void KeepFinished(int score);
    void SetFinished(const FinishedIteration& iteration);
};

}  // namespace mirabel
