// Console self-play: the engine plays both sides of a game from a fixed middle-game position,
// shows the board after every move and waits for one character of input before the next search.
#include <cstdio>
#include <memory>
#include <string>

#include "console/console.h"
#include "platform/platform.h"
#include "search/search.h"

namespace mirabel {

namespace {

constexpr int ConsoleMoveLimit = 128;
// Every search goes ten plies deep; the clock never stops it. The node count, the variation
// table and the killers run on over the whole game.
constexpr SearchLimits ConsoleLimits{1000000, 10, true};

// Waits for one character, after making sure everything printed so far is on the screen.
int WaitForKey() {
    std::fflush(stdout);
    return std::getchar();
}

// Plays up to the move limit from `position`, one move per character read; returns at the end
// of input.
void PlayConsoleMoves(Search& search, BoardDisplay& display, Position& position, int side) {
    for (int moveCount = 0; moveCount < ConsoleMoveLimit; ++moveCount) {
        search.Run(position, side, ConsoleLimits);
        const Move move = search.BestMove();
        if (move.from == NoMove) break;
        MakeMove(side, position, move);
        display.Show(position);
        side = 1 - side;
        // Once input has ended every read returns at once: the game would run on unpaced.
        if (WaitForKey() == EOF) return;
    }
    WaitForKey();
}

}  // namespace

void ConsoleGame() {
    Position position{};
    int side = 0;
    std::string error;
    ReadSfen(ConsoleStartSfen, position, side, error);
    auto table = std::make_unique<TranspositionTable>();
    TextReportSink sink(stdout);
    auto search = std::make_unique<Search>(*table, sink);
    const ConsoleText text;
    BoardDisplay display(text);
    PlayConsoleMoves(*search, display, position, side);
    text.Restore();
    std::fflush(stdout);
}

}  // namespace mirabel
