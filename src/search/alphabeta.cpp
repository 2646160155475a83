// The principal-variation alpha-beta search and the quiescence search.
#include <algorithm>
#include <climits>

#include "search/search.h"

namespace mirabel {

namespace {

int LateMoveReduction(const History& history, const Move& move) {
    const int good = history.Good(move) + 1;
    const int limit = 8 * history.Tried(move) + 16;
    if (160 * good < limit) return 8;
    if (60 * good < limit) return 6;
    if (20 * good < limit) return 4;
    return 0;
}

// Quiescence's ordering uses one attack map for lists at least this long: most of their moves
// end on squares the opponent cannot reach, whose estimate is 0 at once, and one map then
// costs less than running every capture sequence.
constexpr int AttackMapFromMoves = 8;
// Quiescence's score of a move that loses its exchange (every other score is 0 or more); such
// moves are never searched.
constexpr int LosingExchange = -100000;

}  // namespace

// The variation of this node becomes `move` followed by the child's variation.
void Search::UpdateVariation(int ply, const Move& move) {
    pv[ply][ply] = move;
    for (int i = ply + 1; i < PvShown; ++i) pv[ply][i] = pv[ply + 1][i];
    pv[ply + 1][ply + 1].from = NoMove;
}

// What a node's first scoring pass learns: the best score worked out, and the moves whose
// exchange estimates are left pending, with the highest scores they could reach.
struct Search::FirstPass {
    explicit FirstPass(int king) : enemyKing(king), kingNeighbours(NeighbourWindow[king]) {}

    // The opponent's king and the window of its neighbours (see WindowAround).
    int enemyKing;
    std::uint64_t kingNeighbours;
    int bestScored = INT_MIN;
    // The captures and the moves next to the opponent's king, worked out first: their ceilings
    // are the highest.
    std::int16_t firstStage[MoveListSize];
    int firstStageCount = 0;
    int highestFirstStage = INT_MIN;
    int highestLaterDrop = INT_MIN;  // the highest score so far of the other drops

