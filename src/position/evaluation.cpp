// Material balance and the static exchange estimate.
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

// Takes square n out of an occupancy.
inline void Vacate(Occupancy& occupancy, int n) {
    const SquareSet kept = ~SquareBit(n);
    occupancy.all &= kept;
    occupancy.side1 &= kept;
    occupancy.sliders &= kept;
}

// The capture sequence on t, `onTarget` being the mover's piece standing there: each side
// recaptures with the first attacker found, at most 10 times. Returns the balance from the
// mover's view and sets `captures` to the number of captures made.
// The board is only read: `occupancy` says which squares still hold their piece (the mover's
// origin and every capturer's square are taken out of it), and what stands on t is carried in
// `onTarget`, since FindAttacker never looks at the square it tests.
std::int32_t CaptureSequence(int side, const PieceCode* board, int t, int onTarget,
                             Occupancy occupancy, int& captures) {
    int s = side;
    int sign = 1;
    std::int32_t total = 0;
    for (captures = 0; captures < 10; ++captures) {
        const int n = FindAttacker(s, board, t, occupancy);
        if (n == NoSquare) break;
        const std::int32_t value = ExchangeValue[onTarget];
        total -= sign * (value < 0 ? -value : value);
        onTarget = board[n];
        Vacate(occupancy, n);
        sign = -sign;
        s = 1 - s;
    }
    return total;
}

}  // namespace

std::int32_t ExchangeScore(int side, const Position& position, const Move& move) {
    return ExchangeScore(side, position, move, OccupancyOf(position.board));
}

std::int32_t ExchangeScore(int side, const Position& position, const Move& move,
                           const Occupancy& occupancy) {
    // The estimate values the mover as it stands before the move, promotion left aside.
    Occupancy after = occupancy;
    int mover;
    if (move.from >= 0) {
        mover = position.board[move.from];
        Vacate(after, move.from);
    } else {
        mover = SignOf(side) * -move.from;
    }
    int captures = 0;
    return CaptureSequence(side, position.board, move.to, mover, after, captures);
}

DropExchange DropExchangeOn(int side, const Position& position, int square,
                            const Occupancy& occupancy) {
    // Any piece of the side stands in for the dropped one: attackers ignore what stands on the
    // square, and only the first capture looks at its value.
    int captures = 0;
    const std::int32_t total =
        CaptureSequence(side, position.board, square, SignOf(side) * Gold, occupancy, captures);
    return DropExchange{captures > 0, captures > 0 ? total + ExchangeValue[Gold] : 0};
}

}  // namespace mirabel
