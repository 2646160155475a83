// Attack tests on a board: occupancy, FindAttacker, the attack map, whether a move's target
// stays unattacked, whether a move uncovers its king or gives check.
#pragma once

#include "position/geometry.h"
#include "position/types.h"

namespace mirabel {

// The occupied squares of a board, those of them that hold a piece of side 1, and squares among
// which every lance, bishop, rook, horse and dragon of either side stands: FindAttacker looks
// only along the rays that hold one of the opponent's. OccupancyOf leaves every occupied square
// in `sliders`; a caller testing many squares of one board narrows it with SliderSquares.
struct Occupancy {
    SquareSet all;
    SquareSet side1;
    SquareSet sliders;
    SquareSet PiecesOf(int side) const { return side == 0 ? all & ~side1 : side1; }
};
Occupancy OccupancyOf(const PieceCode* board);
// The squares holding a lance, bishop, rook, horse or dragon of either side.
SquareSet SliderSquares(const PieceCode* board);
// The squares holding a piece of exactly this code.
SquareSet SquaresHolding(const PieceCode* board, int code);

// Square of a piece of the opponent of `side` attacking `square`, or NoSquare. The step
// sources are tried first, in their list order, then the first piece along each ray, in
// direction order.
int FindAttacker(int side, const PieceCode* board, int square);
// The same, with the board's occupancy known (for tests repeated on one board). A square the
// occupancy leaves out counts as empty whatever the board holds there, and the square tested
// is never looked at: an exchange estimate plays its captures on the occupancy alone.
int FindAttacker(int side, const PieceCode* board, int square, const Occupancy& occupancy);
// Every square for which FindAttacker(side, board, square) would find an attacker: all the
// squares the opponent's pieces attack, in one pass over those pieces.
SquareSet AttackedSquares(int side, const PieceCode* board);
// The same, with the board's occupancy known.
SquareSet AttackedSquares(int side, const PieceCode* board, const Occupancy& occupancy);
// Whether, once `side` has made `move`, no piece of the opponent attacks its target, so that
// the move's RecaptureBalance is 0. `attacked` is AttackedSquares of the position before the
// move; besides it only a slider uncovered by the vacated origin can reach the target.
bool TargetStaysUnattacked(int side, const PieceCode* board, SquareSet attacked, const Move& move);
// The same, with the occupancy of the board before the move known.
bool TargetStaysUnattacked(int side, const PieceCode* board, const Occupancy& occupancy,
                           SquareSet attacked, const Move& move);
// Whether an opponent's slider attacks `side`'s king along the line from it through `from`
// once a piece of `side` has left `from` for `to`: on the board before the move or after it.
bool OpensLineToKing(int side, const PieceCode* board, int kingSquare, int from, int to);
// Whether `move` by `side` attacks the opponent's king; the board is restored.
bool GivesCheck(int side, Position& position, const Move& move);

}  // namespace mirabel
