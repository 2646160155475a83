// The search's entry and its iterative deepening, with the reports it makes.
#include <algorithm>

#include "search/search.h"

namespace mirabel {

void Search::ClearMoveTables() {
    for (auto& row : pv)
        for (Move& move : row) move.from = NoMove;
    for (Move& move : killer1) move.from = NoMove;
    for (Move& move : killer2) move.from = NoMove;
}

void Search::Report(int score, bool final) {
    // Helpers do not report; a group's last report comes from the group once all have stopped.
    if (group != nullptr && (final || groupIndex > 0)) return;
    SearchReport report{};
    report.depth = iterationDepth;
    report.score = score;
    report.nodes = TotalNodes();
    report.elapsedMs = Now() - startTick;
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
    publishedNodes = nodes;
    position = start;
    position.material = MaterialBalance(0, position);
    stopped = overtaken = false;
    untilClockRead = 1;
    history.Clear();
    time = {limits.softLimitMs, limits.timeLimitMs};
    nodeLimit = limits.nodeLimit;
    control = limits.control;
    startTick = group != nullptr ? group->startTick : Now();
    SetFinished(FinishedIteration{0, -ScoreInfinity, {}, 0});
    lastAsked = NoTimeLimit;  // the first clock test asks the control at once
    return IterativeDeepening(side, limits.maxDepth * OnePly);
}

bool Search::ReadClock() {
    if (group != nullptr) return ReadGroupClock();
    const std::uint32_t elapsed = Now() - startTick;
    if (control != nullptr && elapsed != lastAsked) {
        lastAsked = elapsed;
        if (!control->KeepSearching(elapsed, time)) stopped = true;
    }
    if (elapsed > time.hardMs || (nodeLimit != 0 && nodes >= nodeLimit)) stopped = true;
    return stopped;
}

// The variation of the iteration just finished, kept apart from the one the next iteration
// builds.
void Search::KeepFinished(int score) {
    FinishedIteration iteration{iterationDepth, score, {}, 0};
    while (iteration.pvLength < PvShown && pv[0][iteration.pvLength].from != NoMove) {
        iteration.pv[iteration.pvLength] = pv[0][iteration.pvLength];
        ++iteration.pvLength;
    }
    SetFinished(iteration);
}

int Search::IterativeDeepening(int side, int maxDepth) {
    Move best = NoMoveRecord;
    pv[0][0] = best;
    int bestScore = -ScoreInfinity;
    maxIterationPlies = maxDepth / OnePly;
    // Iterations from three plies up; a shallower limit gets one iteration at that depth.
    for (int depth = std::max(OnePly, std::min(3 * OnePly, maxDepth)); depth <= maxDepth;
         depth += OnePly) {
        if (group != nullptr && SkipsIteration(depth / OnePly, maxDepth / OnePly)) continue;
        iterationDepth = depth / OnePly;
        if (static_cast<std::uint32_t>(Now() - startTick) > time.softMs) stopped = true;
        const int result = AlphaBeta(side, -ScoreInfinity, ScoreInfinity, depth, 0, false);
        if (overtaken && !group->stop.load(std::memory_order_relaxed)) {
            overtaken = stopped = false;  // on to an iteration no search has finished yet
            continue;
        }
        if (stopped) break;
        bestScore = result;
        best = pv[0][0];
        KeepFinished(result);
    }
    if (group != nullptr) PublishNodes();
    Report(bestScore, true);
    pv[0][0] = best;
    return bestScore;
}

}  // namespace mirabel
