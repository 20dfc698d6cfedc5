#include "cli/number_argument.h"

#include <algorithm>

#include "common/number_text.h"

namespace velgrin::cli {

std::string ProgramNumberText(std::string text) {
    if (text.find(kDecimalSeparator) == std::string::npos) {
        std::replace(text.begin(), text.end(), '.', kDecimalSeparator);
    }
    return text;
}

}  // namespace velgrin::cli
