#pragma once

#include <cstdint>
#include <optional>

namespace velgrin {

// Ratio of the channel-1 input voltage to the voltage at the current-register input, as the live
// panel shows it.
inline constexpr double kChannel1ShownInputRatio = 20.407309;

// The DS2438 temperature register (13 bits, 0.03125 degrees a step), rounded to hundredths.
double DecodeTemperature(uint8_t low, uint8_t high);

// The voltage register in volts (10 mV a step, all 16 bits taken).
double DecodeVoltage(uint8_t low, uint8_t high);

// The current register read as the voltage across the sense input (0.2441 mV a step, signed).
double DecodeCurrentVoltage(uint8_t low, uint8_t high);

// A channel's present value as the dialog shows it (thousandths); no value when it cannot be
// formed (a division by zero, or a value far beyond any sensor).
// HIH-5031: relative humidity from the signal, the supply voltage and the temperature.
std::optional<double> HumidityValue(double signal, double vsens, double temperature);
// Linear sensors: min and max in tenths, the voltages in ten-thousandths of a volt.
std::optional<double> LinearValue(int32_t min, int32_t max, int32_t minVoltage, int32_t maxVoltage,
                                  double signal);

}  // namespace velgrin
