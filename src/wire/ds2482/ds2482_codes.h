#pragma once

#include <array>
#include <cstdint>

namespace velgrin::ds2482 {

// Function commands; the parameter, when there is one, follows in the same write.
namespace command {
inline constexpr uint8_t kDeviceReset = 0xF0;
inline constexpr uint8_t kSetReadPointer = 0xE1;
inline constexpr uint8_t kWriteConfig = 0xD2;
inline constexpr uint8_t kChannelSelect = 0xC3;  // DS2482-800 only
inline constexpr uint8_t kOneWireReset = 0xB4;
inline constexpr uint8_t kSingleBit = 0x87;
inline constexpr uint8_t kWriteByte = 0xA5;
inline constexpr uint8_t kReadByte = 0x96;
inline constexpr uint8_t kTriplet = 0x78;
}  // namespace command

// Registers the read pointer can name.
namespace pointer {
inline constexpr uint8_t kStatus = 0xF0;
inline constexpr uint8_t kReadData = 0xE1;
inline constexpr uint8_t kChannel = 0xD2;
inline constexpr uint8_t kConfig = 0xC3;
}  // namespace pointer

namespace status {
inline constexpr uint8_t kBusy = 0x01;  // 1WB
inline constexpr uint8_t kPresence = 0x02;
inline constexpr uint8_t kShort = 0x04;
inline constexpr uint8_t kLineLevel = 0x08;
inline constexpr uint8_t kDeviceReset = 0x10;  // RST
inline constexpr uint8_t kSingleBitResult = 0x20;
inline constexpr uint8_t kTripletSecondBit = 0x40;
inline constexpr uint8_t kBranchDirection = 0x80;
}  // namespace status

// Configuration bits (low nibble; a write carries their complement in the high nibble). Bit 1
// (presence-pulse masking) is left alone: the later DS2482-100 has it reserved.
namespace config {
inline constexpr uint8_t kActivePullup = 0x01;
inline constexpr uint8_t kStrongPullup = 0x04;
inline constexpr uint8_t kOverdrive = 0x08;
constexpr uint8_t Written(uint8_t bits) {
    return static_cast<uint8_t>(((~bits & 0x0F) << 4) | (bits & 0x0F));
}
}  // namespace config

// The bit byte of Single Bit and Triplet: the value in bit 7.
inline constexpr uint8_t kBitOne = 0x80;

inline constexpr int kChannels = 8;
// Channel Select codes written, and what the channel register reads back for each.
inline constexpr std::array<uint8_t, kChannels> kChannelCodes{0xF0, 0xE1, 0xD2, 0xC3,
                                                              0xB4, 0xA5, 0x96, 0x87};
inline constexpr std::array<uint8_t, kChannels> kChannelReadBack{0xB8, 0xB1, 0xAA, 0xA3,
                                                                 0x9C, 0x95, 0x8E, 0x87};

// 7-bit I2C addresses the address pins can set (0x18-0x1B for the DS2482-100).
inline constexpr uint8_t kFirstAddress = 0x18;
inline constexpr uint8_t kLastAddress = 0x1F;

}  // namespace velgrin::ds2482
