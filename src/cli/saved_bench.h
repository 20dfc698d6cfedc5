#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "cli/exit_status.h"
#include "wire/sim/sim_bench.h"

namespace velgrin::cli {

// A simulated bench as it stands now, as a bench file: the adapter's serial-number chip and
// every device on the bus with its model, its ROM text, what its memory holds (thermometers TH,
// TL and resolution, a DS2438 its HLT block, a DS1922-family logger its configuration byte) and
// its inputs as fixed values read now. Running a later command on the file continues from this
// state. Devices off the bus, the rest of the timeline and bench faults are not kept.
nlohmann::json BenchState(sim::SimBench& bench);

CliResult<void> SaveBench(sim::SimBench& bench, const std::string& path);

}  // namespace velgrin::cli
