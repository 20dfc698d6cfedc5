#include "cli/hex_bytes.h"

#include <cctype>
#include <cstdio>

namespace velgrin::cli {

std::string HexText(std::span<const uint8_t> bytes) {
    std::string text;
    for (const uint8_t byte : bytes) {
        char pair[4];
        std::snprintf(pair, sizeof pair, "%02X", byte);
        text += (text.empty() ? "" : " ") + std::string(pair);
    }
    return text;
}

std::optional<std::vector<uint8_t>> ParseHexBytes(std::string_view text) {
    std::vector<uint8_t> bytes;
    std::string digits;
    for (const char c : text) {
        if (std::isspace(static_cast<unsigned char>(c))) {
            if (digits.size() == 1) {
                return std::nullopt;
            }
            continue;
        }
        if (!std::isxdigit(static_cast<unsigned char>(c))) {
            return std::nullopt;
        }
        digits.push_back(c);
        if (digits.size() == 2) {
            bytes.push_back(static_cast<uint8_t>(std::stoi(digits, nullptr, 16)));
            digits.clear();
        }
    }
    if (!digits.empty()) {
        return std::nullopt;
    }
    return bytes;
}

}  // namespace velgrin::cli
