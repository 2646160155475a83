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

static int GenerateLanceCaptures(int side, const PieceCode* board, int square, Move* out) {
    const SquareList& ray = Ray[side == 0 ? North : South][square];
    if (ray.count == 0 || !IsEnemy(side, board[ray.squares[0]])) return 0;
    return WriteStepRecords(side, board, square, ray.squares[0], out);
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
        switch (AbsCode(board[sq])) {
            case Pawn:
                n += GenerateStepCaptures(side, board, enemies, PawnPattern, sq, out + n);
                break;
            case Lance:
                n += GenerateLanceCaptures(side, board, sq, out + n);
                break;
            case Knight:
                n += GenerateStepCaptures(side, board, enemies, KnightPattern, sq, out + n);
                break;
            case Silver:
                n += GenerateStepCaptures(side, board, enemies, SilverPattern, sq, out + n);
                break;
            case Gold:
            case ProPawn:
            case ProLance:
            case ProKnight:
            case ProSilver:
                n += GenerateStepCaptures(side, board, enemies, GoldPattern, sq, out + n);
                break;
            case Bishop:
                n += GenerateBishopMoves(side, board, sq, out + n);
                break;
            case Rook:
                n += GenerateRookMoves(side, board, sq, out + n);
                break;
            case King:
                n += GenerateStepCaptures(side, board, enemies, KingPattern, sq, out + n);
                break;
            case Horse:
                n += GenerateStepCaptures(side, board, enemies, OrthogonalPattern, sq, out + n);
                n += GenerateBishopMoves(side, board, sq, out + n);
                break;
            case Dragon:
                n += GenerateStepCaptures(side, board, enemies, DiagonalPattern, sq, out + n);
                n += GenerateRookMoves(side, board, sq, out + n);
                break;
            default:
                break;
        }
    }
    return n;
}

}  // namespace mirabel
