// The ordering score: hash move, killers, history, exchange estimate and the random part.
#include "search/ordering.h"

namespace mirabel {

void History::Clear() {
    for (auto& row : good)
        for (auto& counter : row) counter = 0;
    for (auto& row : tried)
        for (auto& counter : row) counter = 0;
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

bool MoveScorer::TargetStaysSafe(int side, const Position& position, const Move& move) {
    if (attackMapNode != node) {
        occupancy = OccupancyOf(position.board);
        occupancy.sliders = SliderSquares(position.board);
        opponentAttacks = AttackedSquares(side, position.board, occupancy);
        attackMapNode = node;
    }
    return TargetStaysUnattacked(side, position.board, occupancy, opponentAttacks, move);
}

int MoveScorer::CaptureExchangeScore(int side, const Position& position, const Move& move) {
    return TargetStaysSafe(side, position, move) ? 0
                                                 : ExchangeScore(side, position, move, occupancy);
}

int MoveScorer::DropExchangeScore(int side, const Position& position, const Move& move) {
    const int t = move.to;
    if (TargetStaysSafe(side, position, move)) return 0;
    if (dropEstimateNode[t] != node) {
        dropEstimate[t] = DropExchangeOn(side, position, t, occupancy);
        dropEstimateNode[t] = node;
    }
    return dropEstimate[t].attacked ? dropEstimate[t].rest - ExchangeValue[-move.from] : 0;
}

int MoveScorer::BaseScore(const Move& move, const OrderingMoves& known) {
    if (SameMove(move, known.hash)) return 100000;
    if (SameMove(move, known.second)) return 90000;
    if (SameMove(move, known.killer1)) return 15000;
    if (SameMove(move, known.killer2)) return 14850;
    if (SameMove(move, known.pv)) return 150000;
    return random.Next() % 5;
}

int MoveScorer::Score(int side, Position& position, Move& move, const OrderingMoves& known,
                      const History& history) {
    const int base = BaseScore(move, known);
    int score;
    int exchange = 0;
    bool exchangeUsed = false;
    if (position.board[move.to] != 0) {
        move.capture = 1;
        exchange = CaptureExchangeScore(side, position, move);
        exchangeUsed = true;
        score = base + exchange + 10000;
    } else {
        move.capture = 0;
        score = base + HistoryScore(history, move);
        if (move.from < 0) {
            exchange = DropExchangeScore(side, position, move);
            exchangeUsed = true;
            score += exchange;
        }
    }
    if (exchangeUsed && exchange < 0) score -= 3000;
    return score;
}

}  // namespace mirabel
