#include <gtest/gtest.h>

#include "thermo/threshold_byte.h"
#include "thermo/threshold_input.h"

namespace velgrin {
namespace {

TEST(ThresholdByte, WholeDegreesRoundedDownAsTwosComplement) {
    EXPECT_EQ(EncodeThresholdByte(-10), 0xF6);
    EXPECT_EQ(EncodeThresholdByte(-55), 0xC9);
    EXPECT_EQ(EncodeThresholdByte(-0.5), 0xFF);
    EXPECT_EQ(EncodeThresholdByte(10.7), 0x0A);
    EXPECT_EQ(EncodeThresholdByte(30.9), 0x1E);
    EXPECT_EQ(EncodeThresholdByte(-10.2), 0xF5);
    EXPECT_EQ(EncodeThresholdByte(0), 0x00);
    EXPECT_EQ(EncodeThresholdByte(125), 0x7D);
}

// The messages are shown through the tab (thermometer_tab_test); here what passes.
TEST(ThresholdInput, AcceptedValues) {
    const auto bounds = ParseThresholds("125", "-55");
    ASSERT_TRUE(bounds);
    EXPECT_EQ(bounds->upper, 125);
    EXPECT_EQ(bounds->lower, -55);
    // Comma, blanks, fractions; an upper value below the lower one is taken as typed.
    const auto unordered = ParseThresholds(" -10,2 ", "30,9");
    ASSERT_TRUE(unordered);
    EXPECT_EQ(unordered->upper, -10.2);
    EXPECT_EQ(unordered->lower, 30.9);
    EXPECT_FALSE(ParseThresholds("30.5", "10"));
}

}  // namespace
}  // namespace velgrin
