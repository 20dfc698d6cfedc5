#pragma once

#include "cli/doctor/doctor_report.h"
#include "cli/doctor/system_tree.h"

namespace velgrin::cli::doctor {

// The kernel's own 1-Wire masters and whether the kernel searches their buses by itself.
Section CheckKernelMasters(const SystemTree& tree, int& adapters);

// On a Raspberry Pi with no adapter at all: the 1-Wire overlay that makes GPIO 4 a bus.
std::optional<Finding> MissingPiOverlay(const SystemTree& tree);

}  // namespace velgrin::cli::doctor
