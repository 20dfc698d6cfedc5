#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velgrin::cli {

// Bytes as two-digit capital hexadecimal numbers separated by blanks: "69 00 1F".
std::string HexText(std::span<const uint8_t> bytes);

// Reads pairs of hexadecimal digits (either case), blanks and line breaks between them
// allowed; none when anything else is there or a pair is left unfinished.
std::optional<std::vector<uint8_t>> ParseHexBytes(std::string_view text);

}  // namespace velgrin::cli
