// The full generator and the drop generator: list order and the promotion forms of every kind.
#include <utility>

#include "movegen/movegen_test_util.h"

namespace mirabel::testing {
namespace {

using Texts_ = std::vector<std::string>;

Texts_ PieceMoves(const Game& game, const char* square) {
    MoveList moves;
    return Texts(moves, GeneratePieceMoves(game.side, game.position.board, moves, Sq(square)));
}

Texts_ FullList(const Game& game) {
    MoveList moves;
    return Texts(moves, GenerateMoves(game.side, game.position, moves));
}

TEST(GenerateMoves, StartPositionListsEveryPieceInSquareOrder) {
    const Texts_ black = FullList(FromSfen(StartSfen));
    const Texts_ expected = {"9g9f", "8g8f", "7g7f", "6g6f", "5g5f", "4g4f", "3g3f", "2g2f",
                             "1g1f", "2h3h", "2h4h", "2h5h", "2h6h", "2h7h", "2h1h", "9i9h",
                             "7i7h", "7i6h", "6i7h", "6i6h", "6i5h", "5i6h", "5i5h", "5i4h",
                             "4i5h", "4i4h", "4i3h", "3i4h", "3i3h", "1i1h"};
    EXPECT_EQ(black, expected);

    Game white = FromSfen(StartSfen);
    white.side = 1;
    const Texts_ list = FullList(white);
    ASSERT_EQ(list.size(), 30u);
    // The second player's patterns run south first: the gold on 6a lists 7b before 6b.
    EXPECT_EQ(Texts_(list.begin(), list.begin() + 5),
              (Texts_{"9a9b", "7a7b", "7a6b", "6a7b", "6a6b"}));
    EXPECT_EQ(list.back(), "1c1d");
}

// Side 0's pieces around the promotion zone: forced and optional promotion of every kind.
TEST(GenerateMoves, PromotionFormsOfTheFirstPlayer) {
    const Game game = FromSfen("4k4/2p6/G6S1/1P4N2/4N4/8R/4B4/9/K1L6 b - 1");
    const std::pair<const char*, Texts_> cases[] = {
        {"9c", {"9c9b", "9c8b", "9c8c", "9c9d"}},  // gold never promotes
        {"2c",  // silver inside the zone: both forms, also when leaving it (1d); own knight on 3d
         {"2c3b", "2c3b+", "2c2b", "2c2b+", "2c1b", "2c1b+", "2c1d", "2c1d+"}},
        {"8d", {"8d8c+"}},                           // pawn entering the zone: promoting form only
        {"3d", {"3d4b+", "3d2b+"}},                  // knight onto the second rank must promote
        {"5e", {"5e6c", "5e6c+", "5e4c", "5e4c+"}},  // knight onto the third rank may
        {"1f",  // rook: promoting form only once it reaches the zone
         {"1f1e", "1f1d", "1f1c+", "1f1b+", "1f1a+", "1f1g", "1f1h", "1f1i", "1f2f", "1f3f", "1f4f",
          "1f5f", "1f6f", "1f7f", "1f8f", "1f9f"}},
        {"5g", {"5g6f", "5g7e", "5g4f", "5g3e", "5g2d", "5g1c+", "5g6h", "5g4h", "5g3i"}},
        {"7i", {"7i7h", "7i7g", "7i7f", "7i7e", "7i7d", "7i7c+", "7i7b+"}},  // stops on the capture
        {"9i", {"9i9h", "9i8h", "9i8i"}},
        {"5a", {}},  // the opponent's king
        {"5b", {}},  // empty
    };
    for (const auto& [square, expected] : cases)
        EXPECT_EQ(PieceMoves(game, square), expected) << square;
}

TEST(GenerateMoves, PromotionFormsOfTheSecondPlayer) {
    const Game game = FromSfen("4k3l/9/9/9/1n7/5n1p1/3s5/8P/4K4 w - 1");
    const std::pair<const char*, Texts_> cases[] = {
        {"1a", {"1a1b", "1a1c", "1a1d", "1a1e", "1a1f", "1a1g+", "1a1h+"}},
        {"5a", {"5a6b", "5a5b", "5a4b", "5a6a", "5a4a"}},
        {"8e", {"8e9g", "8e9g+", "8e7g", "8e7g+"}},
        {"4f", {"4f5h+", "4f3h+"}},
        {"2f", {"2f2g+"}},
        {"6g",
         {"6g7h", "6g7h+", "6g6h", "6g6h+", "6g5h", "6g5h+", "6g7f", "6g7f+", "6g5f", "6g5f+"}},
        {"1h", {}},  // the first player's pawn
    };
    for (const auto& [square, expected] : cases)
        EXPECT_EQ(PieceMoves(game, square), expected) << square;
}

// A rook leaving the zone promotes on every move; horse and dragon never promote and list
// their steps before their slides.
TEST(GenerateMoves, SlidersLeavingTheZoneAndPromotedSliders) {
    const Game game = FromSfen("4k4/R8/9/9/9/9/9/9/+B3K3+R b - 1");
    EXPECT_EQ(PieceMoves(game, "9b"),
              (Texts_{"9b9a+", "9b9c+", "9b9d+", "9b9e+", "9b9f+", "9b9g+", "9b9h+", "9b8b+",
                      "9b7b+", "9b6b+", "9b5b+", "9b4b+", "9b3b+", "9b2b+", "9b1b+"}));
    EXPECT_EQ(PieceMoves(game, "9i"), (Texts_{"9i8i", "9i9h", "9i8h", "9i7g", "9i6f", "9i5e",
                                              "9i4d", "9i3c", "9i2b", "9i1a"}));
    EXPECT_EQ(PieceMoves(game, "1i"), (Texts_{"1i2h", "1i1h", "1i1g", "1i1f", "1i1e", "1i1d",
                                              "1i1c", "1i1b", "1i1a", "1i2i", "1i3i", "1i4i"}));
}

// Drops: kinds in the order P L N S G B R, squares ascending; the far ranks a dropped piece
// could never leave are skipped, and so are files holding an unpromoted pawn of the side.
TEST(GenerateDrops, RangesOrderAndTheTwoPawnRule) {
    // Side 0's pawn on file 7 blocks it; the tokin on 3c and side 1's pawn on 2c do not.
    Game game = FromSfen("4k4/9/6+Pp1/9/9/9/2P6/9/4K4 b PLNSGBRp 1");
    MoveList moves;
    const int count = GenerateDrops(0, game.position, moves);
    int perKind[8] = {};
    for (int i = 0; i < count; ++i) {
        ++perKind[-moves[i].from];
        if (i > 0) {
            EXPECT_LT(std::make_pair(-moves[i - 1].from, moves[i - 1].to),
                      std::make_pair(-moves[i].from, moves[i].to));
        }
        EXPECT_EQ(game.position.board[moves[i].to], 0);
        if (moves[i].from == -Pawn) {
            EXPECT_NE(ColOf(moves[i].to), ColOf(Sq("7g")));
        }
    }
    // 72 squares off rank a, 4 of them taken; file 7 holds 7 more empty ones.
    EXPECT_EQ(perKind[Pawn], 61);
    EXPECT_EQ(perKind[Lance], 68);
    EXPECT_EQ(perKind[Knight], 59);  // ranks c to i
    for (int kind = Silver; kind <= Rook; ++kind) EXPECT_EQ(perKind[kind], 76);
    EXPECT_EQ(MoveText(moves[0]), "P*9b");
    EXPECT_EQ(MoveText(moves[61]), "L*9b");
    EXPECT_EQ(MoveText(moves[61 + 68]), "N*9c");
    EXPECT_EQ(MoveText(moves[61 + 68 + 59]), "S*9a");
    EXPECT_EQ(MoveText(moves[count - 1]), "R*1i");

    // Side 1 drops its pawn from rank a to rank h, never on file 2 where its own pawn stands.
    const int whiteCount = GenerateDrops(1, game.position, moves);
    EXPECT_EQ(whiteCount, 61);
    EXPECT_EQ(MoveText(moves[0]), "P*9a");
    EXPECT_EQ(MoveText(moves[whiteCount - 1]), "P*1h");
    for (int i = 0; i < whiteCount; ++i) EXPECT_NE(ColOf(moves[i].to), ColOf(Sq("2c")));

    // Knights and lances of side 1 keep off its far ranks too; nothing in hand, no drops.
    game = FromSfen("4k4/9/9/9/9/9/9/9/4K4 w ln 1");
    const int lancesAndKnights = GenerateDrops(1, game.position, moves);
    EXPECT_EQ(lancesAndKnights, (72 - 1) + (63 - 1));
    for (int i = 0; i < lancesAndKnights; ++i)
        EXPECT_LT(RowOf(moves[i].to), moves[i].from == -Lance ? 8 : 7) << MoveText(moves[i]);
    EXPECT_EQ(GenerateDrops(0, game.position, moves), 0);

    // With 39 pieces on the board, one rook in hand drops onto each of the 42 empty squares.
    game = FromSfen("lnsgkgsnl/1r5b1/ppppppppp/9/9/9/PPPPPPPPP/1B7/LNSGKGSNL b R 1");
    const int rookDrops = GenerateDrops(0, game.position, moves);
    EXPECT_EQ(rookDrops, 42);
    EXPECT_EQ(MoveText(moves[0]), "R*9b");
    EXPECT_EQ(MoveText(moves[41]), "R*1h");
}

}  // namespace
}  // namespace mirabel::testing
