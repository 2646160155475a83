// Board display of the console game: the position as CSA-style text, with every square whose
// contents changed since the previous board drawn in the highlight colour.
#include <cstdio>

#include "console/console.h"
#include "platform/platform.h"

namespace mirabel {

namespace {

// Hand entries by hand slot (P L N S G B R); printed from the rook slot down.
constexpr const char* HandEntries[HandSlots] = {"00FU", "00KY", "00KE", "00GI",
                                                "00KI", "00KA", "00HI"};

void PrintCell(int code) {
    if (code == 0)
        std::fputs(" * ", stdout);
    else
        std::printf("%c%s", code > 0 ? '+' : '-', CsaPieceName(code));
}

void PrintHand(const char* label, const std::int8_t* hand) {
    std::fputs(label, stdout);
    for (int slot = HandSlots - 1; slot >= 0; --slot)
        for (int count = 0; count < hand[slot]; ++count) std::fputs(HandEntries[slot], stdout);
    std::fputs("\n", stdout);
}

}  // namespace

void BoardDisplay::PrintRank(const Position& position, int row) const {
    std::printf("P%d", row + 1);
    for (int col = 0; col < 9; ++col) {
        const int sq = row * 9 + col;
        // Row labels and line ends keep whatever attribute the cell before them set.
        text_.Set(position.board[sq] != last_.board[sq] ? TextAttribute::Highlight
                                                        : TextAttribute::Normal);
        PrintCell(position.board[sq]);
    }
    std::fputs("\n", stdout);
}

void BoardDisplay::Show(const Position& position) {
    text_.Set(TextAttribute::Normal);
    if (first_) {
        last_ = position;
        first_ = false;
    }
    std::fputs("   9  8  7  6  5  4  3  2  1\n", stdout);
    for (int row = 0; row < 9; ++row) PrintRank(position, row);
    PrintHand("P+", position.hand[0]);
    PrintHand("P-", position.hand[1]);
    last_ = position;
    text_.Set(TextAttribute::Normal);
}

}  // namespace mirabel
