#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "cli/doctor/doctor_report.h"

namespace velgrin::cli::doctor {

// Each section's title, then a line per finding and, under it, each problem and its fix; at the
// end how many problems there are.
std::string ReportText(const DoctorReport& report);

// {"serial": [{"subject", "found", "problems": [{"what", "fix"}]}], ..., "adapters": N,
//  "problems": N}
nlohmann::json ReportJson(const DoctorReport& report);

}  // namespace velgrin::cli::doctor
