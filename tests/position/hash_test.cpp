// Hash keys: the xorshift128 key generator, the key table layout and the start position key.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "position/position.h"

namespace mirabel {
namespace {

// Marsaglia's xorshift128 with its published default seeds, written independently of the
// engine so the engine's generator can be checked draw by draw.
struct ReferenceXorshift {
    std::uint32_t x = 123456789, y = 362436069, z = 521288629, w = 88675123;
    std::uint32_t Next() {
        const std::uint32_t t = x ^ (x << 11);
        x = y;
        y = z;
        z = w;
        w = w ^ (w >> 19) ^ t ^ (t >> 8);
        return w;
    }
    std::uint64_t NextKey() {
        const std::uint64_t r1 = Next();
        const std::uint64_t r2 = Next();
        return r1 + (r2 << 31);
    }
};

// Returns the number of keys that differ from the reference stream (0 when all match).
int CountKeyMismatches(ReferenceXorshift& reference) {
    int mismatches = 0;
    for (int row = 0; row < HashRows; ++row)
        for (int cell = 0; cell < CellCount; ++cell)
            if (HashKeys[row][cell] != reference.NextKey() && mismatches++ == 0)
                std::fprintf(stderr, "first mismatch at row %d cell %d\n", row, cell);
    return mismatches;
}

int CheckKeysOfAFreshProcess() {
    NewGame();
    if (HashKeys[0][0] != 3701687786ull + (458299110ull << 31)) return 1;
    ReferenceXorshift reference;
    if (CountKeyMismatches(reference) != 0) return 2;  // row 32 comes after rows 0..31
    // The state lives on: the next draw and the next game continue the same stream.
    if (NextKeyDraw() != reference.Next()) return 3;
    NewGame();
    if (CountKeyMismatches(reference) != 0) return 4;
    return 0;
}

// The generator is seeded once per process, so the first game's keys are only observable in
// a process that has not started a game yet: the death-test child is such a process.
TEST(KeyGeneratorDeathTest, FirstGamesOfAProcessFollowTheReferenceStream) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::exit(CheckKeysOfAFreshProcess()), ::testing::ExitedWithCode(0), "");
}

TEST(HashKey, StartPositionIsTheXorOfItsCellKeys) {
    NewGame();
    std::uint64_t expected = 0;
    for (int sq = 0; sq < SquareCount; ++sq) expected ^= HashKeys[GamePosition.board[sq] + 14][sq];
    for (int cell = SquareCount; cell < CellCount; ++cell) expected ^= HashKeys[14][cell];
    EXPECT_EQ(GamePosition.hashKey, expected);
    EXPECT_EQ(GamePosition.kingSquare[0], 76);
    EXPECT_EQ(GamePosition.kingSquare[1], 4);
    for (const auto& hand : GamePosition.hand)
        for (const int count : hand) EXPECT_EQ(count, 0);
    EXPECT_EQ(GamePly, 0);
}

TEST(HashKey, EveryNewGameDrawsFreshKeysForTheSameBoard) {
    NewGame();
    const Position first = GamePosition;
    GamePly = 7;
    NewGame();
    EXPECT_EQ(std::memcmp(first.board, GamePosition.board, sizeof first.board), 0);
    EXPECT_NE(first.hashKey, GamePosition.hashKey);
    EXPECT_EQ(GamePly, 0);
}

}  // namespace
}  // namespace mirabel
