// The DS2480B backend against the emulator over a real pseudo-terminal: the program's bus
// sequences must come out as they do on the in-process bench.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "emulated_bench.h"
#include "hlt/hlt_core.h"
#include "recording_surface.h"
#include "thermo/thermometers.h"
#include "wire/ds2480b/posix_serial_port.h"
#include "wire/sim/sim_ds18x20.h"
#include "wire/sim/sim_ds2438.h"

namespace velgrin::ds2480b {
namespace {

using testing::EmulatedBench;
using testing::ScanResult;

const RomCode kThermometer{0x28, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0xE4};
const RomCode kMultisensor{0x26, 0x01, 0x04, 0x00, 0x00, 0x00, 0x00, 0x49};

int IndexOf(const BusCore& core, const RomCode& rom) {
    for (int i = 0; i < core.FoundDev; ++i) {
        if (core.Asens[static_cast<size_t>(i)].ROMS == RomText(rom)) {
            return i;
        }
    }
    return -1;
}

void ScanBoth(EmulatedBench& bench) {
    (void)bench.serial->ScanSessionAndSearch();
    (void)bench.inProcess->ScanSessionAndSearch();
    ASSERT_EQ(ScanResult(*bench.serial), ScanResult(*bench.inProcess));
}

// The poll around a page write: a timer flag and a scan.
struct PollSwitch : PollControl {
    explicit PollSwitch(BusCore& core) : core(core) {}
    bool pollTimerEnabled() const override { return enabled; }
    void setPollTimerEnabled(bool on) override { enabled = on; }
    int16_t ScanNetwork() override { return core.ScanSessionAndSearch().result; }

