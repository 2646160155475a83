// The legality test of the search, and the full-rules legal move list built on the generators.
#include "movegen/movegen.h"

namespace mirabel {

namespace {

// Whether the king on `k` is attacked on `board`, the board after `move`: only when the move
// left or reached a line through the king can the answer have changed.
bool KingAttackedOn(int side, const PieceCode* board, int k, const Move& move) {
    if (LineRelation[side][move.to][k] == 0 && LineRelation[side][move.from][k] == 0) return false;
    return FindAttacker(side, board, k) != NoSquare;
}

}  // namespace

bool LeavesKingAttacked(int side, const Position& after, const Move& move, bool wasInCheck) {
    if (move.from < 0) return false;
    const int k = after.kingSquare[side];
    if (k == NoSquare) return false;
    // Not in check before, and not a king move: only the line the piece left can open.
    if (!wasInCheck && k != move.to)
        return OpensLineToKing(side, after.board, k, move.from, move.to);
    return KingAttackedOn(side, after.board, k, move);
}

namespace {

// The pseudo-legal list: evasions when `side` is in check, else every move.
int GeneratePseudoMoves(int side, Position& position, bool inCheck, Move* out) {
    return inCheck ? GenerateEvasions(side, position, out) : GenerateMoves(side, position, out);
}

}  // namespace

int GenerateSearchMoves(int side, Position& position, Move* out) {
    return GeneratePseudoMoves(side, position, InCheckNow(side, position), out);
}

namespace {

bool AlreadyListed(const Move* moves, int count, const Move& move) {
    for (int i = 0; i < count; ++i)
        if (SameMove(moves[i], move)) return true;
    return false;
}

// Whether `side`'s king is attacked once `move` (a board move) is made: the piece is set on
// its target in `board` and taken back, the rest of the position left alone.
bool KingAttackedAfter(int side, PieceCode* board, int kingSquare, const Move& move) {
    const PieceCode moved = board[move.from];
    const PieceCode captured = board[move.to];
    board[move.from] = 0;
    board[move.to] = moved;
    const bool attacked =
        KingAttackedOn(side, board, move.from == kingSquare ? move.to : kingSquare, move);
    board[move.to] = captured;
    board[move.from] = moved;
    return attacked;
}

// Legal under the full rules: the own king is not left attacked, and a pawn drop does not
// give mate. `board` is a copy of the position's, changed and restored during the call; the
// position is made a copy of only for a pawn dropped in front of the enemy king.
bool IsLegal(int side, const Position& position, PieceCode* board, const Move& move, bool inCheck) {
    if (move.from >= 0) {
        const int k = position.kingSquare[side];
        if (k == NoSquare) return true;
        if (!inCheck && move.from != k)
            return !OpensLineToKing(side, position.board, k, move.from, move.to);
        return !KingAttackedAfter(side, board, k, move);
    }
    if (move.from != -Pawn) return true;
    const int enemyKing = position.kingSquare[1 - side];
    if (enemyKing == NoSquare || !StepAttacks(side, Pawn, move.to, enemyKing)) return true;
    Position probe = position;
    MakeMove(side, probe, move);
    return HasLegalMove(1 - side, probe);
}

}  // namespace

int GenerateLegalMoves(int side, const Position& position, Move* out) {
    Move pseudo[MoveListSize];
    Position scratch = position;
    const bool evasions = InCheckNow(side, scratch);
    const int count = GeneratePseudoMoves(side, scratch, evasions, pseudo);
    int n = 0;
    for (int i = 0; i < count; ++i) {
        const Move& move = pseudo[i];
        // Evasion lists can name an adjacent slider's capture twice (never a drop).
        if (evasions && move.from >= 0 && AlreadyListed(out, n, move)) continue;
        if (!IsLegal(side, position, scratch.board, move, evasions)) continue;
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
    const bool inCheck = InCheckNow(side, scratch);
    const int count = GeneratePseudoMoves(side, scratch, inCheck, pseudo);
    for (int i = 0; i < count; ++i)
        if (IsLegal(side, position, scratch.board, pseudo[i], inCheck)) return true;
    return false;
}

}  // namespace mirabel
