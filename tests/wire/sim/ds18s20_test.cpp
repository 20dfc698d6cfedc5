#include <gtest/gtest.h>

#include "common/crc.h"
#include "sim_test_bench.h"
#include "wire/sim/sim_ds18s20.h"

namespace velgrin::sim {
namespace {

using Bytes = std::vector<uint8_t>;

const RomCode kRom = WithRomCrc({0x10, 0x40, 0x1C, 0xB3, 0x02, 0x08, 0x00});

class Ds18s20Test : public ::testing::Test {
  protected:
    VirtualClock clock;
    testing::SimTestBench t{clock};
    Ds18s20Device& sensor = t.add<Ds18s20Device>(kRom);

    Bytes readScratchpad() {
        EXPECT_TRUE(t.select(kRom));
        t.touch({0xBE});
        return t.read(9);
    }
    Bytes measure(double celsius) {
        sensor.setTemperature(SimValue::Constant(celsius));
        EXPECT_TRUE(t.select(kRom));
        t.touch({0x44});
        clock.advanceMs(750);
        return readScratchpad();
    }
};

// The data sheet's extended-resolution formula.
double Extended(const Bytes& pad) {
    const auto raw = static_cast<int16_t>(pad[0] | (pad[1] << 8));
    const int tempRead = raw >> 1;
    return tempRead - 0.25 + (pad[7] - pad[6]) / static_cast<double>(pad[7]);
}

TEST_F(Ds18s20Test, PowersUpAt85Degrees) {
    const auto pad = readScratchpad();
    EXPECT_EQ(Bytes(pad.begin(), pad.begin() + 8),
              (Bytes{0xAA, 0x00, 0x4B, 0x46, 0xFF, 0xFF, 0x0C, 0x10}));
    EXPECT_EQ(Crc8(pad), 0);
}

TEST_F(Ds18s20Test, CountsGiveTheTemperatureBackToASixteenthOfADegree) {
    auto pad = measure(25);
    EXPECT_EQ((Bytes{pad[0], pad[1], pad[6], pad[7]}), (Bytes{0x32, 0x00, 0x0C, 0x10}));
    pad = measure(-0.5);
    EXPECT_EQ((Bytes{pad[0], pad[1], pad[6]}), (Bytes{0xFF, 0xFF, 0x04}));
    pad = measure(24.8125);
    EXPECT_EQ((Bytes{pad[0], pad[6]}), (Bytes{0x32, 15}));
    for (double t : {-55.0, -10.3125, 0.0, 19.4375, 85.0, 124.9375}) {
        EXPECT_DOUBLE_EQ(Extended(measure(t)), t);
    }
    EXPECT_EQ(Crc8(measure(21.3)), 0);
}

TEST_F(Ds18s20Test, WriteScratchpadTakesOnlyThAndTl) {
    ASSERT_TRUE(t.select(kRom));
    t.touch({0x4E, 0x19, 0x0F, 0x00});
    const auto pad = readScratchpad();
    EXPECT_EQ((Bytes{pad[2], pad[3], pad[4]}), (Bytes{0x19, 0x0F, 0xFF}));
    EXPECT_EQ(Bytes(sensor.eeprom().begin(), sensor.eeprom().end()), (Bytes{0x4B, 0x46}));
}

TEST_F(Ds18s20Test, ConvertsIn750Milliseconds) {
    ASSERT_TRUE(t.select(kRom));
    t.touch({0x44});
    clock.advanceMs(749);
    EXPECT_FALSE(t.readBit());
    clock.advanceMs(1);
    EXPECT_TRUE(t.readBit());
}

}  // namespace
}  // namespace velgrin::sim
