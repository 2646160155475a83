// The transposition table: one entry per slot, depth-preferred replacement, halves by side. A
// slot's words are relaxed atomics, and its key word is checked against all of its data.
#include "search/table.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace mirabel {

namespace {

// The slots are never const objects: a probe only reads them.
std::uint64_t Load(const std::uint64_t& word) {
    return std::atomic_ref<std::uint64_t>(const_cast<std::uint64_t&>(word))
        .load(std::memory_order_relaxed);
}

void Write(std::uint64_t& word, std::uint64_t value) {
    std::atomic_ref<std::uint64_t>(word).store(value, std::memory_order_relaxed);
}

std::uint64_t KeyOf(std::uint32_t keyLo, std::uint32_t keyHi) {
    return keyLo | std::uint64_t{keyHi} << 32;
}

// Words 1 to 4 of an entry, the padding zero.
void Pack(const TableEntry& entry, std::uint64_t (&words)[TableSlot::Words]) {
    words[1] = static_cast<std::uint32_t>(entry.score) |
               std::uint64_t{static_cast<std::uint8_t>(entry.depth)} << 32 |
               std::uint64_t{static_cast<std::uint8_t>(entry.bound)} << 40;
    unsigned char moves[3 * sizeof(std::uint64_t)] = {};
    std::memcpy(moves, &entry.best, sizeof(Move));
    std::memcpy(moves + sizeof(Move), &entry.previous, sizeof(Move));
    std::memcpy(&words[2], moves, sizeof moves);
    words[0] = KeyOf(entry.keyLo, entry.keyHi) ^ words[1] ^ words[2] ^ words[3] ^ words[4];
}

TableEntry Unpack(const std::uint64_t (&words)[TableSlot::Words]) {
    TableEntry entry{};
    const std::uint64_t key = words[0] ^ words[1] ^ words[2] ^ words[3] ^ words[4];
    entry.keyLo = static_cast<std::uint32_t>(key);
    entry.keyHi = static_cast<std::uint32_t>(key >> 32);
    entry.score = static_cast<std::int32_t>(static_cast<std::uint32_t>(words[1]));
    entry.depth = static_cast<std::int8_t>(words[1] >> 32);
    entry.bound = static_cast<std::int8_t>(words[1] >> 40);
    unsigned char moves[3 * sizeof(std::uint64_t)];
    std::memcpy(moves, &words[2], sizeof moves);
    std::memcpy(&entry.best, moves, sizeof(Move));
    std::memcpy(&entry.previous, moves + sizeof(Move), sizeof(Move));
    return entry;
}

}  // namespace

TranspositionTable::TranspositionTable(std::size_t megabytes) {
    if (megabytes == DefaultMegabytes || !Resize(megabytes)) slots.reset(new TableSlot[2 * Half]());
}

bool TranspositionTable::Resize(std::size_t megabytes) {
    const bool startingSize = megabytes == DefaultMegabytes;
    const std::size_t wanted = (megabytes << 20) / (2 * sizeof(TableSlot));
    const std::size_t halfSlots =
        startingSize ? Half : std::clamp<std::size_t>(wanted, 1, 0x7FFFFFFF);
    TableSlot* fresh = new (std::nothrow) TableSlot[2 * halfSlots]();
    if (fresh == nullptr) return false;
    slots.reset(fresh);
    half = static_cast<std::uint32_t>(halfSlots);
    scaled = !startingSize;
    return true;
}

TableEntry TranspositionTable::Read(const TableSlot& slot) {
    std::uint64_t words[TableSlot::Words];
    for (int i = 0; i < TableSlot::Words; ++i) words[i] = Load(slot.word[i]);
    return Unpack(words);
}

bool TranspositionTable::Probe(int side, std::uint32_t keyLo, std::uint32_t keyHi, int alpha,
                               int beta, int depth, TableEntry& entry) const {
    entry = Read(SlotOf(side, keyLo));
    if (entry.keyLo != keyLo || entry.keyHi != keyHi) return false;
    if (depth > entry.depth) return false;
    if (entry.score <= alpha && entry.bound == BoundUpper) return true;
    if (entry.bound == BoundExact) return true;
    return entry.score >= beta && entry.bound == BoundLower;
}

void TranspositionTable::Store(int side, std::uint32_t keyLo, std::uint32_t keyHi, int depth,
                               const Move& best, int score, int bound) {
    TableSlot& slot = SlotOf(side, keyLo);
    const TableEntry old = Read(slot);
    if (old.depth > depth) return;
    TableEntry entry{};
    entry.keyLo = keyLo;
    entry.keyHi = keyHi;
    entry.score = score;
    entry.depth = static_cast<std::int8_t>(depth);
    entry.bound = static_cast<std::int8_t>(bound);
    entry.best = best;
    entry.previous = old.best;
    std::uint64_t words[TableSlot::Words];
    Pack(entry, words);
    for (int i = 0; i < TableSlot::Words; ++i) Write(slot.word[i], words[i]);
}

void TranspositionTable::Clear() {
    std::fill(slots.get(), slots.get() + SlotCount(), TableSlot{});
}

}  // namespace mirabel
