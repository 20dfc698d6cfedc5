#include <gtest/gtest.h>

#include "common/crc.h"
#include "sim_test_bench.h"
#include "wire/sim/bench_file.h"
#include "wire/sim/sim_ds18b20.h"
#include "wire/sim/sim_faults.h"

namespace velgrin::sim {
namespace {

using Bytes = std::vector<uint8_t>;

const RomCode kFirst = *ParseRomText("E400000000010128");
const RomCode kSecond = *ParseRomText("BD00000000010228");

// `secondFields` go into the second device's entry, `timeline` is the events' array.
std::shared_ptr<SimBench> TwoThermometers(const Clock& clock, const std::string& secondFields,
                                          const std::string& timeline = "[]") {
    auto bench = LoadBenchJson(R"({"devices": [
        {"rom": "E400000000010128", "temperature": 20},
        {"rom": "BD00000000010228", "temperature": 21)" +
                                   secondFields + "}], \"timeline\": " + timeline + "}",
                               "t.json", clock);
    EXPECT_TRUE(bench.ok()) << bench.error().message;
    return *bench;
}

double Measure(testing::SimTestBench& t, const RomCode& rom) {
    t.select(rom);
    t.touch({0x44});
    t.clock.advanceMs(750);
    t.select(rom);
    t.touch({0xBE});
    const auto pad = t.read(2);
    return static_cast<int16_t>(pad[0] | (pad[1] << 8)) / 16.0;
}

TEST(Timeline, DevicesLeaveAndComeBackOnTime) {
    VirtualClock clock;
    testing::SimTestBench t(clock, TwoThermometers(clock, "", R"([
        {"at": 1000, "detach": "BD00000000010228"},
        {"at": 3000, "attach": "BD00000000010228"}])"));
    EXPECT_EQ(t.search().size(), 2u);
    clock.advanceMs(999);
    EXPECT_EQ(t.search().size(), 2u);
    clock.advanceMs(1);
    EXPECT_EQ(t.search(), (std::vector<RomCode>{kFirst}));
    clock.advanceMs(2000);
    EXPECT_EQ(t.search().size(), 2u);
    EXPECT_TRUE(t.bench().pendingEvents().empty());
}

TEST(Timeline, AnUnattachedDeviceArrivesLaterWithItsValues) {
    VirtualClock clock;
    auto bench = LoadBenchJson(R"({"devices": [
        {"rom": "E400000000010128", "temperature": 33.5, "attached": false}],
        "timeline": [{"at": 500, "attach": "E400000000010128"}]})",
                               "t.json", clock);
    ASSERT_TRUE(bench.ok()) << bench.error().message;
    testing::SimTestBench t(clock, *bench);
    EXPECT_TRUE(t.search().empty());
    clock.advanceMs(500);
    EXPECT_DOUBLE_EQ(Measure(t, kFirst), 33.5);
}

TEST(Timeline, SetChangesAValueAndPowerCycleRestoresPowerOnState) {
    VirtualClock clock;
    testing::SimTestBench t(clock, TwoThermometers(clock, "", R"([
        {"at": 2000, "set": "E400000000010128", "temperature": 35.25},
        {"at": 4000, "powerCycle": "E400000000010128"}])"));
    EXPECT_DOUBLE_EQ(Measure(t, kFirst), 20);
    clock.advanceMs(2000);
    EXPECT_DOUBLE_EQ(Measure(t, kFirst), 35.25);
    clock.advanceMs(2000);
    t.select(kFirst);
    t.touch({0xBE});
    EXPECT_EQ(t.read(2), (Bytes{0x50, 0x05}));
}

