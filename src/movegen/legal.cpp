// The legality test of the search, and the full-rules legal move list built on the generators.
#include "movegen/movegen.h"

namespace mirabel {

bool LeavesKingAttacked(int side, const Position& after, const Move& move) {
    if (move.from < 0) return false;
    const int k = after.kingSquare[side];
    if (LineRelation[side][move.to][k] == 0 && LineRelation[side][move.from][k] == 0) return false;
    return FindAttacker(side, after.board, k) != NoSquare;
}

int GenerateSearchMoves(int side, Position& position, Move* out) {
    if (InCheckNow(side, position)) return GenerateEvasions(side, position, out);
    return GenerateMoves(side, position, out);
}

namespace {

bool AlreadyListed(const Move* moves, int count, const Move& move) {
    for (int i = 0; i < count; ++i)
        if (SameMove(moves[i], move)) return true;
    return false;
}

// Legal under the full rules: the own king is not left attacked, and a pawn drop does not
// give mate.
bool IsLegal(int side, const Position& position, const Move& move) {
    Position after = position;
    MakeMove(side, after, move);
    if (LeavesKingAttacked(side, after, move)) return false;
    if (move.from == -Pawn) {
        Position probe = position;
        if (GivesCheck(side, probe, move) && !HasLegalMove(1 - side, after)) return false;
    }
    return true;
}

}  // namespace

int GenerateLegalMoves(int side, const Position& position, Move* out) {
    Move pseudo[MoveListSize];
    Position scratch = position;
    const bool evasions = InCheckNow(side, scratch);
    const int count = GenerateSearchMoves(side, scratch, pseudo);
    int n = 0;
    for (int i = 0; i < count; ++i) {
        const Move& move = pseudo[i];
        // Evasion lists can name an adjacent slider's capture twice.
        if (evasions && AlreadyListed(out, n, move)) continue;
        if (!IsLegal(side, position, move)) continue;
        // The rules allow staying unpromoted wherever the piece could still move; the full
        // generator writes such a form right before its promoting twin, the others never.
        const bool twinListed = i > 0 && pseudo[i - 1].from == move.from &&
                                pseudo[i - 1].to == move.to && pseudo[i - 1].promote == 0;
        if (move.from >= 0 && move.promote && !twinListed &&
            CanMoveFrom(side, AbsCode(move.piece), move.to)) {
            Move twin = move;
            twin.promote = 0;
            out[n++] = twin;
        }
        out[n++] = move;
    }
    return n;
}

bool HasLegalMove(int side, const Position& position) {
    Move pseudo[MoveListSize];
    Position scratch = position;
    const int count = GenerateSearchMoves(side, scratch, pseudo);
    for (int i = 0; i < count; ++i)
        if (IsLegal(side, position, pseudo[i])) return true;
    return false;
}

}  // namespace mirabel
