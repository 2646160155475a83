// The parallel search: the answer, the summed nodes and the last report of a group; one search
// left alone walks today's tree again; the table under writers on several threads. The suites
// are named Threads* and run under ThreadSanitizer in CI.
#include "search/threads.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace mirabel::test {
namespace {

class RecordingSink final : public ReportSink {
  public:
    std::vector<SearchReport> reports;
    void Report(const SearchReport& report) override { reports.push_back(report); }
};

const char* const Middle =
    "l4s1n1/1k6l/ns1p1g1pp/ppr1p1g2/2b3pP1/PP1PP4/N1K2PP1P/6G1B/L1SGS2NL b 2Prp 99";

Position Read(const char* sfen, int& side) {
    Position position{};
    std::string error;
    EXPECT_TRUE(ReadSfen(sfen, position, side, error)) << error;
    position.material = MaterialBalance(0, position);
    return position;
}

bool Legal(const Position& position, int side, const Move& move) {
    static Move legal[MoveListSize];
    const int count = GenerateLegalMoves(side, position, legal);
    return std::any_of(legal, legal + count, [&](const Move& m) { return SameMove(m, move); });
}

TEST(ThreadsSearch, AGroupAnswersItsDeepestIterationWithEveryNodeCounted) {
    int side = 0;
    const Position position = Read(Middle, side);
    for (const int count : {2, 4}) {
        const auto table = std::make_unique<TranspositionTable>();
        RecordingSink sink;
        SearchThreads threads(*table, sink);
        ASSERT_TRUE(threads.SetCount(count));
        EXPECT_EQ(threads.Count(), count);
        for (const int plies : {1, 5}) {
            sink.reports.clear();
            const int score = threads.Run(position, side, SearchLimits{NoTimeLimit, plies});
            EXPECT_TRUE(Legal(position, side, threads.BestMove())) << count;
            // One last report, of the answer's iteration at the depth asked, after every
            // search has stopped: the nodes of the helpers are in it.
            ASSERT_FALSE(sink.reports.empty());
            const SearchReport& last = sink.reports.back();
            EXPECT_TRUE(last.final && last.depth == plies && last.score == score);
            EXPECT_TRUE(last.pvLength > 0 && SameMove(last.pv[0], threads.BestMove()));
            if (plies > 1) {
                EXPECT_GT(last.nodes, threads.MainNodes()) << "the helpers searched too";
            }
            threads.Join();
            EXPECT_GE(threads.Nodes(), last.nodes);
            for (std::size_t i = 0; i + 1 < sink.reports.size(); ++i)
                EXPECT_FALSE(sink.reports[i].final);
        }
    }
}

TEST(ThreadsSearch, StopsOnTheMainSearchsClockAndOnItsNodeCount) {
    int side = 0;
    const Position position = Read(Middle, side);
    const auto table = std::make_unique<TranspositionTable>();
    RecordingSink sink;
    SearchThreads threads(*table, sink);
    ASSERT_TRUE(threads.SetCount(3));
    const std::uint32_t start = TickCount();
    threads.Run(position, side, SearchLimits{200, MaxIterationPlies});
    EXPECT_LT(TickCount() - start, 1000u);
    EXPECT_TRUE(threads.TimedOut() && Legal(position, side, threads.BestMove()));
    SearchLimits counted{NoTimeLimit, MaxIterationPlies};
    counted.nodeLimit = 20000;
    threads.Run(position, side, counted);
    threads.Join();
    // The limit counts every search's nodes; each has at most a clock test's worth to go.
    EXPECT_GE(threads.Nodes(), 20000u);
    EXPECT_LT(threads.Nodes(), 20000u + 3 * 4096u) << threads.MainNodes();
}

// A group cut back to one search is the search alone again, node for node.
TEST(ThreadsSearch, BackToOneThreadTheSameTreeAsASearchAlone) {
    int side = 0;
    const Position position = Read(Middle, side);
    const auto table = std::make_unique<TranspositionTable>();
    RecordingSink alone, grouped;
    const auto search = std::make_unique<Search>(*table, alone);
    search->Run(position, side, SearchLimits{NoTimeLimit, 5});
    table->Clear();
    SearchThreads threads(*table, grouped);
    ASSERT_TRUE(threads.SetCount(4) && threads.SetCount(1));
    threads.Run(position, side, SearchLimits{NoTimeLimit, 5});
    EXPECT_EQ(threads.Nodes(), search->Nodes());
    ASSERT_EQ(grouped.reports.size(), alone.reports.size());
    for (std::size_t i = 0; i < alone.reports.size(); ++i)
        EXPECT_EQ(grouped.reports[i].nodes, alone.reports[i].nodes);
}

// Writers on several threads store entries whose every field follows from the key; whatever a
// probe hits must be one whole entry, never fields of two. A small table keeps them colliding.
TEST(ThreadsTable, ConcurrentWritersNeverLeaveAMixedEntryThatHits) {
    const auto table = std::make_unique<TranspositionTable>(1);
    constexpr int Writers = 4;
    constexpr std::uint32_t Keys = 4096;
    std::atomic<int> mixed{0}, hits{0};
    const auto work = [&](std::uint32_t seed) {
        std::uint32_t state = seed;
        for (int i = 0; i < 200000; ++i) {
            state = state * 1664525u + 1013904223u;
            const std::uint32_t key = (state >> 8) % Keys;
            const std::uint32_t lo = key * 0x9E3779B1u, hi = key ^ 0xA5A5A5A5u;
            const int value = static_cast<int>(key);
            if ((state & 1) != 0) {
                const Move move = BoardMove(static_cast<int>(key % 81), static_cast<int>(key / 81),
                                            1 + static_cast<int>(key % 13), 0);
                table->Store(static_cast<int>(key & 1), lo, hi, static_cast<int>(key % 100), move,
                             value, BoundExact);
            } else {
                TableEntry entry{};
                if (!table->Probe(static_cast<int>(key & 1), lo, hi, -1, 1, 0, entry)) continue;
                ++hits;
                if (entry.score != value || entry.depth != static_cast<int>(key % 100) ||
                    entry.best.from != static_cast<int>(key % 81) ||
                    entry.best.to != static_cast<int>(key / 81))
                    ++mixed;
            }
        }
    };
    std::vector<std::thread> writers;
    for (int w = 0; w < Writers; ++w)
        writers.emplace_back(work, 17u + static_cast<std::uint32_t>(w));
    for (std::thread& writer : writers) writer.join();
    EXPECT_GT(hits.load(), 0);
    EXPECT_EQ(mixed.load(), 0);
}

// A position is busy while a mark for it lasts, for its side to move only; a search leaving a
// slot that another position has taken over since leaves that one's mark alone.
TEST(ThreadsBusy, APositionIsBusyWhileMarkedAndOnlyForItsSide) {
    BusyPositions busy;
    const std::uint64_t key = BusyPositions::KeyOf(0, 0x123456789ABCDEF0u);
    EXPECT_NE(key, BusyPositions::KeyOf(1, 0x123456789ABCDEF0u));
    {
        const BusyMark mark(&busy, key);
        EXPECT_TRUE(busy.Busy(key));
        EXPECT_FALSE(busy.Busy(BusyPositions::KeyOf(1, 0x123456789ABCDEF0u)));
    }
    EXPECT_FALSE(busy.Busy(key));
    const std::uint64_t sameSlot = key ^ 0x2;  // differs only in bits the slot index ignores
    busy.Enter(key);
    busy.Enter(sameSlot);
    busy.Leave(key);
    EXPECT_TRUE(busy.Busy(sameSlot));
}

}  // namespace
}  // namespace mirabel::test
