// The console board display: its text, and which squares it highlights.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/console.h"
#include "platform/platform.h"

namespace mirabel {
namespace {

std::string Shown(BoardDisplay& display, const Position& position) {
    testing::internal::CaptureStdout();
    display.Show(position);
    return testing::internal::GetCapturedStdout();
}

#ifndef _WIN32
// Squares drawn highlighted (colours forced on): the attribute is set once at the start (to
// normal), then once before each square's cell.
std::vector<int> Highlighted(BoardDisplay& display, const Position& position) {
    const std::string text = Shown(display, position), normal = text.substr(0, text.find('m') + 1);
    std::vector<int> squares;
    int settings = 0;
    for (std::size_t at = 0; (at = text.find('\x1b', at)) != std::string::npos; ++at, ++settings)
        if (text.compare(at, normal.size(), normal) != 0) squares.push_back(settings - 1);
    return squares;
}
#endif

TEST(BoardDisplay, TextAndHighlights) {
    Position position{};
    SetStartPosition(position);
    const ConsoleText plain(false), coloured(true);
    BoardDisplay display(plain);
    EXPECT_EQ(Shown(display, position),
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
    BoardDisplay colourDisplay(coloured);  // the first board shows no highlight
    EXPECT_EQ(Highlighted(colourDisplay, position), std::vector<int>{});
    MakeMove(0, position, Move{56, 47, 1, 0, 0, 0});  // 7g7f: origin and destination
    EXPECT_EQ(Highlighted(colourDisplay, position), (std::vector<int>{47, 56}));
    position.hand[1][Gold - 1] = 1;
    MakeMove(1, position, Move{-Gold, 40, 0, 0, 0, 0});  // a gold dropped on 5e: destination
    EXPECT_EQ(Highlighted(colourDisplay, position), std::vector<int>{40});
    position.hand[0][Pawn - 1] = 5;  // hands are not compared
    EXPECT_EQ(Highlighted(colourDisplay, position), std::vector<int>{});
#endif
    // Side 1's promoted lance as NA, and hands from the rook down to the pawn.
    int side = 0;
    std::string error;
    ASSERT_TRUE(ReadSfen(ConsoleStartSfen, position, side, error) && side == 1) << error;
    for (auto& count : position.hand[1]) count = 1;
    const std::string text = Shown(display, position);
    EXPECT_NE(text.find("\nP8 *  * -NA *  *  * +GI-KI-RY\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nP+00KI00GI00FU00FU00FU\nP-00HI00KA00KI00GI00KE00KY00FU\n"),
              std::string::npos);
}

}  // namespace
}  // namespace mirabel
