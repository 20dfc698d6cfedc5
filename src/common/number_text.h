#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velgrin {

// Every number text is made and read by these rules alone, never by the process locale (Qt sets
// the C library's locale from the environment, and a Russian desktop's comma must not matter).

// The decimal separator of every number the window shows or reads.
inline constexpr char kDecimalSeparator = ',';

// General number form: shortest text with up to 15 significant digits, no trailing zeros, no
// thousands separator; exponent form below 0.00001 in magnitude or from 16 integer digits on
// (21.5 -> "21,5", 0.0000024 -> "2,4E-6").
std::string FormatNumber(double value);

// Reads a number typed by the user: blanks around it are ignored, a trailing separator is allowed
// ("0," is 0), an exponent may follow ("1,5E3"). Anything else gives no value.
std::optional<double> ParseNumber(std::string_view text);

// The general form with a dot, as the command-line tool and English messages show numbers.
std::string FormatDotNumber(double value);

// Fixed-point text with a dot and the given number of decimals, whatever the locale.
std::string FormatFixedDot(double value, int decimals);

// A number as options and English texts write it: a dot, an optional exponent, nothing around it.
std::optional<double> ParseDotNumber(std::string_view text);

}  // namespace velgrin
