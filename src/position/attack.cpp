// The attack tests of the search: FindAttacker, the attack map, and GivesCheck.
#include "position/attackers.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace mirabel {

namespace {

inline bool RayEndsIn(const PieceCode* board, SquareSet occupied, int direction, int from,
                      const SliderSet& set) {
    const int sq = FirstOccupied(occupied, direction, from);
    return sq != NoSquare && InSet(set, board[sq]);
}

// Whether a slider of `side` sees square k along the rays that a line relation names.
bool SliderCheckAlong(int side, const PieceCode* board, SquareSet occupied, int relation, int k) {
    switch (relation) {
        case LineAhead:
            return RayEndsIn(board, occupied, side == 0 ? South : North, k, ForwardSlider[side]);
        case LineOrthogonal:
            return RayEndsIn(board, occupied, side == 0 ? North : South, k, RookSlider[side]) ||
                   RayEndsIn(board, occupied, West, k, RookSlider[side]) ||
                   RayEndsIn(board, occupied, East, k, RookSlider[side]);
        case LineDiagonal:
            for (int dir = NorthWest; dir <= SouthEast; ++dir)
                if (RayEndsIn(board, occupied, dir, k, BishopSlider[side])) return true;
            return false;
        default:
            return false;
    }
}

// The directions in which a piece slides, as bits of the direction index, by side and kind.
constexpr unsigned Orthogonal = 1u << North | 1u << South | 1u << West | 1u << East;
constexpr unsigned Diagonal = 1u << NorthWest | 1u << NorthEast | 1u << SouthWest | 1u << SouthEast;
constexpr Table<unsigned, 2, 16> SlideDirections = [] {
    Table<unsigned, 2, 16> table{};
    for (int side = 0; side < 2; ++side)
        for (int kind = 0; kind < 16; ++kind) {
            const Slides slides = Traits[kind].slides;
            table[side][kind] = slides == LanceSlide     ? 1u << (side == 0 ? North : South)
                                : slides == BishopSlides ? Diagonal
                                : slides == RookSlides   ? Orthogonal
                                                         : 0;
        }
    return table;
}();

}  // namespace

const bool* const AttackerSets[2][DirectionCount] = {
    {ForwardSlider[1].data(), RookSlider[1].data(), RookSlider[1].data(), RookSlider[1].data(),
     BishopSlider[1].data(), BishopSlider[1].data(), BishopSlider[1].data(),
     BishopSlider[1].data()},
    {RookSlider[0].data(), ForwardSlider[0].data(), RookSlider[0].data(), RookSlider[0].data(),
     BishopSlider[0].data(), BishopSlider[0].data(), BishopSlider[0].data(),
     BishopSlider[0].data()},
};

Occupancy OccupancyOf(const PieceCode* board) {
    Occupancy occupancy{0, 0, 0};
#ifdef __SSE2__
    // Sixteen squares at a time: the empty ones compare equal to zero, and the sign bits are
    // side 1's pieces.
    const __m128i zero = _mm_setzero_si128();
    for (int first = 0; first < 80; first += 16) {
        const __m128i cells = _mm_loadu_si128(reinterpret_cast<const __m128i*>(board + first));
        const unsigned empty =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(cells, zero)));
        const unsigned negative = static_cast<unsigned>(_mm_movemask_epi8(cells));
        occupancy.all |= SquareSet{~empty & 0xFFFFu} << first;
        occupancy.side1 |= SquareSet{negative} << first;
    }
    if (board[80] != 0) occupancy.all |= SquareBit(80);
    if (board[80] < 0) occupancy.side1 |= SquareBit(80);
#else
    for (int sq = 0; sq < SquareCount; ++sq) {
        if (board[sq] != 0) occupancy.all |= SquareBit(sq);
        if (board[sq] < 0) occupancy.side1 |= SquareBit(sq);
    }
#endif
    // Every piece may be a slider until SliderSquares says which are.
    occupancy.sliders = occupancy.all;
    return occupancy;
}

namespace {

// The squares whose cells a test passes, sixteen cells at a time where the processor allows:
// `Test::Cells` gives a byte mask of sixteen cells, `Test::Cell` the answer for one.
template <typename Test>
SquareSet SquaresWhere(const PieceCode* board, const Test& test) {
    SquareSet squares = 0;
#ifdef __SSE2__
    for (int first = 0; first < 80; first += 16) {
        const __m128i cells = _mm_loadu_si128(reinterpret_cast<const __m128i*>(board + first));
        squares |= SquareSet{static_cast<unsigned>(_mm_movemask_epi8(test.Cells(cells)))} << first;
    }
    if (test.Cell(board[80])) squares |= SquareBit(80);
#else
    for (int sq = 0; sq < SquareCount; ++sq)
        if (test.Cell(board[sq])) squares |= SquareBit(sq);
#endif
    return squares;
}

// The byte compares below name the sliding kinds one by one.
static_assert([] {
    for (int kind = 0; kind < 16; ++kind)
        if (IsSliderKind(kind) !=
            (kind == Lance || kind == Bishop || kind == Rook || kind == Horse || kind == Dragon))
            return false;
    return true;
}());

struct HoldsSlider {
#ifdef __SSE2__
    static __m128i Cells(__m128i cells) {
        // The kind as an unsigned byte: the smaller of the code and its negation.
        const __m128i kinds = _mm_min_epu8(cells, _mm_sub_epi8(_mm_setzero_si128(), cells));
        const auto is = [&kinds](int kind) {
            return _mm_cmpeq_epi8(kinds, _mm_set1_epi8(static_cast<char>(kind)));
        };
        return _mm_or_si128(_mm_or_si128(is(Lance), is(Bishop)),
                            _mm_or_si128(_mm_or_si128(is(Rook), is(Horse)), is(Dragon)));
    }
#endif
    static bool Cell(int code) {
        return IsSliderKind(AbsCode(code));
    }
};

struct HoldsCode {
    int code;
#ifdef __SSE2__
    __m128i Cells(__m128i cells) const {
        return _mm_cmpeq_epi8(cells, _mm_set1_epi8(static_cast<char>(code)));
    }
#endif
    bool Cell(int cell) const {
        return cell == code;
    }
};

}  // namespace