TEST(Faults, ShortedBusAndUnpluggedAdapterComeAndGo) {
    VirtualClock clock;
    testing::SimTestBench t(clock, TwoThermometers(clock, "", R"([
        {"at": 100, "faults": {"shorted": true}},
        {"at": 200, "faults": {"shorted": false, "unplugged": true}},
        {"at": 300, "faults": {"unplugged": false}}])"));
    EXPECT_EQ(*t.link.reset(), ResetOutcome::Presence);
    clock.advanceMs(100);
    EXPECT_EQ(*t.link.reset(), ResetOutcome::Short);
    EXPECT_FALSE(*t.link.touchBit(true));
    clock.advanceMs(100);
    const auto gone = t.link.reset();
    ASSERT_FALSE(gone.ok());
    EXPECT_EQ(gone.error().code, WireErrorCode::PortGone);
    // As with a real port, the vanished adapter took the open link with it.
    EXPECT_FALSE(t.link.isOpen());
    clock.advanceMs(100);
    ASSERT_TRUE(t.link.open().ok());
    EXPECT_EQ(*t.link.reset(), ResetOutcome::Presence);
}

TEST(Faults, SessionRefusedFromTheFile) {
    VirtualClock clock;
    auto bench = LoadBenchJson(R"({"faults": {"sessionRefused": true},
        "timeline": [{"at": 10, "faults": {"sessionRefused": false}}]})",
                               "t.json", clock);
    ASSERT_TRUE(bench.ok());
    SimLink link(*bench);
    EXPECT_FALSE(link.grantsSession());
    clock.advanceMs(10);
    EXPECT_TRUE(link.grantsSession());
}

TEST(Faults, DeviceLeavesExactlyBetweenTwoStepsOfASequence) {
    VirtualClock clock;
    // Reset, Match ROM (72 slots) and Read Scratchpad (8 slots); then it is gone.
    testing::SimTestBench t(clock,
                            TwoThermometers(clock, R"(, "faults": {"leaveAfterSlots": 80})"));
    ASSERT_TRUE(t.select(kSecond));
    t.touch({0xBE});
    EXPECT_EQ(t.read(9), Bytes(9, 0xFF));
    EXPECT_EQ(t.search(), (std::vector<RomCode>{kFirst}));
    EXPECT_NE(t.bench().parked(kSecond), nullptr);
    EXPECT_TRUE(t.bench().unpark(kSecond));
    EXPECT_EQ(t.search().size(), 2u);
}

TEST(Faults, CorruptByteSpoilsEveryCrcAndFlipBitOnlyTheNextByte) {
    VirtualClock clock;
    testing::SimTestBench t(
        clock,
        TwoThermometers(clock, R"(, "faults": {"corruptByte": {"index": 8, "mask": "0x80"}})",
                        R"([{"at": 10, "set": "BD00000000010228", "faults": {"flipBit": 3}}])"));
    auto readScratchpad = [&] {
        t.select(kSecond);
        t.touch({0xBE});
        return t.read(9);
    };
    const auto clean = dynamic_cast<Ds18b20Device&>(*t.bench().find(kSecond)).scratchpad();
    for (int i = 0; i < 2; ++i) {
        const auto pad = readScratchpad();
        EXPECT_EQ(pad[8], clean[8] ^ 0x80);
        EXPECT_EQ(Bytes(pad.begin(), pad.begin() + 8), Bytes(clean.begin(), clean.begin() + 8));
    }
    clock.advanceMs(10);
    auto pad = readScratchpad();
    EXPECT_EQ(pad[0], clean[0] ^ 0x08);
    EXPECT_NE(Crc8(pad), 0);
    pad = readScratchpad();
    EXPECT_EQ(Bytes(pad.begin(), pad.end()), Bytes(clean.begin(), clean.end()));
}

TEST(Faults, BusyForeverFromTheTimeline) {
    VirtualClock clock;
    testing::SimTestBench t(clock, TwoThermometers(clock, "", R"([
        {"at": 0, "set": "E400000000010128", "faults": {"busyForever": true}}])"));
    t.select(kFirst);
    t.touch({0x44});
    clock.advanceMs(60'000);
    EXPECT_FALSE(t.readBit());
}

TEST(Faults, CorruptedRomBitsMakeASearchFailItsCrc) {
    VirtualClock clock;
    testing::SimTestBench t{clock};
    auto& sensor = t.add<Ds18b20Device>(kFirst);
    sensor.corruptBit = [&sensor] { return !sensor.outgoing().data; };
    EXPECT_TRUE(t.search().empty());
    ClearBitFaults(sensor);
    EXPECT_EQ(t.search(), (std::vector<RomCode>{kFirst}));
}

}  // namespace
}  // namespace velgrin::sim
