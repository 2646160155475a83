// USI move text: tokens, the text of a move, reading a move against the full rules, and the
// replay of "position" lines (which stops at the first token that is not a legal move).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "movegen/movegen.h"
#include "usi/usi.h"

namespace mirabel {
namespace {

constexpr const char* AfterTwoPawns =
    "lnsgkgsnl/1r5b1/pppppp1pp/6p2/9/2P6/PP1PPPPPP/1B5R1/LNSGKGSNL";

class UsiNotation : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { NewGame(); }

    static void Position(const std::string& line) {
        ParsePositionCommand(line.c_str(), static_cast<int>(line.size()));
    }
    // Board and hands of the game position, with the side to move given by GamePly.
    static std::string Board() { return WriteSfen(GamePosition, GamePly % 2); }
    static std::string Sfen(const std::string& text) {
        mirabel::Position position{};
        int side = 0;
        std::string error;
        EXPECT_TRUE(ReadSfen(text, position, side, error)) << error;
        return WriteSfen(position, side);
    }
    static bool Accepts(const std::string& sfen, const char* token) {
        mirabel::Position position{};
        int side = 0;
        std::string error;
        EXPECT_TRUE(ReadSfen(sfen, position, side, error)) << error;
        Move move{};
        return ParseUsiMove(token, side, position, move);
    }
};

TEST_F(UsiNotation, NextTokenSplitsOnBlanksLineFeedsAndTheEnd) {
    const char text[] = "position startpos  moves\n7g7f";
    const int length = static_cast<int>(std::strlen(text));
    char token[MaxTokenLength + 1];
    EXPECT_EQ(NextToken(text, length, 0, token), 9);
    EXPECT_STREQ(token, "position");
    EXPECT_EQ(NextToken(text, length, 9, token), 18);
    EXPECT_STREQ(token, "startpos");
    EXPECT_EQ(NextToken(text, length, 18, token), 19);  // two blanks: an empty token
    EXPECT_STREQ(token, "");
    EXPECT_EQ(NextToken(text, length, 19, token), 25);
    EXPECT_STREQ(token, "moves");
    EXPECT_EQ(NextToken(text, length, 25, token), length + 1);
    EXPECT_STREQ(token, "7g7f");
    EXPECT_EQ(NextToken(text, length, length + 1, token), -1);
    EXPECT_STREQ(token, "");
    // Only `length` characters are read, terminated or not.
    EXPECT_EQ(NextToken("7g7f3c3d", 4, 0, token), 5);
    EXPECT_STREQ(token, "7g7f");
}

TEST_F(UsiNotation, NextTokenNeverWritesPastItsBuffer) {
    struct Guarded {
        char token[MaxTokenLength + 1];
        char guard[16];
    } buffer;
    std::memset(&buffer, '#', sizeof buffer);

    const std::string longest(MaxTokenLength, 'a');
    EXPECT_EQ(NextToken(longest.c_str(), MaxTokenLength, 0, buffer.token), MaxTokenLength + 1);
    EXPECT_EQ(std::string(buffer.token), longest);

    for (const int extra : {1, 2, 1000}) {
        const std::string tooLong = std::string(MaxTokenLength + extra, 'b') + " 7g7f";
        EXPECT_EQ(NextToken(tooLong.c_str(), static_cast<int>(tooLong.size()), 0, buffer.token),
                  -1);
        EXPECT_STREQ(buffer.token, "");
    }
    for (const char c : buffer.guard) EXPECT_EQ(c, '#');
}

TEST_F(UsiNotation, MoveToUsiWritesBoardMovesPromotionsDropsAndResign) {
    EXPECT_STREQ(MoveToUsi(Move{56, 47, 1, 0, 0, 0}), "7g7f");
    EXPECT_STREQ(MoveToUsi(Move{64, 16, 6, 1, 0, 0}), "8h2b+");
    EXPECT_STREQ(MoveToUsi(Move{0, 80, 2, 0, 0, 0}), "9a1i");
    const char* letters = "PLNSGBR";
    for (int kind = 1; kind <= 7; ++kind) {
        const std::string expected = std::string(1, letters[kind - 1]) + "*5e";
        EXPECT_EQ(MoveToUsi(Move{static_cast<std::int8_t>(-kind), 40, 0, 0, 0, 0}), expected);
    }
    EXPECT_STREQ(MoveToUsi(NoMoveRecord), "resign");
}

// Every legal move's text reads back as that move, and nothing else is accepted.
TEST_F(UsiNotation, EveryLegalMoveRoundTripsThroughItsText) {
    const char* positions[] = {
        StartSfen,
        "ln1g3nl/1r1s1kg2/p1pppp1pp/6p2/1p5P1/2P6/PPSPPPP1P/2G3SR1/LN2KG1NL b Bb 1",
        "4k4/2P6/9/1P2r4/9/9/6n2/4G4/4K1R2 w 2Pp 1",
        "lr5nl/2g1kg3/p1ns1p1pp/2pp2p2/1p3P1P1/2PPp1P2/PPS3N1P/2G1G1K2/LN5RL b BSPbs 1",
    };
    for (const char* sfen : positions) {
        mirabel::Position position{};
        int side = 0;
        std::string error;
        ASSERT_TRUE(ReadSfen(sfen, position, side, error)) << error;
        Move legal[MoveListSize];
        const int count = GenerateLegalMoves(side, position, legal);
        ASSERT_GT(count, 0) << sfen;
        for (int i = 0; i < count; ++i) {
            const std::string text = MoveToUsi(legal[i]);
            Move read{};
            ASSERT_TRUE(ParseUsiMove(text.c_str(), side, position, read)) << sfen << " " << text;
            EXPECT_TRUE(SameMove(read, legal[i])) << text;
            EXPECT_EQ(read.piece, legal[i].piece) << text;
        }
        // The same texts are not legal for the side not to move.
        Move read{};
        int foreign = 0;
        for (int i = 0; i < count; ++i)
            if (ParseUsiMove(MoveToUsi(legal[i]), 1 - side, position, read)) ++foreign;
        EXPECT_LT(foreign, count) << sfen;
    }
}

TEST_F(UsiNotation, MoveTextThatIsNotALegalMoveIsRefused) {
    const std::string start = StartSfen;
    for (const char* token : {"", "7g7", "7g7f7", "7g7fx", "7g7f++", "0g0f", "7j7f", "7g7z", "A*5e",
                              "P*5j", "P*5", "P*5e+", "K*5e", "k*5e", "*P5e"})
        EXPECT_FALSE(Accepts(start, token)) << '"' << token << '"';
    EXPECT_FALSE(Accepts(start, "P*5e")) << "drop from an empty hand";
    EXPECT_FALSE(Accepts(start, "7g7e")) << "a pawn cannot go two squares";
    EXPECT_FALSE(Accepts(start, "5e5d")) << "nothing stands there";
    EXPECT_FALSE(Accepts(start, "3c3d")) << "the opponent's piece";
    EXPECT_FALSE(Accepts(start, "7g7f+")) << "promotion outside the zone";
    EXPECT_FALSE(Accepts(start, "8h7g")) << "own piece on the target";

    const std::string pinned = "4k4/9/9/9/4r4/9/9/4G4/4K4 b - 1";
    EXPECT_FALSE(Accepts(pinned, "5h4h")) << "leaves the own king in check";
    EXPECT_TRUE(Accepts(pinned, "5h5g"));

    const std::string deep = "4k4/2P6/4N4/9/9/9/9/9/4K4 b - 1";
    EXPECT_FALSE(Accepts(deep, "7b7a")) << "a pawn left without a move";
    EXPECT_TRUE(Accepts(deep, "7b7a+"));
    EXPECT_FALSE(Accepts(deep, "5c4a")) << "a knight left without a move";
    EXPECT_TRUE(Accepts(deep, "5c4a+"));

    const std::string gold = "4k4/9/9/9/9/9/9/4G4/4K4 b - 1";
    EXPECT_FALSE(Accepts(gold, "5h5g+")) << "a gold never promotes";

    const std::string dropMate = "7lk/9/7G1/9/9/9/9/9/4K4 b P 1";
    EXPECT_FALSE(Accepts(dropMate, "P*1b")) << "pawn drop that mates";
    EXPECT_TRUE(Accepts(dropMate, "P*1c"));

    const std::string twoPawns = "4k4/9/9/9/9/9/4P4/9/4K4 b P 1";
    EXPECT_FALSE(Accepts(twoPawns, "P*5e")) << "second pawn on a file";
    EXPECT_TRUE(Accepts(twoPawns, "P*4e"));
    EXPECT_TRUE(Accepts(twoPawns, "p*4e")) << "lower-case drop letter";
}

// The rules allow a piece to stay unpromoted where it can still move, whether or not the
// search ever considers it: a front end sends such moves when a player chooses them.
TEST_F(UsiNotation, LegalNonPromotionsAreAccepted) {
    const std::string zone = "4k4/9/9/2P6/9/9/9/1B5R1/4K4 b - 1";
    for (const char* token : {"7d7c", "7d7c+", "2h2c", "2h2c+", "8h3c", "8h3c+"})
        EXPECT_TRUE(Accepts(zone, token)) << token;
    const std::string lance = "4k4/9/9/9/9/9/9/9/L3K4 b - 1";
    EXPECT_TRUE(Accepts(lance, "9i9b"));
    EXPECT_FALSE(Accepts(lance, "9i9a"));
}

TEST_F(UsiNotation, StartposLinesReplayTheirMoves) {
    const std::string start = Sfen(StartSfen);
    const std::string twoPawns = Sfen(std::string(AfterTwoPawns) + " b - 1");
    for (const char* line :
         {"position startpos", "position startpos moves", "position startpos moves "}) {
        Position("position startpos moves 2g2f");
        Position(line);
        EXPECT_EQ(Board(), start) << line;
        EXPECT_EQ(GamePly, 0) << line;
    }
    Position("position startpos moves 7g7f 3c3d");
    EXPECT_EQ(Board(), twoPawns);
    EXPECT_EQ(GamePly, 2);
    Position("position startpos moves 7g7f 3c3d ");
    EXPECT_EQ(Board(), twoPawns);
    Position("position startpos moves 7g7f 3c3d  2g2f");  // two blanks end the list
    EXPECT_EQ(Board(), twoPawns);
    EXPECT_EQ(GamePly, 2);
    // A capture and a drop: the bishops are exchanged and one is dropped again.
    Position("position startpos moves 7g7f 3c3d 8h2b+ 3a2b B*4e");
    EXPECT_EQ(GamePly, 5);
    EXPECT_EQ(Board(), Sfen("lnsgkg1nl/1r5s1/pppppp1pp/6p2/5B3/2P6/PP1PPPPPP/7R1/LNSGKGSNL w b 1"));
    EXPECT_EQ(GamePosition.hand[1][5], 1);
    EXPECT_EQ(GamePosition.hand[0][5], 0);
}

TEST_F(UsiNotation, ReplayStopsAtTheFirstTokenThatIsNotALegalMove) {
    const std::string twoPawns = Sfen(std::string(AfterTwoPawns) + " b - 1");
    const std::string tooLong(300, '7');
    for (const std::string& bad :
         {std::string("7g7f"), std::string("5a5b"), std::string("P*5e"), std::string("3c3d"),
          std::string("7g7f+"), std::string("zzzz"), std::string("7g7f3c3d"), tooLong,
          "2g2f" + tooLong, std::string("\x01\xff\x7f"), std::string("resign")}) {
        Position("position startpos moves 7g7f 3c3d " + bad + " 2g2f 8c8d");
        EXPECT_EQ(Board(), twoPawns) << bad;
        EXPECT_EQ(GamePly, 2) << bad;
    }
    Position("position startpos moves " + tooLong);
    EXPECT_EQ(Board(), Sfen(StartSfen));
    EXPECT_EQ(GamePly, 0);
}

TEST_F(UsiNotation, SfenLinesSetThePositionAndTheSideToMove) {
    const std::string white = "lnsgkgsnl/1r5b1/ppppppppp/9/9/9/PPPPPPPPP/1B5R1/LNSGKGSNL w - 1";
    Position("position sfen " + white);
    EXPECT_EQ(Board(), Sfen(white));
    EXPECT_EQ(GamePly, 1);
    Position("position sfen " + white + " moves 3c3d 7g7f");
    EXPECT_EQ(Board(), Sfen(std::string(AfterTwoPawns) + " w - 3"));
    EXPECT_EQ(GamePly, 3);
    Position("position sfen " + white + " moves 3c3d 3c3d 7g7f");
    EXPECT_EQ(GamePly, 2);

    // Move number left out; hands given; moves from the hand.
    Position("position sfen 4k4/9/9/9/9/9/9/9/4K4 b 2Pr moves P*5e R*5f");
    EXPECT_EQ(Board(), Sfen("4k4/9/9/9/4P4/4r4/9/9/4K4 b P 1"));
    EXPECT_EQ(GamePly, 2);
    Position("position sfen 4k4/9/9/9/9/9/9/9/4K4 b 2Pr 12 moves R*5f");  // not side 0's piece
    EXPECT_EQ(GamePly, 0);
}

TEST_F(UsiNotation, UnreadablePositionLinesLeaveThePositionAlone) {
    const std::string kept = "position startpos moves 7g7f 3c3d 2g2f";
    Position(kept);
    const std::string expected = Board();
    for (const std::string& line : {
             std::string("position sfen"),
             std::string("position sfen "),
             std::string("position sfen garbage"),
             std::string("position sfen 9/9/9 b - 1"),
             std::string("position sfen 4k4/9/9/9/9/9/9/9/4K4 x - 1"),
             std::string("position sfen 4k4/9/9/9/9/9/9/9/4K4 b - 0"),
             std::string("position sfen 4k4/9/9/9/9/9/9/9/4K4 b - 1 extra"),
             std::string("position sfen 4k4/9/9/9/9/9/9/9/9 b - 1"),      // no king
             std::string("position sfen 4k4/9/9/9/9/9/9/9/4K4 b 19P 1"),  // too many pawns
             std::string("position sfen P3k4/9/9/9/9/9/9/9/4K4 b - 1"),   // stranded pawn
             std::string("position sfen 4k4/4R4/9/9/9/9/9/9/4K4 b - 1"),  // king en prise
             "position sfen " + std::string(300, '9') + " b - 1",
             std::string("position fen 4k4/9/9/9/9/9/9/9/4K4 b - 1"),
             std::string("position"),
             std::string("position  startpos"),
             std::string("positionstartpos"),
         }) {
        Position(kept);
        Position(line);
        EXPECT_EQ(Board(), expected) << line;
        EXPECT_EQ(GamePly, 3) << line;
    }
}

}  // namespace
}  // namespace mirabel
