// The move picker of one ply: it owns the node's move list, scores the moves for ordering and
// hands them out best first. A full-width node's captures and drops get their exchange
// estimates only when they could matter: while a move scores higher than any of theirs could,
// that move is handed out first without them, and the rest are estimated before the second.
// A quiescence node's captures are ordered by their exchange estimates alone.
#pragma once

#include <cassert>
#include <cstdint>

#include "movegen/movegen.h"
#include "position/position.h"
#include "search/ordering.h"

namespace mirabel {

class MovePicker {
  public:
    enum class Start { Moves, NoMoves, KingCapture };

    // Lists and scores the moves of a full-width node: evasions when `inCheck`, else every
    // move. KingCapture when a move can capture the opponent's king.
    Start BeginNode(int side, Position& position, bool inCheck, const OrderingMoves& known,
                    const History& history, OrderingRandom& random);
    // The index-th move in order; call for index 0, 1, 2, ... in turn, with the node's
    // position as it was at BeginNode.
    const Move& Pick(int index, int side, const Position& position) {
        CheckPickOrder(index);
        if (index == 1 && anyPending) CompleteScores(side, position);
        const int origin = PutNextInOrder(moves, count, index);
        if (index == 0) firstOrigin = origin;
        // The first move is picked on its full score: a pending move's could still be higher.
        assert(index != 0 || !IsPending(origin));
        assert(index == 0 || !anyPending);
        return moves[index];
    }
    // A move handed out before.
    const Move& Picked(int index) const { return moves[index]; }

    // Lists and orders a quiescence node's captures; false when there are none. Behind the
    // first, only the captures that could be searched are kept.
    bool BeginQuiescence(int side, const Position& position);
    // The index-th capture in order; call for index 0, 1, 2, ... in turn.
    const Move& PickCapture(int index) {
        CheckPickOrder(index);
        if (index > 0) PutNextInOrder(moves, count, index);  // the first is in place already
        return moves[index];
    }

    // The moves to walk: every move of a full-width node, the kept captures of a quiescence node.
    int Count() const { return count; }

    // Quiescence's score of a capture that loses its exchange (every other score is 0 or more);
    // such captures are never searched.
    static constexpr int LosingExchange = -100000;
    // The material a capture wins at once: the captured piece, and the promotion's gain.
    static int CaptureGain(const PieceCode* board, const Move& move) {
        int gain = ExchangeValue[AbsCode(board[move.to])];
        if (move.promote) gain += PromotionGain[AbsCode(board[move.from])];
        return gain;
    }

  private:
    struct FirstPass;

    Move moves[MoveListSize];
    int count = 0;
    // The moves whose scores lack their exchange estimates, by their place in the list before
    // the first pick (the pending marks): the captures and the moves next to the opponent's
    // king, worked out first as their ceilings are the highest, and the other drops.
    std::int16_t firstStage[MoveListSize];
    std::int16_t laterDrops[MoveListSize];
    int firstStageCount = 0;
    int laterDropCount = 0;
    bool firstStageDone = false;
    bool anyPending = false;
    int firstOrigin = 0;  // where the first move handed out stood before it was picked
#ifndef NDEBUG
    int nextPick = 0;  // the index the next pick must ask for
#endif
    // Debug builds check that the picks come in order and stay within the list.
    void CheckPickOrder([[maybe_unused]] int index) {
#ifndef NDEBUG
        assert(index == nextPick && index < count);
        ++nextPick;
#endif
    }
    MoveScorer scorer;

    void ScoreFirst(int side, const Position& position, Move& move, int index,
                    const OrderingMoves& known, SquareSet knownTargets, const History& history,
                    OrderingRandom& random, FirstPass& pass);
    void ScoreByExchange(int side, const Position& position, const Occupancy& occupancy);
    // Adds the pending exchange estimates to the scores, after the first pick.
    void CompleteScores(int side, const Position& position);
    bool IsPending(int index) const;
};

}  // namespace mirabel
