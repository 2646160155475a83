// The first-attacker search shared inside the position module: FindAttacker and the capture
// sequences of the exchange estimates, which run it with their occupancy kept in registers.
#pragma once

#include "position/position.h"

namespace mirabel {

// First occupied square of `occupied` along a ray from `from`, or NoSquare.
inline int FirstOccupied(SquareSet occupied, int direction, int from) {
    const SquareSet along = RaySet[direction][from] & occupied;
    if (along == 0) return NoSquare;
    return Ascending[direction] ? LowestSquare(along) : HighestSquare(along);
}

// The slider set that attacks a square of `side` from each direction, in direction order:
// the opponent's lance only from its own side of the board, its rook and dragon along every
// line, its bishop and horse along the diagonals.
extern const bool* const AttackerSets[2][DirectionCount];

// A square's step sources seen through a window of the board: bit j stands for square
// q - 20 + j, so that the neighbours and the knight squares of any square q fit one word.
constexpr int WindowOffset = 20;
constexpr std::uint64_t WindowBit(int q, int row, int col) {
    if (row < 0 || row > 8 || col < 0 || col > 8) return 0;
    return std::uint64_t{1} << (row * 9 + col - q + WindowOffset);
}
// The neighbours of each square, and the squares from which a knight of the opponent of [side]
// attacks it (as in StepSources).
inline constexpr Table<std::uint64_t, SquareCount> NeighbourWindow = [] {
    Table<std::uint64_t, SquareCount> table{};
    for (int q = 0; q < SquareCount; ++q)
        for (int dr = -1; dr <= 1; ++dr)
            for (int dc = -1; dc <= 1; ++dc)
                if (dr != 0 || dc != 0) table[q] |= WindowBit(q, RowOf(q) + dr, ColOf(q) + dc);
    return table;
}();
inline constexpr Table<std::uint64_t, 2, SquareCount> KnightWindow = [] {
    Table<std::uint64_t, 2, SquareCount> table{};
    for (int side = 0; side < 2; ++side)
        for (int q = 0; q < SquareCount; ++q) {
            const int row = RowOf(q) + (side == 0 ? -2 : 2);
            table[side][q] = WindowBit(q, row, ColOf(q) + 1) | WindowBit(q, row, ColOf(q) - 1);
        }
    return table;
}();
// The squares of a set around q, as the window of q.
inline std::uint64_t WindowAround(SquareSet set, int q) {
    return static_cast<std::uint64_t>(q >= WindowOffset ? set >> (q - WindowOffset)
                                                        : set << (WindowOffset - q));
}

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
        const SquareSet along = RaySet[dir][square] & all;
        if (along == 0) continue;
        const int n = Ascending[dir] ? LowestSquare(along) : HighestSquare(along);
        if (sets[dir][board[n] + 15]) return n;
    }
    return NoSquare;
}

}  // namespace mirabel
