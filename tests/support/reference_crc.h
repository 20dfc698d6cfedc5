#pragma once

#include <cstdint>
#include <span>

namespace velgrin::testing {

// The 1-Wire CRC8 (x^8 + x^5 + x^4 + 1) worked bit by bit, independent of the program's table.
// Over a block followed by its CRC byte it gives 0.
inline uint8_t ReferenceCrc8(std::span<const uint8_t> bytes) {
    uint8_t crc = 0;
    for (uint8_t byte : bytes) {
        for (int bit = 0; bit < 8; ++bit) {
            const bool mix = ((crc ^ byte) & 1) != 0;
            crc = static_cast<uint8_t>(crc >> 1);
            if (mix) {
                crc ^= 0x8C;
            }
            byte = static_cast<uint8_t>(byte >> 1);
        }
    }
    return crc;
}

}  // namespace velgrin::testing
