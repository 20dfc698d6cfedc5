#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "bench_rig.h"
#include "flaky_link.h"
#include "wire/sim/sim_device.h"
#include "wire/sim/sim_ds1922.h"
#include "wire/sim/sim_faults.h"

namespace velgrin {
namespace {

using testing::BenchRegistry;
using testing::BenchRig;

RomCode Rom(uint8_t family, uint64_t serial) {
    return testing::TestRom(family, serial);
}

sim::SimDevice& Attach(BenchRig& rig, const RomCode& rom) {
    return rig.bus().attach(std::make_unique<sim::PlainRomDevice>(rom));
}

TEST(ScanNetwork, DefaultPortNeverAsksAndListsTheBusInOrderOfDiscovery) {
    BenchRig rig;
    const RomCode hlt = Rom(0x26, 0x10);
    const RomCode t1 = Rom(0x28, 0x02);
    const RomCode t2 = Rom(0x28, 0x01);
    for (const auto& rom : {hlt, t1, t2}) {
        Attach(rig, rom);
    }
    const auto outcome = rig.core.ScanSessionAndSearch();
    EXPECT_EQ(outcome.result, 1);
    EXPECT_FALSE(outcome.noPortChosen);
    EXPECT_TRUE(rig.host.messages.empty());
    EXPECT_EQ(rig.core.stat11, "Адаптер найден");
    ASSERT_EQ(rig.core.FoundDev, 3);
    EXPECT_TRUE(rig.core.flgRedravAll);
    // Search order: at the first bit where codes differ (low bits first on the wire) the 0 wins;
    // 0x28 comes before 0x26, serial 02 before 01.
    EXPECT_EQ(rig.core.Asens[0].ROMS, RomText(t1));
    EXPECT_EQ(rig.core.Asens[1].ROMS, RomText(t2));
    EXPECT_EQ(rig.core.Asens[2].ROMS, RomText(hlt));
    EXPECT_EQ(rig.core.Asens[0].Family, 40);
    EXPECT_EQ(rig.core.Asens[2].Family, 38);
    EXPECT_EQ(rig.core.Asens[2].ROM[0], 0x26);
    EXPECT_EQ(rig.core.Asens[2].ROM[7], hlt[7]);
    EXPECT_EQ(ListEntryText(2, rig.core.Asens[2].ROMS), "02 " + RomText(hlt));

    rig.core.cbbPortChange(3);
    rig.core.cbAdapterChange(4);
    EXPECT_EQ(rig.core.ScanSessionAndSearch().result, 1)
        << "the lists do not matter in default mode";
    EXPECT_FALSE(rig.core.flgRedravAll) << "same count: no rebuild";
    EXPECT_TRUE(rig.host.messages.empty());
}

TEST(ScanNetwork, MissingDefaultPortAsksOnceThenUsesTheListChoices) {
    VirtualClock clock;
    testing::ScriptedHost host(clock);
    auto bench = std::make_shared<sim::SimBench>(clock);
    TmexDriver driver(BenchRegistry(bench), std::nullopt);
    BusCore core(driver, host);

    const auto first = core.ScanSessionAndSearch();
    EXPECT_EQ(first.result, 0);
    EXPECT_TRUE(first.noPortChosen);
    EXPECT_TRUE(first.portListsToDefaults);
    EXPECT_TRUE(core.flgRedravAll);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0],
              "Порт 1-wire \"по умолчанию\" не найден. Произведите настройку вручную.");
    EXPECT_EQ(core.stat11, "Не выбран порт для подключения!!!");
    EXPECT_FALSE(core.portConfigDefault);
    EXPECT_EQ(core.PortNum, 1);
    EXPECT_EQ(core.PortType, 6);

    // Nothing picked yet: port 0, type 0, which names no adapter.
    const auto second = core.ScanSessionAndSearch();
    EXPECT_EQ(second.result, 0);
    EXPECT_FALSE(second.portListsToDefaults);
    EXPECT_EQ(core.PortNum, 0);
    EXPECT_EQ(core.PortType, 0);
    EXPECT_EQ(core.stat11, "Ошибка настройки драйвера порта!!!");
    EXPECT_FALSE(core.flgRedravAll);
    EXPECT_EQ(host.messages.size(), 1u) << "the message is shown once";
}

