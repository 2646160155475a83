// The console board display: exact text of the rank and hand lines, and which squares the
// highlight attribute covers from one board to the next.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "usi/usi.h"

namespace mirabel {
namespace {

// Runs `body` with standard output sent to a temporary file and returns what it wrote.
template <class Body>
std::string CaptureStdout(Body body) {
    std::fflush(stdout);
    const int saved = dup(fileno(stdout));
    std::FILE* file = std::tmpfile();
    dup2(fileno(file), fileno(stdout));
    body();
    std::fflush(stdout);
    dup2(saved, fileno(stdout));
    close(saved);
    std::rewind(file);
    std::string text;
    for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) text += static_cast<char>(c);
    std::fclose(file);
    return text;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

std::string PlainBoard(const Position& position) {
    ForceTextAttributes(false);
    return CaptureStdout([&] { ShowBoard(position); });
}

Position StartPosition() {
    Position position{};
    SetStartPosition(position);
    return position;
}

TEST(BoardDisplay, StartPositionText) {
    ResetBoardDisplay();
    const std::string text = PlainBoard(StartPosition());
    EXPECT_EQ(text,
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
}

TEST(BoardDisplay, PromotedPiecesAndHands) {
    ResetBoardDisplay();
    const std::vector<std::string> lines = Lines(PlainBoard(ConsoleStartPosition));
    ASSERT_EQ(lines.size(), 12u);
    EXPECT_EQ(lines[1], "P1 *  * +NK-GI * -KI * -KE-KY");
    EXPECT_EQ(lines[2], "P2+UM+RY-KE * -OU * -GI *  * ");
    EXPECT_EQ(lines[8], "P8 *  * -NA *  *  * +GI-KI-RY");  // side 1's promoted lance
    EXPECT_EQ(lines[10], "P+00KI00GI00FU00FU00FU");
    EXPECT_EQ(lines[11], "P-00KI00FU");

    Position position = ConsoleStartPosition;
    const std::int8_t rookAndTwoPawns[HandSlots] = {2, 0, 0, 0, 0, 0, 1};
    const std::int8_t oneOfEach[HandSlots] = {1, 1, 1, 1, 1, 1, 1};
    for (int slot = 0; slot < HandSlots; ++slot) {
        position.hand[0][slot] = rookAndTwoPawns[slot];
        position.hand[1][slot] = oneOfEach[slot];
    }
    const std::vector<std::string> handLines = Lines(PlainBoard(position));
    ASSERT_EQ(handLines.size(), 12u);
    EXPECT_EQ(handLines[10], "P+00HI00FU00FU");
    EXPECT_EQ(handLines[11], "P-00HI00KA00KI00GI00KE00KY00FU");
}

// One shown board split into its attribute changes and the squares drawn highlighted.
struct Highlights {
    int attributeChanges = 0;
    bool startsNormal = false;
    bool endsNormal = false;
    std::set<int> squares;
};

Highlights ShowHighlighted(const Position& position) {
    ForceTextAttributes(true);
    const std::string normal = CaptureStdout([] { SetTextAttribute(TextAttribute::Normal); });
    const std::string highlight = CaptureStdout([] { SetTextAttribute(TextAttribute::Highlight); });
    const std::string text = CaptureStdout([&] { ShowBoard(position); });
    ForceTextAttributes(false);

    Highlights result;
    result.startsNormal = text.compare(0, normal.size(), normal) == 0;
    result.endsNormal = text.size() >= normal.size() &&
                        text.compare(text.size() - normal.size(), normal.size(), normal) == 0;
    // Strip the sequences, remembering for each character left whether it was highlighted.
    std::string plain;
    std::vector<bool> lit;
    bool on = false;
    for (std::size_t i = 0; i < text.size();) {
        if (text.compare(i, normal.size(), normal) == 0) {
            on = false;
            i += normal.size();
            ++result.attributeChanges;
        } else if (text.compare(i, highlight.size(), highlight) == 0) {
            on = true;
            i += highlight.size();
            ++result.attributeChanges;
        } else {
            plain += text[i++];
            lit.push_back(on);
        }
    }
    // Rank lines follow the 29-character header line; a cell is three characters after "Pn".
    for (int sq = 0; sq < SquareCount; ++sq) {
        const std::size_t cell = 29 + static_cast<std::size_t>(RowOf(sq)) * 30 + 2 +
                                 static_cast<std::size_t>(ColOf(sq)) * 3;
        if (cell + 2 < lit.size() && lit[cell] && lit[cell + 1] && lit[cell + 2])
            result.squares.insert(sq);
    }
    return result;
}

TEST(BoardDisplay, HighlightsSquaresChangedSinceLastBoard) {
    ResetBoardDisplay();
    Position position = StartPosition();
    const Highlights first = ShowHighlighted(position);
    EXPECT_TRUE(first.squares.empty());
    // Set once at the start, once per square, once at the end: nowhere else.
    EXPECT_EQ(first.attributeChanges, 83);
    EXPECT_TRUE(first.startsNormal);
    EXPECT_TRUE(first.endsNormal);

    MakeMove(0, position, Move{56, 47, 1, 0, 0, 0});  // 7g7f
    EXPECT_EQ(ShowHighlighted(position).squares, (std::set<int>{47, 56}));

    position.hand[1][Gold - 1] = 1;
    MakeMove(1, position, Move{-Gold, 40, 0, 0, 0, 0});  // gold dropped on 5e
    const Highlights drop = ShowHighlighted(position);
    EXPECT_EQ(drop.squares, (std::set<int>{40}));
    EXPECT_EQ(drop.attributeChanges, 83);

    // Hands are not compared: a board with only a hand changed shows no highlight.
    position.hand[0][Pawn - 1] = 5;
    EXPECT_TRUE(ShowHighlighted(position).squares.empty());
}

}  // namespace
}  // namespace mirabel
