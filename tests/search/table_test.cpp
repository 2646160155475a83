// The transposition table: which slot a key takes, depth-preferred replacement with the
// previous best move kept, and when a probe hits.
#include "search_test_support.h"

namespace mirabel::test {
namespace {

constexpr std::uint32_t KeyLo = 0x1234ABCDu;
constexpr std::uint32_t KeyHi = 0x0BADF00Du;

Move TableMove(int to) {
    return BoardMove(60, to, Rook, 0);
}

TableEntry* SlotFor(int side, std::uint32_t keyLo, std::uint32_t keyHi) {
    TableEntry* slot = nullptr;
    ProbeTable(side, keyLo, keyHi, -ScoreInfinity, ScoreInfinity, 0, slot);
    return slot;
}

TEST(TranspositionTable, KeysShareASlotByBitsZeroToFifteenAndEighteenAndBySide) {
    ClearTable();
    TableEntry* slot = SlotFor(0, KeyLo, KeyHi);
    EXPECT_EQ(slot, &TranspositionTable[KeyLo & 0x4FFFFu]);
    EXPECT_EQ(SlotFor(0, KeyLo ^ 0x00030000u, KeyHi), slot);  // bits 16 and 17 ignored
    EXPECT_EQ(SlotFor(0, KeyLo ^ 0xFFF80000u, 1), slot);      // and the bits above 18
    EXPECT_NE(SlotFor(0, KeyLo ^ 0x00040000u, KeyHi), slot);  // bit 18 counts
    EXPECT_EQ(SlotFor(1, KeyLo, KeyHi), slot + TableHalf);    // gote's half
}

TEST(TranspositionTable, ADeeperEntryStaysAndTheOldBestBecomesThePrevious) {
    ClearTable();
    StoreTable(0, KeyLo, KeyHi, 20, TableMove(1), 50, BoundExact);
    // Shallower, for another key in the same slot: nothing changes.
    StoreTable(0, KeyLo ^ 0x00010000u, KeyHi + 1, 16, TableMove(2), 60, BoundLower);
    TableEntry* slot = SlotFor(0, KeyLo, KeyHi);
    EXPECT_EQ(slot->keyHi, KeyHi);
    EXPECT_EQ(slot->depth, 20);
    EXPECT_EQ(slot->score, 50);
    EXPECT_TRUE(SameMove(slot->best, TableMove(1)));
    // Equal depth replaces, whatever position held the slot; its best move moves on.
    StoreTable(0, KeyLo ^ 0x00010000u, KeyHi + 1, 20, TableMove(2), 60, BoundLower);
    EXPECT_EQ(slot->keyLo, KeyLo ^ 0x00010000u);
    EXPECT_EQ(slot->keyHi, KeyHi + 1);
    EXPECT_EQ(slot->bound, BoundLower);
    EXPECT_TRUE(SameMove(slot->best, TableMove(2)));
    EXPECT_TRUE(SameMove(slot->previous, TableMove(1)));
    StoreTable(0, KeyLo, KeyHi, 24, TableMove(3), -70, BoundUpper);
    EXPECT_TRUE(SameMove(slot->best, TableMove(3)));
    EXPECT_TRUE(SameMove(slot->previous, TableMove(2)));
    EXPECT_EQ(slot->score, -70);
    EXPECT_EQ(slot->depth, 24);
}

TEST(TranspositionTable, AProbeHitsOnlyADeepEnoughEntryOfItsKeyWithAUsableBound) {
    ClearTable();
    TableEntry* slot = nullptr;
    StoreTable(0, KeyLo, KeyHi, 20, TableMove(1), 100, BoundExact);
    EXPECT_TRUE(ProbeTable(0, KeyLo, KeyHi, 300, 301, 20, slot));  // exact: any window
    EXPECT_TRUE(ProbeTable(0, KeyLo, KeyHi, -500, -400, 16, slot));
    EXPECT_FALSE(ProbeTable(0, KeyLo, KeyHi, -500, 500, 24, slot));  // too shallow...
    EXPECT_TRUE(SameMove(slot->best, TableMove(1)));                 // ...but its move is given
    // Same slot, other upper key half: never a hit, though the slot is handed over.
    EXPECT_FALSE(ProbeTable(0, KeyLo, KeyHi ^ 1u, -500, 500, 0, slot));
    EXPECT_TRUE(SameMove(slot->best, TableMove(1)));
    EXPECT_FALSE(ProbeTable(1, KeyLo, KeyHi, -500, 500, 0, slot));  // the other side's half

    ClearTable();
    StoreTable(0, KeyLo, KeyHi, 20, TableMove(1), 100, BoundUpper);  // at most 100
    EXPECT_TRUE(ProbeTable(0, KeyLo, KeyHi, 100, 200, 20, slot));
    EXPECT_FALSE(ProbeTable(0, KeyLo, KeyHi, 99, 200, 20, slot));
    ClearTable();
    StoreTable(0, KeyLo, KeyHi, 20, TableMove(1), 100, BoundLower);  // at least 100
    EXPECT_TRUE(ProbeTable(0, KeyLo, KeyHi, 0, 100, 20, slot));
    EXPECT_FALSE(ProbeTable(0, KeyLo, KeyHi, 0, 101, 20, slot));
    ClearTable();
}

}  // namespace
}  // namespace mirabel::test
