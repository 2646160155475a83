// The ordering score: hash move, killers, history, exchange estimate and the random part.
#include "search/ordering.h"

#include <algorithm>

namespace mirabel {

void History::Clear() {
    std::fill(&good[0][0], &good[0][0] + Rows * SquareCount, std::uint16_t{0});
    std::fill(&tried[0][0], &tried[0][0] + Rows * SquareCount, std::uint16_t{0});
}

void History::AddTried(const Move& move, int depth) {
    std::uint16_t& count = tried[move.from + FromOffset][move.to];
    count = static_cast<std::uint16_t>(count + depth);
    if (count > 10000) {
        count = static_cast<std::uint16_t>(count >> 1);
        std::uint16_t& cutoffs = good[move.from + FromOffset][move.to];
        cutoffs = static_cast<std::uint16_t>(cutoffs >> 1);
    }
}

void History::AddGood(const Move& move, int depth) {
    std::uint16_t& cutoffs = good[move.from + FromOffset][move.to];
    cutoffs = static_cast<std::uint16_t>(cutoffs + depth);
}

namespace {

// How often the move's squares caused a cutoff against how often they were tried; most pairs
// never did, and those skip the division.
int HistoryScore(const History& history, const Move& move) {
    const int good = history.Good(move);
    return good == 0 ? 0 : good * 3000 / (history.Tried(move) + 1);
}

}  // namespace

const Occupancy& MoveScorer::BoardOccupancy(const Position& position) {
    if (occupancyNode != node) {
        occupancy = OccupancyOf(position.board);
        occupancy.sliders = SliderSquares(position.board);
        occupancyNode = node;
    }
    return occupancy;
}

bool MoveScorer::TargetStaysSafe(int side, const Position& position, const Move& move) {
    if (attackMapNode != node) {
        opponentAttacks = AttackedSquares(side, position.board, BoardOccupancy(position));
        attackMapNode = node;
    }
    return TargetStaysUnattacked(side, position.board, occupancy, opponentAttacks, move);
}

const DropExchange& MoveScorer::DropEstimate(int side, const Position& position, int square) {
    if (dropEstimateNode[square] != node) {
        dropEstimate[square] = DropExchangeOn(side, position, square, BoardOccupancy(position));
        dropEstimateNode[square] = node;
    }
    return dropEstimate[square];
}

int MoveScorer::ExchangeEstimate(int side, const Position& position, const Move& move,
                                 bool useAttackMap) {
    // A target the opponent cannot reach after the move ends the capture sequence before it
    // starts: the map says so without running it.
    if (useAttackMap && TargetStaysSafe(side, position, move)) return 0;
    if (move.capture) return RecaptureBalance(side, position, move, BoardOccupancy(position));
    const DropExchange& estimate = DropEstimate(side, position, move.to);
    return estimate.attacked ? estimate.rest - ExchangeValue[-move.from] : 0;
}

int MoveScorer::BaseScore(const Move& move, const OrderingMoves& known, SquareSet knownTargets,
                          OrderingRandom& random) {
    if (!Contains(knownTargets, move.to)) return random.Next() % 5;
    if (SameMove(move, known.hash)) return HashMoveScore;
    if (SameMove(move, known.previous)) return PreviousHashMoveScore;
    if (SameMove(move, known.killer1)) return Killer1Score;
    if (SameMove(move, known.killer2)) return Killer2Score;
    if (SameMove(move, known.pv)) return PvMoveScore;
    return random.Next() % 5;
}

int MoveScorer::ScoreBeforeExchange(const Position& position, Move& move, int base,
                                    const History& history) {
    move.capture = position.board[move.to] != 0;
    return move.capture ? base + CaptureBonus : base + HistoryScore(history, move);
}

void MoveScorer::AddExchangePart(int side, const Position& position, Move& move,
                                 bool useAttackMap) {
    const int exchange = ExchangeEstimate(side, position, move, useAttackMap);
    move.score += exchange < 0 ? exchange - LosingPenalty : exchange;
}

}  // namespace mirabel
