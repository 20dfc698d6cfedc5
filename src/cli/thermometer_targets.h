#pragma once

#include <string>
#include <vector>

#include "cli/exit_status.h"
#include "wire/bus_core.h"

namespace velgrin::cli {

// The table indexes of the thermometers a command works on: the named ones, each of which must
// be on the bus and be a DS18S20 or DS18B20, or with no names every one the thermometer list
// holds, in list order.
CliResult<std::vector<int>> ThermometerTargets(BusCore& core, const std::vector<std::string>& roms);

}  // namespace velgrin::cli
