#include "common/crc.h"

namespace velgrin {

const std::array<uint8_t, 256>& Crc8Table() {
    static const std::array<uint8_t, 256> table = [] {
        std::array<uint8_t, 256> t{};
        for (int i = 0; i < 256; ++i) {
            uint8_t crc = static_cast<uint8_t>(i);
            for (int bit = 0; bit < 8; ++bit) {
                crc = (crc & 1) ? static_cast<uint8_t>((crc >> 1) ^ 0x8C)
                                : static_cast<uint8_t>(crc >> 1);
            }
            t[static_cast<size_t>(i)] = crc;
        }
        return t;
    }();
    return table;
}

uint8_t Crc8(std::span<const uint8_t> bytes, uint8_t seed) {
    const auto& table = Crc8Table();
    uint8_t crc = seed;
    for (uint8_t b : bytes) {
        crc = table[crc ^ b];
    }
    return crc;
}

uint16_t Crc16(std::span<const uint8_t> bytes, uint16_t seed) {
    uint16_t crc = seed;
    for (uint8_t b : bytes) {
        crc ^= b;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001)
                            : static_cast<uint16_t>(crc >> 1);
        }
    }
    return crc;
}

}  // namespace velgrin
