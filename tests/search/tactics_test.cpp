// What the material search must find: mates, a hanging piece, a bad capture refused; the
// illegal pawn-drop mate refused while a pawn-drop check that is no mate stays playable; and
// over many random positions a legal move with the game position left as it was.
#include <cstdint>

#include "search_test_support.h"

namespace mirabel::test {
namespace {

constexpr int MateScore = -ScoreNoMove;  // the root's score once the opponent is mated

constexpr int SquareAt(int file, char rank) {
    return (rank - 'a') * 9 + (9 - file);
}

bool IsDropOf(const Move& move, int kind, int file, char rank) {
    return move.from == -kind && move.to == SquareAt(file, rank);
}

// The move `side` plays in the game position at `plies`; the position must be left unchanged.
Move PlayedMove(int side, int plies, int* score = nullptr) {
    const Position before = GamePosition;
    const SearchOutcome outcome = SearchGame(side, plies);
    EXPECT_TRUE(SamePosition(before, GamePosition));
    EXPECT_TRUE(outcome.move.from != NoMove);
    EXPECT_TRUE(IsLegalMove(side, GamePosition, outcome.move)) << MoveNumericText(outcome.move);
    if (score != nullptr) *score = outcome.score;
    return outcome.move;
}

TEST(Tactics, MateInOneIsFoundAndPlayedByEitherSide) {
    ResetSearchState();
    struct Case {
        const char* sfen;
        int file;
        char rank;
    } const cases[] = {{"4k4/9/4P4/9/9/9/9/9/4K4 b G 1", 5, 'b'},
                       {"4k4/9/9/9/9/9/4p4/9/4K4 w g 1", 5, 'h'}};
    for (const Case& c : cases) {
        const int side = SetGamePosition(c.sfen);
        int score = 0;
        const Move move = PlayedMove(side, 3, &score);
        EXPECT_TRUE(IsDropOf(move, Gold, c.file, c.rank)) << c.sfen << MoveNumericText(move);
        EXPECT_EQ(score, MateScore) << c.sfen;
    }
}

TEST(Tactics, MateInThreeIsPlayedToTheEndAgainstEveryDefence) {
    // No mate in one; a bishop drop on the long diagonal mates next move whatever the reply.
    ResetSearchState();
    const int side = SetGamePosition("8k/6G2/9/9/9/9/9/9/4K4 b PB 1");
    int score = 0;
    const Move first = PlayedMove(side, 3, &score);
    EXPECT_EQ(score, MateScore);
    EXPECT_EQ(first.from, -Bishop) << MoveNumericText(first);
    MakeMove(side, GamePosition, first);
    const Position afterFirst = GamePosition;
    static Move replies[MoveListSize];
    const int count = GenerateLegalMoves(1 - side, afterFirst, replies);
    ASSERT_GT(count, 0);
    for (int i = 0; i < count; ++i) {
        GamePosition = afterFirst;
        MakeMove(1 - side, GamePosition, replies[i]);
        int mateScore = 0;
        const Move mate = PlayedMove(side, 3, &mateScore);
        EXPECT_EQ(mateScore, MateScore);
        MakeMove(side, GamePosition, mate);
        EXPECT_TRUE(IsMated(1 - side, GamePosition)) << MoveNumericText(mate);
    }
}

TEST(Tactics, HangingRookIsTaken) {
    ResetSearchState();
    const int side = SetGamePosition("4k4/9/9/9/4r4/9/9/9/B4K3 b - 1");
    const Move move = PlayedMove(side, 4);
    EXPECT_EQ(move.from, SquareAt(9, 'i'));
    EXPECT_EQ(move.to, SquareAt(5, 'e'));
}

TEST(Tactics, DefendedPawnIsTakenByThePawnNotByTheRook) {
    // Rook takes pawn loses the rook to the gold; pawn takes pawn wins the recapturing gold.
    ResetSearchState();
    const int side = SetGamePosition("4k4/9/4g4/4p1R2/4P4/9/9/9/4K4 b - 1");
    int score = 0;
    const Move move = PlayedMove(side, 4, &score);
    EXPECT_EQ(move.from, SquareAt(5, 'e')) << MoveNumericText(move);
    EXPECT_EQ(move.to, SquareAt(5, 'd'));
    EXPECT_GT(score, 0);
}

TEST(PawnDropMate, TheOnlyMatingMoveIsRefused) {
    // P*1b would mate (2a and 2b covered by the gold, 1b guarded by the knight) but is illegal;
    // the rook in the opponent's hand keeps every legal line from mating within the horizon.
    ResetSearchState();
    const int side = SetGamePosition("8k/6G2/9/7N1/9/9/9/9/4K4 b Pr 1");
    for (int plies = 3; plies <= 4; ++plies) {
        int score = 0;
        const Move move = PlayedMove(side, plies, &score);
        EXPECT_FALSE(move.from == -Pawn && move.to == SquareAt(1, 'b'));
        EXPECT_LT(score, ScoreKingCapture) << plies;
    }
}

TEST(PawnDropMate, APawnDropCheckThatIsNoMateIsPlayed) {
    // P*1b checks; the king's only way out, 2a, runs into a knight drop mate. The drop's child
    // scores ScoreNoMove (mated later), which must not be mistaken for a mate by the drop.
    ResetSearchState();
    const int side = SetGamePosition("6s1k/9/7G1/9/9/9/9/9/4K4 b PN 1");
    int score = 0;
    const Move move = PlayedMove(side, 3, &score);
    EXPECT_TRUE(IsDropOf(move, Pawn, 1, 'b')) << MoveNumericText(move);
    EXPECT_EQ(score, MateScore);
}

// A small portable generator for the playouts (fixed seed, same sequence everywhere).
struct PlayoutRandom {
    std::uint32_t state;
    int Below(int n) {
        state = state * 1103515245u + 12345u;
        return static_cast<int>((state >> 8) % static_cast<std::uint32_t>(n));
    }
};

TEST(SearchOnRandomPositions, ReturnsALegalMoveAndLeavesThePositionUnchanged) {
    ResetSearchState();
    const char* const starts[] = {
        "lnsgkgsnl/1r5b1/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL b - 1",
        "ln1g3nl/1r3kgs1/p1pspp1pp/1p1p2p2/9/2P2P1P1/PPSPPSP1P/7R1/LN1GKG1NL b Bb 17",
        "l2k1s3/1Gp5l/ns1p1gn1p/1p2p2p1/9/9/+b3+rP2P/2S1G3B/5K1NL w RN2Pgsl8p 140",
        "2+Ns1g1nl/+B+Rn1k1s2/l1pppp2p/p5pp1/2P6/P4P3/L5PPP/2+l3Sg+r/K4B1N1 w SG3Pgp 1",
    };
    PlayoutRandom random{20240601u};
    static Move legal[MoveListSize];
    int searched = 0;
    int inCheck = 0;
    for (const char* start : starts) {
        int side = SetGamePosition(start);
        for (int step = 0; step < 160; ++step) {
            const int count = GenerateLegalMoves(side, GamePosition, legal);
            if (step % 4 == 0) {
                const Position before = GamePosition;
                const SearchOutcome outcome = SearchGame(side, 3);
                ASSERT_TRUE(SamePosition(before, GamePosition)) << WriteSfen(before, side);
                if (count == 0) {
                    EXPECT_EQ(outcome.move.from, NoMove) << WriteSfen(before, side);
                } else {
                    EXPECT_TRUE(IsLegalMove(side, GamePosition, outcome.move))
                        << WriteSfen(before, side) << " " << MoveNumericText(outcome.move);
                }
                ++searched;
                inCheck += InCheckNow(side, GamePosition) ? 1 : 0;
            }
            if (count == 0) break;
            MakeMove(side, GamePosition, legal[random.Below(count)]);
            side = 1 - side;
        }
    }
    EXPECT_GE(searched, 100);
    EXPECT_GT(inCheck, 0);  // the playouts reach positions in check too
}

}  // namespace
}  // namespace mirabel::test
