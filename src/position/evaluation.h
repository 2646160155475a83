// Evaluation: the material values by piece code, the material balance, and the static
// estimates of capture sequences on a square.
#pragma once

#include <cstdint>

#include "position/attacks.h"
#include "position/types.h"

namespace mirabel {

namespace detail {
struct SignedTable {
    std::int32_t values[29];
    constexpr std::int32_t operator[](int code) const { return values[code + 14]; }
};
constexpr SignedTable MakeSignedTable(std::int32_t PieceTraits::*field) {
    SignedTable table{};
    for (int code = -14; code <= 14; ++code)
        table.values[code + 14] = code < 0 ? -(Traits[-code].*field) : Traits[code].*field;
    return table;
}
}  // namespace detail

// The traits' values indexed by piece code -14..14; negative codes hold the negated value.
constexpr detail::SignedTable PieceValue = detail::MakeSignedTable(&PieceTraits::value);
constexpr detail::SignedTable ExchangeValue = detail::MakeSignedTable(&PieceTraits::exchangeValue);
constexpr detail::SignedTable PromotionGain = detail::MakeSignedTable(&PieceTraits::promotionGain);

std::int32_t MaterialBalance(int side, const Position& position);
// What the recaptures after the move trade on its target square, from the mover's view: the
// opponent takes the mover, then each side takes back with its first attacker found, to the
// end or ten captures. It counts neither the piece the move captures nor either side's choice
// to stop recapturing (a pawn taking a rook defended by a gold scores -174, the pawn lost).
// The move ordering's exchange estimate.
std::int32_t RecaptureBalance(int side, const Position& position, const Move& move);
// The same, with the occupancy of the board before the move known: a node scoring many moves
// works it out once.
std::int32_t RecaptureBalance(int side, const Position& position, const Move& move,
                              const Occupancy& occupancy);

// The estimate of a drop on a square splits into the dropped piece's value, lost at the first
// recapture, and the rest of the sequence, which does not depend on the kind dropped: the
// RecaptureBalance of a drop of kind k is `attacked ? rest - ExchangeValue[k] : 0`.
struct DropExchange {
    bool attacked;
    std::int32_t rest;
};
// `occupancy` is the board's before the drop.
DropExchange DropExchangeOn(int side, const Position& position, int square,
                            const Occupancy& occupancy);

}  // namespace mirabel
