#pragma once

#include <string>
#include <string_view>

namespace velgrin::cli {

// A number as the tool takes it on its command line: an optional sign, digits, and decimals after
// a point or a comma; no exponent, no blanks ("1e2" for 100 is a typing slip more often than not).
bool IsPlainDecimal(std::string_view text);

// A number typed on the command line, made readable by the program's number reader: a decimal
// point is taken for the decimal comma, unless the text already has a comma.
std::string ProgramNumberText(std::string text);

// The usage error for an option whose value is no plain decimal.
std::string NotPlainDecimal(const std::string& option, const std::string& text);

}  // namespace velgrin::cli
