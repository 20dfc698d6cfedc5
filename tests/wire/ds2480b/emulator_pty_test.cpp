// The DS2480B backend against the emulator over a real pseudo-terminal: what only this adapter
// has (serial rates, resynchronising, power loss, line noise). The program's bus sequences on it
// are the conformance suite's (ds2480b_conformance_test.cpp).

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "emulated_bench.h"
#include "wire/ds2480b/ds2480b_backend.h"
#include "wire/ds2480b/posix_serial_port.h"

namespace velgrin::ds2480b {
namespace {

using testing::EmulatedBench;
using testing::ScanResult;

void ScanBoth(EmulatedBench& bench) {
    (void)bench.serial->ScanSessionAndSearch();
    (void)bench.inProcess->ScanSessionAndSearch();
    ASSERT_EQ(ScanResult(*bench.serial), ScanResult(*bench.inProcess));
}

TEST(Ds2480bOverPty, ScanRunsAtTheFasterRateWithoutResynchronising) {
    EmulatedBench bench;
    ScanBoth(bench);
    EXPECT_EQ(bench.serial->stat11, status_text::kAdapterFound);
    EXPECT_EQ(bench.serial->FoundDev, 8);
    EXPECT_EQ(bench.serial->Stat1, "EC00000024A1C381");
    ASSERT_NE(bench.link(), nullptr);
    EXPECT_EQ(bench.link()->baud(), 115200u);
    EXPECT_EQ(bench.link()->stats().resyncs, 0u);
}

TEST(Ds2480bOverPty, AdapterWithoutPowerIsReportedUntilItAnswersAgain) {
    // The patient margin makes every silent attempt cost seconds, but a loaded machine's late
    // reply can never pass for a missing adapter.
    EmulatedBench bench;
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

    // Each poll starts afresh, as the window's does: noise may make one poll take the adapter
    // for another, which the next poll does not inherit.
    const auto poll = [&] {
        bench.serialDriver->forgetAdapter();
        (void)bench.serial->ScanSessionAndSearch();
    };
    bench.emulator->setNoiseRate(0.03);
    for (int polls = 0; polls < 10; ++polls) {
        poll();
        // Noise may hide a device for a poll but never invents one.
        for (int i = 0; i < bench.serial->FoundDev; ++i) {
            EXPECT_NE(std::find(real.begin(), real.end(),
                                bench.serial->Asens[static_cast<size_t>(i)].ROMS),
                      real.end());
        }
    }
    bench.emulator->setNoiseRate(0.0);
    // Bytes garbled before the noise stopped may still cost the first quiet poll.
    for (int polls = 0; polls < 3 && (polls == 0 || ScanResult(*bench.serial) != listed); ++polls) {
        poll();
    }
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

TEST(Ds2480bOverPty, InManualModeAnUnpluggedAdapterReadsAsMissingUntilItIsBack) {
    EmulatedBench bench;
    (void)bench.inProcess->ScanSessionAndSearch();
    const std::string listed = ScanResult(*bench.inProcess);
    // No default port; on the settings tab "DS90907U" and port "1", the first of the system's
    // serial ports, which are the emulator's terminal while it is plugged in.
    const std::string path = bench.emulator->clientPath();
    PortRegistry registry;
    registry.add(Ds2480bBackend(testing::PatientLink(), [path] {
        return ::access(path.c_str(), F_OK) == 0 ? std::vector<std::string>{path}
                                                 : std::vector<std::string>{};
    }));
    TmexDriver driver(std::move(registry), std::nullopt);
    BusCore core(driver, bench.host);
    (void)core.ScanSessionAndSearch();
    ASSERT_EQ(core.stat11, status_text::kNoPortChosen);
    core.cbbPortChange(0);
    core.cbAdapterChange(4);
    (void)core.ScanSessionAndSearch();
    EXPECT_EQ(ScanResult(core), listed);

    bench.emulator->unplug();
    std::vector<std::string> statuses;
    for (int poll = 0; poll < 2; ++poll) {
        (void)core.ScanSessionAndSearch();
        statuses.push_back(core.stat11);
    }
    EXPECT_EQ(statuses, std::vector<std::string>(2, status_text::kCheckAdapter));
    EXPECT_EQ(core.FoundDev, 0);

    ASSERT_TRUE(bench.emulator->replug());
    (void)core.ScanSessionAndSearch();
    EXPECT_EQ(ScanResult(core), listed);
}

TEST(Ds2480bOverPty, LineWithoutTheFasterRateFallsBackTo9600) {
    EmulatorOptions slowLine;
    slowLine.lineLimit = 9600;
    EmulatedBench bench(slowLine);
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
