// The transposition table: one entry per slot, depth-preferred replacement, halves by side.
#include <cstring>

#include "search/search.h"

namespace mirabel {

TableEntry TranspositionTable[2 * TableHalf];

namespace {

inline TableEntry& SlotOf(int side, std::uint32_t keyLo) {
    return TranspositionTable[(keyLo & TableMask) + static_cast<std::uint32_t>(side) * TableHalf];
}

}  // namespace

bool ProbeTable(int side, std::uint32_t keyLo, std::uint32_t keyHi, int alpha, int beta, int depth,
                TableEntry*& slot) {
    slot = &SlotOf(side, keyLo);
    if (slot->keyLo != keyLo || slot->keyHi != keyHi) return false;
    if (depth > slot->depth) return false;
    if (slot->score <= alpha && slot->bound == BoundUpper) return true;
    if (slot->bound == BoundExact) return true;
    return slot->score >= beta && slot->bound == BoundLower;
}

void StoreTable(int side, std::uint32_t keyLo, std::uint32_t keyHi, int depth, const Move& best,
                int score, int bound) {
    TableEntry& slot = SlotOf(side, keyLo);
    if (slot.depth > depth) return;
    slot.depth = static_cast<std::int8_t>(depth);
    slot.previous = slot.best;
    slot.keyHi = keyHi;
    slot.best = best;
    slot.keyLo = keyLo;
    slot.score = score;
    slot.bound = static_cast<std::int8_t>(bound);
}

void ClearTable() {
    std::memset(TranspositionTable, 0, sizeof TranspositionTable);
}

}  // namespace mirabel
