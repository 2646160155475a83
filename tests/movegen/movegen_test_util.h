// Helpers shared by the move generation tests: positions from SFEN and moves as USI text.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "movegen/movegen.h"
#include "position/position.h"

namespace mirabel::testing {

// Largest lists the generators can write, as derived next to MoveListSize: the full list, the
// evasion list (repeats included) and the full-rules list.
constexpr int MaxFullList = 591;
constexpr int MaxEvasionList = 201;
constexpr int MaxLegalList = 621;

struct Game {
    Position position{};
    int side = 0;
};

// Builds the tables once and reads the SFEN (failing the test when it is refused).
inline Game FromSfen(const std::string& sfen) {
    static const bool tablesBuilt = (NewGame(), true);
    (void)tablesBuilt;
    Game game;
    std::string error;
    EXPECT_TRUE(ReadSfen(sfen, game.position, game.side, error)) << sfen << ": " << error;
    return game;
}

// Field by field: the record has padding that a byte comparison would read.
inline bool SamePosition(const Position& a, const Position& b) {
    return std::equal(std::begin(a.board), std::end(a.board), std::begin(b.board)) &&
           std::equal(&a.hand[0][0], &a.hand[0][0] + 2 * HandSlots, &b.hand[0][0]) &&
           a.kingSquare[0] == b.kingSquare[0] && a.kingSquare[1] == b.kingSquare[1] &&
           a.hashKey == b.hashKey && a.material == b.material;
}

inline std::string SquareText(int sq) {
    return {static_cast<char>('9' - ColOf(sq)), static_cast<char>('a' + RowOf(sq))};
}

inline std::string MoveText(const Move& move) {
    if (move.from < 0) return std::string(1, "PLNSGBR"[-move.from - 1]) + "*" + SquareText(move.to);
    return SquareText(move.from) + SquareText(move.to) + (move.promote ? "+" : "");
}

inline std::vector<std::string> Texts(const Move* moves, int count) {
    std::vector<std::string> texts;
    for (int i = 0; i < count; ++i) texts.push_back(MoveText(moves[i]));
    return texts;
}

// Square index of USI square text such as "7g".
constexpr int Sq(const char* text) {
    return (text[1] - 'a') * 9 + ('9' - text[0]);
}

}  // namespace mirabel::testing
