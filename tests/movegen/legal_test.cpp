// The legality test of the search and the full-rules list built on the generators.
#include <algorithm>
#include <set>

#include "movegen/movegen_test_util.h"

namespace mirabel::testing {
namespace {

using TextSet = std::set<std::string>;

Move BoardMoveOf(const Position& position, const char* from, const char* to) {
    return BoardMove(Sq(from), Sq(to), position.board[Sq(from)], 0);
}

bool Illegal(const Game& game, const Move& move) {
    Position after = game.position;
    MakeMove(game.side, after, move);
    return LeavesKingAttacked(game.side, after, move);
}

TextSet LegalSet(const Game& game) {
    MoveList moves;
    const std::vector<std::string> texts =
        Texts(moves, GenerateLegalMoves(game.side, game.position, moves));
    EXPECT_EQ(TextSet(texts.begin(), texts.end()).size(), texts.size()) << "duplicate legal move";
    return {texts.begin(), texts.end()};
}

// A gold pinned on the king's file by a rook, a pawn guarding 6h.
TEST(LeavesKingAttacked, PinsKingStepsAndDrops) {
    const Game game = FromSfen("4r3k/9/9/9/9/4G4/3p5/9/4K4 b P 1");
    const Position& p = game.position;
    EXPECT_FALSE(Illegal(game, BoardMoveOf(p, "5f", "5e")));  // along the pin line
    EXPECT_FALSE(Illegal(game, BoardMoveOf(p, "5f", "5g")));
    EXPECT_TRUE(Illegal(game, BoardMoveOf(p, "5f", "6f")));  // uncovers the rook
    EXPECT_TRUE(Illegal(game, BoardMoveOf(p, "5f", "4e")));
    EXPECT_TRUE(Illegal(game, BoardMoveOf(p, "5i", "6h")));  // onto the pawn's square of attack
    EXPECT_FALSE(Illegal(game, BoardMoveOf(p, "5i", "4h")));
    EXPECT_FALSE(Illegal(game, BoardMoveOf(p, "5i", "5h")));  // on the file, still shielded
    EXPECT_FALSE(Illegal(game, DropMove(Pawn, Sq("5g"))));
}

// Where the generators write only the promoting form, the rules also allow the other one,
// unless the piece could never move again.
TEST(GenerateLegalMoves, AddsTheNonPromotingFormsTheRulesAllow) {
    const Game game = FromSfen("4k4/2p6/G6S1/1P4N2/4N4/8R/4B4/9/K1L6 b - 1");
    MoveList moves;
    const int pseudo = GenerateMoves(0, game.position, moves);
    const std::vector<std::string> generated = Texts(moves, pseudo);
    TextSet added;
    for (const std::string& text : LegalSet(game))
        if (std::find(generated.begin(), generated.end(), text) == generated.end())
            added.insert(text);
    // Pawn and lance short of the last rank, rook and bishop anywhere; never the knight onto
    // the two last ranks (3d4b+, 3d2b+) nor the pawn or lance onto the last.
    EXPECT_EQ(added, (TextSet{"8d8c", "7i7c", "7i7b", "1f1c", "1f1b", "1f1a", "5g1c"}));
    EXPECT_EQ(LegalSet(game).size(), static_cast<std::size_t>(pseudo) + added.size());

    // Evasions write one form per capture: the silver gets its twin, pawn and knight do not.
    const TextSet evasions = LegalSet(FromSfen("3Gs4/3SPK3/3N5/9/9/9/9/9/k8 b - 1"));
    EXPECT_EQ(evasions.count("6b5a"), 1u);
    EXPECT_EQ(evasions.count("6b5a+"), 1u);
    EXPECT_EQ(evasions.count("5b5a"), 0u);
    EXPECT_EQ(evasions.count("6c5a"), 0u);
    EXPECT_EQ(evasions.size(), 12u);
}

// The rook next to the checker is generated twice, the pinned silver not at all, and the king
// may not take the defended gold: one legal move is left.
TEST(GenerateLegalMoves, DropsDuplicatesAndIllegalEvasions) {
    EXPECT_EQ(LegalSet(FromSfen("k3l4/9/9/9/9/9/9/3Rg4/4KS2r b G 1")), TextSet{"6h5h"});
}

// A pawn dropped on 1b mates: the king cannot take it (the gold guards it) nor flee (knight and
// gold cover 2a and 2b). The generators list the drop; the rules forbid it, though not the same
// mate by a lance, nor a pawn check the king escapes or the defence can capture.
TEST(GenerateLegalMoves, PawnDropMateIsLeftOut) {
    const Game mate = FromSfen("8k/9/6NG1/9/9/9/9/9/4K4 b PL 1");
    MoveList moves;
    const std::vector<std::string> generated = Texts(moves, GenerateMoves(0, mate.position, moves));
    EXPECT_NE(std::find(generated.begin(), generated.end(), "P*1b"), generated.end());
    const TextSet legal = LegalSet(mate);
    EXPECT_EQ(legal.count("P*1b"), 0u);
    EXPECT_EQ(legal.count("L*1b"), 1u);
    EXPECT_EQ(legal.count("P*1c"), 1u);

    EXPECT_EQ(LegalSet(FromSfen("8k/9/7G1/9/9/9/9/9/4K4 b PL 1")).count("P*1b"), 1u);
    EXPECT_EQ(LegalSet(FromSfen("7gk/9/6NG1/9/9/9/9/9/4K4 b PL 1")).count("P*1b"), 1u);

    // After the lance mate the second player has nothing.
    Game mated = mate;
    MakeMove(0, mated.position, DropMove(Lance, Sq("1b")));
    EXPECT_TRUE(InCheckNow(1, mated.position));
    EXPECT_EQ(GenerateLegalMoves(1, mated.position, moves), 0);
    EXPECT_FALSE(HasLegalMove(1, mated.position));
    EXPECT_TRUE(HasLegalMove(0, mate.position));
}

}  // namespace
}  // namespace mirabel::testing
