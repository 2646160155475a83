// Move ordering: the portable random part, the history counters' 16-bit arithmetic and halving,
// the ordering score's precedence and exchange terms, and the stable sort.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "search_test_support.h"

namespace mirabel::test {
namespace {

Move Quiet(int from, int to) {
    return BoardMove(from, to, Silver, 0);
}

TEST(OrderingRandom, FollowsTheWindowsRuntimeSequenceFromSeedOne) {
    SeedOrderingRandom();
    const int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
    for (const int value : expected) EXPECT_EQ(OrderingRandom(), value);
    // The state is 32 bits wide and wraps; every value stays within 15 bits.
    SeedOrderingRandom(0xFFFFFFFFu);
    for (int i = 0; i < 1000; ++i) {
        const int value = OrderingRandom();
        ASSERT_GE(value, 0);
        ASSERT_LE(value, 0x7FFF);
    }
}

TEST(History, TriedCounterPastTenThousandHalvesOnlyItsOwnPair) {
    ClearHistory();
    const Move move = Quiet(40, 31);
    HistoryTried[50][31] = 9996;
    HistoryGood[50][31] = 601;
    HistoryTried[50][32] = 9999;
    HistoryGood[50][32] = 77;
    AddTried(move, 4);  // exactly 10000: kept
    EXPECT_EQ(HistoryTried[50][31], 10000);
    EXPECT_EQ(HistoryGood[50][31], 601);
    AddTried(move, 4);  // 10004: both counters of the pair halved at once
    EXPECT_EQ(HistoryTried[50][31], 5002);
    EXPECT_EQ(HistoryGood[50][31], 300);
    EXPECT_EQ(HistoryTried[50][32], 9999);
    EXPECT_EQ(HistoryGood[50][32], 77);
    // The good counter has no halving of its own.
    HistoryGood[50][31] = 60000;
    AddGood(move, 12);
    EXPECT_EQ(HistoryGood[50][31], 60012);
}

TEST(History, NegativeDepthsWrapInSixteenBits) {
    ClearHistory();
    const Move drop = DropMove(Rook, 10);  // drops use the rows of from = -kind
    AddTried(drop, 20);
    AddTried(drop, -4);
    EXPECT_EQ(HistoryTried[-Rook + 10][10], 16);
    // From zero, -4 wraps to 65532, which is past 10000 and halved at once.
    const Move move = Quiet(0, 9);
    HistoryGood[10][9] = 9;
    AddTried(move, -4);
    EXPECT_EQ(HistoryTried[10][9], 32766);
    EXPECT_EQ(HistoryGood[10][9], 4);
    AddGood(move, -8);
    EXPECT_EQ(HistoryGood[10][9], 65532);
    ClearHistory();
}

TEST(OrderingScore, KnownMovesTakeTheFirstRuleThatMatches) {
    SetGamePosition("4k4/9/9/9/4S4/9/9/9/4K4 b - 1");
    ClearHistory();
    BeginMoveScoring();
    const Move move = Quiet(40, 31);
    const Move other = Quiet(40, 30);
    const OrderingMoves none{other, other, other, other, other};
    struct Case {
        OrderingMoves known;
        int score;
    } const cases[] = {
        {{move, other, other, other, move}, 100000},  // hash move, though also the variation's
        {{other, move, move, other, move}, 90000},   {{other, other, move, move, move}, 15000},
        {{other, other, other, move, move}, 14850},  {{other, other, other, other, move}, 150000},
    };
    for (const Case& c : cases) {
        Move scored = move;
        EXPECT_EQ(OrderingScore(0, GamePosition, scored, c.known), c.score);
        EXPECT_EQ(scored.capture, 0);
    }
    // A history part is added to whatever the base is: 10 * 3000 / (4 + 1).
    HistoryGood[50][31] = 10;
    HistoryTried[50][31] = 4;
    Move scored = move;
    EXPECT_EQ(OrderingScore(0, GamePosition, scored, cases[0].known), 106000);
    // An unknown move draws its 0..4 from the portable generator.
    SeedOrderingRandom();
    scored = move;
    EXPECT_EQ(OrderingScore(0, GamePosition, scored, none), 6000 + 41 % 5);
    ClearHistory();
}

TEST(OrderingScore, CapturesAndDropsCarryTheirExchangeEstimate) {
    // Sente rook on 5e; an undefended gote gold on 5c and pawn on 9e; a gote rook on 1h.
    SetGamePosition("4k4/9/4g4/9/p3R4/9/9/8r/K8 b G 1");
    ClearHistory();
    BeginMoveScoring();
    const Move takeGold = BoardMove(40, 22, Rook, 0);
    const Move takePawn = BoardMove(40, 36, Rook, 0);
    const OrderingMoves known{takeGold, takePawn, takeGold, takeGold, takeGold};
    Move scored = takeGold;
    EXPECT_EQ(OrderingScore(0, GamePosition, scored, known), 100000 + 10000);
    EXPECT_EQ(scored.capture, 1);
    scored = takePawn;
    EXPECT_EQ(OrderingScore(0, GamePosition, scored, known), 90000 + 10000);
    // A gold dropped where the gote rook takes it for nothing: its exchange value and 3000 off.
    const Move drop = DropMove(Gold, 70);
    const OrderingMoves dropKnown{drop, takePawn, takeGold, takeGold, takeGold};
    scored = drop;
    EXPECT_EQ(OrderingScore(0, GamePosition, scored, dropKnown),
              100000 - ExchangeValue[Gold] - 3000);
    EXPECT_EQ(scored.capture, 0);
}

TEST(Ordering, AKingCaptureEndsTheNodeBeforeItDrawsARandomNumber) {
    ResetSearchState();
    const int side = SetGamePosition("4k4/9/9/9/4R4/9/9/9/4K4 b - 1");
    static Move moves[MoveListSize];
    const int count = GenerateMoves(side, GamePosition, moves);
    int kingCapture = 0;
    while (kingCapture < count && moves[kingCapture].to != GamePosition.kingSquare[1])
        ++kingCapture;
    ASSERT_LT(kingCapture, count);
    ASSERT_GT(kingCapture, 0);
    SeedOrderingRandom();
    InCheck[0] = 0;
    EXPECT_EQ(AlphaBeta(side, -ScoreInfinity, ScoreInfinity, 12, 0, 0), ScoreKingCapture);
    EXPECT_EQ(NodeCount, 1u);
    // One draw for each move met before the king capture, none for it.
    const int next = OrderingRandom();
    SeedOrderingRandom();
    for (int i = 0; i < kingCapture; ++i) OrderingRandom();
    EXPECT_EQ(next, OrderingRandom());
}

TEST(SortMoves, DescendingAndStableAmongEqualScores) {
    static Move moves[MoveListSize];
    std::uint32_t state = 7;
    for (const int count : {0, 1, 2, 7, 8, 9, 16, 17, 100, 600, MoveListSize}) {
        std::vector<Move> reference;
        for (int i = 0; i < count; ++i) {
            state = state * 1103515245u + 12345u;
            const int pick = static_cast<int>((state >> 16) % 10);
            // Mostly the small random parts 0..4, some large and negative scores among them.
            const int score = pick < 7 ? pick % 5 : (pick == 7 ? 100000 : -3000 + pick);
            moves[i] = BoardMove(i / 81, i % 81, 1, 0);
            moves[i].score = score;
            reference.push_back(moves[i]);
        }
        std::stable_sort(reference.begin(), reference.end(),
                         [](const Move& a, const Move& b) { return a.score > b.score; });
        SortMoves(moves, count);
        for (int i = 0; i < count; ++i) {
            ASSERT_EQ(moves[i].score, reference[i].score) << count << " " << i;
            ASSERT_TRUE(SameMove(moves[i], reference[i])) << count << " " << i;
        }
    }
}

}  // namespace
}  // namespace mirabel::test
