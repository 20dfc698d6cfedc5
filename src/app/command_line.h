#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace velgrin {

// What `velgrin` was asked to do on its command line.
struct CommandLine {
    std::optional<std::string> port;           // --port SPEC
    std::optional<std::string> screenshotDir;  // --screenshot-dir DIR (for scripts/screenshot)
    std::optional<std::string> trace;          // --trace FILE
    bool help = false;
    bool version = false;
    // Arguments that are Qt's ("-platform offscreen", "-style Fusion").
    std::vector<std::string> toolkitArguments;
};

struct CommandLineError {
    std::string message;
};

// Reads the arguments after the program name. Options begin with "--" and take their value as
// the next argument or after "="; arguments with a single dash are Qt's.
std::variant<CommandLine, CommandLineError> ParseCommandLine(const std::vector<std::string>& args);

// The --help text; `portKinds` lists "kind: description" lines of the built-in adapters.
std::string UsageText(const std::vector<std::string>& portKinds);

}  // namespace velgrin
