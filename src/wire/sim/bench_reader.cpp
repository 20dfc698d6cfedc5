#include "wire/sim/bench_reader.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "common/number_text.h"

namespace velgrin::sim::bench_reader {

namespace {

std::string Quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::string KnownList(std::initializer_list<std::string_view> known) {
    std::string list;
    for (auto k : known) {
        list += (list.empty() ? "" : ", ") + std::string(k);
    }
    return list;
}

}  // namespace

std::string Place(const std::string& parent, std::string_view key) {
    // JSON pointer escapes.
    std::string escaped;
    for (char c : key) {
        if (c == '~') {
            escaped += "~0";
        } else if (c == '/') {
            escaped += "~1";
        } else {
            escaped += c;
        }
    }
    return parent + "/" + escaped;
}

std::string Place(const std::string& parent, size_t index) {
    return parent + "/" + std::to_string(index);
}

const Json& RequireObject(const Json& node, const std::string& place,
                          std::initializer_list<std::string_view> known) {
    if (!node.is_object()) {
        throw BenchRefusal(place, "expected an object");
    }
    for (const auto& [key, value] : node.items()) {
        if (std::find(known.begin(), known.end(), key) == known.end()) {
            throw BenchRefusal(Place(place, key), "unknown key " + Quoted(key) +
                                                      " (known here: " + KnownList(known) + ")");
        }
    }
    return node;
}

double RequireNumber(const Json& node, const std::string& place) {
    if (!node.is_number()) {
        throw BenchRefusal(place, "expected a number");
    }
    const double value = node.get<double>();
    if (!std::isfinite(value)) {
        throw BenchRefusal(place, "expected a finite number");
    }
    return value;
}

int64_t RequireInteger(const Json& node, const std::string& place, int64_t min, int64_t max) {
    if (!node.is_number_integer()) {
        throw BenchRefusal(place, "expected a whole number");
    }
    const std::string range =
        " is out of range " + std::to_string(min) + ".." + std::to_string(max);
    if (node.is_number_unsigned() && node.get<uint64_t>() > uint64_t{INT64_MAX}) {
        throw BenchRefusal(place, std::to_string(node.get<uint64_t>()) + range);
    }
    const int64_t value = node.get<int64_t>();
    if (value < min || value > max) {
        throw BenchRefusal(place, std::to_string(value) + range);
    }
    return value;
}

bool RequireBool(const Json& node, const std::string& place) {
    if (!node.is_boolean()) {
        throw BenchRefusal(place, "expected true or false");
    }
    return node.get<bool>();
}

std::string RequireString(const Json& node, const std::string& place) {
    if (!node.is_string()) {
        throw BenchRefusal(place, "expected a text");
    }
    return node.get<std::string>();
}

uint8_t RequireByte(const Json& node, const std::string& place) {
    if (node.is_string()) {
        const auto text = node.get<std::string>();
        if (text.size() == 4 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X') &&
            HexDigit(text[2]) >= 0 && HexDigit(text[3]) >= 0) {
            return static_cast<uint8_t>(HexDigit(text[2]) * 16 + HexDigit(text[3]));
        }
        throw BenchRefusal(place, Quoted(text) + " is not a byte (0..255 or \"0x00\"..\"0xFF\")");
    }
    return static_cast<uint8_t>(RequireInteger(node, place, 0, 255));
}

std::vector<uint8_t> RequireBytes(const Json& node, const std::string& place, size_t count) {
    std::vector<uint8_t> bytes;
    if (node.is_array()) {
        for (size_t i = 0; i < node.size(); ++i) {
            bytes.push_back(RequireByte(node[i], Place(place, i)));
        }
    } else if (node.is_string()) {
        std::string digits;
        for (char c : node.get<std::string>()) {
            if (c == ' ') {
                continue;
            }
            if (HexDigit(c) < 0) {
                throw BenchRefusal(place, "'" + std::string(1, c) + "' is not a hex digit");
            }
            digits += c;
        }
        if (digits.size() % 2 != 0) {
            throw BenchRefusal(place, "an odd number of hex digits");
        }
        for (size_t i = 0; i < digits.size(); i += 2) {
            bytes.push_back(
                static_cast<uint8_t>(HexDigit(digits[i]) * 16 + HexDigit(digits[i + 1])));
        }
    } else {
        throw BenchRefusal(place, "expected " + std::to_string(count) +
                                      " bytes: an array of numbers or a text of hex digits");
    }
    if (bytes.size() != count) {
        throw BenchRefusal(place, "expected " + std::to_string(count) + " bytes, found " +
                                      std::to_string(bytes.size()));
    }
    return bytes;
}

RomCode RequireRomText(const Json& node, const std::string& place) {
    const auto text = RequireString(node, place);
    std::string upper = text;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    auto rom = ParseRomText(upper);
    if (!rom) {
        throw BenchRefusal(place, Quoted(text) +
                                      " is not a ROM text (16 hex digits, CRC byte first, family "
                                      "code last, as the device lists show it)");
    }
    return *rom;
}

SimValue RequireValue(const Json& node, const std::string& place, uint64_t originUs,
                      MeasuredRange range) {
    const std::string measurable = " is outside what the device measures, " +
                                   FormatDotNumber(range.low) + " to " +
                                   FormatDotNumber(range.high) + " " + range.unit;
    if (node.is_number()) {
        const double value = RequireNumber(node, place);
        if (value < range.low || value > range.high) {
            throw BenchRefusal(place, FormatDotNumber(value) + measurable);
        }
        return SimValue::Constant(value);
    }
    if (!node.is_object()) {
        throw BenchRefusal(
            place, "expected a number or {\"base\": .., \"amplitude\": .., \"periodS\": ..}");
    }
    RequireObject(node, place, {"base", "amplitude", "periodS"});
    for (auto key : {"base", "amplitude", "periodS"}) {
        if (!node.contains(key)) {
            throw BenchRefusal(place, "missing " + Quoted(key));
        }
    }
    SimValue value;
    value.base = RequireNumber(node["base"], Place(place, "base"));
    value.amplitude = RequireNumber(node["amplitude"], Place(place, "amplitude"));
    const double periodS = RequireNumber(node["periodS"], Place(place, "periodS"));
    if (periodS < 0.001 || periodS > 1e7) {
        throw BenchRefusal(Place(place, "periodS"), "the period must be 0.001 to 10000000 seconds");
    }
    value.periodUs = static_cast<uint64_t>(std::llround(periodS * 1e6));
    value.originUs = originUs;
    const double swing = std::fabs(value.amplitude);
    if (value.base - swing < range.low || value.base + swing > range.high) {
        throw BenchRefusal(
            place, FormatDotNumber(value.base) + " +- " + FormatDotNumber(swing) + measurable);
    }
    return value;
}

}  // namespace velgrin::sim::bench_reader