TEST(ScanNetwork, UnpluggedAdapterClearsTheTableAndReplugListsAgain) {
    BenchRig rig;
    Attach(rig, Rom(0x81, 0x55));
    Attach(rig, Rom(0x28, 0x01));
    ASSERT_EQ(rig.core.ScanSessionAndSearch().result, 1);
    EXPECT_EQ(rig.core.Stat1.substr(14), "81");

    rig.bench->unplugged = true;
    const auto gone = rig.core.ScanSessionAndSearch();
    EXPECT_EQ(gone.result, 0);
    EXPECT_EQ(rig.core.stat11, " Проверьте подключение адаптера 1Wire!!!");
    EXPECT_EQ(rig.core.Stat1, "");
    EXPECT_EQ(rig.core.FoundDev, 0);
    EXPECT_EQ(rig.core.OldFoundDev, 0);
    EXPECT_EQ(rig.core.devicesOnBus, 0);
    EXPECT_TRUE(rig.core.flgRedravAll);

    rig.bench->unplugged = false;
    EXPECT_EQ(rig.core.ScanSessionAndSearch().result, 1);
    EXPECT_EQ(rig.core.stat11, "Адаптер найден");
    EXPECT_EQ(rig.core.FoundDev, 2);
    EXPECT_TRUE(rig.core.flgRedravAll);
}

TEST(ScanNetwork, RefusedSessionChangesNothing) {
    BenchRig rig;
    Attach(rig, Rom(0x28, 0x01));
    ASSERT_EQ(rig.core.ScanSessionAndSearch().result, 1);
    rig.bench->sessionRefused = true;
    const auto outcome = rig.core.ScanSessionAndSearch();
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(rig.core.stat11, "Адаптер найден");
    EXPECT_EQ(rig.core.FoundDev, 1);
    EXPECT_EQ(rig.core.SHandle, 0);
}

TEST(ScanNetwork, TableFollowsTheBus) {
    BenchRig rig;
    const RomCode lone = Rom(0x01, 0x99);
    Attach(rig, lone);
    rig.core.ScanSessionAndSearch();
    EXPECT_EQ(rig.core.FoundDev, 1) << "an unlisted family is stored and counted";
    EXPECT_EQ(rig.core.Asens[0].Family, 0);

    // Swapped for a device of another family: same count, no rebuild, new table entry.
    rig.bench->park(lone);
    const RomCode thermometer = Rom(0x28, 0x05);
    Attach(rig, thermometer);
    rig.core.ScanSessionAndSearch();
    EXPECT_FALSE(rig.core.flgRedravAll);
    EXPECT_EQ(rig.core.Asens[0].ROMS, RomText(thermometer));
    EXPECT_EQ(rig.core.Asens[0].Family, 40);

    rig.bench->park(thermometer);
    rig.core.ScanSessionAndSearch();
    EXPECT_EQ(rig.core.FoundDev, 0);
    EXPECT_TRUE(rig.core.flgRedravAll);
    EXPECT_EQ(rig.core.stat11, "Адаптер найден");
}

TEST(ScanNetwork, StoresTheFirstHundredOfALargerBusAndCountsTheRest) {
    BenchRig rig;
    for (uint64_t i = 0; i < 120; ++i) {
        Attach(rig, Rom(0x28, i));
    }
    // Family 0x81 has its lowest bit set: the search finds it after every thermometer.
    const RomCode chip = Rom(0x81, 0x00000ABCDEull);
    Attach(rig, chip);
    rig.core.ScanSessionAndSearch();
    EXPECT_EQ(rig.core.FoundDev, 100);
    EXPECT_EQ(rig.core.devicesOnBus, 121);
    EXPECT_TRUE(rig.core.tableOverflowed());
    EXPECT_EQ(rig.core.SNADAPTERS, RomText(chip));
    EXPECT_EQ(rig.core.Stat1, RomText(chip));
    std::set<std::string> unique;
    for (int i = 0; i < 100; ++i) {
        unique.insert(rig.core.Asens[static_cast<size_t>(i)].ROMS);
    }
    EXPECT_EQ(unique.size(), 100u);

    // A bus that fits the table exactly is whole.
    for (uint64_t i = 100; i < 120; ++i) {
        rig.bench->park(Rom(0x28, i));
    }
    rig.bench->park(chip);
    rig.core.ScanSessionAndSearch();
    EXPECT_EQ(rig.core.FoundDev, 100);
    EXPECT_EQ(rig.core.devicesOnBus, 100);
    EXPECT_FALSE(rig.core.tableOverflowed());
}

