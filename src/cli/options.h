#pragma once

#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "cli/exit_status.h"

namespace velgrin::cli {

struct OptionSpec {
    std::string name;  // with its dashes: "--port"
    bool takesValue = false;
};

// The options and the other words of a command line, in the order given.
class ParsedOptions {
  public:
    bool has(const std::string& name) const { return values_.count(name) != 0; }
    // The last value given for the option; none when it was not given.
    std::optional<std::string> value(const std::string& name) const;
    const std::vector<std::string>& positionals() const { return positionals_; }

    void add(const std::string& name, std::string value) {
        values_[name].push_back(std::move(value));
    }
    void addPositional(std::string word) { positionals_.push_back(std::move(word)); }

  private:
    std::map<std::string, std::vector<std::string>> values_;
    std::vector<std::string> positionals_;
};

// Reads "--name value", "--name=value" and flags; "--" ends the options. A value may begin with
// a dash ("--tl -10"), so it is taken as it stands. Unknown options are usage errors.
CliResult<ParsedOptions> ParseOptions(std::span<const std::string> words,
                                      std::span<const OptionSpec> specs);

}  // namespace velgrin::cli
