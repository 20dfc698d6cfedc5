#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace velgrin {

// Device groups: which tab of the window lists a device.
namespace device_group {
inline constexpr int32_t kUnlisted = 0;
inline constexpr int32_t kDs18S20 = 16;
inline constexpr int32_t kLogger = 33;  // loggers and the DS1822, on the registration tab
inline constexpr int32_t kHlt = 38;
inline constexpr int32_t kDs18B20 = 40;
}  // namespace device_group

// Family codes (ROM byte 0) of the families the program knows; the table below describes each.
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

// The window's device list (and with it the tab) that shows a family.
enum class DeviceList {
    kNone,
    kThermometers,  // cmb1820, tab "ds1820"
    kMultisensors,  // cmbhlt, tab "HLT"
    kRegistration,  // cmbSN and cmbDs192x, tabs "Reg" and "ds192x"
};

// What the search does with a device of the family besides storing it.
enum class SearchStep { kNone, kIdentifyDs1921, kIdentifyDs1922, kAdapterSerial };

// Everything the program holds about one device family.
struct FamilyDescriptor {
    uint8_t code = 0;
    int32_t group = device_group::kUnlisted;
    DeviceList list = DeviceList::kNone;
    std::string_view kindName;  // the command line's words for it
    SearchStep searchStep = SearchStep::kNone;
    // Model names of the simulated bench; the first is what a bench gets when it names none.
    std::array<std::string_view, 2> simModels{};
};

// Every known family, in the order the documentation lists them.
std::span<const FamilyDescriptor> DeviceFamilies();
// Null for a family the program does not know.
const FamilyDescriptor* FindFamily(uint8_t familyCode);
// The list of a device group: the families of one group share their list.
DeviceList ListOfGroup(int32_t group);

}  // namespace velgrin