SquareSet SliderSquares(const PieceCode* board) {
    return SquaresWhere(board, HoldsSlider{});
}

SquareSet SquaresHolding(const PieceCode* board, int code) {
    return SquaresWhere(board, HoldsCode{code});
}

int FindAttacker(int side, const PieceCode* board, int square, const Occupancy& occupancy) {
    return FirstAttacker(side, board, square, occupancy.all, occupancy.side1, occupancy.sliders);
}

int FindAttacker(int side, const PieceCode* board, int square) {
    return FindAttacker(side, board, square, OccupancyOf(board));
}

SquareSet AttackedSquares(int side, const PieceCode* board) {
    return AttackedSquares(side, board, OccupancyOf(board));
}

SquareSet AttackedSquares(int side, const PieceCode* board, const Occupancy& occupancy) {
    const int enemy = 1 - side;
    SquareSet attacked = 0;
    const SquareSet enemies = side == 0 ? occupancy.side1 : occupancy.all & ~occupancy.side1;
    // The steps of every piece first, then the slides of the few sliders: one loop that did
    // both would mispredict the end of the slides at most pieces.
    for (SquareSet pieces = enemies; pieces != 0; pieces &= pieces - 1) {
        const int n = LowestSquare(pieces);
        const int pattern = StepPatternOfKind[AbsCode(board[n])];
        if (pattern >= 0) attacked |= StepTargetSet[enemy][pattern][n];
    }
    for (SquareSet pieces = enemies & occupancy.sliders; pieces != 0; pieces &= pieces - 1) {
        const int n = LowestSquare(pieces);
        const int kind = AbsCode(board[n]);
        // A slider attacks along each of its lines up to the first piece, that one included.
        for (unsigned dirs = SlideDirections[enemy][kind]; dirs != 0; dirs &= dirs - 1) {
            const int dir = __builtin_ctz(dirs);
            const int blocker = FirstOccupied(occupancy.all, dir, n);
            attacked |=
                blocker == NoSquare ? RaySet[dir][n] : RaySet[dir][n] ^ RaySet[dir][blocker];
        }
    }
    return attacked;
}

bool TargetStaysUnattacked(int side, const PieceCode* board, SquareSet attacked, const Move& move) {
    return TargetStaysUnattacked(side, board, OccupancyOf(board), attacked, move);
}

bool TargetStaysUnattacked(int side, const PieceCode* board, const Occupancy& occupancy,
                           SquareSet attacked, const Move& move) {
    if (Contains(attacked, move.to)) return false;
    if (move.from < 0) return true;
    // Between the target and the origin the line is empty (a slide's path, or no square at
    // all), so what the origin hid is the first piece beyond it.
    const int dir = DirectionBetween[move.to][move.from];
    if (dir < 0) return true;
    const int n = FirstOccupied(occupancy.all, dir, move.from);
    return n == NoSquare || !AttackerSets[side][dir][board[n] + 15];
}

bool OpensLineToKing(int side, const PieceCode* board, int kingSquare, int from, int to) {
    const int dir = DirectionBetween[kingSquare][from];
    if (dir < 0) return false;
    const SquareList& ray = Ray[dir][kingSquare];
    for (int i = 0; i < ray.count; ++i) {
        const int n = ray.squares[i];
        if (n == to) return false;
        if (n == from || board[n] == 0) continue;
        return AttackerSets[side][dir][board[n] + 15];
    }
    return false;
}

bool GivesCheck(int side, Position& position, const Move& move) {
    PieceCode* board = position.board;
    const int k = position.kingSquare[1 - side];
    if (k == NoSquare) return false;
    const int to = move.to;
    int kind;
    if (move.from >= 0) {
        kind = AbsCode(board[move.from]);
        if (move.promote) kind = PromoteKind[kind];
    } else {
        kind = -move.from;
    }
    if (StepAttacks(side, kind, to, k)) return true;

    // Only a slider on a line through the king can give check: through the origin it left, or
    // the moved piece itself on its target.
    const int fromRelation = move.from >= 0 ? LineRelation[side][move.from][k] : NoLine;
    const int toRelation = LineRelation[side][to][k];
    if (fromRelation == NoLine && toRelation == NoLine) return false;

    const PieceCode savedTo = board[to];
    PieceCode savedFrom = 0;
    board[to] = static_cast<PieceCode>(SignOf(side) * kind);
    if (move.from >= 0) {
        savedFrom = board[move.from];
        board[move.from] = 0;
    }
    const SquareSet occupied = OccupancyOf(board).all;
    bool check = SliderCheckAlong(side, board, occupied, fromRelation, k);
    if (!check) check = SliderCheckAlong(side, board, occupied, toRelation, k);
    if (move.from >= 0) board[move.from] = savedFrom;
    board[to] = savedTo;
    return check;
}

}  // namespace mirabel
