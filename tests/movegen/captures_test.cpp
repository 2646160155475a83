// The quiescence generator: captures of stepping pieces and lances, every slider move.
#include "movegen/movegen_test_util.h"

namespace mirabel::testing {
namespace {

std::vector<std::string> Captures(const char* sfen) {
    const Game game = FromSfen(sfen);
    MoveList moves;
    return Texts(moves, GenerateCaptures(game.side, game.position.board, moves));
}

TEST(GenerateCaptures, SlidersListEveryMoveSteppingPiecesOnlyCaptures) {
    EXPECT_EQ(Captures(StartSfen),
              (std::vector<std::string>{"2h3h", "2h4h", "2h5h", "2h6h", "2h7h", "2h1h"}));
    // After 7g7f 3c3d the bishop's diagonal is open up to the bishop on 2b.
    EXPECT_EQ(Captures("lnsgkgsnl/1r5b1/pppppp1pp/6p2/9/2P6/PP1PPPPPP/1B5R1/LNSGKGSNL b - 3"),
              (std::vector<std::string>{"8h7g", "8h6f", "8h5e", "8h4d", "8h3c+", "8h2b+", "2h3h",
                                        "2h4h", "2h5h", "2h6h", "2h7h", "2h1h"}));
    // Pawn onto the zone: promoting form only; silver into the zone: both; the king takes a
    // defended gold; the horse captures with its steps and slides everywhere.
    EXPECT_EQ(
        Captures("k8/4s4/p1p1g4/P2S1K2p/8+B/9/9/9/9 b - 1"),
        (std::vector<std::string>{"9d9c+", "6d7c", "6d7c+", "6d5c", "6d5c+", "4d5c", "1e1d", "1e2d",
                                  "1e3c", "1e4b", "1e5a", "1e2f", "1e3g", "1e4h", "1e5i"}));
}

TEST(GenerateCaptures, LanceTakesOnlyTheNextSquare) {
    EXPECT_TRUE(Captures("4k4/9/9/9/p8/9/9/9/L3K4 b - 1").empty());
    EXPECT_EQ(Captures("4k4/9/9/9/9/9/9/p8/L3K4 b - 1"), std::vector<std::string>{"9i9h"});
    // A second-player lance next to a piece on the first player's camp promotes.
    EXPECT_EQ(Captures("4k4/9/9/9/9/9/l8/P8/4K4 w - 1"), std::vector<std::string>{"9g9h+"});
}

}  // namespace
}  // namespace mirabel::testing
