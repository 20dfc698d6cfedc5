#pragma once

#include <string>
#include <vector>

#include "wire/bus_core.h"

namespace velgrin::cli {

// The devices a watch has seen on the bus, to tell from one poll to the next which arrived and
// which left. Compared by ROM code at every poll, so that a device swapped for another counts
// although the number of devices stays the same.
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
    Changes update(const BusCore& core, bool pollFailed);

  private:
    std::vector<Device> present_;
};

}  // namespace velgrin::cli
