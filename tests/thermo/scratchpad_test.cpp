#include "thermo/scratchpad.h"

#include <gtest/gtest.h>

namespace velgrin {
namespace {

CurrentSens Thermometer(int32_t group, double previousTemperature = 0) {
    CurrentSens sens;
    sens.Family = group;
    sens.Temperature = previousTemperature;
    return sens;
}

Scratchpad Ds18S20Bytes(int lsb, int msb, int countRemain, int countPerC) {
    return {
        static_cast<int16_t>(lsb),         static_cast<int16_t>(msb),       0x4B, 0x46, 0xFF, 0xFF,
        static_cast<int16_t>(countRemain), static_cast<int16_t>(countPerC), 0};
}

Scratchpad Ds18B20Bytes(uint16_t reading, int configuration) {
    return {static_cast<int16_t>(reading & 0xFF),
            static_cast<int16_t>(reading >> 8),
            0x4B,
            0x46,
            static_cast<int16_t>(configuration),
            0xFF,
            0x0C,
            0x10,
            0};
}

double Ds18S20Temperature(const Scratchpad& bytes, double previous = 0) {
    CurrentSens sens = Thermometer(device_group::kDs18S20, previous);
    ApplyScratchpad(sens, bytes);
    EXPECT_EQ(sens.CorrectTemp, sens.Temperature);
    return sens.Temperature;
}

double Ds18B20Temperature(const Scratchpad& bytes, double previous = 0) {
    CurrentSens sens = Thermometer(device_group::kDs18B20, previous);
    ApplyScratchpad(sens, bytes);
    EXPECT_EQ(sens.CorrectTemp, sens.Temperature);
    return sens.Temperature;
}

TEST(Ds18S20Formula, ExtendedResolutionFromTheCounters) {
    EXPECT_EQ(Ds18S20Temperature(Ds18S20Bytes(0x32, 0x00, 0x0C, 0x10)), 25.0);
    EXPECT_EQ(Ds18S20Temperature(Ds18S20Bytes(0xFF, 0xFF, 4, 16)), -0.5);
}

TEST(Ds18S20Formula, ThreeDecimalsWithHalvesToEven) {
    EXPECT_EQ(Ds18S20Temperature(Ds18S20Bytes(50, 0, 15, 16)), 24.812);
    EXPECT_EQ(Ds18S20Temperature(Ds18S20Bytes(40, 0, 9, 16)), 20.188);
}

TEST(Ds18S20Formula, OnlyBitZeroOfTheMsbCarriesTheSign) {
    EXPECT_EQ(Ds18S20Temperature(Ds18S20Bytes(0x32, 0xFE, 0x0C, 0x10)), 25.0);
}

TEST(Ds18S20Formula, CountPerCZeroKeepsThePreviousTemperature) {
    EXPECT_EQ(Ds18S20Temperature(Ds18S20Bytes(0x32, 0x00, 0x0C, 0), 21.5), 21.5);
}

TEST(Ds18B20Formula, ResolutionClearsTheUndefinedBits) {
    EXPECT_EQ(Ds18B20Temperature(Ds18B20Bytes(0x0191, 0x7F)), 25.0625);
    EXPECT_EQ(Ds18B20Temperature(Ds18B20Bytes(0x0191, 0x1F)), 25.0);
    EXPECT_EQ(Ds18B20Temperature(Ds18B20Bytes(0xFF5E, 0x7F)), -10.125);
    EXPECT_EQ(Ds18B20Temperature(Ds18B20Bytes(0xFF5E, 0x1F)), -10.5);
    EXPECT_EQ(Ds18B20Temperature(Ds18B20Bytes(0x0197, 0x3F)), 25.25);
    EXPECT_EQ(Ds18B20Temperature(Ds18B20Bytes(0x0197, 0x5F)), 25.375);
}

TEST(Ds18B20Formula, ConfigurationWithTopBitSetKeepsThePreviousTemperature) {
    EXPECT_EQ(Ds18B20Temperature(Ds18B20Bytes(0xFFFF, 0xFF), 23.5), 23.5);
    EXPECT_EQ(Ds18B20Temperature(Ds18B20Bytes(0x0191, 0x9F), 23.5), 23.5);
}

TEST(ScratchpadThresholds, ReadAsSignedBytesOnEveryFamily) {
    Scratchpad bytes = Ds18B20Bytes(0x0191, 0x7F);
    bytes[2] = 0x1E;
    bytes[3] = 0xF6;
    for (int32_t group : {device_group::kDs18S20, device_group::kDs18B20, device_group::kHlt}) {
        CurrentSens sens = Thermometer(group);
        ApplyScratchpad(sens, bytes);
        EXPECT_EQ(sens.UpLimitT, 30) << group;
        EXPECT_EQ(sens.DownLimitT, -10) << group;
    }
}

TEST(ScratchpadThresholds, OtherFamiliesKeepTheirTemperature) {
    CurrentSens sens = Thermometer(device_group::kHlt, 12.5);
    sens.CorrectTemp = 13;
    ApplyScratchpad(sens, Ds18B20Bytes(0x0191, 0x7F));
    EXPECT_EQ(sens.Temperature, 12.5);
    EXPECT_EQ(sens.CorrectTemp, 13);
}

}  // namespace
}  // namespace velgrin
