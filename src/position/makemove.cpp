// MakeMove: one move applied to a Position with every derived field kept current.
#include "position/position.h"

namespace mirabel {

namespace {

// Replaces the value of one cell, keeping the hash key in step.
inline void SetHandCount(Position& position, int side, int slot, int count) {
    const int cell = HandCell(side, slot);
    position.hashKey ^= CellKey(cell, position.hand[side][slot]) ^ CellKey(cell, count);
    position.hand[side][slot] = static_cast<std::int8_t>(count);
}

inline void SetSquare(Position& position, int sq, int code) {
    position.hashKey ^= CellKey(sq, position.board[sq]) ^ CellKey(sq, code);
    position.board[sq] = static_cast<PieceCode>(code);
}

}  // namespace

void MakeMove(int side, Position& position, const Move& move) {
    const int to = move.to;
    if (move.from < 0) {
        const int kind = -move.from;
        SetHandCount(position, side, kind - 1, position.hand[side][kind - 1] - 1);
        SetSquare(position, to, SignOf(side) * kind);
        return;
    }
    const int from = move.from;
    const int moving = position.board[from];
    const int captured = position.board[to];
    if (move.promote) {
        position.material += PromotionGain[moving];
        SetSquare(position, to, PromotedCode(moving));
    } else {
        SetSquare(position, to, moving);
    }
    SetSquare(position, from, 0);
    if (captured != 0) {
        const int slot = HandSlot[AbsCode(captured)];
        if (slot >= 0) SetHandCount(position, side, slot, position.hand[side][slot] + 1);
        position.material -= ExchangeValue[captured];
    }
    if (AbsCode(position.board[to]) == King) position.kingSquare[side] = static_cast<Square>(to);
}

}  // namespace mirabel
