#include "cli/devices_beyond_table.h"

namespace velgrin::cli {

std::string DevicesBeyondTable(const BusCore& core) {
    if (!core.tableOverflowed()) {
        return {};
    }
    const std::string count = core.devicesOnBus >= kCountedDevicesLimit
                                  ? std::to_string(kCountedDevicesLimit) + " or more"
                                  : std::to_string(core.devicesOnBus);
    return "the bus holds " + count + " devices and the device table only the first " +
           std::to_string(core.FoundDev);
}

}  // namespace velgrin::cli
