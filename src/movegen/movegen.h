// Move generation module: the pseudo-legal generators of the search (all moves with drops,
// quiescence captures, check evasions), the legality test applied after making a move, and a
// full-rules legal move list for the front end and the perft tool.
#pragma once

#include "position/position.h"

namespace mirabel {

// Capacity of one move list. A side's pseudo-legal list is bounded by what its pieces on the
// board can do plus one drop per kind in hand and empty square; that bound stays below this
// capacity for every position with at most the game's pieces (the movegen tests check it).
constexpr int MoveListSize = 1024;
using MoveList = Move[MoveListSize];

// Full pseudo-legal list: board moves square by square, then drops.
int GenerateMoves(int side, const Position& position, Move* out);
int GeneratePieceMoves(int side, const PieceCode* board, Move* out, int square);
int GenerateStepMoves(int side, const PieceCode* board, int pattern, int square, Move* out);
int GenerateLanceMoves(int side, const PieceCode* board, int square, Move* out);
int GenerateRookMoves(int side, const PieceCode* board, int square, Move* out);
int GenerateBishopMoves(int side, const PieceCode* board, int square, Move* out);
int GenerateDrops(int side, const Position& position, Move* out);

// Quiescence list: captures of stepping pieces and lances, every move of the sliders.
int GenerateCaptures(int side, const PieceCode* board, Move* out);
int GenerateStepCaptures(int side, const PieceCode* board, int pattern, int square, Move* out);
int GenerateLanceCaptures(int side, const PieceCode* board, int square, Move* out);

// Check evasions: king moves, captures of the checker, interpositions. The position is
// changed during the call and restored before it returns.
constexpr int MaxInterpositionSquares = 7;
extern int InterpositionSquares[MaxInterpositionSquares];
extern int InterpositionCount;
int GenerateEvasions(int side, Position& position, Move* out);
int GenerateKingEvasions(int side, PieceCode* board, int kingSquare, Move* out);
int GenerateMovesTo(int side, const PieceCode* board, int target, Move* out);
int GenerateInterpositionDrops(int side, const Position& position, Move* out, const int* squares,
                               int count);

// Record builders shared by the generators.
inline Move BoardMove(int from, int to, int piece, int promote) {
    return Move{static_cast<std::int8_t>(from),
                static_cast<std::int8_t>(to),
                static_cast<std::int8_t>(piece),
                static_cast<std::uint8_t>(promote),
                0,
                0};
}
inline Move DropMove(int kind, int to) {
    return Move{static_cast<std::int8_t>(-kind), static_cast<std::int8_t>(to), 0, 0, 0, 0};
}
// One step or lance move to t: the non-promoting record, then the promoting one where
// promotion is allowed; the promoting record alone where it is compulsory.
int WriteStepRecords(int side, const PieceCode* board, int square, int t, Move* out);
// Whether a dropped piece of `kind` could still move from `square`.
bool DropRangeAllows(int side, int kind, int square);
// Marks the files holding an unpromoted pawn of `side`.
void MarkPawnFiles(int side, const PieceCode* board, bool (&fileHasPawn)[9]);

// Whether `side`'s king is attacked.
inline bool InCheckNow(int side, const Position& position) {
    return FindAttacker(side, position.board, position.kingSquare[side]) != NoSquare;
}

// After MakeMove of `move` by `side`: true when the move left the own king attacked.
// Drops are never tested (a drop cannot uncover the own king).
bool LeavesKingAttacked(int side, const Position& after, const Move& move);

// Every move legal under the full rules of shogi for `side`: the generators' moves that pass
// the legality test, duplicates removed, plus the non-promoting forms the generators leave
// out where the rules allow them, minus pawn drops that give mate. Returns the count.
int GenerateLegalMoves(int side, const Position& position, Move* out);

// Whether `side` has at least one move legal under the full rules.
bool HasLegalMove(int side, const Position& position);

// Whether two records name the same move (from, to, and promote for board moves).
inline bool SameMove(const Move& a, const Move& b) {
    return a.from == b.from && a.to == b.to && (a.from < 0 || a.promote == b.promote);
}

}  // namespace mirabel
