// Search module: iterative deepening over a principal-variation alpha-beta search in quarter
// plies with null move, late-move reductions, a check extension and quiescence; the move
// ordering (killers, history, exchange estimate); the transposition table; the search report.
// Every piece of search state is a process-wide table sized in advance: nothing allocates.
#pragma once

#include <cstdint>

#include "movegen/movegen.h"
#include "position/position.h"

namespace mirabel {

constexpr int OnePly = 4;
constexpr int ScoreTimeOver = -999999;
constexpr int ScoreNoMove = -888887;
constexpr int ScoreKingCapture = 88888;
constexpr int ScoreInfinity = 99999999;

constexpr int MaxPly = 32;  // plies of the per-ply tables
constexpr int MoveListCount = 48;
constexpr int PvShown = 10;  // moves of a variation that are kept and reported

// Clock and limits of the running search.
extern std::uint32_t SearchStartTick;
extern std::uint32_t SearchTimeLimit;
extern int TimeOver;
extern std::uint64_t NodeCount;
extern int IterationDepth;

extern std::uint8_t InCheck[MaxPly];
extern Move PvTable[MaxPly][MaxPly];
extern Move MoveLists[MoveListCount][MoveListSize];
extern Move Killer1[MaxPly];
extern Move Killer2[MaxPly];
extern std::uint16_t HistoryGood[100][SquareCount];
extern std::uint16_t HistoryTried[100][SquareCount];

// The ordering score's random part: the sequence of the Windows C runtime's rand().
int OrderingRandom();
void SeedOrderingRandom(std::uint32_t state = 1);

// Search state resets made before a search.
void ClearHistory();
void ClearMoveTables();  // PvTable, Killer1, Killer2 to the no-move marker

// The transposition table.
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
constexpr int TableHalf = 0x50000;
constexpr std::uint32_t TableMask = 0x4FFFF;
extern TableEntry TranspositionTable[2 * TableHalf];

// Returns true on a hit; `slot` is the entry for (side, keyLo) in every case.
bool ProbeTable(int side, std::uint32_t keyLo, std::uint32_t keyHi, int alpha, int beta, int depth,
                TableEntry*& slot);
void StoreTable(int side, std::uint32_t keyLo, std::uint32_t keyHi, int depth, const Move& best,
                int score, int bound);
void ClearTable();  // for tools and tests; the engine itself never clears the table

// The search itself, on GamePosition.
int AlphaBeta(int side, int alpha, int beta, int depth, int ply, int noNull);
int Quiescence(int side, int alpha, int beta, int ply);
int IterativeDeepening(int side, int alpha, int beta, int maxDepth, int ply, int noNull);
// One search of the game position with every reset a new "go" makes (node count, variation
// and killer tables, history, time-out flag, material, start tick), over the full window up to
// `maxDepth` quarter plies. The move found is left in PvTable[0][0].
int SearchGamePosition(int side, std::uint32_t timeLimit, int maxDepth);

// The moves a node already knows to be promising, compared with every generated move.
struct OrderingMoves {
    Move hash;
    Move second;
    Move killer1;
    Move killer2;
    Move pv;
};

// Starts the scoring of a new node's moves (drop estimates are shared within one node).
void BeginMoveScoring();
// Sets `capture` and returns the ordering score of one move; the random part is drawn only
// for a move that matches none of the known moves.
int OrderingScore(int side, Position& position, Move& move, const OrderingMoves& known);

// History updates of a quiet move after its search (tried) and on a cutoff (good).
void AddTried(const Move& move, int depth);
void AddGood(const Move& move, int depth);

// Stable sort of a move list, descending by score.
void SortMoves(Move* moves, int count);
// Makes moves[0..index] the first index + 1 moves of the stably sorted list, given that
// moves[0..index - 1] already are: a node that stops after a few moves never sorts the rest.
// Call it for index 0, 1, 2, ... in turn.
void PutNextInOrder(Move* moves, int count, int index);

// Prints one report line with the root variation and `score`.
void ReportSearch(int score);

// Numeric move text of the report: "7776FU", "8822KA!", "0055KA".
const char* MoveNumericText(const Move& move);

}  // namespace mirabel
