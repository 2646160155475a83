// The transposition table: one entry per slot, depth-preferred replacement, halves by side.
#include <algorithm>

#include "search/search.h"

namespace mirabel {

TranspositionTable::TranspositionTable() : entries(new TableEntry[2 * Half]()) {}

bool TranspositionTable::Probe(int side, std::uint32_t keyLo, std::uint32_t keyHi, int alpha,
                               int beta, int depth, TableEntry*& slot) {
    slot = &SlotOf(side, keyLo);
    if (slot->keyLo != keyLo || slot->keyHi != keyHi) return false;
    if (depth > slot->depth) return false;
    if (slot->score <= alpha && slot->bound == BoundUpper) return true;
    if (slot->bound == BoundExact) return true;
    return slot->score >= beta && slot->bound == BoundLower;
}

void TranspositionTable::Store(int side, std::uint32_t keyLo, std::uint32_t keyHi, int depth,
                               const Move& best, int score, int bound) {
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

void TranspositionTable::Clear() {
    std::fill(entries.get(), entries.get() + 2 * Half, TableEntry{});
}

}  // namespace mirabel
