// Shared set-up of the search tests: the game tables, positions from SFEN, a search run the way
// "go" runs it with its report lines captured, and the full-rules legality of a move.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "movegen/movegen.h"
#include "platform/platform.h"
#include "search/search.h"

namespace mirabel::test {

constexpr std::uint32_t NoTimeLimit = 0xFFFFFFFFu;

// Builds the geometry tables and hash keys once per process.
inline void EnsureGameTables() {
    static const bool built = (NewGame(), true);
    (void)built;
}

// Sets the game position from `sfen` with its material; returns the side to move.
inline int SetGamePosition(const char* sfen) {
    EnsureGameTables();
    int side = 0;
    std::string error;
    EXPECT_TRUE(ReadSfen(sfen, GamePosition, side, error)) << sfen << ": " << error;
    GamePosition.material = MaterialBalance(0, GamePosition);
    return side;
}

// Every process-wide table a test could depend on, back to a known state.
inline void ResetSearchState() {
    EnsureGameTables();
    ClearTable();
    SeedOrderingRandom(1);
    ClearHistory();
    ClearMoveTables();
    NodeCount = 0;
    TimeOver = 0;
    SearchTimeLimit = NoTimeLimit;
    SearchStartTick = TickCount();
}

struct SearchOutcome {
    int score;
    Move move;
    std::string report;  // everything the search printed
};

// Searches the game position for `side` with the resets of "go", up to `plies`.
inline SearchOutcome SearchGame(int side, int plies, std::uint32_t timeLimit = NoTimeLimit) {
    NodeCount = 0;
    SearchTimeLimit = timeLimit;
    ClearMoveTables();
    TimeOver = 0;
    ClearHistory();
    GamePosition.material = MaterialBalance(0, GamePosition);
    testing::internal::CaptureStdout();
    SearchStartTick = TickCount();
    const int score = IterativeDeepening(side, -ScoreInfinity, ScoreInfinity, plies * OnePly, 0, 0);
    SearchOutcome outcome{score, PvTable[0][0], testing::internal::GetCapturedStdout()};
    return outcome;
}

inline bool SamePosition(const Position& a, const Position& b) {
    return std::memcmp(a.board, b.board, sizeof a.board) == 0 &&
           std::memcmp(a.hand, b.hand, sizeof a.hand) == 0 &&
           std::memcmp(a.kingSquare, b.kingSquare, sizeof a.kingSquare) == 0 &&
           a.hashKey == b.hashKey && a.material == b.material;
}

// Whether `move` is legal for `side` under the full rules of shogi.
inline bool IsLegalMove(int side, const Position& position, const Move& move) {
    static Move legal[MoveListSize];
    const int count = GenerateLegalMoves(side, position, legal);
    for (int i = 0; i < count; ++i)
        if (SameMove(legal[i], move) && (move.from < 0 || legal[i].piece == move.piece))
            return true;
    return false;
}

// Whether `side`, to move, is checkmated.
inline bool IsMated(int side, const Position& position) {
    return InCheckNow(side, position) && !HasLegalMove(side, position);
}

}  // namespace mirabel::test
