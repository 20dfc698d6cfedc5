// Every adapter backend runs the program's bus sequences on the same bench and must leave the
// devices and the window as the simulated link does.

#include "conformance_suite.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "bench_rig.h"
#include "hlt/hlt_core.h"
#include "recording_surface.h"
#include "thermo/thermometer_set.h"
#include "thermo/thermometers.h"
#include "wire/sim/bench_file.h"
#include "wire/sim/sim_ds18x20.h"
#include "wire/sim/sim_ds2438.h"

namespace velgrin::conformance {

namespace {

constexpr const char* kThermometer = "E400000000010128";
constexpr const char* kParasite = "BD00000000010228";
constexpr const char* kMultisensor = "4900000000040126";
const RomCode kThermometerRom{0x28, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0xE4};
const RomCode kParasiteRom{0x28, 0x02, 0x01, 0x00, 0x00, 0x00, 0x00, 0xBD};
const RomCode kMultisensorRom{0x26, 0x01, 0x04, 0x00, 0x00, 0x00, 0x00, 0x49};
const RomCode kDs18S20Rom{0x10, 0x01, 0x02, 0x00, 0x00, 0x00, 0x00, 0x4F};
const std::vector<RomCode> kThermometerRoms{kThermometerRom, kParasiteRom, kDs18S20Rom};

// The poll around a page write: a timer flag and a scan.
struct PollSwitch : PollControl {
    explicit PollSwitch(BusCore& core) : core(core) {}
    bool pollTimerEnabled() const override { return enabled; }
    void setPollTimerEnabled(bool on) override { enabled = on; }
    int16_t ScanNetwork() override { return core.ScanSessionAndSearch().result; }

