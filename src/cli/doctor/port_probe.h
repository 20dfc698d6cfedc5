#pragma once

#include <string>

#include "cli/doctor/doctor_report.h"
#include "cli/exit_status.h"
#include "wire/port_registry.h"

namespace velgrin::cli::doctor {

// Opens the port, resets its bus and searches it a few times: whether the adapter answers, the
// presence pulse, the devices found and the bus's faults (a short, no presence, searches that
// fail or disagree). `reached` is set when the adapter answered. A port text that names no port
// is a usage error.
CliResult<Section> ProbePort(const std::string& portText, const PortSettings& settings,
                             bool& reached);

}  // namespace velgrin::cli::doctor
