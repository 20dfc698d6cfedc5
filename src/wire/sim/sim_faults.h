#pragma once

#include <cstdint>

#include "wire/sim/sim_device.h"

namespace velgrin::sim {

// Bit faults a device can be given, through its corruptBit hook. Data bytes count from the
// device's selection: after Read Scratchpad, byte 8 is a DS18x20's CRC.

// Flips the bits of `mask` in data byte `byteIndex` of every reply, until cleared.
void CorruptReplyByte(SimDevice& device, int byteIndex, uint8_t mask);
// Flips bit `bit` (0..7) of the next data byte the device sends, once.
void FlipNextReplyBit(SimDevice& device, int bit);
void ClearBitFaults(SimDevice& device);

// Makes the conversions of a converting model (DS18x20, DS2438) never end. False for a model
// that does not convert.
bool SetConversionStuck(SimDevice& device, bool on);

}  // namespace velgrin::sim
