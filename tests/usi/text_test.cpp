// The texts of the USI module: the command loop's two comparison rules, the token bound, and
// the replay of "position" lines (which stops at the first token that is not a legal move and
// leaves the position alone when the line cannot be read).
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "usi/usi.h"

namespace mirabel {
namespace {

TEST(CommandMatch, LinePrefixAndKeywordPrefixRules) {
    // line, keyword, whether it matches by line prefix, whether it matches by keyword prefix
    const std::tuple<const char*, const char*, bool, bool> cases[] = {
        {"", "usi", true, false},
        {"u", "usi", true, false},
        {"usi", "usi", true, true},
        {"usinewgame", "usi", false, true},
        {"usi ", "usi", false, true},
        {" usi", "usi", false, false},
        {"isready now", "isready", false, true},
        {"setoption name USI_Hash value 256", "setoption", false, true},
        {"go ponde", "go ponder", true, false}};
    for (const auto& [line, keyword, linePrefix, keywordPrefix] : cases) {
        EXPECT_EQ(LinePrefixMatch(line, keyword), linePrefix) << line << '|' << keyword;
        EXPECT_EQ(KeywordPrefixMatch(line, keyword), keywordPrefix) << line << '|' << keyword;
    }
}

TEST(UsiNotation, NextTokenTakes255CharactersButNot256) {
    char token[MaxTokenLength + 1];  // an overrun shows under the address checker
    const std::string longest(MaxTokenLength, 'a'), tooLong(MaxTokenLength + 1, 'b');
    EXPECT_EQ(NextToken(longest.c_str(), MaxTokenLength, 0, token), MaxTokenLength + 1);
    EXPECT_EQ(token, longest);
    EXPECT_EQ(NextToken((tooLong + " 7g7f").c_str(), MaxTokenLength + 6, 0, token), -1);
    EXPECT_STREQ(token, "");
}

TEST(UsiNotation, MoveTextBothWays) {
    NewGame();
    Position p{};
    int side = 0;
    std::string error;
    ASSERT_TRUE(ReadSfen("4k4/9/9/9/9/9/9/9/1B2K4 b G 1", p, side, error));
    Move move{};
    // A board move, a promotion and its refusal of an extra mark, a drop, and no move at all.
    for (const char* text : {"8i7h", "8i2c+", "G*5e"}) {
        ASSERT_TRUE(ParseUsiMove(text, 0, p, move)) << text;
        EXPECT_STREQ(MoveToUsi(move), text);
    }
    EXPECT_FALSE(ParseUsiMove("8i2c*", 0, p, move));
    EXPECT_TRUE(ParseUsiMove("g*5e", 0, p, move) && std::string(MoveToUsi(move)) == "G*5e");
    EXPECT_STREQ(MoveToUsi(NoMoveRecord), "resign");
}

TEST(UsiNotation, PositionLinesReplayUpToTheFirstTokenThatIsNotALegalMove) {
    const std::string prior = "position startpos moves 7g7f 3c3d 2g2f", tooLong(300, '7');
    const std::string start = StartSfen, two = "position startpos moves 7g7f 3c3d ";
    const char* afterTwo = "lnsgkgsnl/1r5b1/pppppp1pp/6p2/9/2P6/PP1PPPPPP/1B5R1/LNSGKGSNL b - 1";
    const char* kept = "lnsgkgsnl/1r5b1/pppppp1pp/6p2/9/2P4P1/PP1PPPP1P/1B5R1/LNSGKGSNL w - 1";
    const std::tuple<std::string, std::string, int> cases[] = {
        {"position startpos moves " + tooLong, start, 0},
        {two + " 2g2f", afterTwo, 2},  // two blanks end the list
        {two + "7g7f 2g2f", afterTwo, 2},
        {two + "P*5e 2g2f", afterTwo, 2},
        {two + "\x01\xff\x7f 2g2f", afterTwo, 2},
        {two + "2g2f" + tooLong, afterTwo, 2},
        {two + "8h2b+ 3a2b B*4e",
         "lnsgkg1nl/1r5s1/pppppp1pp/6p2/5B3/2P6/PP1PPPPPP/7R1/LNSGKGSNL w b 1", 5},
        {"position sfen " + start.substr(0, 57) + " w - 1 moves 3c3d 7g7f",
         "lnsgkgsnl/1r5b1/pppppp1pp/6p2/9/2P6/PP1PPPPPP/1B5R1/LNSGKGSNL w - 1", 3},
        {"position sfen 4k4/9/9/9/9/9/9/9/4K4 b 2Pr moves P*5e R*5f",
         "4k4/9/9/9/4P4/4r4/9/9/4K4 b P 1", 2},
        // Lines that cannot be read leave the position as it was.
        {"position sfen 4k4/4R4/9/9/9/9/9/9/4K4 b - 1", kept, 3},  // the side not to move in check
        {"position sfen " + std::string(300, '9') + " b - 1", kept, 3},
        {"position fen 4k4/9/9/9/9/9/9/9/4K4 b - 1", kept, 3}};

    NewGame();
    for (const auto& [line, sfen, ply] : cases) {
        ParsePositionCommand(prior.c_str(), static_cast<int>(prior.size()));
        ParsePositionCommand(line.c_str(), static_cast<int>(line.size()));
        EXPECT_EQ(WriteSfen(GamePosition, GamePly % 2), sfen) << line;
        EXPECT_EQ(GamePly, ply) << line;
    }
}

}  // namespace
}  // namespace mirabel
