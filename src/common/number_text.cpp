#include "common/number_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace velgrin {

namespace {

constexpr int kSignificantDigits = 15;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

}  // namespace

std::string FormatNumber(double value) {
    if (std::isnan(value)) {
        return "NAN";
    }
    if (std::isinf(value)) {
        return value < 0 ? "-INF" : "INF";
    }
    if (value == 0) {
        return "0";
    }
    // Scientific form with 14 decimals rounds to 15 significant digits and tells the decimal
    // exponent after rounding; std::to_chars never consults the process locale.
    char buffer[64];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, value,
                                       std::chars_format::scientific, kSignificantDigits - 1);
    std::string_view text(buffer, static_cast<size_t>(written.ptr - buffer));
    const bool negative = text.front() == '-';
    if (negative) {
        text.remove_prefix(1);
    }
    const auto ePos = text.find('e');
    std::string_view exponentText = text.substr(ePos + 1);
    if (exponentText.front() == '+') {
        exponentText.remove_prefix(1);
    }
    int exponent = 0;
    std::from_chars(exponentText.data(), exponentText.data() + exponentText.size(), exponent);
    std::string digits;
    for (char c : text.substr(0, ePos)) {
        if (c != '.') {
            digits.push_back(c);
        }
    }
    while (digits.size() > 1 && digits.back() == '0') {
        digits.pop_back();
    }

    std::string out = negative ? "-" : "";
    if (exponent < -5 || exponent >= kSignificantDigits) {
        out += digits.front();
        if (digits.size() > 1) {
            out += kDecimalSeparator;
            out += digits.substr(1);
        }
        out += 'E';
        out += std::to_string(exponent);
        return out;
    }
    if (exponent < 0) {
        out += '0';
        out += kDecimalSeparator;
        out.append(static_cast<size_t>(-exponent - 1), '0');
        out += digits;
        return out;
    }
    const auto integerDigits = static_cast<size_t>(exponent) + 1;
    if (digits.size() <= integerDigits) {
        out += digits;
        out.append(integerDigits - digits.size(), '0');
    } else {
        out += digits.substr(0, integerDigits);
        out += kDecimalSeparator;
        out += digits.substr(integerDigits);
    }
    return out;
}

std::optional<double> ParseNumber(std::string_view text) {
    text = TrimBlanks(text);
    std::string normal;
    size_t i = 0;
    auto takeDigits = [&] {
        size_t count = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            normal.push_back(text[i++]);
            ++count;
        }
        return count;
    };
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-') {
            normal.push_back('-');
        }
        ++i;
    }
    size_t mantissaDigits = takeDigits();
    if (i < text.size() && text[i] == kDecimalSeparator) {
        ++i;
        normal.push_back('.');
        mantissaDigits += takeDigits();
    }
    if (mantissaDigits == 0) {
        return std::nullopt;
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        normal.push_back('e');
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
            normal.push_back(text[i++]);
        }
        if (takeDigits() == 0) {
            return std::nullopt;
        }
    }
    if (i != text.size()) {
        return std::nullopt;
    }
    if (normal.back() == '.') {
        normal.push_back('0');
    }
    double value = 0;
    const auto [end, ec] = std::from_chars(normal.data(), normal.data() + normal.size(), value);
    if (ec != std::errc() || end != normal.data() + normal.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::string FormatDotNumber(double value) {
    std::string text = FormatNumber(value);
    std::replace(text.begin(), text.end(), kDecimalSeparator, '.');
    return text;
}

std::string FormatFixedDot(double value, int decimals) {
    char buffer[400];
    const auto written =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    if (written.ec != std::errc()) {
        return FormatDotNumber(value);
    }
    return std::string(buffer, written.ptr);
}

std::optional<double> ParseDotNumber(std::string_view text) {
    double value = 0;
    const char* const end = text.data() + text.size();
    const auto [stop, ec] = std::from_chars(text.data(), end, value, std::chars_format::general);
    if (text.empty() || ec != std::errc() || stop != end || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

}  // namespace velgrin
