// The first-attacker search shared inside the position module: FindAttacker and the capture
// sequences of the exchange estimates, which run it with their occupancy kept in registers.
#pragma once

#include "position/position.h"

namespace mirabel {

// The slider set that attacks a square of `side` from each direction, in direction order:
// the opponent's lance only from its own side of the board, its rook and dragon along every
// line, its bishop and horse along the diagonals.
extern const bool* const AttackerSets[2][DirectionCount];

// FindAttacker on an occupancy given as its parts: `all` the occupied squares, `side1` those
// of side 1, `sliders` at least the sliders among them. A square left out of `all` counts as
// empty whatever the board holds there, and the square tested is never looked at.
inline int FirstAttacker(int side, const PieceCode* board, int square, SquareSet all,
                         SquareSet side1, SquareSet sliders) {
    const SquareSet enemies = side == 0 ? side1 : all & ~side1;
    // The step sources in their list order: the neighbours in square order, then the two
    // knight squares; only those holding an opponent's piece can attack.
    // StepAttackMask numbers the step sources as the window does.
    const std::uint64_t* stepMask = StepAttackMask[side].data();
    const std::uint64_t around = WindowAround(enemies, square);
    const int first = square - WindowOffset;
    for (std::uint64_t near = around & NeighbourWindow[square]; near != 0; near &= near - 1) {
        const int bit = __builtin_ctzll(near);
        if ((stepMask[board[first + bit] + 15] >> bit) & 1) return first + bit;
    }
    // Of the two knight squares the one of the higher file index, the higher square, first.
    for (std::uint64_t knights = around & KnightWindow[side][square]; knights != 0;) {
        const int bit = 63 - __builtin_clzll(knights);
        if ((stepMask[board[first + bit] + 15] >> bit) & 1) return first + bit;
        knights &= ~(std::uint64_t{1} << bit);
    }
    // Only the rays holding one of the opponent's sliders can hold an attacker.
    const SquareSet lines = LinesThrough[square] & enemies & sliders;
    if (lines == 0) return NoSquare;
    const bool* const* sets = AttackerSets[side];
#pragma GCC unroll 8
    for (int dir = 0; dir < DirectionCount; ++dir) {
        if ((RaySet[dir][square] & lines) == 0) continue;
        const int n = FirstOccupied(all, dir, square);
        if (n != NoSquare && sets[dir][board[n] + 15]) return n;
    }
    return NoSquare;
}

}  // namespace mirabel
