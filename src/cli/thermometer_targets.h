#pragma once

#include <string>
#include <vector>

#include "cli/bench_session.h"
#include "cli/command.h"
#include "cli/exit_status.h"
#include "wire/bus_core.h"

namespace velgrin::cli {

// The table indexes of the thermometers a command works on: the named ones, each of which must
// be on the bus and be a DS18S20 or DS18B20, or with no names every one the thermometer list
// holds, in list order.
CliResult<std::vector<int>> ThermometerTargets(BusCore& core, const std::vector<std::string>& roms);

// The thermometers a command's words name (or all), on a freshly scanned session.
struct ScannedThermometers {
    BenchSession* session;
    std::vector<int> targets;
};
CliResult<ScannedThermometers> ScanThermometerTargets(CommandContext& context);

}  // namespace velgrin::cli
