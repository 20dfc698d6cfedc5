#pragma once

#include <array>
#include <cstdint>

namespace velgrin::sim {

// The 32-byte configuration block an HLT multisensor keeps in DS2438 pages 3 to 6, from its
// fields in physical units, so that a bench can describe a configured device by its settings.
struct HltBlockFields {
    uint8_t sensor0Type = 6;  // type codes 0..15 (6: no sensor)
    uint8_t sensor1Type = 6;
    double s0Min = 0, s0Max = 0;                // physical unit
    double s0MinVoltage = 0, s0MaxVoltage = 0;  // volts
    double s1Min = 0, s1Max = 0;
    double s1MinVoltage = 0, s1MaxVoltage = 0;
    double s0UpValue = 0, s0DownValue = 0;
    double s1UpValue = 0, s1DownValue = 0;
    bool showTemperature = true;
    double temperatureOffset = 0;         // °C, -1.26..1.26
    double tUpLimit = 0, tDownLimit = 0;  // °C
};

// Byte 5 of a block that the program has sealed.
inline constexpr uint8_t kHltConfigMark = 105;
// Byte 26 when the device does not show the temperature.
inline constexpr uint8_t kHltTemperatureHidden = 127;

// The block with its mark and CRC. Scaled values are rounded half to even; the caller keeps them
// in range (tenths in int16, ten-thousandths of a volt in uint16, offset hundredths in int8).
std::array<uint8_t, 32> EncodeHltBlock(const HltBlockFields& fields);

}  // namespace velgrin::sim
