#include "hlt/hlt_readings.h"

#include <cmath>

#include "common/rounding.h"

namespace velgrin {

namespace {

constexpr double kTemperatureStep = 0.03125;
constexpr double kCurrentStep = 0.0002441;

std::optional<double> Divide(std::optional<double> dividend, double divisor) {
    if (!dividend || divisor == 0) {
        return std::nullopt;
    }
    return *dividend / divisor;
}

// round(x * 1000) / 1000, when x * 1000 is a number a signed 64-bit integer can hold.
std::optional<double> ToThousandths(std::optional<double> value) {
    if (!value) {
        return std::nullopt;
    }
    const double scaled = *value * 1000;
    constexpr double kInt64Bound = 9223372036854775807.0;
    if (!std::isfinite(scaled) || !(std::fabs(scaled) < kInt64Bound)) {
        return std::nullopt;
    }
    return static_cast<double>(RoundHalfEven(scaled)) / 1000;
}

}  // namespace

double DecodeTemperature(uint8_t low, uint8_t high) {
    const int raw = high * 256 + low;
    const double t =
        high < 0x80 ? (raw >> 3) * kTemperatureStep : -((65536 - raw) >> 3) * kTemperatureStep;
    return static_cast<double>(RoundHalfEven(t * 100)) / 100;
}

double DecodeVoltage(uint8_t low, uint8_t high) {
    return (high * 256 + low) / 100.0;
}

double DecodeCurrentVoltage(uint8_t low, uint8_t high) {
    if ((high & 0xFC) == 0) {
        return ((high & 3) * 256 + low) * kCurrentStep;
    }
    return -(65536 - (high * 256 + low)) * kCurrentStep;
}

std::optional<double> HumidityValue(double signal, double vsens, double temperature) {
    const auto ratio = Divide(signal, vsens);
    if (!ratio) {
        return std::nullopt;
    }
    const auto uncompensated = Divide(*ratio - 0.1515, 0.00636);
    return ToThousandths(Divide(uncompensated, 1.0546 - 0.00216 * temperature));
}

std::optional<double> LinearValue(int32_t min, int32_t max, int32_t minVoltage, int32_t maxVoltage,
                                  double signal) {
    const double span = (max - min) / 10.0;
    const auto slope =
        Divide(span * (signal - minVoltage / 10000.0), (maxVoltage - minVoltage) / 10000.0);
    if (!slope) {
        return std::nullopt;
    }
    return ToThousandths(*slope + min / 10.0);
}

}  // namespace velgrin
