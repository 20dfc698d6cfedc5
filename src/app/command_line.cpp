#include "app/command_line.h"

namespace velgrin {

namespace {

bool IsOption(const std::string& arg, const std::string& name) {
    return arg == name || arg.rfind(name + "=", 0) == 0;
}

}  // namespace

std::variant<CommandLine, CommandLineError> ParseCommandLine(const std::vector<std::string>& args) {
    CommandLine line;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        // An option with a value: "--name VALUE" or "--name=VALUE".
        auto value = [&](const std::string& name) -> std::optional<std::string> {
            if (arg.size() > name.size()) {
                return arg.substr(name.size() + 1);
            }
            if (i + 1 < args.size()) {
                return args[++i];
            }
            return std::nullopt;
        };
        if (arg == "--help" || arg == "-h") {
            line.help = true;
        } else if (arg == "--version") {
            line.version = true;
        } else if (IsOption(arg, "--port")) {
            line.port = value("--port");
            if (!line.port || line.port->empty()) {
                return CommandLineError{"--port needs a port, for example --port sim"};
            }
        } else if (IsOption(arg, "--screenshot-dir")) {
            line.screenshotDir = value("--screenshot-dir");
            if (!line.screenshotDir || line.screenshotDir->empty()) {
                return CommandLineError{"--screenshot-dir needs a folder"};
            }
        } else if (IsOption(arg, "--trace")) {
            line.trace = value("--trace");
            if (!line.trace || line.trace->empty()) {
                return CommandLineError{"--trace needs a file"};
            }
        } else if (arg.rfind("--", 0) == 0) {
            return CommandLineError{"unknown option " + arg};
        } else if (arg.rfind("-", 0) == 0) {
            line.toolkitArguments.push_back(arg);
        } else if (!line.toolkitArguments.empty()) {
            // The value of the Qt option before it.
            line.toolkitArguments.push_back(arg);
        } else {
            return CommandLineError{"unexpected argument " + arg};
        }
    }
    return line;
}

std::string UsageText(const std::vector<std::string>& portKinds) {
    std::string text =
        "Usage: velgrin [--port SPEC] [--trace FILE]\n"
        "Sets up 1-Wire sensors on a bench: thermometers, HLT multisensors and data loggers.\n"
        "\n"
        "Options:\n"
        "  --port SPEC   the adapter to poll; without it the port is chosen on the\n"
        "                \"Настр\" tab\n"
        "  --trace FILE  record every exchange with the adapter in FILE (and FILE.1,\n"
        "                the part before; together at most 16 MiB)\n"
        "  --help        show this help and exit\n"
        "  --version     show the version and exit\n"
        "\n"
        "Port kinds:\n";
    for (const std::string& kind : portKinds) {
        text += "  " + kind + "\n";
    }
    return text;
}

}  // namespace velgrin
