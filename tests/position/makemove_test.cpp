// MakeMove: edge cases of single moves and the record's invariants over many random games.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "movegen/movegen.h"
#include "position/position.h"
#include "test_setup.h"

namespace mirabel {
namespace {

using postest::FromSfen;
using postest::Sq;
using postest::UsiMove;

class MakeMoveTest : public ::testing::Test {
  protected:
    void SetUp() override { NewGame(); }

    // Plays `move` and checks every derived field against a computation from scratch.
    static void Play(int side, Position& position, const Move& move) {
        MakeMove(side, position, move);
        Position fresh = position;
        ComputeHashKey(fresh);
        EXPECT_EQ(position.hashKey, fresh.hashKey);
        EXPECT_EQ(position.material, MaterialBalance(0, position));
        for (int s = 0; s < 2; ++s)
            EXPECT_EQ(position.board[position.kingSquare[s]], s == 0 ? King : -King);
    }
};

TEST_F(MakeMoveTest, SingleMovesUpdateBoardHandsAndBalance) {
    struct Case {
        const char* sfen;
        const char* move;
        int codeOnTarget, handSide, handSlot, handCount, materialChange;
    };
    const Case cases[] = {
        {StartSfen, "7g7f", Pawn, 0, 0, 0, 0},
        {"lnsgkgsnl/1r5b1/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL w - 1", "5a4b", -King, 1, 0, 0,
         0},
        {"4k4/9/9/9/9/9/9/9/4K4 w 2r 1", "R*5e", -Rook, 1, 6, 1, 0},
        // A horse goes back to the hand as a bishop; the balance gains its board and hand value.
        {"4k4/9/9/9/4+b4/4G4/9/9/4K4 b - 1", "5f5e", Gold, 0, 5, 1, 1396},
        {"4k4/9/4p4/5S3/9/9/9/9/4K4 b - 1", "4d5c+", ProSilver, 0, 0, 1, 116 + 174},
        {"4k4/9/9/4g4/4+P4/9/9/9/4K4 w - 1", "5d5e", -Gold, 1, 0, 1, -621},
        // The eighteenth pawn in one hand has keys of its own (the key table's last row).
        {"k8/9/9/9/9/9/9/4p4/4K4 b 17P 1", "5i5h", King, 0, 0, 18, 174},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.sfen) + " " + c.move);
        int side = 0;
        Position p = FromSfen(c.sfen, &side);
        const int before = p.material;
        const Move move = UsiMove(c.move);
        Play(side, p, move);
        EXPECT_EQ(p.board[move.to], c.codeOnTarget);
        if (move.from >= 0) {
            EXPECT_EQ(p.board[move.from], 0);
        }
        EXPECT_EQ(p.hand[c.handSide][c.handSlot], c.handCount);
        EXPECT_EQ(p.material - before, c.materialChange);
    }
    // The search may capture a king: it goes to no hand and swings the balance by 15000.
    Position k = FromSfen("4k4/4R4/9/9/9/9/9/9/4K4 b - 1");
    MakeMove(0, k, UsiMove("5b5a"));
    EXPECT_EQ(k.kingSquare[0], Sq("5i"));
    EXPECT_EQ(WriteSfen(k, 1), "4R4/9/9/9/9/9/9/9/4K4 w - 1");
    EXPECT_EQ(k.material, 642 + 15000);
    Position fresh = k;
    ComputeHashKey(fresh);
    EXPECT_EQ(k.hashKey, fresh.hashKey);
}

