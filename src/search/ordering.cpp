// Move ordering: the ordering score with hash move, killers, history and exchange estimate,
// the portable random part, and the stable sort.
#include "search/search.h"

namespace mirabel {

Move Killer1[MaxPly];
Move Killer2[MaxPly];
std::uint16_t HistoryGood[100][SquareCount];
std::uint16_t HistoryTried[100][SquareCount];

namespace {

std::uint32_t RandomState = 1;

// Drop estimates of the node being scored, one per target square: every kind dropped on a
// square shares the same recapture sequence.
std::uint64_t ScoringNode = 1;  // never equal to a zero-filled stamp
std::uint64_t DropEstimateNode[SquareCount];
DropExchange DropEstimate[SquareCount];

// The squares the opponent attacks, marked once per node at its first capture or drop: a move
// whose target stays out of the opponent's reach has an estimate of 0 without running the
// capture sequence.
std::uint64_t AttackMapNode = 0;
bool OpponentAttacks[SquareCount];

bool TargetStaysSafe(int side, const Position& position, const Move& move) {
    if (AttackMapNode != ScoringNode) {
        MarkAttackedSquares(side, position.board, OpponentAttacks);
        AttackMapNode = ScoringNode;
    }
    return TargetStaysUnattacked(side, position.board, OpponentAttacks, move);
}

int CaptureExchangeScore(int side, Position& position, const Move& move) {
    return TargetStaysSafe(side, position, move) ? 0 : ExchangeScore(side, position, move);
}

int DropExchangeScore(int side, Position& position, const Move& move) {
    const int t = move.to;
    if (TargetStaysSafe(side, position, move)) return 0;
    if (DropEstimateNode[t] != ScoringNode) {
        DropEstimate[t] = DropExchangeOn(side, position, t);
        DropEstimateNode[t] = ScoringNode;
    }
    return DropEstimate[t].attacked ? DropEstimate[t].rest - ExchangeValue[-move.from] : 0;
}

// How often the move's squares caused a cutoff against how often they were tried; most pairs
// never did, and those skip the division.
int HistoryScore(const Move& move) {
    const int good = HistoryGood[move.from + 10][move.to];
    return good == 0 ? 0 : good * 3000 / (HistoryTried[move.from + 10][move.to] + 1);
}

}  // namespace

void BeginMoveScoring() {
    ++ScoringNode;
}

void SeedOrderingRandom(std::uint32_t state) {
    RandomState = state;
}

int OrderingRandom() {
    RandomState = RandomState * 214013u + 2531011u;
    return static_cast<int>((RandomState >> 16) & 0x7FFF);
}

void ClearHistory() {
    for (auto& row : HistoryGood)
        for (auto& counter : row) counter = 0;
    for (auto& row : HistoryTried)
        for (auto& counter : row) counter = 0;
}

void AddTried(const Move& move, int depth) {
    std::uint16_t& tried = HistoryTried[move.from + 10][move.to];
    tried = static_cast<std::uint16_t>(tried + depth);
    if (tried > 10000) {
        tried = static_cast<std::uint16_t>(tried >> 1);
        std::uint16_t& good = HistoryGood[move.from + 10][move.to];
        good = static_cast<std::uint16_t>(good >> 1);
    }
}

void AddGood(const Move& move, int depth) {
    std::uint16_t& good = HistoryGood[move.from + 10][move.to];
    good = static_cast<std::uint16_t>(good + depth);
}

int BaseScore(const Move& move, const OrderingMoves& known) {
    if (SameMove(move, known.hash)) return 100000;
    if (SameMove(move, known.second)) return 90000;
    if (SameMove(move, known.killer1)) return 15000;
    if (SameMove(move, known.killer2)) return 14850;
    if (SameMove(move, known.pv)) return 150000;
    return OrderingRandom() % 5;
}

int OrderingScore(int side, Position& position, Move& move, const OrderingMoves& known) {
    const int base = BaseScore(move, known);
    int score;
    int exchange = 0;
    bool exchangeUsed = false;
    if (position.board[move.to] != 0) {
        move.capture = 1;
        exchange = CaptureExchangeScore(side, position, move);
        exchangeUsed = true;
        score = base + exchange + 10000;
    } else {
        move.capture = 0;
        score = base + HistoryScore(move);
        if (move.from < 0) {
            exchange = DropExchangeScore(side, position, move);
            exchangeUsed = true;
            score += exchange;
        }
    }
    if (exchangeUsed && exchange < 0) score -= 3000;
    return score;
}

namespace {

// Merge buffer of the sort; a sort finishes before the search goes deeper, so one suffices.
Move SortBuffer[MoveListSize];
constexpr int SortRun = 8;

void InsertionSort(Move* moves, int count) {
    for (int i = 1; i < count; ++i) {
        const Move move = moves[i];
        int j = i;
        while (j > 0 && moves[j - 1].score < move.score) {
            moves[j] = moves[j - 1];
            --j;
        }
        moves[j] = move;
    }
}

// Merges two sorted runs; on equal scores the left run goes first, which keeps the sort stable.
void MergeRuns(const Move* left, const Move* middle, const Move* end, Move* out) {
    const Move* right = middle;
    // Written without a branch on the comparison: scores are close to random, so a branch
    // would be mispredicted about half the time.
    while (left < middle && right < end) {
        const bool takeLeft = left->score >= right->score;
        *out++ = *(takeLeft ? left : right);
        left += takeLeft;
        right += !takeLeft;
    }
    while (left < middle) *out++ = *left++;
    while (right < end) *out++ = *right++;
}

}  // namespace

namespace {

// The first moves are picked one at a time, the rest sorted at once.
constexpr int PickedMoves = 3;

// Moves the first of the best-scored moves from index on to index, shifting the moves it
// passes one place on, so their order is kept.
void PickBest(Move* moves, int count, int index) {
    int best = index;
    for (int i = index + 1; i < count; ++i)
        if (moves[i].score > moves[best].score) best = i;
    if (best == index) return;
    const Move chosen = moves[best];
    for (int i = best; i > index; --i) moves[i] = moves[i - 1];
    moves[index] = chosen;
}

}  // namespace

void PutNextInOrder(Move* moves, int count, int index) {
    if (index < PickedMoves)
        PickBest(moves, count, index);
    else if (index == PickedMoves)
        SortMoves(moves + index, count - index);
}

void SortMoves(Move* moves, int count) {
    // Bottom-up merge sort over short insertion-sorted runs: stable, and no allocation.
    for (int start = 0; start < count; start += SortRun)
        InsertionSort(moves + start, count - start < SortRun ? count - start : SortRun);
    Move* source = moves;
    Move* target = SortBuffer;
    for (int width = SortRun; width < count; width *= 2) {
        for (int lo = 0; lo < count; lo += 2 * width) {
            const int mid = lo + width < count ? lo + width : count;
            const int hi = lo + 2 * width < count ? lo + 2 * width : count;
            MergeRuns(source + lo, source + mid, source + hi, target + lo);
        }
        Move* swap = source;
        source = target;
        target = swap;
    }
    if (source != moves)
        for (int i = 0; i < count; ++i) moves[i] = source[i];
}

}  // namespace mirabel
