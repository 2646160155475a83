// The texts of the USI module: input cut into lines and words, move text, "position" lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "usi/usi.h"

namespace mirabel {
namespace {

// Feeds `input` to a splitter in pieces of `piece` bytes, then ends the input.
std::vector<InputLine> Split(const std::string& input, std::size_t piece) {
    LineSplitter splitter;
    std::vector<InputLine> lines;
    for (std::size_t at = 0; at < input.size(); at += piece)
        splitter.Feed(input.data() + at, std::min(piece, input.size() - at), lines);
    splitter.Finish(lines);
    return lines;
}

TEST(LineSplitter, LineEndsNulBytesAndAMissingFinalLineFeed) {
    const std::string input =
        std::string("usi\r\nisready\n\nposition") + '\0' + "startpos\n\r\na\rb\ngo";
    const std::vector<std::string> expected = {
        "usi", "isready", "", std::string("position\0startpos", 17), "", "a\rb", "go"};
    for (const std::size_t piece : {std::size_t{1}, std::size_t{3}, input.size()}) {
        const std::vector<InputLine> lines = Split(input, piece);
        ASSERT_EQ(lines.size(), expected.size()) << piece;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            EXPECT_EQ(lines[i].text, expected[i]) << piece << ' ' << i;
            EXPECT_FALSE(lines[i].overlong);
        }
    }
    EXPECT_TRUE(Split("", 1).empty());
}

TEST(LineSplitter, ALineOverTheBoundIsRefusedWholeAndTheNextOneIsTaken) {
    const std::string longest(MaxLineLength, 'm');
    const std::string input = longest + "\n" + longest + "\r\n" + longest + "x\n" + "isready\n" +
                              std::string(3 * MaxLineLength, 'y') + "\r\n" + longest + "z";
    for (const std::size_t piece : {std::size_t{4096}, std::size_t{65536}, input.size()}) {
        const std::vector<InputLine> lines = Split(input, piece);
        ASSERT_EQ(lines.size(), 6u) << piece;
        // The CR is no part of the second line; the last one has no line feed.
        const std::string texts[] = {longest, longest, "", "isready", "", ""};
        for (int i = 0; i < 6; ++i)
            EXPECT_TRUE(lines[i].overlong == (i == 2 || i >= 4) && lines[i].text == texts[i])
                << piece << ' ' << i;
    }
}

TEST(CommandWords, SplitAtBlanksTabsAndCarriageReturns) {
    const std::vector<std::string_view> expected = {"position", "startpos", "moves", "7g7f"};
    EXPECT_EQ(SplitWords(" position\tstartpos  moves 7g7f\r"), expected);
    EXPECT_TRUE(SplitWords(" \t\r").empty());
    EXPECT_EQ(Printable(std::string("a\0\x7f\xff", 4)), "a\\x00\\x7F\\xFF");
    EXPECT_EQ(Printable(std::string(100, 'w'), 5), "wwwww...");
}

TEST(UsiNotation, MoveTextBothWays) {
    Position p{};
    int side = 0;
    std::string error;
    ASSERT_TRUE(ReadSfen("4k4/9/9/9/9/9/9/9/1B2K4 b G 1", p, side, error));
    Move move{};
    // A board move, a promotion, a drop; a wrong mark; a lower-case drop; no move at all.
    for (const char* text : {"8i7h", "8i2c+", "G*5e"}) {
        ASSERT_TRUE(ParseUsiMove(text, 0, p, move)) << text;
        EXPECT_EQ(MoveToUsi(move), text);
    }
    EXPECT_FALSE(ParseUsiMove("8i2c*", 0, p, move));
    EXPECT_TRUE(ParseUsiMove("g*5e", 0, p, move) && MoveToUsi(move) == "G*5e");
    EXPECT_EQ(MoveToUsi(NoMoveRecord), "resign");
}

TEST(UsiNotation, PositionLinesReplayUpToTheFirstTokenThatIsNotALegalMove) {
    const std::string tooLong(300, '7');
    const std::string start = StartSfen, two = "position startpos moves 7g7f 3c3d ";
    const char* afterTwo = "lnsgkgsnl/1r5b1/pppppp1pp/6p2/9/2P6/PP1PPPPPP/1B5R1/LNSGKGSNL b - 1";
    // line, the position reached, the refusal's start ("" for none). The replay
    // stops at the first token that is not a legal move.
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"position startpos", start, ""},
        {"position startpos moves", start, ""},
        {"position startpos moves " + tooLong, start, "move 1 \"7777"},
        {two + "\t 2g2f", "lnsgkgsnl/1r5b1/pppppp1pp/6p2/9/2P4P1/PP1PPPP1P/1B5R1/LNSGKGSNL w - 1",
         ""},
        {two + "7g7f 2g2f", afterTwo, "move 3 \"7g7f\" is not legal"},
        {two + "P*5e 2g2f", afterTwo, "move 3 \"P*5e\""},
        {two + "\x01\xff\x7f 2g2f", afterTwo, "move 3 \"\\x01\\xFF\\x7F\""},
        {two + "8h2b+ 3a2b B*4e",
         "lnsgkg1nl/1r5s1/pppppp1pp/6p2/5B3/2P6/PP1PPPPPP/7R1/LNSGKGSNL w b 1", ""},
        {"position sfen " + start.substr(0, 57) + " w - 1 moves 3c3d 7g7f",
         "lnsgkgsnl/1r5b1/pppppp1pp/6p2/9/2P6/PP1PPPPPP/1B5R1/LNSGKGSNL w - 1", ""},
        {"position sfen 4k4/9/9/9/9/9/9/9/4K4 b 2Pr moves P*5e R*5f",
         "4k4/9/9/9/4P4/4r4/9/9/4K4 b P 1", ""}};
    for (const auto& [line, sfen, refusal] : cases) {
        const PositionOutcome outcome = ReadPositionCommand(SplitWords(line));
        EXPECT_TRUE(outcome.accepted) << line;
        EXPECT_EQ(WriteSfen(outcome.position, outcome.side), sfen) << line;
        EXPECT_EQ(outcome.refusal.substr(0, refusal.size()), refusal) << line;
        EXPECT_EQ(outcome.refusal.empty(), refusal.empty()) << line;
    }
}

TEST(UsiNotation, PositionLinesThatCannotBeReadApplyNothing) {
    // line, the refusal's reason
    const std::pair<std::string, std::string> cases[] = {
        {"position sfen 4k4/9/9/4p4/4p4/9/9/9/4K4 b - 1", "two unpromoted pawns"},
        {"position sfen " + std::string(300, '9') + " b - 1", "two counts of empty squares"},
        {"position sfen " + std::string(StartSfen) + " 2g2f", "an SFEN has a board"},
        {"position sfen moves 7g7f", "an SFEN has a board"},
        {"position", "position refused: expected startpos"}};
    for (const auto& [line, reason] : cases) {
        const PositionOutcome outcome = ReadPositionCommand(SplitWords(line));
        EXPECT_FALSE(outcome.accepted) << line;
        EXPECT_NE(outcome.refusal.find(reason), std::string::npos)
            << line << ": " << outcome.refusal;
    }
}

}  // namespace
}  // namespace mirabel
