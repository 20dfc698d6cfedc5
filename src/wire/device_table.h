#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "wire/device_families.h"

namespace velgrin {

// Group of a family code (ROM byte 0); unlisted for a family the program does not know.
int32_t GroupOfFamily(uint8_t familyCode);

// One entry of the device table. Fields nobody uses are kept so that the record reads like the
// table it stands for.
struct CurrentSens {
    std::array<int16_t, 10> ROM{};  // words 0..7: the ROM code, one byte value per word
    std::string ROMS;               // ROM text
    int32_t Family = 0;             // device group
    int32_t SubDev = 0;
    double Temperature = 0;
    double Hu = 0;
    double Pressure = 0;
    double Light = 0;
    double CO2 = 0;
    double CorrectTemp = 0;
    double CorrectHu = 0;
    double ShiftT = 0;
    int16_t MissionProgress = 0;
    double UpLimitT = 0;
    double DownLimitT = 0;
    double UpLimitH = 0, DownLimitH = 0, UpLimitP = 0, DownLimitP = 0;
    double UpLimitL = 0, DownLimitL = 0, UpLimitCO2 = 0, DownLimitCO2 = 0;
    int16_t AlarmSignaledT = 0, AlarmSignaledH = 0, AlarmSignaledP = 0, AlarmSignaledL = 0;
    int16_t PrecesionT = 0, PrecesionH = 0, PrecesionP = 0, PrecesionL = 0;
};

inline constexpr int kDeviceTableSize = 100;

// How many devices a search counts before it stops: beyond the table it only counts them and
// looks for the adapter's serial-number chip. The bound keeps a bus that answers without end
// (a fault) from holding the search for ever.
inline constexpr int kCountedDevicesLimit = 1000;

using DeviceTable = std::array<CurrentSens, kDeviceTableSize>;

// "%.2u" index, one blank, ROM text: "07 D20000001A2B3C28".
std::string ListEntryText(int index, const std::string& romText);

}  // namespace velgrin
