#include "numberlog/log_text.h"

#include <algorithm>
#include <cstdio>

namespace velgrin {

namespace {

// Characters `first` to `first + count - 1` (1-based) of a text, as far as the text reaches.
std::string Characters(std::string_view text, size_t first, size_t count) {
    if (text.size() < first) {
        return {};
    }
    return std::string(text.substr(first - 1, count));
}

constexpr size_t kNumberPairs = 8;

}  // namespace

std::string ShortDateText(const LocalDateTime& moment) {
    char text[32];
    std::snprintf(text, sizeof text, "%02d.%02d.%04d", moment.day, moment.month, moment.year);
    return text;
}

std::string LongTimeText(const LocalDateTime& moment) {
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", moment.hour, moment.minute, moment.second);
    return text;
}

std::string EntryNumber(std::string_view entryText) {
    return Characters(entryText, 4, 16);
}

std::string EntryFamilyText(std::string_view entryText) {
    return Characters(entryText, 18, 2);
}

std::string ByteReversedNumber(std::string_view number) {
    std::string reversed;
    for (size_t pair = kNumberPairs; pair >= 1; --pair) {
        reversed += Characters(number, 2 * pair - 1, 2);
    }
    return reversed;
}

std::string OneLineComment(std::string comment) {
    // A line break or other control character would forge a line of its own in the log.
    std::replace_if(
        comment.begin(), comment.end(),
        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }, ' ');
    return comment;
}

std::string ManualSaveLine(const LocalDateTime& moment, const std::string& comment,
                           const std::string& number) {
    return ShortDateText(moment) + ": " + OneLineComment(comment) + " " + number +
           std::string(kLogLineEnd);
}

}  // namespace velgrin
