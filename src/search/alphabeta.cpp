// The principal-variation alpha-beta search and the quiescence search.
#include "platform/platform.h"
#include "search/search.h"

namespace mirabel {

std::uint32_t SearchStartTick = 0;
std::uint32_t SearchTimeLimit = 0;
int TimeOver = 0;
std::uint64_t NodeCount = 0;
std::uint8_t InCheck[MaxPly];
Move PvTable[MaxPly][MaxPly];
Move MoveLists[MoveListCount][MoveListSize];

namespace {

inline bool ClockExpired() {
    if (static_cast<std::uint32_t>(TickCount() - SearchStartTick) > SearchTimeLimit) {
        TimeOver = 1;
        return true;
    }
    return false;
}

inline int StaticScore(int side) {
    return side == 0 ? GamePosition.material : -GamePosition.material;
}

// The variation of this node becomes `move` followed by the child's variation.
void UpdateVariation(int ply, const Move& move) {
    PvTable[ply][ply] = move;
    for (int i = ply + 1; i < PvShown; ++i) PvTable[ply][i] = PvTable[ply + 1][i];
    PvTable[ply + 1][ply + 1].from = NoMove;
}

int LateMoveReduction(const Move& move) {
    const int good = HistoryGood[move.from + 10][move.to] + 1;
    const int limit = 8 * HistoryTried[move.from + 10][move.to] + 16;
    if (160 * good < limit) return 8;
    if (60 * good < limit) return 6;
    if (20 * good < limit) return 4;
    return 0;
}

// Scores every move for ordering; returns false when a move can capture the king.
bool ScoreMoves(int side, Move* list, int count, const OrderingMoves& known) {
    BeginMoveScoring();
    for (int i = 0; i < count; ++i) {
        if (AbsCode(GamePosition.board[list[i].to]) == King) return false;
        list[i].score = OrderingScore(side, GamePosition, list[i], known);
    }
    return true;
}

// Quiescence's ordering score: the exchange estimate, or -100000 for a losing one. Most moves
// of a longer list end on squares the opponent cannot reach, whose estimate is 0 at once: one
// attack map then costs less than running every capture sequence.
constexpr int AttackMapFromMoves = 6;

void ScoreByExchange(int side, Move* list, int count) {
    bool attacked[SquareCount];
    const bool useMap = count >= AttackMapFromMoves;
    if (useMap) MarkAttackedSquares(side, GamePosition.board, attacked);
    for (int i = 0; i < count; ++i) {
        const bool safe =
            useMap && TargetStaysUnattacked(side, GamePosition.board, attacked, list[i]);
        const int exchange = safe ? 0 : ExchangeScore(side, GamePosition, list[i]);
        list[i].score = exchange < 0 ? -100000 : exchange;
    }
}

int CaptureGain(const Move& move) {
    const PieceCode* board = GamePosition.board;
    int gain = ExchangeValue[AbsCode(board[move.to])];
    if (move.promote) gain += PromotionGain[AbsCode(board[move.from])];
    return gain;
}

}  // namespace

int AlphaBeta(int side, int alpha, int beta, int depth, int ply, int noNull) {
    if (ClockExpired()) return ScoreTimeOver;
    // Past the per-ply tables a line of checks ends at the static score.
    if (ply >= MaxPly - 1) return StaticScore(side);
    if (!InCheck[ply] && depth < OnePly) return Quiescence(side, alpha, beta, ply + 1);
    ++NodeCount;

    const std::uint32_t keyLo = static_cast<std::uint32_t>(GamePosition.hashKey);
    const std::uint32_t keyHi = static_cast<std::uint32_t>(GamePosition.hashKey >> 32);
    TableEntry* slot = nullptr;
    if (ProbeTable(side, keyLo, keyHi, alpha, beta, depth, slot)) {
        PvTable[ply][ply] = slot->best;
        return slot->score;
    }
    const OrderingMoves known{slot->best, slot->previous, Killer1[ply], Killer2[ply],
                              PvTable[ply][ply]};

    const Position snapshot = GamePosition;
    if (ply == 0) InCheck[0] = InCheckNow(side, GamePosition) ? 1 : 0;

    if (!InCheck[ply] && depth >= 2 * OnePly && !noNull && StaticScore(side) >= beta &&
        alpha + 1 == beta) {
        const int nullDepth = depth >= 7 * OnePly ? depth - 4 * OnePly : depth - 3 * OnePly;
        InCheck[ply + 1] = 0;
        const int v = -AlphaBeta(1 - side, -beta, 1 - beta, nullDepth, ply + 1, 1);
        if (TimeOver) return ScoreTimeOver;
        if (v >= beta) return v;
    }

    Move* list = MoveLists[ply];
    const int count = InCheck[ply] ? GenerateEvasions(side, GamePosition, list)
                                   : GenerateMoves(side, GamePosition, list);
    if (count == 0) return ScoreNoMove;
    if (!ScoreMoves(side, list, count, known)) return ScoreKingCapture;

    const int alphaIn = alpha;
    int bestScore = alpha - 1;
    int bestIndex = 0;
    bool first = true;
    for (int i = 0; i < count; ++i) {
        PutNextInOrder(list, count, i);
        const Move& move = list[i];
        InCheck[ply + 1] = static_cast<std::uint8_t>(GivesCheck(side, GamePosition, move));
        int childDepth = depth - OnePly;
        int reduction = 0;
        if (childDepth >= OnePly && !first && !InCheck[ply] && !InCheck[ply + 1] && !move.capture &&
            !move.promote && move.score <= 1000) {
            reduction = LateMoveReduction(move);
            childDepth -= reduction;
        }
        MakeMove(side, GamePosition, move);
        if (LeavesKingAttacked(side, GamePosition, move)) {
            GamePosition = snapshot;
            continue;
        }
        if (InCheck[ply + 1] && move.score > 0) childDepth += OnePly;

        int v;
        if (first) {
            v = -AlphaBeta(1 - side, -beta, -alpha, childDepth, ply + 1, noNull);
        } else {
            v = -AlphaBeta(1 - side, -alpha - 1, -alpha, childDepth, ply + 1, noNull);
        }
        // A pawn drop that mates is illegal in shogi. ScoreNoMove alone does not say so: a side
        // mated further down the line scores the same, so the rules decide (rarely reached).
        if (move.from == -Pawn && v == -ScoreNoMove && InCheck[ply + 1] &&
            !HasLegalMove(1 - side, GamePosition)) {
            GamePosition = snapshot;
            continue;
        }
        if (!first) {
            if (v > alpha && reduction != 0) {
                childDepth = depth - OnePly;
                v = -AlphaBeta(1 - side, -alpha - 1, -alpha, childDepth, ply + 1, 1);
            }
            if (v > alpha) v = -AlphaBeta(1 - side, -beta, -alpha, childDepth, ply + 1, 1);
        }
        first = false;
        GamePosition = snapshot;
        if (TimeOver) return ScoreTimeOver;
        if (!move.capture) AddTried(move, depth);

        if (v >= beta) {
            if (!move.capture) AddGood(move, depth);
            Killer2[ply] = Killer1[ply];
            Killer1[ply] = move;
            bestIndex = i;
            bestScore = v;
            break;
        }
        if (v > alpha) {
            bestIndex = i;
            alpha = v;
            bestScore = v;
            UpdateVariation(ply, move);
            if (ply == 0) ReportSearch(v);
        }
    }
    if (first) return ScoreNoMove;

    const int bound = bestScore <= alphaIn ? BoundUpper
                      : bestScore < beta   ? BoundExact
                                           : BoundLower;
    StoreTable(side, keyLo, keyHi, depth, list[bestIndex], bestScore, bound);
    return bestScore;
}

int Quiescence(int side, int alpha, int beta, int ply) {
    if (ClockExpired()) return ScoreTimeOver;
    ++NodeCount;
    const int standPat = StaticScore(side);
    if (ply > 20) return standPat;
    if (standPat > alpha) {
        if (standPat >= beta) return standPat;
        alpha = standPat;
    }
    Move* list = MoveLists[ply];
    const int count = GenerateCaptures(side, GamePosition.board, list);
    if (count == 0) return standPat;
    ScoreByExchange(side, list, count);

    // Alpha is at least the stand pat from here on, so every move but the first in order is
    // searched only if it gains material (a capture or a promotion) and does not lose the
    // exchange. The first move is picked from the whole list; behind it only the moves that
    // could still be searched are kept, in their order, and only they are sorted.
    PutNextInOrder(list, count, 0);
    int kept = 1;
    for (int i = 1; i < count; ++i)
        if (list[i].score >= -10000 && CaptureGain(list[i]) > 0) list[kept++] = list[i];

    const Position snapshot = GamePosition;
    for (int i = 0; i < kept; ++i) {
        PutNextInOrder(list, kept, i);
        const Move& move = list[i];
        // Losing captures, captures that cannot reach alpha (any but the first) and checks
        // are never searched; the cheap tests come first.
        if (move.score < -10000) continue;
        if (i > 0 && standPat + CaptureGain(move) <= alpha) continue;
        if (GivesCheck(side, GamePosition, move)) continue;
        MakeMove(side, GamePosition, move);
        const int v = -Quiescence(1 - side, -beta, -alpha, ply + 1);
        GamePosition = snapshot;
        if (TimeOver) return ScoreTimeOver;
        if (v >= beta) return v;
        if (v > alpha) alpha = v;
    }
    return alpha;
}

}  // namespace mirabel
