// SFEN text: exact round trips, and refusal of every malformed or impossible position.
#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "position/position.h"

namespace mirabel {
namespace {

class Sfen : public ::testing::Test {
  protected:
    void SetUp() override { NewGame(); }
};

TEST_F(Sfen, RoundTripsKeepTheTextAndBuildAConsistentRecord) {
    const char* texts[] = {
        StartSfen,
        "lnsgk2nl/1r4gs1/p1pppp1pp/1p4p2/7P1/2P6/PP1PPPP1P/1SG4R1/LN2KGSNL b Bb 13",
        "8l/1+R2+P1gk1/5+Bs1p/9/9/P1P1P1P2/9/2+b6/K1+n5L w GS2Pr2n10p 90",
        "+P3k3l/9/2N6/9/9/9/6n2/9/4K4 b 2R2B4G4S2N3L16p 1",
        "4k4/9/9/9/9/9/9/9/4K4 w 18p 7",  // a hand of every pawn has keys of its own
    };
    for (const char* text : texts) {
        Position position;
        std::memset(&position, 0, sizeof position);
        position.material = 4242;
        int side = -1, number = -1;
        std::string error;
        ASSERT_TRUE(ReadSfen(text, position, side, number, error)) << text << ": " << error;
        EXPECT_EQ(WriteSfen(position, side, number), text);
        EXPECT_EQ(position.material, 4242);  // reading leaves the balance alone
        Position fresh = position;
        ComputeHashKey(fresh);
        EXPECT_EQ(position.hashKey, fresh.hashKey) << text;
        for (int s = 0; s < 2; ++s)
            EXPECT_EQ(position.board[position.kingSquare[s]], s == 0 ? King : -King) << text;
    }
    Position start;
    int side = -1, number = -1;
    std::string error;
    ASSERT_TRUE(ReadSfen("lnsgkgsnl/1r5b1/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL w -", start,
                         side, number, error));
    EXPECT_EQ(side, 1);
    EXPECT_EQ(number, 1);
    EXPECT_EQ(std::memcmp(start.board, GamePosition.board, sizeof start.board), 0);
    EXPECT_EQ(start.hashKey, GamePosition.hashKey);
}

TEST_F(Sfen, MalformedOrImpossiblePositionsAreRefusedWithoutChange) {
    const std::string start = "lnsgkgsnl/1r5b1/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL";
    const std::string kings = "4k4/9/9/9/9/9/9/9/4K4";
    std::vector<std::string> refused;
    const auto add = [&refused](const std::string& head, std::initializer_list<const char*> parts,
                                const std::string& tail) {
        for (const char* part : parts) refused.push_back(head + part + tail);
    };
    // Fields: missing, surplus, out of order.
    add("", {"", "   "}, "");
    add(start, {"", " b", " b - 1 7", " - b 1"}, "");
    // Ranks of the wrong length or number, stray characters, promotion marks on nothing.
    add("",
        {"lnsgkgsnl/1r5b/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL",
         "lnsgkgsnl/1r5b11/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL",
         "lnsgkgsnl/1r5b1/ppppppppp/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL",
         "lnsgkgsnl/1r5b1/ppppppppp/9/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL", "4k4/9/9/54/9/9/9/9/4K4",
         "4k4/9/9/0/9/9/9/9/4K4", "4k4/9/9/9/9/9/9/9/4K3x", "4k4/9/9/4Q4/9/9/9/9/4K4",
         "4k4/9/9/9/9/9/9/9/4K4,b", "4k4/9/9/4+G4/9/9/9/9/4K4", "4+k4/9/9/9/9/9/9/9/4K4",
         "4k4/9/9/9/9/9/9/9/4K3+", "4k4/9/9/3++P4/9/9/9/9/4K4", "4k4/9/9/3+14/9/9/9/9/4K4",
         "4k4/9/9/3+/4/9/9/9/4K4"},
        " b - 1");
    add("", {"/", "//"}, start + " b - 1");
    add(start, {"/", "/9"}, " b - 1");
    add(kings + " ", {"x", "B", "bw", "-"}, " - 1");
    add(kings + " b ",
        {"3", "P3", "0P", "01P", "K", "k", "PP", "2P3P", "x", "-P", "19p", "1234567890P"}, " 1");
    add(kings + " b - ", {"0", "-1", "1x", "99999999999"}, "");
    // Kings: none, one side only, two of one side.
    add("",
        {"9/9/9/9/9/9/9/9/4K4", "4k4/9/9/9/9/9/9/9/9", "9/9/9/9/9/9/9/9/9",
         "4k4/9/9/9/9/9/9/9/3KK4", "9/9/9/9/9/9/9/9/3KK4", "3kk4/9/9/9/9/9/9/9/4K4"},
        " b - 1");
    // More pieces of a kind than the game has, promoted pieces counted as their base kind.
    add(start + " b ", {"P", "G", "r", "L", "n", "s", "B"}, " 1");
    add(kings + " b ", {"10P9p", "2R2B5G"}, " 1");
    add("",
        {"lnsgkgsnl/1r3+r1b1/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL",
         "lnsgkgsnl/1r5b1/ppppppppp/9/4+P4/9/PPPPPPPPP/1B5R1/LNSGKGSNL"},
        " b - 1");
    // Pieces that could never move again, for both sides.
    add("",
        {"P3k4/9/9/9/9/9/9/9/4K4", "L3k4/9/9/9/9/9/9/9/4K4", "N3k4/9/9/9/9/9/9/9/4K4",
         "4k4/N8/9/9/9/9/9/9/4K4", "4k4/9/9/9/9/9/9/9/p3K4", "4k4/9/9/9/9/9/9/9/l3K4",
         "4k4/9/9/9/9/9/9/9/n3K4", "4k4/9/9/9/9/9/9/n8/4K4"},
        " b - 1");
    Position target;
    std::memset(&target, 0x5a, sizeof target);
    int side = 0, number = 0;
    std::string error;
    ASSERT_TRUE(ReadSfen("8l/1+R2+P1gk1/5+Bs1p/9/9/P1P1P1P2/9/2+b6/K1+n5L w GS2Pr2n10p 90", target,
                         side, number, error));
    Position before;
    std::memcpy(&before, &target, sizeof before);
    for (const std::string& text : refused) {
        error.clear();
        EXPECT_FALSE(ReadSfen(text, target, side, number, error)) << "accepted: " << text;
        EXPECT_FALSE(error.empty()) << text;
        for (const char c : error) EXPECT_TRUE(c >= ' ' && c <= '~') << text << ": " << error;
        EXPECT_EQ(std::memcmp(&before, &target, sizeof before), 0) << text;
        EXPECT_EQ(side, 1) << text;
        EXPECT_EQ(number, 90) << text;
    }
}

}  // namespace
}  // namespace mirabel
