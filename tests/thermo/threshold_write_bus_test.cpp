#include <gtest/gtest.h>

#include <optional>
#include <tuple>

#include "sim_thermometers.h"

namespace velgrin {
namespace {

using testing::ThermometerRom;

const RomCode kB20 = ThermometerRom(0x28, 0x01);
const RomCode kS20 = ThermometerRom(0x10, 0x02);
const RomCode kThird = ThermometerRom(0x28, 0x03);

std::vector<uint8_t> Eeprom(const sim::Ds18x20Device& device) {
    return {device.eeprom().begin(), device.eeprom().end()};
}

struct ThresholdWriteBus : ::testing::TestWithParam<bool>, testing::ThermometerBench {};

TEST_P(ThresholdWriteBus, WriteCopyAndReadBackOnTheBus) {
    auto& device = Attach<sim::Ds18b20Device>(kB20);
    device.setParasite(GetParam());
    Scan();
    const std::string selection = Selection(kB20);

    EXPECT_EQ(tab.thermometers().wrscr1820(30.9, -10.2, IndexOf(kB20)), ThresholdWrite::Verified);

    // Two data bytes only, seen in the scratchpad before the copy; the pull-up starts right
    // after the copy command and holds 500 ms. Then the scratchpad, and what Recall E2 brings
    // back from the EEPROM.
    EXPECT_EQ(Log(), selection + " " + Access(kB20) + " W4E W1E WF5 " + Access(kB20) + " " +
                         selection + " " + ScratchpadRead(device) + " " + selection +
                         " W48 P+ P- " + selection + " " + ScratchpadRead(device) + " " +
                         selection + " WB8 " + selection + " " + ScratchpadRead(device));
    EXPECT_GE(PullupHeldUs(), 500'000u);
    EXPECT_EQ(rig.host.messagePumps, 1);
    EXPECT_EQ(Eeprom(device), (std::vector<uint8_t>{0x1E, 0xF5, 0x7F}));
    EXPECT_EQ(tab.thermometers().iarray[2], 0x1E);
    EXPECT_EQ(tab.thermometers().iarray[3], 0xF5);
}

TEST_P(ThresholdWriteBus, ThresholdsSurviveAPowerCycle) {
    auto& device = Attach<sim::Ds18s20Device>(kS20);
    device.setParasite(GetParam());
    Scan();
    tab.thermometers().wrscr1820(10, 20, IndexOf(kS20));
    device.powerCycle();
    EXPECT_EQ(device.scratchpad()[2], 10);
    EXPECT_EQ(device.scratchpad()[3], 20);
}

INSTANTIATE_TEST_SUITE_P(Power, ThresholdWriteBus, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Parasite" : "External"; });

struct ResolutionWrite : ::testing::Test, testing::ThermometerBench {};

// A configuration byte goes as Write Scratchpad's third data byte and lands in the EEPROM; a
// DS18S20 gets nothing.
TEST_F(ResolutionWrite, TheConfigurationByteGoesThirdToADs18b20Only) {
    auto& b20 = Attach<sim::Ds18b20Device>(kB20);
    auto& s20 = Attach<sim::Ds18s20Device>(kS20);
    Scan();
    const std::vector<std::tuple<std::optional<uint8_t>, std::string, uint8_t>> cases{
        {std::nullopt, "W4E W1E WF5 R", 0x7F}, {0x3F, "W4E W1E WF5 W3F R", 0x3F}};
    for (const auto& [configuration, write, held] : cases) {
        rig.bus().clearEvents();
        EXPECT_EQ(tab.thermometers().wrscr1820(30, -11, IndexOf(kB20), configuration),
                  ThresholdWrite::Verified);
        EXPECT_NE(Log().find(write), std::string::npos) << Log();
        EXPECT_EQ(Eeprom(b20), (std::vector<uint8_t>{0x1E, 0xF5, held}));
    }
    rig.bus().clearEvents();
    EXPECT_EQ(tab.thermometers().wrscr1820(30, -11, IndexOf(kS20), 0x3F),
              ThresholdWrite::NotReached);
    EXPECT_EQ(Log(), "");
    EXPECT_EQ(Eeprom(s20), (std::vector<uint8_t>{0x4B, 0x46}));
}

struct WriteButton : ::testing::Test, testing::ThermometerBench {};

TEST_F(WriteButton, DS18B20KeepsItsResolution) {
    auto& device = Attach<sim::Ds18b20Device>(kB20);
    device.setResolution(9);
    Scan();
    Select(kB20);
    Type("125", "-55");
    tab.btn1820wrClick({ListEntry(kB20)});
    device.powerCycle();
    EXPECT_EQ(Eeprom(device), (std::vector<uint8_t>{0x7D, 0xC9, 0x1F}));
    EXPECT_EQ(device.resolution(), 9);
}

TEST_F(WriteButton, AfterTheWriteTheBoxesAreEmptyAndTheNextPollShowsTheDevice) {
    Attach<sim::Ds18b20Device>(kB20);
    Scan();
    Select(kB20);
    Type("30,9", "-10,2");
    tab.btn1820wrClick({ListEntry(kB20)});
    EXPECT_EQ(controls.text(thermo_control::kUpper), "");
    EXPECT_EQ(controls.text(thermo_control::kLower), "");
    EXPECT_TRUE(controls.enabled(thermo_control::kWrite));
    EXPECT_TRUE(tab.ThresholdEditPending);
    EXPECT_TRUE(poll.enabled);
    EXPECT_TRUE(rig.host.messages.empty());

    tab.RefreshSelectedThermometer();
    EXPECT_EQ(controls.text(thermo_control::kUpper), "30");
    EXPECT_EQ(controls.text(thermo_control::kLower), "-11");
}

struct WriteAll : ::testing::Test, testing::ThermometerBench {
    void SetUp() override {
        devices = {&Attach<sim::Ds18b20Device>(kB20), &Attach<sim::Ds18s20Device>(kS20),
                   &Attach<sim::Ds18b20Device>(kThird)};
        Scan();
        controls.setChecked(thermo_control::kWriteAll, true);
        Type("30,9", "-10,2");
    }
    std::vector<sim::Ds18x20Device*> devices;
};

TEST_F(WriteAll, EveryThermometerOnceInListOrder) {
    // The list order is the user's, not the bus order.
    const std::vector<RomCode> order{kThird, kB20, kS20};
    std::vector<std::string> entries;
    for (const auto& rom : order) {
        entries.push_back(ListEntry(rom));
    }
    struct Pass {
        int position;
        bool progressShown;
        bool listEnabled, allEnabled, buttonEnabled, upperEnabled, lowerEnabled;
    };
    std::vector<Pass> passes;
    rig.host.onProcessMessages = [&] {
        passes.push_back(
            {progress.positions.back(), controls.visible(thermo_control::kProgress),
             controls.enabled(thermo_control::kList), controls.enabled(thermo_control::kWriteAll),
             controls.enabled(thermo_control::kWrite), controls.enabled(thermo_control::kUpper),
             controls.enabled(thermo_control::kLower)});
    };

    tab.btn1820wrClick(entries);

    ASSERT_EQ(passes.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        const Pass& pass = passes[static_cast<size_t>(i)];
        EXPECT_EQ(pass.position, i);
        EXPECT_TRUE(pass.progressShown);
        EXPECT_FALSE(pass.listEnabled || pass.allEnabled || pass.buttonEnabled ||
                     pass.upperEnabled || pass.lowerEnabled);
    }
    EXPECT_EQ(progress.minimum, 0);
    EXPECT_EQ(progress.maximum, 3);
    EXPECT_EQ(progress.positions, (std::vector<int>{0, 0, 1, 2, 0}));
    EXPECT_EQ(rig.host.sleeps, (std::vector<uint32_t>{300, 300, 300}));

    const std::string log = Log();
    size_t previous = 0;
    for (const auto& rom : order) {
        const std::string write = Access(rom) + " W4E W1E WF5";
        const size_t at = log.find(write);
        ASSERT_NE(at, std::string::npos);
        EXPECT_GE(at, previous);
        EXPECT_EQ(log.find(write, at + 1), std::string::npos);
        previous = at;
    }
    for (const auto* device : devices) {
        EXPECT_EQ(device->eeprom()[0], 0x1E);
        EXPECT_EQ(device->eeprom()[1], 0xF5);
    }
    EXPECT_FALSE(controls.visible(thermo_control::kProgress));
    EXPECT_TRUE(controls.enabled(thermo_control::kList));
    EXPECT_TRUE(controls.enabled(thermo_control::kWriteAll));
    EXPECT_EQ(controls.text(thermo_control::kUpper), "");
    EXPECT_TRUE(poll.enabled);
}

TEST_F(WriteAll, EntryWithoutDeviceEndsTheLoopThere) {
    tab.btn1820wrClick(
        {ListEntry(kB20), "05 " + RomText(ThermometerRom(0x28, 0x44)), ListEntry(kThird)});
    EXPECT_EQ(devices[0]->eeprom()[0], 0x1E);
    EXPECT_EQ(devices[2]->eeprom()[0], 0x4B);
    EXPECT_EQ(Log().find(Access(kThird)), std::string::npos);
    EXPECT_FALSE(controls.visible(thermo_control::kProgress));
    EXPECT_TRUE(controls.enabled(thermo_control::kList));
    EXPECT_TRUE(poll.enabled);
    EXPECT_EQ(controls.text(thermo_control::kUpper), "30,9");
}

// A device that stops answering after Write Scratchpad may leave the selection on another one:
// the copy command must not reach it.
TEST(ThresholdWriteFault, NoCopyWhenTheDeviceNoLongerAnswers) {
    testing::ThermometerBench t;
    auto& target = t.Attach<sim::Ds18b20Device>(kB20);
    auto& bystander = t.Attach<sim::Ds18b20Device>(kThird);
    t.Scan();
    // The bystander's scratchpad holds thresholds it was never told to keep.
    std::array<int16_t, 8> words{};
    std::copy(kThird.begin(), kThird.end(), words.begin());
    (void)t.rig.driver.TMRom(t.rig.core.SHandle, t.rig.core.StateBuf, words);
    (void)t.rig.driver.TMAccess(t.rig.core.SHandle, t.rig.core.StateBuf);
    for (int16_t byte : {0x4E, 0x11, 0x22}) {
        (void)t.rig.driver.TMTouchByte(t.rig.core.SHandle, byte);
    }
    const std::string selection = t.Selection(kB20);
    // The target answers its first selection, then every ROM bit it sends comes out inverted.
    target.corruptBit = [&target, bits = 0]() mutable {
        return !target.outgoing().data && ++bits > 128;
    };

    EXPECT_EQ(t.tab.thermometers().wrscr1820(30, 10, t.IndexOf(kB20)), ThresholdWrite::NotReached);

    const std::string log = t.Log();
    const std::string lostSelection = t.Selection(kB20);
    // Written, then neither copy nor pull-up: the scratchpad check finds the device gone at
    // each of its selections, and the read-back reads whoever the selection left. Each repeat
    // finds the device gone at its first selection.
    std::string checks;
    for (int i = 0; i < kTransactionAttempts; ++i) {
        checks += " " + lostSelection;
    }
    std::string repeats;
    for (int i = 1; i < kTransactionAttempts; ++i) {
        repeats += " " + lostSelection + " " + lostSelection + " " + t.ScratchpadRead(bystander);
    }
    EXPECT_EQ(log, selection + " " + t.Access(kB20) + " W4E W1E W0A " + t.Access(kB20) + checks +
                       " " + lostSelection + " " + t.ScratchpadRead(bystander) + repeats);
    EXPECT_EQ(Eeprom(bystander), (std::vector<uint8_t>{0x4B, 0x46, 0x7F}));
    EXPECT_EQ(Eeprom(target), (std::vector<uint8_t>{0x4B, 0x46, 0x7F}));
}

// A scratchpad read that fails its CRC is read again on its own, with its selection (and its
// recall, after the copy); nothing is written or copied twice. The garbled read is the check
// before the copy, the read-back after it, or the read of what the recall brought back.
TEST(ThresholdWriteFault, AScratchpadReadFailingItsCrcIsReadAgainAlone) {
    for (int garbled = 1; garbled <= 3; ++garbled) {
        testing::ThermometerBench t;
        auto& target = t.Attach<sim::Ds18b20Device>(kB20);
        t.Scan();
        target.corruptBit = [&target, garbled, reads = 0]() mutable {
            const auto out = target.outgoing();
            const bool first = out.data && out.byteIndex == 0 && out.bit == 0;
            reads += first ? 1 : 0;
            return first && reads == garbled;
        };
        EXPECT_EQ(t.tab.thermometers().wrscr1820(30, 10, t.IndexOf(kB20)), ThresholdWrite::Verified)
            << "read " << garbled;
        const std::string log = t.Log();
        auto count = [&log](const std::string& word) {
            size_t n = 0;
            for (auto at = log.find(word); at != std::string::npos; at = log.find(word, at + 1)) {
                ++n;
            }
            return n;
        };
        EXPECT_EQ(count("W4E"), 1u) << "read " << garbled;
        EXPECT_EQ(count("W48"), 1u) << "read " << garbled;
        // Read Scratchpad with its first byte (the selections write BE as well).
        EXPECT_EQ(count("WBE R"), 4u) << "read " << garbled;
        EXPECT_EQ(count("WB8"), garbled == 3 ? 2u : 1u) << "read " << garbled;
        EXPECT_EQ(Eeprom(target), (std::vector<uint8_t>{30, 10, 0x7F})) << "read " << garbled;
    }
}

TEST(ThresholdWriteFault, ADeviceGoneDuringTheCopyIsNotVerifiedAndTheTabSaysSo) {
    testing::ThermometerBench t;
    auto& target = t.Attach<sim::Ds18b20Device>(kB20);
    t.Scan();
    t.rig.host.onProcessMessages = [&] { t.rig.bench->park(target.rom()); };
    EXPECT_EQ(t.tab.thermometers().wrscr1820(30, 10, t.IndexOf(kB20)), ThresholdWrite::NotVerified);
    t.rig.host.onProcessMessages = nullptr;

    ASSERT_TRUE(t.rig.bench->unpark(target.rom()));
    t.Scan();
    t.Select(kB20);
    t.Type("30", "10");
    t.rig.host.onProcessMessages = [&] { t.rig.bench->park(target.rom()); };
    t.tab.btn1820wrClick({t.ListEntry(kB20)});
    EXPECT_EQ(t.rig.host.messages, std::vector<std::string>{"Не удалось записать параметры"});
}

// Ctrl+F1 during the copy wait of a write to all thermometers: the rescan finds a newcomer that
// takes the first index. Every step after the wait still addresses the device being written.
TEST(ThresholdWriteFault, ARescanDuringTheCopyWaitDoesNotMoveTheWrite) {
    testing::ThermometerBench t;
    auto& first = t.Attach<sim::Ds18b20Device>(kThird);
    auto& second = t.Attach<sim::Ds18s20Device>(kS20);
    t.Scan();
    // The search ends on kThird, which the session is left on after the rescan.
    const std::vector<std::string> entries{t.ListEntry(kS20), t.ListEntry(kThird)};
    const RomCode newcomerRom = ThermometerRom(0x10, 0x00);
    bool rescanned = false;
    t.rig.host.onProcessMessages = [&] {
        if (!rescanned) {
            rescanned = true;
            auto& newcomer = t.Attach<sim::Ds18s20Device>(newcomerRom);
            newcomer.setAlarmThresholds(1, 2);
            (void)t.rig.core.ScanSessionAndSearch();
        }
    };
    t.Select(kS20);
    t.Type("40", "-5");
    t.controls.setChecked(thermo_control::kWriteAll, true);
    t.tab.btn1820wrClick(entries);
    t.rig.host.onProcessMessages = nullptr;

    ASSERT_TRUE(rescanned);
    EXPECT_EQ(t.rig.core.Asens[0].ROMS, RomText(newcomerRom));
    EXPECT_TRUE(t.rig.host.messages.empty());
    EXPECT_EQ(Eeprom(first)[0], 40);
    EXPECT_EQ(Eeprom(first)[1], 0xFB);
    EXPECT_EQ(Eeprom(second)[0], 40);
    EXPECT_EQ(Eeprom(second)[1], 0xFB);
    auto* newcomer = static_cast<sim::Ds18x20Device*>(t.rig.bus().find(newcomerRom));
    ASSERT_NE(newcomer, nullptr);
    EXPECT_EQ(Eeprom(*newcomer)[0], 1);
    EXPECT_EQ(Eeprom(*newcomer)[1], 2);
}

}  // namespace
}  // namespace velgrin
