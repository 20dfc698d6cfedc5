#include "cli/options.h"

#include <algorithm>

namespace velgrin::cli {

std::optional<std::string> ParsedOptions::value(const std::string& name) const {
    const auto found = values_.find(name);
    if (found == values_.end() || found->second.empty()) {
        return std::nullopt;
    }
    return found->second.back();
}

CliResult<ParsedOptions> ParseOptions(std::span<const std::string> words,
                                      std::span<const OptionSpec> specs) {
    ParsedOptions parsed;
    bool optionsEnded = false;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (optionsEnded || word.size() < 2 || word[0] != '-') {
            parsed.addPositional(word);
            continue;
        }
        if (word == "--") {
            optionsEnded = true;
            continue;
        }
        const auto equals = word.find('=');
        const std::string name = word.substr(0, equals);
        const auto spec = std::find_if(specs.begin(), specs.end(),
                                       [&](const OptionSpec& s) { return s.name == name; });
        if (spec == specs.end()) {
            return UsageError("unknown option '" + name + "'");
        }
        if (!spec->takesValue) {
            if (equals != std::string::npos) {
                return UsageError("option '" + name + "' takes no value");
            }
            parsed.add(name, "");
            continue;
        }
        if (equals != std::string::npos) {
            parsed.add(name, word.substr(equals + 1));
        } else if (i + 1 < words.size()) {
            parsed.add(name, words[++i]);
        } else {
            return UsageError("option '" + name + "' needs a value");
        }
    }
    return parsed;
}

}  // namespace velgrin::cli
