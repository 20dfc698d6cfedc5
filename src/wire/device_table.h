#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace velgrin {

// Device groups: which tab of the window lists a device.
namespace device_group {
inline constexpr int32_t kUnlisted = 0;
inline constexpr int32_t kDs18S20 = 16;
inline constexpr int32_t kLogger = 33;  // loggers and the DS1822, on the registration tab
inline constexpr int32_t kHlt = 38;
inline constexpr int32_t kDs18B20 = 40;
}  // namespace device_group

namespace family_code {
inline constexpr uint8_t kDs18S20 = 0x10;
inline constexpr uint8_t kDs1921 = 0x21;
inline constexpr uint8_t kDs1822 = 0x22;
inline constexpr uint8_t kDs2438 = 0x26;
inline constexpr uint8_t kDs18B20 = 0x28;
inline constexpr uint8_t kDs1922 = 0x41;
inline constexpr uint8_t kDs1925 = 0x53;
inline constexpr uint8_t kDs1420 = 0x81;
}  // namespace family_code

// Group of a family code (ROM byte 0).
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
