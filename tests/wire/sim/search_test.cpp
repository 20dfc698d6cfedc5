#include <gtest/gtest.h>

#include <algorithm>

#include "sim_test_bench.h"
#include "wire/sim/sim_ds18b20.h"

namespace velgrin::sim {
namespace {

RomCode Rom(uint8_t family, uint64_t serial) {
    RomCode rom{family};
    for (size_t i = 1; i <= 6; ++i) {
        rom[i] = static_cast<uint8_t>(serial >> (8 * (i - 1)));
    }
    return WithRomCrc(rom);
}

void ExpectEachFoundOnce(testing::SimTestBench& t, std::vector<RomCode> expected) {
    auto found = t.search();
    std::sort(found.begin(), found.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(found, expected);
}

TEST(SimSearch, FindsEveryDeviceOnceWhateverTheirCodesShare) {
    VirtualClock clock;
    testing::SimTestBench t{clock};
    std::vector<RomCode> roms;
    // Serials that differ only in their top bit, share long prefixes, or are all zero.
    for (uint64_t serial : {0ull, 1ull << 47, 0x7FFFFFFFFFFFull, 0x7FFFFFFFFFFEull,
                            0x0000FF000000ull, 0x0000FF000001ull}) {
        roms.push_back(Rom(0x28, serial));
    }
    roms.push_back(Rom(0x10, 0));
    roms.push_back(Rom(0x26, 0));
    roms.push_back(Rom(0x01, 0));
    for (const auto& rom : roms) {
        t.add<Ds18b20Device>(rom);
    }
    ExpectEachFoundOnce(t, roms);
}

TEST(SimSearch, ManyDevicesAreAllFound) {
    VirtualClock clock;
    testing::SimTestBench t{clock};
    std::vector<RomCode> roms;
    for (uint64_t i = 0; i < 40; ++i) {
        roms.push_back(Rom(0x28, i * 0x010101));
        t.add<PlainRomDevice>(roms.back());
    }
    ExpectEachFoundOnce(t, roms);
}

TEST(SimSearch, ReadRomWorksOnASingleDevice) {
    VirtualClock clock;
    testing::SimTestBench t{clock};
    const auto rom = Rom(0x81, 0x24A1C3);
    t.add<PlainRomDevice>(rom, "DS1420");
    ASSERT_EQ(*t.link.reset(), ResetOutcome::Presence);
    t.touch({0x33});
    const auto bytes = t.read(8);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), rom.begin()));
}

TEST(SimSearch, DeviceWithAWrongCrcIsNeverReported) {
    VirtualClock clock;
    testing::SimTestBench t{clock};
    auto rom = Rom(0x28, 5);
    rom[7] ^= 1;
    t.add<PlainRomDevice>(rom);
    EXPECT_TRUE(t.search().empty());
}

}  // namespace
}  // namespace velgrin::sim