TEST_F(MakeMoveTest, TranspositionsReachTheSameRecord) {
    const char* lineA[] = {"7g7f", "3c3d", "8h2b+", "3a2b", "2g2f", "8c8d", "B*5e"};
    const char* lineB[] = {"2g2f", "3c3d", "7g7f", "8c8d", "8h2b+", "3a2b", "B*5e"};
    Position a, b;
    std::memcpy(&a, &GamePosition, sizeof a);
    std::memcpy(&b, &GamePosition, sizeof b);
    a.material = b.material = 0;
    for (int i = 0; i < 7; ++i) {
        Play(i % 2, a, UsiMove(lineA[i]));
        Play(i % 2, b, UsiMove(lineB[i]));
    }
    EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0);
    EXPECT_EQ(a.hand[0][5], 0);
    EXPECT_EQ(a.hand[1][5], 1);
    EXPECT_EQ(a.material, 0);
}

struct Coverage {
    int captures = 0, promotions = 0, drops = 0, kingMoves = 0, checks = 0;
};

// Tries every legal move of the position the way the search does (make, inspect, copy the
// saved record back): GivesCheck and ExchangeScore leave the record untouched, MakeMove keeps
// it consistent, GivesCheck agrees with the attack test after the move, and the block copy
// restores every byte.
void CheckEveryMove(int side, Position& position, const Move* moves, int count, Coverage& seen) {
    Position saved;
    std::memcpy(&saved, &position, sizeof saved);
    for (int i = 0; i < count; ++i) {
        const Move& move = moves[i];
        const int gives = GivesCheck(side, position, move);
        ExchangeScore(side, position, move);
        ASSERT_EQ(std::memcmp(&saved, &position, sizeof saved), 0) << WriteSfen(position, side);
        seen.captures += move.from >= 0 && position.board[move.to] != 0;
        seen.promotions += move.promote;
        seen.drops += move.from < 0;
        seen.kingMoves += move.from >= 0 && AbsCode(position.board[move.from]) == King;
        seen.checks += gives;

        MakeMove(side, position, move);
        Position fresh = position;
        ComputeHashKey(fresh);
        const std::string where = WriteSfen(saved, side) + " move " + std::to_string(i);
        ASSERT_EQ(position.hashKey, fresh.hashKey) << where;
        ASSERT_EQ(position.material, MaterialBalance(0, position)) << where;
        ASSERT_EQ(gives, InCheckNow(1 - side, position) ? 1 : 0) << where;
        std::memcpy(&position, &saved, sizeof position);
    }
    ASSERT_EQ(std::memcmp(&saved, &position, sizeof saved), 0);
}

TEST_F(MakeMoveTest, InvariantsHoldOverRandomGames) {
    const char* starts[] = {
        StartSfen, "4k4/9/9/9/9/9/9/9/4K4 b RBGSNLPrbgsnl17p 1",
        "ln1g3nl/1r2k1s2/p2pp1bpp/2p2pp2/1p7/2PP5/PPB1PPPPP/2R1K4/LNSG1GSNL w Sg 1"};
    std::mt19937 random(20240611);
    Coverage seen;
    static MoveList moves;
    for (int game = 0; game < 60; ++game) {
        int side = 0;
        Position position = FromSfen(starts[game % 3], &side);
        for (int ply = 0; ply < 150; ++ply) {
            const int count = GenerateLegalMoves(side, position, moves);
            if (count == 0) break;
            CheckEveryMove(side, position, moves, count, seen);
            if (HasFailure()) return;
            Play(side, position, moves[std::uniform_int_distribution<int>(0, count - 1)(random)]);
            side = 1 - side;
            // The text form carries the whole record except the balance.
            Position reread = FromSfen(WriteSfen(position, side).c_str());
            ASSERT_EQ(std::memcmp(reread.board, position.board, sizeof reread.board), 0);
            ASSERT_EQ(std::memcmp(reread.hand, position.hand, sizeof reread.hand), 0);
            ASSERT_EQ(reread.hashKey, position.hashKey) << WriteSfen(position, side);
        }
    }
    EXPECT_GT(seen.captures, 1000);
    EXPECT_GT(seen.promotions, 100);
    EXPECT_GT(seen.drops, 1000);
    EXPECT_GT(seen.kingMoves, 100);
    EXPECT_GT(seen.checks, 100);
}

}  // namespace
}  // namespace mirabel
