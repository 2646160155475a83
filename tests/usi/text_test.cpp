// The texts of the USI module: the command loop's two comparison rules, the token bound, the
// replay of "position" lines (which stops at the first token that is not a legal move and
// leaves the position alone when the line cannot be read) and the console board display.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "platform/platform.h"
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

std::string Shown(const Position& position) {
    testing::internal::CaptureStdout();
    ShowBoard(position);
    return testing::internal::GetCapturedStdout();
}

#ifndef _WIN32
// Squares drawn highlighted (colours forced on): the attribute is set once at the start (to
// normal), once before each square's cell and once at the end.
std::vector<int> Highlighted(const Position& position) {
    ForceTextAttributes(true);
    const std::string text = Shown(position), normal = text.substr(0, text.find('m') + 1);
    ForceTextAttributes(false);
    std::vector<int> squares;
    int settings = 0;
    for (std::size_t at = 0; (at = text.find('\x1b', at)) != std::string::npos; ++at, ++settings)
        if (text.compare(at, normal.size(), normal) != 0) squares.push_back(settings - 1);
    EXPECT_EQ(settings, 83) << text;
    return squares;
}
#endif

TEST(BoardDisplay, TextAndHighlights) {
    Position position{};
    SetStartPosition(position);
    ResetBoardDisplay();
    EXPECT_EQ(Shown(position),
              "   9  8  7  6  5  4  3  2  1\n"
              "P1-KY-KE-GI-KI-OU-KI-GI-KE-KY\n"
              "P2 * -HI *  *  *  *  * -KA * \n"
              "P3-FU-FU-FU-FU-FU-FU-FU-FU-FU\n"
              "P4 *  *  *  *  *  *  *  *  * \n"
              "P5 *  *  *  *  *  *  *  *  * \n"
              "P6 *  *  *  *  *  *  *  *  * \n"
              "P7+FU+FU+FU+FU+FU+FU+FU+FU+FU\n"
              "P8 * +KA *  *  *  *  * +HI * \n"
              "P9+KY+KE+GI+KI+OU+KI+GI+KE+KY\n"
              "P+\n"
              "P-\n");
#ifndef _WIN32  // on Windows highlights are console attributes, which leave no trace in the text
    ResetBoardDisplay();  // the first board shows no highlight
    EXPECT_EQ(Highlighted(position), std::vector<int>{});
    MakeMove(0, position, Move{56, 47, 1, 0, 0, 0});  // 7g7f: origin and destination
    EXPECT_EQ(Highlighted(position), (std::vector<int>{47, 56}));
    position.hand[1][Gold - 1] = 1;
    MakeMove(1, position, Move{-Gold, 40, 0, 0, 0, 0});  // a gold dropped on 5e: destination
    EXPECT_EQ(Highlighted(position), std::vector<int>{40});
    position.hand[0][Pawn - 1] = 5;  // hands are not compared
    EXPECT_EQ(Highlighted(position), std::vector<int>{});
#endif
    // Side 1's promoted lance as NA, and hands from the rook down to the pawn.
    position = ConsoleStartPosition;
    for (auto& count : position.hand[1]) count = 1;
    const std::string text = Shown(position);
    EXPECT_NE(text.find("\nP8 *  * -NA *  *  * +GI-KI-RY\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nP+00KI00GI00FU00FU00FU\nP-00HI00KA00KI00GI00KE00KY00FU\n"),
              std::string::npos);
}

}  // namespace
}  // namespace mirabel
