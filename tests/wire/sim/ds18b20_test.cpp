#include <gtest/gtest.h>

#include "common/crc.h"
#include "sim_test_bench.h"
#include "wire/sim/sim_ds1822.h"
#include "wire/sim/sim_ds18b20.h"

namespace velgrin::sim {
namespace {

using Bytes = std::vector<uint8_t>;

const RomCode kRom = WithRomCrc({0x28, 0x5A, 0x3E, 0x1D, 0x07, 0x00, 0x00});

class Ds18b20Test : public ::testing::Test {
  protected:
    VirtualClock clock;
    testing::SimTestBench t{clock};
    Ds18b20Device& sensor = t.add<Ds18b20Device>(kRom);

    Bytes command(Bytes bytes) {
        EXPECT_TRUE(t.select(kRom));
        return t.touch(std::move(bytes));
    }
    Bytes readScratchpad() {
        command({0xBE});
        return t.read(9);
    }
    // Convert T, then wait `ms` polling nothing.
    void convert(uint64_t ms = 750) {
        command({0x44});
        clock.advanceMs(ms);
    }
    void writeScratchpad(Bytes userBytes) {
        userBytes.insert(userBytes.begin(), 0x4E);
        command(userBytes);
    }
};

TEST_F(Ds18b20Test, PowersUpAt85DegreesWithTheUserBytesFromEeprom) {
    EXPECT_EQ(readScratchpad(), (Bytes{0x50, 0x05, 0x4B, 0x46, 0x7F, 0xFF, 0x0C, 0x10, 0x1C}));
}

TEST_F(Ds18b20Test, ConversionStoresTheTemperatureWithAValidCrc) {
    sensor.setTemperature(SimValue::Constant(25.0625));
    convert();
    const auto pad = readScratchpad();
    EXPECT_EQ(pad[0], 0x91);
    EXPECT_EQ(pad[1], 0x01);
    EXPECT_EQ(Crc8(pad), 0);
    sensor.setTemperature(SimValue::Constant(-10.125));
    convert();
    EXPECT_EQ(readScratchpad()[0], 0x5E);
    EXPECT_EQ(readScratchpad()[1], 0xFF);
}

TEST_F(Ds18b20Test, ReadSlotsShowBusyUntilTheConversionTimeOfTheResolution) {
    for (auto [bits, us] : {std::pair{9, 93'750}, {10, 187'500}, {11, 375'000}, {12, 750'000}}) {
        sensor.setResolution(bits);
        command({0x44});
        clock.advanceUs(us - 100);
        EXPECT_FALSE(t.readBit()) << bits << " bits";
        clock.advanceUs(100);
        EXPECT_TRUE(t.readBit()) << bits << " bits";
    }
}

TEST_F(Ds18b20Test, LowerResolutionLeavesTheUndefinedBitsAtZero) {
    sensor.setTemperature(SimValue::Constant(25.0625));
    sensor.setResolution(9);
    convert(94);
    const auto pad = readScratchpad();
    EXPECT_EQ(pad[0], 0x90);
    EXPECT_EQ(pad[4], 0x1F);
}

TEST_F(Ds18b20Test, ResultArrivesOnlyAfterTheConversion) {
    sensor.setTemperature(SimValue::Constant(20));
    convert(700);
    EXPECT_EQ(readScratchpad()[0], 0x50);  // still the power-on 85 °C
    clock.advanceMs(50);
    EXPECT_EQ(readScratchpad()[0], 0x40);
}

TEST_F(Ds18b20Test, WriteScratchpadTakesThLTlAndConfigurationWithFixedBits) {
    writeScratchpad({0x1E, 0xF6, 0x00});
    auto pad = readScratchpad();
    EXPECT_EQ((Bytes{pad[2], pad[3], pad[4]}), (Bytes{0x1E, 0xF6, 0x1F}));
    EXPECT_EQ(Crc8(pad), 0);
    writeScratchpad({0x1E, 0xF6, 0xFF});
    EXPECT_EQ(readScratchpad()[4], 0x7F);
}

TEST_F(Ds18b20Test, AResetDuringWriteScratchpadKeepsTheCompleteBytes) {
    writeScratchpad({0x20, 0x05});
    const auto pad = readScratchpad();
    EXPECT_EQ((Bytes{pad[2], pad[3], pad[4]}), (Bytes{0x20, 0x05, 0x7F}));
}

TEST_F(Ds18b20Test, CopyScratchpadSurvivesAPowerCycleAndAnUncopiedWriteDoesNot) {
    writeScratchpad({0x1E, 0xF6, 0x3F});
    command({0x48});
    EXPECT_FALSE(t.readBit());  // EEPROM write in progress
    clock.advanceMs(10);
    EXPECT_TRUE(t.readBit());
    writeScratchpad({0x01, 0x02, 0x5F});
    sensor.powerCycle();
    const auto pad = readScratchpad();
    EXPECT_EQ((Bytes{pad[0], pad[1], pad[2], pad[3], pad[4]}),
              (Bytes{0x50, 0x05, 0x1E, 0xF6, 0x3F}));
    EXPECT_EQ(Bytes(sensor.eeprom().begin(), sensor.eeprom().end()), (Bytes{0x1E, 0xF6, 0x3F}));
}

TEST_F(Ds18b20Test, RecallRestoresTheUserBytesFromEeprom) {
    writeScratchpad({0x01, 0x02, 0x1F});
    command({0xB8});
    EXPECT_TRUE(t.readBit());
    const auto pad = readScratchpad();
    EXPECT_EQ((Bytes{pad[2], pad[3], pad[4]}), (Bytes{0x4B, 0x46, 0x7F}));
}

TEST_F(Ds18b20Test, ReadPowerSupplyTellsParasiteFromPowered) {
    command({0xB4});
    EXPECT_TRUE(t.readBit());
    sensor.setParasite(true);
    command({0xB4});
    EXPECT_FALSE(t.readBit());
}

TEST_F(Ds18b20Test, ReadsPastTheCrcGiveOnes) {
    command({0xBE});
    t.read(9);
    EXPECT_EQ(t.read(2), (Bytes{0xFF, 0xFF}));
}

TEST_F(Ds18b20Test, ParasitePartConvertsOnlyUnderTheStrongPullup) {
    sensor.setParasite(true);
    sensor.setTemperature(SimValue::Constant(20));

    convert(1000);  // no pull-up: browned out
    EXPECT_EQ(readScratchpad()[0], 0x50);

    ASSERT_TRUE(t.select(kRom));
    ASSERT_TRUE(t.link.armStrongPullup(PullupTrigger::AfterNextByte).ok());
    t.touch({0x44});
    clock.advanceMs(100);
    ASSERT_TRUE(t.link.setNormalLevel().ok());  // released too early
    EXPECT_EQ(readScratchpad()[0], 0x50);

    ASSERT_TRUE(t.select(kRom));
    ASSERT_TRUE(t.link.armStrongPullup(PullupTrigger::AfterNextByte).ok());
    t.touch({0x44});
    clock.advanceMs(750);
    ASSERT_TRUE(t.link.setNormalLevel().ok());
    EXPECT_EQ(readScratchpad()[0], 0x40);
}

TEST_F(Ds18b20Test, ParasitePartPolledBeforeThePullupProducesNothing) {
    sensor.setParasite(true);
    sensor.setTemperature(SimValue::Constant(20));
    command({0x44});
    t.readBit();
    ASSERT_TRUE(t.link.armStrongPullup(PullupTrigger::AfterNextBit).ok());
    t.readBit();
    clock.advanceMs(800);
    ASSERT_TRUE(t.link.setNormalLevel().ok());
    EXPECT_EQ(readScratchpad()[0], 0x50);
}

TEST_F(Ds18b20Test, StuckConversionStaysBusyAndKeepsTheOldValue) {
    sensor.setConversionStuck(true);
    command({0x44});
    clock.advanceMs(10'000);
    EXPECT_FALSE(t.readBit());
    EXPECT_EQ(readScratchpad()[0], 0x50);
}

// Alarm Search with a single device: the first triplet shows whether it takes part.
bool TakesPartInAlarmSearch(testing::SimTestBench& t) {
    EXPECT_EQ(*t.link.reset(), ResetOutcome::Presence);
    t.touch({0xEC});
    const bool id = t.readBit();
    const bool complement = t.readBit();
    return id != complement;
}

TEST_F(Ds18b20Test, AlarmFlagFollowsTheLastConversionAgainstThAndTl) {
    writeScratchpad({30, 10, 0x7F});
    EXPECT_FALSE(TakesPartInAlarmSearch(t));  // no conversion yet
    sensor.setTemperature(SimValue::Constant(20));
    convert();
    EXPECT_FALSE(TakesPartInAlarmSearch(t));
    sensor.setTemperature(SimValue::Constant(30.5));
    convert();
    EXPECT_TRUE(TakesPartInAlarmSearch(t));
    sensor.setTemperature(SimValue::Constant(10));
    convert();
    EXPECT_TRUE(TakesPartInAlarmSearch(t));
    sensor.setTemperature(SimValue::Constant(-5));
    convert();
    EXPECT_TRUE(TakesPartInAlarmSearch(t));
}

TEST(Ds1822, SpeaksTheDs18b20Protocol) {
    VirtualClock clock;
    testing::SimTestBench t{clock};
    const RomCode rom = WithRomCrc({0x22, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06});
    auto& sensor = t.add<Ds1822Device>(rom);
    EXPECT_EQ(sensor.model(), "DS1822");
    sensor.setTemperature(SimValue::Constant(-0.5));
    ASSERT_TRUE(t.select(rom));
    t.touch({0x44});
    clock.advanceMs(750);
    ASSERT_TRUE(t.select(rom));
    t.touch({0xBE});
    const auto pad = t.read(9);
    EXPECT_EQ(pad[0], 0xF8);
    EXPECT_EQ(pad[1], 0xFF);
    EXPECT_EQ(Crc8(pad), 0);
}

}  // namespace
}  // namespace velgrin::sim
