#pragma once

#include <string>
#include <vector>

#include "wire/bus_core.h"

namespace velgrin::cli {

// The devices a watch has seen on the bus, to tell from one poll to the next which arrived and
// which left. Compared by ROM code, so that a device swapped for another counts although the
// number of devices stays the same. A change counts only when two searches in a row show it: a
// garbled bit can hide a device from one search or make one up.
class BusRoster {
  public:
    struct Device {
        std::string rom;
        uint8_t family = 0;
        int index = 0;  // in the table of the poll that saw it last
    };
    struct Changes {
        std::vector<Device> arrived;
        std::vector<Device> left;
    };

    // The devices of the core's last search (none after a failed poll).
    static std::vector<Device> Listed(const BusCore& core, bool pollFailed);

    // True when `listed` is not what the roster holds: a second search is due.
    bool differs(const std::vector<Device>& listed) const;

    // What both searches agree has changed; the roster takes those changes only.
    Changes update(const std::vector<Device>& first, const std::vector<Device>& second);

  private:
    std::vector<Device> present_;
};

}  // namespace velgrin::cli
