// "go": one fixed-budget search of the game position for the side to move, then the move found
// is played on the game position.
#include "search/search.h"
#include "usi/usi.h"

namespace mirabel {

namespace {

// The engine's one search, with its table and its report lines on standard output; both live
// on from one "go" to the next, as does the ordering's random sequence.
Search& EngineSearch() {
    static TranspositionTable table;
    static TextReportSink sink(stdout);
    static Search search(table, sink);
    return search;
}

}  // namespace

const char* GoCommand() {
    const int side = GamePly % 2;
    Search& search = EngineSearch();
    search.Run(GamePosition, side, SearchLimits{UsiTimeLimit, UsiMaxDepth});
    const Move chosen = search.BestMove();
    if (chosen.from != NoMove) {
        MakeMove(side, GamePosition, chosen);
        ++GamePly;
    }
    return MoveToUsi(chosen);
}

}  // namespace mirabel
