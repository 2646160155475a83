// The stable sort of move lists by descending score, whole or picked one move at a time.
#include "search/ordering.h"

namespace mirabel {

namespace {

constexpr int SortRun = 16;

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

int PickBest(Move* moves, int count, int index) {
    // Kept in registers and chosen without a branch: which score is higher is close to random.
    int best = index;
    int bestScore = moves[index].score;
    for (int i = index + 1; i < count; ++i) {
        const int score = moves[i].score;
        const bool higher = score > bestScore;
        best = higher ? i : best;
        bestScore = higher ? score : bestScore;
    }
    if (best == index) return index;
    const Move chosen = moves[best];
    for (int i = best; i > index; --i) moves[i] = moves[i - 1];
    moves[index] = chosen;
    return best;
}

namespace {

// Stable sort by descending score: a bottom-up merge sort over short insertion-sorted runs,
// with its merge buffer on the stack.
void MergeSortMoves(Move* moves, int count) {
    Move buffer[MoveListSize];
    for (int start = 0; start < count; start += SortRun)
        InsertionSort(moves + start, count - start < SortRun ? count - start : SortRun);
    Move* source = moves;
    Move* target = buffer;
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

}  // namespace

void SortMoves(Move* moves, int count) {
    // Most moves score only the random part, 0 to 4: they are placed by counting, in their
    // order, and only the others are sorted. Those above 4 come first, those below 0 last.
    constexpr int Small = 5;
    Move others[MoveListSize];
    int otherCount = 0;
    int smallCount[Small] = {};
    for (int i = 0; i < count; ++i) {
        const unsigned score = static_cast<unsigned>(moves[i].score);
        if (score < Small)
            ++smallCount[score];
        else
            others[otherCount++] = moves[i];
    }
    if (otherCount == count) {
        MergeSortMoves(moves, count);
        return;
    }
    MergeSortMoves(others, otherCount);
    int higher = 0;
    while (higher < otherCount && others[higher].score >= Small) ++higher;
    // Where each small score's moves start.
    int next[Small];
    int position = higher;
    for (int score = Small - 1; score >= 0; --score) {
        next[score] = position;
        position += smallCount[score];
    }
    Move sorted[MoveListSize];
    for (int i = 0; i < count; ++i) {
        const unsigned score = static_cast<unsigned>(moves[i].score);
        if (score < Small) sorted[next[score]++] = moves[i];
    }
    for (int i = 0; i < higher; ++i) sorted[i] = others[i];
    for (int i = higher; i < otherCount; ++i) sorted[position + i - higher] = others[i];
    for (int i = 0; i < count; ++i) moves[i] = sorted[i];
}

}  // namespace mirabel
