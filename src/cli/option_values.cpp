#include "cli/option_values.h"

#include <charconv>
#include <utility>

#include "cli/english_text.h"
#include "cli/number_argument.h"

namespace velgrin::cli {

CliResult<Thresholds> ThresholdOptions(const ParsedOptions& options) {
    const auto th = options.value("--th");
    const auto tl = options.value("--tl");
    if (!th || !tl) {
        return UsageError("both --th and --tl are needed");
    }
    for (const auto& [option, text] : {std::pair{"--th", *th}, {"--tl", *tl}}) {
        if (!IsPlainDecimal(text)) {
            return UsageError(NotPlainDecimal(option, text));
        }
    }
    auto thresholds = ParseThresholds(ProgramNumberText(*th), ProgramNumberText(*tl));
    if (!thresholds) {
        return UsageError(EnglishText(thresholds.error()));
    }
    return *thresholds;
}

CliResult<int> CountOption(const ParsedOptions& options, const std::string& what) {
    const auto text = options.value("--count");
    if (!text) {
        return 0;
    }
    int count = 0;
    const char* const end = text->data() + text->size();
    const auto [stop, ec] = std::from_chars(text->data(), end, count);
    if (ec != std::errc() || stop != end || count < 1 || std::to_string(count) != *text) {
        return UsageError("--count needs a whole number of " + what + ", 1 or more, not '" + *text +
                          "'");
    }
    return count;
}

}  // namespace velgrin::cli
