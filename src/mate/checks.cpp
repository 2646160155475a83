// The attacker's legal checks, the moves of every OR node: board moves from the legal list of
// the position without the hand, and drops only on the squares from which the dropped piece
// attacks the king, rather than on every empty square and then tested one by one.
#include <algorithm>
#include <cstring>

#include "mate/mate.h"
#include "movegen/pieces.h"
#include "position/attackers.h"

namespace mirabel {

namespace {

// The empty squares from which a piece of `kind` dropped by `side` attacks `king`: along the
// king's lines up to the first piece for a slider, one step or a knight's jump away otherwise.
SquareSet DropCheckSquares(int side, int kind, const PieceCode* board, int king) {
    SquareSet squares = 0;
    if (IsSliderKind(kind)) {
        const int code = SignOf(side) * kind;
        for (int dir = 0; dir < DirectionCount; ++dir) {
            if (!AttackerSets[1 - side][dir][code + 15]) continue;
            const SquareList& ray = Ray[dir][king];
            for (int i = 0; i < ray.count && board[ray.squares[i]] == 0; ++i)
                squares |= SquareBit(ray.squares[i]);
        }
        return squares;
    }
    const int row = RowOf(king), col = ColOf(king);
    for (int r = std::max(row - 2, 0); r <= std::min(row + 2, 8); ++r)
        for (int c = std::max(col - 1, 0); c <= std::min(col + 1, 8); ++c) {
            const int sq = r * 9 + c;
            if (board[sq] == 0 && StepAttacks(side, kind, sq, king)) squares |= SquareBit(sq);
        }
    return squares;
}

// Whether dropping a pawn of `side` on `to`, a check, leaves the defender a legal move: a pawn
// drop that mates is not allowed.
bool PawnDropLeavesAReply(int side, const Position& position, int to) {
    Position after = position;
    MakeMove(side, after, DropMove(Pawn, to));
    return HasLegalMove(1 - side, after);
}

}  // namespace

bool HasDropCheckSquare(int side, int kind, const Position& position) {
    const int king = position.kingSquare[1 - side];
    return king != NoSquare && DropCheckSquares(side, kind, position.board, king) != 0;
}

int GenerateChecks(int side, const Position& position, Move* out) {
    const int king = position.kingSquare[1 - side];
    if (king == NoSquare) return 0;
    Position scratch = position;
    if (InCheckNow(side, scratch)) {
        // Out of check first: the full legal list, the checks among it.
        const int count = GenerateLegalMoves(side, position, out);
        int checks = 0;
        for (int i = 0; i < count; ++i)
            if (GivesCheck(side, scratch, out[i])) out[checks++] = out[i];
        return checks;
    }
    std::memset(scratch.hand[side], 0, HandSlots);
    const int count = GenerateLegalMoves(side, scratch, out);
    int n = 0;
    for (int i = 0; i < count; ++i)
        if (GivesCheck(side, scratch, out[i])) out[n++] = out[i];
    const SquareSet pawnFiles = PawnFileSquares(side, position.board);
    for (int kind = Pawn; kind <= Rook; ++kind) {
        if (position.hand[side][HandSlot[kind]] == 0) continue;
        SquareSet targets = DropCheckSquares(side, kind, position.board, king);
        if (kind == Pawn) targets &= ~pawnFiles;
        for (int sq = 0; sq < SquareCount; ++sq) {
            // A piece that attacks the king from its square can move from it: no drop here
            // lands on a rank where it could never move.
            if (!Contains(targets, sq)) continue;
            if (kind == Pawn && !PawnDropLeavesAReply(side, position, sq)) continue;
            out[n++] = DropMove(kind, sq);
        }
    }
    return n;
}

}  // namespace mirabel
