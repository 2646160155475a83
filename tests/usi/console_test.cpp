// The console game: its fixed start position, and one game run end to end by the executable.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "usi/usi.h"

namespace mirabel {
namespace {

// The start position as written down from the board diagram, side 1 to move.
constexpr const char* ConsoleStartSfen =
    "2+Ns1g1nl/+B+Rn1k1s2/l1pppp2p/p5pp1/2P6/P4P3/L5PPP/2+l3Sg+r/K4B1N1 w GS3Pgp 1";

TEST(ConsoleStart, MatchesDiagramAndIsAValidPosition) {
    NewGame();
    Position read{};
    int side = 0;
    std::string error;
    ASSERT_TRUE(ReadSfen(ConsoleStartSfen, read, side, error)) << error;
    EXPECT_EQ(side, 1);
    EXPECT_EQ(0, std::memcmp(read.board, ConsoleStartPosition.board, sizeof read.board));
    EXPECT_EQ(0, std::memcmp(read.hand, ConsoleStartPosition.hand, sizeof read.hand));
    EXPECT_EQ(read.kingSquare[0], 72);
    EXPECT_EQ(read.kingSquare[1], 13);
    EXPECT_EQ(ConsoleStartPosition.kingSquare[0], 72);
    EXPECT_EQ(ConsoleStartPosition.kingSquare[1], 13);
    EXPECT_EQ(WriteSfen(ConsoleStartPosition, 1), ConsoleStartSfen);
}

constexpr const char* Names[15] = {"",   "FU", "KY", "KE", "GI", "KI", "KA", "HI",
                                   "OU", "TO", "NA", "NK", "NG", "UM", "RY"};

int KindOfName(const std::string& name) {
    for (int kind = 1; kind < 15; ++kind)
        if (name == Names[kind]) return kind;
    return 0;
}

// Reads a move of the search report, such as "7776FU", "8822KA!" or "0055KA".
Move ParseNumericMove(const std::string& text, const Position& position) {
    const auto digit = [&](int i) { return text[static_cast<std::size_t>(i)] - '0'; };
    const int to = (digit(3) - 1) * 9 + (9 - digit(2));
    Move move{};
    move.to = static_cast<std::int8_t>(to);
    if (digit(0) == 0) {
        move.from = static_cast<std::int8_t>(-KindOfName(text.substr(4, 2)));
    } else {
        const int from = (digit(1) - 1) * 9 + (9 - digit(0));
        move.from = static_cast<std::int8_t>(from);
        move.piece = position.board[from];
        move.promote = text.size() > 6 && text[6] == '!';
    }
    return move;
}

struct Shown {
    PieceCode board[SquareCount]{};
    int hand[2][HandSlots]{};
};

// Reads back a board as the display prints it: header, nine rank lines and two hand lines.
Shown ParseShownBoard(const std::vector<std::string>& lines, std::size_t header) {
    Shown shown;
    for (int row = 0; row < 9; ++row) {
        const std::string& line = lines[header + 1 + static_cast<std::size_t>(row)];
        EXPECT_EQ(line.size(), 29u) << line;
        if (line.size() != 29u) continue;
        for (int col = 0; col < 9; ++col) {
            const std::string cell = line.substr(2 + 3 * static_cast<std::size_t>(col), 3);
            if (cell == " * ") continue;
            const int code = KindOfName(cell.substr(1));
            shown.board[row * 9 + col] = static_cast<PieceCode>(cell[0] == '+' ? code : -code);
        }
    }
    for (int side = 0; side < 2; ++side) {
        const std::string& line = lines[header + 10 + static_cast<std::size_t>(side)];
        for (std::size_t i = 2; i + 4 <= line.size(); i += 4)
            ++shown.hand[side][KindOfName(line.substr(i + 2, 2)) - 1];
    }
    return shown;
}

bool ThreadSanitizerBuild() {
#if defined(__SANITIZE_THREAD__)
    return true;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
    return true;
#endif
#endif
    return false;
}

// With input already at its end the game plays its first move, shows it and stops at once,
// where it would otherwise go on searching with nothing to pace it.
TEST(ConsoleGameRun, EndsAfterOneMoveWhenInputHasEnded) {
    // The console game has a single thread: nothing for the thread checker to find, and the
    // ten-ply search under it would take minutes.
    if (ThreadSanitizerBuild()) GTEST_SKIP() << "single-threaded; covered by the other builds";
    const std::string command = std::string("timeout 300 ") + MIRABEL_BINARY + " CUI </dev/null";
    std::FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, n);
    const int status = pclose(pipe);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0) << "124 means the game did not end within 300 s";
    EXPECT_EQ(output.find('\x1b'), std::string::npos) << "no colour sequences in piped output";

    std::vector<std::string> lines;
    std::istringstream stream(output);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    std::size_t header = 0;
    while (header < lines.size() && lines[header] != "   9  8  7  6  5  4  3  2  1") ++header;
    ASSERT_GE(header, 1u) << output;
    ASSERT_EQ(lines.size(), header + 12) << "exactly one board, at the end:\n" << output;

    // Every line before the board is a search report line.
    for (std::size_t i = 0; i < header; ++i) {
        EXPECT_EQ(lines[i].rfind("info depth ", 0), 0u) << lines[i];
        EXPECT_NE(lines[i].find(" info string "), std::string::npos) << lines[i];
    }
    const std::string& final = lines[header - 1];
    EXPECT_EQ(final.rfind("info depth 10 ", 0), 0u) << final;
    const std::string variation = final.substr(final.find(" info string ") + 13);
    ASSERT_GE(variation.size(), 7u) << final;

    // The board shows the start position after side 1's reported first move.
    Position expected = ConsoleStartPosition;
    MakeMove(1, expected, ParseNumericMove(variation.substr(0, variation.find('-')), expected));
    const Shown shown = ParseShownBoard(lines, header);
    EXPECT_EQ(0, std::memcmp(shown.board, expected.board, sizeof shown.board));
    for (int side = 0; side < 2; ++side)
        for (int slot = 0; slot < HandSlots; ++slot)
            EXPECT_EQ(shown.hand[side][slot], expected.hand[side][slot]) << side << slot;
}

}  // namespace
}  // namespace mirabel
