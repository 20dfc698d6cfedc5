#include "cli/tool_help.h"

#include <cctype>

#include "common/clock.h"
#include "common/version.h"
#include "wire/port_registry.h"

namespace velgrin::cli {

namespace {

std::string Padded(const std::string& text, size_t width) {
    return text.size() >= width ? text + "  " : text + std::string(width - text.size(), ' ');
}

std::string CommandLines(const std::string& prefix) {
    std::string lines;
    for (const Command& command : Commands()) {
        if (command.name.rfind(prefix, 0) == 0) {
            lines += "  " + Padded(command.synopsis, 44) + command.summary + "\n";
        }
    }
    return lines;
}

std::string PortLines() {
    VirtualClock unused;
    const PortRegistry registry = BuiltInPorts(unused);
    std::string lines;
    for (const PortBackend& backend : registry.backends()) {
        lines += "  " + Padded(backend.kind, 10) + backend.description + "\n";
    }
    return lines;
}

constexpr const char* kCommonOptions =
    "  --port SPEC         the adapter (default: sim, the built-in demo bench)\n"
    "  --json              print the result as JSON\n"
    "  --save-bench FILE   on a simulated bench: write its state afterwards as a bench file\n"
    "  --reply-margin MS   how late a serial adapter's reply may be (default 150; up to 60000)\n"
    "  --trace FILE        record every exchange with the adapter in FILE (FILE.1 holds the\n"
    "                      part before; together at most 16 MiB)\n"
    "  --help, -h          this help\n";

}  // namespace

std::string ToolHelp() {
    return "velgrin-cli: the Velgrin 1-Wire bench from the command line\n"
           "\n"
           "Usage: velgrin-cli [--port SPEC] [--json] [--save-bench FILE] COMMAND [ARGUMENTS]\n"
           "\n"
           "Commands:\n" +
           CommandLines("") +
           "\n"
           "Options:\n" +
           std::string(kCommonOptions) +
           "  --version           the tool's version\n"
           "\n"
           "Ports (--port SPEC, the same as the window's; without --port the tool uses sim):\n" +
           PortLines() +
           "  On a simulated bench, waits pass on a virtual clock and cost no real time.\n"
           "\n"
           "ROM is a ROM text as `list` shows it: 16 digits 0-9 and A-F, CRC byte first and\n"
           "family code last.\n"
           "Exit status: 0 success, 1 the bus, the adapter or a device failed, 2 usage error.\n"
           "`velgrin-cli COMMAND --help` describes a command.\n";
}

std::string CommandHelp(const Command& command) {
    std::string summary = command.summary;
    summary[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(summary[0])));
    return "Usage: velgrin-cli [--port SPEC] [--json] " + command.synopsis + "\n\n" + summary +
           ".\n\n" + command.details + "\nCommon options:\n" + kCommonOptions;
}

std::string GroupHelp(const std::string& group) {
    return "Usage: velgrin-cli [--port SPEC] [--json] " + group + " SUBCOMMAND ...\n\nCommands:\n" +
           CommandLines(group + " ") + "\n`velgrin-cli " + group +
           " SUBCOMMAND --help` describes one.\n";
}

std::string VersionText() {
    return std::string("velgrin-cli ") + VELGRIN_VERSION + "\n";
}

}  // namespace velgrin::cli
