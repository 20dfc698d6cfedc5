#include "thermo/threshold_byte.h"

#include <cmath>

namespace velgrin {

uint8_t EncodeThresholdByte(double degrees) {
    const auto whole = static_cast<int64_t>(std::floor(degrees));
    if (degrees >= 0) {
        return static_cast<uint8_t>(whole & 0xFF);
    }
    return static_cast<uint8_t>((whole & 0x7F) | 0x80);
}

}  // namespace velgrin
