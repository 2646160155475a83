// Console self-play: the engine plays both sides of a game from a fixed middle-game position,
// shows the board after every move and waits for one character of input before the next search.
#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "search/search.h"
#include "usi/usi.h"

namespace mirabel {

// Rows a to i from the top, files 9 to 1 from the left; side 1 moves first.
const Position ConsoleStartPosition = {
    {
        0,  0,  11,  -4, 0,  -5, 0,  -3, -2,   // a
        13, 14, -3,  0,  -8, 0,  -4, 0,  0,    // b
        -2, 0,  -1,  -1, -1, -1, 0,  0,  -1,   // c
        -1, 0,  0,   0,  0,  0,  -1, -1, 0,    // d
        0,  0,  1,   0,  0,  0,  0,  0,  0,    // e
        1,  0,  0,   0,  0,  1,  0,  0,  0,    // f
        2,  0,  0,   0,  0,  0,  1,  1,  1,    // g
        0,  0,  -10, 0,  0,  0,  4,  -5, -14,  // h
        8,  0,  0,   0,  0,  6,  0,  3,  0,    // i
    },
    {{3, 0, 0, 1, 1, 0, 0}, {1, 0, 0, 0, 1, 0, 0}},  // hands by slot P L N S G B R
    {72, 13},
    0,
    0,
};

namespace {

constexpr int ConsoleMoveLimit = 128;
constexpr int ConsoleMaxDepth = 10 * OnePly;
constexpr std::uint32_t ConsoleTimeLimit = 1000000;

// Puts the fixed position into the game position. The killer slots and the principal-variation
// table are left as they are, and the node count runs on over the whole game.
void SetUpConsoleGame() {
    NewGame();
    std::memcpy(GamePosition.board, ConsoleStartPosition.board, sizeof GamePosition.board);
    std::memcpy(GamePosition.hand, ConsoleStartPosition.hand, sizeof GamePosition.hand);
    NodeCount = 0;
    GamePly = 0;
    FindKingSquares(GamePosition);
    ComputeHashKey(GamePosition);
}

// Searches the game position for `side`; false when the search found no move to play.
bool SearchConsoleMove(int side) {
    ClearHistory();
    TimeOver = 0;
    GamePosition.material = MaterialBalance(0, GamePosition);
    SearchStartTick = TickCount();
    SearchTimeLimit = ConsoleTimeLimit;
    IterativeDeepening(side, -ScoreInfinity, ScoreInfinity, ConsoleMaxDepth, 0, 0);
    return PvTable[0][0].from != NoMove;
}

// Waits for one character, after making sure everything printed so far is on the screen.
int WaitForKey() {
    std::fflush(stdout);
    return std::getchar();
}

// Plays up to the move limit, one move per character read; returns at the end of input.
void PlayConsoleMoves() {
    int side = 1;
    for (int moveCount = 0; moveCount < ConsoleMoveLimit; ++moveCount) {
        if (!SearchConsoleMove(side)) break;
        const Move move = PvTable[0][0];
        MakeMove(side, GamePosition, move);
        ShowBoard(GamePosition);
        side = 1 - side;
        // Once input has ended every read returns at once: the game would run on unpaced.
        if (WaitForKey() == EOF) return;
    }
    WaitForKey();
}

}  // namespace

void ConsoleGame() {
    SetUpConsoleGame();
    PlayConsoleMoves();
    RestoreTextAttributes();
    std::fflush(stdout);
}

}  // namespace mirabel
