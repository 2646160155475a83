// "go": one fixed-budget search of the game position for the side to move, then the move found
// is played on the game position.
#include "platform/platform.h"
#include "search/search.h"
#include "usi/usi.h"

namespace mirabel {

const char* GoCommand() {
    const int side = GamePly % 2;
    NodeCount = 0;
    SearchTimeLimit = UsiTimeLimit;
    ClearMoveTables();
    TimeOver = 0;
    ClearHistory();
    GamePosition.material = MaterialBalance(0, GamePosition);
    SearchStartTick = TickCount();
    IterativeDeepening(side, -ScoreInfinity, ScoreInfinity, UsiMaxDepth, 0, 0);
    const Move chosen = PvTable[0][0];
    if (chosen.from != NoMove) {
        MakeMove(side, GamePosition, chosen);
        ++GamePly;
    }
    return MoveToUsi(chosen);
}

}  // namespace mirabel
