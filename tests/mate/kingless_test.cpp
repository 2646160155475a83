// Positions in which one side has no king, as tsume problems give them: read, generated for,
// searched and told apart from positions no game can hold.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "movegen/movegen.h"
#include "search/search.h"
#include "usi/usi.h"

namespace mirabel {
namespace {

bool Read(const std::string& sfen, Position& position, int& side) {
    std::string error;
    return ReadSfen(sfen, position, side, error);
}

bool Lists(const Move* moves, int count, const char* usi) {
    return std::any_of(moves, moves + count,
                       [&](const Move& move) { return std::string(MoveToUsi(move)) == usi; });
}

TEST(Kingless, TheReaderTakesOneKingOfOneSide) {
    Position position{};
    int side = 0;
    // The attacker without a king, either side to move; and the other side without one.
    EXPECT_TRUE(Read("4k4/9/4P4/9/9/9/9/9/9 b G2r2b3g4s4n4l17p 1", position, side));
    EXPECT_EQ(position.kingSquare[0], NoSquare);
    EXPECT_EQ(position.kingSquare[1], 4);
    EXPECT_TRUE(Read("4k4/9/4P4/9/9/9/9/9/9 w G2r2b3g4s4n4l17p 1", position, side));
    EXPECT_TRUE(Read("9/9/9/9/9/9/4p4/9/4K4 w g 1", position, side));
    EXPECT_EQ(position.kingSquare[1], NoSquare);
    EXPECT_EQ(position.kingSquare[0], 76);
    // The king that waits may not stand in check, with or without the other king.
    EXPECT_FALSE(Read("4k4/4R4/9/9/9/9/9/9/9 b - 1", position, side));
}

TEST(Kingless, GeneratorsNeverLookForTheMissingKing) {
    Position position{};
    int side = 0;
    ASSERT_TRUE(Read("4k4/9/4P4/9/9/9/9/9/9 b G2r2b3g4s4n4l17p 1", position, side));
    MoveList moves;
    EXPECT_FALSE(InCheckNow(0, position));
    const int count = GenerateLegalMoves(0, position, moves);
    EXPECT_TRUE(Lists(moves, count, "G*5b"));
    EXPECT_TRUE(Lists(moves, count, "5c5b+"));
    EXPECT_EQ(GenerateEvasions(0, position, moves), 0);
    // The defender's moves: no move of his gives check, every one is legal (none can expose a
    // king that is not there), and a rook drop anywhere is among them.
    Position reply = position;
    Move drop = DropMove(Gold, 13);
    MakeMove(0, reply, drop);
    ASSERT_TRUE(InCheckNow(1, reply));
    const int replies = GenerateLegalMoves(1, reply, moves);
    EXPECT_EQ(replies, 0);  // G*5b is mate: the gold stands guarded by the pawn
    Position quiet = position;
    MakeMove(0, quiet, DropMove(Gold, 40));
    const int quietCount = GenerateLegalMoves(1, quiet, moves);
    EXPECT_GT(quietCount, 100);
    for (int i = 0; i < quietCount; ++i) {
        Position probe = quiet;
        EXPECT_FALSE(GivesCheck(1, probe, moves[i])) << MoveToUsi(moves[i]);
    }
    EXPECT_TRUE(Lists(moves, quietCount, "R*5i"));
}

TEST(Kingless, AUsiGoOnAKinglessPositionPlaysALegalMove) {
    std::vector<std::string> lines;
    UsiEngine engine([&](std::string_view line) { lines.emplace_back(line); });
    // The defender to move, and the attacker to move.
    for (const char* sfen : {"8k/9/9/7+R1/9/9/9/9/9 b Sr2b4g3s4n4l18p 1",
                             "8k/9/7S1/7+R1/9/9/9/9/9 w r2b4g3s4n4l18p 1"}) {
        lines.clear();
        engine.Handle(std::string("position sfen ") + sfen);
        engine.Handle("go depth 3");
        ASSERT_FALSE(lines.empty());
        const std::string last = lines.back();
        ASSERT_EQ(last.rfind("bestmove ", 0), 0u) << last;
        Position position{};
        int side = 0;
        ASSERT_TRUE(Read(sfen, position, side));
        Move move;
        EXPECT_TRUE(ParseUsiMove(last.substr(9), side, position, move)) << last;
    }
}

}  // namespace
}  // namespace mirabel
