#pragma once

#include <string>
#include <vector>

namespace velgrin::testing {

// What one run of a built program gave.
struct ProgramRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs the program at `path` with these arguments (no shell) in this process's environment, with
// the "NAME=value" entries of `environment` set on top; waits for it and collects both streams.
ProgramRun RunProgram(const std::string& path, const std::vector<std::string>& arguments,
                      const std::vector<std::string>& environment = {});

}  // namespace velgrin::testing
