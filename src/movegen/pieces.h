// The generators' shared parts, used only inside the move generation module.
#pragma once

#include "movegen/movegen.h"

namespace mirabel {

// What the generators list for each kind, from its traits, looked up rather than switched on
// (a jump by kind is mispredicted at most pieces): the moves of a step pattern (-1: none), then
// those of its slides. The lance slides only in the full generator: quiescence lists just its
// capture on the square ahead, as a pawn's.
struct GeneratedMoves {
    std::int8_t steps;
    std::int8_t captureSteps;
    Slides slides;
    std::uint8_t unused;  // four bytes a kind: the lookup is one shift
};
inline constexpr auto GeneratedMovesOf = [] {
    std::array<GeneratedMoves, 16> table{};
    for (int kind = 0; kind < 16; ++kind) {
        const PieceTraits& traits = Traits[kind];
        const bool lance = traits.slides == LanceSlide;
        table[kind] = {traits.steps, lance ? std::int8_t{PawnPattern} : traits.steps, traits.slides,
                       0};
    }
    return table;
}();

// One step or lance move to t: the non-promoting record, then the promoting one where
// promotion is allowed; the promoting record alone where it is compulsory.
int WriteStepRecords(int side, const PieceCode* board, int square, int t, Move* out);
// Every move of a rook or a bishop (the board part of a dragon or a horse) on `square`.
int GenerateRookMoves(int side, const PieceCode* board, int square, Move* out);
int GenerateBishopMoves(int side, const PieceCode* board, int square, Move* out);
// The squares of the files holding an unpromoted pawn of `side`, where it may drop no pawn.
SquareSet PawnFileSquares(int side, const PieceCode* board);

}  // namespace mirabel
