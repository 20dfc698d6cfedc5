#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace velgrin::cli {

// The whole tool: reads the command line (without the program name), runs the command and gives
// the exit status.
int RunCli(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

}  // namespace velgrin::cli
