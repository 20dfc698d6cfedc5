#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "bench_rig.h"
#include "wire/network.h"
#include "wire/sim/sim_device.h"

namespace velgrin {
namespace {

using testing::BenchRig;

RomCode Rom(uint8_t family, uint64_t serial) {
    return testing::TestRom(family, serial);
}

std::vector<RomCode> Enumerate(BenchRig& rig, size_t limit = 1000) {
    sim::SimLink link(rig.bench);
    EXPECT_TRUE(link.open().ok());
    Network network(link);
    SearchState state;
    std::vector<RomCode> found;
    auto r = network.first(state);
    while (r.ok() && *r && found.size() < limit) {
        found.push_back(state.rom);
        r = network.next(state);
    }
    EXPECT_TRUE(r.ok());
    return found;
}

void Attach(BenchRig& rig, const std::vector<RomCode>& roms) {
    for (const auto& rom : roms) {
        rig.bus().attach(std::make_unique<sim::PlainRomDevice>(rom));
    }
}

void ExpectEachFoundOnce(const std::vector<RomCode>& attached, const std::vector<RomCode>& found) {
    EXPECT_EQ(found.size(), attached.size());
    std::set<RomCode> unique(found.begin(), found.end());
    EXPECT_EQ(unique.size(), found.size()) << "a device was reported twice";
    for (const auto& rom : attached) {
        EXPECT_TRUE(unique.count(rom)) << RomText(rom) << " not found";
    }
}

TEST(NetworkSearch, FindsEveryDeviceOnceWhateverTheirCodesShare) {
    struct Case {
        const char* name;
        std::vector<RomCode> roms;
    };
    std::vector<Case> cases;
    cases.push_back({"one device", {Rom(0x28, 0x1234)}});
    cases.push_back({"two devices", {Rom(0x28, 1), Rom(0x10, 1)}});
    {
        Case c{"twenty differing in their last serial bits", {}};
        for (uint64_t i = 0; i < 20; ++i) {
            c.roms.push_back(Rom(0x28, 0x800000000000ull | i));
        }
        cases.push_back(c);
    }
    {
        Case c{"one hundred sharing a long prefix", {}};
        for (uint64_t i = 0; i < 100; ++i) {
            c.roms.push_back(Rom(0x26, 0xABCDEF000000ull + (i << 40 >> 40)));
        }
        cases.push_back(c);
    }
    {
        Case c{"all-zero serials of different families", {}};
        for (uint8_t family : {0x01, 0x10, 0x21, 0x22, 0x26, 0x28, 0x41, 0x53, 0x81}) {
            c.roms.push_back(Rom(family, 0));
        }
        cases.push_back(c);
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        BenchRig rig;
        Attach(rig, c.roms);
        ExpectEachFoundOnce(c.roms, Enumerate(rig));
    }
}

TEST(NetworkSearch, TellsApartCodesThatDifferOnlyInTheLastSerialBit) {
    BenchRig rig;
    const std::vector<RomCode> roms{Rom(0x28, 0x123456789ABCull), Rom(0x28, 0x923456789ABCull)};
    Attach(rig, roms);
    ExpectEachFoundOnce(roms, Enumerate(rig));
}

// Every pass that is repeated and still fails ends the enumeration as an error, not as a list.
WireResult<bool> EnumerateToTheEnd(BenchRig& rig, std::vector<RomCode>& found, int& resets) {
    sim::SimLink link(rig.bench);
    EXPECT_TRUE(link.open().ok());
    Network network(link);
    SearchState state;
    const uint64_t resetsBefore = rig.bus().resets();
    auto r = network.first(state);
    while (r.ok() && *r) {
        found.push_back(state.rom);
        r = network.next(state);
    }
    resets = static_cast<int>(rig.bus().resets() - resetsBefore);
    return r;
}

TEST(NetworkSearch, ACodeFailingItsCrcIsSearchedAgainThenABusError) {
    BenchRig rig;
    RomCode bad = Rom(0x28, 0x42);
    bad[7] ^= 0x01;
    Attach(rig, {Rom(0x10, 1), bad});
    std::vector<RomCode> found;
    int resets = 0;
    const auto r = EnumerateToTheEnd(rig, found, resets);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error().code, WireErrorCode::Protocol);
    EXPECT_NE(r.error().message.find(std::to_string(kTransactionAttempts) + " times in a row"),
              std::string::npos);
    // The good device, then the bad one's pass as often as the retry rule allows.
    EXPECT_EQ(found.size(), 1u);
    EXPECT_EQ(resets, 1 + kTransactionAttempts);
}

TEST(NetworkSearch, AGarbledBitGivesTheWholeListOrABusErrorNeverAShorterOne) {
    const std::vector<RomCode> roms{Rom(0x28, 1), Rom(0x28, 2), Rom(0x10, 3)};
    // One bit of the ROM layer garbled on one device: a broken-off path or a code failing its
    // CRC is searched again; a conflict read where there was none leads the next passes astray
    // and ends as a bus error.
    int whole = 0;
    int errors = 0;
    for (int garbledBit = 0; garbledBit < 3 * 128; garbledBit += 7) {
        for (size_t victim = 0; victim < roms.size(); ++victim) {
            SCOPED_TRACE(std::to_string(garbledBit) + " on device " + std::to_string(victim));
            BenchRig rig;
            Attach(rig, roms);
            auto* device = rig.bus().find(roms[victim]);
            int bits = 0;
            device->corruptBit = [device, &bits, garbledBit] {
                return !device->outgoing().data && bits++ == garbledBit;
            };
            std::vector<RomCode> found;
            int resets = 0;
            const auto r = EnumerateToTheEnd(rig, found, resets);
            if (r.ok()) {
                ExpectEachFoundOnce(roms, found);
                ++whole;
            } else {
                EXPECT_EQ(r.error().code, WireErrorCode::Protocol);
                ++errors;
            }
        }
    }
    // Most single garbles are simply searched again.
    EXPECT_GT(whole, 3 * errors);
}

TEST(NetworkSearch, DevicesLeavingMidPassAreSearchedAgainAndTheEmptyBusReported) {
    BenchRig rig;
    const std::vector<RomCode> roms{Rom(0x28, 1), Rom(0x28, 2), Rom(0x28, 4)};
    Attach(rig, roms);
    // Gone in the middle of the first pass: devices answered the reset, then nobody.
    ASSERT_TRUE(rig.bus().leaveAfterSlots(roms[0], 20));
    ASSERT_TRUE(rig.bus().leaveAfterSlots(roms[1], 20));
    ASSERT_TRUE(rig.bus().leaveAfterSlots(roms[2], 20));
    std::vector<RomCode> found;
    int resets = 0;
    const auto r = EnumerateToTheEnd(rig, found, resets);
    // The bus is empty by the second pass: nothing was listed, and nothing half.
    EXPECT_TRUE(found.empty());
    EXPECT_TRUE(r.ok() && !*r);
}

TEST(NetworkSearch, EmptyBusReportsNothing) {
    BenchRig rig;
    EXPECT_TRUE(Enumerate(rig).empty());
}

TEST(NetworkVerify, ConfirmsOnlyADevicePresentOnTheBus) {
    BenchRig rig;
    const RomCode present = Rom(0x28, 7);
    const RomCode absent = Rom(0x28, 8);
    Attach(rig, {present, Rom(0x10, 9)});
    sim::SimLink link(rig.bench);
    ASSERT_TRUE(link.open().ok());
    Network network(link);
    EXPECT_TRUE(*network.verify(present));
    EXPECT_FALSE(*network.verify(absent));
}

}  // namespace
}  // namespace velgrin
