#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "wire/port_spec.h"
#include "wire/wire_error.h"

namespace velgrin::ds2482 {

// Where a DS2482 sits: "ds2482:/dev/i2c-1", "ds2482:/dev/i2c-1@0x1A", "ds2482:/dev/i2c-1:3"
// (channel 3 of a DS2482-800) or both, address first.
struct I2cPort {
    std::string device;  // the i2c-dev node
    uint8_t address = 0x18;
    std::optional<int> channel;  // only a DS2482-800 has channels

    // The kernel's name of the bus ("1" of /dev/i2c-1), empty when the node is named otherwise.
    std::string busNumber() const;
    // The kernel's name of the chip on the bus ("1-0018"), for sysfs paths.
    std::string sysfsName() const;
    // "0x1A".
    std::string addressText() const;
};

WireResult<I2cPort> ParseI2cPort(const PortSpec& spec);

}  // namespace velgrin::ds2482