    bool NextToKing(int square) const {
        const auto bit = static_cast<unsigned>(square - enemyKing + WindowOffset);
        return bit < 64 && ((kingNeighbours >> bit) & 1) != 0;
    }
    void Scored(int score) { bestScored = std::max(bestScored, score); }
    void LeavePending(Move& move, int index, const PieceCode* board) {
        const bool nextToKing = NextToKing(move.to);
        if ((move.capture & 1) != 0 || nextToKing) {
            firstStage[firstStageCount++] = static_cast<std::int16_t>(index);
            highestFirstStage =
                std::max(highestFirstStage,
                         move.score + MoveScorer::ExchangeCeiling(move, board, nextToKing));
        } else {
            highestLaterDrop = std::max(highestLaterDrop, move.score);
        }
        move.capture |= ScorePending;
    }
    // A pawn loses least: its ceiling bounds every other drop's.
    int LaterCeiling() const {
        return highestLaterDrop == INT_MIN
                   ? INT_MIN
                   : highestLaterDrop + FarFromKingGain - ExchangeValue[Pawn];
    }
};

// The first pass over one move: its score, or its score but for a pending exchange estimate.
void Search::ScoreFirst(int side, Move& move, int index, const OrderingMoves& known,
                        SquareSet knownTargets, FirstPass& pass) {
    const int base = scorer.BaseScore(move, known, knownTargets);
    move.score = MoveScorer::ScoreBeforeExchange(position, move, base, history);
    if (!MoveScorer::NeedsExchange(move)) {
        pass.Scored(move.score);
    } else if (base >= SecondMoveScore) {
        scorer.AddExchangePart(side, position, move, false);
        pass.Scored(move.score);
    } else {
        pass.LeavePending(move, index, position.board);
    }
}

// Scores every move for ordering; returns false when a move can capture the king. The
// exchange estimates of captures and drops are left pending while the node's first move is
// known without them: while a move scores higher than any of theirs could. They are worked out
// in two steps, the captures and the moves next to the opponent's king first; CompleteScores
// must run before a second move is picked.
bool Search::ScoreMoves(int side, Move* list, int count, const OrderingMoves& known,
                        bool& pending) {
    scorer.BeginNode();
    const int enemyKing = position.kingSquare[1 - side];
    const SquareSet knownTargets = known.Targets();
    FirstPass pass(enemyKing);
    // The board moves, then the drops, listed last, which reach only empty squares. Both
    // kings stand on their squares here: no move capturing a king is ever made before this.
    int i = 0;
    for (; i < count && list[i].from >= 0; ++i) {
        if (list[i].to == enemyKing) return false;
        ScoreFirst(side, list[i], i, known, knownTargets, pass);
    }
    for (; i < count; ++i) ScoreFirst(side, list[i], i, known, knownTargets, pass);

    pending = pass.firstStageCount > 0 || pass.highestLaterDrop != INT_MIN;
    if (pass.bestScored > std::max(pass.highestFirstStage, pass.LaterCeiling())) return true;
    for (int j = 0; j < pass.firstStageCount; ++j) {
        Move& move = list[pass.firstStage[j]];
        scorer.AddExchangePart(side, position, move, false);
        pass.Scored(move.score);
    }
    pending = pass.highestLaterDrop != INT_MIN;
    if (pass.bestScored > pass.LaterCeiling()) return true;
    if (pending) CompleteScores(side, list, count, pending);
    return true;
}

// Adds the pending exchange estimates to the scores of a node's moves.
void Search::CompleteScores(int side, Move* list, int count, bool& pending) {
    for (int i = 0; i < count; ++i) {
        Move& move = list[i];
        if ((move.capture & ScorePending) != 0) scorer.AddExchangePart(side, position, move, true);
    }
    pending = false;
}

// Quiescence's ordering score: the exchange estimate, or LosingExchange for a losing one.
void Search::ScoreByExchange(int side, const Occupancy& occupancy, Move* list, int count) {
    const bool useMap = count >= AttackMapFromMoves;
    const SquareSet attacked = useMap ? AttackedSquares(side, position.board, occupancy) : 0;
    for (int i = 0; i < count; ++i) {
        const bool safe =
            useMap && TargetStaysUnattacked(side, position.board, occupancy, attacked, list[i]);
        const int exchange = safe ? 0 : ExchangeScore(side, position, list[i], occupancy);
        list[i].score = exchange < 0 ? LosingExchange : exchange;
    }
}

int Search::CaptureGain(const Move& move) const {
    const PieceCode* board = position.board;
    int gain = ExchangeValue[AbsCode(board[move.to])];
    if (move.promote) gain += PromotionGain[AbsCode(board[move.from])];
    return gain;
}

// The score of passing the move to the opponent, searched to a reduced depth.
int Search::NullMoveScore(int side, int beta, int depth, int ply) {
    const int nullDepth = depth >= 7 * OnePly ? depth - 4 * OnePly : depth - 3 * OnePly;
    inCheck[ply + 1] = false;
    return -AlphaBeta(1 - side, -beta, 1 - beta, nullDepth, ply + 1, true);
}

int Search::AlphaBeta(int side, int alpha, int beta, int depth, int ply, bool noNull) {
    if (TimeIsUp()) return ScoreTimeOver;
    // Past the per-ply tables a line of checks ends at the static score.
    if (ply >= MaxPly - 1) return StaticScore(side);
    if (!inCheck[ply] && depth < OnePly) return Quiescence(side, alpha, beta, ply + 1);
    ++nodes;

    const std::uint32_t keyLo = static_cast<std::uint32_t>(position.hashKey);
    const std::uint32_t keyHi = static_cast<std::uint32_t>(position.hashKey >> 32);
    TableEntry slot;
    if (table.Probe(side, keyLo, keyHi, alpha, beta, depth, slot)) {
        pv[ply][ply] = slot.best;
        return slot.score;
    }
    const OrderingMoves known{slot.best, slot.previous, killer1[ply], killer2[ply], pv[ply][ply]};

    const Position snapshot = position;
    if (ply == 0) inCheck[0] = InCheckNow(side, position);

    if (!inCheck[ply] && depth >= 2 * OnePly && !noNull && StaticScore(side) >= beta &&
        alpha + 1 == beta) {
        const int v = NullMoveScore(side, beta, depth, ply);
        if (stopped) return ScoreTimeOver;
        if (v >= beta) return v;
    }

    Move* list = moveLists[ply];
    const int count =
        inCheck[ply] ? GenerateEvasions(side, position, list) : GenerateMoves(side, position, list);
    if (count == 0) return ScoreNoMove;
    bool pending = false;
    if (!ScoreMoves(side, list, count, known, pending)) return ScoreKingCapture;

    const int alphaIn = alpha;
    int bestScore = alpha - 1;
    int bestIndex = 0;
    bool first = true;
    for (int i = 0; i < count; ++i) {
        if (i > 0 && pending) {
            scorer.BeginNode();  // the children have used the scorer since
            CompleteScores(side, list, count, pending);
        }
        PutNextInOrder(list, count, i);
        const Move& move = list[i];
        inCheck[ply + 1] = GivesCheck(side, position, move);
        int childDepth = depth - OnePly;
        int reduction = 0;
        if (childDepth >= OnePly && !first && !inCheck[ply] && !inCheck[ply + 1] && !move.capture &&
            !move.promote && move.score <= 1000) {
            reduction = LateMoveReduction(history, move);
            childDepth -= reduction;
        }
        MakeMove(side, position, move);
        // A child that is not a quiescence node probes the table first thing.
        if (childDepth >= OnePly || inCheck[ply + 1])
            table.Prefetch(1 - side, static_cast<std::uint32_t>(position.hashKey));
        if (LeavesKingAttacked(side, position, move, inCheck[ply])) {
            position = snapshot;
            continue;
        }
        if (inCheck[ply + 1] && move.score > 0) childDepth += OnePly;

        int v;
        if (first) {
            v = -AlphaBeta(1 - side, -beta, -alpha, childDepth, ply + 1, noNull);
        } else {
            v = -AlphaBeta(1 - side, -alpha - 1, -alpha, childDepth, ply + 1, noNull);
        }
        // A pawn drop that mates is illegal in shogi. ScoreNoMove alone does not say so: a side
        // mated further down the line scores the same, so the rules decide (rarely reached).
        if (move.from == -Pawn && v == -ScoreNoMove && inCheck[ply + 1] &&
            !HasLegalMove(1 - side, position)) {
            position = snapshot;
            continue;
        }
        if (!first) {
            if (v > alpha && reduction != 0) {
                childDepth = depth - OnePly;
                v = -AlphaBeta(1 - side, -alpha - 1, -alpha, childDepth, ply + 1, true);
            }
            if (v > alpha) v = -AlphaBeta(1 - side, -beta, -alpha, childDepth, ply + 1, true);
        }
        first = false;
        position = snapshot;
        if (stopped) return ScoreTimeOver;
        if (!move.capture) history.AddTried(move, depth);

        if (v >= beta) {
            if (!move.capture) history.AddGood(move, depth);
            killer2[ply] = killer1[ply];
            killer1[ply] = move;
            bestIndex = i;
            bestScore = v;
            break;
        }
        if (v > alpha) {
            bestIndex = i;
            alpha = v;
            bestScore = v;
            UpdateVariation(ply, move);
            if (ply == 0) Report(v, false);
        }
    }
    if (first) return ScoreNoMove;

    const int bound = bestScore <= alphaIn ? BoundUpper
                      : bestScore < beta   ? BoundExact
                                           : BoundLower;
    table.Store(side, keyLo, keyHi, depth, list[bestIndex], bestScore, bound);
    return bestScore;
}

int Search::Quiescence(int side, int alpha, int beta, int ply) {
    if (TimeIsUp()) return ScoreTimeOver;
    ++nodes;
    const int standPat = StaticScore(side);
    if (ply > QuiescencePlyLimit) return standPat;
    if (standPat > alpha) {
        if (standPat >= beta) return standPat;
        alpha = standPat;
    }
    Move* list = moveLists[ply];
    // The board stays the same through the generation and the scoring: its occupancy is
    // worked out once for both, and its sliders once for all the exchange estimates.
    Occupancy occupancy = OccupancyOf(position.board);
    const int count = GenerateCaptures(side, position.board, occupancy, list);
    if (count == 0) return standPat;
    occupancy.sliders = SliderSquares(position.board);
    ScoreByExchange(side, occupancy, list, count);

    // Alpha is at least the stand pat from here on, so every move but the first in order is
    // searched only if it gains material (a capture or a promotion) and does not lose the
    // exchange. The first move is picked from the whole list; behind it only the moves that
    // could still be searched are kept, in their order, and only they are sorted.
    PutNextInOrder(list, count, 0);
    int kept = 1;
    for (int i = 1; i < count; ++i)
        if (list[i].score != LosingExchange && CaptureGain(list[i]) > 0) list[kept++] = list[i];

    const Position snapshot = position;
    for (int i = 0; i < kept; ++i) {
        if (i > 0) PutNextInOrder(list, kept, i);  // the first is in place already
        const Move& move = list[i];
        // Losing captures, captures that cannot reach alpha (any but the first) and checks
        // are never searched; the cheap tests come first.
        if (move.score == LosingExchange) continue;
        if (i > 0 && standPat + CaptureGain(move) <= alpha) continue;
        if (GivesCheck(side, position, move)) continue;
        MakeMove(side, position, move);
        const int v = -Quiescence(1 - side, -beta, -alpha, ply + 1);
        position = snapshot;
        if (stopped) return ScoreTimeOver;
        if (v >= beta) return v;
        if (v > alpha) alpha = v;
    }
    return alpha;
}

}  // namespace mirabel
