#include "cli/bus_roster.h"

#include <algorithm>

#include "cli/device_kind.h"

namespace velgrin::cli {

namespace {

const BusRoster::Device* Find(const std::vector<BusRoster::Device>& devices,
                              const std::string& rom) {
    const auto found = std::find_if(devices.begin(), devices.end(),
                                    [&](const BusRoster::Device& d) { return d.rom == rom; });
    return found == devices.end() ? nullptr : &*found;
}

}  // namespace

std::vector<BusRoster::Device> BusRoster::Listed(const BusCore& core, bool pollFailed) {
    std::vector<Device> listed;
    if (!pollFailed) {
        for (int i = 0; i < core.FoundDev; ++i) {
            const CurrentSens& sens = core.Asens[static_cast<size_t>(i)];
            listed.push_back({sens.ROMS, FamilyCode(sens), i});
        }
    }
    return listed;
}

bool BusRoster::differs(const std::vector<Device>& listed) const {
    if (listed.size() != present_.size()) {
        return true;
    }
    return std::any_of(listed.begin(), listed.end(),
                       [&](const Device& d) { return Find(present_, d.rom) == nullptr; });
}

BusRoster::Changes BusRoster::update(const std::vector<Device>& first,
                                     const std::vector<Device>& second) {
    Changes changes;
    std::vector<Device> now;
    for (const Device& device : present_) {
        if (Find(first, device.rom) == nullptr && Find(second, device.rom) == nullptr) {
            changes.left.push_back(device);
        } else {
            const Device* seen = Find(second, device.rom);
            now.push_back(seen != nullptr ? *seen : device);
        }
    }
    for (const Device& device : second) {
        if (Find(present_, device.rom) == nullptr && Find(first, device.rom) != nullptr) {
            changes.arrived.push_back(device);
            now.push_back(device);
        }
    }
    present_ = std::move(now);
    return changes;
}

}  // namespace velgrin::cli
