#pragma once

#include <cstdint>
#include <string>

#include "wire/device_table.h"

namespace velgrin::cli {

// The family code of a table entry (ROM byte 0).
inline uint8_t FamilyCode(const CurrentSens& sens) {
    return static_cast<uint8_t>(sens.ROM[0]);
}

// "28" for a DS18B20: the family code as the end of a ROM text shows it.
std::string FamilyText(uint8_t familyCode);

// A table index as the device lists write it: "07".
std::string IndexText(int index);

// What a device of that family is, in words ("DS18B20 thermometer").
std::string DeviceKind(uint8_t familyCode);

// The thermometers the thermometer tab lists and measures: DS18S20/DS1820 and DS18B20.
inline bool IsListedThermometer(const CurrentSens& sens) {
    return ListOfGroup(sens.Family) == DeviceList::kThermometers;
}

}  // namespace velgrin::cli
