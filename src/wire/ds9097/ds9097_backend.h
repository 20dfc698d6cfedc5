#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "wire/ds2480b/system_serial_ports.h"
#include "wire/ds9097/passive_link.h"
#include "wire/port_registry.h"
#include "wire/port_types.h"

namespace velgrin::ds9097 {

// Port kind "ds9097": "ds9097:/dev/ttyUSB0". In manual mode port number N is the N-th of the
// serial ports `listPorts` gives (the system's, in name order), as for the DS2480B.
PortBackend Ds9097Backend(
    PassiveOptions options = {},
    std::function<std::vector<std::string>()> listPorts = ds2480b::SystemSerialPorts);

}  // namespace velgrin::ds9097
