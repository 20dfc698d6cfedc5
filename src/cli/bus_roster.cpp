#include "cli/bus_roster.h"

#include <algorithm>

#include "cli/device_kind.h"

namespace velgrin::cli {

namespace {

bool Holds(const std::vector<BusRoster::Device>& devices, const std::string& rom) {
    return std::any_of(devices.begin(), devices.end(),
                       [&](const BusRoster::Device& d) { return d.rom == rom; });
}

}  // namespace

BusRoster::Changes BusRoster::update(const BusCore& core, bool pollFailed) {
    std::vector<Device> now;
    if (!pollFailed) {
        for (int i = 0; i < core.FoundDev; ++i) {
            const CurrentSens& sens = core.Asens[static_cast<size_t>(i)];
            now.push_back({sens.ROMS, FamilyCode(sens), i});
        }
    }
    Changes changes;
    for (const Device& device : now) {
        if (!Holds(present_, device.rom)) {
            changes.arrived.push_back(device);
        }
    }
    for (const Device& device : present_) {
        if (!Holds(now, device.rom)) {
            changes.left.push_back(device);
        }
    }
    present_ = std::move(now);
    return changes;
}

}  // namespace velgrin::cli
