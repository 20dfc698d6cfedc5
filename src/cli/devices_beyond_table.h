#pragma once

#include <string>

#include "wire/bus_core.h"

namespace velgrin::cli {

// Empty when the device table holds every device the last search found; else what the table
// left out, for a command that was to reach all of them: "the bus holds 151 devices and the
// device table only the first 100".
std::string DevicesBeyondTable(const BusCore& core);

}  // namespace velgrin::cli
