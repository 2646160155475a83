// The generators' shared parts, used only inside the move generation module.
#pragma once

#include "movegen/movegen.h"

namespace mirabel {

// The sliding part of each kind's moves, looked up rather than switched on (a jump by kind is
// mispredicted at most pieces). The lance slides only in the full generator: quiescence lists
// just its capture on the square ahead.
enum Slides : std::uint8_t { NoSlides, LanceSlide, BishopSlides, RookSlides };
constexpr Slides SlidesOfKind[16] = {
    NoSlides, NoSlides, LanceSlide, NoSlides, NoSlides, NoSlides,     BishopSlides, RookSlides,
    NoSlides, NoSlides, NoSlides,   NoSlides, NoSlides, BishopSlides, RookSlides,   NoSlides};

// One step or lance move to t: the non-promoting record, then the promoting one where
// promotion is allowed; the promoting record alone where it is compulsory.
int WriteStepRecords(int side, const PieceCode* board, int square, int t, Move* out);
// Every move of a rook or a bishop (the board part of a dragon or a horse) on `square`.
int GenerateRookMoves(int side, const PieceCode* board, int square, Move* out);
int GenerateBishopMoves(int side, const PieceCode* board, int square, Move* out);
// The squares of the files holding an unpromoted pawn of `side`, where it may drop no pawn.
SquareSet PawnFileSquares(int side, const PieceCode* board);

}  // namespace mirabel
