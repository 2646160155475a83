// The attacker's check generator against the full legal list filtered by the check test, over
// the small problem set and two plies below each problem, and over positions with both kings.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mate/mate.h"
#include "mate/short_set.h"
#include "position/sfen.h"

namespace mirabel {
namespace {

void ExpectSameChecks(int side, const Position& position, const std::string& where) {
    Move legal[MoveListSize], checks[MoveListSize];
    Position scratch = position;
    const int count = GenerateLegalMoves(side, position, legal);
    int expected = 0;
    for (int i = 0; i < count; ++i)
        if (GivesCheck(side, scratch, legal[i])) legal[expected++] = legal[i];
    const int got = GenerateChecks(side, position, checks);
    ASSERT_EQ(got, expected) << where;
    for (int i = 0; i < got; ++i)
        EXPECT_TRUE(SameMove(checks[i], legal[i]) && checks[i].promote == legal[i].promote)
            << where << " move " << i;
}

// The position, every position one move later and every one two moves later.
void ExpectSameChecksBelow(int side, const Position& position, int plies,
                           const std::string& where) {
    ExpectSameChecks(side, position, where);
    if (plies == 0) return;
    Move moves[MoveListSize];
    const int count = GenerateLegalMoves(side, position, moves);
    for (int i = 0; i < count; ++i) {
        Position child = position;
        MakeMove(side, child, moves[i]);
        ExpectSameChecksBelow(1 - side, child, plies - 1, where);
    }
}

TEST(MateChecks, AreTheLegalMovesThatCheck) {
    const std::vector<ShortProblem> problems = ReadShortSet();
#ifdef _WIN32
    if (problems.empty()) GTEST_SKIP() << "the data file is out of this system's reach";
#endif
    ASSERT_FALSE(problems.empty());
    std::vector<std::string> sfens = {
        "lnsgkgsnl/1r5b1/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL b - 1",
        // Both kings, the side to move in check, pieces in both hands.
        "4k4/9/9/9/9/9/9/4r4/4K4 b 2BGSNLPrgsnlp 1",
        "3gk4/9/4P4/9/9/9/9/9/3GK4 b GPp 1",
        // A pawn drop checking the king on a file with a pawn already, a pawn drop that mates.
        "4k4/9/9/9/9/9/9/4P4/9 b P2r2b4g4s4n4l16p 1",
        "7lk/7p1/8G/9/9/9/9/9/9 b P2r2b3g4s4n3l16p 1",
    };
    for (const ShortProblem& problem : problems) sfens.push_back(problem.sfen);
    for (const std::string& sfen : sfens) {
        Position position{};
        int side = 0;
        std::string error;
        ASSERT_TRUE(ReadSfen(sfen, position, side, error)) << sfen << ": " << error;
        ExpectSameChecksBelow(side, position, 2, sfen);
    }
}

}  // namespace
}  // namespace mirabel
