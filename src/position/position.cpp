// The fixed hash keys, hashing a position, and the start position.
#include "position/position.h"

#include <cstring>

namespace mirabel {

namespace {

// The xorshift128 generator with its published default seeds.
struct KeyGenerator {
    std::uint32_t x = 123456789, y = 362436069, z = 521288629, w = 88675123;
    constexpr std::uint32_t Next() {
        const std::uint32_t t = x ^ (x << 11);
        x = y;
        y = z;
        z = w;
        w = w ^ (w >> 19) ^ t ^ (t >> 8);
        return w;
    }
};

// Each set in turn, its rows 0..31 first in table order and row 32 (hand value 18) after them;
// a key is two draws.
constexpr HashKeyTable DrawHashKeys() {
    HashKeyTable table{};
    KeyGenerator generator;
    for (auto& set : table.keys) {
        for (auto& row : set) {
            for (auto& key : row) {
                const std::uint64_t r1 = generator.Next();
                const std::uint64_t r2 = generator.Next();
                key = r1 + (r2 << 31);
            }
        }
    }
    return table;
}

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

}  // namespace

constexpr HashKeyTable HashKeys = DrawHashKeys();

void ComputeHashKey(Position& position) {
    std::uint64_t key = 0;
    const int set = position.keySet;
    for (int sq = 0; sq < SquareCount; ++sq) key ^= CellKey(set, sq, position.board[sq]);
    for (int side = 0; side < 2; ++side)
        for (int slot = 0; slot < HandSlots; ++slot)
            key ^= CellKey(set, HandCell(side, slot), position.hand[side][slot]);
    position.hashKey = key;
}

void UseKeySet(Position& position, KeySet keySet) {
    position.keySet = keySet;
    ComputeHashKey(position);
}

void FindKingSquares(Position& position) {
    position.kingSquare[0] = position.kingSquare[1] = NoSquare;  // a tsume's attacker has none
    for (int sq = 0; sq < SquareCount; ++sq) {
        if (position.board[sq] == King) position.kingSquare[0] = static_cast<Square>(sq);
        if (position.board[sq] == -King) position.kingSquare[1] = static_cast<Square>(sq);
    }
}

void SetStartPosition(Position& position, KeySet keySet) {
    std::memcpy(position.board, StartBoard, sizeof StartBoard);
    std::memset(position.hand, 0, sizeof position.hand);
    FindKingSquares(position);
    UseKeySet(position, keySet);
}

}  // namespace mirabel
