#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cli/bench_session.h"
#include "cli/exit_status.h"
#include "cli/options.h"
#include "cli/output.h"

namespace velgrin::cli {

// What a command works with: its options and words, the output, and the port, opened only when
// the command first needs the bus (so that a usage error never touches it).
class CommandContext {
  public:
    CommandContext(const ParsedOptions& options, Output& output, std::string portText,
                   PortSettings portSettings = {})
        : options_(options),
          output_(output),
          portText_(std::move(portText)),
          portSettings_(portSettings) {}

    const ParsedOptions& options() const { return options_; }
    const std::vector<std::string>& words() const { return options_.positionals(); }
    Output& output() { return output_; }
    const PortSettings& portSettings() const { return portSettings_; }
    const std::string& portText() const { return portText_; }

    CliResult<BenchSession*> session();
    // The session if a command opened one.
    BenchSession* openedSession() { return session_.get(); }

  private:
    const ParsedOptions& options_;
    Output& output_;
    std::string portText_;
    PortSettings portSettings_;
    std::unique_ptr<BenchSession> session_;
};

struct Command {
    std::string name;      // "list", "hlt show"
    std::string synopsis;  // the command's form in the tool's help
    std::string summary;   // what it does, in one line
    std::string details;   // the rest of the command's --help
    std::vector<OptionSpec> options;
    CliResult<ExitStatus> (*run)(CommandContext&);
};

// Every command of the tool, in the order the help lists them.
const std::vector<Command>& Commands();

// Opens the session and scans it until two searches agree on the bus (a failure otherwise).
CliResult<BenchSession*> ScannedSession(CommandContext& context);

// A usage error unless the command got between `least` and `most` words.
CliResult<void> ExpectWords(const CommandContext& context, size_t least, size_t most,
                            const std::string& what);

}  // namespace velgrin::cli
