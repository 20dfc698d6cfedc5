#pragma once

#include <string>
#include <string_view>

#include "numberlog/date_time_source.h"

namespace velgrin {

// Every line of the number logs ends so, whatever the system.
inline constexpr std::string_view kLogLineEnd = "\r\n";

// dd.MM.yyyy
std::string ShortDateText(const LocalDateTime& moment);
// HH:mm:ss
std::string LongTimeText(const LocalDateTime& moment);

// The number of a list entry ("07 D20000001A2B3C28"): characters 4 to 19; shorter texts give
// what there is.
std::string EntryNumber(std::string_view entryText);
// The family code of a list entry: characters 18 and 19.
std::string EntryFamilyText(std::string_view entryText);

// The eight digit pairs of a number in reverse order, family code first and CRC last.
std::string ByteReversedNumber(std::string_view number);

// The comment with every control character (line breaks, tabs) made a blank.
std::string OneLineComment(std::string comment);

// "dd.MM.yyyy: comment number" with its line end; the comment kept on its line.
std::string ManualSaveLine(const LocalDateTime& moment, const std::string& comment,
                           const std::string& number);

}  // namespace velgrin
