#pragma once

#include "cli/doctor/doctor_report.h"
#include "cli/doctor/system_tree.h"
#include "cli/doctor/user_access.h"

namespace velgrin::cli::doctor {

// I2C buses for DS2482 masters: i2c-dev, the nodes and their permissions, and the kernel's
// ds2482 driver holding a chip. `adapters` counts the DS2482s the kernel knows of.
Section CheckI2cBuses(const SystemTree& tree, const UserAccess& user, int& adapters);

}  // namespace velgrin::cli::doctor
