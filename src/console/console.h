// Console module: the engine's self-play demonstration game in a text console and the board
// display it draws after every move.
#pragma once

#include "platform/platform.h"
#include "position/position.h"

namespace mirabel {

// The fixed middle-game position the console game starts from, side 1 (gote) to move.
inline constexpr const char* ConsoleStartSfen =
    "2+Ns1g1nl/+B+Rn1k1s2/l1pppp2p/p5pp1/2P6/P4P3/L5PPP/2+l3Sg+r/K4B1N1 w GS3Pgp 1";

// Plays the console game on standard input and output until it ends or input ends.
void ConsoleGame();

// Prints boards as CSA-style text on standard output, the squares changed since the previous
// board highlighted (none on the first).
class BoardDisplay {
  public:
    explicit BoardDisplay(const ConsoleText& text) : text_(text) {}
    void Show(const Position& position);

  private:
    const ConsoleText& text_;
    Position last_{};  // the board shown before; only its squares are compared
    bool first_ = true;

    void PrintRank(const Position& position, int row) const;
};

}  // namespace mirabel
