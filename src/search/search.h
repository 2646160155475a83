// Search module: iterative deepening over a principal-variation alpha-beta search in quarter
// plies with null move, late-move reductions, a check extension and quiescence; the move
// ordering (killers, history, exchange estimate); the transposition table; the search report.
// A search is one object holding all its state in fixed-size tables: nothing allocates while it
// runs, and several searches can live in one process, each with its own table and report sink.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <type_traits>

#include "movegen/movegen.h"
#include "platform/platform.h"
#include "position/position.h"
#include "search/ordering.h"

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

struct SearchLimits {
    std::uint32_t timeLimitMs;  // the search stops once more time than this has passed
    int maxDepth;               // plies of the deepest iteration
    // The console game's way: the node count, the variation table and the killers go on from
    // the previous search instead of starting afresh as for every "go".
    bool keepTables = false;
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
const char* MoveNumericText(const Move& move);

// ---------------------------------------------------------------------------------------------
// The transposition table
// ---------------------------------------------------------------------------------------------

enum Bound : std::int8_t { BoundExact = 0, BoundUpper = 1, BoundLower = -1 };
struct TableEntry {
    std::uint32_t keyLo;
    std::uint32_t keyHi;
    std::int32_t score;
    std::int8_t depth;
    std::int8_t bound;
    Move best;
    Move previous;
};
static_assert(sizeof(TableEntry) == 40);
static_assert(std::is_trivially_copyable_v<TableEntry>);

// One entry per slot, depth-preferred replacement; one half per side to move, indexed by the
// low key bits.
class TranspositionTable {
  public:
    static constexpr std::uint32_t Half = 0x50000;
    static constexpr std::uint32_t IndexMask = 0x4FFFF;

    TranspositionTable();  // every entry zero

    // True on a hit; `slot` is the entry for (side, keyLo) in every case.
    bool Probe(int side, std::uint32_t keyLo, std::uint32_t keyHi, int alpha, int beta, int depth,
               TableEntry*& slot);
    void Store(int side, std::uint32_t keyLo, std::uint32_t keyHi, int depth, const Move& best,
               int score, int bound);
    void Clear();
    TableEntry& SlotOf(int side, std::uint32_t keyLo) {
        return entries[(keyLo & IndexMask) + static_cast<std::uint32_t>(side) * Half];
    }

  private:
    std::unique_ptr<TableEntry[]> entries;
};

// ---------------------------------------------------------------------------------------------
// The search
// ---------------------------------------------------------------------------------------------

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
    std::uint32_t timeLimitMs = 0;
    bool stopped = false;
    static constexpr int ClockReadInterval = 256;
    int untilClockRead = 0;  // clock tests left until the clock is read
    std::uint64_t nodes = 0;
    int iterationDepth = 0;

    bool inCheck[MaxPly] = {};
    Move pv[MaxPly][MaxPly] = {};
    Move killer1[MaxPly] = {};
    Move killer2[MaxPly] = {};
    History history;
    MoveScorer scorer;
    Move moveLists[MoveListCount][MoveListSize] = {};

    // The stop test made at every node. The clock is read at every ClockReadInterval-th test
    // only: a read costs more than the rest of a quiescence node's bookkeeping, and so many
    // nodes take far less than a millisecond.
    bool TimeIsUp() {
        if (stopped) return true;
        if (--untilClockRead > 0) return false;
        untilClockRead = ClockReadInterval;
        if (static_cast<std::uint32_t>(TickCount() - startTick) > timeLimitMs) stopped = true;
        return stopped;
    }
    int StaticScore(int side) const { return side == 0 ? position.material : -position.material; }

    int IterativeDeepening(int side, int maxDepth);
    int AlphaBeta(int side, int alpha, int beta, int depth, int ply, bool noNull);
    int Quiescence(int side, int alpha, int beta, int ply);
    int NullMoveScore(int side, int beta, int depth, int ply);
    bool ScoreMoves(int side, Move* list, int count, const OrderingMoves& known);
    void ScoreByExchange(int side, Move* list, int count);
    int CaptureGain(const Move& move) const;
    void UpdateVariation(int ply, const Move& move);
    void ClearMoveTables();
    void Report(int score, bool final);
};

}  // namespace mirabel
