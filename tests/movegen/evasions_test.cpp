// The check-evasion generator: king moves, captures of the checker, interpositions by board
// moves and drops, in that order, with the position restored afterwards.
#include "movegen/movegen_test_util.h"

namespace mirabel::testing {
namespace {

using Texts_ = std::vector<std::string>;

Texts_ Evasions(Game& game) {
    const Position before = game.position;
    MoveList moves;
    const int count = GenerateEvasions(game.side, game.position, moves);
    EXPECT_TRUE(SamePosition(before, game.position));
    for (int i = 0; i < count; ++i)
        if (moves[i].from >= 0) {
            EXPECT_EQ(moves[i].piece, before.board[moves[i].from]);
        }
    return Texts(moves, count);
}

Texts_ Evasions(const char* sfen) {
    Game game = FromSfen(sfen);
    return Evasions(game);
}

TEST(GenerateEvasions, NothingWhenNotInCheck) {
    EXPECT_TRUE(Evasions(StartSfen).empty());
}

// A rook four squares away: king moves, the capture, then each square between with its board
// moves (a gold, a knight jumping in) and finally the drops kind by kind.
TEST(GenerateEvasions, DistantRookCheckListsInterpositionsByMovesAndDrops) {
    Game game = FromSfen("8k/1B7/9/9/4r4/9/9/3G5/4KN3 b PLNG 1");
    EXPECT_EQ(Evasions(game),
              (Texts_{"5i4h", "5i6i", "8b5e+", "6h5g", "4i5g", "6h5h", "P*5f", "P*5g", "P*5h",
                      "L*5f", "L*5g", "L*5h", "N*5f", "N*5g", "N*5h", "G*5f", "G*5g", "G*5h"}));
    ASSERT_EQ(InterpositionCount, 3);
    EXPECT_EQ(InterpositionSquares[0], Sq("5f"));
    EXPECT_EQ(InterpositionSquares[2], Sq("5h"));
}

// The second player never drops a pawn, lance or knight where it could not move again, but may
// drop them on ranks a and b; its pawn on file 9 forbids a second one there.
TEST(GenerateEvasions, SecondPlayerInterpositionDropRanges) {
    EXPECT_EQ(Evasions("8K/9/9/9/9/9/9/9/k3R4 w plns 1"),
              (Texts_{"9i9h", "9i8h", "S*8i", "S*7i", "S*6i"}));
    EXPECT_EQ(Evasions("k8/9/9/9/R8/9/9/9/8K w plns 1"),
              (Texts_{"9a8b", "9a8a", "P*9b", "P*9c", "P*9d", "L*9b", "L*9c", "L*9d", "N*9b",
                      "N*9c", "N*9d", "S*9b", "S*9c", "S*9d"}));
    EXPECT_EQ(Evasions("k8/9/9/9/R8/9/9/p8/8K w plns 1"),
              (Texts_{"9a8b", "9a8a", "L*9b", "L*9c", "L*9d", "N*9b", "N*9c", "N*9d", "S*9b",
                      "S*9c", "S*9d"}));
}

// An adjacent gold checks: the rook beside it is found as a stepping piece and along its line,
// so it stands twice; the king takes the gold only while nothing defends it; a pinned silver
// is listed and left to the legality test.
TEST(GenerateEvasions, AdjacentCheckerCapturesAndKingCaptures) {
    EXPECT_EQ(Evasions("k8/9/9/9/9/9/9/3Rg4/4KS3 b G 1"), (Texts_{"5i5h", "6h5h", "4i5h", "6h5h"}));
    Game defended = FromSfen("k3l4/9/9/9/9/9/9/3Rg4/4KS2r b G 1");
    EXPECT_EQ(Evasions(defended), (Texts_{"6h5h", "4i5h", "6h5h"}));
}

// Captures of a checker on rank a: pawn and knight must promote, a silver is listed once with
// its promoting form, a gold never promotes. No interpositions next to the king.
TEST(GenerateEvasions, CapturesInsideThePromotionZone) {
    EXPECT_EQ(Evasions("3Gs4/3SPK3/3N5/9/9/9/9/9/k8 b - 1"),
              (Texts_{"4b5a", "4b4a", "4b3a", "4b3b", "4b5c", "4b4c", "4b3c", "6a5a", "6b5a+",
                      "5b5a+", "6c5a+"}));
}

// A silver steps off the rook's file. Stepping aside uncovers a single check that can be
// blocked; stepping next to the king checks twice and leaves king moves only, though the gold
// could take the silver. The king may also take the undefended silver, and never steps along
// the rook's file, not even behind itself.
TEST(GenerateEvasions, DiscoveredSingleAndDoubleCheck) {
    const Game before = FromSfen("4r3k/9/4s4/9/4KG3/9/9/9/9 w G 1");
    const Texts_ kingMoves = {"5e6d", "5e4d", "5e6e", "5e6f", "5e4f"};

    Game single = before;
    MakeMove(1, single.position,
             Move{static_cast<std::int8_t>(Sq("5c")), static_cast<std::int8_t>(Sq("4b")), -Silver,
                  0, 0, 0});
    single.side = 0;
    Texts_ expected = kingMoves;
    expected.insert(expected.end(), {"4e5d", "G*5b", "G*5c", "G*5d"});
    EXPECT_EQ(Evasions(single), expected);

    Game twice = before;
    MakeMove(1, twice.position,
             Move{static_cast<std::int8_t>(Sq("5c")), static_cast<std::int8_t>(Sq("4d")), -Silver,
                  0, 0, 0});
    twice.side = 0;
    EXPECT_EQ(Evasions(twice), kingMoves);

    // A knight and a rook: the knight cannot be taken by the gold either.
    EXPECT_EQ(Evasions("4r3k/9/5n3/5G3/4K4/9/9/9/9 b G 1"),
              (Texts_{"5e6d", "5e6e", "5e4e", "5e6f", "5e4f"}));
}

}  // namespace
}  // namespace mirabel::testing