    BusCore& core;
    bool enabled = true;
};

// From the strong pull-up going on to its going off, on the bench clock.
uint64_t PullupHeldUs(const std::vector<sim::BusEvent>& events) {
    uint64_t on = 0;
    uint64_t held = 0;
    for (const auto& event : events) {
        if (event.kind == sim::BusEvent::Kind::PullupOn) {
            on = event.atUs;
        } else if (event.kind == sim::BusEvent::Kind::PullupOff) {
            held = std::max(held, event.atUs - on);
        }
    }
    return held;
}

bool PullupEverOn(const std::vector<sim::BusEvent>& events) {
    return std::any_of(events.begin(), events.end(), [](const sim::BusEvent& event) {
        return event.kind == sim::BusEvent::Kind::PullupOn;
    });
}

}  // namespace

std::shared_ptr<sim::SimBench> LoadTestBench(const std::string& json, const Clock& clock) {
    auto bench = sim::LoadBenchJson(json, "conformance bench", clock);
    if (!bench) {
        throw std::runtime_error(bench.error().message);
    }
    return *bench;
}

std::string KindName(const ::testing::TestParamInfo<AdapterKind>& info) {
    return info.param.name;
}

std::string ScanResult(const BusCore& core) {
    std::string text = "status '" + core.stat11 + "', adapter '" + core.Stat1 + "', " +
                       std::to_string(core.FoundDev) + " devices\n";
    for (int i = 0; i < core.FoundDev; ++i) {
        const auto& entry = core.Asens[static_cast<size_t>(i)];
        text += entry.ROMS + " group " + std::to_string(entry.Family) + " " +
                core.subtypeNames[static_cast<size_t>(i)] + "\n";
    }
    return text;
}

void Conformance::SetUp() {
    reference = LoadTestBench(kBenchJson, clock);
    referenceDriver = std::make_unique<TmexDriver>(velgrin::testing::BenchRegistry(reference),
                                                   PortSpec{"bench", ""});
    referenceCore = std::make_unique<BusCore>(*referenceDriver, host);
    adapter = GetParam().make(clock, kBenchJson);
    core = std::make_unique<BusCore>(adapter->driver(), host);
}

void Conformance::TearDown() {
    core.reset();
    adapter.reset();
}

void Conformance::ScanBoth() {
    (void)core->ScanSessionAndSearch();
    (void)referenceCore->ScanSessionAndSearch();
    ASSERT_EQ(ScanResult(*core), ScanResult(*referenceCore));
}

int Conformance::IndexOf(const std::string& romText) const {
    for (int i = 0; i < core->FoundDev; ++i) {
        if (core->Asens[static_cast<size_t>(i)].ROMS == romText) {
            return i;
        }
    }
    return -1;
}

bool Conformance::PullsUp() {
    Link* link = adapter->driver().link();
    return link == nullptr || link->capabilities().strongPullup;
}

TEST_P(Conformance, ScanListsTheWholeBenchEveryPoll) {
    for (int poll = 0; poll < 3; ++poll) {
        SCOPED_TRACE(poll);
        ScanBoth();
        EXPECT_EQ(core->stat11, status_text::kAdapterFound);
        EXPECT_EQ(core->FoundDev, 8);
        EXPECT_EQ(core->Stat1, "EC00000024A1C381");
        EXPECT_EQ(core->TypeButtonString, referenceCore->TypeButtonString);
    }
    EXPECT_TRUE(host.messages.empty());
}

TEST_P(Conformance, ThermometersConvertUnderTheStrongPullup) {
    ScanBoth();
    adapter->withBench([](sim::SimBench& bench) { bench.bus().setRecording(true); });
    Thermometers thermometers(*core);
    Thermometers inProcess(*referenceCore);
    int measured = 0;
    for (int i = 0; i < core->FoundDev; ++i) {
        const auto group = core->Asens[static_cast<size_t>(i)].Family;
        if (group != device_group::kDs18B20 && group != device_group::kDs18S20) {
            continue;
        }
        SCOPED_TRACE(core->Asens[static_cast<size_t>(i)].ROMS);
        if (!PullsUp() && core->Asens[static_cast<size_t>(i)].ROMS == kParasite) {
            // Refused for the missing pull-up: no value that no conversion gave.
            const double before = core->Asens[static_cast<size_t>(i)].CorrectTemp;
            (void)thermometers.Measure1820(i);  // what counts is the record left behind
            EXPECT_EQ(core->Asens[static_cast<size_t>(i)].CorrectTemp, before);
            ++measured;
            continue;
        }
        EXPECT_EQ(thermometers.Measure1820(i), kMeasured);
        EXPECT_EQ(inProcess.Measure1820(i), kMeasured);
        EXPECT_EQ(thermometers.iarray, inProcess.iarray);
        const auto& got = core->Asens[static_cast<size_t>(i)];
        const auto& want = referenceCore->Asens[static_cast<size_t>(i)];
        EXPECT_EQ(got.CorrectTemp, want.CorrectTemp);
        EXPECT_EQ(got.UpLimitT, want.UpLimitT);
        EXPECT_EQ(got.DownLimitT, want.DownLimitT);
        ++measured;
    }
    EXPECT_EQ(measured, 3);
    EXPECT_EQ(core->Asens[static_cast<size_t>(IndexOf(kThermometer))].CorrectTemp, 21.5);
    if (!PullsUp()) {
        adapter->withBench(
            [](sim::SimBench& bench) { EXPECT_FALSE(PullupEverOn(bench.bus().events())); });
        return;
    }
    // A parasite part converts only while the pull-up holds: its reading proves it held.
    EXPECT_EQ(core->Asens[static_cast<size_t>(IndexOf(kParasite))].CorrectTemp, -5.25);
    adapter->withBench([](sim::SimBench& bench) {
        EXPECT_GE(PullupHeldUs(bench.bus().events()), 1'000'000u);
        EXPECT_FALSE(bench.bus().strongPullup());
    });
}

TEST_P(Conformance, AdapterWithoutStrongPullupRefusesItNamingTheLimit) {
    ScanBoth();
    Link& link = *adapter->driver().link();
    for (const auto trigger : {PullupTrigger::AfterNextByte, PullupTrigger::AfterNextBit}) {
        const auto armed = link.armStrongPullup(trigger);
        EXPECT_EQ(armed.ok(), PullsUp());
        if (!armed) {
            EXPECT_EQ(armed.error().code, WireErrorCode::Unsupported);
            EXPECT_NE(armed.error().message.find("no strong pull-up"), std::string::npos)
                << armed.error().message;
        }
        EXPECT_TRUE(link.setNormalLevel());
    }
}

TEST_P(Conformance, ThresholdsWrittenToAParasiteThermometerSurviveAPowerCycle) {
    ScanBoth();
    const int index = IndexOf(kParasite);
    ASSERT_GE(index, 0);
    adapter->withBench([](sim::SimBench& bench) { bench.bus().setRecording(true); });
    Thermometers thermometers(*core);
    std::vector<uint8_t> eepromBefore;
    adapter->withBench([&](sim::SimBench& bench) {
        auto* device = dynamic_cast<sim::Ds18x20Device*>(bench.find(kParasiteRom));
        ASSERT_NE(device, nullptr);
        eepromBefore.assign(device->eeprom().begin(), device->eeprom().end());
    });
    thermometers.wrscr1820(35, -5, index);

    if (!PullsUp()) {
        // The copy needs the pull-up: refused, the EEPROM keeps what it held.
        adapter->withBench([&](sim::SimBench& bench) {
            auto* device = dynamic_cast<sim::Ds18x20Device*>(bench.find(kParasiteRom));
            ASSERT_NE(device, nullptr);
            device->powerCycle();
            EXPECT_TRUE(std::equal(eepromBefore.begin(), eepromBefore.end(),
                                   device->eeprom().begin(), device->eeprom().end()));
            EXPECT_FALSE(PullupEverOn(bench.bus().events()));
        });
        return;
    }
    adapter->withBench([](sim::SimBench& bench) {
        auto* device = dynamic_cast<sim::Ds18x20Device*>(bench.find(kParasiteRom));
        ASSERT_NE(device, nullptr);
        device->powerCycle();
        ASSERT_GE(device->eeprom().size(), 2u);
        EXPECT_EQ(device->eeprom()[0], 35);
        EXPECT_EQ(device->eeprom()[1], 0xFB);
    });
    EXPECT_EQ(thermometers.Measure1820(index), kMeasured);
    EXPECT_EQ(core->Asens[static_cast<size_t>(index)].UpLimitT, 35);
    EXPECT_EQ(core->Asens[static_cast<size_t>(index)].DownLimitT, -5);
}

TEST_P(Conformance, MultisensorCycleAndPageWrite) {
    ScanBoth();
    const auto index = static_cast<int16_t>(IndexOf(kMultisensor));
    ASSERT_GE(index, 0);
    PollSwitch poll(*core);
    PollSwitch referencePoll(*referenceCore);
    HltState state;
    HltState referenceState;
    state.curIndxHLT = referenceState.curIndxHLT = index;
    HltCore hlt(*core, poll, state);
    HltCore inProcess(*referenceCore, referencePoll, referenceState);
    velgrin::testing::RecordingSurface dialog;
    velgrin::testing::RecordingSurface referenceDialog;

    EXPECT_TRUE(hlt.getValueHLT(index, dialog));
    EXPECT_TRUE(inProcess.getValueHLT(index, referenceDialog));
    EXPECT_EQ(dialog.log, referenceDialog.log);
    EXPECT_EQ(state.HLT_Buf, referenceState.HLT_Buf);
    EXPECT_EQ(state.Temperature, 24.0);
    EXPECT_EQ(state.Vsens, referenceState.Vsens);
    EXPECT_EQ(state.ADC0_val, referenceState.ADC0_val);
    EXPECT_EQ(state.ADC1_val, referenceState.ADC1_val);

    const std::array<uint8_t, kHltPageSize> bytes{0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
    hlt.Write_HLT_Page(4, bytes, kMultisensorRom);
    adapter->withBench([&](sim::SimBench& bench) {
        const auto* device = dynamic_cast<const sim::Ds2438Device*>(bench.find(kMultisensorRom));
        ASSERT_NE(device, nullptr);
        const auto page = device->page(4);
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), page.begin()));
    });
    EXPECT_TRUE(host.messages.empty());
    EXPECT_TRUE(poll.enabled);
}

