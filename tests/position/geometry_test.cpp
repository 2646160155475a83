// Geometry tables and the two attack tests, FindAttacker and GivesCheck.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "position/position.h"
#include "test_setup.h"

namespace mirabel {
namespace {

using postest::FromSfen;
using postest::Sq;

std::vector<int> Squares(const SquareList& list) {
    return std::vector<int>(list.squares, list.squares + list.count);
}

class Geometry : public ::testing::Test {
  protected:
    void SetUp() override { NewGame(); }
};

// GivesCheck for a move in USI text, also asserting that the record is left byte for byte.
int CheckOf(int side, Position& position, const char* usi) {
    Position before;
    std::memcpy(&before, &position, sizeof before);
    const int result = GivesCheck(side, position, postest::UsiMove(usi));
    EXPECT_EQ(std::memcmp(&before, &position, sizeof before), 0) << usi;
    return result;
}

int AttackerOf(int side, const char* sfen, const char* square) {
    return FindAttacker(side, FromSfen(sfen).board, Sq(square));
}

TEST_F(Geometry, StepTargetsAndSourcesKeepTheirOrderAndEdges) {
    for (int sq = 0; sq < 18; ++sq) EXPECT_EQ(StepTargets[0][KnightPattern][sq].count, 0) << sq;
    for (int sq = 72; sq < 81; ++sq) EXPECT_EQ(StepTargets[1][PawnPattern][sq].count, 0) << sq;
    EXPECT_EQ(Squares(StepTargets[0][GoldPattern][40]), (std::vector<int>{30, 31, 32, 39, 41, 49}));
    EXPECT_EQ(Squares(StepTargets[1][GoldPattern][40]), (std::vector<int>{48, 49, 50, 39, 41, 31}));
    EXPECT_EQ(Squares(StepTargets[1][KnightPattern][40]), (std::vector<int>{57, 59}));
    EXPECT_EQ(Squares(StepSources[0][0]), (std::vector<int>{0, 1, 9, 10}));
    EXPECT_EQ(Squares(StepSources[1][0]), (std::vector<int>{0, 1, 9, 10, 19}));
    EXPECT_EQ(Squares(StepSources[0][40]),
              (std::vector<int>{30, 31, 32, 39, 40, 41, 48, 49, 50, 23, 21}));
    // FindAttacker reads StepAttack reversed: a piece on b attacks a exactly when the same
    // kind of the other side on a would attack b.
    for (int side = 0; side < 2; ++side)
        for (int kind = 0; kind < 16; ++kind)
            for (int a = 0; a < SquareCount; ++a)
                for (int b = 0; b < SquareCount; ++b)
                    ASSERT_EQ(StepAttack[side][kind][a][b], StepAttack[1 - side][kind][b][a])
                        << side << " " << kind << " " << a << " " << b;
    for (int b = 0; b < SquareCount; ++b) EXPECT_EQ(StepAttack[0][BlockerCode][40][b], 0);
}

TEST_F(Geometry, RaysAndLineRelationsDescribeTheSameLines) {
    EXPECT_EQ(Squares(Ray[SouthEast][0]), (std::vector<int>{10, 20, 30, 40, 50, 60, 70, 80}));
    EXPECT_EQ(Squares(Ray[West][40]), (std::vector<int>{39, 38, 37, 36}));
    EXPECT_EQ(Squares(Ray[NorthEast][72]), (std::vector<int>{64, 56, 48, 40, 32, 24, 16, 8}));
    for (int sq = 0; sq < 9; ++sq) EXPECT_EQ(Ray[North][sq].count, 0);
    EXPECT_EQ(LineRelation[0][76][4], 1);
    EXPECT_EQ(LineRelation[1][76][4], 2);
    EXPECT_EQ(LineRelation[1][4][76], 1);
    EXPECT_EQ(LineRelation[0][0][80], 4);
    EXPECT_EQ(LineRelation[0][36][44], 2);
    EXPECT_EQ(LineRelation[0][40][23], 0);  // a knight's jump lies on no line
    // Every square on a ray is lined up with its origin by the matching relation, and the
    // rays from a square cover every square lined up with it.
    const int expected[DirectionCount] = {1, 2, 2, 2, 4, 4, 4, 4};  // side 0's view
    for (int a = 0; a < SquareCount; ++a) {
        EXPECT_EQ(LineRelation[0][a][a], 0);
        EXPECT_EQ(LineRelation[1][a][a], 0);
        int onRays = 0, lined = 0;
        for (int dir = 0; dir < DirectionCount; ++dir) {
            onRays += Ray[dir][a].count;
            for (const int b : Squares(Ray[dir][a]))
                EXPECT_EQ(LineRelation[0][a][b], expected[dir]);
        }
        for (int b = 0; b < SquareCount; ++b) lined += LineRelation[0][a][b] != 0;
        EXPECT_EQ(onRays, lined) << a;
    }
}

TEST_F(Geometry, PromotionRuleBySideKindAndRank) {
    for (int sq = 0; sq < SquareCount; ++sq) {
        const int row = RowOf(sq);
        EXPECT_EQ(PromotionRule[1][Pawn][sq], row >= 6 ? 2 : 0) << sq;
        EXPECT_EQ(PromotionRule[0][Knight][sq], row <= 1 ? 2 : row == 2 ? 1 : 0) << sq;
        EXPECT_EQ(PromotionRule[1][Knight][sq], row >= 7 ? 2 : row == 6 ? 1 : 0) << sq;
        EXPECT_EQ(PromotionRule[0][Rook][sq], row <= 2 ? 1 : 0) << sq;
        for (int kind : {0, 5, 8, 9, 13, 14, 15}) EXPECT_EQ(PromotionRule[0][kind][sq], 0);
    }
}

TEST_F(Geometry, FindAttackerSeesLinesOnlyUpToTheFirstPiece) {
    EXPECT_EQ(FindAttacker(0, GamePosition.board, GamePosition.kingSquare[0]), NoSquare);
    EXPECT_EQ(FindAttacker(1, GamePosition.board, GamePosition.kingSquare[1]), NoSquare);

    Position p = FromSfen("4l4/9/9/9/4K4/9/9/9/k8 b - 1");
    EXPECT_EQ(FindAttacker(0, p.board, Sq("5e")), Sq("5a"));
    for (const char* between : {"5b", "5c", "5d"}) {
        Position blocked = p;
        blocked.board[Sq(between)] = Pawn;
        EXPECT_EQ(FindAttacker(0, blocked.board, Sq("5e")), NoSquare) << between;
    }
    // A lance attacks only forward; a rook both ways along the file.
    Position below = FromSfen("k8/9/9/9/4K4/9/9/9/4r4 b - 1");
    EXPECT_EQ(FindAttacker(0, below.board, Sq("5e")), Sq("5i"));
    below.board[Sq("5i")] = -Lance;
    EXPECT_EQ(FindAttacker(0, below.board, Sq("5e")), NoSquare);
    EXPECT_EQ(AttackerOf(1, "K8/9/9/9/4k4/9/9/9/4L4 b - 1", "5e"), Sq("5i"));
    // Knights jump from two ranks ahead of their owner; the step sources come before sliders.
    EXPECT_EQ(AttackerOf(0, "k8/9/5n3/9/4K3r/9/9/9/9 b - 1", "5e"), Sq("4c"));
    EXPECT_EQ(AttackerOf(1, "K8/9/9/9/4k4/9/5N3/9/9 b - 1", "5e"), Sq("4g"));
    EXPECT_EQ(AttackerOf(0, "K8/9/9/9/4k4/9/5N3/9/9 b - 1", "5e"), NoSquare);
    // A horse next to the square attacks orthogonally by step, a bishop from afar by its ray.
    EXPECT_EQ(AttackerOf(0, "k8/9/9/4+b4/4K4/9/9/9/9 b - 1", "5e"), Sq("5d"));
    EXPECT_EQ(AttackerOf(0, "k8/9/9/4b4/4K4/9/9/9/9 b - 1", "5e"), NoSquare);
    EXPECT_EQ(AttackerOf(0, "k8/9/9/9/4K4/9/9/7b1/9 b - 1", "5e"), Sq("2h"));
    // The occupant of the square itself is ignored.
    EXPECT_EQ(AttackerOf(1, "k8/9/9/9/4p4/4G4/9/9/8K b - 1", "5e"), Sq("5f"));
}

TEST_F(Geometry, GivesCheckByStepLineAndDiscovery) {
    // Lance drops below the king: adjacent by step, from afar along the file, blocked by a pawn.
    Position p = FromSfen("4k4/9/9/9/9/9/9/9/K8 b L 1");
    EXPECT_EQ(CheckOf(0, p, "L*5b"), 1);
    EXPECT_EQ(CheckOf(0, p, "L*5d"), 1);
    EXPECT_EQ(CheckOf(0, p, "L*4d"), 0);
    Position blocked = FromSfen("4k4/9/4p4/9/9/9/9/9/K8 b L 1");
    EXPECT_EQ(CheckOf(0, blocked, "L*5d"), 0);
    // Side 1's lance checks toward rank i; a rook dropped on the rank, a bishop on the diagonal.
    Position q = FromSfen("k8/9/9/9/9/9/9/9/4K4 w lrb 1");
    EXPECT_EQ(CheckOf(1, q, "L*5h"), 1);
    EXPECT_EQ(CheckOf(1, q, "L*5c"), 1);
    EXPECT_EQ(CheckOf(1, q, "L*4c"), 0);
    EXPECT_EQ(CheckOf(1, q, "R*9i"), 1);
    EXPECT_EQ(CheckOf(1, q, "R*9h"), 0);
    EXPECT_EQ(CheckOf(1, q, "B*1e"), 1);

    // A silver stepping off the file between its rook and the king uncovers the rook.
    Position d = FromSfen("4k4/9/9/9/4S4/9/9/4R4/K8 b - 1");
    EXPECT_EQ(CheckOf(0, d, "5e4d"), 1);
    EXPECT_EQ(CheckOf(0, d, "5e5d"), 0);
    // Promotion decides: a silver on 4a sees nothing of 5a, a promoted silver does.
    Position pr = FromSfen("4k4/6S2/9/9/9/9/9/9/K8 b - 1");
    EXPECT_EQ(CheckOf(0, pr, "3b4a+"), 1);
    EXPECT_EQ(CheckOf(0, pr, "3b4a"), 0);
    // A bishop capturing onto the king's diagonal checks; a capture off the lines does not.
    Position c = FromSfen("4k4/9/9/1p3p3/9/3B5/9/9/K8 b - 1");
    EXPECT_EQ(CheckOf(0, c, "6f8d"), 1);
    EXPECT_EQ(CheckOf(0, c, "6f4d"), 0);
}

}  // namespace
}  // namespace mirabel
