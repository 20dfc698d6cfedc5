#pragma once

#include <map>
#include <string>

#include "cli/doctor/doctor_report.h"
#include "cli/doctor/system_tree.h"

namespace velgrin::cli::doctor {

// The window's font, and a locale that can show the program's Russian texts.
Section CheckDesktop(const SystemTree& tree, const std::string& fontFolder,
                     const std::map<std::string, std::string>& environment);

}  // namespace velgrin::cli::doctor