TEST_P(Conformance, ThermometerLeavingDuringItsConversionKeepsItsLastReading) {
    ScanBoth();
    const int index = IndexOf(kThermometer);
    Thermometers thermometers(*core);
    ASSERT_EQ(thermometers.Measure1820(index), kMeasured);
    ASSERT_EQ(core->Asens[static_cast<size_t>(index)].CorrectTemp, 21.5);

    adapter->withBench([](sim::SimBench& bench) {
        auto* device = dynamic_cast<sim::Ds18x20Device*>(bench.find(kThermometerRom));
        ASSERT_NE(device, nullptr);
        device->setTemperature(sim::SimValue::Constant(30));
        bench.schedule(bench.elapsedMs() + 500, "leaves",
                       [](sim::SimBench& b) { (void)b.park(kThermometerRom); });
    });
    (void)thermometers.Measure1820(index);
    EXPECT_EQ(core->Asens[static_cast<size_t>(index)].CorrectTemp, 21.5);
    EXPECT_TRUE(host.messages.empty());

    (void)reference->park(kThermometerRom);
    ScanBoth();
    EXPECT_EQ(core->FoundDev, 7);
    EXPECT_EQ(IndexOf(kThermometer), -1);
}

TEST_P(Conformance, UnpluggedAdapterIsReportedAndListedAgainOnceBack) {
    ScanBoth();
    const std::string listed = ScanResult(*referenceCore);

    adapter->unplug();
    (void)Thermometers(*core).Measure1820(IndexOf(kThermometer));
    EXPECT_EQ(adapter->driver().TMValidSession(core->SHandle), 0);
    (void)core->ScanSessionAndSearch();
    EXPECT_EQ(core->stat11, status_text::kCheckAdapter);
    EXPECT_EQ(core->FoundDev, 0);
    EXPECT_EQ(core->Stat1, "");

    adapter->replug();
    (void)core->ScanSessionAndSearch();
    EXPECT_EQ(ScanResult(*core), listed);
    EXPECT_TRUE(host.messages.empty());
}

