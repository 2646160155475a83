// Material balance and the static exchange estimate.
#include <cstring>

#include "position/position.h"

namespace mirabel {

std::int32_t MaterialBalance(int side, const Position& position) {
    std::int32_t total = 0;
    for (int sq = 0; sq < SquareCount; ++sq) total += PieceValue[position.board[sq]];
    for (int slot = 0; slot < HandSlots; ++slot)
        total += (position.hand[0][slot] - position.hand[1][slot]) * PieceValue[slot + 1];
    return side == 0 ? total : -total;
}

namespace {

// The capture sequence on t, the mover's piece already standing there: each side recaptures
// with the first attacker found, at most 10 times. Returns the balance from the mover's view
// and sets `captures` to the number of captures made.
// `occupancy` is the board's with the mover's origin emptied; what stands on t is never looked
// at.
std::int32_t CaptureSequence(int side, PieceCode* board, int t, Occupancy occupancy,
                             int& captures) {
    int s = side;
    int sign = 1;
    std::int32_t total = 0;
    // Each capture only empties the capturer's square.
    for (captures = 0; captures < 10; ++captures) {
        const int n = FindAttacker(s, board, t, occupancy);
        if (n == NoSquare) break;
        const std::int32_t value = ExchangeValue[board[t]];
        total -= sign * (value < 0 ? -value : value);
        board[t] = board[n];
        board[n] = 0;
        occupancy.all &= ~SquareBit(n);
        occupancy.side1 &= ~SquareBit(n);
        occupancy.sliders &= ~SquareBit(n);
        sign = -sign;
        s = 1 - s;
    }
    return total;
}

}  // namespace

std::int32_t ExchangeScore(int side, Position& position, const Move& move) {
    return ExchangeScore(side, position, move, OccupancyOf(position.board));
}

std::int32_t ExchangeScore(int side, Position& position, const Move& move,
                           const Occupancy& occupancy) {
    // Only the board changes during the sequence, so only the board is saved.
    PieceCode saved[SquareCount];
    std::memcpy(saved, position.board, sizeof saved);
    PieceCode* board = position.board;
    const int t = move.to;
    if (move.from >= 0) {
        board[t] = board[move.from];
        board[move.from] = 0;
    } else {
        board[t] = static_cast<PieceCode>(SignOf(side) * -move.from);
    }
    Occupancy after = occupancy;
    if (move.from >= 0) {
        after.all &= ~SquareBit(move.from);
        after.side1 &= ~SquareBit(move.from);
        after.sliders &= ~SquareBit(move.from);
    }
    int captures = 0;
    const std::int32_t total = CaptureSequence(side, board, t, after, captures);
    std::memcpy(position.board, saved, sizeof saved);
    return total;
}

DropExchange DropExchangeOn(int side, Position& position, int square, const Occupancy& occupancy) {
    PieceCode saved[SquareCount];
    std::memcpy(saved, position.board, sizeof saved);
    // Any piece of the side stands in for the dropped one: attackers ignore what stands on the
    // square, and only the first capture looks at its value.
    position.board[square] = static_cast<PieceCode>(SignOf(side) * Gold);
    int captures = 0;
    const std::int32_t total = CaptureSequence(side, position.board, square, occupancy, captures);
    std::memcpy(position.board, saved, sizeof saved);
    return DropExchange{captures > 0, captures > 0 ? total + ExchangeValue[Gold] : 0};
}

}  // namespace mirabel
