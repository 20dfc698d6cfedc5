#include "common/number_text.h"

#include <gtest/gtest.h>

#include "process_locale.h"

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

TEST(FormatDotNumber, WritesTheGeneralFormWithADot) {
    EXPECT_EQ(FormatDotNumber(-10.125), "-10.125");
    EXPECT_EQ(FormatDotNumber(0.0000024), "2.4E-6");
    EXPECT_EQ(FormatFixedDot(1.25, 1), "1.2");
    EXPECT_EQ(FormatFixedDot(3600, 1), "3600.0");
}

TEST(ParseDotNumber, ReadsOnlyAPlainNumberWithADot) {
    EXPECT_EQ(ParseDotNumber("0.02"), 0.02);
    EXPECT_EQ(ParseDotNumber("1e-3"), 0.001);
    for (const char* text : {"", "0,02", " 1", "1 ", "inf", "nan", "1e999", "0x10", "+1"}) {
        EXPECT_FALSE(ParseDotNumber(text).has_value()) << '"' << text << '"';
    }
}

// Qt sets the C library's locale from the user's environment; a comma desktop must change
// nothing, neither a doubled separator nor a number read short.
TEST(NumberTextUnderACommaLocale, MakesAndReadsTheSameTexts) {
    for (const char* name : testing::kCommaLocales) {
        SCOPED_TRACE(name);
        testing::ProcessLocale locale(name);
        ASSERT_COMMA_LOCALE(locale);
        EXPECT_EQ(FormatNumber(19.0625), "19,0625");
        EXPECT_EQ(FormatNumber(-55.0625), "-55,0625");
        EXPECT_EQ(FormatNumber(1234567890123456.0), "1,23456789012346E15");
        EXPECT_EQ(FormatNumber(0.0000024), "2,4E-6");
        EXPECT_EQ(ParseNumber("21,5"), 21.5);
        EXPECT_FALSE(ParseNumber("21.5").has_value());
        EXPECT_EQ(FormatDotNumber(6.5535), "6.5535");
        EXPECT_EQ(FormatFixedDot(12.25, 1), "12.2");
        EXPECT_EQ(ParseDotNumber("0.02"), 0.02);
    }
}

}  // namespace
}  // namespace velgrin
