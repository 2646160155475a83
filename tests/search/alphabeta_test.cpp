// Node-level rules of the search: the ply bound, the hand-over to quiescence, the scores of a
// node without a legal move and of a node that can take the king, and quiescence's limits.
#include "search_test_support.h"

namespace mirabel::test {
namespace {

// Gote's king on 5a is checked by the sente rook on 5e; a sente gold stands on 1i.
constexpr const char* RookCheck = "4k4/9/9/9/4R4/9/9/9/4K3G w - 1";

TEST(PlyBound, ANodeAtPlyThirtyOneReturnsTheStaticScoreUncounted) {
    ResetSearchState();
    for (const int side : {0, 1}) {
        SetGamePosition(RookCheck);
        const Position before = GamePosition;
        const int material = GamePosition.material;
        InCheck[MaxPly - 1] = 1;
        EXPECT_EQ(AlphaBeta(side, -ScoreInfinity, ScoreInfinity, 40, MaxPly - 1, 0),
                  side == 0 ? material : -material);
        EXPECT_EQ(AlphaBeta(side, -ScoreInfinity, ScoreInfinity, 40, MaxPly + 5, 0),
                  side == 0 ? material : -material);
        EXPECT_EQ(NodeCount, 0u);
        EXPECT_TRUE(SamePosition(before, GamePosition));
    }
}

TEST(PlyBound, ANodeAtPlyThirtySearchesItsEvasionsIntoStaticChildren) {
    ResetSearchState();
    const int side = SetGamePosition(RookCheck);
    const Position before = GamePosition;
    InCheck[MaxPly - 2] = 1;
    const int score = AlphaBeta(side, -ScoreInfinity, ScoreInfinity, 4, MaxPly - 2, 0);
    EXPECT_EQ(score, -GamePosition.material);  // no evasion changes the material
    EXPECT_EQ(NodeCount, 1u);                  // the children at ply 31 count nothing
    EXPECT_TRUE(SamePosition(before, GamePosition));
    const Move evasion = PvTable[MaxPly - 2][MaxPly - 2];
    EXPECT_EQ(evasion.from, GamePosition.kingSquare[side]);
    EXPECT_TRUE(IsLegalMove(side, GamePosition, evasion));
    EXPECT_EQ(PvTable[MaxPly - 1][MaxPly - 1].from, NoMove);
}

TEST(Horizon, BelowOnePlyOutOfCheckIsQuiescenceWithoutAnAlphaBetaNode) {
    // Captures on both sides, so the quiescence search has work to do.
    const char* sfen = "4k4/9/2p1g4/2B6/4r4/9/4P4/9/4K4 b - 1";
    ResetSearchState();
    const int side = SetGamePosition(sfen);
    InCheck[5] = 0;
    const int viaAlphaBeta = AlphaBeta(side, -300, 300, OnePly - 1, 5, 0);
    const std::uint64_t nodesViaAlphaBeta = NodeCount;
    NodeCount = 0;
    const int viaQuiescence = Quiescence(side, -300, 300, 6);
    EXPECT_EQ(viaAlphaBeta, viaQuiescence);
    EXPECT_EQ(nodesViaAlphaBeta, NodeCount);
    EXPECT_GT(NodeCount, 1u);
    // In check, the same depth is a counted node that searches the evasions.
    ResetSearchState();
    const int checked = SetGamePosition(RookCheck);
    InCheck[5] = 1;
    EXPECT_EQ(AlphaBeta(checked, -ScoreInfinity, ScoreInfinity, 0, 5, 0), -GamePosition.material);
    EXPECT_GE(NodeCount, 2u);
}

TEST(NodeScores, NoLegalMoveAndAnAvailableKingCapture) {
    ResetSearchState();
    // Gote mated by the gold on 5b: no legal move, nothing stored.
    int side = SetGamePosition("4k4/4G4/4P4/9/9/9/9/9/4K4 w - 1");
    InCheck[3] = 1;
    EXPECT_EQ(AlphaBeta(side, -ScoreInfinity, ScoreInfinity, 8, 3, 0), ScoreNoMove);
    TableEntry* slot = nullptr;
    const auto keyLo = static_cast<std::uint32_t>(GamePosition.hashKey);
    const auto keyHi = static_cast<std::uint32_t>(GamePosition.hashKey >> 32);
    EXPECT_FALSE(ProbeTable(side, keyLo, keyHi, -ScoreInfinity, ScoreInfinity, 0, slot));
    EXPECT_EQ(slot->keyHi, 0u);
    // Sente to move can take the king: the previous move was illegal.
    side = SetGamePosition("4k4/9/9/9/4R4/9/9/9/4K4 b - 1");
    NodeCount = 0;
    InCheck[3] = 0;
    EXPECT_EQ(AlphaBeta(side, -ScoreInfinity, ScoreInfinity, 8, 3, 0), ScoreKingCapture);
    EXPECT_EQ(NodeCount, 1u);
}

TEST(Quiescence, StandsPatPastPlyTwentyAndWhenNothingMayBeSearched) {
    ResetSearchState();
    // Sente's bishop can take the gote pawn on 7c; gote's rook on 5e is en prise to nothing.
    int side = SetGamePosition("4k4/9/2p6/3B5/4r4/9/9/9/4K4 b - 1");
    const int standPat = GamePosition.material;
    EXPECT_EQ(Quiescence(side, -ScoreInfinity, ScoreInfinity, 21), standPat);
    EXPECT_EQ(NodeCount, 1u);
    // Kings and pawns only: no quiescence move at all, so the stand pat even below alpha.
    side = SetGamePosition("4k4/4p4/9/9/9/9/4P4/9/4K4 b - 1");
    NodeCount = 0;
    EXPECT_EQ(Quiescence(side, 1000, 2000, 1), GamePosition.material);
    EXPECT_EQ(NodeCount, 1u);
    // The only capture loses the silver to the gold; in the next position the only capture
    // gives check. Neither is searched: the result is the stand pat.
    side = SetGamePosition("4k4/4g4/4p4/4S4/9/9/9/9/K8 b - 1");
    NodeCount = 0;
    EXPECT_EQ(Quiescence(side, -ScoreInfinity, ScoreInfinity, 1), GamePosition.material);
    EXPECT_EQ(NodeCount, 1u);
    side = SetGamePosition("3gk4/9/4p4/9/9/9/9/4L4/K8 b - 1");
    NodeCount = 0;
    EXPECT_EQ(Quiescence(side, -ScoreInfinity, ScoreInfinity, 1), GamePosition.material);
    EXPECT_EQ(NodeCount, 1u);
}

}  // namespace
}  // namespace mirabel::test
