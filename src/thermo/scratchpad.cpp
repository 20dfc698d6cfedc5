#include "thermo/scratchpad.h"

#include <optional>

#include "common/rounding.h"

namespace velgrin {

namespace {

int Byte(const Scratchpad& iarray, int index) {
    return iarray[static_cast<size_t>(index)];
}

int SignedByte(int value) {
    return value >= 128 ? value - 256 : value;
}

// Extended resolution from the counter bytes, kept to three decimals.
std::optional<double> Ds18S20Temperature(const Scratchpad& iarray) {
    int halfDegrees = Byte(iarray, scratchpad_byte::kTemperatureLsb);
    if ((Byte(iarray, scratchpad_byte::kTemperatureMsb) & 1) != 0) {
        halfDegrees -= 256;
    }
    const int countPerC = Byte(iarray, scratchpad_byte::kCountPerC);
    if (countPerC == 0) {
        return std::nullopt;
    }
    const int tempRead = halfDegrees >> 1;  // floor: -1 (-0.5 degrees) gives -1
    const int countRemain = Byte(iarray, scratchpad_byte::kCountRemain);
    const double t = tempRead - 0.25 + static_cast<double>(countPerC - countRemain) / countPerC;
    return static_cast<double>(RoundHalfEven(t * 1000)) / 1000;
}

// Bits below the configured resolution are undefined on the device and cleared here.
std::optional<double> Ds18B20Temperature(const Scratchpad& iarray) {
    const auto reading = static_cast<int16_t>(Byte(iarray, scratchpad_byte::kTemperatureMsb) * 256 +
                                              Byte(iarray, scratchpad_byte::kTemperatureLsb));
    const int resolution = Byte(iarray, scratchpad_byte::kConfiguration) >> 5;
    if (resolution > 3) {
        return std::nullopt;
    }
    const int undefinedBits = 3 - resolution;
    const int cleared = reading & ~((1 << undefinedBits) - 1);
    return cleared * 0.0625;
}

}  // namespace

void ApplyScratchpad(CurrentSens& sens, const Scratchpad& iarray) {
    if (sens.Family == device_group::kDs18S20 || sens.Family == device_group::kDs18B20) {
        const auto temperature = sens.Family == device_group::kDs18S20 ? Ds18S20Temperature(iarray)
                                                                       : Ds18B20Temperature(iarray);
        if (temperature) {
            sens.Temperature = *temperature;
        }
        // Thermometers get no correction: the shown value is the measured one.
        sens.CorrectTemp = sens.Temperature;
    }
    sens.UpLimitT = SignedByte(Byte(iarray, scratchpad_byte::kTh));
    sens.DownLimitT = SignedByte(Byte(iarray, scratchpad_byte::kTl));
}

bool HoldsPowerOnValue(uint8_t familyCode, std::span<const uint8_t, 9> bytes) {
    const int lsb = bytes[scratchpad_byte::kTemperatureLsb];
    const int msb = bytes[scratchpad_byte::kTemperatureMsb];
    switch (familyCode) {
        case family_code::kDs18S20:
            return lsb == 0xAA && msb == 0x00;
        case family_code::kDs1822:
        case family_code::kDs18B20:
            return lsb == 0x50 && msb == 0x05;
        default:
            return false;
    }
}

}  // namespace velgrin
