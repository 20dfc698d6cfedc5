#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velgrin {

// A 1-Wire ROM code in bus order: family code, six serial-number bytes (least significant
// first), CRC8.
using RomCode = std::array<uint8_t, 8>;

// 16 capital hex digits, CRC byte first and family code last, as every list of the program
// shows it.
std::string RomText(const RomCode& rom);

// Parses a ROM text as RomText writes it: exactly 16 characters 0-9, A-F.
std::optional<RomCode> ParseRomText(std::string_view text);

// True when byte 7 is the CRC8 of bytes 0 to 6.
bool RomCrcValid(const RomCode& rom);

// Fills in byte 7 from bytes 0 to 6.
RomCode WithRomCrc(RomCode rom);

}  // namespace velgrin