TEST_P(Conformance, ShortedBusListsNothingUntilTheShortIsGone) {
    ScanBoth();
    const std::string listed = ScanResult(*referenceCore);

    adapter->withBench([](sim::SimBench& bench) { bench.bus().setShorted(true); });
    (void)core->ScanSessionAndSearch();
    EXPECT_EQ(core->stat11, status_text::kAdapterFound);
    EXPECT_EQ(core->FoundDev, 0);
    EXPECT_EQ(adapter->driver().TMSetup(core->SHandle), adapter->seesShorts() ? 2 : 1);
    if (adapter->seesShorts()) {
        // Nobody answers a selection there, whichever command carries its reset.
        EXPECT_LT(adapter->driver().TMAccess(core->SHandle, core->StateBuf), 1);
    }

    adapter->withBench([](sim::SimBench& bench) { bench.bus().setShorted(false); });
    (void)core->ScanSessionAndSearch();
    EXPECT_EQ(ScanResult(*core), listed);
}

TEST_P(Conformance, SecondProgramIsRefusedAndTheFirstGoesOn) {
    ScanBoth();
    const std::string listed = ScanResult(*referenceCore);

    auto other = adapter->secondDriver();
    BusCore otherCore(*other, host);
    (void)otherCore.ScanSessionAndSearch();
    EXPECT_EQ(otherCore.SHandle, tmex_error::kPortBusy);
    EXPECT_EQ(otherCore.stat11, status_text::kDriverError);
    EXPECT_EQ(otherCore.FoundDev, 0);
    EXPECT_NE(other->lastError().find("in use by another program"), std::string::npos)
        << other->lastError();

    (void)core->ScanSessionAndSearch();
    EXPECT_EQ(ScanResult(*core), listed);
}

