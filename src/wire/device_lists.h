#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/control_surface.h"
#include "wire/bus_core.h"

namespace velgrin {

// The window's pages (tab object names) that the list rebuild switches.
namespace device_page {
inline constexpr const char* kDs1820 = "ds1820";
inline constexpr const char* kHlt = "HLT";
inline constexpr const char* kReg = "Reg";
inline constexpr const char* kDs192x = "ds192x";
}  // namespace device_page

// A step of the number log's auto-store. The rebuild takes one after each entry it adds to the
// thermometer or the logger list, with that list's first entry selected, so a bus of two
// thermometers offers the first one twice.
enum class LogStep { kStoreRom1820, kStoreRomButton };

struct PageSwitch {
    std::string_view page;
    bool enabled;
    bool operator==(const PageSwitch&) const = default;
};

// What the device lists hold after a search, in device-table order, entries as ListEntryText
// gives them. Each list shows its first entry.
struct DeviceLists {
    std::vector<std::string> cmb1820;  // DS18S20 and DS18B20 thermometers
    std::vector<std::string> cmbhlt;   // multisensors
    std::vector<std::string> cmbSN;    // loggers and the DS1822; cmbDs192x lists the same
    // The pages whose state the rebuild sets; the others keep theirs.
    std::vector<PageSwitch> pages;
    std::vector<LogStep> logSteps;
};

// The list rebuild after a search that changed the number of devices (or failed).
DeviceLists RebuildDeviceLists(const BusCore& core);

// Shows the lists on controls that hold one text each: every list its first entry (empty for an
// empty list), the pages enabled or disabled.
void ShowSelectedEntries(const DeviceLists& lists, ControlSurface& surface);

}  // namespace velgrin
