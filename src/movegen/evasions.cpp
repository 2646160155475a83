// The check-evasion generator: king moves, captures of the checker, interpositions.
#include "movegen/pieces.h"

namespace mirabel {

// Squares strictly between a king and a checking slider: at most seven.
constexpr int MaxInterpositionSquares = 7;

// `occupancy` is the board's: the king is taken out of it, so that a checking slider also
// covers the squares behind the king.
static int GenerateKingEvasions(int side, const PieceCode* board, int kingSquare,
                                Occupancy occupancy, Move* out) {
    occupancy.all &= ~SquareBit(kingSquare);
    occupancy.side1 &= ~SquareBit(kingSquare);
    const SquareList& targets = StepTargets[side][KingPattern][kingSquare];
    int n = 0;
    for (int i = 0; i < targets.count; ++i) {
        const int t = targets.squares[i];
        if (!IsOwn(side, board[t]) && FindAttacker(side, board, t, occupancy) == NoSquare)
            out[n++] = BoardMove(kingSquare, t, board[kingSquare], 0);
    }
    return n;
}

namespace {

inline Move MoveOnto(int side, const PieceCode* board, int from, int target) {
    const int piece = board[from];
    const auto& rule = PromotionRule[side][AbsCode(piece)];
    return BoardMove(from, target, piece,
                     rule[target] != PromotionNever || rule[from] != PromotionNever);
}

}  // namespace

// The moves of the side's pieces but the king onto `target`; `occupied` is the board's
// occupancy.
static int GenerateMovesTo(int side, const PieceCode* board, SquareSet occupied, int target,
                           Move* out) {
    int n = 0;
    const SquareList& sources = StepSources[1 - side][target];
    for (int i = 0; i < sources.count; ++i) {
        const int s = sources.squares[i];
        const int code = board[s];
        const int kind = AbsCode(code);
        if (IsOwn(side, code) && kind != King && StepAttacks(side, kind, s, target))
            out[n++] = MoveOnto(side, board, s, target);
    }
    // The first piece along each ray from the target, in direction order.
    const int behind = side == 0 ? South : North;
#pragma GCC unroll 8
    for (int dir = 0; dir < DirectionCount; ++dir) {
        const SliderSet& set = dir == behind     ? ForwardSlider[side]
                               : dir < NorthWest ? RookSlider[side]
                                                 : BishopSlider[side];
        const int s = FirstOccupied(occupied, dir, target);
        if (s != NoSquare && InSet(set, board[s])) out[n++] = MoveOnto(side, board, s, target);
    }
    return n;
}

static int GenerateInterpositionDrops(int side, const Position& position, Move* out,
                                      const int* squares, int count) {
    const std::int8_t* hand = position.hand[side];
    const SquareSet pawnFiles = hand[0] != 0 ? PawnFileSquares(side, position.board) : 0;
    int n = 0;
    for (int kind = Pawn; kind <= Rook; ++kind) {
        if (hand[kind - 1] == 0) continue;
        for (int i = 0; i < count; ++i) {
            const int sq = squares[i];
            if (position.board[sq] != 0 || !CanMoveFrom(side, kind, sq)) continue;
            if (kind == Pawn && Contains(pawnFiles, sq)) continue;
            out[n++] = DropMove(kind, sq);
        }
    }
    return n;
}

namespace {

// Step between squares strictly between king and checker, or 0 when nothing can interpose:
// only a slider's check can be blocked, along its file, rank or diagonal.
int InterpositionStep(int checkerKind, int lo, int hi) {
    switch (Traits[checkerKind].slides) {
        case LanceSlide:
            return 9;
        case RookSlides:
            if (ColOf(lo) == ColOf(hi)) return 9;
            if (RowOf(lo) == RowOf(hi)) return 1;
            return 0;
        case BishopSlides:
            return ColOf(lo) >= ColOf(hi) ? 8 : 10;
        default:
            return 0;
    }
}

}  // namespace

int GenerateEvasions(int side, Position& position, Move* out) {
    PieceCode* board = position.board;
    const int ksq = position.kingSquare[side];
    if (ksq == NoSquare) return 0;
    const Occupancy occupancy = OccupancyOf(board);
    const int csq = FindAttacker(side, board, ksq, occupancy);
    if (csq == NoSquare) return 0;
    int n = GenerateKingEvasions(side, board, ksq, occupancy, out);

    // With an inert blocker on the checker's square, a second attacker means double check. The
    // blocker keeps the square occupied, so the occupancy stays as it was.
    const PieceCode checker = board[csq];
    board[csq] = BlockerCode;
    if (FindAttacker(side, board, ksq, occupancy) != NoSquare) {
        board[csq] = checker;
        return n;
    }
    const SquareSet occupied = occupancy.all;
    n += GenerateMovesTo(side, board, occupied, csq, out + n);

    const int lo = ksq < csq ? ksq : csq;
    const int hi = ksq < csq ? csq : ksq;
    const int step = InterpositionStep(AbsCode(checker), lo, hi);
    int between[MaxInterpositionSquares];
    int betweenCount = 0;
    if (step != 0) {
        for (int s = lo + step; s <= hi - step; s += step) {
            n += GenerateMovesTo(side, board, occupied, s, out + n);
            between[betweenCount++] = s;
        }
    }
    n += GenerateInterpositionDrops(side, position, out + n, between, betweenCount);
    board[csq] = checker;
    return n;
}

}  // namespace mirabel
