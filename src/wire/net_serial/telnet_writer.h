#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace velgrin::net_serial {

// The serial line's bytes for a telnet stream: each 255 doubled.
void AppendTelnetData(std::span<const uint8_t> bytes, std::vector<uint8_t>& out);

// IAC `verb` `option`.
std::vector<uint8_t> TelnetOption(uint8_t verb, uint8_t option);

// A COM-PORT-OPTION subnegotiation: IAC SB 44 `command` `value` IAC SE, the value's 255s doubled.
std::vector<uint8_t> ComPortCommand(uint8_t command, std::span<const uint8_t> value);

}  // namespace velgrin::net_serial
