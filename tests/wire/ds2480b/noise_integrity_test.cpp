// The program over the DS2480B emulator with garbled reply bytes (--noise), at several rates and
// seeds: searches never list a device twice or one that is not there, and writes never leave a
// device with thresholds or a configuration nobody asked for, nor report a failure as success.
// Judged by the served devices' memory and the reported results, never by timing.

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "common/plain_surface.h"
#include "emulated_bench.h"
#include "hlt/crc_hlt.h"
#include "hlt/field_text.h"
#include "hlt/hlt_core.h"
#include "hlt/settings_write.h"
#include "thermo/thermometers.h"
#include "thermo/threshold_byte.h"
#include "wire/sim/sim_ds18x20.h"
#include "wire/sim/sim_ds2438.h"

namespace velgrin::ds2480b {
namespace {

using testing::EmulatedBench;

const RomCode kThermometer{0x28, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0xE4};
const RomCode kMultisensor{0x26, 0x01, 0x04, 0x00, 0x00, 0x00, 0x00, 0x49};

struct Noise {
    double rate;
    uint32_t seed;
};

const std::vector<Noise> kNoises{{0.01, 1}, {0.02, 2}, {0.02, 3}, {0.05, 4}};
// Writes need the device found first, which at 0.05 the search rarely manages.
const std::vector<Noise> kWriteNoises{{0.005, 5}, {0.01, 1}, {0.02, 2}, {0.02, 3}};

EmulatorOptions Noisy(const Noise& noise) {
    EmulatorOptions options;
    options.noiseRate = noise.rate;
    options.seed = noise.seed;
    return options;
}

std::string Describe(const Noise& noise) {
    return "noise " + std::to_string(noise.rate) + ", seed " + std::to_string(noise.seed);
}

std::vector<std::string> Listed(const BusCore& core) {
    std::vector<std::string> roms;
    for (int i = 0; i < core.FoundDev; ++i) {
        roms.push_back(core.Asens[static_cast<size_t>(i)].ROMS);
    }
    return roms;
}

int IndexOf(const BusCore& core, const RomCode& rom) {
    const auto roms = Listed(core);
    for (size_t i = 0; i < roms.size(); ++i) {
        if (roms[i] == RomText(rom)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// Polls as the window does until one lists `rom`; false when none of `tries` did.
bool ScanUntilFound(BusCore& core, const RomCode& rom, int tries = 12) {
    for (int i = 0; i < tries; ++i) {
        core.driver().forgetAdapter();
        if (core.ScanSessionAndSearch().result == 1 && IndexOf(core, rom) >= 0) {
            return true;
        }
    }
    return false;
}

struct PollSwitch : PollControl {
    explicit PollSwitch(BusCore& core) : core(core) {}
    bool pollTimerEnabled() const override { return enabled; }
    void setPollTimerEnabled(bool on) override { enabled = on; }
    int16_t ScanNetwork() override { return core.ScanSessionAndSearch().result; }

    BusCore& core;
    bool enabled = true;
};

TEST(NoiseIntegrity, SearchesNeverListADeviceTwiceAndTwoThatAgreeListTheWholeBench) {
    EmulatedBench quiet;
    (void)quiet.serial->ScanSessionAndSearch();
    const auto whole = Listed(*quiet.serial);
    ASSERT_EQ(whole.size(), 8u);
    const std::set<std::string> bench(whole.begin(), whole.end());

    int agreeing = 0;
    int busErrors = 0;
    for (const Noise& noise : kNoises) {
        SCOPED_TRACE(Describe(noise));
        EmulatedBench noisy(Noisy(noise));
        std::vector<std::string> previous;
        for (int round = 0; round < 12; ++round) {
            const ScanOutcome outcome = noisy.serial->ScanSessionAndSearch();
            if (outcome.searchFailed) {
                ++busErrors;
            }
            if (outcome.result != 1) {
                previous.clear();
                continue;
            }
            const auto listed = Listed(*noisy.serial);
            const std::set<std::string> unique(listed.begin(), listed.end());
            EXPECT_EQ(unique.size(), listed.size()) << "a device listed twice";
            for (const std::string& rom : listed) {
                EXPECT_TRUE(bench.count(rom)) << rom << " is not on the bench";
            }
            // What velgrin-cli takes for the bus: two searches in a row that agree.
            if (!previous.empty() && listed == previous) {
                EXPECT_EQ(listed, whole);
                ++agreeing;
            }
            previous = listed;
        }
    }
    EXPECT_GT(agreeing, 0);
    EXPECT_GT(busErrors, 0) << "the noise never reached the search";
}

TEST(NoiseIntegrity, ThresholdWritesReportWhatTheEepromHolds) {
    int verified = 0;
    int failed = 0;
    for (const Noise& noise : kWriteNoises) {
        SCOPED_TRACE(Describe(noise));
        EmulatedBench noisy(Noisy(noise));
        ASSERT_TRUE(ScanUntilFound(*noisy.serial, kThermometer));
        Thermometers thermometers(*noisy.serial);
        std::vector<uint8_t> held{30, 10, 0x7F};
        for (int round = 0; round < 6; ++round) {
            const int th = 20 + round + static_cast<int>(noise.seed);
            const int tl = -round;
            const int index = IndexOf(*noisy.serial, kThermometer);
            ASSERT_GE(index, 0);
            const ThresholdWrite result = thermometers.wrscr1820(th, tl, index);
            std::vector<uint8_t> eeprom;
            noisy.emulator->withBench([&](sim::SimBench& served) {
                const auto* device =
                    dynamic_cast<const sim::Ds18x20Device*>(served.bus().find(kThermometer));
                ASSERT_NE(device, nullptr);
                eeprom.assign(device->eeprom().begin(), device->eeprom().end());
            });
            std::vector<uint8_t> meant = held;
            meant[0] = EncodeThresholdByte(th);
            meant[1] = EncodeThresholdByte(tl);
            if (result == ThresholdWrite::Verified) {
                ++verified;
                EXPECT_EQ(eeprom, meant);
            } else {
                ++failed;
                EXPECT_TRUE(eeprom == meant || eeprom == held) << "thresholds nobody asked for";
            }
            held = eeprom;
        }
    }
    EXPECT_GT(verified, 0);
}

TEST(NoiseIntegrity, ConfigurationWritesNeverSealAConfigurationNobodyAskedFor) {
    int written = 0;
    int refused = 0;
    for (const Noise& noise : kWriteNoises) {
        SCOPED_TRACE(Describe(noise));
        EmulatedBench noisy(Noisy(noise));
        ASSERT_TRUE(ScanUntilFound(*noisy.serial, kMultisensor));
        PollSwitch poll(*noisy.serial);
        HltState state;
        HltCore hlt(*noisy.serial, poll, state);
        PlainSurface dialog;
        const auto served = [&] {
            HltBlock block{};
            noisy.emulator->withBench([&](sim::SimBench& bench) {
                const auto* device =
                    dynamic_cast<const sim::Ds2438Device*>(bench.bus().find(kMultisensor));
                ASSERT_NE(device, nullptr);
                block = device->configBlock();
            });
            return block;
        };
        HltBlock held = served();
        for (int round = 0; round < 4; ++round) {
            // A write's retries search again, and one search under noise may miss a device.
            if (IndexOf(*noisy.serial, kMultisensor) < 0) {
                ASSERT_TRUE(ScanUntilFound(*noisy.serial, kMultisensor));
            }
            const int index = IndexOf(*noisy.serial, kMultisensor);
            state.curIndxHLT = static_cast<int16_t>(index);
            const size_t messagesBefore = noisy.host.messages.size();
            (void)hlt.getValueHLT(static_cast<int16_t>(index), dialog);
            HltBlock meant = held;
            HLTConfig meantConfig(meant);
            meantConfig.set(hlt_field::S0UpValue, 500 + 10 * round + static_cast<int>(noise.seed));
            dialog.setText("edtS0UpValue", FieldText(meantConfig, hlt_field::S0UpValue));
            bool flgEditHLT = false;
            (void)WriteHltSettings(dialog, hlt, flgEditHLT);
            SealHltBlock(meantConfig);
            const bool reported = noisy.host.messages.size() == messagesBefore;
            HltBlock now = served();
            if (reported) {
                ++written;
                EXPECT_EQ(now, meant) << "a write reported as done is not on the device";
            } else {
                ++refused;
                EXPECT_TRUE(now == held || now == meant || !HltBlockCrcMatches(HLTConfig(now)))
                    << "a sealed configuration nobody asked for";
            }
            held = now;
        }
    }
    EXPECT_GT(written, 0);
    EXPECT_GT(refused, 0) << "the noise never reached a write";
}

}  // namespace
}  // namespace velgrin::ds2480b
