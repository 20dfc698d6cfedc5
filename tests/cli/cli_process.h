#pragma once

#include <string>
#include <vector>

namespace velgrin::cli::testing {

// What one run of the built velgrin-cli gave.
struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs the built tool with these arguments (no shell), waits for it and collects both streams.
CliRun RunTool(const std::vector<std::string>& arguments);

}  // namespace velgrin::cli::testing
