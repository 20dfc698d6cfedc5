#include <gtest/gtest.h>

#include "bench_rig.h"
#include "wire/sim/sim_device.h"

namespace velgrin {
namespace {

using testing::BenchRig;

RomCode Rom(uint8_t family, uint64_t serial) {
    return testing::TestRom(family, serial);
}

struct CountingRig {
    VirtualClock clock;
    testing::ScriptedHost host{clock};
    std::shared_ptr<sim::SimBench> bench = std::make_shared<sim::SimBench>(clock);
    int linksMade = 0;
    TmexDriver driver{Registry(), PortSpec{"bench", ""}};

    PortRegistry Registry() {
        PortRegistry registry;
        registry.add(PortBackend{"bench", "test bench", kSimulatedPortType, nullptr,
                                 [this](const PortSpec&) -> WireResult<std::unique_ptr<Link>> {
                                     ++linksMade;
                                     return std::unique_ptr<Link>(
                                         std::make_unique<sim::SimLink>(bench));
                                 },
                                 nullptr, nullptr});
        return registry;
    }
};

TEST(TmexSessions, EachStartGivesANewHandleOverTheSameOpenAdapter) {
    CountingRig rig;
    int16_t num = 0, type = 0;
    ASSERT_EQ(rig.driver.TMReadDefaultPort(num, type), 1);
    EXPECT_EQ(num, 1);
    EXPECT_EQ(type, kSimulatedPortType);

    const int32_t first = rig.driver.TMExtendedStartSession(num, type);
    ASSERT_GT(first, 0);
    EXPECT_EQ(rig.driver.TMValidSession(first), 1);
    const int32_t second = rig.driver.TMExtendedStartSession(num, type);
    ASSERT_GT(second, 0);
    EXPECT_NE(first, second);
    EXPECT_EQ(rig.driver.TMValidSession(first), 0) << "older handles become invalid";
    EXPECT_LT(rig.driver.TMSetup(first), 0);
    EXPECT_EQ(rig.driver.TMSetup(second), 1);
    for (int i = 0; i < 1000; ++i) {
        ASSERT_GT(rig.driver.TMExtendedStartSession(num, type), 0);
    }
    EXPECT_EQ(rig.linksMade, 1) << "the adapter stays open across sessions";
}

TEST(TmexSessions, PortsThatNameNoAdapterFailWithADriverError) {
    CountingRig rig;
    for (int16_t type : {0, 1, 2, 3, 4, 5, 6}) {
        EXPECT_LT(rig.driver.TMExtendedStartSession(1, type), 0) << type;
    }
    EXPECT_LT(rig.driver.TMExtendedStartSession(0, 0), 0);
    EXPECT_FALSE(rig.driver.lastError().empty());
}

TEST(TmexSetup, ReportsAShortedBusAsReadyButUnpluggedAsNotReady) {
    BenchRig rig;
    const int32_t h = rig.driver.TMExtendedStartSession(1, kSimulatedPortType);
    rig.bus().setShorted(true);
    EXPECT_EQ(rig.driver.TMSetup(h), 2);
    rig.bus().setShorted(false);
    rig.bench->unplugged = true;
    EXPECT_EQ(rig.driver.TMSetup(h), 0);
}

TEST(TmexAccess, StrongAccessFailsForAnAbsentDeviceEvenWhenOthersAnswer) {
    BenchRig rig;
    const RomCode here = Rom(0x28, 1);
    const RomCode gone = Rom(0x28, 2);
    rig.bus().attach(std::make_unique<sim::PlainRomDevice>(here));
    const int32_t h = rig.driver.TMExtendedStartSession(1, kSimulatedPortType);
    ASSERT_EQ(rig.driver.TMSetup(h), 1);
    TmexState state;
    std::array<int16_t, 8> words{};
    for (size_t i = 0; i < 8; ++i) {
        words[i] = gone[i];
    }
    ASSERT_EQ(rig.driver.TMRom(h, state, words), 1);
    EXPECT_EQ(rig.driver.TMAccess(h, state), 1) << "plain access only needs a presence pulse";
    EXPECT_EQ(rig.driver.TMStrongAccess(h, state), 0);
    for (size_t i = 0; i < 8; ++i) {
        words[i] = here[i];
    }
    ASSERT_EQ(rig.driver.TMRom(h, state, words), 1);
    EXPECT_EQ(rig.driver.TMStrongAccess(h, state), 1);
}

TEST(TmexAccess, MatchRomPutsTheCodeOnTheBus) {
    BenchRig rig;
    const RomCode rom = Rom(0x28, 0x0102);
    rig.bus().attach(std::make_unique<sim::PlainRomDevice>(rom));
    const int32_t h = rig.driver.TMExtendedStartSession(1, kSimulatedPortType);
    TmexState state;
    state.currentRom = rom;
    rig.bus().setRecording(true);
    ASSERT_EQ(rig.driver.TMAccess(h, state), 1);
    ASSERT_EQ(rig.driver.TMOneWireLevel(h, 0, 1, 2), 1);
    EXPECT_EQ(rig.driver.TMTouchByte(h, 0x44), 0x44);
    ASSERT_EQ(rig.driver.TMOneWireLevel(h, 0, 0, 0), 0);
    char expected[64];
    std::snprintf(expected, sizeof expected, "R W55 W28 W02 W01 W00 W00 W00 W00 W%02X W44 P+ P-",
                  rom[7]);
    EXPECT_EQ(sim::DescribeEvents(rig.bus().events()), expected);
}

TEST(TmexCrc, ChecksANineByteScratchpad) {
    const std::array<uint8_t, 9> good{0x50, 0x05, 0x4B, 0x46, 0x7F, 0xFF, 0x0C, 0x10, 0x1C};
    EXPECT_EQ(TmexDriver::TMCRC(good, 0, 0), 0);
    auto bad = good;
    bad[0] ^= 1;
    EXPECT_NE(TmexDriver::TMCRC(bad, 0, 0), 0);
}

}  // namespace
}  // namespace velgrin
