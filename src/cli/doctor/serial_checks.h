#pragma once

#include "cli/doctor/doctor_report.h"
#include "cli/doctor/system_tree.h"
#include "cli/doctor/user_access.h"

namespace velgrin::cli::doctor {

// Serial ports with a device behind them: driver, node permissions, the FTDI latency timer and
// a program that holds the port. `adapters` counts the USB-serial converters.
Section CheckSerialPorts(const SystemTree& tree, const UserAccess& user, int& adapters);

}  // namespace velgrin::cli::doctor
