#pragma once

#include "cli/doctor/doctor_report.h"
#include "cli/doctor/system_tree.h"
#include "cli/doctor/user_access.h"

namespace velgrin::cli::doctor {

// DS2490 USB adapters: bus and address, the udev rule, the node's permissions and the kernel
// driver that has the adapter when Velgrin does not.
Section CheckUsbAdapters(const SystemTree& tree, const UserAccess& user, int& adapters);

}  // namespace velgrin::cli::doctor
