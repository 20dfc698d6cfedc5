#include "cli/run_cli.h"

#include <algorithm>
#include <charconv>

#include "cli/command.h"
#include "cli/english_text.h"
#include "cli/saved_bench.h"
#include "cli/stop_signals.h"
#include "cli/tool_help.h"
#include "common/text_file.h"
#include "wire/link_trace.h"

namespace velgrin::cli {

namespace {

constexpr const char* kDefaultPort = "sim";

const std::vector<OptionSpec>& GlobalOptions() {
    static const std::vector<OptionSpec> options{
        {"--port", true},  {"--json", false}, {"--save-bench", true}, {"--reply-margin", true},
        {"--help", false}, {"-h", false},     {"--version", false},   {"--trace", true}};
    return options;
}

bool TakesValue(const std::string& word) {
    return std::any_of(GlobalOptions().begin(), GlobalOptions().end(),
                       [&](const OptionSpec& o) { return o.takesValue && o.name == word; });
}

bool IsOption(const std::string& word) {
    return word.size() > 1 && word[0] == '-';
}

const Command* FindCommand(const std::string& name) {
    for (const Command& command : Commands()) {
        if (command.name == name) {
            return &command;
        }
    }
    return nullptr;
}

bool IsGroup(const std::string& word) {
    return std::any_of(Commands().begin(), Commands().end(),
                       [&](const Command& c) { return c.name.rfind(word + " ", 0) == 0; });
}

// Where the command's name begins and how many words it takes ("hlt show" takes two); the
// options before it are the tool's own.
struct CommandWords {
    size_t first = 0;
    size_t count = 0;
    std::string name;
};

CommandWords LocateCommand(const std::vector<std::string>& words) {
    CommandWords located;
    size_t i = 0;
    while (i < words.size() && IsOption(words[i])) {
        i += TakesValue(words[i]) ? 2 : 1;
    }
    located.first = std::min(i, words.size());
    if (i >= words.size()) {
        return located;
    }
    located.name = words[i];
    located.count = 1;
    if (IsGroup(located.name) && i + 1 < words.size() && !IsOption(words[i + 1])) {
        located.name += " " + words[i + 1];
        located.count = 2;
    }
    return located;
}

int Fail(Output& output, const CliError& error) {
    output.error(error.message, static_cast<int>(error.code));
    return static_cast<int>(error.code);
}

int Usage(Output& output, const std::string& message, const std::string& helpCommand) {
    return Fail(output, UsageError(message + "; see 'velgrin-cli " + helpCommand + "--help'"));
}

constexpr int kMaxReplyMarginMs = 60000;

CliResult<PortSettings> PortSettingsOf(const ParsedOptions& options) {
    PortSettings settings;
    const auto text = options.value("--reply-margin");
    if (!text) {
        return settings;
    }
    int margin = 0;
    const char* const end = text->data() + text->size();
    const auto [stop, ec] = std::from_chars(text->data(), end, margin);
    if (ec != std::errc() || stop != end || margin < 1 || margin > kMaxReplyMarginMs ||
        std::to_string(margin) != *text) {
        return UsageError("--reply-margin needs whole milliseconds from 1 to " +
                          std::to_string(kMaxReplyMarginMs) + ", not '" + *text + "'");
    }
    settings.replyMargin = std::chrono::milliseconds(margin);
    return settings;
}

int RunHelp(const std::vector<std::string>& topic, std::ostream& out, Output& output) {
    std::string name;
    for (const std::string& word : topic) {
        name += (name.empty() ? "" : " ") + word;
    }
    if (name.empty()) {
        out << ToolHelp();
    } else if (const Command* command = FindCommand(name)) {
        out << CommandHelp(*command);
    } else if (IsGroup(name)) {
        out << GroupHelp(name);
    } else {
        return Usage(output, "unknown command '" + name + "'", "");
    }
    return 0;
}

int SaveBenchState(CommandContext& context, const std::string& path, int status) {
    BenchSession* session = context.openedSession();
    sim::SimBench* bench = session == nullptr ? nullptr : session->simulatedBench();
    if (bench == nullptr) {
        return status;
    }
    if (auto saved = SaveBench(*bench, path); !saved) {
        context.output().error(saved.error().message, static_cast<int>(ExitStatus::kFailure));
        return status == 0 ? static_cast<int>(ExitStatus::kFailure) : status;
    }
    return status;
}

}  // namespace

int RunCli(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    const CommandWords located = LocateCommand(arguments);
    std::vector<std::string> rest(arguments.begin(),
                                  arguments.begin() + static_cast<long>(located.first));
    rest.insert(rest.end(), arguments.begin() + static_cast<long>(located.first + located.count),
                arguments.end());
    const bool json = std::find(rest.begin(), rest.end(), "--json") != rest.end();
    Output output(out, err, json);

    if (located.name == "help") {
        return RunHelp(rest, out, output);
    }
    const Command* command = FindCommand(located.name);
    std::vector<OptionSpec> specs = GlobalOptions();
    if (command != nullptr) {
        specs.insert(specs.end(), command->options.begin(), command->options.end());
    }
    const auto options = ParseOptions(rest, specs);
    const std::string helpCommand = command == nullptr ? "" : command->name + " ";
    if (!options) {
        return Usage(output, options.error().message, helpCommand);
    }
    const bool help = options->has("--help") || options->has("-h");
    if (command == nullptr) {
        if (located.name.empty()) {
            if (options->has("--version")) {
                out << VersionText();
                return 0;
            }
            if (help) {
                out << ToolHelp();
                return 0;
            }
            return Usage(output, "no command given", "");
        }
        if (IsGroup(located.name)) {
            if (help) {
                out << GroupHelp(located.name);
                return 0;
            }
            return Usage(output, "'" + located.name + "' needs a subcommand", located.name + " ");
        }
        return Usage(output, "unknown command '" + located.name + "'", "");
    }
    if (help) {
        out << CommandHelp(*command);
        return 0;
    }

    const std::string port = options->value("--port").value_or(kDefaultPort);
    const auto saveBench = options->value("--save-bench");
    if (saveBench && !BenchSession::NamesSimulatedBench(port)) {
        return Usage(output, "--save-bench needs a simulated bench (--port sim or sim:FILE)",
                     helpCommand);
    }
    if (saveBench) {
        if (auto usable = CheckOutputPath(*saveBench); !usable) {
            return Usage(output, "--save-bench: " + *saveBench + " " + usable.error().message,
                         helpCommand);
        }
    }
    const auto portSettings = PortSettingsOf(*options);
    if (!portSettings) {
        return Usage(output, portSettings.error().message, helpCommand);
    }
    const SteadyClock traceClock;
    std::unique_ptr<LinkTrace> trace;
    if (const auto tracePath = options->value("--trace")) {
        auto opened = LinkTrace::Open(*tracePath, traceClock);
        if (!opened) {
            return Usage(output, opened.error(), helpCommand);
        }
        trace = std::move(*opened);
    }
    const TraceInstallation installed(trace.get());
    CommandContext context(*options, output, port, *portSettings);
    const StopSignals stopSignals;
    const auto ran = command->run(context);
    int status = ran ? static_cast<int>(*ran) : Fail(output, ran.error());
    if (trace && !trace->failure().empty()) {
        output.error(trace->failure(), static_cast<int>(ExitStatus::kFailure));
        status = status == 0 ? static_cast<int>(ExitStatus::kFailure) : status;
    }
    return saveBench ? SaveBenchState(context, *saveBench, status) : status;
}

}  // namespace velgrin::cli
