#include "ds2480b_emu/serial_timing.h"

#include <algorithm>

namespace velgrin::ds2480b {

uint64_t CharacterUs(uint32_t baud, int bitsPerCharacter) {
    return (static_cast<uint64_t>(bitsPerCharacter) * 1'000'000 + baud / 2) / baud;
}

uint64_t SerialTiming::arrive(uint64_t writtenUs, uint32_t baud, int bitsPerCharacter) {
    inFreeUs_ = std::max(writtenUs, inFreeUs_) + CharacterUs(baud, bitsPerCharacter);
    return inFreeUs_;
}

uint64_t SerialTiming::execute(uint64_t arrivalUs, uint64_t busUs) {
    lastStartUs_ = std::max(arrivalUs, busyUntilUs_);
    busyUntilUs_ = lastStartUs_ + busUs;
    return busyUntilUs_;
}

uint64_t SerialTiming::transmit(uint64_t readyUs, uint32_t baud) {
    outFreeUs_ = std::max(readyUs, outFreeUs_) + CharacterUs(baud);
    return outFreeUs_;
}

}  // namespace velgrin::ds2480b
