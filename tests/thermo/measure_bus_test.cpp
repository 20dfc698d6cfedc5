#include <gtest/gtest.h>

#include "sim_thermometers.h"
#include "wire/sim/sim_faults.h"

namespace velgrin {
namespace {

using testing::ThermometerRom;

const RomCode kB20 = ThermometerRom(0x28, 0x01);
const RomCode kS20 = ThermometerRom(0x10, 0x02);
const RomCode kOtherB20 = ThermometerRom(0x28, 0x03);

struct Measurement : ::testing::Test, testing::ThermometerBench {};

TEST_F(Measurement, ConvertUnderStrongPullupThenReadTheScratchpad) {
    auto& device = Attach<sim::Ds18b20Device>(kB20);
    device.setTemperature(sim::SimValue::Constant(21.5));
    Scan();
    const int index = IndexOf(kB20);
    const std::string selection = Selection(kB20);
    bool pumpedUnderPullup = false;
    rig.host.onProcessMessages = [&] { pumpedUnderPullup = rig.bus().strongPullup(); };

    EXPECT_EQ(tab.thermometers().Measure1820(index), kMeasured);

    EXPECT_EQ(Log(), selection + " " + Access(kB20) + " W44 P+ P- " + selection + " " +
                         ScratchpadRead(device));
    EXPECT_GE(PullupHeldUs(), 1'000'000u);
    EXPECT_EQ(rig.host.messagePumps, 1);
    EXPECT_TRUE(pumpedUnderPullup);
    const CurrentSens& sens = rig.core.Asens[static_cast<size_t>(index)];
    EXPECT_EQ(sens.Temperature, 21.5);
    EXPECT_EQ(sens.CorrectTemp, 21.5);
    EXPECT_EQ(sens.UpLimitT, 75);
    EXPECT_EQ(sens.DownLimitT, 70);
}

TEST_F(Measurement, ParasitePoweredDs18S20ConvertsOnThePullup) {
    auto& device = Attach<sim::Ds18s20Device>(kS20);
    device.setParasite(true);
    device.setTemperature(sim::SimValue::Constant(24.8125));
    device.setAlarmThresholds(30, -10);
    Scan();
    Select(kS20);
    tab.RefreshSelectedThermometer();
    EXPECT_EQ(controls.text(thermo_control::kTemperature), "24,812");
    EXPECT_EQ(controls.text(thermo_control::kUpper), "30");
    EXPECT_EQ(controls.text(thermo_control::kLower), "-10");
}

TEST_F(Measurement, DisplayRunsTheBoxHandlersAsTypingWould) {
    Attach<sim::Ds18b20Device>(kB20).setTemperature(sim::SimValue::Constant(-10.125));
    Scan();
    Select(kB20);
    tab.RefreshSelectedThermometer();
    EXPECT_EQ(controls.text(thermo_control::kTemperature), "-10,125");
    EXPECT_TRUE(tab.ThresholdEditPending);
    EXPECT_FALSE(poll.enabled);
    EXPECT_TRUE(controls.enabled(thermo_control::kWrite));
}

// Faults leave the display on what the record holds, without a message.
struct MeasurementFault : ::testing::Test, testing::ThermometerBench {
    void SetUp() override {
        first = &Attach<sim::Ds18b20Device>(kB20);
        first->setTemperature(sim::SimValue::Constant(21.5));
        Attach<sim::Ds18b20Device>(kOtherB20).setTemperature(sim::SimValue::Constant(-0.5));
        Scan();
        Select(kB20);
        tab.RefreshSelectedThermometer();
        ASSERT_EQ(controls.text(thermo_control::kTemperature), "21,5");
        rig.bus().clearEvents();
    }
    sim::Ds18b20Device* first = nullptr;
};

TEST_F(MeasurementFault, ThermometerRemovedBeforeItsMeasurement) {
    (void)rig.bus().detach(kOtherB20);
    const std::string failedSelection = Selection(kOtherB20);
    Select(kOtherB20);
    tab.RefreshSelectedThermometer();
    EXPECT_EQ(controls.text(thermo_control::kTemperature), "21,5");
    EXPECT_EQ(controls.text(thermo_control::kUpper), "75");
    EXPECT_EQ(Log(), failedSelection);
    EXPECT_TRUE(rig.host.messages.empty());
}

TEST_F(MeasurementFault, ThermometerRemovedDuringItsConversion) {
    const std::string selection = Selection(kOtherB20);
    Select(kOtherB20);
    rig.host.onProcessMessages = [&] { (void)rig.bus().detach(kOtherB20); };
    tab.RefreshSelectedThermometer();
    const std::string log = Log();
    // The read is tried as often as the retry rule allows; each selection finds nobody.
    std::string selections = Selection(kOtherB20);
    for (int i = 1; i < kTransactionAttempts; ++i) {
        selections += " " + Selection(kOtherB20);
    }
    EXPECT_EQ(log, selection + " " + Access(kOtherB20) + " W44 P+ P- " + selections);
    EXPECT_EQ(controls.text(thermo_control::kTemperature), "21,5");
    EXPECT_TRUE(rig.host.messages.empty());
}

TEST_F(MeasurementFault, GarbledReplyKeepsTheLastGoodBytes) {
    first->setTemperature(sim::SimValue::Constant(30));
    const std::string selection = Selection(kB20);
    sim::CorruptReplyByte(*first, 1, 0x80);
    tab.RefreshSelectedThermometer();
    auto garbled = first->scratchpad();
    garbled[1] ^= 0x80;
    // Read again as often as the retry rule allows, garbled each time.
    std::string reads = selection + " " + ScratchpadRead(garbled);
    for (int i = 1; i < kTransactionAttempts; ++i) {
        reads += " " + selection + " " + ScratchpadRead(garbled);
    }
    EXPECT_EQ(Log(), selection + " " + Access(kB20) + " W44 P+ P- " + reads);
    EXPECT_EQ(controls.text(thermo_control::kTemperature), "21,5");
    EXPECT_TRUE(rig.host.messages.empty());
}

TEST_F(MeasurementFault, AdapterUnpluggedDuringTheConversion) {
    rig.host.onProcessMessages = [&] { rig.bench->unplugged = true; };
    first->setTemperature(sim::SimValue::Constant(30));
    tab.RefreshSelectedThermometer();
    EXPECT_EQ(controls.text(thermo_control::kTemperature), "21,5");
    EXPECT_TRUE(rig.host.messages.empty());
}

TEST_F(MeasurementFault, RomThatCannotBeMadeCurrentGivesMinus99) {
    const int freeSlot = rig.core.FoundDev;  // never filled by a search: family code 0
    rig.core.Asens[static_cast<size_t>(freeSlot)].Family = device_group::kDs18B20;
    EXPECT_EQ(tab.thermometers().Measure1820(freeSlot), kRomNotCurrent);
    EXPECT_TRUE(Log().empty());
    EXPECT_EQ(rig.core.Asens[static_cast<size_t>(freeSlot)].CorrectTemp, 21.5);
}

}  // namespace
}  // namespace velgrin