    BusCore& core;
    bool enabled = true;
};

TEST(Ds2480bOverPty, ScanListsWhatTheInProcessBenchLists) {
    EmulatedBench bench;
    ScanBoth(bench);
    EXPECT_EQ(bench.serial->stat11, status_text::kAdapterFound);
    EXPECT_EQ(bench.serial->FoundDev, 8);
    EXPECT_EQ(bench.serial->Stat1, "EC00000024A1C381");
    ASSERT_NE(bench.link(), nullptr);
    EXPECT_EQ(bench.link()->baud(), 115200u);
    EXPECT_EQ(bench.link()->stats().resyncs, 0u);
}

TEST(Ds2480bOverPty, ThermometersMeasureAsOnTheInProcessBench) {
    EmulatedBench bench;
    ScanBoth(bench);
    Thermometers overSerial(*bench.serial);
    Thermometers inProcess(*bench.inProcess);
    int measured = 0;
    for (int i = 0; i < bench.serial->FoundDev; ++i) {
        const auto group = bench.serial->Asens[static_cast<size_t>(i)].Family;
        if (group != device_group::kDs18B20 && group != device_group::kDs18S20) {
            continue;
        }
        SCOPED_TRACE(bench.serial->Asens[static_cast<size_t>(i)].ROMS);
        EXPECT_EQ(overSerial.Measure1820(i), kMeasured);
        EXPECT_EQ(inProcess.Measure1820(i), kMeasured);
        EXPECT_EQ(overSerial.iarray, inProcess.iarray);
        const auto& got = bench.serial->Asens[static_cast<size_t>(i)];
        const auto& want = bench.inProcess->Asens[static_cast<size_t>(i)];
        EXPECT_EQ(got.Temperature, want.Temperature);
        EXPECT_EQ(got.CorrectTemp, want.CorrectTemp);
        EXPECT_EQ(got.UpLimitT, want.UpLimitT);
        EXPECT_EQ(got.DownLimitT, want.DownLimitT);
        ++measured;
    }
    EXPECT_EQ(measured, 3);
    const int index = IndexOf(*bench.serial, kThermometer);
    EXPECT_EQ(bench.serial->Asens[static_cast<size_t>(index)].CorrectTemp, 21.5);
}

TEST(Ds2480bOverPty, ThresholdWriteReachesTheThermometersEeprom) {
    EmulatedBench bench;
    ScanBoth(bench);
    const int index = IndexOf(*bench.serial, kThermometer);
    ASSERT_GE(index, 0);
    Thermometers overSerial(*bench.serial);
    Thermometers inProcess(*bench.inProcess);
    overSerial.wrscr1820(35, -5, index);
    inProcess.wrscr1820(35, -5, index);
    EXPECT_EQ(overSerial.iarray, inProcess.iarray);

    std::vector<uint8_t> eeprom;
    bench.emulator->withBench([&](sim::SimBench& served) {
        const auto* device =
            dynamic_cast<const sim::Ds18x20Device*>(served.bus().find(kThermometer));
        ASSERT_NE(device, nullptr);
        eeprom.assign(device->eeprom().begin(), device->eeprom().end());
    });
    ASSERT_GE(eeprom.size(), 2u);
    EXPECT_EQ(eeprom[0], 35);
    EXPECT_EQ(eeprom[1], 0xFB);
    const auto* local =
        dynamic_cast<const sim::Ds18x20Device*>(bench.local->bus().find(kThermometer));
    EXPECT_EQ(eeprom, std::vector<uint8_t>(local->eeprom().begin(), local->eeprom().end()));
}

TEST(Ds2480bOverPty, MultisensorCycleAndPageWriteAsOnTheInProcessBench) {
    EmulatedBench bench;
    ScanBoth(bench);
    const auto index = static_cast<int16_t>(IndexOf(*bench.serial, kMultisensor));
    ASSERT_GE(index, 0);

    PollSwitch serialPoll(*bench.serial);
    PollSwitch localPoll(*bench.inProcess);
    HltState serialState;
    HltState localState;
    serialState.curIndxHLT = localState.curIndxHLT = index;
    HltCore overSerial(*bench.serial, serialPoll, serialState);
    HltCore inProcess(*bench.inProcess, localPoll, localState);
    velgrin::testing::RecordingSurface serialDialog;
    velgrin::testing::RecordingSurface localDialog;

    overSerial.getValueHLT(index, serialDialog);
    inProcess.getValueHLT(index, localDialog);
    EXPECT_EQ(serialDialog.log, localDialog.log);
    EXPECT_EQ(serialState.HLT_Buf, localState.HLT_Buf);
    EXPECT_EQ(serialState.Temperature, localState.Temperature);
    EXPECT_EQ(serialState.Vsens, localState.Vsens);
    EXPECT_EQ(serialState.ADC0_val, localState.ADC0_val);
    EXPECT_EQ(serialState.ADC1_val, localState.ADC1_val);
    EXPECT_EQ(serialState.Temperature, 24.0);

    const std::array<uint8_t, kHltPageSize> bytes{0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
    overSerial.Write_HLT_Page(4, bytes, kMultisensor);
    sim::Ds2438Device::Page written{};
    bench.emulator->withBench([&](sim::SimBench& served) {
        const auto* device =
            dynamic_cast<const sim::Ds2438Device*>(served.bus().find(kMultisensor));
        ASSERT_NE(device, nullptr);
        written = device->page(4);
    });
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), written.begin()));
    EXPECT_TRUE(bench.host.messages.empty());
}

TEST(Ds2480bOverPty, UnpluggedAdapterIsReportedAndListedAgainOnceBack) {
    EmulatedBench bench;
    ScanBoth(bench);
    const std::string listed = ScanResult(*bench.inProcess);

    bench.emulator->unplug();
    // The next bus operation finds the port gone, and the session with it.
    const int index = IndexOf(*bench.serial, kThermometer);
    (void)Thermometers(*bench.serial).Measure1820(index);
    EXPECT_EQ(bench.serialDriver->TMValidSession(bench.serial->SHandle), 0);
    (void)bench.serial->ScanSessionAndSearch();
    EXPECT_EQ(bench.serial->stat11, status_text::kCheckAdapter);
    EXPECT_EQ(bench.serial->FoundDev, 0);
    EXPECT_EQ(bench.serial->Stat1, "");

    ASSERT_TRUE(bench.emulator->replug());
    (void)bench.serial->ScanSessionAndSearch();
    EXPECT_EQ(ScanResult(*bench.serial), listed);
}

