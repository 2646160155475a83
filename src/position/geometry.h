// Board geometry, fixed at compile time from the piece traits and the board's coordinates:
// square sets and lists, step targets and sources, rays and the first piece along one, line
// relations, directions between squares, promotion rules and slider sets.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "position/types.h"

namespace mirabel {

// A set of squares, bit n for square n.
__extension__ using SquareSet = unsigned __int128;
constexpr SquareSet SquareBit(int square) {
    return SquareSet{1} << square;
}

// Every square of the board.
constexpr SquareSet AllSquares = (SquareSet{1} << SquareCount) - 1;

// Whether the set holds the square: one 64-bit half, one shift.
constexpr bool Contains(SquareSet set, int square) {
    const auto half = static_cast<std::uint64_t>(square < 64 ? set : set >> 64);
    return ((half >> (square & 63)) & 1) != 0;
}

struct SquareList {
    std::int8_t count;
    std::int8_t squares[16];
};

// Fixed tables are nested std::arrays: Table<T, 2, SquareCount> is indexed [side][square].
template <typename T, std::size_t First, std::size_t... Rest>
struct TableOf {
    using type = std::array<typename TableOf<T, Rest...>::type, First>;
};
template <typename T, std::size_t Only>
struct TableOf<T, Only> {
    using type = std::array<T, Only>;
};
template <typename T, std::size_t... Sizes>
using Table = typename TableOf<T, Sizes...>::type;

// How square b lies from square a, seen by a side: on its file ahead of a (where a lance of the
// side standing on a could reach), on another orthogonal line, on a diagonal, or on no line.
enum LineRelationCode : std::uint8_t {
    NoLine = 0,
    LineAhead = 1,
    LineOrthogonal = 2,
    LineDiagonal = 4
};
// What a piece moving into or out of a square may do about promotion.
enum PromotionRuleCode : std::uint8_t {
    PromotionNever = 0,
    PromotionAllowed = 1,
    PromotionForced = 2  // only the promoting form could ever move again
};

// Geometry, all fixed at compile time. Lists are in the order the generators and attack tests
// walk them; sets hold the same squares as bits.
extern const Table<SquareList, 2, PatternCount, SquareCount> StepTargets;
extern const Table<SquareSet, 2, PatternCount, SquareCount> StepTargetSet;
// The squares from which a piece of the opponent of [side] could step onto a square: the
// neighbours in square order, then the two knight squares.
extern const Table<SquareList, 2, SquareCount> StepSources;
extern const Table<SquareSet, SquareCount> NeighbourSet;
// The same step sources seen through a window of the board around the square: bit j stands
// for square q - 20 + j, so that the neighbours and the knight squares of any square q fit one
// word (see WindowAround).
extern const Table<std::uint64_t, SquareCount> NeighbourWindow;
extern const Table<std::uint64_t, 2, SquareCount> KnightWindow;
extern const Table<SquareList, DirectionCount, SquareCount> Ray;
extern const Table<SquareSet, DirectionCount, SquareCount> RaySet;
extern const Table<SquareSet, SquareCount> LinesThrough;  // every ray from the square
extern const Table<LineRelationCode, 2, SquareCount, SquareCount> LineRelation;
// DirectionBetween[a][b]: the direction in which b lies from a along a rank, file or diagonal,
// or -1 when they share no line (and for a = b).
extern const Table<std::int8_t, SquareCount, SquareCount> DirectionBetween;
extern const Table<PromotionRuleCode, 2, 16, SquareCount> PromotionRule;

// StepAttackMask[side][code + 15] has bit (n - q + 20) set when a piece `code` of the opponent
// of `side` standing on n, one of q's step sources, attacks q: the step half of FindAttacker as
// one small table.
extern const Table<std::uint64_t, 2, 31> StepAttackMask;

// Slider sets, indexed [side][code + 15].
using SliderSet = std::array<bool, 31>;
extern const Table<bool, 2, 31> ForwardSlider;
extern const Table<bool, 2, 31> RookSlider;
extern const Table<bool, 2, 31> BishopSlider;
inline bool InSet(const SliderSet& set, int code) {
    return set[code + 15];
}

// Whether a piece of `kind` of `side` on `from` attacks `to` by one step.
constexpr bool StepAttacks(int side, int kind, int from, int to) {
    const int pattern = StepPatternOfKind[kind];
    return pattern >= 0 && Contains(StepTargetSet[side][pattern][from], to);
}

// The squares of a set around square q as one word: bit j stands for square q - 20 + j.
constexpr int WindowOffset = 20;
constexpr std::uint64_t WindowAround(SquareSet set, int q) {
    return static_cast<std::uint64_t>(q >= WindowOffset ? set >> (q - WindowOffset)
                                                        : set << (WindowOffset - q));
}

// The lowest square of a set that is not empty.
inline int LowestSquare(SquareSet set) {
    const auto low = static_cast<std::uint64_t>(set);
    return low != 0 ? __builtin_ctzll(low)
                    : 64 + __builtin_ctzll(static_cast<std::uint64_t>(set >> 64));
}

// The highest square of a set that is not empty.
inline int HighestSquare(SquareSet set) {
    const auto high = static_cast<std::uint64_t>(set >> 64);
    return high != 0 ? 127 - __builtin_clzll(high)
                     : 63 - __builtin_clzll(static_cast<std::uint64_t>(set));
}

// Directions in which square numbers grow: the nearest square of such a ray is its lowest bit,
// of the others its highest.
constexpr bool Ascending[DirectionCount] = {false, true, false, true, false, false, true, true};

// First occupied square of `occupied` along a ray from `from`, or NoSquare.
inline int FirstOccupied(SquareSet occupied, int direction, int from) {
    const SquareSet along = RaySet[direction][from] & occupied;
    if (along == 0) return NoSquare;
    return Ascending[direction] ? LowestSquare(along) : HighestSquare(along);
}

}  // namespace mirabel
