#include "common/number_text.h"

#include <gtest/gtest.h>

namespace velgrin {
namespace {

TEST(FormatNumber, ShowsTheShortestFormWithTheComma) {
    EXPECT_EQ(FormatNumber(21.5), "21,5");
    EXPECT_EQ(FormatNumber(30), "30");
    EXPECT_EQ(FormatNumber(-10.125), "-10,125");
    EXPECT_EQ(FormatNumber(0), "0");
    EXPECT_EQ(FormatNumber(0.1 + 0.2), "0,3");
    EXPECT_EQ(FormatNumber(24.812), "24,812");
}

TEST(FormatNumber, KeepsSmallValuesPlainDownToOneHundredThousandth) {
    EXPECT_EQ(FormatNumber(0.0624896), "0,0624896");
    EXPECT_EQ(FormatNumber(-0.0002441), "-0,0002441");
    EXPECT_EQ(FormatNumber(0.00001), "0,00001");
    EXPECT_EQ(FormatNumber(0.0000024), "2,4E-6");
    EXPECT_EQ(FormatNumber(-0.000001), "-1E-6");
}

TEST(FormatNumber, SwitchesToExponentFormFromSixteenIntegerDigits) {
    EXPECT_EQ(FormatNumber(123456789012345.0), "123456789012345");
    EXPECT_EQ(FormatNumber(1234567890123456.0), "1,23456789012346E15");
    EXPECT_EQ(FormatNumber(1e20), "1E20");
}

TEST(ParseNumber, AcceptsWhatAUserTypes) {
    EXPECT_EQ(ParseNumber("21,5"), 21.5);
    EXPECT_EQ(ParseNumber("  -55 "), -55.0);
    EXPECT_EQ(ParseNumber("0,"), 0.0);
    EXPECT_EQ(ParseNumber(",5"), 0.5);
    EXPECT_EQ(ParseNumber("+125"), 125.0);
    EXPECT_EQ(ParseNumber("1,5E3"), 1500.0);
}

TEST(ParseNumber, RejectsWhatIsNotANumber) {
    for (const char* text : {"", "  ", "abc", "1.5", "1,2,3", ",", "-", "12a", "1E", "1 2", "E5"}) {
        EXPECT_FALSE(ParseNumber(text).has_value()) << '"' << text << '"';
    }
}

TEST(ParseNumber, ReadsBackWhatFormatNumberShows) {
    for (double v : {21.5, -0.0002441, 3276.7, 6.5535, 0.0000024, 1e20}) {
        EXPECT_DOUBLE_EQ(*ParseNumber(FormatNumber(v)), v);
    }
}

}  // namespace
}  // namespace velgrin
