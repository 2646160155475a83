// The transposition table: one entry per slot, depth-preferred replacement, halves by side.
#include <algorithm>
#include <new>

#include "search/search.h"

namespace mirabel {

TranspositionTable::TranspositionTable(std::size_t megabytes) {
    if (megabytes == DefaultMegabytes || !Resize(megabytes))
        entries.reset(new TableEntry[2 * Half]());
}

bool TranspositionTable::Resize(std::size_t megabytes) {
    const bool startingSize = megabytes == DefaultMegabytes;
    const std::size_t wanted = (megabytes << 20) / (2 * sizeof(TableEntry));
    const std::size_t halfSlots =
        startingSize ? Half : std::clamp<std::size_t>(wanted, 1, 0x7FFFFFFF);
    TableEntry* fresh = new (std::nothrow) TableEntry[2 * halfSlots]();
    if (fresh == nullptr) return false;
    entries.reset(fresh);
    half = static_cast<std::uint32_t>(halfSlots);
    scaled = !startingSize;
    return true;
}

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
    std::fill(entries.get(), entries.get() + SlotCount(), TableEntry{});
}

}  // namespace mirabel
