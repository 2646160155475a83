// The game position, the hash keys and the start of a new game.
#include "position/position.h"

#include <cstring>

namespace mirabel {

Position GamePosition;
int GamePly = 0;
std::uint64_t HashKeys[HashRows][CellCount];

namespace {

// xorshift128 state with the generator's published default seeds; it lives on between
// games, so every NewGame draws a fresh set of keys.
struct KeyGenerator {
    std::uint32_t x = 123456789, y = 362436069, z = 521288629, w = 88675123;
};
KeyGenerator Keys;

constexpr PieceCode StartBoard[SquareCount] = {
    -2, -3, -4, -5, -8, -5, -4, -3, -2,  //
    0,  -7, 0,  0,  0,  0,  0,  -6, 0,   //
    -1, -1, -1, -1, -1, -1, -1, -1, -1,  //
    0,  0,  0,  0,  0,  0,  0,  0,  0,   //
    0,  0,  0,  0,  0,  0,  0,  0,  0,   //
    0,  0,  0,  0,  0,  0,  0,  0,  0,   //
    1,  1,  1,  1,  1,  1,  1,  1,  1,   //
    0,  6,  0,  0,  0,  0,  0,  7,  0,   //
    2,  3,  4,  5,  8,  5,  4,  3,  2,
};

std::uint32_t NextKeyDraw() {
    const std::uint32_t t = Keys.x ^ (Keys.x << 11);
    Keys.x = Keys.y;
    Keys.y = Keys.z;
    Keys.z = Keys.w;
    Keys.w = Keys.w ^ (Keys.w >> 19) ^ t ^ (t >> 8);
    return Keys.w;
}

void InitHashKeys() {
    // Rows 0..31 first, in table order; row 32 (hand value 18) is drawn after them.
    for (auto& row : HashKeys) {
        for (auto& key : row) {
            const std::uint64_t r1 = NextKeyDraw();
            const std::uint64_t r2 = NextKeyDraw();
            key = r1 + (r2 << 31);
        }
    }
}

}  // namespace

void ComputeHashKey(Position& position) {
    std::uint64_t key = 0;
    for (int sq = 0; sq < SquareCount; ++sq) key ^= CellKey(sq, position.board[sq]);
    for (int side = 0; side < 2; ++side)
        for (int slot = 0; slot < HandSlots; ++slot)
            key ^= CellKey(HandCell(side, slot), position.hand[side][slot]);
    position.hashKey = key;
}

void FindKingSquares(Position& position) {
    position.kingSquare[0] = position.kingSquare[1] = NoSquare;  // a tsume's attacker has none
    for (int sq = 0; sq < SquareCount; ++sq) {
        if (position.board[sq] == King) position.kingSquare[0] = static_cast<Square>(sq);
        if (position.board[sq] == -King) position.kingSquare[1] = static_cast<Square>(sq);
    }
}

void SetStartPosition(Position& position) {
    std::memcpy(position.board, StartBoard, sizeof StartBoard);
    std::memset(position.hand, 0, sizeof position.hand);
    FindKingSquares(position);
    ComputeHashKey(position);
}

void NewGame() {
    InitHashKeys();
    SetStartPosition(GamePosition);
    GamePly = 0;
}

}  // namespace mirabel
