// Iterative deepening, the search report and the numeric move text it prints.
#include <cstdio>

#include "platform/platform.h"
#include "search/search.h"

namespace mirabel {

int IterationDepth = 0;

namespace {

int FileOf(int sq) {
    return 9 - sq % 9;
}
int RankOf(int sq) {
    return sq / 9 + 1;
}

}  // namespace

void ClearMoveTables() {
    for (auto& row : PvTable)
        for (Move& move : row) move.from = NoMove;
    for (Move& move : Killer1) move.from = NoMove;
    for (Move& move : Killer2) move.from = NoMove;
}

const char* MoveNumericText(const Move& move) {
    static char text[32];
    if (move.from < 0) {
        std::snprintf(text, sizeof text, "00%d%d%s", FileOf(move.to), RankOf(move.to),
                      CsaPieceName(-move.from));
    } else {
        std::snprintf(text, sizeof text, move.promote ? "%d%d%d%d%s!" : "%d%d%d%d%s",
                      FileOf(move.from), RankOf(move.from), FileOf(move.to), RankOf(move.to),
                      CsaPieceName(move.piece));
    }
    return text;
}

// One report line: depth, score and nodes, then up to ten moves of the root variation.
void ReportSearch(int score) {
    char variation[256];
    int length = 0;
    variation[0] = '\0';
    for (int i = 0; i < PvShown && PvTable[0][i].from != NoMove; ++i)
        length +=
            std::snprintf(variation + length, sizeof variation - static_cast<unsigned>(length),
                          "%s-", MoveNumericText(PvTable[0][i]));
    std::printf("info depth %d score cp %d nodes %llu ", IterationDepth, score,
                static_cast<unsigned long long>(NodeCount));
    std::printf("info string %s\n", variation);
}

int SearchGamePosition(int side, std::uint32_t timeLimit, int maxDepth) {
    NodeCount = 0;
    SearchTimeLimit = timeLimit;
    ClearMoveTables();
    TimeOver = 0;
    ClearHistory();
    GamePosition.material = MaterialBalance(0, GamePosition);
    SearchStartTick = TickCount();
    return IterativeDeepening(side, -ScoreInfinity, ScoreInfinity, maxDepth, 0, 0);
}

int IterativeDeepening(int side, int alpha, int beta, int maxDepth, int ply, int noNull) {
    Move best = NoMoveRecord;
    PvTable[ply][ply] = best;
    int bestScore = -ScoreInfinity;
    for (int depth = 3 * OnePly; depth <= maxDepth; depth += OnePly) {
        IterationDepth = depth / OnePly;
        const int result = AlphaBeta(side, alpha, beta, depth, ply, noNull);
        if (TimeOver) break;
        bestScore = result;
        best = PvTable[ply][ply];
    }
    if (ply == 0) ReportSearch(bestScore);
    PvTable[ply][ply] = best;
    return bestScore;
}

}  // namespace mirabel