namespace {

std::vector<ThermometerOutcome> MeasureSet(TmexDriver& driver, Host& host, bool busHoldsOnlyThese) {
    Network network(*driver.link());
    RetryRule retries;
    return ThermometerSet(network, host, retries).measure(kThermometerRoms, busHoldsOnlyThese);
}

// Without a strong pull-up the parasite thermometer is never given as measured; the others are.
void ExpectSameOutcomes(const std::vector<ThermometerOutcome>& got,
                        const std::vector<ThermometerOutcome>& want, bool pullsUp = true) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].rom, want[i].rom);
        if (!pullsUp && got[i].rom == kParasiteRom) {
            EXPECT_NE(got[i].state, ThermometerOutcome::State::Measured);
            continue;
        }
        EXPECT_EQ(got[i].state, want[i].state);
        EXPECT_EQ(got[i].scratchpad, want[i].scratchpad);
    }
}

// Every device but the thermometers leaves the bench.
void KeepOnlyThermometers(sim::SimBench& bench) {
    std::vector<RomCode> others;
    for (const auto& device : bench.bus().devices()) {
        const uint8_t family = device->rom()[0];
        if (family != 0x28 && family != 0x10) {
            others.push_back(device->rom());
        }
    }
    for (const RomCode& rom : others) {
        (void)bench.park(rom);
    }
}

}  // namespace

TEST_P(Conformance, ThermometerSetAmongOtherDevicesConvertsEachByMatchRom) {
    ScanBoth();
    adapter->withBench([](sim::SimBench& bench) { bench.bus().setRecording(true); });
    const auto got = MeasureSet(adapter->driver(), host, false);
    ExpectSameOutcomes(got, MeasureSet(*referenceDriver, host, false), PullsUp());
    ASSERT_EQ(got.size(), 3u);
    // 21.5 at 12 bits; -5.25 at 10 bits, which the parasite part gives only when the pull-up held.
    EXPECT_EQ(got[0].scratchpad[0], 0x58);
    EXPECT_EQ(got[0].scratchpad[1], 0x01);
    if (!PullsUp()) {
        adapter->withBench(
            [](sim::SimBench& bench) { EXPECT_FALSE(PullupEverOn(bench.bus().events())); });
        return;
    }
    for (const auto& outcome : got) {
        EXPECT_EQ(outcome.state, ThermometerOutcome::State::Measured);
    }
    EXPECT_EQ(got[1].scratchpad[0], 0xAC);
    EXPECT_EQ(got[1].scratchpad[1], 0xFF);
    adapter->withBench([](sim::SimBench& bench) {
        EXPECT_GE(PullupHeldUs(bench.bus().events()), 750'000u);
        EXPECT_FALSE(bench.bus().strongPullup());
    });
}

TEST_P(Conformance, ThermometersAloneOnTheBusConvertTogether) {
    adapter->withBench(KeepOnlyThermometers);
    KeepOnlyThermometers(*reference);
    ScanBoth();
    ASSERT_EQ(core->FoundDev, 3);
    const auto got = MeasureSet(adapter->driver(), host, true);
    ExpectSameOutcomes(got, MeasureSet(*referenceDriver, host, true), PullsUp());
    if (!PullsUp()) {
        return;
    }
    for (const auto& outcome : got) {
        EXPECT_EQ(outcome.state, ThermometerOutcome::State::Measured);
    }
    EXPECT_EQ(got[1].scratchpad[0], 0xAC);
}

TEST_P(Conformance, ThermometerThatCannotConvertSinceItsPowerOnShowsThePowerOnValue) {
    ScanBoth();
    const auto stall = [](sim::SimBench& bench) {
        auto* device = dynamic_cast<sim::Ds18x20Device*>(bench.find(kThermometerRom));
        ASSERT_NE(device, nullptr);
        device->powerCycle();
        device->setConversionStuck(true);
    };
    adapter->withBench(stall);
    stall(*reference);
    const auto got = MeasureSet(adapter->driver(), host, false);
    ExpectSameOutcomes(got, MeasureSet(*referenceDriver, host, false), PullsUp());
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].state, ThermometerOutcome::State::PowerOnValue);
    EXPECT_EQ(got[2].state, ThermometerOutcome::State::Measured);
}

}  // namespace velgrin::conformance
