// The search's entry and its iterative deepening, with the reports it makes.
#include "search/search.h"

namespace mirabel {

void Search::ClearMoveTables() {
    for (auto& row : pv)
        for (Move& move : row) move.from = NoMove;
    for (Move& move : killer1) move.from = NoMove;
    for (Move& move : killer2) move.from = NoMove;
}

void Search::Report(int score, bool final) {
    SearchReport report{};
    report.depth = iterationDepth;
    report.score = score;
    report.nodes = nodes;
    report.elapsedMs = TickCount() - startTick;
    while (report.pvLength < PvShown && pv[0][report.pvLength].from != NoMove) {
        report.pv[report.pvLength] = pv[0][report.pvLength];
        ++report.pvLength;
    }
    report.final = final;
    sink.Report(report);
}

int Search::Run(const Position& start, int side, const SearchLimits& limits) {
    if (!limits.keepTables) {
        nodes = 0;
        ClearMoveTables();
    }
    position = start;
    position.material = MaterialBalance(0, position);
    stopped = false;
    untilClockRead = 1;
    history.Clear();
    timeLimitMs = limits.timeLimitMs;
    startTick = TickCount();
    return IterativeDeepening(side, limits.maxDepth * OnePly);
}

int Search::IterativeDeepening(int side, int maxDepth) {
    Move best = NoMoveRecord;
    pv[0][0] = best;
    int bestScore = -ScoreInfinity;
    for (int depth = 3 * OnePly; depth <= maxDepth; depth += OnePly) {
        iterationDepth = depth / OnePly;
        const int result = AlphaBeta(side, -ScoreInfinity, ScoreInfinity, depth, 0, false);
        if (stopped) break;
        bestScore = result;
        best = pv[0][0];
    }
    Report(bestScore, true);
    pv[0][0] = best;
    return bestScore;
}

}  // namespace mirabel
