#pragma once

#include <string>

#include "cli/exit_status.h"
#include "cli/options.h"
#include "thermo/threshold_input.h"

namespace velgrin::cli {

// --th and --tl, both given, each a plain decimal within the thresholds' range.
CliResult<Thresholds> ThresholdOptions(const ParsedOptions& options);

// --count: a whole number of `what` (polls, devices), 1 or more; 0 when the option is absent.
CliResult<int> CountOption(const ParsedOptions& options, const std::string& what);

}  // namespace velgrin::cli
