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
        const GeneratedMoves& moves = GeneratedMovesOf[AbsCode(board[sq])];
        const int pattern = moves.captureSteps;
        if (pattern >= 0) n += GenerateStepCaptures(side, board, enemies, pattern, sq, out + n);
        const Slides slides = moves.slides;
        if (slides == BishopSlides)
            n += GenerateBishopMoves(side, board, sq, out + n);
        else if (slides == RookSlides)
            n += GenerateRookMoves(side, board, sq, out + n);
    }
    return n;
}

}  // namespace mirabel
