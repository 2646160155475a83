// The transposition table: one entry per slot, depth-preferred replacement, one half per side to
// move. Several searches on several threads may probe and store at once: every word of a slot is
// read and written as a relaxed atomic, and the slot's key word carries the key XOR the other
// words, so an entry half written by one thread and half by another fails its key check.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <type_traits>

#include "position/position.h"

namespace mirabel {

enum Bound : std::int8_t { BoundExact = 0, BoundUpper = 1, BoundLower = -1 };

// An entry as the search sees it, read out of its slot.
struct TableEntry {
    std::uint32_t keyLo;
    std::uint32_t keyHi;
    std::int32_t score;
    std::int8_t depth;
    std::int8_t bound;
    Move best;
    Move previous;
};
static_assert(sizeof(TableEntry) == 40);
static_assert(std::is_trivially_copyable_v<TableEntry>);

// An entry as the table holds it: word 0 is the key XOR words 1 to 4; word 1 holds score, depth
// and bound; words 2 to 4 the two moves.
struct alignas(8) TableSlot {
    static constexpr int Words = 5;
    std::uint64_t word[Words];
};
static_assert(sizeof(TableSlot) == sizeof(TableEntry));
static_assert(std::is_trivially_copyable_v<TableSlot>);

// The engine's starting table has 0x50000 slots a half, indexed by the low key bits under a mask
// that reaches 2^17 of them; a table of another size is indexed by the key's scaled value and
// uses every slot.
class TranspositionTable {
  public:
    static constexpr std::uint32_t Half = 0x50000;
    static constexpr std::uint32_t IndexMask = 0x4FFFF;
    static constexpr std::size_t DefaultMegabytes = 2 * Half * sizeof(TableSlot) >> 20;
    static_assert(DefaultMegabytes << 20 == 2 * Half * sizeof(TableSlot));

    // A table of `megabytes` MiB, every entry zero; the starting size when that much memory
    // cannot be had.
    explicit TranspositionTable(std::size_t megabytes = DefaultMegabytes);

    // A new empty table of about `megabytes` MiB (the starting one at its own size); false,
    // with the table unchanged, when the memory cannot be had. Only while nothing searches.
    bool Resize(std::size_t megabytes);

    // True on a hit. `entry` is what the slot for (side, keyLo) holds in every case: on a miss
    // its moves may belong to another position (or to none, in a torn slot), so they serve
    // only to order moves that were generated here.
    bool Probe(int side, std::uint32_t keyLo, std::uint32_t keyHi, int alpha, int beta, int depth,
               TableEntry& entry) const;
    void Store(int side, std::uint32_t keyLo, std::uint32_t keyHi, int depth, const Move& best,
               int score, int bound);
    void Clear();  // only while nothing searches

    TableSlot& SlotOf(int side, std::uint32_t keyLo) const {
        const std::uint64_t wideKey = keyLo;
        const std::uint32_t index =
            scaled ? static_cast<std::uint32_t>(wideKey * half >> 32) : keyLo & IndexMask;
        return slots[index + static_cast<std::uint32_t>(side) * half];
    }
    // The entry a slot holds, its key as written when its words agree.
    static TableEntry Read(const TableSlot& slot);
    std::size_t SlotCount() const { return 2 * std::size_t{half}; }
    // Starts loading the entry for (side, keyLo) into the cache, so that the wait for it
    // overlaps other work before the probe.
    void Prefetch(int side, std::uint32_t keyLo) const {
        const char* slot = reinterpret_cast<const char*>(&SlotOf(side, keyLo));
        __builtin_prefetch(slot);
        __builtin_prefetch(slot + sizeof(TableSlot) - 1);
    }

  private:
    std::unique_ptr<TableSlot[]> slots;
    std::uint32_t half = Half;
    bool scaled = false;
};

}  // namespace mirabel
