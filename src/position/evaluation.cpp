// Material balance and the recapture balances of the exchange estimates.
#include "position/attackers.h"

namespace mirabel {

std::int32_t MaterialBalance(int side, const Position& position) {
    std::int32_t total = 0;
    for (int sq = 0; sq < SquareCount; ++sq) total += PieceValue[position.board[sq]];
    for (int slot = 0; slot < HandSlots; ++slot)
        total += (position.hand[0][slot] - position.hand[1][slot]) * PieceValue[slot + 1];
    return side == 0 ? total : -total;
}

namespace {

// The capture sequence on t, `onTarget` being the mover's piece standing there: each side
// recaptures with the first attacker found, at most 10 times. Returns the balance from the
// mover's view and sets `captures` to the number of captures made.
// The board is only read: `occupancy` is the board's with the mover's origin emptied, each
// capturer's square is taken out of it in turn, and what stands on t is carried in `onTarget`.
std::int32_t CaptureSequence(int side, const PieceCode* board, int t, int onTarget,
                             const Occupancy& occupancy, int& captures) {
    SquareSet all = occupancy.all;
    SquareSet side1 = occupancy.side1;
    int s = side;
    int sign = 1;
    std::int32_t total = 0;
    for (captures = 0; captures < 10; ++captures) {
        const int n = FirstAttacker(s, board, t, all, side1, occupancy.sliders);
        if (n == NoSquare) break;
        const std::int32_t value = ExchangeValue[onTarget];
        total -= sign * (value < 0 ? -value : value);
        onTarget = board[n];
        // Out of `all` and `side1` the square is out of every set FirstAttacker forms.
        const SquareSet kept = ~SquareBit(n);
        all &= kept;
        side1 &= kept;
        sign = -sign;
        s = 1 - s;
    }
    return total;
}

}  // namespace

std::int32_t RecaptureBalance(int side, const Position& position, const Move& move) {
    return RecaptureBalance(side, position, move, OccupancyOf(position.board));
}

std::int32_t RecaptureBalance(int side, const Position& position, const Move& move,
                              const Occupancy& occupancy) {
    // The estimate values the mover as it stands before the move, promotion left aside.
    Occupancy after = occupancy;
    int mover;
    if (move.from >= 0) {
        mover = position.board[move.from];
        after.all &= ~SquareBit(move.from);
        after.side1 &= ~SquareBit(move.from);
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
