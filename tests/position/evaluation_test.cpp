// Material values, MaterialBalance and the static exchange estimate ExchangeScore.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "position/position.h"
#include "test_setup.h"

namespace mirabel {
namespace {

using postest::FromSfen;
using postest::Sq;

class Evaluation : public ::testing::Test {
  protected:
    void SetUp() override { NewGame(); }

    // ExchangeScore of a board move or drop, also checking that the record is left unchanged.
    static int Exchange(const char* sfen, int side, int from, int to, int promote = 0) {
        Position position = FromSfen(sfen);
        Position before;
        std::memcpy(&before, &position, sizeof before);
        const Move move{static_cast<std::int8_t>(from),
                        static_cast<std::int8_t>(to),
                        0,
                        static_cast<std::uint8_t>(promote),
                        0,
                        0};
        const int score = ExchangeScore(side, position, move);
        EXPECT_EQ(std::memcmp(&before, &position, sizeof before), 0) << sfen;
        return score;
    }
};

TEST_F(Evaluation, ValueTablesAgreeWithEachOther) {
    for (int code = 1; code <= 14; ++code) {
        EXPECT_EQ(PieceValue[-code], -PieceValue[code]);
        EXPECT_EQ(ExchangeValue[-code], -ExchangeValue[code]);
        EXPECT_EQ(PromotionGain[-code], -PromotionGain[code]);
        if (code == King) continue;
        // A captured piece moves the balance by its own value plus its base kind in hand.
        EXPECT_EQ(ExchangeValue[code], PieceValue[code] + PieceValue[HandSlot[code] + 1]) << code;
        EXPECT_EQ(PromotionGain[code], PieceValue[PromotedCode(code)] - PieceValue[code]) << code;
    }
    EXPECT_EQ(ExchangeValue[King], 15000);
    EXPECT_EQ(PromotionGain[-1], -447);
    EXPECT_EQ(PieceValue[0] + ExchangeValue[0] + PromotionGain[0], 0);
}

TEST_F(Evaluation, MaterialBalanceCountsBoardAndHands) {
    EXPECT_EQ(MaterialBalance(0, GamePosition), 0);
    EXPECT_EQ(MaterialBalance(1, GamePosition), 0);
    // Side 1's pawn from 7c is in side 0's hand.
    const Position pawn =
        FromSfen("lnsgkgsnl/1r5b1/pp1pppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL b P 1");
    EXPECT_EQ(MaterialBalance(0, pawn), 174);
    EXPECT_EQ(MaterialBalance(1, pawn), -174);
    const Position bishop =
        FromSfen("lnsgkgsnl/1r7/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL b B 1");
    EXPECT_EQ(MaterialBalance(0, bishop), 1138);
    // Promoted pieces count their promoted value, hands their base value.
    const Position mixed = FromSfen("4k4/9/9/9/4+r4/9/9/2+P6/4K4 b 2Ng 1");
    EXPECT_EQ(MaterialBalance(0, mixed), 534 - 945 + 2 * 257 - 444);
}

TEST_F(Evaluation, ExchangeOfAnUnattackedSquareIsZero) {
    // The silver takes an undefended rook: nothing recaptures, the capture itself is not counted.
    EXPECT_EQ(Exchange("k8/9/9/4r4/5S3/9/9/9/8K b - 1", 0, Sq("4e"), Sq("5d")), 0);
    EXPECT_EQ(Exchange("k8/9/9/9/9/9/9/9/8K b G 1", 0, -Gold, Sq("5e")), 0);
}

TEST_F(Evaluation, ExchangeFollowsTheRecapturesInAttackerOrder) {
    // A silver stepping onto a square a pawn guards loses itself; a gold defender wins the pawn
    // back. A promotion in the move is not applied to the piece that gets taken.
    EXPECT_EQ(Exchange("k8/4p4/9/5S3/9/9/9/9/8K b - 1", 0, Sq("4d"), Sq("5c"), 1), -738);
    EXPECT_EQ(Exchange("k8/4p4/9/3G1S3/9/9/9/9/8K b - 1", 0, Sq("4d"), Sq("5c"), 1), -564);
    // The same for side 1, with a drop: the pawn on 5h takes the silver, the gold takes back.
    EXPECT_EQ(Exchange("k8/9/9/9/9/9/9/4P4/8K w s 1", 1, -Silver, Sq("5g")), -738);
    EXPECT_EQ(Exchange("k8/9/9/9/9/3g5/9/4P4/8K w s 1", 1, -Silver, Sq("5g")), -564);
}

TEST_F(Evaluation, ExchangeEmptiesTheOriginOfTheMovingPiece) {
    // The gold leaving 5f does not defend 5e from where it stood.
    EXPECT_EQ(Exchange("k8/9/9/4p4/9/4G4/9/9/8K b - 1", 0, Sq("5f"), Sq("5e")), -888);
    // The rook behind it recaptures through 5f, and the side-1 rook through the pawn's 5d.
    EXPECT_EQ(Exchange("k3r4/9/9/4p4/9/4G4/9/4R4/8K b - 1", 0, Sq("5f"), Sq("5e")),
              -888 + 174 - 1284);
}

TEST_F(Evaluation, ExchangeStopsAfterTenCaptures) {
    // Seven attackers a side around 5e. In attacker order: gold 6d, gold 6f, pawn 5d, lance 5f,
    // gold 4d, gold 4f, knight 4c, knight 4g, knight 6c, knight 6g; the lances and rooks on the
    // file would go on, but the sequence ends after ten captures.
    const char* crowd = "8k/4r4/3nln3/3gpg3/9/3GLG3/3NLN3/4R4/K8 b S 1";
    const int ten = -738 + 888 - 888 + 174 - 464 + 888 - 888 + 514 - 514 + 514;
    EXPECT_EQ(Exchange(crowd, 0, -Silver, Sq("5e")), ten);
}

}  // namespace
}  // namespace mirabel
