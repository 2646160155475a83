// The parallel search: the helper threads, their schedule of iterations, the group's stop flag
// and node count, and the choice of the answer among the searches.
#include "search/threads.h"

#include <algorithm>
#include <new>
#include <system_error>
#include <thread>

namespace mirabel {

namespace {

// Which iterations a helper skips: helper i (from 1) takes row (i - 1) % 20 and skips the
// iterations d with (d + phase) / size odd. The first two helpers take the even and the odd
// depths, the next ones runs of two, three and four depths at different phases, so that the
// helpers spread over the depths around the main search's instead of all searching one.
constexpr int ScheduleRows = 20;
constexpr int SkipSize[ScheduleRows] = {1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3, 4, 4, 4, 4, 4, 4, 4, 4};
constexpr int SkipPhase[ScheduleRows] = {0, 1, 0, 1, 2, 3, 0, 1, 2, 3,
                                         4, 5, 0, 1, 2, 3, 4, 5, 6, 7};

// Each helper's ordering draws its own random sequence.
std::uint32_t HelperSeed(int index) {
    return 1u + static_cast<std::uint32_t>(index) * 0x9E3779B9u;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The group's side of one search
// ---------------------------------------------------------------------------------------------

// In a group the main search reads the others' iterations while they may still run.
void Search::SetFinished(const FinishedIteration& iteration) {
    if (group == nullptr) {
        finished = iteration;
        return;
    }
    const std::lock_guard<std::mutex> lock(group->results);
    finished = iteration;
    if (iteration.depth > group->deepest.load(std::memory_order_relaxed))
        group->deepest.store(iteration.depth, std::memory_order_relaxed);
}

void Search::JoinGroup(SearchGroupState* groupState, int index) {
    group = groupState;
    groupIndex = index;
}

std::uint64_t Search::TotalNodes() const {
    if (group == nullptr) return nodes;
    return group->nodes.load(std::memory_order_relaxed) + (nodes - publishedNodes);
}

void Search::PublishNodes() {
    group->nodes.fetch_add(nodes - publishedNodes, std::memory_order_relaxed);
    publishedNodes = nodes;
}

// In a group no search starts an iteration that another has already finished: the table holds
// that one's results, and the answer comes from the deepest iteration any search finished.
bool Search::SkipsIteration(int plies, int maxPlies) const {
    if (group->deepest.load(std::memory_order_relaxed) >= plies) return true;
    if (!IsHelper() || plies >= maxPlies) return false;  // every helper finishes with the deepest
    const int row = (groupIndex - 1) % ScheduleRows;
    return (plies + SkipPhase[row]) / SkipSize[row] % 2 != 0;
}

// The clock test of a search in a group. The main search asks its control and sets the stop
// flag; a helper follows the flag, and checks the main search's time limit itself, so that the
// group stops on time even when the main search waits for a core.
bool Search::ReadGroupClock() {
    const std::uint32_t elapsed = TickCount() - startTick;
    PublishNodes();
    const std::uint64_t limit = group->nodeLimit;
    const bool counted = limit != 0 && group->nodes.load(std::memory_order_relaxed) >= limit;
    if (IsHelper()) {
        if (counted || elapsed > group->hardMs.load(std::memory_order_relaxed))
            group->stop.store(true, std::memory_order_relaxed);
        stopped = group->stop.load(std::memory_order_relaxed);
        return stopped || Overtaken();
    }
    if (control != nullptr && elapsed != lastAsked) {
        lastAsked = elapsed;
        if (!control->KeepSearching(elapsed, time)) stopped = true;
    }
    group->hardMs.store(time.hardMs, std::memory_order_relaxed);
    if (elapsed > time.hardMs || counted || group->stop.load(std::memory_order_relaxed))
        stopped = true;
    if (stopped) group->stop.store(true, std::memory_order_relaxed);
    return stopped || Overtaken();
}

// Whether another search of the group finished the iteration under way: this one then leaves
// it for the next (the main search ends once the deepest asked for is finished).
bool Search::Overtaken() {
    const int deepest = group->deepest.load(std::memory_order_relaxed);
    if (deepest < iterationDepth) return false;
    if (!IsHelper() && deepest >= maxIterationPlies)
        group->stop.store(true, std::memory_order_relaxed);
    overtaken = stopped = true;
    return true;
}

// ---------------------------------------------------------------------------------------------
// The helper threads
// ---------------------------------------------------------------------------------------------

struct SearchThreads::Helper {
    std::unique_ptr<Search> search;
    std::thread thread;
    bool quit = false;  // under the mutex
};

SearchThreads::SearchThreads(TranspositionTable& sharedTable, ReportSink& reportSink)
    : table(sharedTable), sink(reportSink), main(std::make_unique<Search>(table, sink)) {}

SearchThreads::~SearchThreads() {
    SetCount(1);
}

bool SearchThreads::SetCount(int count) {
    Join();
    count = std::clamp(count, 1, MaxThreads);
    while (Count() > count) {
        Helper& last = *helpers.back();
        {
            const std::lock_guard<std::mutex> lock(mutex);
            last.quit = true;
        }
        wake.notify_all();
        last.thread.join();
        helpers.pop_back();
    }
    bool started = true;
    while (started && Count() < count) {
        try {
            auto helper = std::make_unique<Helper>();
            const int index = Count();
            helper->search = std::make_unique<Search>(table, sink);
            helper->search->JoinGroup(&state, index);
            helper->search->SeedOrdering(HelperSeed(index));
            // The helper waits for the searches after this moment's.
            helper->thread =
                std::thread([this, h = helper.get(), seen = generation] { HelperLoop(*h, seen); });
            helpers.push_back(std::move(helper));
        } catch (const std::system_error&) {
            started = false;
        } catch (const std::bad_alloc&) {
            started = false;
        }
    }
    main->JoinGroup(helpers.empty() ? nullptr : &state, 0);
    return started;
}

void SearchThreads::HelperLoop(Helper& helper, std::uint64_t seen) {
    for (;;) {
        Position start{};
        int side = 0;
        int maxDepth = 0;
        {
            std::unique_lock<std::mutex> lock(mutex);
            wake.wait(lock, [&] { return helper.quit || generation != seen; });
            if (helper.quit) return;
            seen = generation;
            start = root;
            side = rootSide;
            maxDepth = rootMaxDepth;
        }
        helper.search->Run(start, side, SearchLimits{NoTimeLimit, maxDepth});
        const std::lock_guard<std::mutex> lock(mutex);
        if (--running == 0) finished.notify_one();
    }
}

// ---------------------------------------------------------------------------------------------
// One search of the group
// ---------------------------------------------------------------------------------------------

void SearchThreads::StartHelpers(const Position& start, int side, const SearchLimits& limits) {
    Join();
    state.stop.store(false, std::memory_order_relaxed);
    state.hardMs.store(limits.timeLimitMs, std::memory_order_relaxed);
    state.nodes.store(0, std::memory_order_relaxed);
    state.deepest.store(0, std::memory_order_relaxed);
    state.nodeLimit = limits.nodeLimit;
    state.startTick = TickCount();
    {
        const std::lock_guard<std::mutex> lock(mutex);
        root = start;
        rootSide = side;
        rootMaxDepth = limits.maxDepth;
        running = static_cast<int>(helpers.size());
        ++generation;
    }
    wake.notify_all();
}

void SearchThreads::Join() {
    if (helpers.empty()) return;
    state.stop.store(true, std::memory_order_relaxed);
    std::unique_lock<std::mutex> lock(mutex);
    finished.wait(lock, [&] { return running == 0; });
}

// The answer is chosen as soon as the main search stops, without waiting for the helpers to
// see the stop flag: on a loaded machine a helper may wait for a core, the answer need not.
int SearchThreads::Run(const Position& start, int side, const SearchLimits& limits) {
    helperAnswers = false;
    if (helpers.empty()) return main->Run(start, side, limits);
    StartHelpers(start, side, limits);
    const int score = main->Run(start, side, limits);
    state.stop.store(true, std::memory_order_relaxed);
    ChooseAnswer();
    ReportAnswer();
    return answer.depth > 0 ? answer.score : score;
}

// The deepest finished iteration answers: it has seen furthest. At equal depth the main search
// does, whose variations the front end has been shown, and among helpers the higher score.
void SearchThreads::ChooseAnswer() {
    const std::lock_guard<std::mutex> lock(state.results);
    answer = main->Finished();
    for (const auto& helper : helpers) {
        const FinishedIteration& candidate = helper->search->Finished();
        if (candidate.depth > answer.depth ||
            (candidate.depth == answer.depth && helperAnswers && candidate.score > answer.score)) {
            answer = candidate;
            helperAnswers = true;
        }
    }
}

// The group's last report: the chosen iteration with the nodes of every search so far.
void SearchThreads::ReportAnswer() {
    const FinishedIteration& iteration = answer;
    SearchReport report{};
    report.depth = iteration.depth;
    report.score = iteration.score;
    report.nodes = Nodes();
    report.elapsedMs = TickCount() - state.startTick;
    std::copy(iteration.pv, iteration.pv + iteration.pvLength, report.pv);
    report.pvLength = iteration.pvLength;
    report.final = true;
    sink.Report(report);
}

const Move& SearchThreads::BestMove() const {
    return helperAnswers && answer.pvLength > 0 ? answer.pv[0] : main->BestMove();
}

std::uint64_t SearchThreads::Nodes() const {
    if (helpers.empty()) return main->Nodes();
    return state.nodes.load(std::memory_order_relaxed);  // every search has added all of its own
}

}  // namespace mirabel
