#include "thermo/list_lookup.h"

#include <gtest/gtest.h>

#include "bench_rig.h"

namespace velgrin {
namespace {

// Two thermometers in the table as a search would leave them; no session is needed for lookups.
struct LookupTable : ::testing::Test {
    void SetUp() override {
        Put(0, {0x28, 0x3C, 0x2B, 0x1A, 0x00, 0x00, 0x00, 0xD2});
        Put(1, {0x10, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x7E});
        rig.core.FoundDev = 2;
    }
    void Put(size_t index, const std::array<int16_t, 8>& rom) {
        std::copy(rom.begin(), rom.end(), rig.core.Asens[index].ROM.begin());
    }
    testing::BenchRig rig;
};

TEST_F(LookupTable, EntryTextGivesTheTableIndex) {
    EXPECT_EQ(FindIndx1820(rig.core, "00 D20000001A2B3C28"), 0);
    EXPECT_EQ(FindIndx1820(rig.core, "01 7E06050403020110"), 1);
    // The index in the text does not matter, only the ROM text.
    EXPECT_EQ(FindIndx1820(rig.core, "07 7E06050403020110"), 1);
    EXPECT_EQ(FindIndxHLT(rig.core, "05 D20000001A2B3C28"), 0);
}

TEST_F(LookupTable, Hex2RomFillsTheRomFieldFamilyFirst) {
    rig.core.ROM[8] = 99;
    ASSERT_TRUE(Hex2Rom(rig.core, "7E06050403020110"));
    EXPECT_EQ(rig.core.ROM, (std::array<int16_t, 9>{0x10, 1, 2, 3, 4, 5, 6, 0x7E, 0}));
}

TEST_F(LookupTable, OnlyDevicesOfTheLastSearchAreFound) {
    rig.core.FoundDev = 1;
    EXPECT_EQ(FindIndx1820(rig.core, "01 7E06050403020110"), -1);
}

TEST_F(LookupTable, TextsThatHoldNoRomTextFindNothing) {
    EXPECT_EQ(FindIndx1820(rig.core, ""), -1);
    EXPECT_EQ(FindIndx1820(rig.core, "00 "), -1);
    EXPECT_EQ(FindIndx1820(rig.core, "00 D20000001A2B3C2"), -1);
    EXPECT_EQ(FindIndx1820(rig.core, "00 d20000001a2b3c28"), -1);
    EXPECT_EQ(FindIndx1820(rig.core, "00 D20000001A2B3CZ8"), -1);
    EXPECT_EQ(FindIndx1820(rig.core, "00 D20000-01A2B3C28"), -1);
}

TEST_F(LookupTable, RejectedTextLeavesTheRomFieldAlone) {
    ASSERT_TRUE(Hex2Rom(rig.core, "7E06050403020110"));
    const auto before = rig.core.ROM;
    EXPECT_FALSE(Hex2Rom(rig.core, "7e06050403020110"));
    EXPECT_FALSE(Hex2Rom(rig.core, "7E0605040302011"));
    EXPECT_EQ(rig.core.ROM, before);
}

TEST(ListEntryIndex, FirstTwoCharactersAreTheIndex) {
    EXPECT_EQ(ListEntryIndex("00 D20000001A2B3C28"), 0);
    EXPECT_EQ(ListEntryIndex("42 D20000001A2B3C28"), 42);
    EXPECT_EQ(ListEntryIndex("7"), 7);
    EXPECT_THROW(ListEntryIndex("ab 123"), ListIndexError);
    EXPECT_THROW(ListEntryIndex("-1 D20000001A2B3C28"), ListIndexError);
    EXPECT_THROW(ListEntryIndex("4x"), ListIndexError);
}

}  // namespace
}  // namespace velgrin
