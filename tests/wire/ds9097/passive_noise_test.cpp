// The program over the emulator's passive adapter with garbled echoes (--noise): a threshold
// write is reported done only when the EEPROM holds it, a temperature is shown only as the
// thermometer measured it, and the bench is whole again once the line is clean.

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

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

constexpr const char* kBenchJson = R"({
  "devices": [
    { "model": "DS18B20", "rom": "E400000000010128", "temperature": 21.5, "th": 30, "tl": 10 },
    { "model": "DS18B20", "rom": "BD00000000010228", "temperature": -5.25 }
  ]
})";

struct NoisyLine {
    VirtualClock clock;
    velgrin::testing::ScriptedHost host{clock};

    explicit NoisyLine(double rate, uint32_t seed)
        : line(Load(), Options(rate, seed)),
          driver(testing::PassiveRegistry(), PortSpec{"ds9097", line.emulator->clientPath()}),
          core(driver, host) {}

    std::shared_ptr<sim::SimBench> Load() {
        auto bench = sim::LoadBenchJson(kBenchJson, "noise bench", clock);
        if (!bench) {
            throw std::runtime_error(bench.error().message);
        }
        return *bench;
    }
    static ds2480b::EmulatorOptions Options(double rate, uint32_t seed) {
        ds2480b::EmulatorOptions options;
        options.noiseRate = rate;
        options.seed = seed;
        return options;
    }
    int indexOf(const RomCode& rom) const {
        for (int i = 0; i < core.FoundDev; ++i) {
            if (core.Asens[static_cast<size_t>(i)].ROMS == RomText(rom)) {
                return i;
            }
        }
        return -1;
    }
    bool scanUntilFound(const RomCode& rom) {
        for (int i = 0; i < 12; ++i) {
            driver.forgetAdapter();
            if (core.ScanSessionAndSearch().result == 1 && indexOf(rom) >= 0) {
                return true;
            }
        }
        return false;
    }
    std::vector<uint8_t> eeprom(const RomCode& rom) {
        std::vector<uint8_t> bytes;
        line.emulator->withBench([&](sim::SimBench& served) {
            const auto* device = dynamic_cast<const sim::Ds18x20Device*>(served.bus().find(rom));
            if (device != nullptr) {
                bytes.assign(device->eeprom().begin(), device->eeprom().end());
            }
        });
        return bytes;
    }

    testing::PassiveLineRig line;
    TmexDriver driver;
    BusCore core;
};

TEST(PassiveNoise, ThresholdWritesReportWhatTheEepromHolds) {
    int verified = 0;
    int failed = 0;
    for (const auto& [rate, seed] :
         std::vector<std::pair<double, uint32_t>>{{0.002, 1}, {0.005, 2}}) {
        SCOPED_TRACE("noise " + std::to_string(rate));
        NoisyLine noisy(rate, seed);
        ASSERT_TRUE(noisy.scanUntilFound(kWarm));
        Thermometers thermometers(noisy.core);
        std::vector<uint8_t> held = noisy.eeprom(kWarm);
        for (int round = 0; round < 6; ++round) {
            const int th = 40 + round;
            const int index = noisy.indexOf(kWarm);
            if (index < 0) {
                ASSERT_TRUE(noisy.scanUntilFound(kWarm));
                continue;
            }
            const ThresholdWrite result = thermometers.wrscr1820(th, -round, index);
            const std::vector<uint8_t> now = noisy.eeprom(kWarm);
            std::vector<uint8_t> meant = held;
            meant[0] = EncodeThresholdByte(th);
            meant[1] = EncodeThresholdByte(-round);
            if (result == ThresholdWrite::Verified) {
                ++verified;
                EXPECT_EQ(now, meant) << "a write reported done is not in the EEPROM";
            } else {
                ++failed;
                EXPECT_TRUE(now == meant || now == held) << "thresholds nobody asked for";
            }
            held = now;
        }
    }
    EXPECT_GT(verified, 0);
    EXPECT_GT(failed, 0) << "the noise never reached a write";
}

TEST(PassiveNoise, ReadingsAreTheThermometersOwnAndTheBenchIsWholeOnceTheLineIsClean) {
    NoisyLine noisy(0, 3);
    ASSERT_EQ(noisy.core.ScanSessionAndSearch().result, 1);
    ASSERT_EQ(noisy.core.FoundDev, 2);
    noisy.line.emulator->setNoiseRate(0.02);
    int measured = 0;
    int refused = 0;
    for (int round = 0; round < 10; ++round) {
        for (const auto& reading :
             cli::MeasureThermometers(noisy.core, {0, 1}, cli::Sequence::Together)) {
            if (reading.state == cli::ThermometerReading::State::Measured) {
                ++measured;
                EXPECT_TRUE(reading.temperature == 21.5 || reading.temperature == -5.25)
                    << reading.temperature;
            } else {
                ++refused;
            }
        }
    }
    EXPECT_GT(measured, 0);
    EXPECT_GT(refused, 0) << "the noise never reached a reading";

    noisy.line.emulator->setNoiseRate(0);
    noisy.driver.forgetAdapter();
    ASSERT_EQ(noisy.core.ScanSessionAndSearch().result, 1);
    ASSERT_EQ(noisy.core.FoundDev, 2);
    for (const auto& reading :
         cli::MeasureThermometers(noisy.core, {0, 1}, cli::Sequence::Together)) {
        EXPECT_EQ(reading.state, cli::ThermometerReading::State::Measured);
    }
}

}  // namespace
}  // namespace velgrin::ds9097
