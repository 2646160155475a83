// Temporary: replaced by the real search.
#include "search/search.h"

namespace mirabel {
std::uint32_t SearchStartTick = 0;
std::uint32_t SearchTimeLimit = 0;
int TimeOver = 0;
std::uint64_t NodeCount = 0;
int IterationDepth = 0;
Move PvTable[MaxPly][MaxPly];
Move Killer1[MaxPly];
Move Killer2[MaxPly];
std::uint16_t HistoryGood[100][SquareCount];
std::uint16_t HistoryTried[100][SquareCount];
void ClearHistory() {}
void ClearMoveTables() {}
int IterativeDeepening(int, int, int, int, int, int) { PvTable[0][0] = NoMoveRecord; return -ScoreInfinity; }
}  // namespace mirabel
