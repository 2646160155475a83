// Move generation module: the pseudo-legal generators of the search (all moves with drops,
// quiescence captures, check evasions), the legality test applied after making a move, and a
// full-rules legal move list for the front end and the perft tool.
#pragma once

#include "position/position.h"

namespace mirabel {

// Capacity of one move list. Bounds over every position the SFEN reader accepts (two kings,
// at most the game's other 38 pieces):
// - One piece on the board writes at most: pawn 1, lance 8, knight 4, silver 10 (five targets,
//   two forms each), gold and promoted minor pieces 6, king 8, bishop and rook 16 (one record
//   per target), horse and dragon 20.
// - Drops write one record per kind in hand and empty square of its range: at most 72 for the
//   pawn and the lance, 63 for the knight, and 79 - n for the others when n pieces of the side
//   stand on the board beside the two kings.
// Summing both over how many pieces of each kind stand on the board (at their best form) or lie
// in hand, and maximising, gives 591 records for GenerateMoves (10 P, L, 4 N, S, 4 G, B, R in
// hand; 8 tokins, 3 lances, 3 silvers, a horse and a dragon on the board). GenerateCaptures
// writes a subset of the board moves. GenerateEvasions writes at most 8 king moves, 18 moves
// onto each of at most 8 target squares (10 step and knight sources, 8 rays) and 7 x 7 drops:
// 201, repeats included. GenerateLegalMoves adds the non-promoting forms (a rook or bishop in
// the zone up to 32 records, a lance 10, a pawn 2), which raises the same maximum to 621. The
// longest lists found by searching placements hold 570 (full) and 595 (full rules) records.
constexpr int MoveListSize = 1024;
using MoveList = Move[MoveListSize];

// Full pseudo-legal list: board moves square by square, then drops.
int GenerateMoves(int side, const Position& position, Move* out);

// Quiescence list: captures of stepping pieces and lances, every move of the sliders.
int GenerateCaptures(int side, const PieceCode* board, Move* out);
// The same, with the board's occupancy known.
int GenerateCaptures(int side, const PieceCode* board, const Occupancy& occupancy, Move* out);

// Check evasions: king moves, captures of the checker, interpositions (drops last). The
// position is changed during the call and restored before it returns.
int GenerateEvasions(int side, Position& position, Move* out);

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

// Whether `side`'s king is attacked (never, for a side without a king).
inline bool InCheckNow(int side, const Position& position) {
    const int k = position.kingSquare[side];
    return k != NoSquare && FindAttacker(side, position.board, k) != NoSquare;
}

// The list the search walks at a node: evasions when `side` is in check, else every move;
// either way the drops come after every board move.
int GenerateSearchMoves(int side, Position& position, Move* out);

// After MakeMove of `move` by `side`: true when the move left the own king attacked.
// Drops are never tested (a drop cannot uncover the own king); when the side was not in check
// before the move and the king did not move, only the line the piece left is.
bool LeavesKingAttacked(int side, const Position& after, const Move& move, bool wasInCheck);

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
