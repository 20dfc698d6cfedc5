#pragma once

#include <functional>
#include <string>
#include <vector>

#include "wire/ds2480b/ds2480b_link.h"
#include "wire/ds2480b/system_serial_ports.h"
#include "wire/port_registry.h"

namespace velgrin::ds2480b {

// Port kind "ds2480b": "ds2480b:/dev/ttyUSB0". In manual mode port number N is the N-th of the
// serial ports `listPorts` gives (the system's, in name order); while that list is too short for
// N (its adapter unplugged), N names the port it named last.
PortBackend Ds2480bBackend(Ds2480bOptions options = {},
                           std::function<std::vector<std::string>()> listPorts = SystemSerialPorts);

}  // namespace velgrin::ds2480b
