// The solver's transposition table: clusters of four entries per board, hands compared by
// superiority, the entry with the smallest subtree given up first.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "mate/mate.h"

namespace mirabel {

namespace {

// Whether hand `a` holds at least as many of every kind as hand `b`.
bool Includes(const std::int8_t* a, const std::int8_t* b) {
    for (int slot = 0; slot < HandSlots; ++slot)
        if (a[slot] < b[slot]) return false;
    return true;
}

bool SameHand(const std::int8_t* a, const std::int8_t* b) {
    return std::memcmp(a, b, HandSlots) == 0;
}

}  // namespace

namespace {

// The table's memory comes zeroed from the system, which gives a large block as untouched
// pages: a new table costs nothing until it is used. Its slots start at a 2 MiB boundary, so
// that on Linux the kernel may back them with huge pages, which spares the solver a page-table
// walk at nearly every look-up.
constexpr std::size_t HugePage = std::size_t{2} << 20;

}  // namespace

void MateTable::FreeMemory::operator()(void* memory) const {
    std::free(memory);
}

MateTable::MateTable(std::size_t megabytes) {
    if (!Resize(megabytes)) Resize(1);
}

bool MateTable::Resize(std::size_t megabytes) {
    // A power of two of clusters, as many as the MiB hold.
    const std::size_t bytes = megabytes << 20;
    std::size_t clusters = 1;
    while (clusters * 2 * ClusterSize * sizeof(MateEntry) <= bytes) clusters *= 2;
    const std::size_t size = clusters * ClusterSize * sizeof(MateEntry);
    std::unique_ptr<void, FreeMemory> memory(std::calloc(size + HugePage, 1));
    if (!memory) return false;
    const auto address = reinterpret_cast<std::uintptr_t>(memory.get());
    char* aligned = static_cast<char*>(memory.get()) + (HugePage - address % HugePage) % HugePage;
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    madvise(aligned, size, MADV_HUGEPAGE);
#endif
    memory_ = std::move(memory);
    slots_ = reinterpret_cast<MateEntry*>(aligned);
    clusterMask_ = clusters - 1;
    megabytes_ = megabytes;
    return true;
}

void MateTable::Clear() {
    std::memset(static_cast<void*>(slots_), 0,
                (clusterMask_ + 1) * ClusterSize * sizeof(MateEntry));
}

MateProbe MateTable::Probe(std::uint64_t boardKey, const std::int8_t* hand, std::uint8_t generation,
                           ProbeMode mode) const {
    MateProbe probe;
    std::uint32_t leastDn = 0;  // the bound the entries for smaller hands set
    const MateEntry* cluster = Cluster(boardKey);
    for (int i = 0; i < ClusterSize; ++i) {
        const MateEntry& entry = cluster[i];
        if (entry.boardKey != boardKey) continue;
        const bool current = entry.flags >> GenerationShift == (generation & 63);
        const bool dependent = (entry.flags & PathDependent) != 0;
        if (entry.pn == 0 && Includes(hand, entry.hand)) {
            probe.found = true;
            probe.pn = 0;
            probe.dn = MateInfinite;
            probe.length = entry.length;
            probe.pathDependent = false;
            std::memcpy(probe.hand, entry.hand, HandSlots);
            return probe;
        }
        // A disproof resting on a repetition holds only within the solve that found it.
        if (entry.dn == 0 && Includes(entry.hand, hand) &&
            (!dependent || (mode.trustDependent && current))) {
            probe.found = true;
            probe.pn = MateInfinite;
            probe.dn = 0;
            probe.pathDependent = dependent;
            std::memcpy(probe.hand, entry.hand, HandSlots);
            // A clean disproof is final; go on looking only to trade a dependent one for it.
            if (!dependent) return probe;
            continue;
        }
        // Numbers of an unsettled node are the estimates of one solve: another problem's
        // search may have driven them far from what this one needs.
        if (!current || entry.pn == 0 || entry.dn == 0) continue;
        if (SameHand(hand, entry.hand)) {
            if (probe.dn == 0) continue;
            probe.found = true;
            probe.pn = entry.pn;
            probe.dn = entry.dn;
        } else if (mode.otherHands && Includes(hand, entry.hand)) {
            leastDn = std::max(leastDn, entry.dn);
        }
    }
    if (probe.pn != 0 && probe.dn != 0) probe.dn = std::max(probe.dn, leastDn);
    return probe;
}

MateEntry* MateTable::Find(std::uint64_t boardKey, const std::int8_t* hand) {
    MateEntry* cluster = Cluster(boardKey);
    for (int i = 0; i < ClusterSize; ++i)
        if (cluster[i].boardKey == boardKey && SameHand(cluster[i].hand, hand)) return &cluster[i];
    return nullptr;
}

void MateTable::Store(std::uint64_t boardKey, const std::int8_t* hand, const MateProbe& result,
                      std::uint32_t work, std::uint8_t generation) {
    MateEntry* slot = Find(boardKey, hand);
    if (slot == nullptr) {
        // The empty slot, else the one with the smallest subtree; a proof is kept over an
        // unsettled entry of the same size.
        MateEntry* cluster = Cluster(boardKey);
        slot = &cluster[0];
        for (int i = 0; i < ClusterSize; ++i) {
            MateEntry& entry = cluster[i];
            if (entry.boardKey == 0) {
                slot = &entry;
                break;
            }
            const bool settled = entry.pn == 0 || entry.dn == 0;
            const bool slotSettled = slot->pn == 0 || slot->dn == 0;
            if (entry.work < slot->work || (entry.work == slot->work && slotSettled && !settled))
                slot = &entry;
        }
        *slot = MateEntry{};
        slot->boardKey = boardKey;
        std::memcpy(slot->hand, hand, HandSlots);
        slot->exact = NoLength;
    } else if (slot->pn == 0 && result.pn != 0) {
        return;  // a proof stays a proof
    }
    if ((result.pn == 0 || result.dn == 0) && !SameHand(slot->hand, result.hand)) {
        // A proof needs less than the hand it was found with, a disproof holds for more: the
        // entry speaks of that hand from now on, and an exact length worked out for the hand
        // it was found with is dropped.
        std::memcpy(slot->hand, result.hand, HandSlots);
        slot->exact = NoLength;
    }
    slot->pn = result.pn;
    slot->dn = result.dn;
    slot->length = result.length;
    slot->work = static_cast<std::uint16_t>(
        std::max<std::uint32_t>(slot->work, std::min<std::uint32_t>(work, 0xFFFF)));
    slot->flags = static_cast<std::uint8_t>((result.pathDependent ? PathDependent : 0) |
                                            (generation & 63) << GenerationShift);
}

}  // namespace mirabel
