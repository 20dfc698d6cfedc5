#pragma once

#include <cstdint>

namespace velgrin {

// The TH/TL register byte for a threshold in degrees: whole degrees rounded down, as a
// two's-complement byte (-10 -> 0xF6, -0.5 -> 0xFF, 10.7 -> 0x0A). `degrees` must be finite.
uint8_t EncodeThresholdByte(double degrees);

}  // namespace velgrin
