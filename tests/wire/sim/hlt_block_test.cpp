#include <gtest/gtest.h>

#include "wire/sim/sim_hlt_block.h"

namespace velgrin::sim {
namespace {

TEST(HltBlock, ZeroFieldsGiveTheMarkAndTheCrcOfAnEmptySealedBlock) {
    HltBlockFields fields;
    fields.sensor0Type = 0;
    fields.sensor1Type = 0;
    std::array<uint8_t, 32> expected{};
    expected[5] = 105;
    expected[31] = 0xA0;
    EXPECT_EQ(EncodeHltBlock(fields), expected);
}

TEST(HltBlock, FieldsLandScaledAndLittleEndianInTheirBytes) {
    HltBlockFields f;
    f.sensor0Type = 1;
    f.sensor1Type = 6;
    f.s0Min = -12.5;        // -125
    f.s0MaxVoltage = 3.8;   // 38000
    f.s1MinVoltage = 0.25;  // 2500, halves of a ten-thousandth to even
    f.tUpLimit = 40;        // 400
    f.temperatureOffset = -0.05;
    const auto block = EncodeHltBlock(f);
    EXPECT_EQ(block[0], 0x16);
    EXPECT_EQ((std::array<uint8_t, 2>{block[1], block[2]}), (std::array<uint8_t, 2>{0x83, 0xFF}));
    EXPECT_EQ((std::array<uint8_t, 2>{block[8], block[9]}), (std::array<uint8_t, 2>{0x70, 0x94}));
    EXPECT_EQ((std::array<uint8_t, 2>{block[14], block[15]}), (std::array<uint8_t, 2>{0xC4, 0x09}));
    EXPECT_EQ(block[26], 0xFB);
    EXPECT_EQ((std::array<uint8_t, 2>{block[27], block[28]}), (std::array<uint8_t, 2>{0x90, 0x01}));
    f.showTemperature = false;
    EXPECT_EQ(EncodeHltBlock(f)[26], 127);
}

}  // namespace
}  // namespace velgrin::sim