TEST(ScanNetwork, CapturesTheAdapterSerialChip) {
    BenchRig rig;
    const RomCode chip = Rom(0x81, 0x00000ABCDEull);
    Attach(rig, chip);
    rig.core.ScanSessionAndSearch();
    EXPECT_EQ(rig.core.SNADAPTERS, RomText(chip));
    EXPECT_EQ(rig.core.Stat1, RomText(chip));
    EXPECT_EQ(rig.core.Stat1.substr(14), "81");
    EXPECT_EQ(rig.core.Asens[0].Family, 0);
}

TEST(ScanNetwork, NamesDs1921SubtypesFromTheRomCode) {
    struct Case {
        uint64_t code;
        const char* name;
    };
    for (const Case& c :
         {Case{0, "DS1921L-F50 -40..+85(C)"}, Case{100, "DS1921L-F50 -40..+85(C)"},
          Case{348, "DS1921L-F53 -30..+85(C)"}, Case{596, "DS1921L-F52 -20..+85(C)"},
          Case{844, "DS1921L-F51 -10..+85(C)"}, Case{946, "DS1921Z-F5 -5..+26(C)"},
          Case{1266, "DS1921H-F5 +15..+46(C)"}, Case{5, "Неизвестное устройство"}}) {
        BenchRig rig;
        // The code is the top 12 bits of the serial number: byte 6 and the high nibble of byte 5.
        Attach(rig, Rom(0x21, (c.code << 36) | 0x0ABCDEull));
        rig.core.ScanSessionAndSearch();
        EXPECT_EQ(rig.core.TypeButtonString, c.name) << c.code;
        EXPECT_EQ(rig.core.Asens[0].Family, 33);
    }
}

