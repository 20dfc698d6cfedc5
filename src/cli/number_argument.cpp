#include "cli/number_argument.h"

#include <algorithm>

#include "common/number_text.h"

namespace velgrin::cli {

bool IsPlainDecimal(std::string_view text) {
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        text.remove_prefix(1);
    }
    size_t digits = 0;
    bool separator = false;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            ++digits;
        } else if ((c == '.' || c == kDecimalSeparator) && !separator) {
            separator = true;
        } else {
            return false;
        }
    }
    return digits > 0;
}

std::string NotPlainDecimal(const std::string& option, const std::string& text) {
    return option + " '" + text + "': expected a decimal number such as 25, -10.5 or 0.826";
}

std::string ProgramNumberText(std::string text) {
    if (text.find(kDecimalSeparator) == std::string::npos) {
        std::replace(text.begin(), text.end(), '.', kDecimalSeparator);
    }
    return text;
}

}  // namespace velgrin::cli
