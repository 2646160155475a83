// "go": one fixed-budget search of the game position for the side to move, then the move found
// is played on the game position.
#include "search/search.h"
#include "usi/usi.h"

namespace mirabel {

const char* GoCommand() {
    const int side = GamePly % 2;
    SearchGamePosition(side, UsiTimeLimit, UsiMaxDepth);
    const Move chosen = PvTable[0][0];
    if (chosen.from != NoMove) {
        MakeMove(side, GamePosition, chosen);
        ++GamePly;
    }
    return MoveToUsi(chosen);
}

}  // namespace mirabel
