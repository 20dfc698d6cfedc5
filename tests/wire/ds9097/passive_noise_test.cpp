// The program over the emulator's passive adapter with garbled echoes (--noise): threshold writes
// still get done, a write is reported done only when the EEPROM holds it, a temperature is shown
// only as the thermometer measured it, and the bench is whole again once the line is clean.

#include <gtest/gtest.h>

#include "cli/thermometer_reading.h"
#include "passive_rig.h"
#include "scripted_host.h"
#include "thermo/thermometers.h"
#include "thermo/threshold_byte.h"
#include "wire/bus_core.h"
#include "wire/sim/bench_file.h"
#include "wire/sim/sim_ds18x20.h"
#include "wire/tmex.h"

namespace velgrin::ds9097 {
namespace {

const RomCode kWarm{0x28, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0xE4};

TEST(PassiveNoise, WritesAndReadingsTellOnlyWhatTheDevicesHold) {
    VirtualClock clock;
    velgrin::testing::ScriptedHost host{clock};
    auto bench = sim::LoadBenchJson(R"({"devices": [
        { "model": "DS18B20", "rom": "E400000000010128", "temperature": 21.5 },
        { "model": "DS18B20", "rom": "BD00000000010228", "temperature": -5.25 }]})",
                                    "noise bench", clock);
    ASSERT_TRUE(bench);
    testing::PassiveLineRig line(*bench);
    TmexDriver driver(testing::PassiveRegistry(), PortSpec{"ds9097", line.emulator->clientPath()});
    BusCore core(driver, host);
    ASSERT_EQ(core.ScanSessionAndSearch().result, 1);
    ASSERT_EQ(core.FoundDev, 2);
    const int warm = core.Asens[0].ROMS == RomText(kWarm) ? 0 : 1;
    auto eeprom = [&] {
        std::vector<uint8_t> bytes;
        line.emulator->withBench([&](sim::SimBench& served) {
            const auto& device = dynamic_cast<const sim::Ds18x20Device&>(*served.bus().find(kWarm));
            bytes.assign(device.eeprom().begin(), device.eeprom().end());
        });
        return bytes;
    };

    line.emulator->setNoiseRate(0.002);
    Thermometers thermometers(core);
    std::vector<uint8_t> held = eeprom();
    int verified = 0, garbledWrites = 0, measured = 0;
    for (int round = 0; round < 10; ++round) {
        const uint64_t garbled = line.emulator->counters().garbled;
        const bool done =
            thermometers.wrscr1820(40 + round, -round, warm) == ThresholdWrite::Verified;
        garbledWrites += line.emulator->counters().garbled > garbled ? 1 : 0;
        std::vector<uint8_t> meant = held;
        meant[0] = EncodeThresholdByte(40 + round);
        meant[1] = EncodeThresholdByte(-round);
        const std::vector<uint8_t> now = eeprom();
        EXPECT_TRUE(done ? now == meant : now == meant || now == held) << "round " << round;
        verified += done ? 1 : 0;
        held = now;
        for (const auto& reading :
             cli::MeasureThermometers(core, {0, 1}, cli::Sequence::Together)) {
            const bool ok = reading.state == cli::ThermometerReading::State::Measured;
            measured += ok ? 1 : 0;
            EXPECT_TRUE(!ok || reading.temperature == 21.5 || reading.temperature == -5.25)
                << reading.temperature;
        }
    }
    // A write takes some 2000 echoes, so at this rate most writes meet garbled ones; what is
    // safe to repeat is repeated, and the writes get done all the same.
    EXPECT_GE(garbledWrites, 5) << "the noise hardly reached the writes";
    EXPECT_GE(verified, 9);
    EXPECT_GT(measured, 0);

    line.emulator->setNoiseRate(0);
    driver.forgetAdapter();
    ASSERT_EQ(core.ScanSessionAndSearch().result, 1);
    EXPECT_EQ(core.FoundDev, 2);
    for (const auto& reading : cli::MeasureThermometers(core, {0, 1}, cli::Sequence::Together)) {
        EXPECT_EQ(reading.state, cli::ThermometerReading::State::Measured);
    }
}

}  // namespace
}  // namespace velgrin::ds9097
