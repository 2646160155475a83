// The parallel search: one main search on the caller's thread and helper searches of the same
// root on threads of their own, all sharing one transposition table, which is how they help
// each other. The helper threads are made once and wait for work between searches.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "search/search.h"

namespace mirabel {

class SearchThreads {
  public:
    static constexpr int MaxThreads = 256;

    // One search, the main one, reporting to `sink`; no helper thread yet.
    SearchThreads(TranspositionTable& table, ReportSink& sink);
    ~SearchThreads();  // ends and joins the helper threads
    SearchThreads(const SearchThreads&) = delete;
    SearchThreads& operator=(const SearchThreads&) = delete;

    // Makes or ends helper threads so that `count` searches (1 to MaxThreads) run at once;
    // false, with as many as could be started, when a thread cannot be. Between searches only.
    bool SetCount(int count);
    int Count() const { return 1 + static_cast<int>(helpers.size()); }

    // Searches as Search::Run does, the helpers alongside the main search until it stops, and
    // returns once the main search has stopped; the helpers stop within a few hundred nodes.
    // With one thread this is the main search's Run alone, node for node.
    int Run(const Position& start, int side, const SearchLimits& limits);
    // Waits until every helper has stopped (every call that needs it makes it too).
    void Join();

    // The move of the deepest iteration any search finished (see ChooseAnswer); the no-move marker
    // when none finished.
    const Move& BestMove() const;
    std::uint64_t Nodes() const;  // over all the searches, all of it once joined
    std::uint64_t MainNodes() const { return main->Nodes(); }
    bool TimedOut() const { return main->TimedOut(); }

  private:
    struct Helper;

    TranspositionTable& table;
    ReportSink& sink;
    SearchGroupState state;
    std::unique_ptr<Search> main;
    std::vector<std::unique_ptr<Helper>> helpers;

    // The job the helpers take when `generation` moves on, and how many are still at it.
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable finished;
    std::uint64_t generation = 0;
    int running = 0;
    Position root{};
    int rootSide = 0;
    int rootMaxDepth = 0;

    FinishedIteration answer{};  // the iteration that answered the last search
    bool helperAnswers = false;  // a helper's, rather than the main search's own

    void HelperLoop(Helper& helper, std::uint64_t seen);
    void StartHelpers(const Position& start, int side, const SearchLimits& limits);
    void ChooseAnswer();
    void ReportAnswer();
};

}  // namespace mirabel
