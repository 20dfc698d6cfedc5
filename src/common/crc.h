#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace velgrin {

// The Dallas/Maxim 1-Wire CRC8 table (x^8 + x^5 + x^4 + 1, LSB first); entry 1 is 0x5E.
const std::array<uint8_t, 256>& Crc8Table();

// CRC8 over the bytes, seeded; 0 over a block that ends in its own CRC means intact.
uint8_t Crc8(std::span<const uint8_t> bytes, uint8_t seed = 0);

// CRC16 of 1-Wire memory devices (x^16 + x^15 + x^2 + 1, LSB first, CRC-16/ARC).
uint16_t Crc16(std::span<const uint8_t> bytes, uint16_t seed = 0);

}  // namespace velgrin
