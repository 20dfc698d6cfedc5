#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "wire/device_table.h"

namespace velgrin {

// The nine scratchpad bytes of the last read from any thermometer, one byte value per entry, in
// the order the device sent them.
using Scratchpad = std::array<int16_t, 9>;

namespace scratchpad_byte {
inline constexpr int kTemperatureLsb = 0;
inline constexpr int kTemperatureMsb = 1;
inline constexpr int kTh = 2;
inline constexpr int kTl = 3;
inline constexpr int kConfiguration = 4;  // DS18B20
inline constexpr int kCountRemain = 6;    // DS18S20
inline constexpr int kCountPerC = 7;      // DS18S20
}  // namespace scratchpad_byte

// Turns the bytes into the record's Temperature, CorrectTemp, UpLimitT and DownLimitT. The
// formula follows the record's device group (DS18S20 or DS18B20); where the bytes give no
// temperature (COUNT_PER_C 0, a configuration byte with its top bit set) the previous one stays.
void ApplyScratchpad(CurrentSens& sens, const Scratchpad& iarray);

// The temperature bytes hold what the family powers up with (+85 degrees: 0x0550 on a DS18B20 or
// DS1822, 0x00AA on a DS18S20), which a real 85 degrees also gives.
bool HoldsPowerOnValue(uint8_t familyCode, std::span<const uint8_t, 9> bytes);

}  // namespace velgrin
