// The positions the searches of a group are in the middle of, so that a search can leave a
// move whose position another search is already working on for the end of its list: by the
// time it comes back, the table usually holds the other's result. Each slot holds one key;
// a later search of another position in the same slot overwrites it, which only costs a
// deferral more or less, never a wrong result.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace mirabel {

class BusyPositions {
  public:
    static constexpr int Slots = 1 << 14;

    // The key of the position `side` is to move in with board and hands `hashKey`.
    static std::uint64_t KeyOf(int side, std::uint64_t hashKey) {
        return (hashKey ^ (side != 0 ? 0x9E3779B97F4A7C15u : 0)) | 1u;  // never 0, the free mark
    }
    void Enter(std::uint64_t key) { SlotOf(key).store(key, std::memory_order_relaxed); }
    void Leave(std::uint64_t key) {
        std::uint64_t expected = key;
        SlotOf(key).compare_exchange_strong(expected, 0, std::memory_order_relaxed);
    }
    bool Busy(std::uint64_t key) const {
        return slots[IndexOf(key)].load(std::memory_order_relaxed) == key;
    }

  private:
    std::array<std::atomic<std::uint64_t>, Slots> slots{};
    // The key's high half picks the slot: its low bit is always set.
    static std::size_t IndexOf(std::uint64_t key) { return (key >> 32) & (Slots - 1); }
    std::atomic<std::uint64_t>& SlotOf(std::uint64_t key) { return slots[IndexOf(key)]; }
};

// Marks a search's position busy for as long as the search of it lasts; marks nothing when
// `busy` is null (a search alone).
class BusyMark {
  public:
    BusyMark(BusyPositions* busy, std::uint64_t key) : positions(busy), mark(key) {
        if (positions != nullptr) positions->Enter(mark);
    }
    ~BusyMark() {
        if (positions != nullptr) positions->Leave(mark);
    }
    BusyMark(const BusyMark&) = delete;
    BusyMark& operator=(const BusyMark&) = delete;

  private:
    BusyPositions* positions;
    std::uint64_t mark;
};

}  // namespace mirabel
