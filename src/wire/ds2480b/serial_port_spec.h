#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "wire/port_spec.h"
#include "wire/wire_error.h"

namespace velgrin::ds2480b {

// Checks the device of a serial port spec ("KIND:DEVICE") without opening it: it must exist and
// be a character device that can be a serial port.
WireResult<void> CheckSerialDevice(const PortSpec& spec);

// Manual mode's port number N of a serial adapter kind: the N-th of the ports `listPorts` gives.
// While that list is too short for N (its USB adapter unplugged), N names the port it named
// last, so the adapter reads as missing, not as a port the driver does not know.
std::function<std::optional<PortSpec>(int portNumber)> NumberedSerialPorts(
    std::string kind, std::function<std::vector<std::string>()> listPorts);

}  // namespace velgrin::ds2480b