TEST(ScanNetwork, ProbeThatCannotReachItsDeviceLeavesTheTypeName) {
    BenchRig rig;
    auto& logger = Attach(rig, Rom(0x21, 0));
    rig.core.ScanSessionAndSearch();
    EXPECT_EQ(rig.core.TypeButtonString, "DS1921L-F50 -40..+85(C)");

    // The logger left between the search and its probe: no name, the old one stays.
    rig.core.TypeButtonString = "before";
    rig.bench->park(logger.rom());
    std::array<int16_t, 9> rom{0x21, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(rig.core.IdentifyDS1921(rig.core.SHandle, rig.core.StateBuf, 0, rom), "");
    EXPECT_EQ(rig.core.TypeButtonString, "before");
}

TEST(ScanNetwork, NamesDs1922FamilyPartsFromTheirConfigurationByte) {
    struct Case {
        uint8_t config;
        const char* name;
    };
    for (const Case& c :
         {Case{0x00, "DS2422 - Термохрон"}, Case{0x20, "DS1923 - Гигрохрон"},
          Case{0x40, "DS1922L - Термохрон"}, Case{0x60, "DS1922T - Термохрон"},
          Case{0x80, "DS1922E - Термохрон"}, Case{0xA0, "Неизвестное устройство"}}) {
        BenchRig rig;
        rig.bus().attach(std::make_unique<sim::Ds1922Device>(Rom(0x41, 0x77), c.config));
        rig.core.ScanSessionAndSearch();
        EXPECT_EQ(rig.core.TypeButtonString, c.name) << int(c.config);
        EXPECT_EQ(rig.core.subtypeNames[0], c.name);
        EXPECT_EQ(rig.core.Asens[0].Family, 33);
    }
}

TEST(ScanNetwork, Ds1922ProbeReadsTheConfigurationByteBehindThePassword) {
    BenchRig rig;
    rig.bus().attach(std::make_unique<sim::Ds1922Device>(Rom(0x41, 0x77), 0x60));
    rig.core.ScanSessionAndSearch();
    rig.bus().setRecording(true);
    std::array<int16_t, 9> rom{};
    EXPECT_EQ(rig.core.IdentifyDS1922(rig.core.SHandle, rig.core.StateBuf, 0, rom),
              "DS1922T - Термохрон");
    const std::string log = sim::DescribeEvents(rig.bus().events());
    // A directed search selects the logger, then: command, address low and high, eight password
    // bytes sent as ones, and 35 reads of which the first is the configuration byte. No reset.
    std::string expected = "W69 W26 W02";
    for (int i = 0; i < 8; ++i) {
        expected += " RFF";
    }
    expected += " R60";
    const auto at = log.find("W69 W26 W02");
    ASSERT_NE(at, std::string::npos) << log;
    EXPECT_EQ(log.substr(at, expected.size()), expected);
    EXPECT_EQ(log.substr(0, 2), "R ") << "the probe begins with a reset that had a presence";
    const std::string tail = log.substr(at);
    EXPECT_EQ(std::count(tail.begin(), tail.end(), ' '), 3 + 8 + 35 - 1) << tail;
    EXPECT_EQ(tail.find(" R "), std::string::npos) << "no reset after the reads";
}

// A probe broken at any step names no part rather than a wrong one; a step broken once is
// repeated and names the right one.
TEST(ScanNetwork, Ds1922ProbeNamesNoPartUnlessEveryStepCameThrough) {
    using testing::ByteFault;
    // The rule garbles `byte` sent after `previous`, every time.
    auto garble = [](uint8_t previous, uint8_t byte) {
        return [=](uint8_t p, uint8_t b) {
            return p == previous && b == byte ? ByteFault::Garbled : ByteFault::None;
        };
    };
    struct Case {
        const char* step;
        std::function<void(testing::FlakyBenchRig&, sim::SimDevice&)> breakIt;
        const char* name;
    };
    const Case cases[] = {
        {"no presence", [](auto& rig, auto& d) { rig.bench->park(d.rom()); }, ""},
        {"command", [&](auto& rig, auto&) { rig.fault = garble(0xF0, 0x69); }, ""},
        {"address low", [&](auto& rig, auto&) { rig.fault = garble(0x69, 0x26); }, ""},
        {"address high", [&](auto& rig, auto&) { rig.fault = garble(0x26, 0x02); }, ""},
        {"password", [&](auto& rig, auto&) { rig.fault = garble(0x02, 0xFF); }, ""},
        {"configuration byte", [](auto&, auto& d) { sim::CorruptReplyByte(d, 0, 0x20); }, ""},
        {"CRC", [](auto&, auto& d) { sim::CorruptReplyByte(d, 27, 0x80); }, ""},
        {"adapter error",
         [](auto& rig, auto&) {
             rig.fault = [](uint8_t p, uint8_t b) {
                 return p == 0x69 && b == 0x26 ? ByteFault::FailAfterSending : ByteFault::None;
             };
         },
         ""},
        {"configuration byte once", [](auto&, auto& d) { sim::FlipNextReplyBit(d, 5); },
         "DS1922T - Термохрон"},
    };
    for (const Case& c : cases) {
        testing::FlakyBenchRig rig;
        auto& logger = rig.bus().attach(
            std::make_unique<sim::Ds1922Device>(Rom(0x41, 0x77), ds1922_config::kDs1922T));
        rig.core.ScanSessionAndSearch();
        ASSERT_EQ(rig.core.subtypeNames[0], "DS1922T - Термохрон") << c.step;
        rig.core.TypeButtonString = "before";
        c.breakIt(rig, logger);
        const std::array<int16_t, 9> rom{0x41};
        EXPECT_EQ(rig.core.IdentifyDS1922(rig.core.SHandle, rig.core.StateBuf, 0, rom), c.name)
            << c.step;
        EXPECT_EQ(rig.core.TypeButtonString, *c.name ? c.name : "before") << c.step;
    }
}

}  // namespace
}  // namespace velgrin
