// MakeMove: one move applied to a Position with every derived field kept current.
#include "position/position.h"

namespace mirabel {

namespace {

using KeyRows = std::uint64_t[HashRows][CellCount];

// Replaces the value of one cell, keeping the hash key in step.
inline void SetHandCount(Position& position, const KeyRows& keys, int side, int slot, int count) {
    const int cell = HandCell(side, slot);
    position.hashKey ^= keys[position.hand[side][slot] + 14][cell] ^ keys[count + 14][cell];
    position.hand[side][slot] = static_cast<std::int8_t>(count);
}

inline void SetSquare(Position& position, const KeyRows& keys, int sq, int code) {
    position.hashKey ^= keys[position.board[sq] + 14][sq] ^ keys[code + 14][sq];
    position.board[sq] = static_cast<PieceCode>(code);
}

}  // namespace

void MakeMove(int side, Position& position, const Move& move) {
    // Read once: the board's byte writes could otherwise stand for a change of the key set.
    const KeyRows& keys = HashKeys.keys[position.keySet];
    const int to = move.to;
    if (move.from < 0) {
        const int kind = -move.from;
        SetHandCount(position, keys, side, kind - 1, position.hand[side][kind - 1] - 1);
        SetSquare(position, keys, to, SignOf(side) * kind);
        return;
    }
    const int from = move.from;
    const int moving = position.board[from];
    const int captured = position.board[to];
    if (move.promote) {
        position.material += PromotionGain[moving];
        SetSquare(position, keys, to, PromotedCode(moving));
    } else {
        SetSquare(position, keys, to, moving);
    }
    SetSquare(position, keys, from, 0);
    if (captured != 0) {
        const int slot = HandSlot[AbsCode(captured)];
        if (slot >= 0) SetHandCount(position, keys, side, slot, position.hand[side][slot] + 1);
        position.material -= ExchangeValue[captured];
    }
    if (AbsCode(position.board[to]) == King) position.kingSquare[side] = static_cast<Square>(to);
}

}  // namespace mirabel
