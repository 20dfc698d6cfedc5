#pragma once

#include <cstdint>

namespace velgrin {

// A DS18B20's configuration register: 0 R1 R0 1 1 1 1 1, R1 R0 = resolution - 9.
inline constexpr int kMinResolutionBits = 9;
inline constexpr int kMaxResolutionBits = 12;

// `bits` must lie within kMinResolutionBits..kMaxResolutionBits.
constexpr uint8_t ConfigurationForResolution(int bits) {
    return static_cast<uint8_t>(((bits - kMinResolutionBits) << 5) | 0x1F);
}

constexpr int ResolutionOfConfiguration(uint8_t configuration) {
    return kMinResolutionBits + ((configuration >> 5) & 0x03);
}

}  // namespace velgrin
