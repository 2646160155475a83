// The principal-variation alpha-beta search and the quiescence search.
#include "search/search.h"

namespace mirabel {

namespace {

// Moves ordered above this score are never reduced: the known moves (hash, killers, the
// variation's) and quiet moves with a history of frequent cutoffs.
constexpr int ReducedScoreCeiling = 1000;
// A check is extended only when its ordering score is above this: not when it loses its
// exchange, nor when a quiet check drew the random part's lowest value with no history.
constexpr int ExtendedCheckScoreFloor = 0;
// In a group, the searches mark the nodes at least this deep as busy, and a node leaves a move
// after its first for the end of its list while another search is in the move's position.
constexpr int BusyMarkDepth = 3 * OnePly;
constexpr int DeferredMax = 32;  // moves a node defers at most; the rest are searched at once

// How far a late quiet move is reduced, from how rarely its squares caused a cutoff.
int LateMoveReduction(const History& history, const Move& move) {
    const int good = history.Good(move) + 1;
    const int limit = 8 * history.Tried(move) + 16;
    if (160 * good < limit) return 2 * OnePly;
    if (60 * good < limit) return 3 * OnePly / 2;
    if (20 * good < limit) return OnePly;
    return 0;
}

}  // namespace

// The variation of this node becomes `move` followed by the child's variation.
void Search::UpdateVariation(int ply, const Move& move) {
    pv[ply][ply] = move;
    for (int i = ply + 1; i < PvShown; ++i) pv[ply][i] = pv[ply + 1][i];
    pv[ply + 1][ply + 1].from = NoMove;
}

// The score of passing the move to the opponent, searched to a reduced depth.
int Search::NullMoveScore(int side, int beta, int depth, int ply) {
    const int nullDepth = depth >= 7 * OnePly ? depth - 4 * OnePly : depth - 3 * OnePly;
    inCheck[ply + 1] = false;
    return -AlphaBeta(1 - side, -beta, 1 - beta, nullDepth, ply + 1, true);
}

// The reduction of a move that is not a node's first: late quiet moves that neither check nor
// evade one are searched less deep.
int Search::Reduction(const Move& move, int childDepth, int ply) const {
    if (childDepth < OnePly || inCheck[ply] || inCheck[ply + 1] || move.capture || move.promote ||
        move.score > ReducedScoreCeiling)
        return 0;
    return LateMoveReduction(history, move);
}

// A pawn drop that mates is illegal in shogi. ScoreNoMove alone does not say so: a side mated
// further down the line scores the same, so the rules decide (rarely reached).
bool Search::IsPawnDropMate(int side, const Move& move, int childScore, int ply) const {
    return move.from == -Pawn && childScore == -ScoreNoMove && inCheck[ply + 1] &&
           !HasLegalMove(1 - side, position);
}

// A move after the first was searched with a null window, maybe reduced: when it beats alpha
// it is searched again, at full depth, then with the full window.
int Search::SearchAgain(int side, int alpha, int beta, int score, int depth, int childDepth,
                        bool reduced, int ply) {
    if (score > alpha && reduced) {
        childDepth = depth - OnePly;
        score = -AlphaBeta(1 - side, -alpha - 1, -alpha, childDepth, ply + 1, true);
    }
    if (score > alpha) score = -AlphaBeta(1 - side, -beta, -alpha, childDepth, ply + 1, true);
    return score;
}

// A quiet move that refuted the node goes into the history and becomes the first killer.
void Search::RecordCutoff(const Move& move, int depth, int ply) {
    if (!move.capture) history.AddGood(move, depth);
    killer2[ply] = killer1[ply];
    killer1[ply] = move;
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
    const bool marked = group != nullptr && depth >= BusyMarkDepth;
    const BusyMark busyMark(marked ? &group->busy : nullptr,
                            marked ? BusyPositions::KeyOf(side, position.hashKey) : 0);
    const bool deferring = group != nullptr && depth >= BusyMarkDepth + OnePly;
    std::int16_t deferred[DeferredMax];
    int deferredCount = 0;

    const Position snapshot = position;
    if (ply == 0) inCheck[0] = InCheckNow(side, position);
    if (!inCheck[ply] && depth >= 2 * OnePly && !noNull && StaticScore(side) >= beta &&
        alpha + 1 == beta) {
        const int v = NullMoveScore(side, beta, depth, ply);
        if (stopped) return ScoreTimeOver;
        if (v >= beta) return v;
    }

    MovePicker& picker = pickers[ply];
    const auto start = picker.BeginNode(side, position, inCheck[ply], known, history, random);
    if (start == MovePicker::Start::NoMoves) return ScoreNoMove;
    if (start == MovePicker::Start::KingCapture) return ScoreKingCapture;
    const int alphaIn = alpha;
    int bestScore = alpha - 1;
    int bestIndex = 0;
    bool first = true;
    // The moves in order, then those deferred because another search was in their position.
    for (int step = 0; step < picker.Count() + deferredCount; ++step) {
        const bool revisit = step >= picker.Count();
        const int i = revisit ? deferred[step - picker.Count()] : step;
        const Move& move = revisit ? picker.Picked(i) : picker.Pick(i, side, position);
        inCheck[ply + 1] = GivesCheck(side, position, move);
        const int reduction = first ? 0 : Reduction(move, depth - OnePly, ply);
        int childDepth = depth - OnePly - reduction;
        MakeMove(side, position, move);
        // A child that is not a quiescence node probes the table first thing.
        if (childDepth >= OnePly || inCheck[ply + 1])
            table.Prefetch(1 - side, static_cast<std::uint32_t>(position.hashKey));
        if (LeavesKingAttacked(side, position, move, inCheck[ply])) {
            position = snapshot;
            continue;
        }
        if (deferring && !first && !revisit && deferredCount < DeferredMax &&
            group->busy.Busy(BusyPositions::KeyOf(1 - side, position.hashKey))) {
            position = snapshot;
            deferred[deferredCount++] = static_cast<std::int16_t>(i);
            continue;
        }
        if (inCheck[ply + 1] && move.score > ExtendedCheckScoreFloor) childDepth += OnePly;

        int v = first ? -AlphaBeta(1 - side, -beta, -alpha, childDepth, ply + 1, noNull)
                      : -AlphaBeta(1 - side, -alpha - 1, -alpha, childDepth, ply + 1, noNull);
        if (IsPawnDropMate(side, move, v, ply)) {
            position = snapshot;
            continue;
        }
        if (!first) v = SearchAgain(side, alpha, beta, v, depth, childDepth, reduction != 0, ply);
        first = false;
        position = snapshot;
        if (stopped) return ScoreTimeOver;
        if (!move.capture) history.AddTried(move, depth);
        if (v >= beta) {
            RecordCutoff(move, depth, ply);
            bestIndex = i;
            bestScore = v;
            break;
        }
        if (v > alpha) {
            bestIndex = i;
            alpha = bestScore = v;
            UpdateVariation(ply, move);
            if (ply == 0) Report(v, false);
        }
    }
    if (first) return ScoreNoMove;

    const int bound = bestScore <= alphaIn ? BoundUpper
                      : bestScore < beta   ? BoundExact
                                           : BoundLower;
    table.Store(side, keyLo, keyHi, depth, picker.Picked(bestIndex), bestScore, bound);
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
    MovePicker& picker = pickers[ply];
    if (!picker.BeginQuiescence(side, position)) return standPat;

    const Position snapshot = position;
    for (int i = 0; i < picker.Count(); ++i) {
        const Move& move = picker.PickCapture(i);
        // Losing captures, captures that cannot reach alpha (any but the first) and checks
        // are never searched; the cheap tests come first.
        if (move.score == MovePicker::LosingExchange) continue;
        if (i > 0 && standPat + MovePicker::CaptureGain(position.board, move) <= alpha) continue;
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
