// "go": one fixed-budget search of the game position for the side to move, then the move found
// is played on the game position.
#include "movegen/movegen.h"
#include "search/search.h"
#include "usi/usi.h"

namespace mirabel {

const char* GoCommand(int maxDepth) {
    const int side = GamePly % 2;
    SearchGamePosition(side, UsiTimeLimit, maxDepth);
    Move chosen = PvTable[0][0];
    // A search stopped before its first iteration ended still plays a legal move: the first
    // one the rules list. Only a side without any legal move resigns.
    if (chosen.from == NoMove) {
        MoveList legal;
        if (GenerateLegalMoves(side, GamePosition, legal) > 0) chosen = legal[0];
    }
    if (chosen.from != NoMove) {
        MakeMove(side, GamePosition, chosen);
        ++GamePly;
    }
    return MoveToUsi(chosen);
}

}  // namespace mirabel
