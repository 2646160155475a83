// The table's size: the starting table is exactly the one the engine always had, and a table of
// any other size uses every one of its slots.
#include <gtest/gtest.h>

#include <memory>

#include "search/search.h"

namespace mirabel {
namespace {

TEST(TableSize, TheStartingTableAndOthersThatUseEverySlot) {
    const auto table = std::make_unique<TranspositionTable>();
    EXPECT_EQ(TranspositionTable::DefaultMegabytes, 25u);
    EXPECT_EQ(table->SlotCount(), 2u * 0x50000);
    // The starting index keeps bits 0-15 and 18 of the key: slots 0x10000-0x3FFFF stay unused.
    EXPECT_EQ(&table->SlotOf(0, 0xFFFFFFFF) - &table->SlotOf(0, 0), 0x4FFFF);
    EXPECT_EQ(&table->SlotOf(1, 0x12345) - &table->SlotOf(0, 0x12345), 0x50000);

    for (const std::size_t megabytes : {std::size_t{1}, std::size_t{24}, std::size_t{26}}) {
        ASSERT_TRUE(table->Resize(megabytes));
        const std::size_t half = table->SlotCount() / 2;
        EXPECT_EQ(half, (megabytes << 20) / (2 * sizeof(TableEntry))) << megabytes;
        // The key's scaled value reaches the first and the last slot of each half.
        TableEntry* first = &table->SlotOf(0, 0);
        EXPECT_EQ(&table->SlotOf(0, 0xFFFFFFFF) - first, static_cast<std::ptrdiff_t>(half - 1));
        EXPECT_EQ(&table->SlotOf(1, 0) - first, static_cast<std::ptrdiff_t>(half));
        EXPECT_EQ(&table->SlotOf(1, 0xFFFFFFFF) - first, static_cast<std::ptrdiff_t>(2 * half - 1));
        // A resized table starts empty and keeps what is stored in it.
        TableEntry* slot = nullptr;
        EXPECT_FALSE(table->Probe(0, 77, 88, -5, 5, 4, slot));
        table->Store(0, 77, 88, 8, NoMoveRecord, 3, BoundExact);
        EXPECT_TRUE(table->Probe(0, 77, 88, -5, 5, 8, slot));
        EXPECT_EQ(slot->score, 3);
    }
    ASSERT_TRUE(table->Resize(TranspositionTable::DefaultMegabytes));
    EXPECT_EQ(table->SlotCount(), 2u * 0x50000);
    EXPECT_EQ(&table->SlotOf(0, 0xFFFFFFFF) - &table->SlotOf(0, 0), 0x4FFFF);
}

}  // namespace
}  // namespace mirabel
