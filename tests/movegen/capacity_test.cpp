// Move list capacity: the fullest lists that could be found stay inside the bounds derived
// next to MoveListSize, and those bounds inside the list.
#include "movegen/movegen_test_util.h"
#include "movegen/reference_rules.h"

namespace mirabel::testing {
namespace {

static_assert(MaxLegalList + MaxLegalList / 2 < MoveListSize, "keep a margin of half again");

struct Fullest {
    const char* sfen;
    int full, legal;
};

TEST(MoveListCapacity, FullestPositionsStayInsideTheBounds) {
    const Fullest positions[] = {
        // The largest number of legal moves known for a legal position.
        {"R8/2K1S1SSk/4B4/9/9/9/9/9/1L1L1L3 b RBGSNLP3g3n17p 1", 559, 593},
        // Found by searching piece placements for the longest lists: promoted sliders, every
        // kind in hand, the opponent's king open to capture.
        {"k6+R1/2SSS4/9/9/4+B4/9/3K5/9/1L3LL2 b RB4GS4NL18P 1", 570, 576},
        {"k7R/1SS1S1K2/4B4/9/9/9/9/9/3L1L1L1 b RB4GS4NL18P 1", 561, 595},
        {"R7k/2K1S1SS1/4B4/9/9/9/9/9/1L3L2L b RBGSNLP 1", 561, 595},
    };
    for (const Fullest& f : positions) {
        const Game game = FromSfen(f.sfen);
        MoveList moves;
        const int full = GenerateMoves(game.side, game.position, moves);
        EXPECT_EQ(full, f.full) << f.sfen;
        EXPECT_LE(full, MaxFullList) << f.sfen;
        EXPECT_LE(GenerateCaptures(game.side, game.position.board, moves), full) << f.sfen;
        const int legal = GenerateLegalMoves(game.side, game.position, moves);
        EXPECT_EQ(legal, f.legal) << f.sfen;
        EXPECT_LE(legal, MaxLegalList) << f.sfen;
        const reference::Board board = reference::FromPosition(game.position);
        EXPECT_EQ(reference::LegalMoves(board, game.side).size(), static_cast<std::size_t>(legal));
    }

    // A long evasion list: a rook checking across the board, promoted pieces reaching the
    // squares between, four kinds in hand.
    Game evasion =
        FromSfen("9/2+L+P+R+B+B+P+L/K7r/1+N+S+L+P+P+S+P+P/1+P5+P1/2k4+N+S/4+N4/9/9 b GSNL10P 1");
    MoveList moves;
    const int count = GenerateEvasions(0, evasion.position, moves);
    EXPECT_EQ(count, 78);
    EXPECT_LE(count, MaxEvasionList);
}

}  // namespace
}  // namespace mirabel::testing
