// Shared set-up of the position tests: squares and moves from USI text, positions from SFEN.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "position/position.h"

namespace mirabel::postest {

// "5e" -> 40: the file digit 9..1 gives col 0..8, the rank letter a..i gives row 0..8.
constexpr int Sq(const char* usi) {
    return (usi[1] - 'a') * 9 + (9 - (usi[0] - '0'));
}

// "7g7f", "8h2b+" or "B*5e".
inline Move UsiMove(const std::string& text) {
    Move move = NoMoveRecord;
    move.to = static_cast<std::int8_t>(Sq(text.c_str() + 2));
    if (text[1] == '*') {
        move.from =
            static_cast<std::int8_t>(-static_cast<int>(std::string(" PLNSGBR").find(text[0])));
    } else {
        move.from = static_cast<std::int8_t>(Sq(text.c_str()));
        move.promote = text.size() == 5 ? 1 : 0;
    }
    return move;
}

// The position an SFEN describes, with its material balance set; a refused text fails the test.
inline Position FromSfen(const std::string& sfen, int* sideToMove = nullptr) {
    Position position;
    std::memset(&position, 0, sizeof position);
    int side = 0;
    std::string error;
    EXPECT_TRUE(ReadSfen(sfen, position, side, error)) << sfen << ": " << error;
    position.material = MaterialBalance(0, position);
    if (sideToMove) *sideToMove = side;
    return position;
}

}  // namespace mirabel::postest
