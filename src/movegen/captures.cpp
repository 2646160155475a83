// The quiescence generator: captures by stepping pieces and lances, all moves of sliders.
#include "movegen/pieces.h"

namespace mirabel {

// Most pieces have nothing to capture: the set of the opponent's pieces says so at once.
static int GenerateStepCaptures(int side, const PieceCode* board, SquareSet enemies, int pattern,
                                int square, Move* out) {
    if ((StepTargetSet[side][pattern][square] & enemies) == 0) return 0;
    const SquareList& targets = StepTargets[side][pattern][square];
    int n = 0;
    for (int i = 0; i < targets.count; ++i) {
        const int t = targets.squares[i];
        if (IsEnemy(side, board[t])) n += WriteStepRecords(side, board, square, t, out + n);
    }
    return n;
}

namespace {

// What the quiescence generator lists for each kind: the captures of a step pattern (-1: none;
// a lance captures only on the square ahead, as a pawn does), then all the moves of its bishop
// or rook slides.
constexpr std::int8_t CapturePattern[16] = {
    -1,          PawnPattern, PawnPattern, KnightPattern,     SilverPattern,
    GoldPattern, -1,          -1,          KingPattern,       GoldPattern,
    GoldPattern, GoldPattern, GoldPattern, OrthogonalPattern, DiagonalPattern,
    -1};

}  // namespace

int GenerateCaptures(int side, const PieceCode* board, Move* out) {
    return GenerateCaptures(side, board, OccupancyOf(board), out);
}

int GenerateCaptures(int side, const PieceCode* board, const Occupancy& occupancy, Move* out) {
    int n = 0;
    const SquareSet enemies = occupancy.PiecesOf(1 - side);
    // The side's pieces in square order.
    for (SquareSet pieces = occupancy.PiecesOf(side); pieces != 0; pieces &= pieces - 1) {
        const int sq = LowestSquare(pieces);
        // Looked up rather than switched on: a jump by kind is mispredicted at most pieces.
        const int kind = AbsCode(board[sq]);
        const int pattern = CapturePattern[kind];
        if (pattern >= 0) n += GenerateStepCaptures(side, board, enemies, pattern, sq, out + n);
        const Slides slides = SlidesOfKind[kind];
        if (slides == BishopSlides)
            n += GenerateBishopMoves(side, board, sq, out + n);
        else if (slides == RookSlides)
            n += GenerateRookMoves(side, board, sq, out + n);
    }
    return n;
}

}  // namespace mirabel
