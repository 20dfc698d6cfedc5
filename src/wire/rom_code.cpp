#include "wire/rom_code.h"

#include "common/crc.h"

namespace velgrin {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

}  // namespace

std::string RomText(const RomCode& rom) {
    std::string text;
    text.reserve(16);
    for (int i = 7; i >= 0; --i) {
        text.push_back(kHexDigits[rom[static_cast<size_t>(i)] >> 4]);
        text.push_back(kHexDigits[rom[static_cast<size_t>(i)] & 0x0F]);
    }
    return text;
}

std::optional<RomCode> ParseRomText(std::string_view text) {
    if (text.size() != 16) {
        return std::nullopt;
    }
    RomCode rom{};
    for (size_t pair = 0; pair < 8; ++pair) {
        const int high = HexValue(text[2 * pair]);
        const int low = HexValue(text[2 * pair + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        rom[7 - pair] = static_cast<uint8_t>(high * 16 + low);
    }
    return rom;
}

bool RomCrcValid(const RomCode& rom) {
    return Crc8(rom) == 0;
}

RomCode WithRomCrc(RomCode rom) {
    rom[7] = Crc8(std::span<const uint8_t>(rom.data(), 7));
    return rom;
}

}  // namespace velgrin
