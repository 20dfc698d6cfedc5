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

const std::string kInvalid = "Неверные параметры температурных порогов !!!";
const std::string kTooHigh = kInvalid + "\nСлишком большое значение!";
const std::string kTooLow = kInvalid + "\nСлишком маленькое значение!";

std::string MessageFor(std::string_view upper, std::string_view lower) {
    const auto parsed = ParseThresholds(upper, lower);
    return parsed ? std::string() : parsed.error();
}

TEST(ThresholdInput, BoundsAreInclusive) {
    const auto parsed = ParseThresholds("125", "-55");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->upper, 125);
    EXPECT_EQ(parsed->lower, -55);
}

TEST(ThresholdInput, ReadsTheCommaAndFractions) {
    const auto parsed = ParseThresholds(" 30,9 ", "-10,2");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->upper, 30.9);
    EXPECT_EQ(parsed->lower, -10.2);
}

TEST(ThresholdInput, OrderOfTheTwoIsNotChecked) {
    const auto parsed = ParseThresholds("10", "20");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->upper, 10);
    EXPECT_EQ(parsed->lower, 20);
}

TEST(ThresholdInput, OutOfRangeMessages) {
    EXPECT_EQ(MessageFor("125,5", "0"), kTooHigh);
    EXPECT_EQ(MessageFor("0", "125,5"), kTooHigh);
    EXPECT_EQ(MessageFor("0", "-55,1"), kTooLow);
    EXPECT_EQ(MessageFor("-55,1", "0"), kTooLow);
    EXPECT_EQ(MessageFor("200", "-60"), kTooHigh);
}

TEST(ThresholdInput, TextThatIsNoNumber) {
    EXPECT_EQ(MessageFor("", "10"), kInvalid);
    EXPECT_EQ(MessageFor("30", ""), kInvalid);
    EXPECT_EQ(MessageFor("abc", "10"), kInvalid);
    EXPECT_EQ(MessageFor("30.5", "10"), kInvalid);
    EXPECT_EQ(MessageFor("500", "x"), kInvalid);
}

}  // namespace
}  // namespace velgrin
