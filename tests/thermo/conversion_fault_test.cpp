// A conversion that did not go through, and an adapter without a strong pull-up: neither may
// end in a value shown or reported as a new measurement.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "flaky_link.h"
#include "recording_surface.h"
#include "sim_thermometers.h"
#include "thermo/thermometer_set.h"
#include "thermo/thermometer_tab.h"

namespace velgrin {
namespace {

using testing::ByteFault;
using testing::ThermometerRom;

const RomCode kPowered = ThermometerRom(0x28, 0x01);
const RomCode kParasite = ThermometerRom(0x28, 0x02);

// The tab over an adapter that can fail chosen bytes or lack the strong pull-up.
struct FlakyTab : ::testing::Test {
    FlakyTab() {
        controls.setText(thermo_control::kTemperature, kNoTemperatureText);
        powered = Attach(kPowered, false);
        parasite = Attach(kParasite, false);
    }
    sim::Ds18b20Device* Attach(const RomCode& rom, bool parasitePowered) {
        auto device = std::make_unique<sim::Ds18b20Device>(rom);
        device->setParasite(parasitePowered);
        device->setTemperature(sim::SimValue::Constant(21.5));
        auto* model = device.get();
        rig.bus().attach(std::move(device));
        return model;
    }
    void Show(const RomCode& rom) {
        (void)rig.core.ScanSessionAndSearch();
        for (int i = 0; i < rig.core.FoundDev; ++i) {
            if (rig.core.Asens[static_cast<size_t>(i)].ROMS == RomText(rom)) {
                controls.setText(thermo_control::kList, ListEntryText(i, RomText(rom)));
            }
        }
        tab.RefreshSelectedThermometer();
    }
    std::string Shown() { return controls.text(thermo_control::kTemperature); }

    testing::FlakyBenchRig rig;
    testing::RecordingSurface controls;
    testing::PollSwitch poll;
    testing::RecordingProgress progress;
    ThermometerTab tab{rig.core, poll, controls, progress};
    sim::Ds18b20Device* powered = nullptr;
    sim::Ds18b20Device* parasite = nullptr;
};

TEST_F(FlakyTab, ALostConvertTKeepsWhatTheTabShows) {
    // Never converted since power-on: a read would show its 85 degrees as a measurement.
    rig.fault = [](uint8_t, uint8_t byte) {
        return byte == ds18x20_command::kConvertT ? ByteFault::FailAfterSendingGarbled
                                                  : ByteFault::None;
    };
    Show(kPowered);
    EXPECT_EQ(Shown(), kNoTemperatureText);

    rig.fault = nullptr;
    Show(kPowered);
    EXPECT_EQ(Shown(), "21,5");

    powered->setTemperature(sim::SimValue::Constant(30));
    rig.fault = [](uint8_t, uint8_t byte) {
        return byte == ds18x20_command::kConvertT ? ByteFault::FailAfterSending : ByteFault::None;
    };
    Show(kPowered);
    EXPECT_EQ(Shown(), "21,5");
    EXPECT_TRUE(rig.host.messages.empty());
}

// Without a strong pull-up a thermometer on its own supply is measured and written as ever; a
// parasite-powered one is refused, the limit named once, nothing written.
TEST_F(FlakyTab, WithoutStrongPullupOnlyParasiteThermometersAreRefused) {
    parasite->setParasite(true);
    rig.strongPullup = false;
    const auto Eeprom = [](const sim::Ds18b20Device* device) {
        return std::vector<uint8_t>(device->eeprom().begin(), device->eeprom().end());
    };
    const auto WriteThresholds = [&] {
        controls.setText(thermo_control::kUpper, "40");
        controls.setText(thermo_control::kLower, "-5");
        tab.btn1820wrClick({});
    };
    Show(kPowered);
    EXPECT_EQ(Shown(), "21,5");
    WriteThresholds();
    EXPECT_EQ(Eeprom(powered)[0], 40);
    EXPECT_EQ(Eeprom(powered)[1], 0xFB);
    EXPECT_TRUE(rig.host.messages.empty());

    controls.setText(thermo_control::kTemperature, kNoTemperatureText);
    Show(kParasite);
    Show(kParasite);
    EXPECT_EQ(Shown(), kNoTemperatureText);
    EXPECT_EQ(rig.host.messages, std::vector<std::string>{kNoStrongPullupMessage});
    const auto eeprom = Eeprom(parasite);
    WriteThresholds();
    EXPECT_EQ(Eeprom(parasite), eeprom);
    // The limit was named already; no second box, and never the failed-write message.
    EXPECT_EQ(rig.host.messages, std::vector<std::string>{kNoStrongPullupMessage});
}

// The command line's set: a powered thermometer needs no pull-up, a parasite one is reported as
// the adapter's limit, never with its scratchpad's old value.
TEST_F(FlakyTab, WithoutStrongPullupTheSetMeasuresOnlyPoweredOnes) {
    parasite->setParasite(true);
    rig.strongPullup = false;
    (void)rig.core.ScanSessionAndSearch();
    Network network(*rig.driver.link());
    ThermometerSet set(network, rig.host, rig.core.retries);
    for (const bool together : {true, false}) {
        const auto outcomes = set.measure({kPowered, kParasite}, together);
        ASSERT_EQ(outcomes.size(), 2u);
        EXPECT_EQ(outcomes[0].state, ThermometerOutcome::State::Measured) << together;
        EXPECT_EQ(outcomes[1].state, ThermometerOutcome::State::AdapterLimit) << together;
    }
}

}  // namespace
}  // namespace velgrin
