#pragma once

#include <array>
#include <cstdint>

namespace velgrin::ds2438 {

// Function commands; each but Convert T and Convert V is followed by a page number.
inline constexpr uint8_t kConvertT = 0x44;
inline constexpr uint8_t kConvertV = 0xB4;
inline constexpr uint8_t kRecallMemory = 0xB8;
inline constexpr uint8_t kReadScratchpad = 0xBE;
inline constexpr uint8_t kWriteScratchpad = 0x4E;
inline constexpr uint8_t kCopyScratchpad = 0x48;

// Page 0, byte 0.
inline constexpr uint8_t kStatusAD = 0x08;    // 1: Convert V measures VDD, 0: VAD
inline constexpr uint8_t kStatusBusy = 0x50;  // TB | ADB: a conversion is running
// IAD, CA, EE set; AD clear (next conversion measures VAD) or set (VDD).
inline constexpr uint8_t kConfigMeasureVad = 0x07;
inline constexpr uint8_t kConfigMeasureVdd = 0x0F;
inline constexpr uint8_t kConfigBits = 0x0F;  // the rest of byte 0 are read-only flags

// A page read: its 8 bytes and the chip's CRC8 of them.
inline constexpr std::size_t kPageReadSize = 9;
using PageRead = std::array<uint8_t, kPageReadSize>;

}  // namespace velgrin::ds2438
