#include <gtest/gtest.h>

#include <vector>

#include "hlt/crc_hlt.h"
#include "hlt/hlt_config.h"
#include "hlt/sensor_type.h"

namespace velgrin {
namespace {

struct FieldAt {
    const char* name;
    HltField field;
    std::size_t offset;
    std::size_t width;
};

// The block's table as the device firmware reads it.
const std::vector<FieldAt> kLayout = {
    {"SensorTypes", hlt_field::SensorTypes, 0, 1},
    {"S0min", hlt_field::S0min, 1, 2},
    {"S0Max", hlt_field::S0Max, 3, 2},
    {"ConfigMark", hlt_field::ConfigMark, 5, 1},
    {"S0minVoltage", hlt_field::S0minVoltage, 6, 2},
    {"S0MaxVoltage", hlt_field::S0MaxVoltage, 8, 2},
    {"S1min", hlt_field::S1min, 10, 2},
    {"S1Max", hlt_field::S1Max, 12, 2},
    {"S1minVoltage", hlt_field::S1minVoltage, 14, 2},
    {"S1MaxVoltage", hlt_field::S1MaxVoltage, 16, 2},
    {"S0UpValue", hlt_field::S0UpValue, 18, 2},
    {"S0DownValue", hlt_field::S0DownValue, 20, 2},
    {"S1UpValue", hlt_field::S1UpValue, 22, 2},
    {"S1DownValue", hlt_field::S1DownValue, 24, 2},
    {"Tdis", hlt_field::Tdis, 26, 1},
    {"TupLimit", hlt_field::TupLimit, 27, 2},
    {"TdownLimit", hlt_field::TdownLimit, 29, 2},
    {"Crc", hlt_field::Crc, 31, 1},
};

TEST(HltConfigBlock, EachFieldWritesOnlyItsOwnBytesLowByteFirst) {
    for (const auto& f : kLayout) {
        SCOPED_TRACE(f.name);
        HltBlock bytes{};
        HLTConfig block(bytes);
        const int32_t value = f.width == 2 ? 0x1234 : 0x56;
        block.set(f.field, value);
        for (std::size_t i = 0; i < kHltBlockSize; ++i) {
            uint8_t expected = 0;
            if (i == f.offset) {
                expected = f.width == 2 ? 0x34 : 0x56;
            } else if (f.width == 2 && i == f.offset + 1) {
                expected = 0x12;
            }
            EXPECT_EQ(bytes[i], expected) << "byte " << i;
        }
        EXPECT_EQ(block.get(f.field), value);
    }
}

TEST(HltConfigBlock, SignedAndUnsignedFieldsReadBackWithTheirSign) {
    HltBlock bytes{};
    HLTConfig block(bytes);
    block.set(hlt_field::S0min, -30005);
    block.set(hlt_field::S0minVoltage, 65535);
    block.set(hlt_field::Tdis, -126);
    block.set(hlt_field::TdownLimit, -500);

    EXPECT_EQ(bytes[1], 0xCB);
    EXPECT_EQ(bytes[2], 0x8A);
    EXPECT_EQ(bytes[6], 0xFF);
    EXPECT_EQ(bytes[7], 0xFF);
    EXPECT_EQ(bytes[26], 0x82);

    HltBlock copy = bytes;
    HLTConfig again(copy);
    EXPECT_EQ(again.get(hlt_field::S0min), -30005);
    EXPECT_EQ(again.get(hlt_field::S0minVoltage), 65535);
    EXPECT_EQ(again.get(hlt_field::Tdis), -126);
    EXPECT_EQ(again.get(hlt_field::TdownLimit), -500);
}

TEST(HltConfigBlock, RefusesValuesItsFieldCannotHold) {
    HltBlock bytes{};
    HLTConfig block(bytes);
    EXPECT_THROW(block.set(hlt_field::S0MaxVoltage, 65536), std::out_of_range);
    EXPECT_THROW(block.set(hlt_field::S0min, 32768), std::out_of_range);
    EXPECT_THROW(block.set(hlt_field::Tdis, 128), std::out_of_range);
    EXPECT_EQ(bytes, HltBlock{});
}

TEST(HltConfigBlock, PagesAreEightByteSlicesFromPageThree) {
    HltBlock bytes{};
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<uint8_t>(i);
    }
    HLTConfig block(bytes);
    EXPECT_EQ(block.page(3)[0], 0);
    EXPECT_EQ(block.page(4)[0], 8);
    EXPECT_EQ(block.page(5)[7], 23);
    EXPECT_EQ(block.page(6)[7], 31);
    EXPECT_THROW(block.page(2), std::out_of_range);
    EXPECT_THROW(block.page(7), std::out_of_range);
}

TEST(CrcHLT, ZeroBlockSealedGetsMarkAndKnownCrc) {
    HltBlock bytes{};
    HLTConfig block(bytes);
    SealHltBlock(block);
    EXPECT_EQ(bytes[5], 105);
    EXPECT_EQ(bytes[31], 0xA0);
    EXPECT_TRUE(HltBlockCrcMatches(block));
    bytes[12] ^= 0x01;
    EXPECT_FALSE(HltBlockCrcMatches(block));
}

TEST(CrcHLT, EmptyOrNegativeLengthGivesZero) {
    const uint8_t data[] = {0x12, 0x34};
    EXPECT_EQ(CrcHLT(0, data), 0);
    EXPECT_EQ(CrcHLT(-3, data), 0);
    // Entry 1 of the Maxim table.
    const uint8_t one[] = {0x01};
    EXPECT_EQ(CrcHLT(1, one), 0x5E);
    EXPECT_EQ(CrcHLT(5, one), 0x5E);
}

TEST(SensorTypes, NibblesSelectGroupIndexesOrNone) {
    EXPECT_EQ(SensorTypeIndex(SensorTypeNibble(0x16, 0)), stHIH4000);
    EXPECT_EQ(SensorTypeIndex(SensorTypeNibble(0x16, 1)), stNone);
    EXPECT_EQ(SensorTypeIndex(SensorTypeNibble(0x7F, 0)), -1);
    EXPECT_EQ(SensorTypeIndex(SensorTypeNibble(0x7F, 1)), -1);
    EXPECT_STREQ(kSensorTypeCaptions[stNone], "Без датчика");
}

}  // namespace
}  // namespace velgrin
