#include "cli/english_text.h"

#include <algorithm>
#include <map>
#include <string_view>
#include <vector>

#include "common/number_text.h"
#include "numberlog/number_log.h"
#include "thermo/threshold_input.h"
#include "wire/bus_core.h"

namespace velgrin::cli {

namespace {

const std::map<std::string, std::string, std::less<>>& Translations() {
    static const std::map<std::string, std::string, std::less<>> table{
        {status_text::kNotConnected, "not connected"},
        {status_text::kAdapterFound, "adapter found"},
        {status_text::kCheckAdapter, "the adapter does not answer: check the 1-Wire adapter"},
        {status_text::kDriverError, "the port could not be set up"},
        {status_text::kNoPortChosen, "no port chosen"},
        {threshold_text::kInvalid, "invalid temperature thresholds"},
        {threshold_text::kTooHigh, "a value is too high (the highest is 125)"},
        {threshold_text::kTooLow, "a value is too low (the lowest is -55)"},
        {"Неизвестное устройство", "unknown device"},
        {"DS2422 - Термохрон", "DS2422 Thermochron"},
        {"DS1923 - Гигрохрон", "DS1923 Hygrochron"},
        {"DS1922L - Термохрон", "DS1922L Thermochron"},
        {"DS1922T - Термохрон", "DS1922T Thermochron"},
        {"DS1922E - Термохрон", "DS1922E Thermochron"},
        {"Не удалось записать в файл:", "could not write to the file"},
    };
    return table;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

}  // namespace

std::string EnglishText(const std::string& coreText) {
    std::string english;
    for (const std::string& line : Lines(coreText)) {
        const auto found = Translations().find(line);
        const std::string& shown = found == Translations().end() ? line : found->second;
        if (shown.empty()) {
            continue;
        }
        english += (english.empty() ? "" : ": ") + shown;
    }
    return english;
}

std::string EnglishNumber(double value) {
    std::string text = FormatNumber(value);
    std::replace(text.begin(), text.end(), kDecimalSeparator, '.');
    return text;
}

}  // namespace velgrin::cli
