#pragma once

#include <string>
#include <vector>

#include "program_run.h"

namespace velgrin::cli::testing {

// What one run of the built velgrin-cli gave.
using CliRun = velgrin::testing::ProgramRun;

// Runs the built tool with these arguments (no shell), waits for it and collects both streams.
CliRun RunTool(const std::vector<std::string>& arguments);

}  // namespace velgrin::cli::testing
