#pragma once

#include <array>
#include <cstdint>

namespace velgrin {

// Type codes of the two sensor channels: the nibbles of SensorTypes and, the same numbers, the
// item indexes of the dialog's radio groups rg0 and rg1.
enum SensorType : int {
    stHIH5031 = 0,
    stHIH4000 = 1,
    stTemperature = 2,
    stPressure = 3,
    stCO2 = 4,
    stOther = 5,
    stNone = 6,
};

inline constexpr int kSensorTypeCount = 7;

// Item texts of rg0 and rg1, in type-code order.
inline constexpr std::array<const char*, kSensorTypeCount> kSensorTypeCaptions{
    "Датчик влажности HIH5031",
    "Датчик влажности HIH4000",
    "Датчик температуры",
    "Датчик давления",
    "Датчик CO2",
    "Датчик другой",
    "Без датчика",
};

// The radio-group index a stored nibble selects: -1 (no selection) for the undefined codes 7..15.
inline int SensorTypeIndex(uint8_t nibble) {
    return nibble < kSensorTypeCount ? nibble : -1;
}

// Which of a channel's six fields its type uses: the HIH-5031's scaling is fixed, so only its
// thresholds; "Без датчика" none; every other code, an undefined one included, all six.
inline bool ChannelScalingInUse(int type) {
    return type != stHIH5031 && type != stNone;
}
inline bool ChannelThresholdsInUse(int type) {
    return type != stNone;
}

// Channel 0 in the high nibble, channel 1 in the low one.
inline uint8_t SensorTypeNibble(uint8_t sensorTypes, int channel) {
    return channel == 0 ? sensorTypes >> 4 : sensorTypes & 0x0F;
}

}  // namespace velgrin
