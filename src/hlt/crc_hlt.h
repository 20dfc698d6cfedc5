#pragma once

#include <cstdint>
#include <span>

#include "hlt/hlt_config.h"

namespace velgrin {

// The 1-Wire CRC8 of the first `len` bytes of `data`; 0 when len is 0 or below.
uint8_t CrcHLT(int16_t len, std::span<const uint8_t> data);

// Gives the block its mark and its CRC over bytes 0 to 30, as the device expects before it trusts
// the block.
void SealHltBlock(HLTConfig& block);

// True when byte 31 is the CRC of bytes 0 to 30.
bool HltBlockCrcMatches(const HLTConfig& block);

// What a block read from a device amounts to.
enum class HltBlockState {
    Sealed,           // its CRC matches
    CrcMismatch,      // damaged, or written part-way: the device does not trust it
    NeverConfigured,  // mark byte 0, which no seal leaves: a blank EEPROM, whose zeros match
};
HltBlockState BlockState(const HLTConfig& block);

}  // namespace velgrin