TEST(Ds2480bOverPty, AdapterWithoutPowerIsReportedUntilItAnswersAgain) {
    auto link = testing::PatientLink();
    link.replyMargin = std::chrono::milliseconds(400);
    EmulatedBench bench({}, link);
    ScanBoth(bench);
    const std::string listed = ScanResult(*bench.inProcess);

    bench.emulator->setPowered(false);
    (void)bench.serial->ScanSessionAndSearch();
    EXPECT_EQ(bench.serial->stat11, status_text::kCheckAdapter);
    EXPECT_EQ(bench.serial->FoundDev, 0);

    bench.emulator->setPowered(true);
    // A reply merely late on a loaded machine may cost a poll; a few are enough.
    for (int poll = 0; poll < 5 && ScanResult(*bench.serial) != listed; ++poll) {
        (void)bench.serial->ScanSessionAndSearch();
    }
    EXPECT_EQ(ScanResult(*bench.serial), listed);
}

TEST(Ds2480bOverPty, NoisyRepliesAreRecoveredByResynchronising) {
    EmulatorOptions noisy;
    noisy.seed = 7;
    EmulatedBench bench(noisy);
    ScanBoth(bench);
    const std::string listed = ScanResult(*bench.inProcess);
    std::vector<std::string> real;
    for (int i = 0; i < bench.inProcess->FoundDev; ++i) {
        real.push_back(bench.inProcess->Asens[static_cast<size_t>(i)].ROMS);
    }

    bench.emulator->setNoiseRate(0.03);
    for (int poll = 0; poll < 10; ++poll) {
        (void)bench.serial->ScanSessionAndSearch();
        // Noise may hide a device for a poll but never invents one.
        for (int i = 0; i < bench.serial->FoundDev; ++i) {
            EXPECT_NE(std::find(real.begin(), real.end(),
                                bench.serial->Asens[static_cast<size_t>(i)].ROMS),
                      real.end());
        }
    }
    bench.emulator->setNoiseRate(0.0);
    (void)bench.serial->ScanSessionAndSearch();
    EXPECT_EQ(ScanResult(*bench.serial), listed);
    EXPECT_GT(bench.link()->stats().resyncs, 0u);
}

TEST(Ds2480bOverPty, SecondProgramOnThePortIsRefusedAndTheFirstGoesOn) {
    EmulatedBench bench;
    ScanBoth(bench);
    const std::string listed = ScanResult(*bench.inProcess);

    auto other = bench.SecondDriver();
    BusCore otherCore(*other, bench.host);
    (void)otherCore.ScanSessionAndSearch();
    EXPECT_EQ(otherCore.SHandle, tmex_error::kPortBusy);
    EXPECT_EQ(otherCore.stat11, status_text::kDriverError);
    EXPECT_NE(other->lastError().find(bench.emulator->clientPath()), std::string::npos);
    EXPECT_NE(other->lastError().find("in use by another program"), std::string::npos);

    PosixSerialPort raw(bench.emulator->clientPath());
    auto opened = raw.open();
    ASSERT_FALSE(opened);
    EXPECT_EQ(opened.error().code, WireErrorCode::PortBusy);

    (void)bench.serial->ScanSessionAndSearch();
    EXPECT_EQ(ScanResult(*bench.serial), listed);
    EXPECT_EQ(bench.link()->stats().resyncs, 0u);
    EXPECT_EQ(bench.emulator->counters().breaks, 1u);
}

TEST(Ds2480bOverPty, LineWithoutTheFasterRateFallsBackTo9600) {
    EmulatorOptions slowLine;
    slowLine.lineLimit = 9600;
    auto link = testing::PatientLink();
    link.replyMargin = std::chrono::milliseconds(400);
    EmulatedBench bench(slowLine, link);
    ScanBoth(bench);
    EXPECT_EQ(bench.link()->baud(), 9600u);
}

TEST(Ds2480bOverPty, TimedEmulatorSeesNoOverrunAtEitherRate) {
    for (uint32_t baud : {9600u, 115200u}) {
        SCOPED_TRACE(baud);
        EmulatorOptions timed;
        timed.timing = true;
        auto link = testing::PatientLink();
        link.fasterBaud = baud;
        EmulatedBench bench(timed, link);
        ScanBoth(bench);
        EXPECT_EQ(bench.link()->baud(), baud);
        EXPECT_EQ(bench.emulator->counters().overruns, 0u);
    }
}

}  // namespace
}  // namespace velgrin::ds2480b
